#include "DataCallbackSink.h"

#include <new>

#include "Failure.h"
#include "ResultCopies.h"

namespace hdaclient {
namespace {

// Marks one call running in the sink for as long as it lasts.
class Running {
public:
    Running(CRITICAL_SECTION *lock, LONG *running, HANDLE idle)
        : lock_(lock), running_(running), idle_(idle) {
        EnterCriticalSection(lock_);
        if (++*running_ == 1) ResetEvent(idle_);
        LeaveCriticalSection(lock_);
    }
    ~Running() {
        EnterCriticalSection(lock_);
        if (--*running_ == 0) SetEvent(idle_);
        LeaveCriticalSection(lock_);
    }
    Running(const Running &) = delete;
    Running &operator=(const Running &) = delete;

private:
    CRITICAL_SECTION *lock_;
    LONG *running_;
    HANDLE idle_;
};

}  // namespace

const char *CallbackName(Delivery::Kind kind) {
    switch (kind) {
        case Delivery::kDataChange:
            return "OnDataChange";
        case Delivery::kReadComplete:
            return "OnReadComplete";
        case Delivery::kReadAttributeComplete:
            return "OnReadAttributeComplete";
    }
    return "?";
}

DataCallbackSink::DataCallbackSink() {
    InitializeCriticalSection(&lock_);
    arrived_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    idle_ = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    if (!arrived_ || !idle_) {
        if (arrived_) CloseHandle(arrived_);
        if (idle_) CloseHandle(idle_);
        DeleteCriticalSection(&lock_);
        throw Failure(kExitCallFailed, "CreateEvent failed for the callback sink");
    }
}

DataCallbackSink::~DataCallbackSink() {
    CloseHandle(arrived_);
    CloseHandle(idle_);
    DeleteCriticalSection(&lock_);
}

std::unique_ptr<Delivery> DataCallbackSink::Take(DWORD transactionId, DWORD timeoutMs,
                                                 HANDLE stop) {
    const DWORD started = GetTickCount();
    for (;;) {
        EnterCriticalSection(&lock_);
        for (auto it = queue_.begin(); it != queue_.end(); ++it) {
            if ((*it)->transactionId != transactionId) continue;
            std::unique_ptr<Delivery> found = std::move(*it);
            queue_.erase(it);
            LeaveCriticalSection(&lock_);
            return found;
        }
        LeaveCriticalSection(&lock_);
        DWORD wait = INFINITE;
        if (timeoutMs != INFINITE) {
            DWORD elapsed = GetTickCount() - started;
            if (elapsed >= timeoutMs) return nullptr;
            wait = timeoutMs - elapsed;
        }
        HANDLE handles[2] = {arrived_, stop};
        // A delivery queued after the look above has set the event already.
        if (WaitForMultipleObjects(stop ? 2 : 1, handles, FALSE, wait) != WAIT_OBJECT_0) {
            return nullptr;
        }
    }
}

bool DataCallbackSink::WaitIdle(DWORD timeoutMs) {
    return WaitForSingleObject(idle_, timeoutMs) == WAIT_OBJECT_0;
}

STDMETHODIMP DataCallbackSink::QueryInterface(REFIID iid, void **object) {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IOPCHDA_DataCallback) {
        *object = static_cast<IOPCHDA_DataCallback *>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) DataCallbackSink::AddRef() { return InterlockedIncrement(&references_); }

STDMETHODIMP_(ULONG) DataCallbackSink::Release() {
    ULONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return left;
}

void DataCallbackSink::Queue(std::unique_ptr<Delivery> delivery) {
    EnterCriticalSection(&lock_);
    queue_.push_back(std::move(delivery));
    LeaveCriticalSection(&lock_);
    SetEvent(arrived_);
}

HRESULT DataCallbackSink::QueueItems(Delivery::Kind kind, DWORD transactionId, HRESULT status,
                                     DWORD count, const OPCHDA_ITEM *items,
                                     const HRESULT *errors) {
    Running running(&lock_, &running_, idle_);
    try {
        std::unique_ptr<Delivery> delivery(new Delivery);
        delivery->kind = kind;
        delivery->transactionId = transactionId;
        delivery->status = status;
        delivery->count = count;
        delivery->values.reset(new ReadResults(count));
        delivery->copied = CopyItemResults(count, items, errors, delivery->values.get());
        Queue(std::move(delivery));
    } catch (const std::bad_alloc &) {
        // Nothing to queue: the waiting command times out.
    }
    return S_OK;
}

STDMETHODIMP DataCallbackSink::OnDataChange(DWORD dwTransactionID, HRESULT hrStatus,
                                            DWORD dwNumItems, OPCHDA_ITEM *pItemValues,
                                            HRESULT *phrErrors) {
    return QueueItems(Delivery::kDataChange, dwTransactionID, hrStatus, dwNumItems, pItemValues,
                      phrErrors);
}

STDMETHODIMP DataCallbackSink::OnReadComplete(DWORD dwTransactionID, HRESULT hrStatus,
                                              DWORD dwNumItems, OPCHDA_ITEM *pItemValues,
                                              HRESULT *phrErrors) {
    return QueueItems(Delivery::kReadComplete, dwTransactionID, hrStatus, dwNumItems,
                      pItemValues, phrErrors);
}

STDMETHODIMP DataCallbackSink::OnReadAttributeComplete(DWORD dwTransactionID, HRESULT hrStatus,
                                                       OPCHANDLE hClient, DWORD dwNumItems,
                                                       OPCHDA_ATTRIBUTE *pAttributeValues,
                                                       HRESULT *phrErrors) {
    Running running(&lock_, &running_, idle_);
    try {
        std::unique_ptr<Delivery> delivery(new Delivery);
        delivery->kind = Delivery::kReadAttributeComplete;
        delivery->transactionId = dwTransactionID;
        delivery->status = hrStatus;
        delivery->count = dwNumItems;
        delivery->client = hClient;
        delivery->attributes.reset(new AttributeResults(dwNumItems));
        delivery->copied = CopyAttributeResults(dwNumItems, pAttributeValues, phrErrors,
                                                delivery->attributes.get());
        Queue(std::move(delivery));
    } catch (const std::bad_alloc &) {
        // Nothing to queue: the waiting command times out.
    }
    return S_OK;
}

// hdaclient makes no requests that end in these.
STDMETHODIMP DataCallbackSink::OnReadModifiedComplete(DWORD, HRESULT, DWORD,
                                                      OPCHDA_MODIFIEDITEM *, HRESULT *) {
    return S_OK;
}

STDMETHODIMP DataCallbackSink::OnReadAnnotations(DWORD, HRESULT, DWORD, OPCHDA_ANNOTATION *,
                                                 HRESULT *) {
    return S_OK;
}

STDMETHODIMP DataCallbackSink::OnInsertAnnotations(DWORD, HRESULT, DWORD, OPCHANDLE *,
                                                   HRESULT *) {
    return S_OK;
}

STDMETHODIMP DataCallbackSink::OnPlayback(DWORD, HRESULT, DWORD, OPCHDA_ITEM **, HRESULT *) {
    return S_OK;
}

STDMETHODIMP DataCallbackSink::OnUpdateComplete(DWORD, HRESULT, DWORD, OPCHANDLE *, HRESULT *) {
    return S_OK;
}

STDMETHODIMP DataCallbackSink::OnCancelComplete(DWORD) { return S_OK; }

}  // namespace hdaclient
