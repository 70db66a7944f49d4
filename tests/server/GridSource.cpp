#include "server/GridSource.h"

#include <cstdint>

namespace {

constexpr HRESULT kNoData = 0x40041002;

unsigned long long Ticks(const FILETIME &t) {
    return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}
FILETIME FromTicks(unsigned long long ticks) {
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}
unsigned long long Floor(unsigned long long t) { return t - t % GridSource::kStep; }
unsigned long long Ceil(unsigned long long t) {
    return t % GridSource::kStep ? Floor(t) + GridSource::kStep : t;
}

}  // namespace

void GridSource::AddItem(DWORD handle, const std::string &id) {
    handles_.push_back(handle);
    ids_.push_back(id);
}

void GridSource::SetSlowItem(DWORD handle, const char *eventName) {
    slowHandle_ = handle;
    slowEvent_ = eventName;
}

void GridSource::WaitWhileSlow(void *item) const {
    if (!slowEvent_ || static_cast<DWORD>(reinterpret_cast<uintptr_t>(item)) != slowHandle_)
        return;
    HANDLE slow = OpenEventA(SYNCHRONIZE, FALSE, slowEvent_);
    if (!slow) return;
    const ULONGLONG until = GetTickCount64() + 30000;
    while (WaitForSingleObject(slow, 0) == WAIT_OBJECT_0 && GetTickCount64() < until) Sleep(10);
    CloseHandle(slow);
}

int GridSource::IndexOf(void *item) const {
    DWORD handle = static_cast<DWORD>(reinterpret_cast<uintptr_t>(item));
    for (size_t i = 0; i + 1 < handles_.size(); ++i)
        if (handles_[i] == handle) return static_cast<int>(i);
    return -1;
}

long GridSource::GetTimeStamps(void *item, FILETIME *start, FILETIME *end, long maxCount,
                               FILETIME *stamps) {
    // Neither time: nothing to start from.
    if (IndexOf(item) < 0 || maxCount <= 0 || (!start && !end)) return 0;
    long n = 0;
    const bool backwards = !start || (end && Ticks(*start) > Ticks(*end));
    if (!backwards) {
        for (unsigned long long t = Ceil(Ticks(*start));
             n < maxCount && (!end || t <= Ticks(*end)); t += kStep)
            stamps[n++] = FromTicks(t);
    } else {
        const unsigned long long high = Ticks(start ? *start : *end);
        const unsigned long long low = start && end ? Ticks(*end) : 0;
        for (unsigned long long t = Floor(high); n < maxCount && t >= low && t >= kStep;
             t -= kStep)
            stamps[n++] = FromTicks(t);
    }
    return n;
}

HRESULT GridSource::GetPreviousTimeStamp(void *item, FILETIME time, FILETIME *stamp) {
    if (IndexOf(item) < 0) return kNoData;
    *stamp = FromTicks(Floor(Ticks(time)));
    return S_OK;
}

HRESULT GridSource::GetNextTimeStamp(void *item, FILETIME time, FILETIME *stamp) {
    if (IndexOf(item) < 0) return kNoData;
    *stamp = FromTicks(Ceil(Ticks(time)));
    return S_OK;
}

HRESULT GridSource::ReadAt(void *item, FILETIME time, VARIANT *value, DWORD *quality) {
    int index = IndexOf(item);
    if (index < 0) return kNoData;
    WaitWhileSlow(item);
    unsigned long long t = Ticks(time);
    value->vt = VT_R8;
    value->dblVal = index * 1000.0 + static_cast<double>(t / kStep % 1000);
    *quality = t % kStep ? 2 : 4;
    return S_OK;
}

HRESULT GridSource::ReadCurrentAttribute(void *item, DWORD attributeId, FILETIME *,
                                         VARIANT *value) {
    DWORD handle = static_cast<DWORD>(reinterpret_cast<uintptr_t>(item));
    if (attributeId == 1) {
        value->vt = VT_I2;
        value->iVal = VT_R8;
        return S_OK;
    }
    if (attributeId == 13) {
        for (size_t i = 0; i < handles_.size(); ++i) {
            if (handles_[i] != handle) continue;
            std::wstring id(ids_[i].begin(), ids_[i].end());
            value->vt = VT_BSTR;
            value->bstrVal = SysAllocString(id.c_str());
            return value->bstrVal ? S_OK : E_OUTOFMEMORY;
        }
    }
    return E_FAIL;
}

HRESULT GridSource::ReadAttributeAt(void *, DWORD, FILETIME, VARIANT *) { return E_FAIL; }

HRESULT GridSource::ReadProcessed(void *item, DWORD aggregateId, FILETIME *start, FILETIME *end,
                                  VARIANT *value, DWORD *quality) {
    if (IndexOf(item) < 0 || aggregateId != 5) return E_FAIL;
    unsigned long long a = Ticks(*start), b = Ticks(*end);
    if (a > b) std::swap(a, b);
    // Grid stamps in [a, b).
    long count = 0;
    for (unsigned long long t = Ceil(a); t < b; t += kStep) ++count;
    value->vt = VT_I4;
    value->lVal = count;
    *quality = 8;
    return S_OK;
}
