// The client side of the queued-read benchmarks: a data-callback sink, and
// one connection to their server with its sink advised and its item handles.
#ifndef HALVEX_ASYNC_BENCH_CLIENT_H
#define HALVEX_ASYNC_BENCH_CLIENT_H

#include <windows.h>
#include <ocidl.h>

#include <string>
#include <vector>

#include "AsyncBenchIds.h"
#include "BenchProcess.h"
#include "BenchReads.h"
#include "opccomn.h"
#include "opchda.h"
#include "support/CountingSink.h"

namespace asyncbench {

// An IOPCHDA_DataCallback sink that answers every call with S_OK; a
// benchmark overrides what it records. Free-threaded: calls arrive on the
// client's RPC threads. Starts with its owner's reference; the owner deletes
// it, once the server has let go of it.
class DataSink : public testsupport::CountingSink {
public:
    DataSink() : CountingSink(false, true) {}

    // True once no reference but the owner's is left (the server released
    // its proxy), within `ms`.
    bool WaitOwnerOnly(DWORD ms) {
        ResetEvent(backToOne);
        return Refs() == 1 || WaitForSingleObject(backToOne, ms) == WAIT_OBJECT_0;
    }
};

// One connection to the server: its interfaces, the handles of the given
// items (client handle i is the item's position), and `sink` advised on the
// data-callback point.
struct Connection {
    IOPCHDA_Server *server = nullptr;
    IOPCHDA_SyncRead *syncRead = nullptr;
    IOPCHDA_AsyncRead *asyncRead = nullptr;
    IOPCCommon *common = nullptr;
    IConnectionPoint *point = nullptr;
    DWORD cookie = 0;
    std::vector<OPCHANDLE> handles;

    void Open(const std::vector<std::string> &itemIds, DataSink *sink) {
        using bench::Fail;
        IUnknown *object = bench::ActivateServer(kServerClsid);
        HRESULT hr = object->QueryInterface(IID_IOPCHDA_Server, reinterpret_cast<void **>(&server));
        if (FAILED(hr)) Fail("QueryInterface(IOPCHDA_Server)", hr);
        hr = object->QueryInterface(IID_IOPCHDA_SyncRead, reinterpret_cast<void **>(&syncRead));
        if (FAILED(hr)) Fail("QueryInterface(IOPCHDA_SyncRead)", hr);
        hr = object->QueryInterface(IID_IOPCHDA_AsyncRead, reinterpret_cast<void **>(&asyncRead));
        if (FAILED(hr)) Fail("QueryInterface(IOPCHDA_AsyncRead)", hr);
        hr = object->QueryInterface(IID_IOPCCommon, reinterpret_cast<void **>(&common));
        if (FAILED(hr)) Fail("QueryInterface(IOPCCommon)", hr);
        IConnectionPointContainer *container = nullptr;
        hr = object->QueryInterface(IID_IConnectionPointContainer,
                                    reinterpret_cast<void **>(&container));
        if (FAILED(hr)) Fail("QueryInterface(IConnectionPointContainer)", hr);
        object->Release();
        hr = container->FindConnectionPoint(IID_IOPCHDA_DataCallback, &point);
        container->Release();
        if (FAILED(hr)) Fail("FindConnectionPoint(IOPCHDA_DataCallback)", hr);
        hr = point->Advise(static_cast<IOPCHDA_DataCallback *>(sink), &cookie);
        if (FAILED(hr)) Fail("IConnectionPoint::Advise", hr);
        handles = bench::ItemHandles(server, itemIds, 0);
    }

    // The sink goes first, then one plain round trip, so that no callback
    // is still arriving when the client lets go (and perhaps exits).
    void Close() {
        using bench::Fail;
        HRESULT hr = point->Unadvise(cookie);
        if (FAILED(hr)) Fail("IConnectionPoint::Unadvise", hr);
        LCID locale = 0;
        hr = common->GetLocaleID(&locale);
        if (FAILED(hr)) Fail("IOPCCommon::GetLocaleID", hr);
        point->Release();
        common->Release();
        asyncRead->Release();
        syncRead->Release();
        server->Release();
    }
};

}  // namespace asyncbench

#endif
