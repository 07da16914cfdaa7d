// The relay path: the time from the relay writing a remote command to its bytes reaching the
// unit, and from the unit's status line to its arrival at the relay, over loopback TLS and a
// pseudo-terminal, with the bridge in the middle, and the same through two plain byte
// forwarders: one made of the same Qt socket and port, and socat when it is installed (this
// program installs nothing). Each middle runs in a process of its own, so its CPU time per
// message is its own; the roads take turns, repeat by repeat, so all see the same load.
//
// Two back-to-back patterns follow, where a small write comes right after another:
// a refused command (the bridge answers ";701" and asks the unit for its status, whose line
// follows at once; a forwarder just carries "S" and the answer), and two status lines 2 ms
// apart after a remote command. Ends with one line a script can check.

#include "support/q6_simulator.h"
#include "support/tls_test_relay.h"

#include "sample_stats.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int repeats = 30;
constexpr int roundTrips = 1000;
constexpr int warmUpRoundTrips = 50;
constexpr int backToBackRepeats = 3;
constexpr int backToBackSamples = 100;
constexpr int statusLineGapMs = 2;

// Goals.
constexpr double handlingGoalUs = 100.0;     // the bridge's own time in one data handler (mean)
constexpr double forwarderRatioGoal = 1.2;   // median time against the Qt forwarder's
constexpr double backToBackGoalMs = 1.0;     // every back-to-back sample
constexpr double addedGoalUs = 10.0;         // median time added against socat, each way
constexpr double cpuRatioGoal = 1.5;         // CPU per message against socat's

const QByteArray remoteCommand = "A30\r";     // passes the filter unchanged
const QByteArray refusedCommand = "M1\r";     // program changes are blocked in the bridge
const QByteArray statusRequest = "S\r";
const QByteArray statusLine = "600:40:60:0:0:0:0:0:2.107";

using benchstats::percentile;

double median(const std::vector<double> &samples) { return percentile(samples, 0.5); }

double maximum(const std::vector<double> &samples)
{
    return samples.empty() ? 0.0 : *std::max_element(samples.begin(), samples.end());
}

double millisecondsBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

void runEventsFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

bool spinUntil(const std::function<bool()> &condition)
{
    for (int i = 0; i < 1000 && !condition(); ++i)
        runEventsFor(5);
    return condition();
}

// Runs the event loop until the callback given to `subscribe` has been called `count` times, or two seconds pass; the time of the last call.
bool waitForArrivals(const std::function<QMetaObject::Connection(std::function<void()>)> &subscribe,
                     int count, Clock::time_point &lastArrival)
{
    QEventLoop loop;
    int seen = 0;
    const QMetaObject::Connection connection = subscribe([&] {
        lastArrival = Clock::now();
        if (++seen == count)
            loop.quit();
    });
    QTimer::singleShot(2000, &loop, &QEventLoop::quit);
    if (seen < count)
        loop.exec();
    QObject::disconnect(connection);
    return seen >= count;
}

std::string siblingProgram(const char *name)
{
    return (std::filesystem::read_symlink("/proc/self/exe").parent_path() / name).string();
}

enum class Middle { bridge, forwarder, socat };

const char *nameOf(Middle middle)
{
    switch (middle) {
    case Middle::bridge:
        return "bridge";
    case Middle::forwarder:
        return "forwarder";
    case Middle::socat:
        return "socat";
    }
    return "?";
}

// One road: a relay, a unit, and a middle process between them.
struct Road {
    Middle middle;
    TlsTestRelay relay;
    Q6Simulator unit;
    QProcess process;
    QByteArray output;

    // Per repeat: the median each way (ms) and the middle's CPU per message (µs).
    std::vector<double> inMedians, outMedians, cpuPerMessageUs;
    std::vector<double> allIn, allOut;
    std::vector<double> blockedThenStatus, secondStatusLine;

