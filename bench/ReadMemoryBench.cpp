// Memory and time of IOPCHDA_SyncRead::ReadRaw over many short items, in
// process through the class object the toolkit registers:
// (1) the peak of task-allocator bytes outstanding during one read of
//     10,000 items x 10 values, counted by an IMallocSpy;
// (2) the time of that read against one of 20 items x 5000 values (the same
//     number of values), medians of reads taken in turn.
// The reads pass no value limit, so the toolkit applies its own per item.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unordered_map>
#include <vector>

#include "BenchClock.h"
#include "BenchProcess.h"
#include "BenchReads.h"
#include "BenchStats.h"
#include "BenchTable.h"
#include "Halvex.h"
#include "opchda.h"
#include "support/MallocSpyBase.h"

namespace {

using namespace bench;

// This benchmark's own in-process toolkit class (never in the registry).
const CLSID kClsid = {0x5a1b7c40, 0x2f0e, 0x4c1d, {0x9a, 0x61, 0x3e, 0x4b, 0x10, 0x7d, 0x22, 0x31}};

// The two reads: many short items, and few long ones (5000 is the
// toolkit's limit per item) with the same number of values in all.
struct Shape {
    DWORD items, values;
};
constexpr Shape kShapes[2] = {{10000, 10}, {20, 5000}};
constexpr DWORD kItems = kShapes[0].items;  // items defined in the toolkit
constexpr int kRepetitions = 7;
// The results of the 10,000-item read take about 3.2 MB (28 bytes a value,
// 28 to 44 an item); the target leaves room for scratch but not for a read
// that reserves the 5000-value limit per item (1.4 GB).
constexpr double kTargetMB = 20;
constexpr unsigned long long kStep = 100000000ull;                // 10 s
constexpr unsigned long long kStartTicks = 133000000000000000ull;  // a grid point in 2022

double MB(size_t bytes) { return static_cast<double>(bytes) / 1e6; }

// Every item has a value at every whole 10 s: VT_R8 (t / 10 s) mod 1000,
// quality 0. Only what forward reads without bounds use; no lookup per item,
// so a call costs the same for 20 items as for 10,000.
class StepSource : public CVxHDACallback {
public:
    long GetTimeStamps(void *, FILETIME *start, FILETIME *end, long maxCount,
                       FILETIME *stamps) override {
        if (!start || !end) return 0;
        unsigned long long t = Ticks(*start) + (kStep - Ticks(*start) % kStep) % kStep;
        long n = 0;
        for (; n < maxCount && t <= Ticks(*end); t += kStep) stamps[n++] = FromTicks(t);
        return n;
    }
    HRESULT ReadAt(void *, FILETIME time, VARIANT *value, DWORD *quality) override {
        value->vt = VT_R8;
        value->dblVal = static_cast<double>(Ticks(time) / kStep % 1000);
        *quality = 0;
        return S_OK;
    }
};

// Counts the task allocator's outstanding bytes and their peak. Sizes are
// kept by block address, so blocks from before the spy are not counted.
class CountingSpy : public testsupport::MallocSpyBase {
public:
    CountingSpy() { InitializeCriticalSection(&lock_); }
    size_t Outstanding() { Guard g(lock_); return outstanding_; }
    size_t Peak() { Guard g(lock_); return peak_; }
    // Starts a new peak from what is outstanding now, and returns that.
    size_t ResetPeak() { Guard g(lock_); return peak_ = outstanding_; }

