#pragma once
// Order statistics of timing samples, shared by the benchmark programs.

#include <algorithm>
#include <cstddef>
#include <vector>

namespace benchstats {

// The sample at the given fraction of the sorted samples (0.5 the median), 0 when there are none.
inline double percentile(std::vector<double> samples, double fraction)
{
    if (samples.empty())
        return 0.0;
    std::sort(samples.begin(), samples.end());
    const auto index = static_cast<std::size_t>(fraction * double(samples.size() - 1) + 0.5);
    return samples[std::min(index, samples.size() - 1)];
}

} // namespace benchstats
