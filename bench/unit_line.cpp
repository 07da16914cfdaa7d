// Framing and parsing one status line from the unit's receive buffer, for the record: the
// serial line itself needs about 31 ms to carry one.
#include "core/rules/status_line.h"

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {
double nanosecondsPerLine = 0;
} // namespace

static void frameAndParseStatusLine(benchmark::State &state)
{
    const QByteArray buffer = "612:40:62:1:0:3:0:0:2.107\r\n";
    for (auto _ : state) {
        const kelvo::UnitFrame frame = kelvo::frameUnitLine(buffer);
        auto status = kelvo::parseStatusLine(frame.line);
        benchmark::DoNotOptimize(status);
    }
}
BENCHMARK(frameAndParseStatusLine);

// Reports the figure in the summary line that scripts/bench collects.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    SummaryReporter() : ConsoleReporter(OO_Tabular) {} // no colour codes in front of the summary
    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs)
            nanosecondsPerLine = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
};

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("unit_line: ns_per_line=%.0f (for the record)\n", nanosecondsPerLine);
    return 0;
}
