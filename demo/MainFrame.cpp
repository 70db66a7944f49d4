// The frame window: menu, toolbar, status bar and a splitter of two rows,
// the main view above the event list. The bar between them can be dragged.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>

#include "Maplet1App.h"
#include "resource.h"

namespace maplet1 {
namespace {

constexpr char kFrameClass[] = "Maplet1Frame";
constexpr int kSplitBar = 6;   // height of the bar between the panes
constexpr int kMinPane = 16;   // a dragged pane keeps at least this height

struct Frame {
    HWND toolbar = nullptr;
    HWND status = nullptr;
    int upperHeight = -1;  // -1 until the first layout halves the space
    bool dragging = false;
    int dragOffset = 0;    // cursor position within the bar
};
Frame g_frame;

constexpr UINT kIndicatorIds[] = {IDS_INDICATOR_CAPS, IDS_INDICATOR_NUM, IDS_INDICATOR_SCRL};
constexpr int kIndicatorKeys[] = {VK_CAPITAL, VK_NUMLOCK, VK_SCROLL};
int g_indicatorWidth = 40;

HWND CreateToolbar(HWND frame) {
    HWND tb = CreateWindowExA(0, TOOLBARCLASSNAMEA, "",
                              WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS |
                                  CCS_TOP,
                              0, 0, 0, 0, frame, reinterpret_cast<HMENU>(IDR_MAINFRAME),
                              g_app.instance, nullptr);
    if (!tb) return nullptr;
    SendMessageA(tb, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    TBADDBITMAP bitmaps = {HINST_COMMCTRL, IDB_STD_SMALL_COLOR};
    SendMessageA(tb, TB_ADDBITMAP, 0, reinterpret_cast<LPARAM>(&bitmaps));
    TBBUTTON buttons[] = {
        {STD_FILESAVE, ID_EDIT_REGISTER, TBSTATE_ENABLED, BTNS_BUTTON, {}, 0, 0},
        {STD_DELETE, ID_EDIT_UNREGISTER, TBSTATE_ENABLED, BTNS_BUTTON, {}, 0, 0},
        {0, 0, TBSTATE_ENABLED, BTNS_SEP, {}, 0, 0},
        {STD_HELP, ID_APP_ABOUT, TBSTATE_ENABLED, BTNS_BUTTON, {}, 0, 0},
    };
    SendMessageA(tb, TB_ADDBUTTONSA, ARRAYSIZE(buttons), reinterpret_cast<LPARAM>(buttons));
    SendMessageA(tb, TB_AUTOSIZE, 0, 0);
    return tb;
}

HWND CreateStatusBar(HWND frame) {
    HWND sb = CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP,
                              0, 0, 0, 0, frame, nullptr, g_app.instance, nullptr);
    if (!sb) return nullptr;
    // Every indicator pane is as wide as the widest of their texts.
    HDC dc = GetDC(sb);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(sb, WM_GETFONT, 0, 0)));
    for (UINT id : kIndicatorIds) {
        char text[16];
        SIZE size;
        int len = LoadStringA(g_app.instance, id, text, sizeof text);
        if (GetTextExtentPoint32A(dc, text, len, &size))
            g_indicatorWidth = std::max<int>(g_indicatorWidth, size.cx + 16);
    }
    SelectObject(dc, old);
    ReleaseDC(sb, dc);
    return sb;
}

void SetStatusText(UINT id) {
    char text[256] = "";
    LoadStringA(g_app.instance, id, text, sizeof text);
    // A command's string holds its prompt, then a line break and its tooltip.
    if (char *nl = strchr(text, '\n')) *nl = '\0';
    SendMessageA(g_frame.status, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(text));
}

void SetStatusParts(int width) {
    const int count = ARRAYSIZE(kIndicatorIds);
    int edges[1 + ARRAYSIZE(kIndicatorIds)];
    // The size grip takes about one indicator's worth at the right.
    int right = width - GetSystemMetrics(SM_CXVSCROLL);
    for (int i = count; i >= 1; --i) {
        edges[i] = right;
        right -= g_indicatorWidth;
    }
    edges[0] = std::max(right, 0);
    edges[count] = -1;  // the last pane runs to the edge
    SendMessageA(g_frame.status, SB_SETPARTS, count + 1, reinterpret_cast<LPARAM>(edges));
}

bool Visible(HWND hwnd) { return hwnd && (GetWindowLongA(hwnd, GWL_STYLE) & WS_VISIBLE); }

int WindowHeight(HWND hwnd) {
    RECT rc;
    GetWindowRect(hwnd, &rc);
    return rc.bottom - rc.top;
}

