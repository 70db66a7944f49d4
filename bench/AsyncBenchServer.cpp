// The queued-read benchmarks' out-of-process server: a Halvex server with a
// 10 ms tick, GridSource's items and one live item, which reports its own
// CPU time when a benchmark asks for it.
//   /RegServer, /UnregServer  write or remove its registry entries and exit
//   anything else (COM passes -Embedding)  serve until idle for a while
#include <windows.h>

#include <cstring>
#include <string>

#include "AsyncBenchIds.h"
#include "Halvex.h"
#include "LiveGridSource.h"
#include "ReadBenchIds.h"

namespace {

using namespace asyncbench;

std::string ProgramPath() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}

int Register() {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    BOOL ok = HDAUpdateRegistry(kServerClsid, kServerProgId, "Halvex queued-read benchmark server",
                                ProgramPath().c_str());
    CoUninitialize();
    return ok ? 0 : 1;
}

int Unregister() {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    BOOL ok = UnregisterHDAServer(kServerClsid, kServerProgId);
    CoUninitialize();
    return ok ? 0 : 1;
}

unsigned long long Ticks(const FILETIME &t) {
    return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

// The CPU-time service: its objects and the thread that answers requests.
struct CpuService {
    HANDLE ask = nullptr, done = nullptr, mapping = nullptr;
    CpuReport *report = nullptr;

    bool Create() {
        ask = CreateEventA(nullptr, FALSE, FALSE, kCpuAskEvent);
        done = CreateEventA(nullptr, FALSE, FALSE, kCpuDoneEvent);
        mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                     sizeof(CpuReport), kCpuMapping);
        if (!ask || !done || !mapping) return false;
        report = static_cast<CpuReport *>(
            MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(CpuReport)));
        return report != nullptr;
    }
};

// Sleeps until asked, so that it costs nothing while the server is measured.
DWORD WINAPI CpuServiceMain(void *arg) {
    CpuService *service = static_cast<CpuService *>(arg);
    while (WaitForSingleObject(service->ask, INFINITE) == WAIT_OBJECT_0) {
        FILETIME created, exited, kernel, user;
        GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
        service->report->processId = GetCurrentProcessId();
        service->report->connections = NumbrClientConnections();
        service->report->cpuTicks = Ticks(kernel) + Ticks(user);
        SetEvent(service->done);
    }
    return 0;
}

// Quits after this long without any client.
constexpr DWORD kIdleExitMs = 4000;
constexpr UINT kCheckMs = 250;
DWORD g_idleSince = 0;

VOID CALLBACK IdleCheck(HWND, UINT, UINT_PTR, DWORD now) {
    if (NumbrClientConnections() > 0) {
        g_idleSince = now;
    } else if (now - g_idleSince >= kIdleExitMs) {
        PostQuitMessage(0);
    }
}

}  // namespace

int main(int argc, char **argv) {
    for (int i = 1; i < argc; ++i) {
        if (_stricmp(argv[i], "/RegServer") == 0 || _stricmp(argv[i], "-RegServer") == 0)
            return Register();
        if (_stricmp(argv[i], "/UnregServer") == 0 || _stricmp(argv[i], "-UnregServer") == 0)
            return Unregister();
    }

    // The CPU service and the data before the class object: a client that
    // got a connection finds both.
    static CpuService cpu;
    if (!cpu.Create()) return 1;
    HANDLE thread = CreateThread(nullptr, 0, CpuServiceMain, &cpu, 0, nullptr);
    if (!thread) return 1;
    CloseHandle(thread);

    static LiveGridSource source(DefineHDAItem(kLiveItemId));
    for (const char *id : readbench::kItemIds) source.AddItem(DefineHDAItem(id), id);
    source.AddItem(DefineHDAItem(readbench::kEmptyItemId), readbench::kEmptyItemId);
    SetHDAServerCallback(&source);
    if (!InitHalvex(kServerClsid, kTickMs)) return 1;

    g_idleSince = GetTickCount();
    SetTimer(nullptr, 0, kCheckMs, IdleCheck);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    RequestHDADisconnect();
    return 0;
}
