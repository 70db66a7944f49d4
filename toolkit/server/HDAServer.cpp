#include "server/HDAServer.h"

#include <new>

#include "opccomn.h"
#include "opchda.h"
#include "reads/AsyncReadInterface.h"
#include "reads/SyncReadInterface.h"
#include "runtime/EventMessages.h"
#include "runtime/EventTexts.h"
#include "runtime/ToolkitState.h"
#include "server/CommonInterface.h"
#include "server/InterfaceName.h"
#include "server/OPCServerConnectionContainer.h"
#include "server/ServerInterface.h"

namespace halvex {

namespace {
volatile LONG g_lastConnectionId = 0;
}  // namespace

HDAServer::HDAServer()
    : id_(static_cast<DWORD>(InterlockedIncrement(&g_lastConnectionId))),
      wakeEvent_(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}

HDAServer::~HDAServer() {
    DestroyRequests();
    if (wakeEvent_) CloseHandle(wakeEvent_);
    delete serverInterface;
    delete commonInterface;
    // Releases the sinks still advised on its connection points.
    delete connectionPoints;
    delete syncReadInterface;
    delete asyncReadInterface;
}

template <class T>
T *HDAServer::GetOrCreate(T *&slot) {
    CsGuard guard(objectLock_);
    if (!slot) slot = new (std::nothrow) T(this);
    return slot;
}

HRESULT HDAServer::QueryInterface(REFIID riid, void **ppv) {
    if (!ppv) {
        SendEventMessage(evt::kServerQueryInterface, evt::kSfxInvalidArg);
        return E_INVALIDARG;
    }
    void *result = nullptr;
    if (IsEqualIID(riid, IID_IUnknown)) {
        SendEventMessage(evt::kServerQueryInterface, evt::kSfxUnknown);
        result = static_cast<IUnknown *>(this);
    } else if (IsEqualIID(riid, IID_IOPCHDA_Server)) {
        SendEventMessage(evt::kServerQueryInterface, evt::kSfxServer);
        result = static_cast<IOPCHDA_Server *>(GetOrCreate(serverInterface));
    } else if (IsEqualIID(riid, IID_IOPCHDA_SyncRead)) {
        SendEventMessage(evt::kServerQueryInterface, evt::kSfxSyncRead);
        result = static_cast<IOPCHDA_SyncRead *>(GetOrCreate(syncReadInterface));
    } else if (IsEqualIID(riid, IID_IOPCHDA_AsyncRead)) {
        SendEventMessage(evt::kServerQueryInterface, evt::kSfxAsyncRead);
        result = static_cast<IOPCHDA_AsyncRead *>(GetOrCreate(asyncReadInterface));
    } else if (IsEqualIID(riid, IID_IConnectionPointContainer)) {
        SendEventMessage(evt::kServerQueryInterface, evt::kSfxContainer);
        result = static_cast<IConnectionPointContainer *>(GetOrCreate(connectionPoints));
    } else if (IsEqualIID(riid, IID_IOPCCommon)) {
        SendEventMessage(evt::kServerQueryInterface, evt::kSfxCommon);
        result = static_cast<IOPCCommon *>(GetOrCreate(commonInterface));
    } else {
        SendEventMessage(evt::kServerQueryInterface, InterfaceName(riid));
    }
    *ppv = result;
    if (!result) return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

ULONG HDAServer::AddRef() {
    LONG count = InterlockedIncrement(&refCount);
    SendEventCount(evt::kServerAddRef, count);
    return static_cast<ULONG>(count);
}

ULONG HDAServer::Release() {
    LONG count = InterlockedDecrement(&refCount);
    // The text shows the count before the release.
    SendEventCount(evt::kServerRelease, count + 1);
    if (count == 0) Toolkit().ServerGone(this);
    return static_cast<ULONG>(count);
}

void HDAServer::SetClientName(const std::string &name) {
    CsGuard guard(objectLock_);
    clientName = name;
}

void HDAServer::Describe(HDAConnectionInfo &info) {
    info.id = id_;
    info.reads = static_cast<DWORD>(reads_);
    info.advises = static_cast<DWORD>(advises_);
    CsGuard guard(objectLock_);
    const size_t n = clientName.copy(info.clientName, sizeof info.clientName - 1);
    info.clientName[n] = '\0';
}

OPCServerConnectionContainer *HDAServer::Container() {
    CsGuard guard(objectLock_);
    return connectionPoints;
}

void HDAServer::RequestShutdown() {
    // The container lives as long as this object, which the caller keeps.
    if (OPCServerConnectionContainer *container = Container()) container->NotifyShutdown();
}

}  // namespace halvex
