// Base of the interface objects of a connection: they keep no count of their
// own and forward IUnknown to their HDAServer after sending their own text.
#ifndef HALVEX_FORWARDING_INTERFACE_H
#define HALVEX_FORWARDING_INTERFACE_H

#include "runtime/EventMessages.h"
#include "runtime/EventTexts.h"
#include "server/HDAServer.h"

namespace halvex {

template <class Iface, const evt::ForwardTexts &Texts>
class ForwardingInterface : public Iface {
public:
    explicit ForwardingInterface(HDAServer *owner) : server(owner) {}
    virtual ~ForwardingInterface() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override {
        SendEventMessage(Texts.queryInterface);
        return server->QueryInterface(riid, ppv);
    }
    ULONG STDMETHODCALLTYPE AddRef() override {
        SendEventMessage(Texts.addRef);
        return server->AddRef();
    }
    ULONG STDMETHODCALLTYPE Release() override {
        SendEventMessage(Texts.release);
        return server->Release();
    }

protected:
    HDAServer *server;  // uncounted: the server owns this object
};

}  // namespace halvex

#endif
