#include "reads/SyncReadInterface.h"

#include "reads/HDATime.h"
#include "reads/ReadCodes.h"
#include "reads/ValueGathering.h"
#include "runtime/ClientMemory.h"

namespace halvex {
namespace {

// The error array and the result records of one read, stored in the
// client's out-pointers together, or both left null.
template <class Record>
HRESULT AllocateResults(DWORD count, Record **records, HRESULT **errors) {
    *records = nullptr;
    *errors = nullptr;
    ClientMemory memory;
    HRESULT *errorArray = memory.Array<HRESULT>(count);
    Record *recordArray = memory.Array<Record>(count);
    if (memory.Failed()) return E_OUTOFMEMORY;
    memory.HandOver();
    *errors = errorArray;
    *records = recordArray;
    return S_OK;
}

// A failed call leaves no stale values in the caller's outputs.
template <class Record>
void ClearOutputs(Record **records, HRESULT **errors) {
    if (records) *records = nullptr;
    if (errors) *errors = nullptr;
}

// S_FALSE when an item failed; more data alone is no failure.
HRESULT Outcome(const HRESULT *errors, DWORD count) {
    for (DWORD i = 0; i < count; ++i) {
        if (errors[i] != S_OK && errors[i] != kMoreData) return S_FALSE;
    }
    return S_OK;
}

// Runs gather(item, record) for each known server handle; unknown handles
// fail their own item only.
template <class Gather>
HRESULT ReadItems(HDAServer *server, DWORD count, const OPCHANDLE *handles,
                  OPCHDA_ITEM *records, HRESULT *errors, Gather gather) {
    for (DWORD i = 0; i < count; ++i) {
        DWORD client = 0;
        if (!server->itemHandles.Lookup(handles[i], &client)) {
            errors[i] = kInvalidHandle;
            continue;
        }
        records[i].hClient = client;
        try {
            errors[i] = gather(handles[i], records[i]);
        } catch (...) {
            errors[i] = E_OUTOFMEMORY;
        }
    }
    server->CountRead();
    return Outcome(errors, count);
}

}  // namespace

HRESULT SyncReadInterface::ReadRaw(OPCHDA_TIME *htStartTime, OPCHDA_TIME *htEndTime,
                                   DWORD dwNumValues, BOOL bBounds, DWORD dwNumItems,
                                   OPCHANDLE *phServer, OPCHDA_ITEM **ppItemValues,
                                   HRESULT **ppErrors) {
    SendEventMessage(evt::kSyncReadRaw);
    ClearOutputs(ppItemValues, ppErrors);
    if (dwNumItems == 0 || !phServer || !ppItemValues || !ppErrors) return E_INVALIDARG;
    if (dwNumValues > kMaxValuesPerItem) return kMaxExceeded;
    // An unresolvable record counts as an open end, within limits: one open
    // end needs a number of values.
    const bool haveStart = GivenTime(htStartTime);
    if (haveStart && !htEndTime) return E_INVALIDARG;
    const bool haveEnd = GivenTime(htEndTime);
    if (haveStart != haveEnd && dwNumValues == 0) return E_INVALIDARG;

    HRESULT hr = AllocateResults(dwNumItems, ppItemValues, ppErrors);
    if (FAILED(hr)) return hr;
    OPCHDA_ITEM *records = *ppItemValues;
    HRESULT *errors = *ppErrors;
    const FILETIME *start = haveStart ? &htStartTime->ftTime : nullptr;
    const FILETIME *end = haveEnd ? &htEndTime->ftTime : nullptr;
    return ReadItems(server, dwNumItems, phServer, records, errors,
                     [&](DWORD item, OPCHDA_ITEM &record) {
                         return GatherRawValues(item, record, start, end, dwNumValues, bBounds);
                     });
}

HRESULT SyncReadInterface::ReadProcessed(OPCHDA_TIME *htStartTime, OPCHDA_TIME *htEndTime,
                                         FILETIME ftResampleInterval, DWORD dwNumItems,
                                         OPCHANDLE *phServer, DWORD *haAggregate,
                                         OPCHDA_ITEM **ppItemValues, HRESULT **ppErrors) {
    SendEventMessage(evt::kSyncReadProcessed);
    ClearOutputs(ppItemValues, ppErrors);
    if (dwNumItems == 0 || !phServer || !haAggregate || !ppItemValues || !ppErrors ||
        !htStartTime || !htEndTime)
        return E_INVALIDARG;
    if (!ResolveHDATime(*htStartTime) || !ResolveHDATime(*htEndTime)) return E_INVALIDARG;
    const ULONGLONG interval = Ticks(ftResampleInterval);
    if (interval > kLargestInterval) return E_INVALIDARG;
    const FILETIME start = htStartTime->ftTime, end = htEndTime->ftTime;
    if (CountIntervals(start, end, interval) > kMaxValuesPerItem) return kMaxExceeded;

    HRESULT hr = AllocateResults(dwNumItems, ppItemValues, ppErrors);
    if (FAILED(hr)) return hr;
    OPCHDA_ITEM *records = *ppItemValues;
    HRESULT *errors = *ppErrors;
    return ReadItems(server, dwNumItems, phServer, records, errors,
                     [&](DWORD item, OPCHDA_ITEM &record) {
                         // Each record takes the aggregate at its own position.
                         DWORD aggregate = haAggregate[&record - records];
                         return GatherProcessedValues(item, record, aggregate, start, end,
                                                      interval);
                     });
}

HRESULT SyncReadInterface::ReadAtTime(DWORD dwNumTimeStamps, FILETIME *ftTimeStamps,
                                      DWORD dwNumItems, OPCHANDLE *phServer,
                                      OPCHDA_ITEM **ppItemValues, HRESULT **ppErrors) {
    SendEventMessage(evt::kSyncReadAtTime);
    ClearOutputs(ppItemValues, ppErrors);
    if (dwNumTimeStamps == 0 || dwNumItems == 0 || !ftTimeStamps || !phServer ||
        !ppItemValues || !ppErrors)
        return E_INVALIDARG;
    HRESULT hr = AllocateResults(dwNumItems, ppItemValues, ppErrors);
    if (FAILED(hr)) return hr;
    OPCHDA_ITEM *records = *ppItemValues;
    HRESULT *errors = *ppErrors;
    return ReadItems(server, dwNumItems, phServer, records, errors,
                     [&](DWORD item, OPCHDA_ITEM &record) {
                         return GatherValuesAtTimes(item, record, dwNumTimeStamps, ftTimeStamps);
                     });
}

HRESULT SyncReadInterface::ReadModified(OPCHDA_TIME *, OPCHDA_TIME *, DWORD, DWORD, OPCHANDLE *,
                                        OPCHDA_MODIFIEDITEM **, HRESULT **) {
    SendEventMessage(evt::kSyncReadModified);
    return E_NOTIMPL;
}

HRESULT SyncReadInterface::ReadAttribute(OPCHDA_TIME *htStartTime, OPCHDA_TIME *htEndTime,
                                         OPCHANDLE hServer, DWORD dwNumAttributes,
                                         DWORD *pdwAttributeIDs,
                                         OPCHDA_ATTRIBUTE **ppAttributeValues,
                                         HRESULT **ppErrors) {
    SendEventMessage(evt::kSyncReadAttribute);
    ClearOutputs(ppAttributeValues, ppErrors);
    if (dwNumAttributes == 0 || !pdwAttributeIDs || !ppAttributeValues || !ppErrors)
        return E_INVALIDARG;
    DWORD client = 0;
    if (!server->itemHandles.Lookup(hServer, &client)) return kInvalidHandle;
    if (!GivenTime(htStartTime)) return E_INVALIDARG;
    const bool haveEnd = GivenTime(htEndTime);

    HRESULT hr = AllocateResults(dwNumAttributes, ppAttributeValues, ppErrors);
    if (FAILED(hr)) return hr;
    OPCHDA_ATTRIBUTE *records = *ppAttributeValues;
    HRESULT *errors = *ppErrors;
    const FILETIME start = htStartTime->ftTime;
    const FILETIME *end = haveEnd ? &htEndTime->ftTime : nullptr;
    for (DWORD j = 0; j < dwNumAttributes; ++j) {
        records[j].hClient = client;
        try {
            errors[j] = GatherAttributeValues(hServer, pdwAttributeIDs[j], records[j], start, end);
        } catch (...) {
            errors[j] = E_OUTOFMEMORY;
        }
    }
    server->CountRead();
    return Outcome(errors, dwNumAttributes);
}

}  // namespace halvex