    SIZE_T STDMETHODCALLTYPE PreAlloc(SIZE_T cb) override { return pending_ = cb; }
    void *STDMETHODCALLTYPE PostAlloc(void *p) override { return Add(p, pending_); }
    void *STDMETHODCALLTYPE PreFree(void *p, BOOL) override {
        Remove(p);
        return p;
    }
    // A failed resize keeps the old block but drops it from the count.
    SIZE_T STDMETHODCALLTYPE PreRealloc(void *p, SIZE_T cb, void **actual, BOOL) override {
        Remove(*actual = p);
        return pending_ = cb;
    }
    void *STDMETHODCALLTYPE PostRealloc(void *p, BOOL) override { return Add(p, pending_); }
private:
    struct Guard {
        explicit Guard(CRITICAL_SECTION &cs) : cs(cs) { EnterCriticalSection(&cs); }
        ~Guard() { LeaveCriticalSection(&cs); }
        CRITICAL_SECTION &cs;
    };
    void *Add(void *p, size_t size) {
        if (!p) return p;
        Guard g(lock_);
        sizes_[p] = size;
        outstanding_ += size;
        peak_ = std::max(peak_, outstanding_);
        return p;
    }
    size_t Remove(void *p) {
        Guard g(lock_);
        auto it = sizes_.find(p);
        if (it == sizes_.end()) return 0;
        const size_t size = it->second;
        outstanding_ -= size;
        sizes_.erase(it);
        return size;
    }
    CRITICAL_SECTION lock_;
    std::unordered_map<void *, size_t> sizes_;
    size_t outstanding_ = 0, peak_ = 0;
    // The size asked for, from a Pre call to its Post call on the same thread.
    static thread_local SIZE_T pending_;
};
thread_local SIZE_T CountingSpy::pending_ = 0;

// One ReadRaw of the shape's first items over its number of grid stamps from
// kStartTicks, checked and freed; seconds of the call alone and with freeing.
struct Timing {
    double read, total;
};

Timing Read(IOPCHDA_SyncRead *reader, OPCHANDLE *handles, const Shape &shape) {
    const unsigned long long endTicks = kStartTicks + (shape.values - 1) * kStep;
    OPCHDA_TIME start = {FALSE, nullptr, FromTicks(kStartTicks)};
    OPCHDA_TIME end = {FALSE, nullptr, FromTicks(endTicks)};
    OPCHDA_ITEM *items = nullptr;
    HRESULT *errors = nullptr;
    const double t0 = Seconds();
    HRESULT hr = reader->ReadRaw(&start, &end, 0, FALSE, shape.items, handles, &items, &errors);
    const double t1 = Seconds();
    if (hr != S_OK) Fail("ReadRaw", hr);
    for (DWORD i = 0; i < shape.items; ++i) {
        const OPCHDA_ITEM &item = items[i];
        if (errors[i] != S_OK || item.dwCount != shape.values ||
            Ticks(item.pftTimeStamps[0]) != kStartTicks ||
            Ticks(item.pftTimeStamps[shape.values - 1]) != endTicks ||
            item.pvDataValues[0].vt != VT_R8)
            Fail("checking the values read");
    }
    FreeResults(items, errors, shape.items);
    return {t1 - t0, Seconds() - t0};
}

}  // namespace

