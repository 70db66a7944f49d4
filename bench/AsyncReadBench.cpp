// A one-shot ReadRaw of 9 items x 5000 values across processes, queued
// through IOPCHDA_AsyncRead against the same read through IOPCHDA_SyncRead,
// on one connection to the benchmark server (10 ms tick).
// Queued: from the ReadRaw call to the end of the sink's OnReadComplete,
// which has checked the values; it includes the wait for the server's next
// pass, up to one tick. Synchronous: from the call to its return with the
// values checked the same way. Neither counts freeing the results (the
// server's stub frees a callback's after the sink returns).
// The two take turns, the first of each pair alternating; the ratio is the
// median of the pairs' ratios.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "AsyncBenchClient.h"
#include "BenchClock.h"
#include "BenchProcess.h"
#include "BenchReads.h"
#include "BenchStats.h"
#include "BenchTable.h"
#include "ReadBenchIds.h"

namespace {

using namespace asyncbench;
using namespace bench;
using readbench::kEndTicks;
using readbench::kItems;
using readbench::kStartTicks;
using readbench::kStepTicks;
using readbench::kValues;

constexpr int kPairs = 25;
constexpr DWORD kCallbackTimeoutMs = 10000;
constexpr double kValuesPerRead = static_cast<double>(kItems) * kValues;
// A queued read keeps at least 0.9 of the synchronous read's throughput,
// its wait for the server's pass included.
constexpr double kTargetRatio = 0.9;

// Every item has all its values, with GridSource's first and last stamps
// and first value.
bool Complete(HRESULT hr, DWORD count, const OPCHDA_ITEM *items, const HRESULT *errors) {
    if (hr != S_OK || count != kItems) return false;
    for (DWORD i = 0; i < count; ++i) {
        const OPCHDA_ITEM &item = items[i];
        const double first =
            item.hClient * 1000.0 + static_cast<double>(kStartTicks / kStepTicks % 1000);
        if (errors[i] != S_OK || item.hClient != i || item.dwCount != kValues ||
            Ticks(item.pftTimeStamps[0]) != kStartTicks ||
            Ticks(item.pftTimeStamps[kValues - 1]) != kEndTicks ||
            item.pvDataValues[0].vt != VT_R8 || item.pvDataValues[0].dblVal != first)
            return false;
    }
    return true;
}

// Takes the time at the end of OnReadComplete for the awaited transaction.
class ReadSink : public DataSink {
public:
    ReadSink() : done_(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}
    ~ReadSink() override { CloseHandle(done_); }

    void Expect(DWORD transaction) { expected_ = transaction; }
    // False on time-out.
    bool Wait() { return WaitForSingleObject(done_, kCallbackTimeoutMs) == WAIT_OBJECT_0; }
    bool complete = false;
    double returned = 0;
    int strays = 0;  // callbacks of another transaction

    HRESULT STDMETHODCALLTYPE OnReadComplete(DWORD transaction, HRESULT hr, DWORD count,
                                             OPCHDA_ITEM *items, HRESULT *errors) override {
        if (transaction != expected_) {
            ++strays;
            return S_OK;
        }
        complete = Complete(hr, count, items, errors);
        returned = Seconds();
        SetEvent(done_);
        return S_OK;
    }

private:
    HANDLE done_;
    volatile DWORD expected_ = 0;
};

struct Reader {
    Connection &c;
    ReadSink *sink;
    DWORD transaction = 0;

    // Seconds for one synchronous read with its check.
    double Sync() {
        OPCHDA_TIME start = {FALSE, nullptr, FromTicks(kStartTicks)};
        OPCHDA_TIME end = {FALSE, nullptr, FromTicks(kEndTicks)};
        OPCHDA_ITEM *items = nullptr;
        HRESULT *errors = nullptr;
        const double t0 = Seconds();
        HRESULT hr = c.syncRead->ReadRaw(&start, &end, kValues, FALSE, kItems, c.handles.data(),
                                         &items, &errors);
        if (FAILED(hr)) Fail("IOPCHDA_SyncRead::ReadRaw", hr);
        const bool complete = Complete(hr, kItems, items, errors);
        const double t = Seconds() - t0;
        FreeResults(items, errors, kItems);
        if (!complete) Fail("IOPCHDA_SyncRead::ReadRaw's values");
        return t;
    }

