// Start-up time and peak memory of the program against a bare Qt Widgets window, both measured
// in the same run: each is spawned as a child several times; a child reports its time from
// being spawned to its window shown with the event loop idle, and wait4 gives its peak RSS.
// Goals: at most 1.5 times the bare window's time and 1.3 times its peak RSS, each the median
// of the ratios within a pair started one after the other, so a busy moment of the machine
// weighs on both sides of a ratio alike.

#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

struct Sample {
    double idleMs = 0;
    long peakRssKb = 0;
};

std::vector<Sample> kelvoSamples;
std::vector<Sample> bareSamples;

std::string childPath(const char *name)
{
    return (std::filesystem::read_symlink("/proc/self/exe").parent_path() / name).string();
}

long long monotonicNs()
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

// Spawns the child with its output on a pipe; false when it did not report or failed.
bool spawnOnce(const std::string &program, Sample &sample)
{
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[1]);
    setenv("KELVO_BENCH_SPAWN_NS", std::to_string(monotonicNs()).c_str(), 1);
    std::vector<char *> argv {const_cast<char *>(program.c_str()), nullptr};
    pid_t child = 0;
    const int spawned = posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    if (spawned != 0) {
        close(pipeEnds[0]);
        return false;
    }
    std::string output;
    char buffer[256];
    for (ssize_t got; (got = read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
        output.append(buffer, static_cast<std::size_t>(got));
    close(pipeEnds[0]);
    int status = 0;
    rusage usage {};
    if (wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return false;
    const auto at = output.find("idle_ms=");
    if (at == std::string::npos)
        return false;
    sample.idleMs = std::atof(output.c_str() + at + 8);
    sample.peakRssKb = usage.ru_maxrss; // kilobytes on Linux
    return true;
}

// The two children are started in turn, so a busy machine weighs on both alike; the iteration
// time is the program's, the bare window's goes into the samples beside it.
void startUp(benchmark::State &state)
{
    const std::string kelvo = childPath("bench_startup_kelvo_window");
    const std::string bare = childPath("bench_startup_bare_window");
    for (auto _ : state) {
        Sample kelvoSample;
        Sample bareSample;
        if (!spawnOnce(kelvo, kelvoSample) || !spawnOnce(bare, bareSample)) {
            state.SkipWithError("a child did not start, report or end cleanly");
            return;
        }
        state.SetIterationTime(kelvoSample.idleMs / 1000.0);
        kelvoSamples.push_back(kelvoSample);
        bareSamples.push_back(bareSample);
    }
}

BENCHMARK(startUp)->UseManualTime()->Iterations(41)->Unit(benchmark::kMillisecond);

double medianOf(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

template <typename Value>
double median(const std::vector<Sample> &samples, Value value)
{
    std::vector<double> values;
    for (const Sample &sample : samples)
        values.push_back(static_cast<double>(value(sample)));
    return medianOf(values);
}

// The median of the program's figure over the bare window's, pair by pair.
template <typename Value>
double pairedRatio(Value value)
{
    std::vector<double> ratios;
    for (size_t i = 0; i < std::min(kelvoSamples.size(), bareSamples.size()); ++i)
        ratios.push_back(static_cast<double>(value(kelvoSamples[i])) / static_cast<double>(value(bareSamples[i])));
    return medianOf(ratios);
}

} // namespace

int main(int argc, char **argv)
{
    // Both children offscreen, with a store of their own that is thrown away.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QTemporaryDir home;
    setenv("XDG_DATA_HOME", home.path().toLocal8Bit().constData(), 1);
    setenv("XDG_RUNTIME_DIR", home.path().toLocal8Bit().constData(), 0);

    // One unmeasured start of each, so both find the libraries in the page cache.
    Sample warmUp;
    spawnOnce(childPath("bench_startup_kelvo_window"), warmUp);
    spawnOnce(childPath("bench_startup_bare_window"), warmUp);

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (kelvoSamples.empty() || bareSamples.empty()) {
        std::printf("startup: no samples FAIL\n");
        return 1;
    }
    const double kelvoMs = median(kelvoSamples, [](const Sample &s) { return s.idleMs; });
    const double bareMs = median(bareSamples, [](const Sample &s) { return s.idleMs; });
    const double kelvoRss = median(kelvoSamples, [](const Sample &s) { return s.peakRssKb; });
    const double bareRss = median(bareSamples, [](const Sample &s) { return s.peakRssKb; });
    const double ratio = pairedRatio([](const Sample &s) { return s.idleMs; });
    const double rssRatio = pairedRatio([](const Sample &s) { return s.peakRssKb; });
    const bool pass = ratio <= 1.5 && rssRatio <= 1.3;
    std::printf("startup: kelvo_ms=%.1f bare_ms=%.1f ratio=%.2f rss_kelvo_kb=%.0f rss_bare_kb=%.0f "
                "rss_ratio=%.2f %s\n",
                kelvoMs, bareMs, ratio, kelvoRss, bareRss, rssRatio, pass ? "PASS" : "FAIL");
    return pass ? 0 : 1;
}
