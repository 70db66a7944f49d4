// hdaclient's IOPCHDA_DataCallback sink. The server calls it on RPC threads
// (the process is in the multithreaded apartment); each call's results are
// copied and queued, and the main thread takes them by transaction ID.
#ifndef HDACLIENT_DATA_CALLBACK_SINK_H
#define HDACLIENT_DATA_CALLBACK_SINK_H

#include <windows.h>

#include <deque>
#include <memory>

#include "AttributeOutput.h"
#include "ReadOutput.h"
#include "opchda.h"

namespace hdaclient {

// One callback as the sink received it.
struct Delivery {
    enum Kind { kDataChange, kReadComplete, kReadAttributeComplete };
    Kind kind = kReadComplete;
    DWORD transactionId = 0;
    HRESULT status = S_OK;
    DWORD count = 0;
    OPCHANDLE client = 0;  // read attribute: the item's client handle
    bool copied = true;    // false when memory ran out while copying
    std::unique_ptr<ReadResults> values;           // data change, read complete
    std::unique_ptr<AttributeResults> attributes;  // read attribute complete
};

// "OnReadComplete"
const char *CallbackName(Delivery::Kind kind);

class DataCallbackSink final : public IOPCHDA_DataCallback {
public:
    // Made with one reference, the caller's.
    DataCallbackSink();

    // The next delivery of this transaction, in the order they came; null
    // when none came within timeoutMs (INFINITE: no limit) or stop was set.
    std::unique_ptr<Delivery> Take(DWORD transactionId, DWORD timeoutMs, HANDLE stop);
    // Waits until no call is running in the sink; false after timeoutMs.
    bool WaitIdle(DWORD timeoutMs);

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void **object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IOPCHDA_DataCallback: every call returns S_OK.
    STDMETHODIMP OnDataChange(DWORD dwTransactionID, HRESULT hrStatus, DWORD dwNumItems,
                              OPCHDA_ITEM *pItemValues, HRESULT *phrErrors) override;
    STDMETHODIMP OnReadComplete(DWORD dwTransactionID, HRESULT hrStatus, DWORD dwNumItems,
                                OPCHDA_ITEM *pItemValues, HRESULT *phrErrors) override;
    STDMETHODIMP OnReadModifiedComplete(DWORD dwTransactionID, HRESULT hrStatus,
                                        DWORD dwNumItems, OPCHDA_MODIFIEDITEM *pItemValues,
                                        HRESULT *phrErrors) override;
    STDMETHODIMP OnReadAttributeComplete(DWORD dwTransactionID, HRESULT hrStatus,
                                         OPCHANDLE hClient, DWORD dwNumItems,
                                         OPCHDA_ATTRIBUTE *pAttributeValues,
                                         HRESULT *phrErrors) override;
    STDMETHODIMP OnReadAnnotations(DWORD dwTransactionID, HRESULT hrStatus, DWORD dwNumItems,
                                   OPCHDA_ANNOTATION *pAnnotationValues,
                                   HRESULT *phrErrors) override;
    STDMETHODIMP OnInsertAnnotations(DWORD dwTransactionID, HRESULT hrStatus, DWORD dwCount,
                                     OPCHANDLE *phClients, HRESULT *phrErrors) override;
    STDMETHODIMP OnPlayback(DWORD dwTransactionID, HRESULT hrStatus, DWORD dwNumItems,
                            OPCHDA_ITEM **ppItemValues, HRESULT *phrErrors) override;
    STDMETHODIMP OnUpdateComplete(DWORD dwTransactionID, HRESULT hrStatus, DWORD dwCount,
                                  OPCHANDLE *phClients, HRESULT *phrErrors) override;
    STDMETHODIMP OnCancelComplete(DWORD dwCancelID) override;

private:
    ~DataCallbackSink();
    void Queue(std::unique_ptr<Delivery> delivery);
    HRESULT QueueItems(Delivery::Kind kind, DWORD transactionId, HRESULT status, DWORD count,
                       const OPCHDA_ITEM *items, const HRESULT *errors);

    LONG references_ = 1;
    CRITICAL_SECTION lock_;
    std::deque<std::unique_ptr<Delivery>> queue_;
    HANDLE arrived_;  // auto-reset: set when a delivery was queued
    HANDLE idle_;     // manual-reset: set while no call runs
    LONG running_ = 0;
};

}  // namespace hdaclient

#endif
