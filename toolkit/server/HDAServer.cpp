#include "server/HDAServer.h"

#include <new>

#include "opccomn.h"
#include "opchda.h"
#include "reads/AsyncReadInterface.h"
#include "reads/SyncReadInterface.h"
#include "runtime/EventMessages.h"
#include "runtime/EventTexts.h"
#include "runtime/ThreadLaunch.h"
#include "runtime/ToolkitState.h"
#include "server/CommonInterface.h"
#include "server/InterfaceName.h"
#include "server/OPCServerConnectionContainer.h"
#include "server/ServerInterface.h"

namespace halvex {

HDAServer::HDAServer() : wakeEvent_(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}

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

OPCServerConnectionContainer *HDAServer::Container() {
    CsGuard guard(objectLock_);
    return connectionPoints;
}

void HDAServer::RequestShutdown() {
    // The container lives as long as this object, which the caller keeps.
    if (OPCServerConnectionContainer *container = Container()) container->NotifyShutdown();
}

namespace {

DWORD WINAPI ServiceThread(void *arg) {
    ThreadLaunch *launch = static_cast<ThreadLaunch *>(arg);
    HDAServer *server = static_cast<HDAServer *>(launch->arg);
    // Calls the client's sinks: a member of the process's multithreaded
    // apartment, set up before the launch completes.
    const bool com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    launch->Ready();
    HANDLE tick = Toolkit().tickEvent;
    HANDLE idle[] = {server->WakeEvent(), Toolkit().stopEvent};
    while (server->IsAlive()) {
        server->ProcessAsyncRequests();
        // While nothing is due, sleep until a request is queued, an advise
        // window ends, the object is released or the library unloads, instead
        // of waking at every tick for an empty pass. Then join the tick as
        // always: a request is still served at the first tick after it was
        // queued or came due, a Cancel before that tick still wins, and a
        // released object is still freed at the tick after its release.
        const DWORD idleMs = idle[0] && idle[1] ? server->MsUntilDue() : 0;
        if (idleMs != 0) {
            const DWORD woke = WaitForMultipleObjects(2, idle, FALSE, idleMs);
            if (woke == WAIT_OBJECT_0 + 1 || woke == WAIT_FAILED) return 0;
        }
        // The event is closed only when the library unloads: stop serving.
        if (WaitForSingleObject(tick, INFINITE) == WAIT_FAILED) return 0;
    }
    // Released: wait for anyone who still works on the object to let go.
    while (server->IsPinned()) WaitForSingleObject(tick, Toolkit().tickRateMs);
    delete server;
    if (com) CoUninitialize();
    return 0;
}

}  // namespace

bool StartServiceThread(HDAServer *server) {
    return LaunchThread(nullptr, ServiceThread, server);
}

}  // namespace halvex