// The space between toolbar and status bar.
void PaneArea(HWND frame, int *top, int *bottom) {
    RECT rc;
    GetClientRect(frame, &rc);
    *top = Visible(g_frame.toolbar) ? WindowHeight(g_frame.toolbar) : 0;
    *bottom = rc.bottom - (Visible(g_frame.status) ? WindowHeight(g_frame.status) : 0);
    if (*bottom < *top) *bottom = *top;
}

void Layout(HWND frame) {
    RECT rc;
    GetClientRect(frame, &rc);
    if (g_frame.toolbar) SendMessageA(g_frame.toolbar, TB_AUTOSIZE, 0, 0);
    if (g_frame.status) {
        SendMessageA(g_frame.status, WM_SIZE, 0, 0);
        SetStatusParts(rc.right);
    }
    int top, bottom;
    PaneArea(frame, &top, &bottom);
    const int space = std::max(bottom - top - kSplitBar, 0);
    if (g_frame.upperHeight < 0) g_frame.upperHeight = space / 2;
    const int upper = std::min(g_frame.upperHeight, space);
    // Moved panes repaint whole: copying their old pixels leaves stale
    // bands behind (seen under Wine when a bar is shown again).
    const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOCOPYBITS;
    if (g_app.mainView) SetWindowPos(g_app.mainView, nullptr, 0, top, rc.right, upper, flags);
    if (g_app.eventList) {
        SetWindowPos(g_app.eventList, nullptr, 0, top + upper + kSplitBar, rc.right,
                     space - upper, flags);
        FitEventColumn(g_app.eventList);
    }
}

bool OnSplitBar(HWND frame, int y) {
    int top, bottom;
    PaneArea(frame, &top, &bottom);
    const int barTop = top + std::min(g_frame.upperHeight, bottom - top - kSplitBar);
    return y >= barTop && y < barTop + kSplitBar;
}

void DragSplitBar(HWND frame, int y) {
    int top, bottom;
    PaneArea(frame, &top, &bottom);
    const int space = bottom - top - kSplitBar;
    int upper = y - g_frame.dragOffset - top;
    upper = std::min(upper, space - kMinPane);
    upper = std::max(upper, kMinPane);
    if (upper != g_frame.upperHeight) {
        g_frame.upperHeight = upper;
        Layout(frame);
    }
}

void ToggleBar(HWND frame, HWND bar) {
    ShowWindow(bar, Visible(bar) ? SW_HIDE : SW_SHOW);
    Layout(frame);
}

// The tooltip of a toolbar button: the text after the line break of the
// command's string.
void FillTooltip(NMHDR *hdr) {
    static char tip[80];
    char text[256] = "";
    LoadStringA(g_app.instance, static_cast<UINT>(hdr->idFrom), text, sizeof text);
    const char *nl = strchr(text, '\n');
    lstrcpynA(tip, nl ? nl + 1 : text, sizeof tip);
    if (hdr->code == TTN_GETDISPINFOA) {
        reinterpret_cast<NMTTDISPINFOA *>(hdr)->lpszText = tip;
    } else {
        static wchar_t wide[80];
        MultiByteToWideChar(CP_ACP, 0, tip, -1, wide, ARRAYSIZE(wide));
        reinterpret_cast<NMTTDISPINFOW *>(hdr)->lpszText = wide;
    }
}

INT_PTR CALLBACK AboutProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM) {
    switch (msg) {
    case WM_INITDIALOG:
        SendDlgItemMessageA(dlg, IDC_ABOUT_ICON, STM_SETICON,
                            reinterpret_cast<WPARAM>(LoadIcon(nullptr, IDI_APPLICATION)), 0);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dlg, LOWORD(wParam));
            return TRUE;
        }
        break;
    }
    return FALSE;
}

int OnCreate(HWND frame) {
    g_frame.toolbar = CreateToolbar(frame);
    g_frame.status = CreateStatusBar(frame);
    if (!g_frame.toolbar || !g_frame.status) return -1;
    SetStatusText(IDS_READY);
    // Row 0 first: the main view starts the toolkit; then row 1, the list.
    if (!CreateMainView(frame)) return -1;
    HWND list = CreateEventList(frame);
    if (!list) return -1;
    g_app.eventList = list;
    Layout(frame);
    UpdateKeyIndicators();
    AttachEventList(frame, list);
    return 0;
}

