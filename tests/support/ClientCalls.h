// Calls of every kind that a client makes on the test server, with fixed
// arguments and results worked out by hand from GridSource's definition:
// raw values every 10 s; at a time t the value item*1000 + (t / 10 s mod
// 1000), quality 4 on the grid and 2 between; A.C.C has none; aggregate 5
// counts grid stamps; attribute 1 is 5 (VT_R8), 13 the item's ID. Each call
// frees what it receives and returns "" when all was as expected, else what
// was not. Nothing here asserts, so that worker threads can use it and the
// main thread asserts on what they collected.
#ifndef HALVEX_CLIENT_CALLS_H
#define HALVEX_CLIENT_CALLS_H

#include <windows.h>

#include <string>

#include "support/ReadConnection.h"

namespace testsupport {

class CheckingSink;

// The reads, on a ReadConnection's items:
//   raw        A.A.A, A.C.C and the unknown handle over [T0, T0 + 50 s]
//   processed  the count of A.A.A over [T0, T0 + 60 s] in 30 s intervals
//   at time    A.A.A at T0, T0 + 5 s and T0 + 70 s
//   attribute  attributes 1, 13 and 99 of A.A.B over [T0, T0 + 10 s]
enum ReadKind : DWORD { kRawRead, kProcessedRead, kAtTimeRead, kAttributeRead, kReadKinds };
// A transaction ID carries its kind in its top byte; advises have kAdviseKind.
constexpr DWORD kAdviseKind = kReadKinds;
inline DWORD TransactionId(DWORD kind, DWORD n) { return kind << 24 | (n & 0xFFFFFF); }
inline DWORD KindOf(DWORD transaction) { return transaction >> 24; }

std::string SyncRead(ReadConnection &c, ReadKind kind);
// Queues the read of that kind; its cancel ID goes to *cancel.
std::string StartRead(ReadConnection &c, ReadKind kind, DWORD transaction, DWORD *cancel);
// Advises A.A.A's raw values from `start` in windows of `interval` (both in
// FILETIME ticks).
std::string StartAdvise(ReadConnection &c, DWORD transaction, ULONGLONG start,
                        ULONGLONG interval, DWORD *cancel);

// Cancels a queued read or an advise.
std::string Cancel(ReadConnection &c, DWORD cancelId);

// What a delivery for the transaction must hold; CheckingSink calls them.
std::string CheckItems(DWORD transaction, HRESULT status, DWORD count, const OPCHDA_ITEM *items,
                       const HRESULT *errors);
std::string CheckAttributes(DWORD transaction, HRESULT status, OPCHANDLE client, DWORD count,
                            const OPCHDA_ATTRIBUTE *attributes, const HRESULT *errors);

// A browser: its moves, every listing and the enumerator's calls.
std::string Browse(IOPCHDA_Server *server);
// Takes the handles of two items and gives them back.
std::string HandleChurn(IOPCHDA_Server *server);
// The server's status and definitions, item ID validation, IOPCCommon's
// calls and the connection points' enumerator.
std::string Queries(ReadConnection &c);

// Everything above once on a connection whose sink is `sink`, with
// transaction numbers from n: each queued read waited for (at most waitMs),
// a read cancelled at once, and an advise cancelled after two windows.
std::string CallEveryKind(ReadConnection &c, CheckingSink &sink, DWORD n, DWORD waitMs);

// Frees a read's records as their receiver.
void FreeItems(OPCHDA_ITEM *items, DWORD n);

// How many server methods this process has called through the functions
// above (reference counting aside).
LONG CallsMade();

// UTC now in FILETIME ticks, cut to the millisecond as the server cuts times.
ULONGLONG UtcNowMs();

}  // namespace testsupport

#endif
