// A history source with raw values on a 10-second grid, simple enough to
// work expected results out by hand:
// - raw stamps at every whole multiple of 10 s (FILETIME ticks);
// - the value at a time t is VT_R8 item*1000 + (floor(t / 10 s) mod 1000),
//   quality 4 on the grid and 2 between grid points;
// - the last item given to the constructor never has data;
// - aggregate 5 (Count): the grid stamps in [from, to) as VT_I4, quality 8;
//   any other aggregate fails;
// - attribute 1: VT_I2 5; attribute 13: the item's ID; others fail;
// - an item made slow stands for an application that blocks in its
//   callback: its ReadAt waits while a named event is set (at most 30 s),
//   and then returns its usual value.
#ifndef HALVEX_GRID_SOURCE_H
#define HALVEX_GRID_SOURCE_H

#include <string>
#include <vector>

#include "Halvex.h"

class GridSource : public CVxHDACallback {
public:
    static constexpr unsigned long long kStep = 100000000ull;  // 10 s

    // The items' handles and IDs, in definition order.
    void AddItem(DWORD handle, const std::string &id);
    // Makes a defined item slow while the event `eventName` is set.
    void SetSlowItem(DWORD handle, const char *eventName);

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
    // The item's position, or -1 for an unknown handle or the item without data.
    int IndexOf(void *item) const;
    void WaitWhileSlow(void *item) const;
    std::vector<DWORD> handles_;
    std::vector<std::string> ids_;
    DWORD slowHandle_ = 0;
    const char *slowEvent_ = nullptr;
};

#endif