LRESULT CALLBACK FrameProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CREATE:
        g_app.frame = hwnd;
        return OnCreate(hwnd);
    case WM_SIZE:
        Layout(hwnd);
        return 0;
    case kEventTextMessage:
        AppendQueuedEvents(hwnd, lParam);
        return 0;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case ID_APP_EXIT:
            SendMessageA(hwnd, WM_CLOSE, 0, 0);
            return 0;
        case ID_APP_ABOUT:
            DialogBoxParamA(g_app.instance, MAKEINTRESOURCEA(IDD_ABOUTBOX), hwnd, AboutProc, 0);
            return 0;
        case ID_VIEW_TOOLBAR:
            ToggleBar(hwnd, g_frame.toolbar);
            return 0;
        case ID_VIEW_STATUS_BAR:
            ToggleBar(hwnd, g_frame.status);
            return 0;
        case ID_EDIT_REGISTER:
        case ID_EDIT_UNREGISTER:
            // The view handles these.
            if (g_app.mainView) SendMessageA(g_app.mainView, msg, wParam, lParam);
            return 0;
        }
        break;
    case WM_INITMENUPOPUP: {
        HMENU menu = reinterpret_cast<HMENU>(wParam);
        CheckMenuItem(menu, ID_VIEW_TOOLBAR,
                      MF_BYCOMMAND | (Visible(g_frame.toolbar) ? MF_CHECKED : MF_UNCHECKED));
        CheckMenuItem(menu, ID_VIEW_STATUS_BAR,
                      MF_BYCOMMAND | (Visible(g_frame.status) ? MF_CHECKED : MF_UNCHECKED));
        return 0;
    }
    case WM_MENUSELECT:
        if (HIWORD(wParam) == 0xFFFF && !lParam) {
            SetStatusText(IDS_READY);  // the menu closed
        } else if (!(HIWORD(wParam) & (MF_POPUP | MF_SEPARATOR))) {
            SetStatusText(LOWORD(wParam));
        } else {
            SendMessageA(g_frame.status, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(""));
        }
        return 0;
    case WM_EXITMENULOOP:
        SetStatusText(IDS_READY);
        return 0;
    case WM_NOTIFY: {
        NMHDR *hdr = reinterpret_cast<NMHDR *>(lParam);
        if (hdr->code == TTN_GETDISPINFOA || hdr->code == TTN_GETDISPINFOW) {
            FillTooltip(hdr);
            return 0;
        }
        break;
    }
    case WM_SETCURSOR:
        if (reinterpret_cast<HWND>(wParam) == hwnd && LOWORD(lParam) == HTCLIENT) {
            POINT pt;
            GetCursorPos(&pt);
            ScreenToClient(hwnd, &pt);
            if (OnSplitBar(hwnd, pt.y)) {
                SetCursor(LoadCursor(nullptr, IDC_SIZENS));
                return TRUE;
            }
        }
        break;
    case WM_LBUTTONDOWN: {
        const int y = static_cast<short>(HIWORD(lParam));
        if (OnSplitBar(hwnd, y)) {
            int top, bottom;
            PaneArea(hwnd, &top, &bottom);
            g_frame.dragging = true;
            g_frame.dragOffset = y - top - g_frame.upperHeight;
            SetCapture(hwnd);
        }
        return 0;
    }
    case WM_MOUSEMOVE:
        if (g_frame.dragging) DragSplitBar(hwnd, static_cast<short>(HIWORD(lParam)));
        return 0;
    case WM_LBUTTONUP:
        if (g_frame.dragging) ReleaseCapture();
        return 0;
    case WM_CAPTURECHANGED:
        g_frame.dragging = false;
        return 0;
    case WM_DESTROY:
        // Texts that arrive from now on are dropped; the panes go next.
        DetachEventList(hwnd);
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

}  // namespace

bool RegisterFrameClass(HINSTANCE instance) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = FrameProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszMenuName = MAKEINTRESOURCEA(IDR_MAINFRAME);
    wc.lpszClassName = kFrameClass;
    return RegisterClassA(&wc) != 0;
}

HWND CreateFrame(HINSTANCE instance) {
    return CreateWindowExA(0, kFrameClass, "Maplet1", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                           CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr,
                           nullptr, instance, nullptr);
}

void UpdateKeyIndicators() {
    if (!g_frame.status) return;
    for (int i = 0; i < static_cast<int>(ARRAYSIZE(kIndicatorIds)); ++i) {
        char text[16] = "";
        if (GetKeyState(kIndicatorKeys[i]) & 1)
            LoadStringA(g_app.instance, kIndicatorIds[i], text, sizeof text);
        SendMessageA(g_frame.status, SB_SETTEXTA, i + 1, reinterpret_cast<LPARAM>(text));
    }
}

}  // namespace maplet1
