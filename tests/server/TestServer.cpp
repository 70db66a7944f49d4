// An OPC HDA server built on Halvex for the cross-process tests.
//   /RegServer, /UnregServer  write or remove its registry entries and exit
//   anything else (COM passes -Embedding)  serve until idle for a while
// While serving, setting the named event kRequestDisconnect makes it call
// RequestHDADisconnect once; it then sets kDisconnectDone. Setting kQuit makes
// it exit even with clients (a killed client's connection is never released
// under Wine); it owns the mutex kRunning until its process ends.
// Its history comes from GridSource (the last item has no data; "A.B.C" is
// slow while kSlowReadsEvent is set). It always keeps its accounts (see
// support/ServerAccounts.h): COM starts it with -Embedding only, and a
// switch set by whichever test happened to start it would leave the others
// without them; counting costs little beside a cross-process call.
#include <windows.h>

#include <cstring>

#include "Halvex.h"
#include "server/GridSource.h"
#include "server/ServerAccounting.h"
#include "support/ServerAccounts.h"
#include "support/TestIds.h"
#include "support/TestServerControl.h"

namespace {

constexpr const char kRequestDisconnect[] = "Halvex.TestServer.RequestDisconnect";
constexpr const char kDisconnectDone[] = "Halvex.TestServer.DisconnectDone";
constexpr const char kQuit[] = "Halvex.TestServer.Quit";
constexpr const char kRunning[] = "Halvex.TestServer.Running";

// Quits after this long without any client.
constexpr DWORD kIdleExitMs = 4000;
constexpr UINT kCheckMs = 250;
DWORD g_idleSince = 0;

// GridSource, with the memory its callbacks allocate (attribute strings)
// counted as the server's.
class AccountedSource : public GridSource {
public:
    HRESULT ReadCurrentAttribute(void *item, DWORD attributeId, FILETIME *stamp,
                                 VARIANT *value) override {
        testserver::ServerAllocation mark;
        return GridSource::ReadCurrentAttribute(item, attributeId, stamp, value);
    }
};

VOID CALLBACK Publish(HWND, UINT, UINT_PTR, DWORD) { testserver::PublishAccounts(); }

VOID CALLBACK IdleCheck(HWND, UINT, UINT_PTR, DWORD now) {
    if (NumbrClientConnections() > 0) {
        g_idleSince = now;
    } else if (now - g_idleSince >= kIdleExitMs) {
        PostQuitMessage(0);
    }
}

int Register() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    BOOL ok = HDAUpdateRegistry(testids::kTestServerClsid, testids::kTestServerProgId,
                                "Halvex test server", path);
    CoUninitialize();
    return ok ? 0 : 1;
}

int Unregister() {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    BOOL ok = UnregisterHDAServer(testids::kTestServerClsid, testids::kTestServerProgId);
    CoUninitialize();
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char **argv) {
    for (int i = 1; i < argc; ++i) {
        if (_stricmp(argv[i], "/RegServer") == 0 || _stricmp(argv[i], "-RegServer") == 0)
            return Register();
        if (_stricmp(argv[i], "/UnregServer") == 0 || _stricmp(argv[i], "-UnregServer") == 0)
            return Unregister();
    }

    // Everything is defined before the class object is registered, so that
    // no client can arrive at an incomplete address space.
    static AccountedSource source;
    testserver::StartAccounting();
    SetHDAVendorInfo("Halvex test server vendor");
    // The demo's address space: four attributes, two aggregates, nine items.
    DefineHDAAttribute(1, "Data Type", "HDA Item Data Type", VT_I2, 0);
    DefineHDAAttribute(2, "Description", "HDA Item Description", VT_BSTR, 0);
    DefineHDAAttribute(3, "Engineering Units", "HDA Item Engineering Units", VT_BSTR, 0);
    DefineHDAAttribute(13, "Item ID", "HDA Item Name", VT_BSTR, 0);
    DefineHDAAggregate(3, "Average", "Average Random Value");
    DefineHDAAggregate(5, "Count", "Number of Random Values");
    const char *items[] = {"A.A.A", "A.A.B", "A.A.C", "A.B.A", "A.B.B",
                           "A.B.C", "A.C.A", "A.C.B", "A.C.C"};
    for (const char *item : items) {
        const DWORD handle = DefineHDAItem(item);
        source.AddItem(handle, item);
        if (strcmp(item, testsupport::kSlowItem) == 0)
            source.SetSlowItem(handle, testsupport::kSlowReadsEvent);
    }
    SetHDAServerCallback(&source);
    InitHalvex(testids::kTestServerClsid, 50);

    g_idleSince = GetTickCount();
    SetTimer(nullptr, 0, kCheckMs, IdleCheck);
    SetTimer(nullptr, 0, testsupport::kPublishMs, Publish);
    // Auto-reset: one request per SetEvent from a test client.
    HANDLE request = CreateEventA(nullptr, FALSE, FALSE, kRequestDisconnect);
    HANDLE done = CreateEventA(nullptr, FALSE, FALSE, kDisconnectDone);
    // Owned until the process ends, whose end abandons it: what a test
    // waiting for the exit sees.
    CreateMutexA(nullptr, TRUE, kRunning);
    HANDLE signals[] = {request, CreateEventA(nullptr, FALSE, FALSE, kQuit)};
    const DWORD count = signals[0] && signals[1] ? 2 : 0;
    bool quit = false;
    while (!quit) {
        DWORD woke = MsgWaitForMultipleObjects(count, signals, FALSE, INFINITE, QS_ALLINPUT);
        if (count && woke == WAIT_OBJECT_0) {
            RequestHDADisconnect();
            SetEvent(done);
            continue;
        }
        if (count && woke == WAIT_OBJECT_0 + 1) break;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                quit = true;
                break;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    RequestHDADisconnect();
    CloseHandle(request);
    CloseHandle(done);
    CloseHandle(signals[1]);
    return 0;
}
