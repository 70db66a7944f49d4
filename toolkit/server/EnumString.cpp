#include "server/EnumString.h"

#include <new>

#include "runtime/EventMessages.h"
#include "runtime/EventTexts.h"
#include "runtime/ToolkitState.h"
#include "server/InterfaceName.h"

namespace halvex {

HRESULT IOPCEnumString::QueryInterface(REFIID riid, void **ppv) {
    if (!ppv) {
        SendEventMessage(evt::kEnumStringQueryInterface, evt::kSfxInvalidArg);
        return E_INVALIDARG;
    }
    *ppv = nullptr;
    if (IsEqualIID(riid, IID_IUnknown)) {
        SendEventMessage(evt::kEnumStringQueryInterface, evt::kSfxUnknown);
    } else if (IsEqualIID(riid, IID_IEnumString)) {
        SendEventMessage(evt::kEnumStringQueryInterface, evt::kSfxEnumString);
    } else {
        SendEventMessage(evt::kEnumStringQueryInterface, InterfaceName(riid));
        return E_NOINTERFACE;
    }
    *ppv = static_cast<IEnumString *>(this);
    AddRef();
    return S_OK;
}

ULONG IOPCEnumString::AddRef() {
    LONG count = InterlockedIncrement(&refCount);
    SendEventCount(evt::kEnumStringAddRef, count);
    return static_cast<ULONG>(count);
}

ULONG IOPCEnumString::Release() {
    LONG count = InterlockedDecrement(&refCount);
    // The text shows the count before the release.
    SendEventCount(evt::kEnumStringRelease, count + 1);
    if (count == 0) delete this;
    return static_cast<ULONG>(count);
}

HRESULT IOPCEnumString::Next(ULONG celt, LPOLESTR *rgelt, ULONG *pceltFetched) {
    SendEventMessage(evt::kEnumStringNext);
    if (!pceltFetched && celt != 1) return E_POINTER;
    CsGuard guard(lock_);
    if (position >= strings.size()) {
        if (pceltFetched) *pceltFetched = 0;
        return S_FALSE;
    }
    if (celt > 0 && !rgelt) return E_POINTER;
    // A celt of 0 delivers nothing. A string that cannot be widened for want
    // of memory is delivered as a null element; the others still follow.
    ULONG delivered = 0;
    while (delivered < celt && position < strings.size()) {
        rgelt[delivered++] = Toolkit().AnsiToWide(strings[position++].c_str(), TRUE);
    }
    if (pceltFetched) *pceltFetched = delivered;
    // A short batch is S_FALSE: COM's marshaling reads S_OK as "all celt
    // strings fetched" and would hand the client null strings past the end.
    return delivered == celt ? S_OK : S_FALSE;
}

HRESULT IOPCEnumString::Skip(ULONG celt) {
    SendEventMessage(evt::kEnumStringSkip);
    CsGuard guard(lock_);
    // Landing exactly on the end counts as running out, as going past it does.
    if (static_cast<unsigned long long>(position) + celt >= strings.size()) return S_FALSE;
    position += celt;
    return S_OK;
}

HRESULT IOPCEnumString::Reset() {
    SendEventMessage(evt::kEnumStringReset);
    CsGuard guard(lock_);
    position = 0;
    return S_OK;
}

HRESULT IOPCEnumString::Clone(IEnumString **ppenum) {
    SendEventMessage(evt::kEnumStringClone);
    if (!ppenum) return E_INVALIDARG;
    *ppenum = nullptr;
    IOPCEnumString *copy = new (std::nothrow) IOPCEnumString();
    if (!copy) return E_OUTOFMEMORY;
    try {
        copy->strings = strings;
    } catch (...) {
        delete copy;
        return E_OUTOFMEMORY;
    }
    {
        CsGuard guard(lock_);
        copy->position = position;
    }
    copy->AddRef();
    *ppenum = copy;
    return S_OK;
}

}  // namespace halvex
