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

// The tenth fastest of a hundred: what a round takes when no other program
// on the machine gets in the way, which a shared machine's medians do not
// always show.
inline double quickest(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 10];
}

inline double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace bench
