// The demo's invented history: every item has a raw value every 15 seconds
// (seconds 0, 15, 30 and 45 of each minute), each a fresh random number
// between 95 and 105.
#ifndef MAPLET1_CALLBACK_H
#define MAPLET1_CALLBACK_H

#include <windows.h>

#include <atomic>

#include "Halvex.h"

namespace maplet1 {

constexpr int kItemCount = 9;
// The item IDs, in definition order.
extern const char *const kItemNames[kItemCount];

constexpr HRESULT kCurrentValue = 0x40041005;                     // OPC_S_CURRENTVALUE
constexpr HRESULT kNotAvail = static_cast<HRESULT>(0xC0041009);      // OPC_E_NOT_AVAIL
constexpr HRESULT kInvalidAttrId = static_cast<HRESULT>(0xC004100C); // OPC_E_INVALIDATTRID

constexpr DWORD kQualityInterpolated = 2;
constexpr DWORD kQualityRaw = 4;
constexpr DWORD kQualityCalculated = 8;

constexpr ULONGLONG kSecond = 10000000;  // FILETIME units
constexpr ULONGLONG kMinute = 60 * kSecond;
constexpr ULONGLONG kStep = 15 * kSecond;

// A FILETIME as one number of 100-ns units, and back.
inline ULONGLONG Ticks(const FILETIME &t) {
    return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}
inline FILETIME FromTicks(ULONGLONG ticks) {
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

// The grid roundings. Both drop everything below the whole second.
// Floor: seconds 0-14 -> 0, 15-29 -> 15, 30-44 -> 30, 45-59 -> 45.
FILETIME GridFloor(FILETIME time);
// Next: seconds 0-15 -> 15, 16-30 -> 30, 31-45 -> 45, 46-59 -> next minute's 0.
FILETIME GridNext(FILETIME time);

}  // namespace maplet1

class CMaplet1Callback : public CVxHDACallback {
public:
    CMaplet1Callback();

    // Tells the callback the handle DefineHDAItem returned for item `index`
    // (0-8, the order of kItemNames); attribute 13 names items by it.
    void SetItemHandle(int index, DWORD handle);

    long GetTimeStamps(void *item, FILETIME *start, FILETIME *end, long maxCount,
                       FILETIME *stamps) override;
    HRESULT GetPreviousTimeStamp(void *item, FILETIME time, FILETIME *stamp) override;
    HRESULT GetNextTimeStamp(void *item, FILETIME time, FILETIME *stamp) override;
    HRESULT ReadAt(void *item, FILETIME time, VARIANT *value, DWORD *quality) override;
    HRESULT ReadCurrentAttribute(void *item, DWORD attributeId, FILETIME *stamp,
                                 VARIANT *value) override;
    HRESULT ReadAttributeAt(void *item, DWORD attributeId, FILETIME time,
                            VARIANT *value) override;
    HRESULT ReadProcessed(void *item, DWORD aggregateId, FILETIME *start, FILETIME *end,
                          VARIANT *value, DWORD *quality) override;

private:
    // Set on the window thread while toolkit threads may already read them.
    std::atomic<DWORD> handles_[maplet1::kItemCount];
};

#endif
