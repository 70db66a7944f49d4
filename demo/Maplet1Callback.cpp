#include "Maplet1Callback.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace maplet1 {

const char *const kItemNames[kItemCount] = {"A.A.A", "A.A.B", "A.A.C", "A.B.A", "A.B.B",
                                            "A.B.C", "A.C.A", "A.C.B", "A.C.C"};

namespace {

constexpr DWORD kNoHandle = 0xFFFFFFFF;  // DefineHDAItem's failure value

// FILETIME counts from a midnight and knows no leap seconds, so minutes and
// seconds of the UTC calendar are plain divisions.
unsigned SecondOfMinute(ULONGLONG ticks) {
    return static_cast<unsigned>(ticks % kMinute / kSecond);
}

ULONGLONG FloorTicks(ULONGLONG ticks) {
    return ticks - ticks % kMinute + SecondOfMinute(ticks) / 15 * kStep;
}

ULONGLONG NextTicks(ULONGLONG ticks) {
    unsigned second = SecondOfMinute(ticks);
    unsigned quarter = second == 0 ? 1 : (second + 14) / 15;  // 1..4; 4 is the next minute
    return ticks - ticks % kMinute + quarter * kStep;
}

// r / 32767 * 10 + 95 with r from rand(). The clamp keeps the value in range
// even if a runtime's rand() ever went beyond 0..32767; 95 and 105 are exact
// in a float, so the rounding cannot leave the range either.
float RandomValue() {
    int r = rand();
    if (r < 0) r = 0;
    if (r > 32767) r = 32767;
    return static_cast<float>(r / 32767.0 * 10.0 + 95.0);
}

HRESULT MakeString(const char *text, VARIANT *value) {
    std::wstring wide(text, text + strlen(text));
    for (wchar_t &c : wide) c = static_cast<unsigned char>(c);
    BSTR bstr = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    if (!bstr) return E_OUTOFMEMORY;
    value->vt = VT_BSTR;
    value->bstrVal = bstr;
    return S_OK;
}

}  // namespace

FILETIME GridFloor(FILETIME time) { return FromTicks(FloorTicks(Ticks(time))); }
FILETIME GridNext(FILETIME time) { return FromTicks(NextTicks(Ticks(time))); }

}  // namespace maplet1

using namespace maplet1;

CMaplet1Callback::CMaplet1Callback() {
    for (auto &handle : handles_) handle.store(kNoHandle);
}

void CMaplet1Callback::SetItemHandle(int index, DWORD handle) {
    if (index >= 0 && index < kItemCount) handles_[index].store(handle);
}

long CMaplet1Callback::GetTimeStamps(void *, FILETIME *start, FILETIME *end, long maxCount,
                                     FILETIME *stamps) {
    if (maxCount <= 0 || !stamps) return 0;
    long n = 0;
    const bool backwards = !start || (end && Ticks(*start) > Ticks(*end));
    if (!backwards) {
        ULONGLONG t = NextTicks(Ticks(*start));
        if (!end) {
            for (; n < maxCount; t += kStep) stamps[n++] = FromTicks(t);
        } else {
            const ULONGLONG last = FloorTicks(Ticks(*end));
            for (; n < maxCount && t <= last; t += kStep) stamps[n++] = FromTicks(t);
        }
        return n;
    }
    if (!start && !end) return 0;  // nothing to start from
    // From the later time back in 15-second steps. With a null start up to
    // the maximum count; with both times down to the grid next of the end,
    // mirroring the forward read so that both directions count alike.
    ULONGLONG t = FloorTicks(Ticks(start ? *start : *end));
    const ULONGLONG first = start ? NextTicks(Ticks(*end)) : 0;
    while (n < maxCount && t >= first) {
        stamps[n++] = FromTicks(t);
        if (t < kStep) break;  // no stamps before the FILETIME origin
        t -= kStep;
    }
    return n;
}

HRESULT CMaplet1Callback::GetPreviousTimeStamp(void *, FILETIME time, FILETIME *stamp) {
    *stamp = GridFloor(time);
    return S_OK;
}

HRESULT CMaplet1Callback::GetNextTimeStamp(void *, FILETIME time, FILETIME *stamp) {
    *stamp = GridNext(time);
    return S_OK;
}

HRESULT CMaplet1Callback::ReadAt(void *, FILETIME time, VARIANT *value, DWORD *quality) {
    value->vt = VT_R4;
    value->fltVal = RandomValue();
    *quality = SecondOfMinute(Ticks(time)) % 15 == 0 ? kQualityRaw : kQualityInterpolated;
    return S_OK;
}

HRESULT CMaplet1Callback::ReadCurrentAttribute(void *item, DWORD attributeId, FILETIME *,
                                               VARIANT *value) {
    VARIANT local;
    VariantInit(&local);
    HRESULT hr = S_OK;
    switch (attributeId) {
    case 1:  // data type of the items' values
        local.vt = VT_I2;
        local.iVal = VT_R4;
        break;
    case 2:
        hr = MakeString("Random Floating Point Values", &local);
        break;
    case 3:
        hr = MakeString("Counts", &local);
        break;
    case 13: {
        const char *name = "UNKNOWN Item";
        const uintptr_t handle = reinterpret_cast<uintptr_t>(item);
        for (int i = 0; i < kItemCount; ++i) {
            const DWORD known = handles_[i].load();
            if (known != kNoHandle && handle == known) {
                name = kItemNames[i];
                break;
            }
        }
        hr = MakeString(name, &local);
        break;
    }
    default:
        return kInvalidAttrId;
    }
    if (SUCCEEDED(hr)) hr = VariantCopy(value, &local);
    VariantClear(&local);
    return hr;
}

HRESULT CMaplet1Callback::ReadAttributeAt(void *item, DWORD attributeId, FILETIME,
                                          VARIANT *value) {
    FILETIME scratch = {};
    HRESULT hr = ReadCurrentAttribute(item, attributeId, &scratch, value);
    return SUCCEEDED(hr) ? kCurrentValue : hr;
}

HRESULT CMaplet1Callback::ReadProcessed(void *item, DWORD aggregateId, FILETIME *start,
                                        FILETIME *end, VARIANT *value, DWORD *quality) {
    switch (aggregateId) {
    case 3:  // Average
        value->vt = VT_R4;
        value->fltVal = RandomValue();
        break;
    case 5: {  // Count
        FILETIME scratch[100];
        long count = GetTimeStamps(item, start, end, 100, scratch);
        value->vt = VT_R4;
        value->fltVal = static_cast<float>(count);
        break;
    }
    default:
        return kNotAvail;
    }
    *quality = kQualityCalculated;
    return S_OK;
}
