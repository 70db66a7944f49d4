// Cost of IOPCHDA_SyncRead::ReadRaw, 9 items x 5000 values per read:
// (a) in process, the toolkit's ReadRaw against a hand-written loop making
//     the same callback calls and filling the same arrays;
// (b) across processes through the proxy, the toolkit server against a bare
//     ReadRaw of the same server program;
// (c) the toolkit server read by one client, then by two at once; the same
//     for the bare reader, which shows what the machine and Wine allow.
// (a) and (b) report medians of blocks of reads, the two sides of a
// comparison taking turns block by block so that drift hits both alike, and
// as ratio ("paired") the median of the ratios of blocks taken in the same
// turn, which can differ from the ratio of the medians on a busy machine.
//   read_bench                                            runs everything
//   read_bench client <file> <tag> <index> toolkit|bare   one client of (c)
#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "BenchClock.h"
#include "BenchProcess.h"
#include "BenchReads.h"
#include "BenchStats.h"
#include "BenchTable.h"
#include "Halvex.h"
#include "ReadBenchIds.h"
#include "opchda.h"
#include "server/GridSource.h"

namespace {

using namespace bench;
using namespace readbench;

constexpr double kValuesPerRead = static_cast<double>(kItems) * kValues;

// Targets. In process, the toolkit adds at most 30% to the least work that
// makes the same callback calls and fills the same arrays (the hand loop).
constexpr double kTargetInProcessRatio = 1.3;
// Across processes the proxy's traffic should set the pace: the toolkit
// server keeps at least 90% of a bare ReadRaw's throughput.
constexpr double kTargetCrossRatio = 0.9;
// A lone client keeps about one core busy and a second can use the other
// (see (c) below): on 2 cores two clients reach at least 1.6 times one
// client's throughput, the ideal being 2.
constexpr double kTargetTwoClientRatio = 1.6;

// A read returned every value of every item, with GridSource's values.
void CheckRead(const char *what, HRESULT hr, const OPCHDA_ITEM *items, const HRESULT *errors) {
    if (hr != S_OK) Fail(what, hr);
    for (int i = 0; i < kItems; ++i) {
        const OPCHDA_ITEM &item = items[i];
        const double first = i * 1000.0 + static_cast<double>(kStartTicks / kStepTicks % 1000);
        if (errors[i] != S_OK || item.dwCount != kValues ||
            Ticks(item.pftTimeStamps[0]) != kStartTicks ||
            Ticks(item.pftTimeStamps[kValues - 1]) != kEndTicks ||
            item.pvDataValues[0].vt != VT_R8 || item.pvDataValues[0].dblVal != first) {
            fprintf(stderr, "%s: unexpected result for item %d\n", what, i);
            exit(1);
        }
    }
}

// The read's absolute start and end times.
struct Range {
    OPCHDA_TIME start = {FALSE, nullptr, FromTicks(kStartTicks)};
    OPCHDA_TIME end = {FALSE, nullptr, FromTicks(kEndTicks)};
};

// A toolkit connection: server object, handles of the 9 items, reader.
struct Connection {
    IOPCHDA_Server *server = nullptr;
    IOPCHDA_SyncRead *reader = nullptr;
    OPCHANDLE handles[kItems] = {};

    void Open(IUnknown *object) {
        HRESULT hr = object->QueryInterface(IID_IOPCHDA_Server, reinterpret_cast<void **>(&server));
        if (FAILED(hr)) Fail("QueryInterface(IOPCHDA_Server)", hr);
        hr = object->QueryInterface(IID_IOPCHDA_SyncRead, reinterpret_cast<void **>(&reader));
        if (FAILED(hr)) Fail("QueryInterface(IOPCHDA_SyncRead)", hr);
        const std::vector<OPCHANDLE> found =
            ItemHandles(server, std::vector<std::string>(kItemIds, kItemIds + kItems), 100);
        std::copy(found.begin(), found.end(), handles);
    }
    void Close() {
        reader->Release();
        if (server) server->Release();
    }
};

int CountProcesses(const char *exeName) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Process32First(snapshot, &entry); more;
         more = Process32Next(snapshot, &entry)) {
        if (_stricmp(entry.szExeFile, exeName) == 0) ++count;
    }
    CloseHandle(snapshot);
    return count;
}