    explicit Road(Middle which) : middle(which) { unit.setLineEnding(Q6Simulator::LineEnding::CrLf); }

    ~Road()
    {
        if (process.state() != QProcess::NotRunning) {
            process.terminate();
            process.waitForFinished(3000);
        }
    }

    [[nodiscard]] bool start()
    {
        if (!relay.listen() || !unit.isOpen())
            return false;
        const QString port = QString::number(relay.port());
        if (middle == Middle::socat) {
            const QString ca = QStringLiteral(KELVO_TEST_CERT_DIR "/ca.pem");
            process.start(QStringLiteral("socat"),
                          {QStringLiteral("OPENSSL:%1:%2,cafile=%3,verify=1,nodelay")
                               .arg(TlsTestRelay::host(), port, ca),
                           QStringLiteral("GOPEN:%1,rawer").arg(unit.portPath())});
        } else {
            process.start(QString::fromStdString(siblingProgram("bench_relay_path_middle")),
                          {QString::fromLatin1(nameOf(middle)), port, unit.portPath()});
        }
        QObject::connect(&process, &QProcess::readyReadStandardOutput, &process,
                         [this] { output += process.readAllStandardOutput(); });
        if (!process.waitForStarted(5000))
            return false;
        const bool ready = spinUntil([this] {
            return relay.isEncrypted() && (middle == Middle::socat || output.contains("ready\n"));
        });
        // The bridge asks for a key first; nothing else is said before the benchmark starts.
        if (!ready || (middle == Middle::bridge && !relay.waitForLines(1)))
            return false;
        runEventsFor(50);
        relay.clearRecords();
        unit.clearRecords();
        return true;
    }

    // What the bridge reports when it ends: its handlers' times.
    [[nodiscard]] QByteArray finish()
    {
        process.closeWriteChannel();
        if (middle == Middle::socat)
            process.terminate();
        spinUntil([this] { return process.state() == QProcess::NotRunning; });
        output += process.readAllStandardOutput();
        return output;
    }

    // The middle's CPU time so far (user and system), in microseconds.
    [[nodiscard]] double cpuUs() const
    {
        clockid_t clock {};
        timespec used {};
        if (clock_getcpuclockid(static_cast<pid_t>(process.processId()), &clock) != 0
            || clock_gettime(clock, &used) != 0)
            return 0.0;
        return double(used.tv_sec) * 1e6 + double(used.tv_nsec) / 1e3;
    }

    [[nodiscard]] bool waitForCommand(Clock::time_point &arrived)
    {
        return waitForArrivals(
            [this](std::function<void()> arrival) {
                return QObject::connect(&unit, &Q6Simulator::commandReceived, &unit,
                                        [arrival](const QByteArray &) { arrival(); });
            },
            1, arrived);
    }

    // Lines that the relay receives holding the status line; a forwarder's carry the unit's
    // line feed at their start.
    [[nodiscard]] bool waitForStatusLines(int count, Clock::time_point &lastArrived)
    {
        return waitForArrivals(
            [this](std::function<void()> arrival) {
                return QObject::connect(&relay, &TlsTestRelay::lineReceived, &relay,
                                        [arrival](const QByteArray &line) {
                                            if (line.trimmed() == statusLine)
                                                arrival();
                                        });
            },
            count, lastArrived);
    }

    // A remote command to the unit, then a status line back: the time of each leg.
    [[nodiscard]] bool roundTrip(double &inMs, double &outMs)
    {
        Clock::time_point sent = Clock::now();
        Clock::time_point arrived;
        if (!relay.send(remoteCommand) || !waitForCommand(arrived))
            return false;
        inMs = millisecondsBetween(sent, arrived);
        sent = Clock::now();
        if (!unit.send(statusLine + "\r\n") || !waitForStatusLines(1, arrived))
            return false;
        outMs = millisecondsBetween(sent, arrived);
        return true;
    }

