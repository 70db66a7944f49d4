// One client connection: the COM identity behind every interface the client
// obtains, with one reference count for all of them.
#ifndef HALVEX_HDA_SERVER_H
#define HALVEX_HDA_SERVER_H

#include <windows.h>
#include <ocidl.h>

#include <list>
#include <string>

#include "Halvex.h"
#include "reads/CancelIds.h"
#include "runtime/CriticalSection.h"
#include "server/ItemHandleTable.h"

namespace halvex {

class IHDAServer;
class CommonInterface;
class SyncReadInterface;
class AsyncReadInterface;
class OPCServerConnectionContainer;
struct AsyncRequest;

class HDAServer : public IUnknown {
public:
    HDAServer();
    // Runs on the service thread once the object is released and unpinned.
    virtual ~HDAServer();
    HDAServer(const HDAServer &) = delete;
    HDAServer &operator=(const HDAServer &) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // Asks an advised IOPCShutdown sink to disconnect (ShutdownRequest with an
    // empty reason, result ignored). Callers hold no toolkit lock: the client
    // may release its connection from inside the call.
    void RequestShutdown();
    // The container when a client has asked for it, else null.
    OPCServerConnectionContainer *Container();

    // The queue of asynchronous requests, guarded by `lock`.
    // Appends a request, which the queue then owns, and returns the cancel ID
    // it was given.
    DWORD QueueRequest(AsyncRequest *request);
    // Destroys the live request with this cancel ID, undelivered; false when
    // there is none.
    bool CancelRequest(DWORD cancelId);
    // One pass: each request queued before the pass began gets its turn.
    void ProcessAsyncRequests();
    // How long, in ms, until the queue has work for a pass: 0 when a read
    // is waiting or a window has ended, INFINITE when the queue is empty.
    DWORD MsUntilDue();
    // Set when a request is queued and when the object is released: the
    // service thread sleeps on it while nothing is due.
    HANDLE WakeEvent() const { return wakeEvent_; }

    void Lock() { lock.Enter(); }
    void Unlock() { lock.Leave(); }

    // Liveness: alive until the client's last Release; pinned while the
    // toolkit works on the object outside the state lock. The service thread
    // frees it only when it is neither.
    bool IsAlive() const { return alive != 0; }
    void MarkGone() {
        InterlockedExchange(&alive, 0);
        Wake();
    }
    void Pin() { InterlockedIncrement(&pins_); }
    void Unpin() { InterlockedDecrement(&pins_); }
    bool IsPinned() const { return pins_ != 0; }

    // The item-handle table.
    bool AddItemHandle(DWORD serverHandle, DWORD clientHandle) {
        return itemHandles.Add(serverHandle, clientHandle);
    }
    bool RemoveItemHandle(DWORD serverHandle) { return itemHandles.Remove(serverHandle); }
    // 0xFFFFFFFF when the connection holds no such server handle.
    DWORD LookupClientHandle(DWORD serverHandle) const {
        DWORD client = 0xFFFFFFFF;
        itemHandles.Lookup(serverHandle, &client);
        return client;
    }

    void SetClientName(const std::string &name);

    // What a live view shows of the connection (GetHDAConnections).
    void CountRead() { InterlockedIncrement(&reads_); }
    void CountAdvise() { InterlockedIncrement(&advises_); }
    void Describe(HDAConnectionInfo &info);

    std::string clientName;  // guarded by objectLock_
    ItemHandleTable itemHandles;
    volatile LONG alive = 1;
    CriticalSection lock;  // guards the request queue
    volatile LONG refCount = 0;
    IHDAServer *serverInterface = nullptr;
    CommonInterface *commonInterface = nullptr;
    OPCServerConnectionContainer *connectionPoints = nullptr;
    SyncReadInterface *syncReadInterface = nullptr;
    AsyncReadInterface *asyncReadInterface = nullptr;

private:
    // Returns the interface object in slot, creating it on first use. Two
    // threads asking at once get the same object.
    template <class T>
    T *GetOrCreate(T *&slot);

    // Guards first-time creation of interface objects and the client name.
    CriticalSection objectLock_;
    volatile LONG pins_ = 0;
    const DWORD id_;
    volatile LONG reads_ = 0;
    volatile LONG advises_ = 0;

    // One request's turn in a pass: entered and left with `lock` held, which
    // it lets go of while the client's sink is called.
    void ProcessRequest(AsyncRequest &request);
    // Destroys every queued request without delivery.
    void DestroyRequests();
    void Wake() {
        if (wakeEvent_) SetEvent(wakeEvent_);
    }

    std::list<AsyncRequest *> requests_;
    CancelIds cancelIds_;
    ULONGLONG queued_ = 0;     // requests queued so far: the next sequence
    bool passRunning_ = false;  // a pass is walking the queue
    // Auto-reset; null if it could not be made (the thread then runs a pass
    // at every tick).
    HANDLE wakeEvent_;
};

}  // namespace halvex

#endif
