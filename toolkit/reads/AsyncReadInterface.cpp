#include "reads/AsyncReadInterface.h"

#include <olectl.h>

#include <memory>
#include <new>

#include "reads/AsyncRequest.h"
#include "reads/HDATime.h"
#include "reads/ReadCodes.h"
#include "reads/ValueGathering.h"
#include "runtime/ClientMemory.h"
#include "server/HDAServer.h"
#include "server/OPCServerConnectionContainer.h"

namespace halvex {
namespace {

constexpr DWORD kUnknownClient = 0xFFFFFFFF;

// The steps every queued read shares once its own arguments are checked:
// the delivery path, the request (fill() copies the method's arguments into
// it), the result memory of a one-shot read, the caller's error array (one
// entry per item, or per attribute), the handle lookup and the queue.
template <class Fill>
HRESULT Submit(HDAServer *server, DWORD kind, DWORD transactionId, DWORD numItems,
               const OPCHANDLE *handles, Fill fill, DWORD *pdwCancelID, HRESULT **ppErrors) {
    *ppErrors = nullptr;
    OPCServerConnectionContainer *container = server->Container();
    if (!container || !container->callbackPoint) return CONNECT_E_NOCONNECTION;
    std::unique_ptr<AsyncRequest> request(new (std::nothrow)
                                              AsyncRequest(server, kind, transactionId));
    if (!request) return E_OUTOFMEMORY;
    try {
        request->numItems = numItems;
        request->serverHandles.assign(handles, handles + numItems);
        request->clientHandles.assign(numItems, kUnknownClient);
        fill(*request);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    const bool attributes = kind == kReadAttributeRequest;
    const DWORD count = attributes ? request->numAttributes : numItems;

    ClientMemory results;
    if (request->OneShot()) {
        request->errors = results.Array<HRESULT>(count);
        if (attributes) {
            request->attributeResults = results.Array<OPCHDA_ATTRIBUTE>(count);
        } else {
            request->itemResults = results.Array<OPCHDA_ITEM>(count);
        }
    }
    ClientMemory callers;
    HRESULT *errors = callers.Array<HRESULT>(count);
    if (results.Failed() || callers.Failed()) {
        // The memory is freed with `results`, not by the request.
        request->errors = nullptr;
        request->attributeResults = nullptr;
        request->itemResults = nullptr;
        return E_OUTOFMEMORY;
    }
    results.HandOver();

    // An unknown handle stays in the request and is reported again at delivery.
    HRESULT result = S_OK;
    if (!attributes) {
        for (DWORD i = 0; i < numItems; ++i) {
            if (!server->itemHandles.Lookup(handles[i], &request->clientHandles[i])) {
                request->clientHandles[i] = kUnknownClient;
                errors[i] = kInvalidHandle;
                result = S_FALSE;
            }
        }
    }
    callers.HandOver();
    *ppErrors = errors;
    *pdwCancelID = server->QueueRequest(request.release());
    return result;
}

// A failed call leaves no stale values in the caller's outputs.
void ClearOutputs(DWORD *cancelId, HRESULT **errors) {
    if (cancelId) *cancelId = 0;
    if (errors) *errors = nullptr;
}

// Keeps a resolved time in the request.
void KeepTime(bool given, const OPCHDA_TIME *time, bool &has, FILETIME &kept) {
    has = given;
    if (given) kept = time->ftTime;
}

}  // namespace

HRESULT AsyncReadInterface::ReadRaw(DWORD dwTransactionID, OPCHDA_TIME *htStartTime,
                                    OPCHDA_TIME *htEndTime, DWORD dwNumValues, BOOL bBounds,
                                    DWORD dwNumItems, OPCHANDLE *phServer, DWORD *pdwCancelID,
                                    HRESULT **ppErrors) {
    SendEventMessage(evt::kAsyncReadRaw);
    ClearOutputs(pdwCancelID, ppErrors);
    if (dwNumItems == 0 || !phServer || !ppErrors) return E_INVALIDARG;
    if (dwNumValues > kMaxValuesPerItem) return kMaxExceeded;
    // As the synchronous read: an unresolvable record is an open end, and one
    // open end needs a number of values.
    const bool haveStart = GivenTime(htStartTime);
    if (haveStart && !htEndTime) return E_INVALIDARG;
    const bool haveEnd = GivenTime(htEndTime);
    if (haveStart != haveEnd && dwNumValues == 0) return E_INVALIDARG;
    if (!pdwCancelID) return E_INVALIDARG;
    return Submit(server, kReadRawRequest, dwTransactionID, dwNumItems, phServer,
                  [&](AsyncRequest &request) {
                      KeepTime(haveStart, htStartTime, request.hasStart, request.rangeStart);
                      KeepTime(haveEnd, htEndTime, request.hasEnd, request.rangeEnd);
                      request.numValues = dwNumValues;
                      request.bounds = bBounds;
                  },
                  pdwCancelID, ppErrors);
}

HRESULT AsyncReadInterface::AdviseRaw(DWORD dwTransactionID, OPCHDA_TIME *htStartTime,
                                      FILETIME ftUpdateInterval, DWORD dwNumItems,
                                      OPCHANDLE *phServer, DWORD *pdwCancelID,
                                      HRESULT **ppErrors) {
    SendEventMessage(evt::kAsyncAdviseRaw);
    ClearOutputs(pdwCancelID, ppErrors);
    if (dwNumItems == 0 || !phServer || !htStartTime || !ppErrors) return E_INVALIDARG;
    if (!ResolveHDATime(*htStartTime)) return E_INVALIDARG;
    if (!pdwCancelID) return E_INVALIDARG;
    // A window of no length would never move on: the same instant would be
    // delivered at every tick for ever.
    const ULONGLONG interval = Ticks(ftUpdateInterval);
    if (interval == 0 || interval > kLargestInterval) return E_INVALIDARG;
    return Submit(server, kAdviseRawRequest, dwTransactionID, dwNumItems, phServer,
                  [&](AsyncRequest &request) {
                      KeepTime(true, htStartTime, request.hasStart, request.rangeStart);
                      request.updateInterval = interval;
                  },
                  pdwCancelID, ppErrors);
}

HRESULT AsyncReadInterface::ReadProcessed(DWORD dwTransactionID, OPCHDA_TIME *htStartTime,
                                          OPCHDA_TIME *htEndTime, FILETIME ftResampleInterval,
                                          DWORD dwNumItems, OPCHANDLE *phServer,
                                          DWORD *haAggregate, DWORD *pdwCancelID,
                                          HRESULT **ppErrors) {
    SendEventMessage(evt::kAsyncReadProcessed);
    ClearOutputs(pdwCancelID, ppErrors);
    if (dwNumItems == 0 || !phServer || !haAggregate || !pdwCancelID || !ppErrors ||
        !htStartTime || !htEndTime)
        return E_INVALIDARG;
    if (!ResolveHDATime(*htStartTime) || !ResolveHDATime(*htEndTime)) return E_INVALIDARG;
    const ULONGLONG interval = Ticks(ftResampleInterval);
    if (interval > kLargestInterval) return E_INVALIDARG;
    if (CountIntervals(htStartTime->ftTime, htEndTime->ftTime, interval) > kMaxValuesPerItem)
        return kMaxExceeded;
    return Submit(server, kReadProcessedRequest, dwTransactionID, dwNumItems, phServer,
                  [&](AsyncRequest &request) {
                      KeepTime(true, htStartTime, request.hasStart, request.rangeStart);
                      KeepTime(true, htEndTime, request.hasEnd, request.rangeEnd);
                      request.resampleInterval = interval;
                      request.aggregateIds.assign(haAggregate, haAggregate + dwNumItems);
                  },
                  pdwCancelID, ppErrors);
}

HRESULT AsyncReadInterface::AdviseProcessed(DWORD, OPCHDA_TIME *, FILETIME, DWORD, OPCHANDLE *,
                                            DWORD *, DWORD, DWORD *, HRESULT **) {
    SendEventMessage(evt::kAsyncAdviseProcessed);
    return E_NOTIMPL;
}

HRESULT AsyncReadInterface::ReadAtTime(DWORD dwTransactionID, DWORD dwNumTimeStamps,
                                       FILETIME *ftTimeStamps, DWORD dwNumItems,
                                       OPCHANDLE *phServer, DWORD *pdwCancelID,
                                       HRESULT **ppErrors) {
    SendEventMessage(evt::kAsyncReadAtTime);
    ClearOutputs(pdwCancelID, ppErrors);
    if (dwNumTimeStamps == 0 || dwNumItems == 0 || !ftTimeStamps || !phServer ||
        !pdwCancelID || !ppErrors)
        return E_INVALIDARG;
    return Submit(server, kReadAtTimeRequest, dwTransactionID, dwNumItems, phServer,
                  [&](AsyncRequest &request) {
                      request.numValues = dwNumTimeStamps;
                      request.timeStamps.assign(ftTimeStamps, ftTimeStamps + dwNumTimeStamps);
                  },
                  pdwCancelID, ppErrors);
}

HRESULT AsyncReadInterface::ReadModified(DWORD, OPCHDA_TIME *, OPCHDA_TIME *, DWORD, DWORD,
                                         OPCHANDLE *, DWORD *, HRESULT **) {
    SendEventMessage(evt::kAsyncReadModified);
    return E_NOTIMPL;
}

HRESULT AsyncReadInterface::ReadAttribute(DWORD dwTransactionID, OPCHDA_TIME *htStartTime,
                                          OPCHDA_TIME *htEndTime, OPCHANDLE hServer,
                                          DWORD dwNumAttributes, DWORD *dwAttributeIDs,
                                          DWORD *pdwCancelID, HRESULT **ppErrors) {
    SendEventMessage(evt::kAsyncReadAttribute);
    ClearOutputs(pdwCancelID, ppErrors);
    if (dwNumAttributes == 0 || !dwAttributeIDs || !pdwCancelID || !ppErrors)
        return E_INVALIDARG;
    DWORD client = 0;
    if (!server->itemHandles.Lookup(hServer, &client)) return kInvalidHandle;
    if (!GivenTime(htStartTime)) return E_INVALIDARG;
    const bool haveEnd = GivenTime(htEndTime);
    return Submit(server, kReadAttributeRequest, dwTransactionID, 1, &hServer,
                  [&](AsyncRequest &request) {
                      request.clientHandles[0] = client;
                      KeepTime(true, htStartTime, request.hasStart, request.rangeStart);
                      KeepTime(haveEnd, htEndTime, request.hasEnd, request.rangeEnd);
                      request.numAttributes = dwNumAttributes;
                      request.attributeIds.assign(dwAttributeIDs,
                                                  dwAttributeIDs + dwNumAttributes);
                  },
                  pdwCancelID, ppErrors);
}

HRESULT AsyncReadInterface::Cancel(DWORD dwCancelID) {
    SendEventMessage(evt::kAsyncCancel);
    // An unknown ID is no error: the request may have been delivered already.
    server->CancelRequest(dwCancelID);
    return S_OK;
}

}  // namespace halvex