// Seconds one round took: the read alone, and the read with freeing.
struct Round {
    double read;
    double total;
};

// Two sides of a comparison, measured in turns: per block, each side's mean
// seconds per round.
struct Comparison {
    std::vector<Round> blocks[2];

    double Median(double Round::*field, int side) const {
        std::vector<double> v;
        for (const Round &r : blocks[side]) v.push_back(r.*field);
        return bench::Median(v);
    }
    // The median of the ratios of the blocks taken in the same turn: they
    // ran under much the same conditions, which a ratio of medians does not
    // ensure on a busy machine.
    double Ratio(double Round::*field, int numerator, int denominator) const {
        std::vector<double> v;
        for (size_t k = 0; k < blocks[0].size(); ++k)
            v.push_back(blocks[numerator][k].*field / (blocks[denominator][k].*field));
        return bench::Median(v);
    }
};

// Runs blocks of `rounds` rounds of each side in turn, the first of each
// pair alternating, after one unrecorded block each, until each side has had
// `seconds` of measured time in at least `minBlocks` blocks.
Comparison Alternate(const std::function<Round()> &first, const std::function<Round()> &second,
                     int rounds, double seconds, int minBlocks) {
    const std::function<Round()> *sides[2] = {&first, &second};
    Comparison result;
    double spent[2] = {0, 0};
    for (int block = 0; block <= minBlocks || spent[0] < seconds || spent[1] < seconds; ++block) {
        for (int turn = 0; turn < 2; ++turn) {
            const int s = block % 2 ? 1 - turn : turn;
            Round sum = {0, 0};
            for (int r = 0; r < rounds; ++r) {
                Round one = (*sides[s])();
                sum.read += one.read;
                sum.total += one.total;
            }
            if (block == 0) continue;
            result.blocks[s].push_back({sum.read / rounds, sum.total / rounds});
            spent[s] += sum.total;
        }
    }
    return result;
}

// Throughput of one reader alone and of two at once, and their ratio, from
// phases of one reader, two, one, ..., one: the medians over the phases, each
// two-reader phase set against the mean of the one-reader phases beside it.
struct Scaling {
    double one, two, ratio;
};

Scaling FromPhases(const std::vector<double> &rates) {
    std::vector<double> one, two, ratios;
    for (size_t k = 0; k < rates.size(); ++k) (k % 2 ? two : one).push_back(rates[k]);
    for (size_t k = 1; k + 1 < rates.size(); k += 2)
        ratios.push_back(rates[k] / ((rates[k - 1] + rates[k + 1]) / 2));
    return {Median(one), Median(two), Median(ratios)};
}

// ---- (a) in process ----

constexpr int kInProcessPhases = 7;  // one thread, two, one, ..., one
constexpr double kInProcessPhaseSeconds = 0.5;

void *ItemArg(DWORD item) { return reinterpret_cast<void *>(static_cast<uintptr_t>(item)); }

template <class T>
T *ZeroArray(size_t count) {
    void *p = CoTaskMemAlloc(count * sizeof(T));
    if (p) memset(p, 0, count * sizeof(T));
    return static_cast<T *>(p);
}