int main() {
    static StepSource source;
    std::vector<std::string> ids;
    for (DWORD i = 0; i < kItems; ++i) {
        char id[16];
        snprintf(id, sizeof id, "Mem.I%05lu", i);
        if (DefineHDAItem(id) == 0xFFFFFFFF) Fail("DefineHDAItem");
        ids.push_back(id);
    }
    SetHDAServerCallback(&source);
    if (!InitHalvex(kClsid, 1000)) Fail("InitHalvex");
    IClassFactory *factory = nullptr;
    HRESULT hr = CoGetClassObject(kClsid, CLSCTX_LOCAL_SERVER, nullptr, IID_IClassFactory,
                                  reinterpret_cast<void **>(&factory));
    if (FAILED(hr)) Fail("CoGetClassObject", hr);
    IOPCHDA_Server *server = nullptr;
    IOPCHDA_SyncRead *reader = nullptr;
    hr = factory->CreateInstance(nullptr, IID_IOPCHDA_Server, reinterpret_cast<void **>(&server));
    if (FAILED(hr)) Fail("CreateInstance", hr);
    hr = server->QueryInterface(IID_IOPCHDA_SyncRead, reinterpret_cast<void **>(&reader));
    if (FAILED(hr)) Fail("QueryInterface(IOPCHDA_SyncRead)", hr);
    std::vector<OPCHANDLE> handles = ItemHandles(server, ids, 0);
    ids = std::vector<std::string>();  // not held through the measured reads

    // (1) The peak of each read over what was outstanding before it, the spy
    // installed only meanwhile (it would slow the timed reads).
    static CountingSpy spy;
    hr = CoRegisterMallocSpy(&spy);
    if (FAILED(hr)) Fail("CoRegisterMallocSpy", hr);
    PROCESS_MEMORY_COUNTERS process[2] = {};
    size_t peak[2];
    long long left[2];
    for (int k = 0; k < 2; ++k) {
        process[k].cb = sizeof process[k];
        GetProcessMemoryInfo(GetCurrentProcess(), &process[k], sizeof process[k]);
        const size_t base = spy.ResetPeak();
        Read(reader, handles.data(), kShapes[k]);
        peak[k] = spy.Peak() - base;
        left[k] = static_cast<long long>(spy.Outstanding()) - static_cast<long long>(base);
    }
    hr = CoRevokeMallocSpy();
    printf("(1) ReadRaw in process, no value limit: peak task-allocator bytes of the results\n");
    for (int k = 0; k < 2; ++k)
        printf("    %5lu items x %4lu values: %9.2f MB   %s\n", kShapes[k].items,
               kShapes[k].values, MB(peak[k]),
               k ? "(for comparison)" : MB(peak[k]) < kTargetMB ? "(target under 20 MB: met)"
                                                               : "(target under 20 MB: NOT met)");
    printf("    left outstanding after freeing: %lld and %lld bytes; spy revoked: 0x%08lx\n",
           left[0], left[1], static_cast<unsigned long>(hr));
    TableRow(Format("ReadRaw in process, %lu items x %lu values: peak result memory",
                    kShapes[0].items, kShapes[0].values),
             Format("%.2f MB", MB(peak[0])), Format("< %.0f MB", kTargetMB),
             MB(peak[0]) < kTargetMB);
    // Every block the reads allocated is freed with their results.
    TableRow("ReadRaw in process: task memory left after freeing the results",
             Format("%lld bytes", left[0] + left[1]), "0 bytes", left[0] == 0 && left[1] == 0);
    // The resident set's high-water mark. Wine 8's private-bytes counter
    // (PeakPagefileUsage) stayed near 128 MB through a read that allocated
    // 1.8 GB, so it is not shown.
    printf("    process peak working set: %.2f MB before, %.2f MB after the %lu-item read\n",
           MB(process[0].PeakWorkingSetSize), MB(process[1].PeakWorkingSetSize), kItems);
    fflush(stdout);

    // (2) One unrecorded read of each, then reads taken in turn, the first
    // of each pair alternating.
    std::vector<double> reads[2], totals[2];
    for (int r = -1; r < kRepetitions; ++r) {
        for (int turn = 0; turn < 2; ++turn) {
            const int k = r % 2 ? 1 - turn : turn;
            Timing t = Read(reader, handles.data(), kShapes[k]);
            if (r < 0) continue;
            reads[k].push_back(t.read);
            totals[k].push_back(t.total);
        }
    }
    printf("(2) ReadRaw time, %lu values per read (medians of %d reads each, taken in turn)\n",
           kShapes[0].items * kShapes[0].values, kRepetitions);
    for (int k = 0; k < 2; ++k)
        printf("    %5lu items x %4lu values: %9.2f ms   (%9.2f ms with freeing)\n",
               kShapes[k].items, kShapes[k].values, Median(reads[k]) * 1e3,
               Median(totals[k]) * 1e3);
    printf("    ratio many short / few long:   %9.2f      (%9.2f with freeing)\n",
           Median(reads[0]) / Median(reads[1]), Median(totals[0]) / Median(totals[1]));

    reader->Release();
    server->Release();
    factory->Release();
    return 0;
}
