// The demo's event list in a hidden window of the test's own, which hands the
// posted texts to the list as the frame does: the lines the list keeps, and
// texts that arrive while no list is attached.
#include <windows.h>
#include <commctrl.h>
#include <malloc.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Maplet1App.h"

namespace maplet1 {
App g_app;  // the program's is in Maplet1.cpp
}

namespace {

using namespace maplet1;
using Lines = std::vector<std::string>;

LRESULT CALLBACK FrameProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg != kEventTextMessage) return DefWindowProcA(hwnd, msg, wParam, lParam);
    AppendQueuedEvents(hwnd, lParam);
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
    while (HeapWalk(heap, &entry))
        if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) total += entry.cbData;
    HeapUnlock(heap);
    return total;
}

class EventList : public ::testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&icc);
        WNDCLASSA wc = {};
        wc.lpfnWndProc = FrameProc;
        wc.hInstance = g_app.instance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "EventListTestFrame";
        RegisterClassA(&wc);  // refused, harmlessly, for the second test
        frame_ = CreateWindowExA(0, wc.lpszClassName, "", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300,
                                 nullptr, nullptr, wc.hInstance, nullptr);
        ASSERT_NE(nullptr, frame_);
        list_ = CreateEventList(frame_);
        ASSERT_NE(nullptr, list_);
    }
    void TearDown() override {
        if (!frame_) return;
        DetachEventList(frame_);
        DestroyWindow(frame_);
    }

    bool Queued() const {
        MSG msg;
        return PeekMessageA(&msg, frame_, kEventTextMessage, kEventTextMessage, PM_NOREMOVE);
    }

    // Gives the event function "event first" to "event last" as the toolkit
    // does, dispatches the queued texts and returns the list's lines.
    Lines Post(int first, int last) {
        for (int i = first; i <= last; ++i) OnHalvexEvent(("event " + std::to_string(i)).c_str());
        MSG msg;
        while (PeekMessageA(&msg, frame_, kEventTextMessage, kEventTextMessage, PM_REMOVE))
            DispatchMessageA(&msg);
        Lines out(SendMessageA(list_, LVM_GETITEMCOUNT, 0, 0));
        for (size_t i = 0; i < out.size(); ++i) {
            char text[64] = "";
            LVITEMA item = {};
            item.pszText = text;
            item.cchTextMax = sizeof text;
            SendMessageA(list_, LVM_GETITEMTEXTA, i, reinterpret_cast<LPARAM>(&item));
            out[i] = text;
        }
        return out;
    }

    HWND frame_ = nullptr;
    HWND list_ = nullptr;
};

TEST_F(EventList, The502ndMessageRemovesTheOldestLine) {
    AttachEventList(frame_, list_);
    EXPECT_EQ(Events(1, 501), Post(1, 501));
    EXPECT_EQ(Events(2, 502), Post(502, 502));
}

// 2,000 texts of 4 KB on each path: a leak on any of them would add 8 MB.
// Nothing is asserted until the heap is measured.
TEST_F(EventList, TextsWithoutAListAreDroppedAndFreed) {
    const std::string text(4095, 'x');
    auto postMany = [&] {
        for (int i = 0; i < 2000; ++i) OnHalvexEvent(text.c_str());
        return Queued();
    };
    const size_t before = CrtHeapInUse();
    const bool queuedBeforeAttach = postMany();
    AttachEventList(frame_, list_);
    const bool queuedWhileAttached = postMany();
    // The list goes before the queued texts are handled: they are freed.
    DetachEventList(frame_);
    const bool queuedAfterDetach = Queued();
    const bool queuedAtTheEnd = postMany();
    // Texts that reach the frame when there is no list.
    for (int i = 0; i < 2000; ++i)
        AppendQueuedEvents(frame_, reinterpret_cast<LPARAM>(_strdup(text.c_str())));
    const size_t after = CrtHeapInUse();

    EXPECT_EQ(std::vector<bool>({false, true, false, false}),
              std::vector<bool>({queuedBeforeAttach, queuedWhileAttached, queuedAfterDetach,
                                 queuedAtTheEnd}));
    EXPECT_LT(after, before + 1024 * 1024) << before << " bytes before, " << after << " after";
    // Nothing reached the list, before or after.
    AttachEventList(frame_, list_);
    EXPECT_EQ(Events(1, 1), Post(1, 1));
}

}  // namespace