    // Seconds for one queued read, to the end of its checked callback.
    double Async() {
        OPCHDA_TIME start = {FALSE, nullptr, FromTicks(kStartTicks)};
        OPCHDA_TIME end = {FALSE, nullptr, FromTicks(kEndTicks)};
        HRESULT *errors = nullptr;
        DWORD cancelId = 0;
        sink->Expect(++transaction);
        const double t0 = Seconds();
        HRESULT hr = c.asyncRead->ReadRaw(transaction, &start, &end, kValues, FALSE, kItems,
                                          c.handles.data(), &cancelId, &errors);
        if (hr != S_OK) Fail("IOPCHDA_AsyncRead::ReadRaw", hr);
        CoTaskMemFree(errors);
        if (!sink->Wait()) Fail("waiting for OnReadComplete (10 s)", E_FAIL);
        if (!sink->complete) Fail("OnReadComplete's values");
        return sink->returned - t0;
    }
};

}  // namespace

int main() {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    RegisterServer(kServerExe);
    std::vector<std::string> ids(readbench::kItemIds, readbench::kItemIds + kItems);
    ReadSink *sink = new ReadSink();
    Connection c;
    c.Open(ids, sink);
    Reader reader{c, sink};

    // One unrecorded read of each, then pairs in alternating order.
    reader.Sync();
    reader.Async();
    std::vector<double> syncTimes, asyncTimes, ratios;
    for (int k = 0; k < kPairs; ++k) {
        double s, a;
        if (k % 2) {
            a = reader.Async();
            s = reader.Sync();
        } else {
            s = reader.Sync();
            a = reader.Async();
        }
        syncTimes.push_back(s);
        asyncTimes.push_back(a);
        ratios.push_back(s / a);  // throughput async / sync
    }
    c.Close();
    const bool quiet = sink->WaitOwnerOnly(2000);
    const int strays = sink->strays;
    if (quiet) delete sink;  // else the server may still call it

    const double syncTime = Median(syncTimes), asyncTime = Median(asyncTimes);
    printf("ReadRaw of %d items x %lu values across processes, %d reads of each in turns "
           "(medians; server tick %u ms, which a queued read may wait for)\n",
           kItems, static_cast<unsigned long>(kValues), kPairs, kTickMs);
    printf("    %-48s%10.0f values/s  (%.1f ms per read, fastest %.1f)\n",
           "IOPCHDA_SyncRead::ReadRaw:", kValuesPerRead / syncTime, syncTime * 1e3,
           *std::min_element(syncTimes.begin(), syncTimes.end()) * 1e3);
    printf("    %-48s%10.0f values/s  (%.1f ms per read, fastest %.1f)\n",
           "IOPCHDA_AsyncRead::ReadRaw to OnReadComplete:", kValuesPerRead / asyncTime,
           asyncTime * 1e3, *std::min_element(asyncTimes.begin(), asyncTimes.end()) * 1e3);
    const double ratio = Median(ratios);
    printf("    %-48s%10.2f           (target >= %.2f)\n", "ratio async / sync, paired:", ratio,
           kTargetRatio);
    TableRow(Format("ReadRaw across processes, %d x %lu values: queued / synchronous, throughput",
                    kItems,
                    static_cast<unsigned long>(kValues)),
             Format("%.2f (%.1f / %.1f ms per read)", ratio, asyncTime * 1e3, syncTime * 1e3),
             Format(">= %.2f", kTargetRatio), ratio >= kTargetRatio);
    if (strays) printf("    fault: %d callbacks of an unexpected transaction\n", strays);
    if (!quiet) printf("    fault: the server kept its reference on the sink after Unadvise\n");
    CoUninitialize();
    return strays || !quiet ? 1 : 0;
}
