// Advise load on one server (10 ms tick): N connections (10, 50, 100), each
// with an AdviseRaw of the live item (a value every 10 ms), start NOW,
// 100 ms windows, for 10 s. All connections advise at the same moment, so
// their windows fall due together: the harshest case for the server's pass.
// The connections are spread over at most 10 client processes (N/10 each).
// 100 Wine processes fit in memory (about 3.3 GB) but not in 2 cores: they
// took 9-18 s to start, and with a process per connection their own
// scheduling set the lateness (median 3 s at N = 100, against 0.04-0.3 s
// with 10 processes). A larger maximum can be given on the command line.
// Per N it prints:
// - windows delivered before the stop against windows due (whole windows
//   ended between each advise's start and its stop), and the windows still
//   missing more than the target lateness after their end (target: none);
// - the lateness of each window: its arrival in the client's sink minus its
//   end. The server resolves NOW while the AdviseRaw call runs; the client
//   pins that start down to 10 ms from the call's duration and the stamps
//   of the values delivered (see Add), and a lateness is overstated by at
//   most what is left, printed beside it. Target: at most one tick + one
//   interval (110 ms);
// - the server's CPU time while nothing is due, measured over a 4 s stretch
//   with all N connections open and no advise yet: windows of N advises
//   started at slightly different moments leave no quiet stretch between
//   them to measure. Target: under 1% of a core. Its CPU time while the
//   advises run is shown for comparison.
// The server reports its own CPU time: under Wine, GetProcessTimes of
// another process returns the caller's own times.
//   advise_load_bench [max client processes]                  runs everything
//   advise_load_bench client <tag> <connections> <file>       one client process
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "AsyncBenchClient.h"
#include "BenchClock.h"
#include "BenchProcess.h"
#include "BenchStats.h"
#include "BenchTable.h"

namespace {

using namespace asyncbench;
using namespace bench;

constexpr int kConnectionCounts[] = {10, 50, 100};
constexpr int kDefaultMaxProcesses = 10;
constexpr unsigned long long kIntervalTicks = 1000000;  // 100 ms
constexpr unsigned long long kMs = 10000;
// Targets: every window delivered, none later than one tick plus one
// interval, and open connections with nothing due cost the server under 1%
// of a core.
constexpr unsigned long long kTargetLateness = (kTickMs + 100) * kMs;
constexpr double kTargetIdlePercent = 1;
constexpr DWORD kIdleMs = 4000;
constexpr DWORD kAdviseMs = 10000;
constexpr DWORD kSettleMs = 1000;
constexpr DWORD kStartTimeoutMs = 120000;
constexpr DWORD kEndTimeoutMs = 60000;
constexpr DWORD kTransaction = 7;

// ---- the client processes ----

// One window as its sink saw it.
struct Window {
    unsigned long long arrival = 0;
    HRESULT status = S_OK;
    HRESULT error = S_OK;
    DWORD transaction = 0;
    DWORD values = 0;
    unsigned long long first = 0, last = 0;  // stamps of the first and last value
};

// Records every OnDataChange: its arrival time (on entry) and its shape.
class WindowSink : public DataSink {
public:
    WindowSink() {
        InitializeCriticalSection(&lock_);
        windows_.reserve(4 * kAdviseMs / 100);
    }
    ~WindowSink() override { DeleteCriticalSection(&lock_); }

    HRESULT STDMETHODCALLTYPE OnDataChange(DWORD transaction, HRESULT hr, DWORD count,
                                           OPCHDA_ITEM *items, HRESULT *errors) override {
        Window w;
        w.arrival = UtcNow();
        w.status = hr;
        w.transaction = transaction;
        if (count >= 1) {
            w.error = errors[0];
            w.values = items[0].dwCount;
            if (w.values) {
                w.first = Ticks(items[0].pftTimeStamps[0]);
                w.last = Ticks(items[0].pftTimeStamps[w.values - 1]);
            }
        }
        EnterCriticalSection(&lock_);
        windows_.push_back(w);
        LeaveCriticalSection(&lock_);
        return S_OK;
    }

    std::vector<Window> Windows() {
        EnterCriticalSection(&lock_);
        std::vector<Window> copy = windows_;
        LeaveCriticalSection(&lock_);
        return copy;
    }

private:
    CRITICAL_SECTION lock_;
    std::vector<Window> windows_;
};

// The named signals of one run of N connections.
struct Signals {
    HANDLE ready, advise, started, stop;