// The least work that yields ReadRaw's results from the callback: the same
// calls (GetTimeStamps, then ReadAt per value) and arrays of the same shape,
// with one stamp buffer kept across reads.
HRESULT HandRead(CVxHDACallback *source, const OPCHANDLE *handles, const FILETIME &start,
                 const FILETIME &end, FILETIME *buffer, OPCHDA_ITEM **ppItems,
                 HRESULT **ppErrors) {
    HRESULT *errors = ZeroArray<HRESULT>(kItems);
    OPCHDA_ITEM *items = ZeroArray<OPCHDA_ITEM>(kItems);
    if (!errors || !items) return E_OUTOFMEMORY;
    for (int i = 0; i < kItems; ++i) {
        void *item = ItemArg(handles[i]);
        FILETIME from = start, to = end;
        long n = source->GetTimeStamps(item, &from, &to, kValues, buffer);
        if (n <= 0) {
            errors[i] = 0x40041002;  // no data
            continue;
        }
        FILETIME *stamps = ZeroArray<FILETIME>(kValues);
        DWORD *qualities = ZeroArray<DWORD>(kValues);
        VARIANT *values = ZeroArray<VARIANT>(kValues);
        if (!stamps || !qualities || !values) return E_OUTOFMEMORY;
        OPCHDA_ITEM &record = items[i];
        record.hClient = 100 + i;
        record.dwCount = static_cast<DWORD>(n);
        record.pftTimeStamps = stamps;
        record.pdwQualities = qualities;
        record.pvDataValues = values;
        for (long j = 0; j < n; ++j) {
            VariantInit(&values[j]);
            stamps[j] = buffer[j];
            if (source->ReadAt(item, buffer[j], &values[j], &qualities[j]) != S_OK) {
                qualities[j] = 32;  // no value
                VariantClear(&values[j]);
            }
        }
        errors[i] = S_OK;
    }
    *ppItems = items;
    *ppErrors = errors;
    return S_OK;
}

// One read through the interface and its freeing.
Round InterfaceRound(Connection &c) {
    Range range;
    OPCHDA_ITEM *items = nullptr;
    HRESULT *errors = nullptr;
    double t0 = Seconds();
    HRESULT hr = c.reader->ReadRaw(&range.start, &range.end, kValues, FALSE, kItems, c.handles,
                                   &items, &errors);
    double t1 = Seconds();
    if (hr != S_OK) CheckRead("ReadRaw in process", hr, items, errors);
    FreeResults(items, errors, kItems);
    return {t1 - t0, Seconds() - t0};
}

// One hand-loop read and its freeing.
Round HandRound(CVxHDACallback *source, const OPCHANDLE *handles, FILETIME *buffer) {
    OPCHDA_ITEM *items = nullptr;
    HRESULT *errors = nullptr;
    double t0 = Seconds();
    HRESULT hr = HandRead(source, handles, FromTicks(kStartTicks), FromTicks(kEndTicks), buffer,
                          &items, &errors);
    double t1 = Seconds();
    if (hr != S_OK) CheckRead("hand loop", hr, items, errors);
    FreeResults(items, errors, kItems);
    return {t1 - t0, Seconds() - t0};
}

// Values per second of `threads` threads reading at once for `seconds`;
// thread i makes its reads with read(i).
double ThreadPhase(int threads, double seconds, const std::function<Round(int)> &read) {
    volatile LONG reads = 0;
    const double t0 = Seconds(), deadline = t0 + seconds;
    std::vector<std::thread> pool;
    for (int i = 0; i < threads; ++i) {
        pool.emplace_back([&, i] {
            CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            while (Seconds() < deadline) {
                read(i);
                InterlockedIncrement(&reads);
            }
            CoUninitialize();
        });
    }
    for (std::thread &t : pool) t.join();
    return reads * kValuesPerRead / (Seconds() - t0);
}

// In-process scaling, for (c): the toolkit's read path and the hand loop.
struct InProcessScaling {
    Scaling toolkit, hand;
};

