#include "runtime/ToolkitState.h"

#include <cstring>
#include <new>

#include "server/ClassFactory.h"
#include "server/HDAServer.h"
#include "server/ServiceThreads.h"

namespace halvex {

namespace {
ToolkitState g_state;
}

ToolkitState &Toolkit() { return g_state; }

ToolkitState::ToolkitState() = default;

ToolkitState::~ToolkitState() = default;

void ToolkitState::OnLoad() {
    vendorInfo = "Korvane Software Design OPC HDA Server";
    tickEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    stopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
}

void ToolkitState::OnUnload(bool callOut) {
    if (fallbackTimer) {
        KillTimer(nullptr, fallbackTimer);
        fallbackTimer = 0;
    }
    if (callOut) {
        RequestHDADisconnect();
        CsGuard guard(lock);
        servers.clear();
    } else {
        // Alone in the process: a thread that held the lock is gone.
        servers.clear();
    }
    if (stopEvent) {
        SetEvent(stopEvent);
        CloseHandle(stopEvent);
        stopEvent = nullptr;
    }
    if (tickEvent) {
        PulseEvent(tickEvent);
        CloseHandle(tickEvent);
        tickEvent = nullptr;
    }
    items.DeleteChildren();
    for (HDADefinition *d : attributes) delete d;
    attributes.clear();
    for (HDADefinition *d : aggregates) delete d;
    aggregates.clear();
    if (classFactory) {
        if (callOut) CoRevokeClassObject(registrationCookie);
        delete classFactory;
        classFactory = nullptr;
    }
}

HRESULT ToolkitState::CreateServer(REFIID riid, void **ppv) {
    HDAServer *server = new (std::nothrow) HDAServer();
    if (!server) {
        if (ppv) *ppv = nullptr;
        return E_OUTOFMEMORY;
    }
    HRESULT hr = server->QueryInterface(riid, ppv);
    if (FAILED(hr)) {
        delete server;
        return hr;
    }
    {
        CsGuard guard(lock);
        try {
            servers.push_back(server);
        } catch (...) {
            // Not listed: the client still holds it; its release finds it
            // missing and the service thread frees it all the same.
        }
    }
    StartServiceThread(server);
    return hr;
}

BOOL ToolkitState::ServerGone(HDAServer *server) {
    int remaining = 0;
    {
        CsGuard guard(lock);
        auto it = servers.begin();
        while (it != servers.end() && *it != server) ++it;
        if (it == servers.end()) {
            // Not listed (never appended, or the library unloaded): the
            // object still has to stop its service thread.
            server->MarkGone();
            return FALSE;
        }
        servers.erase(it);
        server->MarkGone();
        remaining = static_cast<int>(servers.size());
    }
    DisconnectProc proc = disconnectProc;
    if (disconnectEnabled && proc) proc(remaining);
    return TRUE;
}

std::vector<HDAServer *> ToolkitState::PinServers() {
    CsGuard guard(lock);
    std::vector<HDAServer *> pinned;
    try {
        pinned = servers;
    } catch (...) {
        return {};
    }
    for (HDAServer *server : pinned) server->Pin();
    return pinned;
}

void ToolkitState::UnpinServers(const std::vector<HDAServer *> &pinned) {
    for (HDAServer *server : pinned) server->Unpin();
}

int ToolkitState::RequestHDADisconnect() {
    // Clients may answer ShutdownRequest by releasing their connection on
    // another thread, which needs the lock: call them without it.
    std::vector<HDAServer *> pinned = PinServers();
    for (HDAServer *server : pinned) server->RequestShutdown();
    UnpinServers(pinned);
    return static_cast<int>(pinned.size());
}

int ToolkitState::NumbrClientConnections() {
    CsGuard guard(lock);
    return static_cast<int>(servers.size());
}

int ToolkitState::DescribeConnections(HDAConnectionInfo *infos, int maxCount) {
    CsGuard guard(lock);
    const int count = static_cast<int>(servers.size());
    for (int i = 0; i < count && i < maxCount; ++i) servers[i]->Describe(infos[i]);
    return count;
}

void ToolkitState::ProcessAllServers() {
    // Sinks called from here may release their connection: no lock is held
    // while the servers work.
    std::vector<HDAServer *> pinned = PinServers();
    for (HDAServer *server : pinned) server->ProcessAsyncRequests();
    UnpinServers(pinned);
}

void *ToolkitState::AllocClientMemory(size_t size) {
    if (!taskMalloc) return nullptr;
    void *p = taskMalloc->Alloc(size);
    if (p) memset(p, 0, size);
    return p;
}

namespace {

void *AllocString(IMalloc *malloc, size_t bytes, BOOL forClient) {
    if (forClient) return malloc ? malloc->Alloc(bytes) : nullptr;
    return ::operator new(bytes, std::nothrow);
}

}  // namespace

WCHAR *ToolkitState::AnsiToWide(const char *text, BOOL forClient) {
    if (!text) text = "";
    size_t length = strlen(text);
    WCHAR *wide = static_cast<WCHAR *>(AllocString(taskMalloc, 2 * length + 2, forClient));
    if (!wide) return nullptr;
    // ASCII widens byte by byte. Anything else goes through the ANSI code
    // page, the one that names from clients come in through, so that every
    // name a client is given finds its node when the client sends it back.
    // A code page yields at most one wide character per byte.
    size_t i = 0;
    for (; i <= length && static_cast<unsigned char>(text[i]) < 0x80; ++i) wide[i] = text[i];
    if (i <= length &&
        MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(length + 1), wide,
                            static_cast<int>(length + 1)) == 0) {
        for (i = 0; i <= length; ++i) wide[i] = static_cast<unsigned char>(text[i]);
    }
    return wide;
}

WCHAR *ToolkitState::CopyWideString(const WCHAR *text, BOOL forClient) {
    if (!text) text = L"";
    size_t length = wcslen(text);
    WCHAR *wide = static_cast<WCHAR *>(AllocString(taskMalloc, 2 * length + 2, forClient));
    if (!wide) return nullptr;
    memcpy(wide, text, 2 * length + 2);
    return wide;
}

void ToolkitState::FreeStringMemory(void *p, BOOL forClient) {
    if (!p) return;
    if (forClient) {
        if (taskMalloc) taskMalloc->Free(p);
    } else {
        ::operator delete(p);
    }
}

void ToolkitState::SetVendorInfo(const char *vendor) {
    std::string text = vendor ? vendor : "";
    CsGuard guard(vendorLock);
    vendorInfo.swap(text);
}

std::string ToolkitState::VendorInfo() {
    CsGuard guard(vendorLock);
    return vendorInfo;
}

ItemNode *ToolkitState::FindItem(const char *itemId) {
    return FindItemBelow(items, itemId ? itemId : "");
}

HDADefinition *ToolkitState::FindAttribute(DWORD attributeId) {
    for (HDADefinition *d : attributes) {
        if (d->id == attributeId) return d;
    }
    return nullptr;
}

}  // namespace halvex
