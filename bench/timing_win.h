#pragma once
// The clock and the median the Windows benchmarks share.

#include <windows.h>

#include <algorithm>
#include <vector>

namespace benchtime {

// Seconds on the performance counter.
inline double now()
{
    static const double frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / frequency;
}

inline double median(std::vector<double> times)
{
    if (times.empty())
        return 0;
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace benchtime
