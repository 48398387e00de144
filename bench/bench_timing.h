#pragma once
// Timing helpers for the Windows benchmarks: median of interleaved runs.
#include <windows.h>

#include <algorithm>
#include <vector>

namespace bench {

inline double nowMs() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return 1000.0 * static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

template <typename Work>
double timeMs(Work&& work) {
    const double start = nowMs();
    work();
    return nowMs() - start;
}

inline double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace bench