    static std::string Name(const std::string &tag, const char *what) {
        return "HalvexAdviseBench" + std::string(what) + "-" + tag;
    }
    void Create(const std::string &tag, LONG processes) {
        ready = CreateSemaphoreA(nullptr, 0, processes, Name(tag, "Ready").c_str());
        started = CreateSemaphoreA(nullptr, 0, processes, Name(tag, "Started").c_str());
        advise = CreateEventA(nullptr, TRUE, FALSE, Name(tag, "Advise").c_str());
        stop = CreateEventA(nullptr, TRUE, FALSE, Name(tag, "Stop").c_str());
        if (!ready || !started || !advise || !stop) Fail("creating the signals");
    }
    void Open(const std::string &tag) {
        ready = OpenSemaphoreA(SEMAPHORE_MODIFY_STATE, FALSE, Name(tag, "Ready").c_str());
        started = OpenSemaphoreA(SEMAPHORE_MODIFY_STATE, FALSE, Name(tag, "Started").c_str());
        advise = OpenEventA(SYNCHRONIZE, FALSE, Name(tag, "Advise").c_str());
        stop = OpenEventA(SYNCHRONIZE, FALSE, Name(tag, "Stop").c_str());
        if (!ready || !started || !advise || !stop) Fail("opening the signals");
    }
    void Close() {
        for (HANDLE h : {ready, advise, started, stop})
            if (h) CloseHandle(h);
    }
};

// Opens its connections, reports ready, advises on the signal, and at the
// stop cancels, unadvises, makes one round trip and lets go, then writes per
// connection a line "C <before> <after> <stop> <quiet>" (times of the
// AdviseRaw call and of the stop; quiet: the server let go of the sink)
// followed by its windows "W <arrival> <status> <error> <transaction>
// <values> <first> <last>".
int ClientMain(const char *tag, int count, const char *file) {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    Signals signals = {};
    signals.Open(tag);
    std::vector<WindowSink *> sinks(count);
    std::vector<Connection> connections(count);
    const std::vector<std::string> ids = {kLiveItemId};
    for (int i = 0; i < count; ++i) {
        sinks[i] = new WindowSink();
        connections[i].Open(ids, sinks[i]);
    }
    ReleaseSemaphore(signals.ready, 1, nullptr);
    if (WaitForSingleObject(signals.advise, kStartTimeoutMs) != WAIT_OBJECT_0)
        Fail("waiting for the advise signal", E_FAIL);

    struct Advise {
        unsigned long long before, after, stop;
        DWORD cancelId;
        bool quiet;
    };
    std::vector<Advise> advises(count);
    const FILETIME interval = FromTicks(kIntervalTicks);
    for (int i = 0; i < count; ++i) {
        Connection &c = connections[i];
        WCHAR now[] = L"NOW";
        OPCHDA_TIME start = {TRUE, now, {}};
        HRESULT *errors = nullptr;
        advises[i].before = UtcNow();
        HRESULT hr = c.asyncRead->AdviseRaw(kTransaction, &start, interval, 1, c.handles.data(),
                                            &advises[i].cancelId, &errors);
        advises[i].after = UtcNow();
        if (hr != S_OK) Fail("AdviseRaw", hr);
        CoTaskMemFree(errors);
    }
    ReleaseSemaphore(signals.started, 1, nullptr);
    if (WaitForSingleObject(signals.stop, kStartTimeoutMs) != WAIT_OBJECT_0)
        Fail("waiting for the stop signal", E_FAIL);

    for (int i = 0; i < count; ++i) {
        advises[i].stop = UtcNow();
        HRESULT hr = connections[i].asyncRead->Cancel(advises[i].cancelId);
        if (hr != S_OK) Fail("Cancel", hr);
    }
    for (Connection &c : connections) c.Close();
    for (int i = 0; i < count; ++i) advises[i].quiet = sinks[i]->WaitOwnerOnly(2000);

    FILE *f = fopen(file, "w");
    if (!f) return 1;
    for (int i = 0; i < count; ++i) {
        const Advise &a = advises[i];
        fprintf(f, "C %llu %llu %llu %d\n", a.before, a.after, a.stop, a.quiet ? 1 : 0);
        for (const Window &w : sinks[i]->Windows()) {
            fprintf(f, "W %llu %ld %ld %lu %lu %llu %llu\n", w.arrival, static_cast<long>(w.status),
                    static_cast<long>(w.error), static_cast<unsigned long>(w.transaction),
                    static_cast<unsigned long>(w.values), w.first, w.last);
        }
        if (a.quiet) delete sinks[i];  // else the server may still call it
    }
    fclose(f);
    signals.Close();
    CoUninitialize();
    return 0;
}

// ---- the run ----

// The server's CPU report, asked for through its named objects.
CpuReport AskServerCpu() {
    HANDLE ask = OpenEventA(EVENT_MODIFY_STATE, FALSE, kCpuAskEvent);
    HANDLE done = OpenEventA(SYNCHRONIZE, FALSE, kCpuDoneEvent);
    HANDLE mapping = OpenFileMappingA(FILE_MAP_READ, FALSE, kCpuMapping);
    if (!ask || !done || !mapping) Fail("opening the server's CPU report");
    const void *view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, sizeof(CpuReport));
    if (!view) Fail("mapping the server's CPU report");
    SetEvent(ask);
    if (WaitForSingleObject(done, 5000) != WAIT_OBJECT_0) Fail("the server's CPU report", E_FAIL);
    CpuReport report;
    memcpy(&report, view, sizeof report);
    UnmapViewOfFile(view);
    CloseHandle(mapping);
    CloseHandle(done);
    CloseHandle(ask);
    return report;
}

