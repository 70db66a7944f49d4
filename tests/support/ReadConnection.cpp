#include "support/ReadConnection.h"

#include "support/ServerConnection.h"

namespace testsupport {
namespace {

constexpr DWORD kGiveBackMs = 10000;

template <class T>
void Drop(T *&p) {
    if (p) p->Release();
    p = nullptr;
}

}  // namespace

bool WaitBackToOne(CountingSink &sink, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    // The count is read after each reset, so a release in between is seen.
    for (;;) {
        ResetEvent(sink.backToOne);
        if (sink.Refs() == 1) return true;
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) return false;
        WaitForSingleObject(sink.backToOne, static_cast<DWORD>(deadline - now));
    }
}

HRESULT ReadConnection::Open(CountingSink *sink) {
    HRESULT hr = ConnectTestServer(IID_IOPCHDA_Server, &server);
    if (FAILED(hr)) return hr;
    LPWSTR ids[] = {const_cast<LPWSTR>(L"A.A.A"), const_cast<LPWSTR>(L"A.A.B"),
                    const_cast<LPWSTR>(L"A.C.C")};
    OPCHANDLE clients[] = {11, 12, 13}, *handles = nullptr;
    HRESULT *errors = nullptr;
    hr = server->GetItemHandles(3, ids, clients, &handles, &errors);
    if (hr != S_OK) return FAILED(hr) ? hr : E_FAIL;
    for (int i = 0; i < 3; ++i) items[i] = handles[i];
    CoTaskMemFree(handles);
    CoTaskMemFree(errors);
    const struct {
        const IID &iid;
        void **slot;
    } wanted[] = {{IID_IOPCHDA_SyncRead, reinterpret_cast<void **>(&sync)},
                  {IID_IOPCHDA_AsyncRead, reinterpret_cast<void **>(&async)},
                  {IID_IOPCCommon, reinterpret_cast<void **>(&common)},
                  {IID_IConnectionPointContainer, reinterpret_cast<void **>(&container)}};
    for (const auto &w : wanted) {
        hr = server->QueryInterface(w.iid, w.slot);
        if (FAILED(hr)) return hr;
    }
    hr = container->FindConnectionPoint(IID_IOPCHDA_DataCallback, &point);
    if (FAILED(hr)) return hr;
    DWORD cookie = 0;
    hr = point->Advise(static_cast<IOPCShutdown *>(sink), &cookie);
    if (SUCCEEDED(hr)) sink_ = sink;
    return hr;
}

bool ReadConnection::Close() {
    bool ok = true;
    if (async) {
        for (DWORD id : advises) async->Cancel(id);
    }
    // The sink may have unadvised itself already.
    if (point && sink_) point->Unadvise(1);
    if (sink_) ok = WaitBackToOne(*sink_, kGiveBackMs);
    LCID locale = 0;
    if (common && common->GetLocaleID(&locale) != S_OK) ok = false;
    Release();
    return ok;
}

void ReadConnection::Release() {
    Drop(point);
    Drop(container);
    Drop(common);
    Drop(sync);
    Drop(async);
    Drop(server);
    sink_ = nullptr;
    advises.clear();
}

IOPCHDA_AsyncRead *ReadConnection::KeepOnlyAsync() {
    IOPCHDA_AsyncRead *kept = async;
    async = nullptr;
    Release();
    return kept;
}

}  // namespace testsupport
