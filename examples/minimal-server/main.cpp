// A complete OPC HDA server with two items. "/RegServer" and "/UnregServer" write
// and remove its registry entries; otherwise it serves (COM starts it so).
#include "Halvex.h"  // with <windows.h>

// The server's identity: a GUID of its own (from uuidgen) and a ProgID.
// {CC0A34D0-3318-4BE0-B6D9-C77B5531B5E6}
const CLSID kClsid = {0xcc0a34d0, 0x3318, 0x4be0, {0xb6, 0xd9, 0xc7, 0x7b, 0x55, 0x31, 0xb5, 0xe6}};
const char kProgId[] = "Halvex.MinimalServer.1";

const ULONGLONG kStep = 100000000;  // 10 s in FILETIME ticks of 100 ns
const ULONGLONG kDay = 8640 * kStep;
DWORD g_level, g_mainThread;        // Site.Level's handle: the library passes it as `item`

ULONGLONG Ticks(const FILETIME &t) { return (ULONGLONG(t.dwHighDateTime) << 32) | t.dwLowDateTime; }
FILETIME Time(ULONGLONG ticks) { return FILETIME{DWORD(ticks), DWORD(ticks >> 32)}; }
ULONGLONG Floor(ULONGLONG t) { return t - t % kStep; }                   // stamp at or before t
ULONGLONG Ceil(ULONGLONG t) { return t % kStep ? Floor(t) + kStep : t; }  // stamp at or after t

// The history. Site.Flow counts the 10-s steps since midnight UTC, Site.Level
// is 10000 more. The library calls these methods from several threads.
class MinimalSource : public CVxHDACallback {
public:
    // Stamps from start towards end (either may be null), at most maxCount.
    long GetTimeStamps(void *, FILETIME *start, FILETIME *end, long maxCount,
                       FILETIME *stamps) override {
        long n = 0;
        if (start && (!end || Ticks(*start) <= Ticks(*end))) {  // forwards
            for (ULONGLONG t = Ceil(Ticks(*start)); n < maxCount && (!end || t <= Ticks(*end));
                 t += kStep)
                stamps[n++] = Time(t);
        } else if (start || end) {  // backwards, not below the first stamp (10 s)
            const ULONGLONG low = start && end && Ticks(*end) > kStep ? Ticks(*end) : kStep;
            for (ULONGLONG t = Floor(Ticks(start ? *start : *end)); n < maxCount && t >= low;
                 t -= kStep)
                stamps[n++] = Time(t);
        }
        return n;
    }
    HRESULT GetPreviousTimeStamp(void *, FILETIME time, FILETIME *stamp) override {
        *stamp = Time(Floor(Ticks(time)));
        return S_OK;
    }
    HRESULT GetNextTimeStamp(void *, FILETIME time, FILETIME *stamp) override {
        *stamp = Time(Ceil(Ticks(time)));
        return S_OK;
    }
    // Any time may be asked for, not only stamps: off the grid, the same
    // formula, marked interpolated.
    HRESULT ReadAt(void *item, FILETIME time, VARIANT *value, DWORD *quality) override {
        value->vt = VT_R8;
        value->dblVal = (DWORD(UINT_PTR(item)) == g_level ? 10000 : 0) +
                        double(Ticks(time) % kDay) / kStep;
        *quality = Ticks(time) % kStep ? 2 : 4;  // interpolated : raw
        return S_OK;
    }
};

// Called after each client leaves; the last one ends the message loop.
void __stdcall OnDisconnect(int connectionsLeft) {
    if (connectionsLeft == 0) PostThreadMessageA(g_mainThread, WM_QUIT, 0, 0);
}

int main(int argc, char **argv) {
    const bool reg = argc > 1 && !lstrcmpiA(argv[1], "/RegServer");
    if (reg || (argc > 1 && !lstrcmpiA(argv[1], "/UnregServer"))) {
        char path[MAX_PATH];  // this program, which COM is to start for clients
        const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
        if (length == 0 || length == MAX_PATH) return 1;  // failed, or cut short
        // The registration also lists the server in a COM component category.
        const bool com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
        BOOL ok = reg ? HDAUpdateRegistry(kClsid, kProgId, "Halvex minimal server", path)
                      : UnregisterHDAServer(kClsid, kProgId);
        if (com) CoUninitialize();
        return ok ? 0 : 1;
    }
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);  // makes the queue OnDisconnect posts to
    g_mainThread = GetCurrentThreadId();
    // Everything is defined before InitHalvex lets the first client in.
    static MinimalSource source;  // outlives every client
    DefineHDAItem("Site.Flow");
    g_level = DefineHDAItem("Site.Level");
    SetHDAServerCallback(&source);
    EnableHDADisconnectNotification(OnDisconnect);
    if (!InitHalvex(kClsid, 1000)) return 1;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    RequestHDADisconnect();  // asks any client still connected to let go
    return 0;
}
