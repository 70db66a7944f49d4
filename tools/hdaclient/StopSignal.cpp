#include "StopSignal.h"

#include "Failure.h"

namespace hdaclient {
namespace {

HANDLE g_stop = nullptr;

// Runs on a thread the system starts for the signal.
BOOL WINAPI OnConsoleControl(DWORD type) {
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) return FALSE;
    SetEvent(g_stop);
    return TRUE;
}

}  // namespace

HANDLE StopSignal() {
    if (g_stop) return g_stop;
    g_stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!g_stop) throw Failure(kExitCallFailed, "CreateEvent failed for Ctrl+C");
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
    return g_stop;
}

}  // namespace hdaclient
