#include "server/ServiceThreads.h"

#include <algorithm>
#include <vector>

#include "runtime/CriticalSection.h"
#include "runtime/ThreadLaunch.h"
#include "runtime/ToolkitState.h"
#include "server/HDAServer.h"

namespace halvex {

namespace {

// A thread whose object is gone parks here and serves the next object created
// instead of ending. Under Wine, a thread that ends while the process exits
// can crash the process on its way out (a fault in Wine's own signal
// handler), and applications commonly exit just after their last client lets
// go. A parked thread is blocked in a wait, where the exit ends it safely; it
// ends by itself only when the library unloads.
struct ParkedThread {
    HANDLE go;          // auto-reset: set when `next` has been handed over
    HDAServer *next;
};

CriticalSection g_parkLock;
std::vector<ParkedThread *> g_parked;  // guarded by g_parkLock

// Runs server's requests until its release, then frees it. False when the
// library unloads first (the object is left to the unload).
bool Serve(HDAServer *server) {
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
            if (woke == WAIT_OBJECT_0 + 1 || woke == WAIT_FAILED) return false;
        }
        // The event is closed only when the library unloads: stop serving.
        if (WaitForSingleObject(tick, INFINITE) == WAIT_FAILED) return false;
    }
    // Released: wait for anyone who still works on the object to let go.
    while (server->IsPinned()) WaitForSingleObject(tick, Toolkit().tickRateMs);
    delete server;
    return true;
}

// Waits for the next object; null when the library unloads (or the thread
// cannot park).
HDAServer *Park(ParkedThread &self) {
    HANDLE waits[] = {self.go, Toolkit().stopEvent};
    if (!waits[0] || !waits[1]) return nullptr;
    {
        CsGuard guard(g_parkLock);
        self.next = nullptr;
        try {
            g_parked.push_back(&self);
        } catch (...) {
            return nullptr;
        }
    }
    if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0) return self.next;
    CsGuard guard(g_parkLock);
    auto it = std::find(g_parked.begin(), g_parked.end(), &self);
    if (it != g_parked.end()) {
        g_parked.erase(it);
        return nullptr;
    }
    // An object was handed over as the unload began: it is served until the
    // unload stops that too.
    return self.next;
}

DWORD WINAPI ServiceThread(void *arg) {
    ThreadLaunch *launch = static_cast<ThreadLaunch *>(arg);
    HDAServer *server = static_cast<HDAServer *>(launch->arg);
    // Calls the client's sinks: a member of the process's multithreaded
    // apartment, set up before the launch completes.
    const bool com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    launch->Ready();
    ParkedThread self = {CreateEventA(nullptr, FALSE, FALSE, nullptr), nullptr};
    while (server && Serve(server)) server = Park(self);
    if (self.go) CloseHandle(self.go);
    if (com) CoUninitialize();
    return 0;
}

}  // namespace

bool StartServiceThread(HDAServer *server) {
    {
        CsGuard guard(g_parkLock);
        if (!g_parked.empty()) {
            // The most recently parked thread: the likeliest to be warm.
            ParkedThread *thread = g_parked.back();
            g_parked.pop_back();
            thread->next = server;
            SetEvent(thread->go);
            return true;
        }
    }
    return LaunchThread(nullptr, ServiceThread, server);
}

}  // namespace halvex
