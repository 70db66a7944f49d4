#include "BenchServer.h"

#include <cstring>

#include "BenchProcess.h"
#include "Halvex.h"

namespace bench {

namespace {

bool IsSwitch(const char *arg, const char *name) {
    return (arg[0] == '/' || arg[0] == '-') && _stricmp(arg + 1, name) == 0;
}

int Register(const ServerClass &server) {
    const std::string exe = ThisProgram();
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    const bool ok =
        HDAUpdateRegistry(server.clsid, server.progId, server.description, exe.c_str()) != FALSE;
    const bool more = !server.registerMore || server.registerMore(exe);
    CoUninitialize();
    return ok && more ? 0 : 1;
}

int Unregister(const ServerClass &server) {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    const bool ok = UnregisterHDAServer(server.clsid, server.progId) != FALSE;
    if (server.unregisterMore) server.unregisterMore();
    CoUninitialize();
    return ok ? 0 : 1;
}

constexpr DWORD kIdleExitMs = 4000;
constexpr UINT kCheckMs = 250;
DWORD g_idleSince = 0;
bool (*g_othersAlive)() = nullptr;

VOID CALLBACK IdleCheck(HWND, UINT, UINT_PTR, DWORD now) {
    if (NumbrClientConnections() > 0 || (g_othersAlive && g_othersAlive())) {
        g_idleSince = now;
    } else if (now - g_idleSince >= kIdleExitMs) {
        PostQuitMessage(0);
    }
}

}  // namespace

int RunRegistrySwitch(int argc, char **argv, const ServerClass &server) {
    for (int i = 1; i < argc; ++i) {
        if (IsSwitch(argv[i], "RegServer")) return Register(server);
        if (IsSwitch(argv[i], "UnregServer")) return Unregister(server);
    }
    return -1;
}

void ServeUntilIdle(bool (*othersAlive)()) {
    g_othersAlive = othersAlive;
    g_idleSince = GetTickCount();
    SetTimer(nullptr, 0, kCheckMs, IdleCheck);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

}  // namespace bench
