#include "ItemHandles.h"

#include "ComPtr.h"
#include "Text.h"

namespace hdaclient {

ItemHandles::ItemHandles(Connection &connection, const std::vector<std::string> &ids)
    : connection_(connection) {
    std::vector<std::wstring> wide;
    std::vector<LPWSTR> names;
    std::vector<OPCHANDLE> clients;
    for (size_t i = 0; i < ids.size(); ++i) wide.push_back(Wide(ids[i]));
    for (size_t i = 0; i < ids.size(); ++i) {
        names.push_back(&wide[i][0]);
        clients.push_back(static_cast<OPCHANDLE>(i + 1));
    }
    TaskMem<OPCHANDLE> handles;
    TaskMem<HRESULT> errors;
    connection.Check(connection.Server()->GetItemHandles(static_cast<DWORD>(ids.size()),
                                                         names.data(), clients.data(),
                                                         handles.Out(), errors.Out()),
                     "GetItemHandles");
    for (size_t i = 0; i < ids.size(); ++i) {
        Item item;
        item.id = ids[i];
        item.result = errors ? errors[i] : S_OK;
        if (handles) item.server = handles[i];
        items_.push_back(item);
    }
}

ItemHandles::~ItemHandles() {
    std::vector<OPCHANDLE> handles = Valid();
    if (handles.empty()) return;
    TaskMem<HRESULT> errors;
    connection_.Server()->ReleaseItemHandles(static_cast<DWORD>(handles.size()), handles.data(),
                                             errors.Out());
}

std::vector<OPCHANDLE> ItemHandles::Valid() const {
    std::vector<OPCHANDLE> handles;
    for (const Item &item : items_) {
        if (item.Ok()) handles.push_back(item.server);
    }
    return handles;
}

std::vector<std::string> ItemHandles::ValidIds() const {
    std::vector<std::string> ids;
    for (const Item &item : items_) {
        if (item.Ok()) ids.push_back(item.id);
    }
    return ids;
}

bool ItemHandles::AllValid() const {
    for (const Item &item : items_) {
        if (!item.Ok()) return false;
    }
    return true;
}

}  // namespace hdaclient