    // The bridge refuses the command, writes ";701" and asks the unit, whose status line it
    // relays right behind; a forwarder carries a status request and its answer.
    [[nodiscard]] bool refusedThenStatus(double &ms)
    {
        const Clock::time_point sent = Clock::now();
        Clock::time_point arrived;
        if (!relay.send(middle == Middle::bridge ? refusedCommand : statusRequest)
            || !waitForStatusLines(1, arrived))
            return false;
        ms = millisecondsBetween(sent, arrived);
        return true;
    }

    // In remote control, as a poll's answer follows a relayed line: a round trip, then a
    // second status line statusLineGapMs after the first; the time of the second.
    [[nodiscard]] bool twoStatusLines(double &ms)
    {
        double inMs = 0.0;
        if (!roundTrip(inMs, ms))
            return false;
        runEventsFor(statusLineGapMs);
        Clock::time_point arrived;
        const Clock::time_point sent = Clock::now();
        if (!unit.send(statusLine + "\r\n") || !waitForStatusLines(1, arrived))
            return false;
        ms = millisecondsBetween(sent, arrived);
        return true;
    }
};

std::vector<std::unique_ptr<Road>> roads;
bool failed = false;

Road *roadOf(Middle middle)
{
    for (const auto &road : roads)
        if (road->middle == middle)
            return road.get();
    return nullptr;
}

void fail(benchmark::State &state, const char *what)
{
    state.SkipWithError(what);
    failed = true;
}

void RoundTrips(benchmark::State &state, Road *road)
{
    std::vector<double> in, out;
    double inMs = 0.0;
    double outMs = 0.0;
    const double cpuBefore = road->cpuUs();
    for (auto _ : state) {
        if (!road->roundTrip(inMs, outMs)) {
            fail(state, "a message did not arrive");
            return;
        }
        in.push_back(inMs);
        out.push_back(outMs);
        state.SetIterationTime((inMs + outMs) / 1000.0);
    }
    const double cpuPerMessage = (road->cpuUs() - cpuBefore) / double(2 * in.size());
    road->inMedians.push_back(median(in));
    road->outMedians.push_back(median(out));
    road->cpuPerMessageUs.push_back(cpuPerMessage);
    road->allIn.insert(road->allIn.end(), in.begin(), in.end());
    road->allOut.insert(road->allOut.end(), out.begin(), out.end());
    state.counters["in_median_us"] = median(in) * 1000.0;
    state.counters["out_median_us"] = median(out) * 1000.0;
    state.counters["in_p99_us"] = percentile(in, 0.99) * 1000.0;
    state.counters["out_p99_us"] = percentile(out, 0.99) * 1000.0;
    state.counters["cpu_us_per_msg"] = cpuPerMessage;
    road->relay.clearRecords();
    road->unit.clearRecords();
}

void BackToBack(benchmark::State &state, Road *road, bool refused)
{
    std::vector<double> &record = refused ? road->blockedThenStatus : road->secondStatusLine;
    std::vector<double> samples;
    double ms = 0.0;
    for (auto _ : state) {
        if (!(refused ? road->refusedThenStatus(ms) : road->twoStatusLines(ms))) {
            fail(state, "a message did not arrive");
            return;
        }
        samples.push_back(ms);
        state.SetIterationTime(ms / 1000.0);
    }
    record.insert(record.end(), samples.begin(), samples.end());
    state.counters["median_us"] = median(samples) * 1000.0;
    state.counters["p99_us"] = percentile(samples, 0.99) * 1000.0;
    state.counters["max_us"] = maximum(samples) * 1000.0;
    road->relay.clearRecords();
    road->unit.clearRecords();
}

