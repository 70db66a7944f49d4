// One client process of the load test (see support/LoadClients.h):
//   load_client --results=NAME --slot=I --threads=T --seconds=S
// Each worker thread has a connection of its own and shares one more with
// the others. It picks its steps at random from a weighted mix: synchronous
// reads, queued reads (one of each kind and one cancelled at once), an
// advise waited for three windows and cancelled, browsing, item handles
// taken and given back, the server's queries, and a new connection in place
// of its own. It waits for every callback that must come (a cancelled
// read's may come or not), kWaitMs at most each, and keeps its figures in
// its slot. Exit codes: 0 all as expected; 1 not; 2 bad arguments; 3 a
// thread stayed blocked (the process then ends at once).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "support/CheckingSink.h"
#include "support/ClientCalls.h"
#include "support/LoadClients.h"
#include "support/ReadConnection.h"

namespace {

using namespace testsupport;

constexpr DWORD kWaitMs = 10000;
constexpr DWORD kBlockedMs = 60000;  // longer than any step: four reads' waits and more
constexpr ULONGLONG kMs = 10000;
constexpr ULONGLONG kInterval = 100 * kMs;  // of the advise windows
constexpr ULONGLONG kWindows = 3;
constexpr LONG kBusyCallbacks = 20;
constexpr int kExitFailed = 1, kExitUsage = 2, kExitBlocked = 3;

LoadTally *g_tally = nullptr;
HANDLE g_busy = nullptr;
volatile LONG g_problemTaken = 0;

void Fail(const std::string &problem) {
    InterlockedIncrement(&g_tally->failures);
    if (InterlockedExchange(&g_problemTaken, 1) == 0)
        lstrcpynA(g_tally->problem, problem.c_str(), sizeof g_tally->problem);
}

void Check(const char *what, const std::string &problem) {
    if (!problem.empty()) Fail(std::string(what) + ": " + problem);
}

void Worst(volatile LONG *worst, LONG ms) {
    for (LONG seen = *worst; ms > seen;) {
        const LONG before = InterlockedCompareExchange(worst, ms, seen);
        if (before == seen) break;
        seen = before;
    }
}

// A connection and its sink. The sink is freed only once the server has
// let go of it.
struct Session {
    std::unique_ptr<CheckingSink> sink{new CheckingSink};
    ReadConnection c;

    bool Open() {
        InterlockedIncrement(&g_tally->connects);
        const HRESULT hr = c.Open(sink.get());
        if (FAILED(hr)) Fail("connecting: " + std::to_string(hr));
        return SUCCEEDED(hr);
    }
    ~Session() {
        Check("deliveries", sink->Problems());
        if (!c.Close()) {
            Fail("closing: the server kept the sink or did not answer");
            sink.release();
        }
    }
};

// Waits for a transaction's deliveries, one due at each of `due` (UTC
// ticks), and notes the latest against its due time.
void Await(CheckingSink &sink, DWORD t, const std::vector<ULONGLONG> &due, volatile LONG *worst,
           volatile LONG *count) {
    std::vector<ULONGLONG> arrivals;
    const bool arrived = sink.WaitFor(t, due.size(), kWaitMs, &arrivals);
    sink.Forget(t);
    if (!arrived) {
        InterlockedIncrement(&g_tally->timeouts);
        Fail("no callback for transaction " + std::to_string(t) + " in " +
             std::to_string(kWaitMs) + " ms");
        return;
    }
    for (size_t k = 0; k < due.size(); ++k)
        Worst(worst, static_cast<LONG>(arrivals[k] > due[k] ? (arrivals[k] - due[k]) / kMs : 0));
    InterlockedExchangeAdd(count, static_cast<LONG>(due.size()));
    if (g_tally->callbacks + g_tally->windows >= kBusyCallbacks) SetEvent(g_busy);
}

enum Step {
    kSyncRead, kSharedSyncRead, kQueuedReads, kSharedQueuedReads, kAdvise, kBrowse, kHandles,
    kSharedHandles, kQueries, kReconnect, kSteps
};
const int kWeights[kSteps] = {20, 10, 15, 5, 5, 5, 10, 10, 5, 3};

struct Worker {
    int index = 0;
    std::unique_ptr<Session> own{new Session};
    Session *shared = nullptr;
    DWORD sequence = 0;
    ULONGLONG endMs = 0;
    volatile DWORD stepMs = 0;  // when the current step began (GetTickCount)

    // A transaction number of this thread's own.
    DWORD Next() { return static_cast<DWORD>(index) << 18 | (++sequence & 0x3FFFF); }

    void QueuedReads(Session &s) {
        std::vector<std::pair<DWORD, ULONGLONG>> waits;
        for (DWORD k = 0; k < kReadKinds; ++k) {
            const DWORD t = TransactionId(k, Next());
            DWORD cancel = 0;
            const std::string problem = StartRead(s.c, static_cast<ReadKind>(k), t, &cancel);
            Check("queued read", problem);
            if (problem.empty()) waits.push_back({t, UtcNowMs()});
        }
        DWORD cancel = 0;
        const DWORD cancelled = TransactionId(kRawRead, Next());
        Check("queued read", StartRead(s.c, kRawRead, cancelled, &cancel));
        Check("cancel", Cancel(s.c, cancel));
        InterlockedIncrement(&g_tally->cancels);
        for (const auto &w : waits)
            Await(*s.sink, w.first, {w.second}, &g_tally->worstReadMs, &g_tally->callbacks);
        s.sink->Forget(cancelled);
    }

