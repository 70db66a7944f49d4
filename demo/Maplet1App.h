// Maplet1: a demo OPC HDA server built on Halvex. A frame window with a
// toolbar, a status bar and two panes: the main view, which starts the
// toolkit and shows what the server is doing, and below it the list of the
// toolkit's event messages.
#ifndef MAPLET1_APP_H
#define MAPLET1_APP_H

#include <windows.h>

#include "Maplet1Callback.h"

namespace maplet1 {

// The demo's own class identifier {A3F47CC5-5E5A-4DB1-8464-B43639A8D036}.
constexpr CLSID kClsid = {0xa3f47cc5, 0x5e5a, 0x4db1,
                          {0x84, 0x64, 0xb4, 0x36, 0x39, 0xa8, 0xd0, 0x36}};
constexpr const char kProgId[] = "MapletSvr";
constexpr const char kDescription[] = "OPC HDA Server to Test VX Toolkit";

// The application object: the two panes (null until created) and the item
// handles, in definition order.
struct App {
    HINSTANCE instance = nullptr;
    HWND frame = nullptr;
    HWND mainView = nullptr;
    HWND eventList = nullptr;
    DWORD itemHandles[kItemCount] = {};
};
extern App g_app;

// Registration, shared by the menu commands and the command line; true on
// success. The path is Maplet1.exe in the directory of the running program.
bool RegisterServer();
bool UnregisterServer();

// Frame window (MainFrame.cpp).
bool RegisterFrameClass(HINSTANCE instance);
HWND CreateFrame(HINSTANCE instance);
// Keeps the status-bar key indicators up to date.
void UpdateKeyIndicators();

// Main view (Maplet1View.cpp): a child window whose creation starts the
// toolkit; it shows a trend of the items and the client connections.
bool RegisterViewClass(HINSTANCE instance);
HWND CreateMainView(HWND parent);

// Event list (EventList.cpp).
HWND CreateEventList(HWND parent);
// Starts delivering event messages to the list through the frame's queue.
void AttachEventList(HWND frame, HWND list);
// Stops delivering and frees the texts still queued; called when the frame
// is destroyed.
void DetachEventList(HWND frame);
// The message that carries one text, posted to the frame; the frame hands
// it over with AppendQueuedEvents, which also takes the texts queued behind
// it and frees them all.
constexpr UINT kEventTextMessage = WM_APP + 1;
void AppendQueuedEvents(HWND frame, LPARAM text);
// Sizes the list's single column to the list's width.
void FitEventColumn(HWND list);
// The function given to EnableHDAEventMsgs; runs on toolkit threads.
void __stdcall OnHalvexEvent(const char *text);

}  // namespace maplet1

#endif
