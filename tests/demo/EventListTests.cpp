// The demo's event list in a hidden window of the test's own, which hands the
// posted texts to the list as the frame does: the lines the list keeps, and
// texts that arrive while no list is attached.
#include <windows.h>
#include <commctrl.h>
#include <malloc.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Maplet1App.h"

namespace maplet1 {
App g_app;  // the program's is in Maplet1.cpp
}

namespace {

using namespace maplet1;
using Lines = std::vector<std::string>;

constexpr char kFrameClass[] = "EventListTestFrame";
constexpr DWORD kPumpMs = 10000;

LRESULT CALLBACK FrameProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == kEventTextMessage) {
        AppendQueuedEvents(hwnd, lParam);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// Posts "event first" to "event last" the way a toolkit thread does.
struct Range {
    int first, last;
};

DWORD WINAPI PostEvents(void *arg) {
    const Range *range = static_cast<const Range *>(arg);
    for (int i = range->first; i <= range->last; ++i) {
        char text[32];
        snprintf(text, sizeof text, "event %d", i);
        OnHalvexEvent(text);
    }
    return 0;
}

Lines Events(int first, int last) {
    Lines out;
    for (int i = first; i <= last; ++i) out.push_back("event " + std::to_string(i));
    return out;
}

// Bytes in use on the C runtime's heap, where the list's texts live.
size_t CrtHeapInUse() {
    HANDLE heap = reinterpret_cast<HANDLE>(_get_heap_handle());
    size_t total = 0;
    PROCESS_HEAP_ENTRY entry = {};
    HeapLock(heap);
    while (HeapWalk(heap, &entry)) {
        if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) total += entry.cbData;
    }
    HeapUnlock(heap);
    return total;
}

class EventList : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&icc);
        WNDCLASSA wc = {};
        wc.lpfnWndProc = FrameProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = kFrameClass;
        RegisterClassA(&wc);
    }
    void SetUp() override {
        g_app.instance = GetModuleHandleA(nullptr);
        frame_ = CreateWindowExA(0, kFrameClass, "", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300,
                                 nullptr, nullptr, g_app.instance, nullptr);
        ASSERT_NE(nullptr, frame_);
        list_ = CreateEventList(frame_);
        ASSERT_NE(nullptr, list_);
    }
    void TearDown() override {
        if (frame_) {
            DetachEventList(frame_);
            DestroyWindow(frame_);
        }
    }

    // Runs PostEvents on a thread of its own and dispatches this thread's
    // messages until that thread has ended and its texts are handled; false
    // after the time-out.
    bool PostFromThread(int first, int last) {
        range_ = {first, last};
        HANDLE thread = CreateThread(nullptr, 0, PostEvents, &range_, 0, nullptr);
        if (!thread) return false;
        const DWORD deadline = GetTickCount() + kPumpMs;
        bool finished = false;
        for (;;) {
            finished = WaitForSingleObject(thread, 0) == WAIT_OBJECT_0;
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
            // Everything posted before the thread ended has been dispatched.
            if (finished || static_cast<LONG>(GetTickCount() - deadline) >= 0) break;
            MsgWaitForMultipleObjects(1, &thread, FALSE, 100, QS_ALLINPUT);
        }
        CloseHandle(thread);
        return finished;
    }

    Lines ListLines() const {
        Lines out;
        const int count = static_cast<int>(SendMessageA(list_, LVM_GETITEMCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            char text[64] = "";
            LVITEMA item = {};
            item.pszText = text;
            item.cchTextMax = sizeof text;
            SendMessageA(list_, LVM_GETITEMTEXTA, i, reinterpret_cast<LPARAM>(&item));
            out.push_back(text);
        }
        return out;
    }

    bool TextQueued() const {
        MSG msg;
        return PeekMessageA(&msg, frame_, kEventTextMessage, kEventTextMessage, PM_NOREMOVE);
    }

    HWND frame_ = nullptr;
    HWND list_ = nullptr;
    Range range_ = {};  // read by the posting thread
};

TEST_F(EventList, The502ndMessageRemovesTheOldestLine) {
    AttachEventList(frame_, list_);
    ASSERT_TRUE(PostFromThread(1, 501));
    EXPECT_EQ(Events(1, 501), ListLines());
    ASSERT_TRUE(PostFromThread(502, 502));
    EXPECT_EQ(Events(2, 502), ListLines());
}

// 2,000 texts of 4 KB on each path: a leak on any of them would add 8 MB.
TEST_F(EventList, TextsWithoutAListAreDroppedAndFreed) {
    const std::string text(4095, 'x');
    const size_t before = CrtHeapInUse();
    for (int i = 0; i < 2000; ++i) OnHalvexEvent(text.c_str());
    const bool queuedBeforeAttach = TextQueued();
    AttachEventList(frame_, list_);
    // Queued, but the list goes before they are handled: they are freed.
    for (int i = 0; i < 2000; ++i) OnHalvexEvent(text.c_str());
    const bool queuedWhileAttached = TextQueued();
    DetachEventList(frame_);
    const bool queuedAfterDetach = TextQueued();
    for (int i = 0; i < 2000; ++i) OnHalvexEvent(text.c_str());
    const bool queuedAtTheEnd = TextQueued();
    // A text that reaches the frame when there is no list.
    for (int i = 0; i < 2000; ++i)
        AppendQueuedEvents(frame_, reinterpret_cast<LPARAM>(_strdup(text.c_str())));
    const size_t after = CrtHeapInUse();

    EXPECT_FALSE(queuedBeforeAttach);
    EXPECT_TRUE(queuedWhileAttached);
    EXPECT_FALSE(queuedAfterDetach);
    EXPECT_FALSE(queuedAtTheEnd);
    EXPECT_LT(after, before + 1024 * 1024) << before << " bytes before, " << after << " after";
    // Nothing reached the list, before or after.
    AttachEventList(frame_, list_);
    ASSERT_TRUE(PostFromThread(1, 1));
    EXPECT_EQ(Events(1, 1), ListLines());
}

}  // namespace
