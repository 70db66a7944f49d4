#include "support/ServerAccounts.h"

#include <cstdio>

namespace testsupport {

AccountsReader::~AccountsReader() {
    if (block_) UnmapViewOfFile(const_cast<ServerAccounts *>(block_));
    if (mapping_) CloseHandle(mapping_);
    if (published_) CloseHandle(published_);
}

bool AccountsReader::Open() {
    mapping_ = OpenFileMappingA(FILE_MAP_READ, FALSE, kAccountsMapping);
    published_ = OpenEventA(SYNCHRONIZE | EVENT_MODIFY_STATE, FALSE, kAccountsPublished);
    if (mapping_)
        block_ = static_cast<const volatile ServerAccounts *>(
            MapViewOfFile(mapping_, FILE_MAP_READ, 0, 0, sizeof(ServerAccounts)));
    return block_ && published_;
}

ServerAccounts AccountsReader::Read() const {
    ServerAccounts copy = {};
    if (!block_) return copy;
    copy.processId = block_->processId;
    copy.bstrCacheOff = block_->bstrCacheOff;
    copy.allocations = block_->allocations;
    copy.serverAllocations = block_->serverAllocations;
    copy.connections = block_->connections;
    copy.created = block_->created;
    copy.released = block_->released;
    copy.badCounts = block_->badCounts;
    return copy;
}

bool AccountsReader::WaitUntil(const std::function<bool(const ServerAccounts &)> &holds,
                               DWORD ms, ServerAccounts *last) {
    const ULONGLONG deadline = GetTickCount64() + ms;
    // Reset before each reading, so that a publication after it wakes the
    // wait; another reader's reset costs at most one more publication.
    for (;;) {
        if (published_) ResetEvent(published_);
        *last = Read();
        if (holds(*last)) return true;
        const ULONGLONG now = GetTickCount64();
        if (!published_ || now >= deadline) return false;
        WaitForSingleObject(published_, static_cast<DWORD>(deadline - now));
    }
}

std::string WaitBackTo(AccountsReader &reader, const ServerAccounts &start, LONG open, DWORD ms) {
    auto back = [&](const ServerAccounts &a) {
        return a.processId == start.processId && a.serverAllocations == start.serverAllocations &&
               a.connections == open && a.created - a.released == open && a.badCounts == 0;
    };
    ServerAccounts now = {};
    if (reader.WaitUntil(back, ms, &now)) return "";
    char text[400];
    snprintf(text, sizeof text,
             "after %lu ms: server %ld (started as %ld), %ld of its allocations outstanding (%ld "
             "at the start; %ld and %ld with COM's), %ld connections (%ld expected), %ld objects "
             "created and %ld released since the start, %ld bad reference counts",
             static_cast<unsigned long>(ms), now.processId, start.processId,
             now.serverAllocations, start.serverAllocations, now.allocations, start.allocations,
             now.connections, open, now.created - start.created, now.released - start.released,
             now.badCounts);
    return text;
}

}  // namespace testsupport
