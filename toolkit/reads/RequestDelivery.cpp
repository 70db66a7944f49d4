// One request's turn in a pass: gather its results under the queue's lock,
// then hand them to the client's IOPCHDA_DataCallback sink with the lock let
// go, so that a sink calling back into its connection (Cancel, a new read,
// Unadvise, its last Release) never waits for the pass that is calling it.
#include <olectl.h>

#include "reads/AsyncRequest.h"
#include "reads/ReadCodes.h"
#include "reads/ValueGathering.h"
#include "runtime/ClientMemory.h"
#include "runtime/ToolkitState.h"
#include "server/CHDACallbackConnectionPoint.h"
#include "server/HDAServer.h"
#include "server/OPCServerConnectionContainer.h"

namespace halvex {
namespace {

constexpr DWORD kUnknownClient = 0xFFFFFFFF;

// What one turn hands to the sink, taken out of the request so that the
// call can run with the queue unlocked. The turn frees it afterwards.
struct Delivery {
    DWORD kind = 0;  // 0: nothing to deliver
    DWORD transactionId = 0;
    HRESULT status = S_OK;
    DWORD count = 0;
    DWORD client = 0;  // read attribute: the item's client handle
    OPCHDA_ITEM *items = nullptr;
    OPCHDA_ATTRIBUTE *attributes = nullptr;
    HRESULT *errors = nullptr;
};

// S_FALSE when any entry is other than S_OK, more data included.
HRESULT Status(const HRESULT *errors, DWORD count) {
    for (DWORD i = 0; i < count; ++i) {
        if (errors[i] != S_OK) return S_FALSE;
    }
    return S_OK;
}

// Failures of a sink call which mean that the client's process is gone.
bool ClientGone(HRESULT hr) {
    switch (hr) {
        case RPC_E_DISCONNECTED:
        case RPC_E_SERVER_DIED:
        case RPC_E_SERVER_DIED_DNE:
        case CO_E_OBJNOTCONNECTED:
        case HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE):
        case HRESULT_FROM_WIN32(RPC_S_CALL_FAILED):
        case HRESULT_FROM_WIN32(RPC_S_CALL_FAILED_DNE):
            return true;
        default:
            return false;
    }
}

// Runs gather(i, record) for every item whose handle was known when the
// request was queued; an unknown one keeps its error.
template <class Gather>
void GatherItems(AsyncRequest &request, Gather gather) {
    for (DWORD i = 0; i < request.numItems; ++i) {
        OPCHDA_ITEM &record = request.itemResults[i];
        if (request.clientHandles[i] == kUnknownClient) {
            request.errors[i] = kInvalidHandle;
            continue;
        }
        record.hClient = request.clientHandles[i];
        try {
            request.errors[i] = gather(i, record);
        } catch (...) {
            request.errors[i] = E_OUTOFMEMORY;
        }
    }
}

void GatherOneShot(AsyncRequest &request) {
    const FILETIME *start = request.hasStart ? &request.rangeStart : nullptr;
    const FILETIME *end = request.hasEnd ? &request.rangeEnd : nullptr;
    GatherItems(request, [&](DWORD i, OPCHDA_ITEM &record) -> HRESULT {
        const DWORD item = request.serverHandles[i];
        switch (request.kind) {
            case kReadRawRequest:
                return GatherRawValues(item, record, start, end, request.numValues,
                                       request.bounds);
            case kReadAtTimeRequest:
                return GatherValuesAtTimes(item, record, request.numValues,
                                           request.timeStamps.data());
            default:
                return GatherProcessedValues(item, record, request.aggregateIds[i],
                                             request.rangeStart, request.rangeEnd,
                                             request.resampleInterval);
        }
    });
}

void GatherAttributes(AsyncRequest &request) {
    const FILETIME *end = request.hasEnd ? &request.rangeEnd : nullptr;
    for (DWORD j = 0; j < request.numAttributes; ++j) {
        OPCHDA_ATTRIBUTE &record = request.attributeResults[j];
        record.hClient = request.clientHandles[0];
        try {
            request.errors[j] = GatherAttributeValues(request.serverHandles[0],
                                                      request.attributeIds[j], record,
                                                      request.rangeStart, end);
        } catch (...) {
            request.errors[j] = E_OUTOFMEMORY;
        }
    }
}

// The advise's next window when its end has passed: false when it has not,
// or when there is no memory for it (the window is then skipped).
bool GatherWindow(AsyncRequest &request) {
    const ULONGLONG end = request.WindowEnd();
    request.rangeEnd = FromTicks(end);
    if (end > UtcNowMs()) return false;
    ClientMemory memory;
    OPCHDA_ITEM *records = memory.Array<OPCHDA_ITEM>(request.numItems);
    HRESULT *errors = memory.Array<HRESULT>(request.numItems);
    if (memory.Failed()) {
        request.rangeStart = request.rangeEnd;
        return false;
    }
    memory.HandOver();
    request.itemResults = records;
    request.errors = errors;
    GatherItems(request, [&](DWORD i, OPCHDA_ITEM &record) {
        return GatherRawValues(request.serverHandles[i], record, &request.rangeStart,
                               &request.rangeEnd, kMaxValuesPerItem, FALSE);
    });
    // Consecutive windows share their edge.
    request.rangeStart = request.rangeEnd;
    return true;
}

// Gathers the request's results when it has any due, and moves them into
// the delivery.
void Prepare(AsyncRequest &request, Delivery &delivery) {
    switch (request.kind) {
        case kReadRawRequest:
        case kReadAtTimeRequest:
        case kReadProcessedRequest:
            request.finished = TRUE;
            GatherOneShot(request);
            delivery.count = request.numItems;
            break;
        case kReadAttributeRequest:
            request.finished = TRUE;
            GatherAttributes(request);
            delivery.count = request.numAttributes;
            delivery.client = request.clientHandles[0];
            break;
        case kAdviseRawRequest:
            if (!GatherWindow(request)) return;
            delivery.count = request.numItems;
            break;
        default:
            request.finished = TRUE;
            return;
    }
    delivery.kind = request.kind;
    delivery.transactionId = request.transactionId;
    delivery.status = Status(request.errors, delivery.count);
    delivery.items = request.itemResults;
    delivery.attributes = request.attributeResults;
    delivery.errors = request.errors;
    request.itemResults = nullptr;
    request.attributeResults = nullptr;
    request.errors = nullptr;
}

HRESULT Deliver(IOPCHDA_DataCallback *sink, const Delivery &d) {
    switch (d.kind) {
        case kAdviseRawRequest:
            return sink->OnDataChange(d.transactionId, d.status, d.count, d.items, d.errors);
        case kReadAttributeRequest:
            return sink->OnReadAttributeComplete(d.transactionId, d.status, d.client, d.count,
                                                 d.attributes, d.errors);
        default:
            return sink->OnReadComplete(d.transactionId, d.status, d.count, d.items, d.errors);
    }
}

void FreeDelivery(const Delivery &d) {
    FreeItemRecords(d.items, d.count);
    FreeAttributeRecords(d.attributes, d.count);
    if (d.errors) Toolkit().taskMalloc->Free(d.errors);
}

}  // namespace

void HDAServer::ProcessRequest(AsyncRequest &request) {
    if (request.finished) return;
    OPCServerConnectionContainer *container = Container();
    IConnectionPoint *point = nullptr;
    IOPCHDA_DataCallback *sink = nullptr;
    if (container && container->callbackPoint &&
        SUCCEEDED(container->FindConnectionPoint(IID_IOPCHDA_DataCallback, &point))) {
        // Counted for this turn: a sink unadvised or released meanwhile stays
        // valid until the turn lets it go.
        sink = container->callbackPoint->GetSink();
    }
    Delivery delivery;
    if (sink) {
        Prepare(request, delivery);
    } else {
        request.finished = TRUE;
    }

    request.delivering = true;
    lock.Leave();
    if (delivery.kind) {
        if (ClientGone(Deliver(sink, delivery))) container->callbackPoint->DropDeadSink(sink);
    }
    FreeDelivery(delivery);
    if (sink) sink->Release();
    // May be the connection's last reference when the client released it
    // from inside the sink: the object then stops serving after this turn.
    if (point) point->Release();
    lock.Enter();
    request.delivering = false;
}

}  // namespace halvex
