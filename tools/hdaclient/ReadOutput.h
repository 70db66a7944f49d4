// The values a read returns for its items, and how they are printed.
#ifndef HDACLIENT_READ_OUTPUT_H
#define HDACLIENT_READ_OUTPUT_H

#include <windows.h>

#include "Connection.h"
#include "ItemHandles.h"
#include "opchda.h"

namespace hdaclient {

// The OPCHDA_ITEM array and result codes of one read, freed at the end.
class ReadResults {
public:
    explicit ReadResults(DWORD count) : count_(count) {}
    ReadResults(const ReadResults &) = delete;
    ReadResults &operator=(const ReadResults &) = delete;
    ~ReadResults();

    OPCHDA_ITEM **Items() { return &items_; }
    HRESULT **Errors() { return &errors_; }
    const OPCHDA_ITEM *Item(DWORD i) const { return items_ ? &items_[i] : nullptr; }
    HRESULT Error(DWORD i) const { return errors_ ? errors_[i] : S_OK; }

private:
    DWORD count_;
    OPCHDA_ITEM *items_ = nullptr;
    HRESULT *errors_ = nullptr;
};

// Prints every requested item in order: those without a handle with their
// GetItemHandles code, the others with their values. callResult is what the
// read returned (nothing was read when no item had a handle). Returns
// kExitItemsFailed when any item failed, else kExitOk.
int PrintItemValues(Connection &connection, const ItemHandles &handles, HRESULT callResult,
                    const ReadResults &results);

}  // namespace hdaclient

#endif
