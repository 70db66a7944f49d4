// A client sink for the connection points: answers IOPCShutdown and/or
// IOPCHDA_DataCallback, counts its references and its ShutdownRequest calls,
// and signals events so that tests wait for them instead of sleeping. Safe
// to call from any thread (free-threaded when the test is in the MTA).
#ifndef HALVEX_COUNTING_SINK_H
#define HALVEX_COUNTING_SINK_H

#include <windows.h>

#include <functional>
#include <mutex>
#include <string>

#include "opccomn.h"
#include "opchda.h"

namespace testsupport {

class CountingSink : public IOPCShutdown, public IOPCHDA_DataCallback {
public:
    // Starts with the test's own reference (1).
    CountingSink(bool shutdown, bool dataCallback)
        : shutdown_(shutdown), dataCallback_(dataCallback) {
        shutdownCalled = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        backToOne = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    }
    virtual ~CountingSink() {
        CloseHandle(shutdownCalled);
        CloseHandle(backToOne);
    }

    // What ShutdownRequest does besides counting (runs on the caller's thread).
    std::function<void()> onShutdown;

    LONG Refs() const { return refs_; }
    int ShutdownCalls() {
        std::lock_guard<std::mutex> guard(lock_);
        return calls_;
    }
    std::wstring LastReason() {
        std::lock_guard<std::mutex> guard(lock_);
        return reason_;
    }

    HANDLE shutdownCalled;  // set by every ShutdownRequest
    // Set while only the test's reference is left: by the Release that leaves
    // it, reset by the AddRef that takes a second one (a sink advised again).
    HANDLE backToOne;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (IsEqualIID(riid, IID_IUnknown) || (shutdown_ && IsEqualIID(riid, IID_IOPCShutdown)))
            *ppv = static_cast<IOPCShutdown *>(this);
        else if (dataCallback_ && IsEqualIID(riid, IID_IOPCHDA_DataCallback))
            *ppv = static_cast<IOPCHDA_DataCallback *>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override {
        LONG count = InterlockedIncrement(&refs_);
        if (count == 2) ResetEvent(backToOne);
        return count;
    }
    ULONG STDMETHODCALLTYPE Release() override {
        LONG count = InterlockedDecrement(&refs_);
        if (count == 1) SetEvent(backToOne);
        return count;
    }

    HRESULT STDMETHODCALLTYPE ShutdownRequest(LPCWSTR reason) override {
        {
            std::lock_guard<std::mutex> guard(lock_);
            ++calls_;
            reason_ = reason ? reason : L"(null)";
        }
        if (onShutdown) onShutdown();
        SetEvent(shutdownCalled);
        return S_OK;
    }

    // Nothing delivers data yet: the data-callback methods only answer.
    HRESULT STDMETHODCALLTYPE OnDataChange(DWORD, HRESULT, DWORD, OPCHDA_ITEM *, HRESULT *)
        override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnReadComplete(DWORD, HRESULT, DWORD, OPCHDA_ITEM *, HRESULT *)
        override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnReadModifiedComplete(DWORD, HRESULT, DWORD,
                                                     OPCHDA_MODIFIEDITEM *, HRESULT *)
        override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnReadAttributeComplete(DWORD, HRESULT, OPCHANDLE, DWORD,
                                                      OPCHDA_ATTRIBUTE *, HRESULT *)
        override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnReadAnnotations(DWORD, HRESULT, DWORD, OPCHDA_ANNOTATION *,
                                                HRESULT *)
        override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInsertAnnotations(DWORD, HRESULT, DWORD, OPCHANDLE *, HRESULT *)
        override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnPlayback(DWORD, HRESULT, DWORD, OPCHDA_ITEM **, HRESULT *)
        override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnUpdateComplete(DWORD, HRESULT, DWORD, OPCHANDLE *, HRESULT *)
        override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnCancelComplete(DWORD) override { return S_OK; }

private:
    const bool shutdown_, dataCallback_;
    volatile LONG refs_ = 1;
    std::mutex lock_;
    int calls_ = 0;
    std::wstring reason_;
};

}  // namespace testsupport

#endif