InProcessScaling InProcess() {
    static GridSource source;
    for (const char *id : kItemIds) source.AddItem(DefineHDAItem(id), id);
    source.AddItem(DefineHDAItem(kEmptyItemId), kEmptyItemId);
    SetHDAServerCallback(&source);
    if (!InitHalvex(kInprocClsid, 1000)) Fail("InitHalvex");

    IClassFactory *factory = nullptr;
    HRESULT hr = CoGetClassObject(kInprocClsid, CLSCTX_LOCAL_SERVER, nullptr, IID_IClassFactory,
                                  reinterpret_cast<void **>(&factory));
    if (FAILED(hr)) Fail("CoGetClassObject", hr);
    // Two connections: the second serves a second thread.
    Connection connections[2];
    for (Connection &c : connections) {
        IUnknown *object = nullptr;
        hr = factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void **>(&object));
        if (FAILED(hr)) Fail("CreateInstance", hr);
        c.Open(object);
        object->Release();
    }
    Connection &c = connections[0];

    // Calls through the base class, as the toolkit makes them.
    CVxHDACallback *callback = &source;
    std::vector<FILETIME> buffers[2] = {std::vector<FILETIME>(kValues),
                                        std::vector<FILETIME>(kValues)};
    // One checked read of each.
    for (int side = 0; side < 2; ++side) {
        Range range;
        OPCHDA_ITEM *items = nullptr;
        HRESULT *errors = nullptr;
        hr = side == 0 ? c.reader->ReadRaw(&range.start, &range.end, kValues, FALSE, kItems,
                                           c.handles, &items, &errors)
                       : HandRead(callback, c.handles, FromTicks(kStartTicks),
                                  FromTicks(kEndTicks), buffers[0].data(), &items, &errors);
        CheckRead(side == 0 ? "ReadRaw in process" : "hand loop", hr, items, errors);
        FreeResults(items, errors, kItems);
    }

    Comparison m = Alternate([&] { return InterfaceRound(c); },
                             [&] { return HandRound(callback, c.handles, buffers[0].data()); },
                             20, 1.5, 6);
    const double toNs = 1e9 / kValuesPerRead;
    printf("(a) in process, ReadRaw of %d items x %lu values (median of blocks of 20 reads)\n",
           kItems, static_cast<unsigned long>(kValues));
    printf("    IOPCHDA_SyncRead::ReadRaw:               %7.2f ns/value  (%7.2f with freeing)\n",
           m.Median(&Round::read, 0) * toNs, m.Median(&Round::total, 0) * toNs);
    printf("    hand loop, same callbacks and arrays:    %7.2f ns/value  (%7.2f with freeing)\n",
           m.Median(&Round::read, 1) * toNs, m.Median(&Round::total, 1) * toNs);
    const double ratio = m.Ratio(&Round::read, 0, 1);
    printf("    ratio interface / hand loop, paired:     %7.2f           (%7.2f with freeing; "
           "target <= %.1f)\n",
           ratio, m.Ratio(&Round::total, 0, 1), kTargetInProcessRatio);
    TableRow(Format("ReadRaw in process, %d x %lu values: toolkit / hand loop, time", kItems,
                    static_cast<unsigned long>(kValues)),
             Format("%.2f (%.1f / %.1f ns per value)", ratio, m.Median(&Round::read, 0) * toNs,
                    m.Median(&Round::read, 1) * toNs),
             Format("<= %.1f", kTargetInProcessRatio), ratio <= kTargetInProcessRatio);

    // One thread, then two at once, each with its own connection or stamp
    // buffer; the two sides take turns phase by phase.
    std::vector<double> toolkitRates, handRates;
    for (int k = 0; k < kInProcessPhases; ++k) {
        const int threads = k % 2 ? 2 : 1;
        toolkitRates.push_back(ThreadPhase(threads, kInProcessPhaseSeconds, [&](int i) {
            return InterfaceRound(connections[i]);
        }));
        handRates.push_back(ThreadPhase(threads, kInProcessPhaseSeconds, [&](int i) {
            return HandRound(callback, c.handles, buffers[i].data());
        }));
    }
    for (Connection &each : connections) each.Close();
    factory->Release();
    return {FromPhases(toolkitRates), FromPhases(handRates)};
}

// ---- (b) and (c) across processes ----

// One cross-process read and freeing; seconds taken.
Round CrossRead(IOPCHDA_SyncRead *reader, OPCHANDLE *handles, bool check) {
    Range range;
    OPCHDA_ITEM *items = nullptr;
    HRESULT *errors = nullptr;
    double t0 = Seconds();
    HRESULT hr = reader->ReadRaw(&range.start, &range.end, kValues, FALSE, kItems, handles,
                                 &items, &errors);
    if (check || hr != S_OK) CheckRead("ReadRaw across processes", hr, items, errors);
    FreeResults(items, errors, kItems);
    double t = Seconds() - t0;
    return {t, t};
}

