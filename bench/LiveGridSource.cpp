#include "LiveGridSource.h"

#include <cstdint>

#include "AsyncBenchIds.h"
#include "BenchClock.h"

namespace {

using bench::FromTicks;
using bench::Ticks;

constexpr HRESULT kNoData = 0x40041002;
constexpr unsigned long long kLiveStep = asyncbench::kLiveStepTicks;

unsigned long long Floor(unsigned long long t) { return t - t % kLiveStep; }
unsigned long long Ceil(unsigned long long t) { return t % kLiveStep ? Floor(t) + kLiveStep : t; }

unsigned long long Now() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return Ticks(now);
}

// The latest stamp that exists now.
unsigned long long Latest() { return Floor(Now()); }

}  // namespace

bool LiveGridSource::IsLive(void *item) const {
    return static_cast<DWORD>(reinterpret_cast<uintptr_t>(item)) == live_;
}

long LiveGridSource::GetTimeStamps(void *item, FILETIME *start, FILETIME *end, long maxCount,
                                   FILETIME *stamps) {
    if (!IsLive(item)) return GridSource::GetTimeStamps(item, start, end, maxCount, stamps);
    if (maxCount <= 0) return 0;
    const unsigned long long latest = Latest();
    long n = 0;
    const bool backwards = !start || (end && Ticks(*start) > Ticks(*end));
    if (!backwards) {
        const unsigned long long last = end && Ticks(*end) < latest ? Ticks(*end) : latest;
        for (unsigned long long t = Ceil(Ticks(*start)); n < maxCount && t <= last; t += kLiveStep)
            stamps[n++] = FromTicks(t);
    } else {
        unsigned long long high = Ticks(start ? *start : *end);
        if (high > latest) high = latest;
        const unsigned long long low = start && end ? Ticks(*end) : 0;
        for (unsigned long long t = Floor(high); n < maxCount && t >= low && t >= kLiveStep;
             t -= kLiveStep)
            stamps[n++] = FromTicks(t);
    }
    return n;
}

HRESULT LiveGridSource::GetPreviousTimeStamp(void *item, FILETIME time, FILETIME *stamp) {
    if (!IsLive(item)) return GridSource::GetPreviousTimeStamp(item, time, stamp);
    const unsigned long long latest = Latest();
    const unsigned long long t = Ticks(time);
    *stamp = FromTicks(t < latest ? Floor(t) : latest);
    return S_OK;
}

HRESULT LiveGridSource::GetNextTimeStamp(void *item, FILETIME time, FILETIME *stamp) {
    if (!IsLive(item)) return GridSource::GetNextTimeStamp(item, time, stamp);
    const unsigned long long next = Ceil(Ticks(time));
    if (next > Latest()) return kNoData;
    *stamp = FromTicks(next);
    return S_OK;
}

HRESULT LiveGridSource::ReadAt(void *item, FILETIME time, VARIANT *value, DWORD *quality) {
    if (!IsLive(item)) return GridSource::ReadAt(item, time, value, quality);
    const unsigned long long t = Ticks(time);
    if (t > Now()) return kNoData;
    value->vt = VT_R8;
    value->dblVal = static_cast<double>(t / kLiveStep % 1000);
    *quality = t % kLiveStep ? 2 : 4;
    return S_OK;
}
