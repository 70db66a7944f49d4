// A connection's item handles: which client handle the client chose for
// each server handle it obtained. The same server handle may be obtained
// several times; lookups and removals take the earliest entry left.
#ifndef HALVEX_ITEM_HANDLE_TABLE_H
#define HALVEX_ITEM_HANDLE_TABLE_H

#include <windows.h>

#include <deque>
#include <unordered_map>

#include "runtime/CriticalSection.h"
#include "runtime/FlatTable.h"

namespace halvex {

class ItemHandleTable {
public:
    // Appends an entry; false when memory runs out.
    bool Add(DWORD serverHandle, DWORD clientHandle);
    // Removes the earliest entry for serverHandle; false when there is none.
    bool Remove(DWORD serverHandle);
    // The client handle of the earliest entry for serverHandle.
    bool Lookup(DWORD serverHandle, DWORD *clientHandle) const;
    size_t Size() const;

private:
    struct Entry {
        DWORD server;
        DWORD client;
        bool used;
    };
    struct EntryTraits {
        static DWORD KeyOf(const Entry &e) { return e.server; }
        static size_t Hash(DWORD key) { return key * 0x9E3779B1u; }
        static bool Empty(const Entry &e) { return !e.used; }
        static Entry EmptyValue() { return Entry{0, 0, false}; }
    };

    // Client calls arrive on several threads at once.
    mutable CriticalSection lock_;
    // Per server handle, the client handle of its earliest entry; a handle
    // obtained more than once keeps the later client handles, in order of
    // creation, in `later_`.
    FlatTable<DWORD, Entry, EntryTraits> first_;          // guarded by lock_
    std::unordered_map<DWORD, std::deque<DWORD>> later_;  // guarded by lock_
    size_t size_ = 0;                                     // guarded by lock_
};

}  // namespace halvex

#endif
