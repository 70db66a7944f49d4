// A client that opens and closes sessions with the test server for a while,
// as fast as it can, to catch a server that stops answering.
//   session_stress --mode=plain|browse --seconds=N
// A session activates the server through the registry, makes a few calls,
// and releases everything; "browse" also lists the items through a browser.
// Exit codes: 0 all sessions succeeded; 1 a call failed; 2 bad arguments;
// 3 a session, or COM's start or end, blocked for kWedgeMs (a wedged
// server) - the process ends at once without waiting for the blocked call.
#include <windows.h>
#include <objidl.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>

#include "opccomn.h"
#include "opchda.h"
#include "support/ClientCalls.h"
#include "support/ServerConnection.h"

namespace {

constexpr ULONGLONG kWedgeMs = 20000;
constexpr int kExitFailed = 1, kExitUsage = 2, kExitWedged = 3;

const char *g_mode = "plain";
ULONGLONG g_startMs = 0;
// What the main thread is doing, since when.
std::atomic<const char *> g_step{"starting COM"};
std::atomic<ULONGLONG> g_stepStartMs{0};
std::atomic<long> g_sessions{0};
HANDLE g_done = nullptr;

void Report(const char *outcome) {
    double seconds = (GetTickCount64() - g_startMs) / 1000.0;
    long sessions = g_sessions.load();
    printf("session_stress %s: %s: %ld sessions in %.1f s (%.1f sessions/s)\n", g_mode, outcome,
           sessions, seconds, seconds > 0 ? sessions / seconds : 0.0);
    fflush(stdout);
}

DWORD WINAPI Watchdog(void *) {
    while (WaitForSingleObject(g_done, 500) == WAIT_TIMEOUT) {
        if (GetTickCount64() - g_stepStartMs.load() > kWedgeMs) {
            char outcome[80];
            snprintf(outcome, sizeof outcome, "WEDGED (%s blocked for %u s)", g_step.load(),
                     static_cast<unsigned>(kWedgeMs / 1000));
            Report(outcome);
            TerminateProcess(GetCurrentProcess(), kExitWedged);
        }
    }
    return 0;
}

// Prints the call when its result is not the expected one.
bool Failed(HRESULT hr, const char *call, HRESULT expected = S_OK) {
    if (hr == expected) return false;
    printf("session_stress %s: %s returned 0x%08lx\n", g_mode, call,
           static_cast<unsigned long>(hr));
    return true;
}

bool Status(IOPCHDA_Server *server) {
    OPCHDA_SERVERSTATUS status;
    FILETIME *now = nullptr, *start = nullptr;
    WORD major, minor, build;
    DWORD maxValues;
    LPWSTR text = nullptr, vendor = nullptr;
    HRESULT hr = server->GetHistorianStatus(&status, &now, &start, &major, &minor, &build,
                                            &maxValues, &text, &vendor);
    CoTaskMemFree(now);
    CoTaskMemFree(start);
    CoTaskMemFree(text);
    CoTaskMemFree(vendor);
    return !Failed(hr, "GetHistorianStatus");
}

bool Common(IOPCHDA_Server *server) {
    IOPCCommon *common = nullptr;
    HRESULT hr = server->QueryInterface(IID_IOPCCommon, reinterpret_cast<void **>(&common));
    if (Failed(hr, "QueryInterface(IOPCCommon)")) return false;
    LCID lcid = 0;
    hr = common->GetLocaleID(&lcid);
    common->Release();
    return !Failed(hr, "GetLocaleID");
}

// A step of support/ClientCalls.h, its problem printed.
bool Passed(const char *step, const std::string &problem) {
    if (problem.empty()) return true;
    printf("session_stress %s: %s: %s\n", g_mode, step, problem.c_str());
    return false;
}

bool Session(bool browse) {
    IOPCHDA_Server *server = nullptr;
    if (Failed(testsupport::ConnectTestServer(IID_IOPCHDA_Server, &server), "CoCreateInstance"))
        return false;
    bool ok = Status(server) && Passed("handles", testsupport::HandleChurn(server)) &&
              Common(server) && (!browse || Passed("browse", testsupport::Browse(server)));
    server->Release();
    return ok;
}

}  // namespace

int main(int argc, char **argv) {
    long seconds = 0;
    for (int i = 1; i < argc; ++i) {
        if (strncmp(argv[i], "--mode=", 7) == 0) g_mode = argv[i] + 7;
        else if (strncmp(argv[i], "--seconds=", 10) == 0) seconds = atol(argv[i] + 10);
    }
    bool browse = strcmp(g_mode, "browse") == 0;
    if ((!browse && strcmp(g_mode, "plain") != 0) || seconds <= 0) {
        printf("usage: session_stress --mode=plain|browse --seconds=N\n");
        return kExitUsage;
    }

    g_startMs = GetTickCount64();
    g_stepStartMs = g_startMs;
    g_done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE watchdog = CreateThread(nullptr, 0, Watchdog, nullptr, 0, nullptr);
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);

    int result = 0;
    ULONGLONG endMs = g_startMs + static_cast<ULONGLONG>(seconds) * 1000;
    g_step = "a session";
    while (GetTickCount64() < endMs) {
        g_stepStartMs = GetTickCount64();
        if (!Session(browse)) {
            result = kExitFailed;
            break;
        }
        ++g_sessions;
    }
    g_stepStartMs = GetTickCount64();
    g_step = "ending COM";
    CoUninitialize();
    SetEvent(g_done);
    WaitForSingleObject(watchdog, INFINITE);
    CloseHandle(watchdog);
    Report(result == 0 ? "done" : "FAILED");
    return result;
}
