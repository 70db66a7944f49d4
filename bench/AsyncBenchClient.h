// The client side of the queued-read benchmarks: registering and activating
// their server, a data-callback sink, and one connection with its sink
// advised and its item handles.
#ifndef HALVEX_ASYNC_BENCH_CLIENT_H
#define HALVEX_ASYNC_BENCH_CLIENT_H

#include <windows.h>
#include <ocidl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "AsyncBenchIds.h"
#include "opccomn.h"
#include "opchda.h"

namespace asyncbench {

[[noreturn]] inline void Fail(const char *what, HRESULT hr = S_OK) {
    fprintf(stderr, "%s failed: 0x%08lx\n", what, static_cast<unsigned long>(hr));
    fflush(stderr);
    exit(1);
}

inline unsigned long long Ticks(const FILETIME &t) {
    return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}
inline FILETIME FromTicks(unsigned long long ticks) {
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

// UTC now in 100-ns units, at the clock's full resolution where the system
// has the precise call (GetSystemTimeAsFileTime may step by 15.6 ms).
inline unsigned long long UtcNow() {
    using Precise = VOID(WINAPI *)(LPFILETIME);
    static const Precise precise = reinterpret_cast<Precise>(reinterpret_cast<void *>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetSystemTimePreciseAsFileTime")));
    FILETIME now;
    if (precise) {
        precise(&now);
    } else {
        GetSystemTimeAsFileTime(&now);
    }
    return Ticks(now);
}

// Runs a program to its end; its exit code, or -1.
inline int RunProgram(std::string command) {
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi))
        return -1;
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return static_cast<int>(code);
}

inline std::string ThisProgram() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}

// Registers the server program found beside this one.
inline void RegisterServer() {
    std::string dir = ThisProgram();
    dir.resize(dir.find_last_of("\\/") + 1);
    if (RunProgram("\"" + dir + kServerExe + "\" /RegServer") != 0) Fail("registering the server");
}

// Activates the server from the registry. A server that is just quitting
// after being idle can refuse the first attempt; a fresh one starts on the
// next.
inline IUnknown *Activate() {
    HRESULT hr = E_FAIL;
    for (int attempt = 0; attempt < 3; ++attempt) {
        IUnknown *object = nullptr;
        hr = CoCreateInstance(kServerClsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown,
                              reinterpret_cast<void **>(&object));
        if (SUCCEEDED(hr)) return object;
    }
    Fail("CoCreateInstance of the server", hr);
}

// An IOPCHDA_DataCallback sink that answers every call with S_OK; a
// benchmark overrides what it records. Free-threaded: calls arrive on the
// client's RPC threads. Starts with its owner's reference.
class DataSink : public IOPCHDA_DataCallback {
public:
    DataSink() : released_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    virtual ~DataSink() { CloseHandle(released_); }
    DataSink(const DataSink &) = delete;
    DataSink &operator=(const DataSink &) = delete;

    // True once no reference but the owner's is left (the server released
    // its proxy), within `ms`.
    bool WaitOwnerOnly(DWORD ms) {
        ResetEvent(released_);
        return refs_ == 1 || WaitForSingleObject(released_, ms) == WAIT_OBJECT_0;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override {
        if (!ppv) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOPCHDA_DataCallback)) {
            *ppv = static_cast<IOPCHDA_DataCallback *>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override {
        return static_cast<ULONG>(InterlockedIncrement(&refs_));
    }
    ULONG STDMETHODCALLTYPE Release() override {
        LONG left = InterlockedDecrement(&refs_);
        if (left == 1) SetEvent(released_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

    HRESULT STDMETHODCALLTYPE OnDataChange(DWORD, HRESULT, DWORD, OPCHDA_ITEM *,
                                           HRESULT *) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnReadComplete(DWORD, HRESULT, DWORD, OPCHDA_ITEM *,
                                             HRESULT *) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnReadModifiedComplete(DWORD, HRESULT, DWORD,
                                                     OPCHDA_MODIFIEDITEM *, HRESULT *) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnReadAttributeComplete(DWORD, HRESULT, OPCHANDLE, DWORD,
                                                      OPCHDA_ATTRIBUTE *, HRESULT *) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnReadAnnotations(DWORD, HRESULT, DWORD, OPCHDA_ANNOTATION *,
                                                HRESULT *) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnInsertAnnotations(DWORD, HRESULT, DWORD, OPCHANDLE *,
                                                  HRESULT *) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnPlayback(DWORD, HRESULT, DWORD, OPCHDA_ITEM **,
                                         HRESULT *) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnUpdateComplete(DWORD, HRESULT, DWORD, OPCHANDLE *,
                                               HRESULT *) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnCancelComplete(DWORD) override { return S_OK; }

private:
    volatile LONG refs_ = 1;
    HANDLE released_;
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
        IUnknown *object = Activate();
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
        hr = point->Advise(sink, &cookie);
        if (FAILED(hr)) Fail("IConnectionPoint::Advise", hr);

        const DWORD count = static_cast<DWORD>(itemIds.size());
        std::vector<std::wstring> ids(count);
        std::vector<LPWSTR> pointers(count);
        std::vector<OPCHANDLE> clients(count);
        for (DWORD i = 0; i < count; ++i) {
            ids[i].assign(itemIds[i].begin(), itemIds[i].end());
            pointers[i] = &ids[i][0];
            clients[i] = i;
        }
        OPCHANDLE *serverHandles = nullptr;
        HRESULT *errors = nullptr;
        hr = server->GetItemHandles(count, pointers.data(), clients.data(), &serverHandles,
                                    &errors);
        if (hr != S_OK) Fail("GetItemHandles", hr);
        handles.assign(serverHandles, serverHandles + count);
        CoTaskMemFree(serverHandles);
        CoTaskMemFree(errors);
    }

    // The sink goes first, then one plain round trip, so that no callback
    // is still arriving when the client lets go (and perhaps exits).
    void Close() {
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
