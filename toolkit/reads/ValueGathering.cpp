#include "reads/ValueGathering.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "runtime/CallbackUse.h"
#include "runtime/ClientMemory.h"
#include "runtime/ToolkitState.h"

namespace halvex {
namespace {

constexpr HRESULT kNoData = 0x40041002;        // OPC_S_NODATA
constexpr HRESULT kMoreData = 0x40041003;      // OPC_S_MOREDATA
constexpr HRESULT kCurrentValue = 0x40041005;  // OPC_S_CURRENTVALUE
constexpr HRESULT kInvalidAttrId = static_cast<HRESULT>(0xC004100C);  // OPC_E_INVALIDATTRID
constexpr DWORD kNoBound = 16;
constexpr DWORD kNoValue = 32;

// The item argument of every callback call: the item handle itself.
void *ItemArg(DWORD item) { return reinterpret_cast<void *>(static_cast<uintptr_t>(item)); }

bool Same(const FILETIME &a, const FILETIME &b) { return Ticks(a) == Ticks(b); }

// A working buffer of time stamps for one call.
std::unique_ptr<FILETIME[]> StampBuffer(DWORD count) {
    return std::unique_ptr<FILETIME[]>(new (std::nothrow) FILETIME[count ? count : 1]());
}

// The application's count of time stamps, kept within [0, limit].
DWORD ClampCount(long count, DWORD limit) {
    if (count <= 0) return 0;
    return static_cast<DWORD>(count) > limit ? limit : static_cast<DWORD>(count);
}

// An application that failed may have left a value behind; the client gets
// an empty one with the failure's quality.
void DropValue(VARIANT &value) {
    VariantClear(&value);
    VariantInit(&value);
}

// Puts arrays for `count` entries into the record.
HRESULT AllocateEntries(OPCHDA_ITEM &record, DWORD count) {
    ClientMemory memory;
    FILETIME *stamps = memory.Array<FILETIME>(count);
    DWORD *qualities = memory.Array<DWORD>(count);
    VARIANT *values = memory.Array<VARIANT>(count);
    if (memory.Failed()) return E_OUTOFMEMORY;
    memory.HandOver();
    record.dwCount = count;
    record.pftTimeStamps = stamps;
    record.pdwQualities = qualities;
    record.pvDataValues = values;
    return S_OK;
}

}  // namespace

HRESULT GatherRawValues(DWORD item, OPCHDA_ITEM &record, const FILETIME *start,
                        const FILETIME *end, DWORD maxValues, BOOL bounds) {
    CallbackUse use;
    CVxHDACallback *source = use.get();
    if (!source) return kNoData;
    const DWORD limit =
        maxValues == 0 || maxValues > kMaxValuesPerItem ? kMaxValuesPerItem : maxValues;
    const bool backwards = !start || (end && Ticks(*start) > Ticks(*end));
    auto buffer = StampBuffer(limit);
    if (!buffer) return E_OUTOFMEMORY;

    // The application gets copies: it may write through the pointers.
    FILETIME startCopy = start ? *start : FILETIME{};
    FILETIME endCopy = end ? *end : FILETIME{};
    DWORD n = ClampCount(source->GetTimeStamps(ItemArg(item), start ? &startCopy : nullptr,
                                               end ? &endCopy : nullptr,
                                               static_cast<long>(limit), buffer.get()),
                         limit);
    if (n == 0) return kNoData;

    DWORD firstBound = 0, lastBound = 0;
    const bool withBounds = bounds && start && end;
    if (withBounds) {
        // The first entry bounds the start, the last the end: backwards the
        // start is the later time, so its bound is the next value after it.
        const FILETIME &nearTime = *start;
        const FILETIME &farTime = *end;
        if (!Same(buffer[0], nearTime)) {
            memmove(&buffer[1], &buffer[0], sizeof(FILETIME) * (n < limit ? n : limit - 1));
            if (n < limit) ++n;
            HRESULT hr = backwards
                             ? source->GetNextTimeStamp(ItemArg(item), nearTime, &buffer[0])
                             : source->GetPreviousTimeStamp(ItemArg(item), nearTime, &buffer[0]);
            firstBound = hr == S_OK ? 0 : kNoBound;
        }
        if (!Same(buffer[n - 1], farTime)) {
            if (n < limit) ++n;
            HRESULT hr =
                backwards ? source->GetPreviousTimeStamp(ItemArg(item), farTime, &buffer[n - 1])
                          : source->GetNextTimeStamp(ItemArg(item), farTime, &buffer[n - 1]);
            lastBound = hr == S_OK ? 0 : kNoBound;
        }
    }

    // Room for the values found, not for the limit: a read of many items
    // with few values each stays small.
    if (AllocateEntries(record, n) != S_OK) return E_OUTOFMEMORY;
    FILETIME *stamps = record.pftTimeStamps;
    DWORD *qualities = record.pdwQualities;
    VARIANT *values = record.pvDataValues;

    for (DWORD i = 0; i < n; ++i) {
        DWORD quality = 0;
        if (bounds && i == 0) quality = firstBound;
        else if (bounds && i == n - 1) quality = lastBound;
        VariantInit(&values[i]);
        qualities[i] = quality;
        if (quality != 0) continue;  // no bounding value: stamp 0, no value
        stamps[i] = buffer[i];
        if (source->ReadAt(ItemArg(item), buffer[i], &values[i], &qualities[i]) != S_OK) {
            qualities[i] = kNoValue;
            DropValue(values[i]);
        }
    }

    // More data: the limit was reached short of the end, and the application
    // has a value strictly beyond the last one returned and within the range.
    // The source answers "at or after" (or "at or before") a time, so it is
    // asked from one tick past the last value, and its answer is checked.
    if (n == limit && start && end && !Same(buffer[n - 1], *end)) {
        const ULONGLONG last =
            Ticks(bounds && limit >= 2 ? buffer[limit - 2] : buffer[limit - 1]);
        FILETIME further = {};
        if (!backwards) {
            if (last < Ticks(*end) &&
                source->GetNextTimeStamp(ItemArg(item), FromTicks(last + 1), &further) == S_OK &&
                Ticks(further) > last && Ticks(further) <= Ticks(*end))
                return kMoreData;
        } else {
            // Backwards the range ends at the end time, the earlier of the two.
            if (last > Ticks(*end) &&
                source->GetPreviousTimeStamp(ItemArg(item), FromTicks(last - 1), &further) ==
                    S_OK &&
                Ticks(further) < last && Ticks(further) >= Ticks(*end))
                return kMoreData;
        }
    }
    return S_OK;
}

HRESULT GatherValuesAtTimes(DWORD item, OPCHDA_ITEM &record, DWORD count,
                            const FILETIME *times) {
    CallbackUse use;
    CVxHDACallback *source = use.get();
    if (!source) return kNoData;
    if (AllocateEntries(record, count) != S_OK) return E_OUTOFMEMORY;
    FILETIME *stamps = record.pftTimeStamps;
    DWORD *qualities = record.pdwQualities;
    VARIANT *values = record.pvDataValues;
    for (DWORD i = 0; i < count; ++i) {
        VariantInit(&values[i]);
        stamps[i] = times[i];
        if (source->ReadAt(ItemArg(item), times[i], &values[i], &qualities[i]) != S_OK) {
            qualities[i] = kNoValue;
            DropValue(values[i]);
        }
    }
    return S_OK;
}

HRESULT GatherAttributeValues(DWORD item, DWORD attributeId, OPCHDA_ATTRIBUTE &record,
                              const FILETIME &start, const FILETIME *end) {
    const HDADefinition *definition = Toolkit().FindAttribute(attributeId);
    if (!definition) return kInvalidAttrId;
    CallbackUse use;
    CVxHDACallback *source = use.get();
    if (!source) return E_FAIL;

    if (!end || !definition->hasHistory) {
        ClientMemory memory;
        FILETIME *stamp = memory.Array<FILETIME>(1);
        VARIANT *value = memory.Array<VARIANT>(1);
        if (memory.Failed()) return E_OUTOFMEMORY;
        VariantInit(value);
        if (source->ReadCurrentAttribute(ItemArg(item), attributeId, stamp, value) != S_OK) {
            VariantClear(value);
            return E_FAIL;  // the memory goes with `memory`
        }
        memory.HandOver();
        record.dwNumValues = 1;
        record.dwAttributeID = attributeId;
        record.ftTimeStamps = stamp;
        record.vAttributeValues = value;
        return end ? kCurrentValue : S_OK;
    }

    const bool backwards = Ticks(start) > Ticks(*end);
    // The value in force over the range is the one at its earlier edge: the
    // start forwards, the end backwards.
    const FILETIME &earlier = backwards ? *end : start;
    auto buffer = StampBuffer(kMaxValuesPerItem);
    if (!buffer) return E_OUTOFMEMORY;
    FILETIME startCopy = start, endCopy = *end;
    DWORD m = ClampCount(source->GetTimeStamps(ItemArg(item), &startCopy, &endCopy,
                                               static_cast<long>(kMaxValuesPerItem), buffer.get()),
                         kMaxValuesPerItem);
    if (m == 0) {
        if (source->GetPreviousTimeStamp(ItemArg(item), earlier, &buffer[0]) != S_OK)
            return E_FAIL;
        m = 1;
    } else if (backwards) {
        // Newest first: the value in force at the end goes last.
        if (!Same(buffer[m - 1], earlier) && m < kMaxValuesPerItem) {
            ++m;
            if (source->GetPreviousTimeStamp(ItemArg(item), earlier, &buffer[m - 1]) != S_OK) --m;
        }
    } else if (!Same(buffer[0], start) && m < kMaxValuesPerItem) {
        FILETIME before = {};
        if (source->GetPreviousTimeStamp(ItemArg(item), start, &before) == S_OK) {
            memmove(&buffer[1], &buffer[0], sizeof(FILETIME) * m);
            buffer[0] = before;
            ++m;
        }
    }

    ClientMemory memory;
    FILETIME *stamps = memory.Array<FILETIME>(m);
    VARIANT *values = memory.Array<VARIANT>(m);
    if (memory.Failed()) return E_OUTOFMEMORY;
    for (DWORD i = 0; i < m; ++i) {
        VariantInit(&values[i]);
        if (source->ReadAttributeAt(ItemArg(item), attributeId, buffer[i], &values[i]) != S_OK) {
            for (DWORD j = 0; j <= i; ++j) VariantClear(&values[j]);
            return E_FAIL;
        }
        stamps[i] = buffer[i];
    }
    memory.HandOver();
    record.dwNumValues = m;
    record.dwAttributeID = attributeId;
    record.ftTimeStamps = stamps;
    record.vAttributeValues = values;
    return S_OK;
}

ULONGLONG CountIntervals(const FILETIME &start, const FILETIME &end, ULONGLONG interval) {
    if (interval == 0) return 1;
    ULONGLONG a = Ticks(start), b = Ticks(end);
    ULONGLONG distance = a > b ? a - b : b - a;
    return distance / interval + (distance % interval ? 1 : 0);
}

HRESULT GatherProcessedValues(DWORD item, OPCHDA_ITEM &record, DWORD aggregateId,
                              const FILETIME &start, const FILETIME &end, ULONGLONG interval) {
    CallbackUse use;
    CVxHDACallback *source = use.get();
    if (!source) return kNoData;
    ULONGLONG count = CountIntervals(start, end, interval);
    if (count > kMaxValuesPerItem) return static_cast<HRESULT>(0xC0041001);  // OPC_E_MAXEXCEEDED
    const DWORD n = static_cast<DWORD>(count);
    if (AllocateEntries(record, n) != S_OK) return E_OUTOFMEMORY;
    record.haAggregate = aggregateId;
    FILETIME *stamps = record.pftTimeStamps;
    DWORD *qualities = record.pdwQualities;
    VARIANT *values = record.pvDataValues;

    const ULONGLONG from = Ticks(start), to = Ticks(end);
    const bool forwards = from <= to;
    for (DWORD i = 0; i < n; ++i) {
        // Edges stay within [start, end]: i * interval is below the distance.
        ULONGLONG offset = i * interval;
        FILETIME nearEdge = FromTicks(forwards ? from + offset : from - offset);
        FILETIME farEdge = end;
        if (i + 1 < n) farEdge = FromTicks(forwards ? from + offset + interval
                                                    : from - offset - interval);
        VariantInit(&values[i]);
        stamps[i] = nearEdge;
        if (source->ReadProcessed(ItemArg(item), aggregateId, &nearEdge, &farEdge, &values[i],
                                  &qualities[i]) != S_OK) {
            qualities[i] = kNoValue;
            DropValue(values[i]);
        }
    }
    return S_OK;
}

}  // namespace halvex
