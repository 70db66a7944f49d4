// Wall-clock seconds from the performance counter, for the benchmarks.
#ifndef HALVEX_BENCH_CLOCK_H
#define HALVEX_BENCH_CLOCK_H

#include <windows.h>

inline double Seconds() {
    static const LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

#endif
