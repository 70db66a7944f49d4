// One queued asynchronous read or advise: the arguments it was made with and
// the result memory of its next delivery. The connection's request queue
// owns it from the moment it is queued.
#ifndef HALVEX_ASYNC_REQUEST_H
#define HALVEX_ASYNC_REQUEST_H

#include <windows.h>

#include <vector>

#include "opchda.h"

namespace halvex {

class HDAServer;

enum RequestKind : DWORD {
    kReadRawRequest = 1,
    kReadAtTimeRequest = 2,
    kReadAttributeRequest = 3,
    kAdviseRawRequest = 4,
    kReadProcessedRequest = 5,
};

struct AsyncRequest {
    AsyncRequest(HDAServer *owner, DWORD requestKind, DWORD transaction)
        : server(owner), kind(requestKind), transactionId(transaction) {}
    // Frees any result memory still held.
    ~AsyncRequest();
    AsyncRequest(const AsyncRequest &) = delete;
    AsyncRequest &operator=(const AsyncRequest &) = delete;

    // True for the kinds delivered once and then discarded.
    bool OneShot() const { return kind != kAdviseRawRequest; }
    // Advise: the end of the window that starts at rangeStart, kept within
    // the largest FILETIME.
    ULONGLONG WindowEnd() const;

    HDAServer *const server;  // uncounted: the server owns the queue
    BOOL finished = FALSE;
    const DWORD kind;
    const DWORD transactionId;
    DWORD cancelId = 0;
    // Resolved times; an absent one has its flag cleared. For an advise,
    // rangeStart is the start of the next window and rangeEnd its end.
    bool hasStart = false;
    bool hasEnd = false;
    FILETIME rangeStart{};
    FILETIME rangeEnd{};
    ULONGLONG updateInterval = 0;    // advise: window length, 100-ns units
    ULONGLONG resampleInterval = 0;  // processed read: 100-ns units
    DWORD numValues = 0;             // raw: values per item; at time: stamps
    BOOL bounds = FALSE;
    DWORD numItems = 0;
    std::vector<DWORD> serverHandles;
    std::vector<DWORD> clientHandles;  // 0xFFFFFFFF: unknown when queued
    std::vector<DWORD> aggregateIds;
    std::vector<FILETIME> timeStamps;
    DWORD numAttributes = 0;
    std::vector<DWORD> attributeIds;
    // Result memory of one delivery, from the task allocator.
    OPCHDA_ITEM *itemResults = nullptr;
    OPCHDA_ATTRIBUTE *attributeResults = nullptr;
    HRESULT *errors = nullptr;

    // Queue bookkeeping: the order of queuing, and set while a pass calls
    // the client's sink with the queue unlocked (a Cancel meanwhile only
    // marks the request finished; the pass destroys it).
    ULONGLONG sequence = 0;
    bool delivering = false;
};

// The current UTC time to the millisecond, in FILETIME units.
ULONGLONG UtcNowMs();

// Free result records, their arrays and values, and the record array itself.
void FreeItemRecords(OPCHDA_ITEM *records, DWORD count);
void FreeAttributeRecords(OPCHDA_ATTRIBUTE *records, DWORD count);

}  // namespace halvex

#endif