// Per cent of one core between two reports of the same server process.
double CpuPercent(const CpuReport &a, const CpuReport &b, double seconds) {
    if (a.processId != b.processId) Fail("CPU reports from two server processes");
    return 100.0 * static_cast<double>(b.cpuTicks - a.cpuTicks) / 1e7 / seconds;
}

struct Totals {
    long long delivered = 0, due = 0, missing = 0, late = 0, empty = 0, misplaced = 0, strays = 0;
    long long values = 0;
    int loud = 0;                      // connections whose sink the server kept
    unsigned long long uncertainty = 0;  // widest range left for an advise's start
    std::vector<double> latenessMs;
};

// One connection's advise as its client recorded it.
struct AdviseRecord {
    unsigned long long before = 0, after = 0, stop = 0;
    bool quiet = true;
    std::vector<Window> windows;  // those that arrived by the stop, in order
};

// Adds one advise to the totals. Window k is [S + (k-1)I, S + kI] and the
// live item has a value at every 10 ms, so the first value of a window lies
// within 10 ms after its start and the last within 10 ms before its end:
// each window with values narrows the start S, which also lies within the
// AdviseRaw call [before, after] when both processes read the same clock.
// The lateness is taken against the earliest S left, which overstates it by
// at most the width of the range left.
void Add(const AdviseRecord &a, Totals &t) {
    const unsigned long long step = kLiveStepTicks;
    unsigned long long low = 0, high = ~0ull;
    for (size_t i = 0; i < a.windows.size(); ++i) {
        const Window &w = a.windows[i];
        if (w.transaction != kTransaction) ++t.strays;
        if (w.status != S_OK || w.error != S_OK || w.values == 0) {
            ++t.empty;
            continue;
        }
        t.values += w.values;
        const unsigned long long opens = i * kIntervalTicks, closes = (i + 1) * kIntervalTicks;
        // first - step < S + opens <= first; last <= S + closes < last + step.
        low = std::max({low, w.first + 1 - step - opens, w.last - closes});
        high = std::min({high, w.first - opens, w.last + step - 1 - closes});
    }
    if (low > high) {
        // Values outside their windows: no start fits them all.
        ++t.misplaced;
        low = high = a.before;
    } else if (std::max(low, a.before) <= std::min(high, a.after)) {
        low = std::max(low, a.before);
        high = std::min(high, a.after);
    } else if (a.windows.empty()) {
        low = a.before;
        high = a.after;
    }
    t.uncertainty = std::max(t.uncertainty, high - low);
    const unsigned long long start = low;
    t.due += static_cast<long long>((a.stop - start) / kIntervalTicks);
    // Windows that ended more than the target before the stop and have not arrived.
    const long long overdue =
        a.stop - start >= kTargetLateness
            ? static_cast<long long>((a.stop - start - kTargetLateness) / kIntervalTicks)
            : 0;
    t.missing += std::max(0LL, overdue - static_cast<long long>(a.windows.size()));
    t.delivered += static_cast<long long>(a.windows.size());
    for (size_t i = 0; i < a.windows.size(); ++i) {
        const unsigned long long end = start + (i + 1) * kIntervalTicks;
        const unsigned long long arrival = a.windows[i].arrival;
        if (arrival > end + kTargetLateness) ++t.late;
        t.latenessMs.push_back((static_cast<double>(arrival) - static_cast<double>(end)) / kMs);
    }
    if (!a.quiet) ++t.loud;
}