    void Advise() {
        const ULONGLONG start = UtcNowMs();
        const DWORD t = TransactionId(kAdviseKind, Next());
        DWORD cancel = 0;
        const std::string problem = StartAdvise(own->c, t, start, kInterval, &cancel);
        Check("advise", problem);
        if (!problem.empty()) return;
        std::vector<ULONGLONG> due;
        for (ULONGLONG k = 1; k <= kWindows; ++k) due.push_back(start + k * kInterval);
        Await(*own->sink, t, due, &g_tally->worstWindowMs, &g_tally->windows);
        Check("cancel", Cancel(own->c, cancel));
        InterlockedIncrement(&g_tally->cancels);
        own->sink->Forget(t);
    }

    void Run() {
        std::mt19937 random(static_cast<unsigned>(GetCurrentProcessId() * 31 + index));
        std::discrete_distribution<int> pick(std::begin(kWeights), std::end(kWeights));
        for (stepMs = GetTickCount(); GetTickCount64() < endMs; stepMs = GetTickCount()) {
            const ReadKind kind = static_cast<ReadKind>(random() % kReadKinds);
            switch (pick(random)) {
                case kSyncRead: Check("read", SyncRead(own->c, kind)); break;
                case kSharedSyncRead: Check("read", SyncRead(shared->c, kind)); break;
                case kQueuedReads: QueuedReads(*own); break;
                case kSharedQueuedReads: QueuedReads(*shared); break;
                case kAdvise: Advise(); break;
                case kBrowse: Check("browse", Browse(own->c.server)); break;
                case kHandles: Check("handles", HandleChurn(own->c.server)); break;
                case kSharedHandles: Check("handles", HandleChurn(shared->c.server)); break;
                case kQueries: Check("queries", Queries(own->c)); break;
                default:
                    own.reset(new Session);
                    if (!own->Open()) return;
            }
        }
    }
};

DWORD WINAPI Work(void *arg) {
    static_cast<Worker *>(arg)->Run();
    return 0;
}

int Option(int argc, char **argv, const char *name, std::string *text = nullptr) {
    const size_t length = strlen(name);
    for (int i = 1; i < argc; ++i) {
        if (strncmp(argv[i], name, length) != 0) continue;
        if (text) *text = argv[i] + length;
        return atoi(argv[i] + length);
    }
    return -1;
}

}  // namespace

int main(int argc, char **argv) {
    std::string name;
    Option(argc, argv, "--results=", &name);
    const int slot = Option(argc, argv, "--slot="), threads = Option(argc, argv, "--threads="),
              seconds = Option(argc, argv, "--seconds=");
    if (name.empty() || slot < 0 || threads < 1 || threads > 60 || seconds < 1) {
        fprintf(stderr, "usage: load_client --results=NAME --slot=I --threads=T --seconds=S\n");
        return kExitUsage;
    }
    HANDLE mapping = OpenFileMappingA(FILE_MAP_WRITE, FALSE, name.c_str());
    HANDLE ready = OpenSemaphoreA(SEMAPHORE_MODIFY_STATE, FALSE, (name + ".ready").c_str());
    HANDLE go = OpenEventA(SYNCHRONIZE, FALSE, (name + ".go").c_str());
    g_busy = OpenEventA(EVENT_MODIFY_STATE, FALSE, (name + ".busy").c_str());
    LoadTally *slots = mapping ? static_cast<LoadTally *>(
                                     MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0))
                               : nullptr;
    if (!slots || !ready || !go || !g_busy) return kExitUsage;
    g_tally = &slots[slot];

    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    int result = 0;
    {
        // The shared connection is opened first and closed last: its sink
        // keeps this process's data-callback stub registered throughout.
        Session shared;
        bool connected = shared.Open();
        std::vector<Worker> workers(threads);
        for (int i = 0; i < threads; ++i) {
            workers[i].index = i;
            workers[i].shared = &shared;
            connected = connected && workers[i].own->Open();
        }
        ReleaseSemaphore(ready, 1, nullptr);
        if (connected && WaitForSingleObject(go, 120000) == WAIT_OBJECT_0) {
            const ULONGLONG endMs = GetTickCount64() + 1000ull * seconds;
            std::vector<HANDLE> running;
            for (Worker &w : workers) {
                w.endMs = endMs;
                w.stepMs = GetTickCount();
                running.push_back(CreateThread(nullptr, 0, Work, &w, 0, nullptr));
            }
            while (WaitForMultipleObjects(static_cast<DWORD>(running.size()), running.data(), TRUE,
                                          500) == WAIT_TIMEOUT) {
                for (const Worker &w : workers) {
                    if (GetTickCount() - w.stepMs < kBlockedMs) continue;
                    Fail("a step stayed blocked for " + std::to_string(kBlockedMs / 1000) + " s");
                    TerminateProcess(GetCurrentProcess(), kExitBlocked);
                }
            }
            for (HANDLE h : running) CloseHandle(h);
        } else {
            Fail("not connected, or no go within 2 minutes");
        }
    }
    g_tally->calls = CallsMade();
    result = g_tally->failures || g_tally->timeouts ? kExitFailed : 0;
    CoUninitialize();
    return result;
}