void registerBenchmarks()
{
    for (int repeat = 1; repeat <= repeats; ++repeat)
        for (const auto &road : roads)
            benchmark::RegisterBenchmark(
                (std::string("RoundTrip/") + nameOf(road->middle) + "/repeat:" + std::to_string(repeat)).c_str(),
                RoundTrips, road.get())
                ->Iterations(roundTrips)
                ->UseManualTime()
                ->Unit(benchmark::kMicrosecond);
    for (const bool refused : {true, false})
        for (int repeat = 1; repeat <= backToBackRepeats; ++repeat)
            for (const auto &road : roads)
                benchmark::RegisterBenchmark((std::string(refused ? "RefusedThenStatus/" : "TwoStatusLines/")
                                              + nameOf(road->middle) + "/repeat:" + std::to_string(repeat))
                                                 .c_str(),
                                             BackToBack, road.get(), refused)
                    ->Iterations(backToBackSamples)
                    ->UseManualTime()
                    ->Unit(benchmark::kMicrosecond);
}

double loadAverage()
{
    double load[1] {};
    return getloadavg(load, 1) == 1 ? load[0] : -1.0;
}

// Per repeat, the one road's median minus the other's, in µs; and their ratio.
std::vector<double> differencesUs(const std::vector<double> &a, const std::vector<double> &b)
{
    std::vector<double> result;
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        result.push_back((a[i] - b[i]) * 1000.0);
    return result;
}

std::vector<double> ratios(const std::vector<double> &a, const std::vector<double> &b)
{
    std::vector<double> result;
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        result.push_back(b[i] > 0.0 ? a[i] / b[i] : 0.0);
    return result;
}

// The handlers' mean times the bridge printed when it ended; 0 when missing.
double handlingUs(const QByteArray &output, const char *key)
{
    const qsizetype at = output.indexOf(QByteArray(" ") + key + "=");
    if (at < 0)
        return 0.0;
    const qsizetype start = at + qsizetype(std::strlen(key)) + 2;
    const qsizetype end = output.indexOf(' ', start);
    return output.mid(start, end < 0 ? -1 : end - start).trimmed().toDouble();
}