void CrossProcess(Connection &c) {
    IUnknown *bareObject = ActivateServer(kBareClsid);
    IOPCHDA_SyncRead *bare = nullptr;
    HRESULT hr = bareObject->QueryInterface(IID_IOPCHDA_SyncRead, reinterpret_cast<void **>(&bare));
    if (FAILED(hr)) Fail("QueryInterface(IOPCHDA_SyncRead) of the bare reader", hr);
    bareObject->Release();
    int servers = CountProcesses(kServerExe);
    if (servers != 1) printf("    warning: %d bench server processes running\n", servers);

    OPCHANDLE bareHandles[kItems];
    for (int i = 0; i < kItems; ++i) bareHandles[i] = 100 + i;
    CrossRead(c.reader, c.handles, true);
    CrossRead(bare, bareHandles, true);

    Comparison m = Alternate([&] { return CrossRead(c.reader, c.handles, false); },
                             [&] { return CrossRead(bare, bareHandles, false); }, 1, 3.0, 6);
    const double toolkitTime = m.Median(&Round::total, 0);
    const double bareTime = m.Median(&Round::total, 1);
    printf("(b) across processes through the proxy, one client (median of single reads)\n");
    printf("    toolkit server ReadRaw:                  %10.0f values/s  (%.1f ms per read)\n",
           kValuesPerRead / toolkitTime, toolkitTime * 1e3);
    printf("    bare ReadRaw, same server process:       %10.0f values/s  (%.1f ms per read)\n",
           kValuesPerRead / bareTime, bareTime * 1e3);
    // Values per second go inversely with the time per read.
    const double ratio = m.Ratio(&Round::total, 1, 0);
    printf("    ratio toolkit / bare, paired:            %10.2f           (target >= %.1f)\n",
           ratio, kTargetCrossRatio);
    TableRow(Format("ReadRaw across processes, %d x %lu values: toolkit / bare server, "
                    "throughput",
                    kItems, static_cast<unsigned long>(kValues)),
             Format("%.2f (%.1f / %.1f ms per read)", ratio, toolkitTime * 1e3, bareTime * 1e3),
             Format(">= %.1f", kTargetCrossRatio), ratio >= kTargetCrossRatio);
    bare->Release();
}

// ---- (c) two clients at once ----
//
// Two client processes rather than two threads of this one: each client then
// has its own heap, COM channel and RPC connection, so what the two share is
// the server process (and Wine's wineserver, which carries the pipe
// traffic). A lone synchronous client keeps about one core busy, as client,
// server and wineserver take turns on each read; a second client can use
// the other core, so on 2 cores the ideal ratio is 2, less whatever other
// processes on the machine take.
//
// Both clients stay connected throughout and read in phases: one alone, both,
// the other alone, both, ... Each phase's throughput counts every read with
// the part of it that fell within the phase; each two-client phase is set
// against the mean of the one-client phases beside it.

constexpr int kPhases = 9;  // one client, two, one, ..., one
constexpr DWORD kPhaseMs = 1500;

// The named signals of one run; clients open them by the run's tag.
struct Signals {
    HANDLE ready, quit, go[2], idle[2];

    static std::string Name(const std::string &tag, const char *what, int i = -1) {
        return "HalvexReadBench" + std::string(what) + "-" + tag +
               (i < 0 ? "" : "-" + std::to_string(i));
    }
    void Create(const std::string &tag) {
        ready = CreateSemaphoreA(nullptr, 0, 2, Name(tag, "Ready").c_str());
        quit = CreateEventA(nullptr, TRUE, FALSE, Name(tag, "Quit").c_str());
        for (int i = 0; i < 2; ++i) {
            go[i] = CreateEventA(nullptr, TRUE, FALSE, Name(tag, "Go", i).c_str());
            idle[i] = CreateEventA(nullptr, TRUE, TRUE, Name(tag, "Idle", i).c_str());
        }
    }
    void Open(const std::string &tag, int i) {
        ready = OpenSemaphoreA(SEMAPHORE_MODIFY_STATE, FALSE, Name(tag, "Ready").c_str());
        quit = OpenEventA(SYNCHRONIZE, FALSE, Name(tag, "Quit").c_str());
        go[i] = OpenEventA(SYNCHRONIZE, FALSE, Name(tag, "Go", i).c_str());
        idle[i] = OpenEventA(EVENT_MODIFY_STATE, FALSE, Name(tag, "Idle", i).c_str());
        if (!ready || !quit || !go[i] || !idle[i]) Fail("opening the signals");
    }
    void Close() {
        for (HANDLE h : {ready, quit, go[0], go[1], idle[0], idle[1]})
            if (h) CloseHandle(h);
    }
};

