// The main view: the upper pane. Creating it starts the toolkit and defines
// the demo's address space; destroying it asks clients to disconnect and
// then retires the callback object. In between it shows what the server is
// doing: once a second the window thread copies the items' recent history
// and the client connections into a LiveModel, and WM_PAINT draws that copy.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "LiveModel.h"
#include "LiveView.h"
#include "Maplet1App.h"
#include "resource.h"

namespace maplet1 {
namespace {

constexpr char kViewClass[] = "Maplet1View";
constexpr DWORD kDisconnectWaitMs = 2000;
constexpr UINT_PTR kRefreshTimer = 1;
// The toolkit's tick, and the view's refresh with it.
constexpr UINT kTickMs = 1000;
constexpr ULONGLONG kTrendWindow = 5 * 60 * kSecond;

CMaplet1Callback *g_callback = nullptr;
// Used on the window thread only; null before the toolkit starts and after
// it stops.
std::unique_ptr<LiveModel> g_model;

void StartToolkit() {
    InitHalvex(kClsid, kTickMs);
    DefineHDAAttribute(1, "Data Type", "HDA Item Data Type", VT_I2, 0);
    DefineHDAAttribute(2, "Description", "HDA Item Description", VT_BSTR, 0);
    DefineHDAAttribute(3, "Engineering Units", "HDA Item Engineering Units", VT_BSTR, 0);
    DefineHDAAttribute(13, "Item ID", "HDA Item Name", VT_BSTR, 0);
    DefineHDAAggregate(3, "Average", "Average Random Value");
    DefineHDAAggregate(5, "Count", "Number of Random Values");
    EnableHDAEventMsgs(OnHalvexEvent);
    g_callback = new CMaplet1Callback;
    SetHDAServerCallback(g_callback);
    for (int i = 0; i < kItemCount; ++i) {
        g_app.itemHandles[i] = DefineHDAItem(kItemNames[i]);
        g_callback->SetItemHandle(i, g_app.itemHandles[i]);
    }
}

void RefreshModel(HWND hwnd) {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    g_model->Refresh(now);
    InvalidateRect(hwnd, nullptr, FALSE);
}

void StartLiveView(HWND hwnd) {
    std::vector<TrendItem> items;
    for (int i = 0; i < kItemCount; ++i)
        items.push_back(TrendItem{reinterpret_cast<void *>(static_cast<uintptr_t>(
                                      g_app.itemHandles[i])),
                                  kItemNames[i]});
    g_model = std::make_unique<LiveModel>(*g_callback, std::move(items), GetHDAConnections,
                                          kTrendWindow);
    RefreshModel(hwnd);
    SetTimer(hwnd, kRefreshTimer, kTickMs, nullptr);
}

// Before the callback object goes: the model reads from it.
void StopLiveView(HWND hwnd) {
    KillTimer(hwnd, kRefreshTimer);
    g_model.reset();
}

void Paint(HWND hwnd) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT client;
    GetClientRect(hwnd, &client);
    PaintLiveView(dc, client, g_model.get());
    EndPaint(hwnd, &ps);
}

void StopToolkit() {
    RequestHDADisconnect();
    Sleep(kDisconnectWaitMs);
    // Once this returns no read uses the object any more.
    SetHDAServerCallback(nullptr);
    delete g_callback;
    g_callback = nullptr;
}

LRESULT CALLBACK ViewProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CREATE:
        g_app.mainView = hwnd;
        StartToolkit();
        StartLiveView(hwnd);
        return 0;
    case WM_TIMER:
        if (wParam == kRefreshTimer && g_model) RefreshModel(hwnd);
        return 0;
    case WM_ERASEBKGND:
        return 1;  // WM_PAINT covers every pixel
    case WM_SIZE:
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_PAINT:
        Paint(hwnd);
        return 0;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case ID_EDIT_REGISTER:
            RegisterServer();
            return 0;
        case ID_EDIT_UNREGISTER:
            UnregisterServer();
            return 0;
        }
        break;
    case WM_DESTROY:
        StopLiveView(hwnd);
        StopToolkit();
        g_app.mainView = nullptr;
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

}  // namespace

bool RegisterViewClass(HINSTANCE instance) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = ViewProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kViewClass;
    return RegisterClassA(&wc) != 0;
}

HWND CreateMainView(HWND parent) {
    return CreateWindowExA(WS_EX_CLIENTEDGE, kViewClass, "", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0,
                           parent, nullptr, g_app.instance, nullptr);
}

}  // namespace maplet1
