// Framing and parsing one status line from the unit's receive buffer.
#include "core/status_line.h"

#include <benchmark/benchmark.h>

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

BENCHMARK_MAIN();
