// GridSource's items, plus one live item whose raw values arrive every
// 10 ms: a stamp at every whole multiple of 10 ms up to the present, value
// VT_R8 (t / 10 ms) mod 1000, quality 4 on a stamp and 2 between. Nothing
// lies in the future, as in a real history.
#ifndef HALVEX_LIVE_GRID_SOURCE_H
#define HALVEX_LIVE_GRID_SOURCE_H

#include "server/GridSource.h"

class LiveGridSource : public GridSource {
public:
    explicit LiveGridSource(DWORD liveHandle) : live_(liveHandle) {}

    long GetTimeStamps(void *item, FILETIME *start, FILETIME *end, long maxCount,
                       FILETIME *stamps) override;
    HRESULT GetPreviousTimeStamp(void *item, FILETIME time, FILETIME *stamp) override;
    HRESULT GetNextTimeStamp(void *item, FILETIME time, FILETIME *stamp) override;
    HRESULT ReadAt(void *item, FILETIME time, VARIANT *value, DWORD *quality) override;

private:
    bool IsLive(void *item) const;
    const DWORD live_;
};

#endif
