#include "server/ServerAccounting.h"

#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <cstring>
#include <unordered_set>

#include "Halvex.h"
#include "support/MallocSpyBase.h"
#include "support/ServerAccounts.h"

namespace testserver {
namespace {

using testsupport::ServerAccounts;

ServerAccounts *g_block = nullptr;
HANDLE g_published = nullptr;
thread_local bool t_serving = false;

// Counts the task allocations made while it is registered and not yet
// freed, and among them the server's own (made while t_serving is set).
// COM tells each free and reallocation whether the spy saw the block
// allocated; a reallocation frees the old block and allocates the new one.
class AllocationCounter : public testsupport::MallocSpyBase {
public:
    void *STDMETHODCALLTYPE PostAlloc(void *p) override {
        if (!p) return p;
        InterlockedIncrement(&g_block->allocations);
        if (t_serving) {
            AcquireSRWLockExclusive(&lock_);
            if (served_.insert(p).second) ++g_block->serverAllocations;
            ReleaseSRWLockExclusive(&lock_);
        }
        return p;
    }
    void *STDMETHODCALLTYPE PreFree(void *p, BOOL spied) override {
        if (!p || !spied) return p;
        InterlockedDecrement(&g_block->allocations);
        AcquireSRWLockExclusive(&lock_);
        if (served_.erase(p)) --g_block->serverAllocations;
        ReleaseSRWLockExclusive(&lock_);
        return p;
    }
    SIZE_T STDMETHODCALLTYPE PreRealloc(void *p, SIZE_T cb, void **actual, BOOL spied) override {
        *actual = PreFree(p, spied);
        return cb;
    }
    void *STDMETHODCALLTYPE PostRealloc(void *p, BOOL) override { return PostAlloc(p); }

private:
    SRWLOCK lock_ = SRWLOCK_INIT;
    std::unordered_set<void *> served_;
};

AllocationCounter g_counter;

// The allocator the toolkit gets from CoGetMalloc: COM's own, with the
// toolkit's allocations marked as the server's.
class ServerMalloc : public IMalloc {
public:
    IMalloc *real = nullptr;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IMalloc) ? this : nullptr;
        return *ppv ? S_OK : E_NOINTERFACE;
    }
    // A static object: the counts are nominal.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    void *STDMETHODCALLTYPE Alloc(SIZE_T cb) override {
        ServerAllocation mark;
        return real->Alloc(cb);
    }
    void *STDMETHODCALLTYPE Realloc(void *p, SIZE_T cb) override {
        ServerAllocation mark;
        return real->Realloc(p, cb);
    }
    void STDMETHODCALLTYPE Free(void *p) override { real->Free(p); }
    SIZE_T STDMETHODCALLTYPE GetSize(void *p) override { return real->GetSize(p); }
    int STDMETHODCALLTYPE DidAlloc(void *p) override { return real->DidAlloc(p); }
    void STDMETHODCALLTYPE HeapMinimize() override { real->HeapMinimize(); }
};

ServerMalloc g_serverMalloc;

HRESULT WINAPI GetServerMalloc(DWORD context, IMalloc **malloc) {
    if (!malloc) return E_INVALIDARG;
    *malloc = nullptr;
    const HRESULT hr = CoGetMalloc(context, &g_serverMalloc.real);
    if (SUCCEEDED(hr)) *malloc = &g_serverMalloc;
    return hr;
}

// Points `module`'s import of `function` at `replacement`.
bool RedirectImport(HMODULE module, const char *function, void *replacement) {
    BYTE *base = reinterpret_cast<BYTE *>(module);
    if (!base) return false;
    const auto *nt = reinterpret_cast<const IMAGE_NT_HEADERS *>(
        base + reinterpret_cast<const IMAGE_DOS_HEADER *>(base)->e_lfanew);
    const DWORD imports =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    for (auto *dll = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR *>(base + imports);
         imports && dll->Name; ++dll) {
        auto *names = reinterpret_cast<const IMAGE_THUNK_DATA *>(base + dll->OriginalFirstThunk);
        auto *slots = reinterpret_cast<IMAGE_THUNK_DATA *>(base + dll->FirstThunk);
        for (; dll->OriginalFirstThunk && names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            const auto *name = reinterpret_cast<const IMAGE_IMPORT_BY_NAME *>(
                base + names->u1.AddressOfData);
            if (strcmp(reinterpret_cast<const char *>(name->Name), function) != 0) continue;
            DWORD old = 0;
            if (!VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE,
                                &old))
                return false;
            slots->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, old, &old);
            return true;
        }
    }
    return false;
}

// The toolkit's event texts, on whichever thread made the call.
void __stdcall CountServerObjects(const char *text) {
    int count = 0;
    LONG *first = nullptr;
    if (sscanf(text, "HDAServer::AddRef(%d)", &count) == 1) {
        first = &g_block->created;
    } else if (sscanf(text, "HDAServer::Release(%d)", &count) == 1) {
        first = &g_block->released;
    } else {
        return;
    }
    if (count == 1) InterlockedIncrement(first);
    if (count < 1) InterlockedIncrement(&g_block->badCounts);
}

}  // namespace

ServerAllocation::ServerAllocation() : outer_(t_serving) { t_serving = true; }
ServerAllocation::~ServerAllocation() { t_serving = outer_; }

bool StartAccounting() {
    HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                        sizeof(ServerAccounts), testsupport::kAccountsMapping);
    if (!mapping) return false;
    g_block = static_cast<ServerAccounts *>(
        MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(ServerAccounts)));
    g_published = CreateEventA(nullptr, TRUE, FALSE, testsupport::kAccountsPublished);
    if (!g_block || !g_published) return false;
    // A reader may still hold the block of an earlier server: start afresh.
    *g_block = ServerAccounts{};
    g_block->processId = static_cast<LONG>(GetCurrentProcessId());
    // Freed strings stay allocated in oleaut32's cache unless this is set.
    g_block->bstrCacheOff = GetEnvironmentVariableA("OANOCACHE", nullptr, 0) > 0;
    if (!RedirectImport(GetModuleHandleA("Halvex.dll"), "CoGetMalloc",
                        reinterpret_cast<void *>(GetServerMalloc)) ||
        FAILED(CoRegisterMallocSpy(&g_counter)))
        return false;
    EnableHDAEventMsgs(CountServerObjects);
    return true;
}

void PublishAccounts() {
    if (!g_block) return;
    InterlockedExchange(&g_block->connections, NumbrClientConnections());
    SetEvent(g_published);
}

}  // namespace testserver
