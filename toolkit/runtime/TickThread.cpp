#include "runtime/TickThread.h"

#include "runtime/ToolkitState.h"

namespace halvex {
namespace {

LRESULT CALLBACK TickWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

VOID CALLBACK TickTimerProc(HWND, UINT, UINT_PTR, DWORD) { PulseEvent(Toolkit().tickEvent); }

VOID CALLBACK FallbackTimerProc(HWND, UINT, UINT_PTR, DWORD) { Toolkit().ProcessAllServers(); }

DWORD WINAPI TickThreadMain(void *) {
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
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<DWORD>(msg.wParam);
}

}  // namespace

void StartTickThread(SECURITY_ATTRIBUTES *security) {
    HANDLE thread = CreateThread(security, 0, TickThreadMain, nullptr, 0, nullptr);
    if (thread) CloseHandle(thread);
}

UINT_PTR StartFallbackTimer(UINT periodMs) {
    return SetTimer(nullptr, 0, periodMs, FallbackTimerProc);
}

}  // namespace halvex