// Adds one client's file to the totals.
void Collect(const std::string &file, Totals &t) {
    FILE *f = fopen(file.c_str(), "r");
    if (!f) Fail("reading a client's figures");
    char kind[2];
    AdviseRecord a;
    bool open = false;
    while (fscanf(f, "%1s", kind) == 1) {
        if (kind[0] == 'C') {
            if (open) Add(a, t);
            a = AdviseRecord();
            int quiet = 0;
            if (fscanf(f, "%llu %llu %llu %d", &a.before, &a.after, &a.stop, &quiet) != 4) break;
            a.quiet = quiet != 0;
            open = true;
            continue;
        }
        Window w;
        long status, error;
        unsigned long transaction, values;
        if (fscanf(f, "%llu %ld %ld %lu %lu %llu %llu", &w.arrival, &status, &error, &transaction,
                   &values, &w.first, &w.last) != 7)
            break;
        w.status = status;
        w.error = error;
        w.transaction = transaction;
        w.values = values;
        if (w.arrival <= a.stop) a.windows.push_back(w);
    }
    if (open) Add(a, t);
    fclose(f);
}

// Kills the client processes still running after a time-out (they are this
// program's own children, by handle).
void EndClients(const std::vector<HANDLE> &processes) {
    for (HANDLE p : processes) {
        if (WaitForSingleObject(p, 0) == WAIT_TIMEOUT) TerminateProcess(p, 2);
    }
}

// One run of N connections: no fault (every client ended well, no stray or
// misplaced window, no sink kept), and the server's CPU while idle.
struct LoadResult {
    bool ok;
    double idlePercent;
};