void printRoad(const Road &road)
{
    std::printf("relay_path: %-9s in median_us=%.1f p99_us=%.1f | out median_us=%.1f p99_us=%.1f | "
                "cpu_us_per_msg=%.2f | refused+status median_us=%.1f p99_us=%.1f max_us=%.1f | "
                "second status median_us=%.1f p99_us=%.1f max_us=%.1f\n",
                nameOf(road.middle), median(road.inMedians) * 1000.0, percentile(road.allIn, 0.99) * 1000.0,
                median(road.outMedians) * 1000.0, percentile(road.allOut, 0.99) * 1000.0,
                median(road.cpuPerMessageUs), median(road.blockedThenStatus) * 1000.0,
                percentile(road.blockedThenStatus, 0.99) * 1000.0, maximum(road.blockedThenStatus) * 1000.0,
                median(road.secondStatusLine) * 1000.0, percentile(road.secondStatusLine, 0.99) * 1000.0,
                maximum(road.secondStatusLine) * 1000.0);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);

    roads.push_back(std::make_unique<Road>(Middle::bridge));
    roads.push_back(std::make_unique<Road>(Middle::forwarder));
    const bool haveSocat = !QStandardPaths::findExecutable(QStringLiteral("socat")).isEmpty();
    if (haveSocat)
        roads.push_back(std::make_unique<Road>(Middle::socat));
    for (const auto &road : roads) {
        if (!road->start()) {
            std::printf("relay_path: the %s road did not start FAIL\n", nameOf(road->middle));
            return 1;
        }
    }
    for (const auto &road : roads) {
        double in = 0.0;
        double out = 0.0;
        for (int i = 0; i < warmUpRoundTrips; ++i) {
            if (!road->roundTrip(in, out)) {
                std::printf("relay_path: the %s road lost a message while warming up FAIL\n", nameOf(road->middle));
                return 1;
            }
        }
        road->relay.clearRecords();
        road->unit.clearRecords();
    }
    const double loadAtStart = loadAverage();
    registerBenchmarks();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    const double loadAtEnd = loadAverage();

    Road &bridge = *roadOf(Middle::bridge);
    Road &forwarder = *roadOf(Middle::forwarder);
    Road *socat = roadOf(Middle::socat);
    const QByteArray bridgeReport = bridge.finish();
    if (failed || bridge.inMedians.size() != size_t(repeats) || forwarder.inMedians.size() != size_t(repeats)) {
        std::printf("relay_path: not every road was measured FAIL\n");
        return 1;
    }

    // Each repeat, side by side.
    Road &baseline = socat ? *socat : forwarder;
    std::printf("relay_path: each repeat against %s (medians of %d round trips; cpu per message):\n",
                nameOf(baseline.middle), roundTrips);
    for (size_t i = 0; i < bridge.inMedians.size(); ++i)
        std::printf("relay_path:   repeat %2zu  in bridge %.1f %s %.1f us  out bridge %.1f %s %.1f us  "
                    "cpu bridge %.2f %s %.2f us\n",
                    i + 1, bridge.inMedians[i] * 1000.0, nameOf(baseline.middle), baseline.inMedians[i] * 1000.0,
                    bridge.outMedians[i] * 1000.0, nameOf(baseline.middle), baseline.outMedians[i] * 1000.0,
                    bridge.cpuPerMessageUs[i], nameOf(baseline.middle), baseline.cpuPerMessageUs[i]);
    for (const auto &road : roads)
        printRoad(*road);

    const double relayHandling = handlingUs(bridgeReport, "relay_us");
    const double unitHandling = handlingUs(bridgeReport, "unit_us");
    const double handling = std::max(relayHandling, unitHandling);
    std::printf("relay_path: bridge handling relay_us=%.1f unit_us=%.1f (means per handler call)\n",
                relayHandling, unitHandling);
    const double forwarderRatio = std::max(median(ratios(bridge.inMedians, forwarder.inMedians)),
                                           median(ratios(bridge.outMedians, forwarder.outMedians)));
    const double backToBackMax = std::max(maximum(bridge.blockedThenStatus), maximum(bridge.secondStatusLine));
    bool pass = handling <= handlingGoalUs && forwarderRatio <= forwarderRatioGoal
        && backToBackMax <= backToBackGoalMs && handling > 0.0;

    QByteArray againstSocat = "socat not installed: goals against it not checked";
    if (socat) {
        const double addedIn = median(differencesUs(bridge.inMedians, socat->inMedians));
        const double addedOut = median(differencesUs(bridge.outMedians, socat->outMedians));
        const double cpuRatio = median(bridge.cpuPerMessageUs) / median(socat->cpuPerMessageUs);
        const double ratioIn = median(ratios(bridge.inMedians, socat->inMedians));
        const double ratioOut = median(ratios(bridge.outMedians, socat->outMedians));
        pass = pass && addedIn <= addedGoalUs && addedOut <= addedGoalUs && cpuRatio <= cpuRatioGoal;
        againstSocat = QStringLiteral("added_in_us=%1 added_out_us=%2 ratio_in=%3 ratio_out=%4 cpu_ratio=%5")
                           .arg(addedIn, 0, 'f', 1)
                           .arg(addedOut, 0, 'f', 1)
                           .arg(ratioIn, 0, 'f', 2)
                           .arg(ratioOut, 0, 'f', 2)
                           .arg(cpuRatio, 0, 'f', 2)
                           .toLatin1();
    }
    std::printf("relay_path: load %.2f at start, %.2f at end\n", loadAtStart, loadAtEnd);
    std::printf("relay_path: handling_us=%.1f forwarder_ratio=%.2f back_to_back_max_ms=%.3f %s %s\n", handling,
                forwarderRatio, backToBackMax, againstSocat.constData(), pass ? "PASS" : "FAIL");
    return pass ? 0 : 1;
}
