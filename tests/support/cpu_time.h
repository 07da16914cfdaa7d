#pragma once
// The CPU time of the test process, for checks that something stays idle.

#include <sys/resource.h>

namespace test {

// CPU time (user + system) this process has used so far, in seconds.
inline double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

} // namespace test
