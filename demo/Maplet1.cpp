// Maplet1's entry point.
//   /RegServer, /UnregServer (or with '-', any case): write or remove the
//     server's registry entries without a window; exit code 0 on success.
//   anything else (COM starts the server with -Embedding): run the window.
#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <string>

#include "Maplet1App.h"

namespace maplet1 {

App g_app;

namespace {

// The path of the running program up to and including its last backslash.
std::string ProgramDirectory() {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        DWORD n = GetModuleFileNameA(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (n == 0) return std::string();
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool IsSwitch(const char *arg, const char *name) {
    return (arg[0] == '/' || arg[0] == '-') && lstrcmpiA(arg + 1, name) == 0;
}

// Registration outside the window: COM is needed for the component category.
int RunRegistration(bool reg) {
    HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    bool ok = reg ? RegisterServer() : UnregisterServer();
    if (SUCCEEDED(hr)) CoUninitialize();
    return ok ? 0 : 1;
}

int RunWindow(HINSTANCE instance) {
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&icc);
    if (!RegisterFrameClass(instance) || !RegisterViewClass(instance)) return 1;
    HWND frame = CreateFrame(instance);
    if (!frame) return 1;
    ShowWindow(frame, SW_SHOW);
    UpdateWindow(frame);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
        if (msg.message == WM_KEYUP || msg.message == WM_KEYDOWN) UpdateKeyIndicators();
    }
    return static_cast<int>(msg.wParam);
}

}  // namespace

bool RegisterServer() {
    const std::string path = ProgramDirectory() + "Maplet1.exe";
    return HDAUpdateRegistry(kClsid, kProgId, kDescription, path.c_str()) != FALSE;
}

bool UnregisterServer() { return UnregisterHDAServer(kClsid, kProgId) != FALSE; }

}  // namespace maplet1

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    using namespace maplet1;
    g_app.instance = instance;
    for (int i = 1; i < __argc; ++i) {
        if (IsSwitch(__argv[i], "RegServer")) return RunRegistration(true);
        if (IsSwitch(__argv[i], "UnregServer")) return RunRegistration(false);
    }
    return RunWindow(instance);
}
