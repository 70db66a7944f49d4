// The one per-process state record of the library, reached through Toolkit().
#ifndef HALVEX_TOOLKIT_STATE_H
#define HALVEX_TOOLKIT_STATE_H

#include <windows.h>
#include <objbase.h>

#include <string>
#include <vector>

#include "runtime/CriticalSection.h"
#include "Halvex.h"
#include "addrspace/HDADefinition.h"
#include "addrspace/ItemNode.h"

namespace halvex {

class HDAServer;
class ClassFactory;

class ToolkitState {
public:
    ToolkitState();
    ~ToolkitState();
    ToolkitState(const ToolkitState &) = delete;
    ToolkitState &operator=(const ToolkitState &) = delete;

    // Library load and unload.
    void OnLoad();
    // callOut: ask clients to disconnect and revoke the class object (not
    // done while the process terminates).
    void OnUnload(bool callOut);

    void Lock() { lock.Enter(); }
    void Unlock() { lock.Leave(); }

    // Creates a server object for a client (behind the class object).
    HRESULT CreateServer(REFIID riid, void **ppv);
    // Called when a server object's count reaches zero; FALSE when it was
    // not listed.
    BOOL ServerGone(HDAServer *server);
    // Asks every listed client to disconnect; returns how many were listed.
    int RequestHDADisconnect();
    int NumbrClientConnections();
    // Fills up to maxCount records, oldest connection first; returns the
    // number of connections.
    int DescribeConnections(HDAConnectionInfo *infos, int maxCount);
    // One pass of every listed server's asynchronous requests (fallback
    // timer mode).
    void ProcessAllServers();

    // Memory handed to clients comes from the task allocator.
    void *AllocClientMemory(size_t size);
    // text in the ANSI code page, as a wide string.
    WCHAR *AnsiToWide(const char *text, BOOL forClient);
    WCHAR *CopyWideString(const WCHAR *text, BOOL forClient);
    void FreeStringMemory(void *p, BOOL forClient);

    // The vendor text: set by the application at any time, read by clients.
    void SetVendorInfo(const char *vendor);
    std::string VendorInfo();

    // Address-space lookups.
    ItemNode *FindItem(const char *itemId);
    HDADefinition *FindAttribute(DWORD attributeId);

    // Fields, in the record's order.
    CVxHDACallback *volatile callback = nullptr;
    LONG lockCount = 0;
    UINT tickRateMs = 0;
    std::string vendorInfo;  // guarded by vendorLock
    ItemNode items;
    std::vector<HDADefinition *> attributes;
    std::vector<HDADefinition *> aggregates;
    CriticalSection lock;
    FILETIME startTime = {};
    BOOL comInitialized = FALSE;
    IMalloc *taskMalloc = nullptr;
    std::vector<HDAServer *> servers;  // guarded by lock

    // Process-wide values beside the record.
    DisconnectProc volatile disconnectProc = nullptr;
    volatile LONG disconnectEnabled = 0;
    UINT_PTR fallbackTimer = 0;
    ClassFactory *classFactory = nullptr;
    DWORD registrationCookie = 0;
    BOOL initialised = FALSE;
    HANDLE tickEvent = nullptr;
    // Manual-reset, set when the library unloads: ends idle service threads.
    HANDLE stopEvent = nullptr;
    CriticalSection vendorLock;

private:
    // Copies `servers` under the lock, pinning each object so that it stays
    // allocated while the caller works on it without the lock.
    std::vector<HDAServer *> PinServers();
    static void UnpinServers(const std::vector<HDAServer *> &pinned);
};

ToolkitState &Toolkit();

}  // namespace halvex

#endif
