#include "server/IOPCServerConnectionPtEnumerator.h"

#include <new>

#include "opccomn.h"
#include "opchda.h"
#include "runtime/EventMessages.h"
#include "runtime/EventTexts.h"
#include "server/InterfaceName.h"
#include "server/OPCServerConnectionContainer.h"

namespace halvex {

HRESULT IOPCServerConnectionPtEnumerator::QueryInterface(REFIID riid, void **ppv) {
    if (!ppv) {
        SendEventMessage(evt::kPointEnumQueryInterface, evt::kSfxInvalidArg);
        return E_INVALIDARG;
    }
    if (IsEqualIID(riid, IID_IUnknown)) {
        SendEventMessage(evt::kPointEnumQueryInterface, evt::kSfxUnknown);
    } else if (IsEqualIID(riid, IID_IEnumConnectionPoints)) {
        SendEventMessage(evt::kPointEnumQueryInterface, evt::kSfxEnumPoints);
    } else {
        SendEventMessage(evt::kPointEnumQueryInterface, InterfaceName(riid));
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    *ppv = static_cast<IEnumConnectionPoints *>(this);
    AddRef();
    return S_OK;
}

ULONG IOPCServerConnectionPtEnumerator::AddRef() {
    LONG count = InterlockedIncrement(&refCount);
    SendEventCount(evt::kPointEnumAddRef, count);
    InterlockedIncrement(&containerRefs_);
    return container->AddRef();
}

ULONG IOPCServerConnectionPtEnumerator::Release() {
    LONG count = InterlockedDecrement(&refCount);
    // The text shows the count before the release.
    SendEventCount(evt::kPointEnumRelease, count + 1);
    if (count > 0) return static_cast<ULONG>(count);
    // Nobody else holds the enumerator now.
    OPCServerConnectionContainer *owner = container;
    LONG held = containerRefs_;
    for (; held > 0; --held) owner->Release();
    delete this;
    return 0;
}

HRESULT IOPCServerConnectionPtEnumerator::Next(ULONG cConnections, IConnectionPoint **ppCP,
                                               ULONG *pcFetched) {
    SendEventMessage(evt::kPointEnumNext);
    if (!pcFetched && cConnections != 1) return E_POINTER;
    if (pcFetched) *pcFetched = 0;
    if (cConnections == 0) return S_OK;
    if (!ppCP) return E_POINTER;
    LONG at;
    {
        CsGuard guard(lock_);
        at = position;
        if (position < kEnd) ++position;
    }
    if (at >= kEnd) return S_FALSE;
    ppCP[0] = nullptr;
    HRESULT hr =
        container->FindConnectionPoint(at == 0 ? IID_IOPCShutdown : IID_IOPCHDA_DataCallback, ppCP);
    if (FAILED(hr)) return S_FALSE;
    // One point per call. The elements past it are cleared, so that a caller
    // that reads the whole array (as COM's marshaling does on S_OK) finds
    // null pointers there rather than stale ones.
    for (ULONG i = 1; i < cConnections; ++i) ppCP[i] = nullptr;
    if (pcFetched) *pcFetched = 1;
    return S_OK;
}

HRESULT IOPCServerConnectionPtEnumerator::Skip(ULONG cConnections) {
    CsGuard guard(lock_);
    // No bound: a skip past the end succeeds and leaves the cursor there.
    LONGLONG target = static_cast<LONGLONG>(position) + cConnections;
    position = target > kEnd ? kEnd : static_cast<LONG>(target);
    return S_OK;
}

HRESULT IOPCServerConnectionPtEnumerator::Reset() {
    CsGuard guard(lock_);
    position = 0;
    return S_OK;
}

HRESULT IOPCServerConnectionPtEnumerator::Clone(IEnumConnectionPoints **ppEnum) {
    if (!ppEnum) return E_POINTER;
    IOPCServerConnectionPtEnumerator *copy =
        new (std::nothrow) IOPCServerConnectionPtEnumerator(container);
    if (!copy) {
        *ppEnum = nullptr;
        return E_OUTOFMEMORY;
    }
    copy->AddRef();
    *ppEnum = copy;
    return S_OK;
}

}  // namespace halvex
