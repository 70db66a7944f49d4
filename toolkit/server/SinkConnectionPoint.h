// Behaviour shared by a connection's two connection points: each holds at
// most one client sink, counted, under its own lock, and forwards its
// reference counting to the container (which forwards to the HDAServer).
// The points differ only in their texts and the interface they serve.
#ifndef HALVEX_SINK_CONNECTION_POINT_H
#define HALVEX_SINK_CONNECTION_POINT_H

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include "runtime/CriticalSection.h"
#include "runtime/EventMessages.h"
#include "runtime/EventTexts.h"
#include "server/InterfaceName.h"

namespace halvex {

template <class Sink, const evt::PointTexts &Texts>
class SinkConnectionPoint : public IConnectionPoint {
public:
    // The only cookie either point ever hands out.
    static constexpr DWORD kCookie = 1;

    SinkConnectionPoint(IConnectionPointContainer *owner, const IID &served)
        : container(owner), served_(served) {}
    // Runs when the HDAServer is destroyed: gives back the advised sink.
    virtual ~SinkConnectionPoint() {
        if (sink) sink->Release();
    }
    SinkConnectionPoint(const SinkConnectionPoint &) = delete;
    SinkConnectionPoint &operator=(const SinkConnectionPoint &) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override {
        if (!ppv) {
            SendEventMessage(Texts.queryInterface, evt::kSfxInvalidArg);
            return E_INVALIDARG;
        }
        if (IsEqualIID(riid, IID_IUnknown)) {
            SendEventMessage(Texts.queryInterface, evt::kSfxUnknown);
        } else if (IsEqualIID(riid, IID_IConnectionPoint)) {
            SendEventMessage(Texts.queryInterface, evt::kSfxConnectionPoint);
        } else {
            SendEventMessage(Texts.queryInterface, InterfaceName(riid));
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        *ppv = static_cast<IConnectionPoint *>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override {
        SendEventMessage(Texts.addRef);
        return container->AddRef();
    }
    ULONG STDMETHODCALLTYPE Release() override {
        SendEventMessage(Texts.release);
        return container->Release();
    }

    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID *pIID) override {
        if (!pIID) {
            SendEventMessage(Texts.getConnectionInterface, evt::kSfxInvalidArg);
            return E_INVALIDARG;
        }
        SendEventMessage(Texts.getConnectionInterface);
        *pIID = served_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(
        IConnectionPointContainer **ppCPC) override {
        if (!ppCPC) {
            SendEventMessage(Texts.getContainer, evt::kSfxInvalidArg);
            return E_INVALIDARG;
        }
        SendEventMessage(Texts.getContainer);
        container->AddRef();
        *ppCPC = container;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Advise(IUnknown *pUnkSink, DWORD *pdwCookie) override {
        if (!pUnkSink || !pdwCookie) {
            SendEventMessage(Texts.advise, evt::kSfxPointer);
            return E_POINTER;
        }
        if (HasSink()) {
            SendEventMessage(Texts.advise, evt::kSfxAdviseLimit);
            return CONNECT_E_ADVISELIMIT;
        }
        // Asked without the lock: the sink may live in another process.
        Sink *candidate = nullptr;
        if (FAILED(pUnkSink->QueryInterface(served_, reinterpret_cast<void **>(&candidate))) ||
            !candidate) {
            SendEventMessage(Texts.advise, evt::kSfxCannotConnect);
            return CONNECT_E_CANNOTCONNECT;
        }
        bool stored = false;
        {
            CsGuard guard(sinkLock_);
            if (!sink) {
                sink = candidate;
                stored = true;
            }
        }
        if (!stored) {
            // Another Advise won while this one asked its sink.
            candidate->Release();
            SendEventMessage(Texts.advise, evt::kSfxAdviseLimit);
            return CONNECT_E_ADVISELIMIT;
        }
        *pdwCookie = kCookie;
        SendEventMessage(Texts.advise, evt::kSfxOk);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD dwCookie) override {
        Sink *old = nullptr;
        {
            CsGuard guard(sinkLock_);
            if (dwCookie == kCookie) {
                old = sink;
                sink = nullptr;
            }
        }
        if (!old) {
            SendEventMessage(Texts.unadvise, evt::kSfxNoConnection);
            return CONNECT_E_NOCONNECTION;
        }
        // Released outside the lock: the last release of a proxy is a call.
        old->Release();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections **ppEnum) override {
        if (ppEnum) *ppEnum = nullptr;
        return E_NOTIMPL;
    }

protected:
    // The advised sink with a reference taken for the caller, or null. The
    // caller calls it without any toolkit lock and releases it afterwards, so
    // an Unadvise meanwhile cannot free it under the call.
    Sink *TakeSinkReference() {
        CsGuard guard(sinkLock_);
        // The point's own reference keeps the count above zero here, so this
        // AddRef never reaches the client's process.
        if (sink) sink->AddRef();
        return sink;
    }

    // Drops the advised sink if it is still `gone`, as Unadvise would: used
    // when calls to it fail because its client's process has ended.
    void ForgetSink(Sink *gone) {
        Sink *old = nullptr;
        {
            CsGuard guard(sinkLock_);
            if (sink == gone) {
                old = sink;
                sink = nullptr;
            }
        }
        if (old) old->Release();
    }

    IConnectionPointContainer *const container;  // uncounted: the container owns this point
    Sink *sink = nullptr;  // counted; guarded by sinkLock_

private:
    bool HasSink() {
        CsGuard guard(sinkLock_);
        return sink != nullptr;
    }

    const IID served_;
    CriticalSection sinkLock_;
};

}  // namespace halvex

#endif
