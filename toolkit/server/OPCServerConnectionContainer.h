// IConnectionPointContainer of a connection: owns the shutdown and the
// data-callback connection points and lives as long as its HDAServer.
#ifndef HALVEX_OPC_SERVER_CONNECTION_CONTAINER_H
#define HALVEX_OPC_SERVER_CONNECTION_CONTAINER_H

#include <windows.h>
#include <ocidl.h>

namespace halvex {

class HDAServer;
class OPCServerConnectionPoint;
class CHDACallbackConnectionPoint;

class OPCServerConnectionContainer : public IConnectionPointContainer {
public:
    // Creates both points; a point that cannot be had for want of memory
    // stays null and is then not found.
    explicit OPCServerConnectionContainer(HDAServer *owner);
    // Destroys both points, which release any sink still advised.
    virtual ~OPCServerConnectionContainer();
    OPCServerConnectionContainer(const OPCServerConnectionContainer &) = delete;
    OPCServerConnectionContainer &operator=(const OPCServerConnectionContainer &) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints **ppEnum) override;
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint **ppCP) override;

    // Asks an advised IOPCShutdown sink to disconnect.
    void NotifyShutdown();

    HDAServer *const server;  // uncounted: the server owns the container
    OPCServerConnectionPoint *const shutdownPoint;
    CHDACallbackConnectionPoint *const callbackPoint;
};

}  // namespace halvex

#endif
