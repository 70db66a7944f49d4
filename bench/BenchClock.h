// Clocks for the benchmarks: wall-clock seconds from the performance
// counter, and UTC time as FILETIME ticks (100-ns units).
#ifndef HALVEX_BENCH_CLOCK_H
#define HALVEX_BENCH_CLOCK_H

#include <windows.h>

namespace bench {

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

inline unsigned long long Ticks(const FILETIME &t) {
    return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}
inline FILETIME FromTicks(unsigned long long ticks) {
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

// UTC now, at the clock's full resolution where the system has the precise
// call (GetSystemTimeAsFileTime may step by 15.6 ms).
inline unsigned long long UtcNow() {
    using Precise = VOID(WINAPI *)(LPFILETIME);
    static const Precise precise = reinterpret_cast<Precise>(reinterpret_cast<void *>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetSystemTimePreciseAsFileTime")));
    FILETIME now;
    if (precise) {
        precise(&now);
    } else {
        GetSystemTimeAsFileTime(&now);
    }
    return Ticks(now);
}

}  // namespace bench

#endif
