// The event list: a report-mode list view that shows the toolkit's event
// messages. The toolkit calls OnHalvexEvent on its own threads; each text is
// copied to the heap and posted to the frame, whose window thread alone
// touches the list.
#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <cstring>

#include "Maplet1App.h"

namespace maplet1 {
namespace {

constexpr int kMaxKeptItems = 500;  // more than this: the oldest go first
constexpr int kMaxBatch = 200;      // texts added between two repaints

// The window that receives the texts; null before the list exists and after
// the frame is gone. The lock makes "read the sink and post" one step, so
// that no text is posted once DetachEventList has drained the queue.
SRWLOCK g_sinkLock = SRWLOCK_INIT;
HWND g_sink = nullptr;

}  // namespace

HWND CreateEventList(HWND parent) {
    HWND list = CreateWindowExA(WS_EX_CLIENTEDGE, WC_LISTVIEWA, "",
                                WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SINGLESEL |
                                    LVS_SHOWSELALWAYS,
                                0, 0, 0, 0, parent, nullptr, g_app.instance, nullptr);
    if (!list) return nullptr;
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT,
                 LVS_EX_FULLROWSELECT);
    LVCOLUMNA column = {};
    column.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH;
    column.fmt = LVCFMT_LEFT;
    column.pszText = const_cast<char *>("Event Messages from Halvex.dll");
    RECT rc;
    GetClientRect(list, &rc);
    column.cx = rc.right;
    if (SendMessageA(list, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column)) < 0) {
        DestroyWindow(list);
        return nullptr;
    }
    return list;
}

void FitEventColumn(HWND list) {
    RECT rc;
    GetClientRect(list, &rc);
    if (SendMessageA(list, LVM_GETCOLUMNWIDTH, 0, 0) != rc.right)
        SendMessageA(list, LVM_SETCOLUMNWIDTH, 0, MAKELPARAM(rc.right, 0));
}

void AttachEventList(HWND frame, HWND list) {
    g_app.eventList = list;
    AcquireSRWLockExclusive(&g_sinkLock);
    g_sink = frame;
    ReleaseSRWLockExclusive(&g_sinkLock);
}

void DetachEventList(HWND frame) {
    AcquireSRWLockExclusive(&g_sinkLock);
    g_sink = nullptr;
    ReleaseSRWLockExclusive(&g_sinkLock);
    g_app.eventList = nullptr;
    MSG msg;
    while (PeekMessageA(&msg, frame, kEventTextMessage, kEventTextMessage, PM_REMOVE))
        std::free(reinterpret_cast<char *>(msg.lParam));
}

void __stdcall OnHalvexEvent(const char *text) {
    if (!text) return;
    const size_t size = std::strlen(text) + 1;
    char *copy = static_cast<char *>(std::malloc(size));
    if (!copy) return;
    std::memcpy(copy, text, size);
    bool posted = false;
    AcquireSRWLockShared(&g_sinkLock);
    if (g_sink)
        posted = PostMessageA(g_sink, kEventTextMessage, 0, reinterpret_cast<LPARAM>(copy));
    ReleaseSRWLockShared(&g_sinkLock);
    if (!posted) std::free(copy);
}

namespace {

// Keeps at most kMaxKeptItems + 1 lines: the oldest go, the text goes last.
void AppendOne(HWND list, char *text) {
    int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    while (count > kMaxKeptItems) {
        SendMessageA(list, LVM_DELETEITEM, 0, 0);
        --count;
    }
    LVITEMA item = {};
    item.mask = LVIF_TEXT;
    item.iItem = count;
    item.pszText = text;
    SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    std::free(text);
}

}  // namespace

void AppendQueuedEvents(HWND frame, LPARAM first) {
    HWND list = g_app.eventList;
    if (!list) {
        std::free(reinterpret_cast<char *>(first));
        return;
    }
    // Redrawing the list for every line is slow enough to fall behind a busy
    // client, so the texts waiting in the queue are added in one go.
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    AppendOne(list, reinterpret_cast<char *>(first));
    MSG msg;
    for (int i = 1; i < kMaxBatch &&
                    PeekMessageA(&msg, frame, kEventTextMessage, kEventTextMessage, PM_REMOVE);
         ++i)
        AppendOne(list, reinterpret_cast<char *>(msg.lParam));
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    const int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    if (count > 0) SendMessageA(list, LVM_ENSUREVISIBLE, count - 1, FALSE);
    // A vertical scroll bar may just have narrowed the list.
    FitEventColumn(list);
    // Repaint every row, including those that only moved up.
    SendMessageA(list, LVM_REDRAWITEMS, 0, count > 0 ? count - 1 : 0);
}

}  // namespace maplet1