// Client `index` of (c), of the toolkit server or of the bare reader:
// connects and warms up, reports ready, then reads whenever its go signal is
// set, marking itself idle between reads when it is not. At quit it writes
// the start and end time of each read, a read a line.
int ClientMain(const char *file, const char *tag, int index, bool bare) {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    Signals signals = {};
    signals.Open(tag, index);
    IUnknown *object = ActivateServer(bare ? kBareClsid : kServerClsid);
    Connection c;
    if (bare) {
        HRESULT hr = object->QueryInterface(IID_IOPCHDA_SyncRead,
                                            reinterpret_cast<void **>(&c.reader));
        if (FAILED(hr)) Fail("QueryInterface(IOPCHDA_SyncRead) of the bare reader", hr);
        for (int i = 0; i < kItems; ++i) c.handles[i] = 100 + i;
    } else {
        c.Open(object);
    }
    object->Release();
    for (int i = 0; i < 2; ++i) CrossRead(c.reader, c.handles, i == 0);
    ReleaseSemaphore(signals.ready, 1, nullptr);
    std::vector<std::pair<double, double>> reads;
    HANDLE wake[2] = {signals.quit, signals.go[index]};
    while (WaitForMultipleObjects(2, wake, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
        while (WaitForSingleObject(signals.go[index], 0) == WAIT_OBJECT_0) {
            double t0 = Seconds();
            CrossRead(c.reader, c.handles, false);
            reads.push_back({t0, Seconds()});
        }
        SetEvent(signals.idle[index]);
    }
    c.Close();
    CoUninitialize();
    FILE *f = fopen(file, "w");
    if (!f) return 1;
    for (const auto &r : reads) fprintf(f, "%.9f %.9f\n", r.first, r.second);
    fclose(f);
    return 0;
}

Scaling TwoClients(bool bare) {
    const std::string tag = std::to_string(GetCurrentProcessId()) + (bare ? "-bare" : "");
    Signals signals = {};
    signals.Create(tag);
    const std::string exe = ThisProgram();
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string files[2];
    HANDLE processes[2];
    for (int i = 0; i < 2; ++i) {
        char file[MAX_PATH];
        GetTempFileNameA(temp, "hrb", 0, file);
        files[i] = file;
        processes[i] = StartProgram("\"" + exe + "\" client \"" + file + "\" " + tag + " " +
                                    std::to_string(i) + (bare ? " bare" : " toolkit"));
        if (!processes[i]) Fail("CreateProcess of a client");
    }
    for (int i = 0; i < 2; ++i) {
        if (WaitForSingleObject(signals.ready, 60000) != WAIT_OBJECT_0)
            Fail("waiting for the clients");
    }

    // Phases: client 0 alone, both, client 1 alone, both, client 0 alone, ...
    // A client leaving a phase finishes its read before the next one starts.
    struct Phase {
        double from, to;
    };
    std::vector<Phase> phases;
    bool active[2] = {false, false};
    for (int k = 0; k < kPhases; ++k) {
        bool want[2] = {k % 2 == 1 || k % 4 == 0, k % 2 == 1 || k % 4 == 2};
        for (int i = 0; i < 2; ++i) {
            if (active[i] && !want[i]) {
                ResetEvent(signals.go[i]);
                WaitForSingleObject(signals.idle[i], INFINITE);
            }
        }
        for (int i = 0; i < 2; ++i) {
            if (!active[i] && want[i]) {
                ResetEvent(signals.idle[i]);
                SetEvent(signals.go[i]);
            }
            active[i] = want[i];
        }
        double from = Seconds();
        Sleep(kPhaseMs);
        phases.push_back({from, Seconds()});
    }
    for (int i = 0; i < 2; ++i) ResetEvent(signals.go[i]);
    SetEvent(signals.quit);
    WaitForMultipleObjects(2, processes, TRUE, INFINITE);

    std::vector<double> rates(phases.size(), 0);
    for (int i = 0; i < 2; ++i) {
        FILE *f = fopen(files[i].c_str(), "r");
        if (!f) Fail("reading a client's figures");
        double t0, t1;
        while (fscanf(f, "%lf %lf", &t0, &t1) == 2) {
            for (size_t k = 0; k < phases.size(); ++k) {
                double overlap = std::min(t1, phases[k].to) - std::max(t0, phases[k].from);
                if (overlap > 0) rates[k] += kValuesPerRead * overlap / (t1 - t0);
            }
        }
        fclose(f);
        DeleteFileA(files[i].c_str());
        CloseHandle(processes[i]);
    }
    signals.Close();
    for (size_t k = 0; k < phases.size(); ++k) rates[k] /= phases[k].to - phases[k].from;
    return FromPhases(rates);
}

// The bare reader's and the hand loop's figures show what the machine, Wine
// and (across processes) the pipe traffic allow; the toolkit's are the
// target's.
void Concurrency(const InProcessScaling &inProcess) {
    Scaling toolkit = TwoClients(false);
    Scaling bare = TwoClients(true);
    printf("(c) ReadRaw from one client process, then two at once (medians of %d and %d phases "
           "of %.1f s)\n",
           (kPhases + 1) / 2, kPhases / 2, kPhaseMs / 1000.0);
    printf("%-45s%19s   %19s\n", "", "toolkit server", "bare reader");
    printf("%-45s%10.0f values/s   %10.0f values/s\n", "    one client:", toolkit.one, bare.one);
    printf("%-45s%10.0f values/s   %10.0f values/s\n", "    two clients, total:", toolkit.two,
           bare.two);
    printf("%-45s%10.2f            %10.2f           (target >= %.1f for the toolkit)\n",
           "    ratio two / one:", toolkit.ratio, bare.ratio, kTargetTwoClientRatio);
    printf("    in process, one thread, then two, each with its own connection (medians of %d "
           "and %d phases of %.1f s)\n",
           (kInProcessPhases + 1) / 2, kInProcessPhases / 2, kInProcessPhaseSeconds);
    printf("%-45s%19s   %19s\n", "", "ReadRaw", "hand loop");
    printf("%-45s%10.0f values/s   %10.0f values/s\n", "    one thread:",
           inProcess.toolkit.one, inProcess.hand.one);
    printf("%-45s%10.0f values/s   %10.0f values/s\n", "    two threads, total:",
           inProcess.toolkit.two, inProcess.hand.two);
    printf("%-45s%10.2f            %10.2f\n", "    ratio two / one:", inProcess.toolkit.ratio,
           inProcess.hand.ratio);
    TableRow("ReadRaw across processes: two client processes at once / one, throughput",
             Format("%.2f (bare reader %.2f)", toolkit.ratio, bare.ratio),
             Format(">= %.1f", kTargetTwoClientRatio), toolkit.ratio >= kTargetTwoClientRatio);
}

}  // namespace

int main(int argc, char **argv) {
    if (argc == 6 && strcmp(argv[1], "client") == 0)
        return ClientMain(argv[2], argv[3], atoi(argv[4]), strcmp(argv[5], "bare") == 0);

    RegisterServer(kServerExe);
    InProcessScaling inProcess = InProcess();

    IUnknown *object = ActivateServer(kServerClsid);
    Connection c;
    c.Open(object);
    object->Release();
    CrossProcess(c);
    // This connection keeps the server running while the clients of (c) come and go.
    Concurrency(inProcess);
    c.Close();
    return 0;
}
