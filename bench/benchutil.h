#pragma once

// Shared by the benchmarks: wall-clock time, medians, child processes and the
// one-line-per-figure report.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace bench {

inline double nowMs()
{
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

inline double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

// name, our median, the baseline's median, their ratio, the run count.
inline void report(const std::string &name, const std::vector<double> &ours,
                   const std::vector<double> &baseline, const char *unit)
{
    const double o = median(ours);
    const double b = median(baseline);
    std::printf("%-28s ours %10.3f %-3s baseline %10.3f %-3s ratio %6.3f runs %zu\n", name.c_str(),
                o, unit, b, unit, b > 0 ? o / b : 0.0, std::min(ours.size(), baseline.size()));
    std::fflush(stdout);
}

// A figure with no baseline of its own.
inline void reportOne(const std::string &name, const std::vector<double> &values, const char *unit)
{
    std::printf("%-28s      %10.3f %-3s runs %zu\n", name.c_str(), median(values), unit,
                values.size());
    std::fflush(stdout);
}

} // namespace bench