LoadResult RunLoad(int connections, int maxProcesses) {
    const int processes = std::min(connections, maxProcesses);
    // The first N mod processes clients take one connection more.
    const int perProcess = connections / processes, extra = connections % processes;
    const std::string tag =
        std::to_string(GetCurrentProcessId()) + "-" + std::to_string(connections);
    Signals signals = {};
    signals.Create(tag, processes);

    // The server runs before the clients arrive, so that they do not all
    // start one at once; this connection goes before the measurements.
    IUnknown *holder = ActivateServer(kServerClsid);
    const std::string exe = ThisProgram();
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::vector<std::string> files;
    std::vector<HANDLE> children;
    const double launched = Seconds();
    for (int i = 0; i < processes; ++i) {
        char file[MAX_PATH];
        GetTempFileNameA(temp, "hal", 0, file);
        files.push_back(file);
        std::string command = "\"" + exe + "\" client " + tag + " " +
                              std::to_string(perProcess + (i < extra ? 1 : 0)) + " \"" + file +
                              "\"";
        HANDLE child = StartProgram(command);
        if (!child) Fail("CreateProcess of a client");
        children.push_back(child);
    }
    for (int i = 0; i < processes; ++i) {
        if (WaitForSingleObject(signals.ready, kStartTimeoutMs) != WAIT_OBJECT_0) {
            EndClients(children);
            Fail("waiting for the clients to connect", E_FAIL);
        }
    }
    const double startup = Seconds() - launched;
    holder->Release();
    Sleep(kSettleMs);

    // Idle: every connection open, nothing advised.
    const CpuReport idleFrom = AskServerCpu();
    double t0 = Seconds();
    Sleep(kIdleMs);
    const CpuReport idleTo = AskServerCpu();
    const double idlePercent = CpuPercent(idleFrom, idleTo, Seconds() - t0);

    SetEvent(signals.advise);
    for (int i = 0; i < processes; ++i) {
        if (WaitForSingleObject(signals.started, kStartTimeoutMs) != WAIT_OBJECT_0) {
            EndClients(children);
            Fail("waiting for the advises", E_FAIL);
        }
    }
    const CpuReport busyFrom = AskServerCpu();
    t0 = Seconds();
    Sleep(kAdviseMs);
    const CpuReport busyTo = AskServerCpu();
    const double busyPercent = CpuPercent(busyFrom, busyTo, Seconds() - t0);
    SetEvent(signals.stop);

    bool ok = true;
    const DWORD deadline = GetTickCount() + kEndTimeoutMs;
    bool ended = true;
    for (HANDLE p : children) {
        const DWORD left = static_cast<LONG>(deadline - GetTickCount()) > 0
                               ? deadline - GetTickCount()
                               : 0;
        if (WaitForSingleObject(p, left) != WAIT_OBJECT_0) ended = false;
    }
    if (!ended) {
        printf("    fault: client processes still running %lu s after the stop; ended\n",
               kEndTimeoutMs / 1000);
        EndClients(children);
        ok = false;
    }
    Totals t;
    for (size_t i = 0; i < children.size(); ++i) {
        DWORD code = 1;
        GetExitCodeProcess(children[i], &code);
        if (code != 0) {
            printf("    fault: client process %d exited with %lu\n", static_cast<int>(i),
                   static_cast<unsigned long>(code));
            ok = false;
        } else {
            Collect(files[i], t);
        }
        DeleteFileA(files[i].c_str());
        CloseHandle(children[i]);
    }
    signals.Close();

    const double worst = t.latenessMs.empty()
                             ? 0
                             : *std::max_element(t.latenessMs.begin(), t.latenessMs.end());
    printf("N = %d connections (%d client processes x %d%s, connected in %.1f s), one "
           "AdviseRaw each, 100 ms windows, %lu s\n",
           connections, processes, perProcess, extra ? " or more" : "", startup,
           kAdviseMs / 1000);
    printf("    windows delivered / due:         %lld / %lld  (due > %llu ms before the stop and "
           "missing: %lld; target: none)\n",
           t.delivered, t.due, kTargetLateness / kMs, t.missing);
    printf("    values per window:               %.1f  (windows without values: %lld)\n",
           t.delivered - t.empty ? static_cast<double>(t.values) / (t.delivered - t.empty) : 0,
           t.empty);
    printf("    lateness (arrival - window end): median %.1f ms, 99th percentile %.1f ms, worst "
           "%.1f ms; %lld windows later than %llu ms (target: none; each lateness overstated by "
           "up to %.1f ms)\n",
           Percentile(t.latenessMs, 0.5), Percentile(t.latenessMs, 0.99), worst, t.late,
           kTargetLateness / kMs, static_cast<double>(t.uncertainty) / kMs);
    printf("    server CPU, %ld connections open, nothing advised, %.0f s: %.2f%% of a core, "
           "%.3f%% per connection (target < %.0f%%)\n",
           static_cast<long>(idleTo.connections), kIdleMs / 1000.0, idlePercent,
           idlePercent / connections, kTargetIdlePercent);
    printf("    server CPU while the advises run:  %.1f%% of a core\n", busyPercent);
    if (idleTo.connections != connections) {
        printf("    fault: the server counted %ld connections, not %d\n",
               static_cast<long>(idleTo.connections), connections);
        ok = false;
    }
    if (t.misplaced || t.strays) {
        printf("    fault: %lld windows with values outside the window, %lld of another "
               "transaction\n",
               t.misplaced, t.strays);
        ok = false;
    }
    if (t.loud) {
        printf("    fault: the server kept %d sinks after Unadvise and a round trip\n", t.loud);
        ok = false;
    }
    fflush(stdout);
    TableRow(Format("AdviseRaw, %d connections, 100 ms windows for %lu s: windows missing, "
                    "worst lateness",
                    connections, kAdviseMs / 1000),
             Format("%lld of %lld, %.0f ms", t.missing, t.due, worst),
             Format("none, <= %llu ms", kTargetLateness / kMs), t.missing == 0 && t.late == 0);
    return {ok, idlePercent};
}

}  // namespace

int main(int argc, char **argv) {
    if (argc == 5 && strcmp(argv[1], "client") == 0)
        return ClientMain(argv[2], atoi(argv[3]), argv[4]);
    const int maxProcesses = argc == 2 ? std::max(1, atoi(argv[1])) : kDefaultMaxProcesses;

    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    RegisterServer(kServerExe);
    printf("Advise load, server tick %u ms; connections spread over at most %d client "
           "processes (100 Wine processes on 2 cores swamp the clients' own scheduling)\n",
           kTickMs, maxProcesses);
    fflush(stdout);
    bool ok = true;
    double idle = 0;
    int idleAt = 0;
    std::string counts;
    for (int n : kConnectionCounts) {
        const LoadResult r = RunLoad(n, maxProcesses);
        ok = r.ok && ok;
        if (idleAt == 0 || r.idlePercent > idle) {
            idle = r.idlePercent;
            idleAt = n;
        }
        counts += (counts.empty() ? "" : ", ") + std::to_string(n);
    }
    TableRow("AdviseRaw: server CPU with " + counts +
                 " connections open, nothing advised (highest)",
             Format("%.2f%% of a core (%d connections)", idle, idleAt),
             Format("< %.0f%% of a core", kTargetIdlePercent), idle < kTargetIdlePercent);
    CoUninitialize();
    return ok ? 0 : 1;
}
