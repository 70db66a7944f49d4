#include "runtime/TickThread.h"

#include "runtime/ThreadLaunch.h"
#include "runtime/ToolkitState.h"

namespace halvex {
namespace {

LRESULT CALLBACK TickWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

VOID CALLBACK TickTimerProc(HWND, UINT, UINT_PTR, DWORD) { PulseEvent(Toolkit().tickEvent); }

VOID CALLBACK FallbackTimerProc(HWND, UINT, UINT_PTR, DWORD) { Toolkit().ProcessAllServers(); }

DWORD WINAPI TickThreadMain(void *arg) {
    ThreadLaunch *launch = static_cast<ThreadLaunch *>(arg);
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = TickWindowProc;
    wc.lpszClassName = "VXTimerNotify";
    RegisterClassExA(&wc);
    HWND hwnd = CreateWindowExA(0, "VXTimerNotify", "", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                nullptr, nullptr);
    SetTimer(nullptr, 0, Toolkit().tickRateMs, TickTimerProc);
    if (hwnd) {
        ShowWindow(hwnd, SW_HIDE);
        UpdateWindow(hwnd);
    }
    // The starter goes on once the class, window, timer and message queue
    // exist: a process that exits at once then finds the thread set up.
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
    launch->Ready();
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<DWORD>(msg.wParam);
}

}  // namespace

void StartTickThread(SECURITY_ATTRIBUTES *security) {
    LaunchThread(security, TickThreadMain, nullptr);
}

UINT_PTR StartFallbackTimer(UINT periodMs) {
    return SetTimer(nullptr, 0, periodMs, FallbackTimerProc);
}

}  // namespace halvex
