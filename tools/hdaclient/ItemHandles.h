// Server handles for the item IDs a command names (GetItemHandles), released
// again at the end (ReleaseItemHandles).
#ifndef HDACLIENT_ITEM_HANDLES_H
#define HDACLIENT_ITEM_HANDLES_H

#include <windows.h>

#include <string>
#include <vector>

#include "Connection.h"

namespace hdaclient {

class ItemHandles {
public:
    struct Item {
        std::string id;
        HRESULT result = E_FAIL;  // GetItemHandles' code for this item
        OPCHANDLE server = 0;     // valid when SUCCEEDED(result)
        bool Ok() const { return SUCCEEDED(result); }
    };

    // The client handle of item i is i + 1. A Failure with kExitCallFailed
    // if the call fails as a whole.
    ItemHandles(Connection &connection, const std::vector<std::string> &ids);
    ItemHandles(const ItemHandles &) = delete;
    ItemHandles &operator=(const ItemHandles &) = delete;
    ~ItemHandles();

    const std::vector<Item> &Items() const { return items_; }
    // The server handles of the items that have one, in request order.
    std::vector<OPCHANDLE> Valid() const;
    // Their item IDs, in the same order.
    std::vector<std::string> ValidIds() const;
    bool AllValid() const;

private:
    Connection &connection_;
    std::vector<Item> items_;
};

}  // namespace hdaclient

#endif
