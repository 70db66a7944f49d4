#include "server/OPCServerConnectionContainer.h"

#include <new>

#include "opccomn.h"
#include "opchda.h"
#include "runtime/EventMessages.h"
#include "runtime/EventTexts.h"
#include "server/CHDACallbackConnectionPoint.h"
#include "server/HDAServer.h"
#include "server/IOPCServerConnectionPtEnumerator.h"
#include "server/InterfaceName.h"
#include "server/OPCServerConnectionPoint.h"

namespace halvex {

OPCServerConnectionContainer::OPCServerConnectionContainer(HDAServer *owner)
    : server(owner),
      shutdownPoint(new (std::nothrow) OPCServerConnectionPoint(this)),
      callbackPoint(new (std::nothrow) CHDACallbackConnectionPoint(this)) {}

OPCServerConnectionContainer::~OPCServerConnectionContainer() {
    delete shutdownPoint;
    delete callbackPoint;
}

HRESULT OPCServerConnectionContainer::QueryInterface(REFIID riid, void **ppv) {
    if (!ppv) {
        SendEventMessage(evt::kContainerQueryInterface, evt::kSfxInvalidArg);
        return E_INVALIDARG;
    }
    if (IsEqualIID(riid, IID_IUnknown)) {
        SendEventMessage(evt::kContainerQueryInterface, evt::kSfxUnknown);
    } else if (IsEqualIID(riid, IID_IConnectionPointContainer)) {
        SendEventMessage(evt::kContainerQueryInterface, evt::kSfxContainer);
    } else {
        SendEventMessage(evt::kContainerQueryInterface, InterfaceName(riid));
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    *ppv = static_cast<IConnectionPointContainer *>(this);
    AddRef();
    return S_OK;
}

ULONG OPCServerConnectionContainer::AddRef() {
    SendEventMessage(evt::kContainerAddRef);
    return server->AddRef();
}

ULONG OPCServerConnectionContainer::Release() {
    SendEventMessage(evt::kContainerRelease);
    return server->Release();
}

HRESULT OPCServerConnectionContainer::EnumConnectionPoints(IEnumConnectionPoints **ppEnum) {
    if (!ppEnum) {
        SendEventMessage(evt::kContainerEnumPoints, evt::kSfxInvalidArg);
        return E_INVALIDARG;
    }
    IOPCServerConnectionPtEnumerator *points =
        new (std::nothrow) IOPCServerConnectionPtEnumerator(this);
    if (!points) {
        SendEventMessage(evt::kContainerEnumPoints, evt::kSfxOutOfMemory);
        *ppEnum = nullptr;
        return E_OUTOFMEMORY;
    }
    SendEventMessage(evt::kContainerEnumPoints, evt::kSfxOk);
    points->AddRef();
    *ppEnum = points;
    return S_OK;
}

HRESULT OPCServerConnectionContainer::FindConnectionPoint(REFIID riid, IConnectionPoint **ppCP) {
    if (!ppCP) {
        SendEventMessage(evt::kContainerFindPoint, evt::kSfxInvalidArg);
        return E_INVALIDARG;
    }
    // A refused call leaves no stale output.
    *ppCP = nullptr;
    IConnectionPoint *point = nullptr;
    if (IsEqualIID(riid, IID_IOPCShutdown)) {
        SendEventMessage(evt::kContainerFindPoint, evt::kSfxShutdown);
        point = shutdownPoint;
    } else if (IsEqualIID(riid, IID_IOPCHDA_DataCallback)) {
        SendEventMessage(evt::kContainerFindPoint, evt::kSfxDataCallback);
        point = callbackPoint;
    } else {
        SendEventMessage(evt::kContainerFindPoint, evt::kSfxNoInterface);
        return E_NOINTERFACE;
    }
    if (!point) return E_NOINTERFACE;
    point->AddRef();
    *ppCP = point;
    return S_OK;
}

void OPCServerConnectionContainer::NotifyShutdown() {
    if (shutdownPoint) shutdownPoint->NotifyShutdown();
}

}  // namespace halvex
