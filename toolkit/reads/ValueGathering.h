// The five gathering operations: the one place where history reads ask the
// application's callback object for data, shared by synchronous and
// queued reads. Each fills one result record and returns that record's
// result code; none keeps state between calls. Arrays put into a record come
// from the task allocator, zero-filled; whoever receives the record owns them.
#ifndef HALVEX_VALUE_GATHERING_H
#define HALVEX_VALUE_GATHERING_H

#include <windows.h>

#include "opchda.h"

namespace halvex {

// The most values or intervals one item may return in one read.
constexpr DWORD kMaxValuesPerItem = 5000;

// Raw values between the two times (either may be null), at most maxValues
// (0: the limit), with bounding values when asked. S_OK, OPC_S_MOREDATA,
// OPC_S_NODATA or E_OUTOFMEMORY.
HRESULT GatherRawValues(DWORD item, OPCHDA_ITEM &record, const FILETIME *start,
                        const FILETIME *end, DWORD maxValues, BOOL bounds);

// One value per requested time, in the caller's order. S_OK, OPC_S_NODATA
// or E_OUTOFMEMORY.
HRESULT GatherValuesAtTimes(DWORD item, OPCHDA_ITEM &record, DWORD count,
                            const FILETIME *times);

// An attribute's current value, or its values over [start, end] when it has
// history and an end is given. S_OK, OPC_S_CURRENTVALUE,
// OPC_E_INVALIDATTRID, E_FAIL or E_OUTOFMEMORY.
HRESULT GatherAttributeValues(DWORD item, DWORD attributeId, OPCHDA_ATTRIBUTE &record,
                              const FILETIME &start, const FILETIME *end);

// One aggregate value per resample interval from start towards end.
// S_OK, OPC_S_NODATA or E_OUTOFMEMORY.
HRESULT GatherProcessedValues(DWORD item, OPCHDA_ITEM &record, DWORD aggregateId,
                              const FILETIME &start, const FILETIME &end, ULONGLONG interval);

// The number of resample intervals between two times: 1 for an interval of
// 0, else the distance divided by the interval, rounded up. Counted in 64
// bits, so a long range with a short interval never wraps to a small count.
ULONGLONG CountIntervals(const FILETIME &start, const FILETIME &end, ULONGLONG interval);

// A FILETIME as one 64-bit number, and back.
inline ULONGLONG Ticks(const FILETIME &t) {
    return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}
inline FILETIME FromTicks(ULONGLONG ticks) {
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

}  // namespace halvex

#endif
