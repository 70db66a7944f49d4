#include "server/ClassFactory.h"

#include "runtime/ToolkitState.h"

namespace halvex {

HRESULT ClassFactory::QueryInterface(REFIID riid, void **ppv) {
    if (!ppv) return E_INVALIDARG;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
        *ppv = static_cast<IClassFactory *>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG ClassFactory::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&refCount_)); }

ULONG ClassFactory::Release() { return static_cast<ULONG>(InterlockedDecrement(&refCount_)); }

HRESULT ClassFactory::CreateInstance(IUnknown *outer, REFIID riid, void **ppv) {
    if (outer) {
        if (ppv) *ppv = nullptr;
        return CLASS_E_NOAGGREGATION;
    }
    return Toolkit().CreateServer(riid, ppv);
}

HRESULT ClassFactory::LockServer(BOOL lock) {
    if (lock)
        InterlockedIncrement(&Toolkit().lockCount);
    else
        InterlockedDecrement(&Toolkit().lockCount);
    return S_OK;
}

}  // namespace halvex
