// Cancel IDs of one connection's requests: counted up from 1, never 0, and
// once the count has wrapped, never one that a live request still holds.
#ifndef HALVEX_CANCEL_IDS_H
#define HALVEX_CANCEL_IDS_H

#include <windows.h>

namespace halvex {

class CancelIds {
public:
    explicit CancelIds(DWORD last = 0) : last_(last) {}

    // inUse(id) tells whether a live request holds id. Before the first wrap
    // every ID is new, so it is not asked. Ends because fewer than 2^32 - 1
    // requests can be live.
    template <class InUse>
    DWORD Next(InUse inUse) {
        for (;;) {
            const DWORD id = ++last_;
            if (id == 0) {
                wrapped_ = true;
                continue;
            }
            if (!wrapped_ || !inUse(id)) return id;
        }
    }

private:
    DWORD last_;
    bool wrapped_ = false;
};

}  // namespace halvex

#endif
