// The enumerator of a connection's two connection points: position 0 is the
// shutdown point, position 1 the data-callback point. It keeps its container
// (and so the HDAServer) referenced while it lives.
#ifndef HALVEX_IOPC_SERVER_CONNECTION_PT_ENUMERATOR_H
#define HALVEX_IOPC_SERVER_CONNECTION_PT_ENUMERATOR_H

#include <windows.h>
#include <ocidl.h>

#include "runtime/CriticalSection.h"

namespace halvex {

class OPCServerConnectionContainer;

class IOPCServerConnectionPtEnumerator : public IEnumConnectionPoints {
public:
    // Starts with a count of 0 at position 0: the creator takes the first
    // reference before handing it out.
    explicit IOPCServerConnectionPtEnumerator(OPCServerConnectionContainer *owner)
        : container(owner) {}
    virtual ~IOPCServerConnectionPtEnumerator() = default;
    IOPCServerConnectionPtEnumerator(const IOPCServerConnectionPtEnumerator &) = delete;
    IOPCServerConnectionPtEnumerator &operator=(const IOPCServerConnectionPtEnumerator &) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override;
    // Every AddRef also references the container and returns the HDAServer's
    // new count; the last Release gives all those references back.
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // At most one point per call. A count of 0 delivers nothing: S_OK, no
    // lookup, the position unchanged.
    HRESULT STDMETHODCALLTYPE Next(ULONG cConnections, IConnectionPoint **ppCP,
                                   ULONG *pcFetched) override;
    HRESULT STDMETHODCALLTYPE Skip(ULONG cConnections) override;
    HRESULT STDMETHODCALLTYPE Reset() override;
    // The clone starts at position 0.
    HRESULT STDMETHODCALLTYPE Clone(IEnumConnectionPoints **ppEnum) override;

    OPCServerConnectionContainer *const container;
    volatile LONG refCount = 0;
    LONG position = 0;  // guarded by lock_; never above kEnd

private:
    // Any position from here on is past the last point.
    static constexpr LONG kEnd = 2;

    volatile LONG containerRefs_ = 0;  // container references taken by AddRef
    CriticalSection lock_;
};

}  // namespace halvex

#endif
