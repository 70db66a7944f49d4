#include "server/ItemHandleTable.h"

namespace halvex {

bool ItemHandleTable::Add(DWORD serverHandle, DWORD clientHandle) {
    CsGuard guard(lock_);
    try {
        if (!first_.Insert(Entry{serverHandle, clientHandle, true}))
            later_[serverHandle].push_back(clientHandle);
    } catch (...) {
        return false;
    }
    ++size_;
    return true;
}

bool ItemHandleTable::Remove(DWORD serverHandle) {
    CsGuard guard(lock_);
    Entry *first = first_.Find(serverHandle);
    if (!first) return false;
    auto later = later_.find(serverHandle);
    if (later == later_.end()) {
        first_.Erase(first);
    } else {
        first->client = later->second.front();
        later->second.pop_front();
        if (later->second.empty()) later_.erase(later);
    }
    --size_;
    return true;
}

bool ItemHandleTable::Lookup(DWORD serverHandle, DWORD *clientHandle) const {
    CsGuard guard(lock_);
    const Entry *first = first_.Find(serverHandle);
    if (!first) return false;
    *clientHandle = first->client;
    return true;
}

size_t ItemHandleTable::Size() const {
    CsGuard guard(lock_);
    return size_;
}

}  // namespace halvex
