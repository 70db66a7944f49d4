// Why: in Wine 8, when the last stub of an interface ID in a process goes
// (a client's final release of that interface), COM unregisters the interface
// from its RPC runtime and waits for the interface's calls to finish while
// holding a process-wide lock. A lost wake-up in that wait can leave it
// waiting for ever, and from then on every marshal in the process blocks:
// activations, CreateInstance, CreateBrowse, QueryInterface. A stub that
// never goes keeps the registration count above zero, so that path is never
// taken. The anchor object is invisible to clients: its marshaled form is
// never unmarshaled, so no call can reach it, no connection is counted and no
// event text is sent. Elsewhere it costs one idle stub per interface ID.
#include "server/InterfaceAnchors.h"

#include <windows.h>
#include <objbase.h>

#include "opccomn.h"
#include "opchda.h"

namespace halvex {
namespace {

// Every interface ID whose stubs come and go with client sessions.
const IID *const kAnchoredInterfaces[] = {
    &IID_IClassFactory,    &IID_IOPCHDA_Server,   &IID_IOPCCommon, &IID_IOPCHDA_SyncRead,
    &IID_IOPCHDA_AsyncRead, &IID_IOPCHDA_Browser, &IID_IEnumString,
    &IID_IConnectionPointContainer, &IID_IConnectionPoint, &IID_IEnumConnectionPoints,
};

// A static object that answers QueryInterface for the anchored interface IDs
// with its IUnknown. The stubs made for it hold that pointer but are never
// called, since no client holds a reference to them.
class AnchorObject : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsAnchored(riid)) return E_NOINTERFACE;
        *ppv = static_cast<IUnknown *>(this);
        return S_OK;
    }
    // Static storage: the counts are nominal.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

private:
    static bool IsAnchored(REFIID riid) {
        for (const IID *iid : kAnchoredInterfaces) {
            if (IsEqualIID(riid, *iid)) return true;
        }
        return false;
    }
};

AnchorObject g_anchor;

}  // namespace

void AnchorInterfaces() {
    for (const IID *iid : kAnchoredInterfaces) {
        IStream *stream = nullptr;
        if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream))) continue;
        // Table-strong marshal data lives until CoReleaseMarshalData, which
        // is never called; the stream itself is not needed.
        CoMarshalInterface(stream, *iid, &g_anchor, MSHCTX_LOCAL, nullptr,
                           MSHLFLAGS_TABLESTRONG);
        stream->Release();
    }
}

}  // namespace halvex
