// Queued reads across processes: the test server delivers through the
// data-callback proxy into a free-threaded sink in this process (the test
// runs in the MTA). Deliveries are checked against the synchronous read of
// the same arguments; then advise windows and their timing, sinks that call
// the server from inside a callback, a client process killed with an advise
// running, and a disconnect request over several connections.
// GridSource data: raw values on a 10 s grid, the value at a grid stamp
// item*1000 + (stamp / 10 s mod 1000) with quality 4; A.C.C has none. The
// server ticks every 50 ms.
#include <gtest/gtest.h>

#include <cstdio>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "support/ReadConnection.h"
#include "support/RecordingSink.h"
#include "support/ServerConnection.h"

namespace {

using testsupport::CountingSink;
using testsupport::DeliveryCopy;
using testsupport::ReadConnection;
using testsupport::RecordingSink;

constexpr DWORD kTickMs = 50;
constexpr DWORD kWaitMs = 10000;
// Long enough for a callback that would still come: six ticks.
constexpr DWORD kQuietMs = 6 * kTickMs;
constexpr ULONGLONG kMs = 10000;
constexpr ULONGLONG S = 10000 * kMs;  // the grid step, 10 s
// How late after its end a window may arrive: a tick and the call (measured
// under 50 ms), and the stalls of a busy machine.
constexpr ULONGLONG kLate = 500 * kMs;
// A grid stamp whose value index is 0.
constexpr ULONGLONG T0 = 1320000000ull * S;
constexpr HRESULT kInvalidHandle = static_cast<HRESULT>(0xC0040001);
constexpr HRESULT kNoData = 0x40041002;
constexpr HRESULT kMoreData = 0x40041003;
constexpr HRESULT kCurrentValue = 0x40041005;
constexpr HRESULT kInvalidAttrId = static_cast<HRESULT>(0xC004100C);
enum Item { kA, kB, kNone, kUnknown };  // positions in ReadConnection::items

FILETIME Ft(ULONGLONG t) { return FILETIME{static_cast<DWORD>(t), static_cast<DWORD>(t >> 32)}; }
OPCHDA_TIME At(ULONGLONG t) { return OPCHDA_TIME{FALSE, nullptr, Ft(t)}; }
// UTC to the millisecond, as the server resolves times.
ULONGLONG Now() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const ULONGLONG t = (static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return t - t % kMs;
}

// A delivery's records as text, so that a mismatch prints readably.
std::string Text(const DeliveryCopy &d) {
    std::ostringstream out;
    for (size_t i = 0; i < d.items.size(); ++i) {
        const testsupport::ItemCopy &item = d.items[i];
        out << "[client " << item.client << " error " << std::hex << d.errors[i] << std::dec;
        for (size_t k = 0; k < item.stamps.size(); ++k) {
            out << " " << item.stamps[k] << "/" << item.values[k];
            if (k < item.qualities.size()) out << "/q" << item.qualities[k];
        }
        out << "]";
    }
    return out.str();
}

// When each call of a sink arrived (UTC), noted inside the call.
class Arrivals {
public:
    explicit Arrivals(RecordingSink &sink) {
        sink.during = [this](const DeliveryCopy &) {
            std::lock_guard<std::mutex> guard(lock_);
            times_.push_back(Now());
        };
    }
    std::vector<ULONGLONG> Times() {
        std::lock_guard<std::mutex> guard(lock_);
        return times_;
    }

private:
    std::mutex lock_;
    std::vector<ULONGLONG> times_;
};

DWORD AdviseRaw(IOPCHDA_AsyncRead *async, DWORD transaction, std::vector<OPCHANDLE> items,
                ULONGLONG start, ULONGLONG interval) {
    OPCHDA_TIME from = At(start);
    DWORD cancel = 0;
    HRESULT *errors = nullptr;
    EXPECT_EQ(S_OK, async->AdviseRaw(transaction, &from, Ft(interval),
                                     static_cast<DWORD>(items.size()), items.data(), &cancel,
                                     &errors));
    CoTaskMemFree(errors);
    return cancel;
}

// A raw read of one item's [T0, T0 + 20 s]; its result, and the cancel ID.
HRESULT ReadRaw(IOPCHDA_AsyncRead *async, DWORD transaction, OPCHANDLE item, DWORD *cancel) {
    OPCHDA_TIME from = At(T0), to = At(T0 + 2 * S);
    HRESULT *errors = nullptr;
    const HRESULT hr = async->ReadRaw(transaction, &from, &to, 0, FALSE, 1, &item, cancel, &errors);
    CoTaskMemFree(errors);
    return hr;
}

// A queued read and the synchronous read of the same arguments: raw over
// [T0, T0 + 50 s] (`values` at most), processed (count) over [T0, T0 + 60 s]
// in 30 s, at T0, T0 + 5 s and T0 + 70 s, or the attributes 1, 13 and 99 of
// the first item over [T0, T0 + 10 s].
enum Method { kRaw, kProcessed, kAtTime, kAttribute };
struct ReadCase {
    const char *name;
    Method method;
    std::vector<Item> items;
    DWORD values;
    HRESULT accepted, status;
    std::vector<HRESULT> errors;  // in the callback
    std::vector<size_t> counts;   // values per record
};

struct Arguments {
    Arguments(const ReadConnection &c, const ReadCase &rc)
        : to(At(rc.method == kRaw ? T0 + 5 * S : rc.method == kProcessed ? T0 + 6 * S : T0 + S)),
          n(rc.method == kAttribute ? 3 : static_cast<DWORD>(rc.items.size())) {
        for (Item item : rc.items) handles.push_back(c.items[item]);
        aggregates.assign(handles.size(), 5);
    }
    OPCHDA_TIME from = At(T0), to;
    const DWORD n;  // records: items, or attributes
    std::vector<OPCHANDLE> handles;
    std::vector<DWORD> aggregates;
    const FILETIME interval = Ft(3 * S);
    FILETIME stamps[3] = {Ft(T0), Ft(T0 + S / 2), Ft(T0 + 7 * S)};
    DWORD attributes[3] = {1, 13, 99};
};

HRESULT StartRead(ReadConnection &c, const ReadCase &rc, DWORD t, DWORD *cancel,
                  std::vector<HRESULT> *errors) {
    Arguments a(c, rc);
    const DWORD items = static_cast<DWORD>(a.handles.size());
    HRESULT *out = nullptr, hr = E_FAIL;
    if (rc.method == kRaw)
        hr = c.async->ReadRaw(t, &a.from, &a.to, rc.values, FALSE, items, a.handles.data(),
                              cancel, &out);
    if (rc.method == kProcessed)
        hr = c.async->ReadProcessed(t, &a.from, &a.to, a.interval, items, a.handles.data(),
                                    a.aggregates.data(), cancel, &out);
    if (rc.method == kAtTime)
        hr = c.async->ReadAtTime(t, 3, a.stamps, items, a.handles.data(), cancel, &out);
    if (rc.method == kAttribute)
        hr = c.async->ReadAttribute(t, &a.from, &a.to, a.handles[0], 3, a.attributes, cancel,
                                    &out);
    if (out) errors->assign(out, out + a.n);
    CoTaskMemFree(out);
    return hr;
}

// The synchronous read, copied as the sink copies a delivery.
DeliveryCopy ReadNow(ReadConnection &c, const ReadCase &rc) {
    Arguments a(c, rc);
    OPCHDA_ITEM *items = nullptr;
    OPCHDA_ATTRIBUTE *attributes = nullptr;
    HRESULT *errors = nullptr;
    if (rc.method == kRaw)
        c.sync->ReadRaw(&a.from, &a.to, rc.values, FALSE, a.n, a.handles.data(), &items, &errors);
    if (rc.method == kProcessed)
        c.sync->ReadProcessed(&a.from, &a.to, a.interval, a.n, a.handles.data(),
                              a.aggregates.data(), &items, &errors);
    if (rc.method == kAtTime)
        c.sync->ReadAtTime(3, a.stamps, a.n, a.handles.data(), &items, &errors);
    if (rc.method == kAttribute)
        c.sync->ReadAttribute(&a.from, &a.to, a.handles[0], 3, a.attributes, &attributes, &errors);
    RecordingSink copier;
    if (items) copier.OnReadComplete(0, S_OK, a.n, items, errors);
    if (attributes) copier.OnReadAttributeComplete(0, S_OK, a.handles[0], a.n, attributes, errors);
    for (DWORD i = 0; i < a.n; ++i) {
        if (items) {
            for (DWORD k = 0; k < items[i].dwCount; ++k) VariantClear(&items[i].pvDataValues[k]);
            CoTaskMemFree(items[i].pftTimeStamps);
            CoTaskMemFree(items[i].pdwQualities);
            CoTaskMemFree(items[i].pvDataValues);
        }
        if (attributes) {
            for (DWORD k = 0; k < attributes[i].dwNumValues; ++k)
                VariantClear(&attributes[i].vAttributeValues[k]);
            CoTaskMemFree(attributes[i].ftTimeStamps);
            CoTaskMemFree(attributes[i].vAttributeValues);
        }
    }
    CoTaskMemFree(items);
    CoTaskMemFree(attributes);
    CoTaskMemFree(errors);
    const std::vector<DeliveryCopy> copies = copier.Deliveries();
    return copies.empty() ? DeliveryCopy{} : copies[0];
}

// The synchronous raw read of A.A.A gives the six grid values 0 to 5.
void ExpectServerAnswers(ReadConnection &c, const char *when) {
    const DeliveryCopy d = ReadNow(c, {"", kRaw, {kA}, 0, S_OK, S_OK, {}, {}});
    ASSERT_EQ(1u, d.items.size()) << when;
    EXPECT_EQ((std::vector<double>{0, 1, 2, 3, 4, 5}), d.items[0].values) << when;
}

TEST(AsyncReadClient, EachMethodDeliversWhatTheSynchronousReadReturns) {
    const ReadCase cases[] = {
        {"raw, every kind of item", kRaw, {kA, kUnknown, kB, kNone}, 0, S_FALSE, S_FALSE,
         {S_OK, kInvalidHandle, S_OK, kNoData}, {6, 0, 6, 0}},
        {"raw, all found", kRaw, {kA, kB}, 0, S_OK, S_OK, {S_OK, S_OK}, {6, 6}},
        {"raw, two of six", kRaw, {kB}, 2, S_OK, S_FALSE, {kMoreData}, {2}},
        {"processed", kProcessed, {kA, kUnknown}, 0, S_FALSE, S_FALSE, {S_OK, kInvalidHandle},
         {2, 0}},
        {"at time", kAtTime, {kB, kUnknown, kNone}, 0, S_FALSE, S_FALSE,
         {S_OK, kInvalidHandle, S_OK}, {3, 0, 3}},
        {"attributes", kAttribute, {kB}, 0, S_OK, S_FALSE,
         {kCurrentValue, kCurrentValue, kInvalidAttrId}, {1, 1, 0}},
        {"attributes of an unknown item", kAttribute, {kUnknown}, 0, kInvalidHandle, S_OK, {}, {}},
    };
    RecordingSink sink;
    ReadConnection c;
    ASSERT_EQ(S_OK, c.Open(&sink));
    std::vector<DWORD> cancelIds;
    size_t delivered = 0;
    for (DWORD t = 0; t < sizeof cases / sizeof cases[0]; ++t) {
        const ReadCase &rc = cases[t];
        DWORD cancel = 0;
        std::vector<HRESULT> errors;
        EXPECT_EQ(rc.accepted, StartRead(c, rc, 100 + t, &cancel, &errors)) << rc.name;
        if (FAILED(rc.accepted)) {
            EXPECT_TRUE(errors.empty()) << rc.name;
            continue;
        }
        // The method reports only unknown items; the callback reports them again.
        std::vector<HRESULT> known;
        for (size_t i = 0; i < rc.errors.size(); ++i)
            known.push_back(rc.method != kAttribute && rc.items[i] == kUnknown ? kInvalidHandle
                                                                               : S_OK);
        EXPECT_EQ(known, errors) << rc.name;
        EXPECT_NE(0u, cancel) << rc.name;
        for (DWORD earlier : cancelIds) EXPECT_NE(earlier, cancel) << rc.name;
        cancelIds.push_back(cancel);

        ASSERT_TRUE(sink.WaitFor(++delivered, kWaitMs)) << rc.name;
        const DeliveryCopy got = sink.Deliveries().back();
        EXPECT_EQ(rc.method == kAttribute ? DeliveryCopy::kAttributeComplete
                                          : DeliveryCopy::kReadComplete,
                  got.method)
            << rc.name;
        EXPECT_EQ(100 + t, got.transaction) << rc.name;
        EXPECT_EQ(rc.status, got.status) << rc.name;
        EXPECT_EQ(rc.errors, got.errors) << rc.name;
        std::vector<size_t> counts;
        for (const testsupport::ItemCopy &item : got.items) counts.push_back(item.stamps.size());
        EXPECT_EQ(rc.counts, counts) << rc.name;
        EXPECT_EQ(rc.method == kAttribute ? 12u : 0u, got.client) << rc.name;
        EXPECT_EQ(Text(ReadNow(c, rc)), Text(got)) << rc.name;
    }
    // The refused read never calls back.
    EXPECT_FALSE(sink.WaitFor(delivered + 1, kQuietMs));
    EXPECT_TRUE(c.Close());
}

TEST(AsyncReadClient, PastWindowsShareTheirEdgesAndCatchUpOnePerTick) {
    RecordingSink sink;
    Arrivals arrivals(sink);
    ReadConnection c;
    ASSERT_EQ(S_OK, c.Open(&sink));
    // Six whole 10 s windows in the past.
    const ULONGLONG start = Now() / S * S - 6 * S;
    c.advises.push_back(AdviseRaw(c.async, 7, {c.items[kA], c.items[kNone]}, start, S));
    ASSERT_TRUE(sink.WaitFor(6, kWaitMs));
    const std::vector<DeliveryCopy> got = sink.Deliveries();
    const std::vector<ULONGLONG> times = arrivals.Times();
    for (ULONGLONG k = 0; k < 6; ++k) {
        const DeliveryCopy &w = got[k];
        EXPECT_EQ(DeliveryCopy::kDataChange, w.method) << "window " << k;
        EXPECT_EQ(7u, w.transaction) << "window " << k;
        EXPECT_EQ(S_FALSE, w.status) << "window " << k;
        EXPECT_EQ((std::vector<HRESULT>{S_OK, kNoData}), w.errors) << "window " << k;
        // The grid stamps at both edges: each inner one in two windows.
        EXPECT_EQ((std::vector<ULONGLONG>{start + k * S, start + (k + 1) * S}), w.items[0].stamps)
            << "window " << k;
        EXPECT_EQ((std::vector<DWORD>{4, 4}), w.items[0].qualities) << "window " << k;
    }
    // One window a pass: the six took five ticks, less what the first waited.
    EXPECT_GE(times[5] - times[0], 3 * kTickMs * kMs);
    EXPECT_TRUE(c.Close());
}

TEST(AsyncReadClient, SinksMayCallTheServerFromInsideTheirCallbacks) {
    // Every case queues a read (transaction 1), then an advise catching up
    // ten-second windows (2). The sink acts at its first call of one kind;
    // a new read (3) is delivered, one cancelled at once (4) is not.
    enum Action { kCancel = 1, kNewReads = 2, kUnadvise = 4, kRelease = 8 };
    const struct {
        const char *name;
        DeliveryCopy::Method in;
        int actions;
        std::vector<DWORD> delivered;
    } cases[] = {
        {"cancel in OnReadComplete", DeliveryCopy::kReadComplete, kCancel, {1}},
        {"cancel in OnDataChange", DeliveryCopy::kDataChange, kCancel, {1, 2}},
        {"reads in OnReadComplete", DeliveryCopy::kReadComplete, kCancel | kNewReads, {1, 3}},
        {"reads in OnDataChange", DeliveryCopy::kDataChange, kCancel | kNewReads, {1, 2, 3}},
        {"unadvise in OnReadComplete", DeliveryCopy::kReadComplete, kUnadvise, {1}},
        {"unadvise in OnDataChange", DeliveryCopy::kDataChange, kUnadvise, {1, 2}},
        {"last release in OnReadComplete", DeliveryCopy::kReadComplete, kRelease, {1}},
        {"last release in OnDataChange", DeliveryCopy::kDataChange, kRelease, {1, 2}},
    };
    for (const auto &rc : cases) {
        RecordingSink sink;
        ReadConnection c;
        ASSERT_EQ(S_OK, c.Open(&sink)) << rc.name;
        IOPCHDA_AsyncRead *async = rc.actions & kRelease ? c.KeepOnlyAsync() : c.async;
        // The sink waits until the test has queued both requests.
        HANDLE queued = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        DWORD advise = 0;
        volatile LONG acted = 0;
        std::vector<HRESULT> results;  // of the calls made inside the sink
        sink.during = [&](const DeliveryCopy &d) {
            if (d.method != rc.in || InterlockedExchange(&acted, 1)) return;
            WaitForSingleObject(queued, kWaitMs);
            if (rc.actions & kCancel) results.push_back(async->Cancel(advise));
            if (rc.actions & kNewReads) {
                DWORD cancel = 0;
                results.push_back(ReadRaw(async, 3, c.items[kB], &cancel));
                results.push_back(ReadRaw(async, 4, c.items[kB], &cancel));
                results.push_back(async->Cancel(cancel));
            }
            if (rc.actions & kUnadvise) results.push_back(c.point->Unadvise(1));
            if (rc.actions & kRelease) async->Release();
        };
        DWORD cancel = 0;
        EXPECT_EQ(S_OK, ReadRaw(async, 1, c.items[kA], &cancel)) << rc.name;
        advise = AdviseRaw(async, 2, {c.items[kA]}, Now() / S * S - 60 * S, S);
        SetEvent(queued);

        // A server that hangs in the sink's call fails here.
        ASSERT_TRUE(sink.WaitFor(rc.delivered.size(), kWaitMs)) << rc.name;
        EXPECT_FALSE(sink.WaitFor(rc.delivered.size() + 1, kQuietMs)) << rc.name;
        std::vector<DWORD> transactions;
        for (const DeliveryCopy &d : sink.Deliveries()) {
            transactions.push_back(d.transaction);
            EXPECT_EQ(d.transaction == 2, d.method == DeliveryCopy::kDataChange) << rc.name;
        }
        EXPECT_EQ(rc.delivered, transactions) << rc.name;
        EXPECT_EQ(std::vector<HRESULT>(results.size(), S_OK), results) << rc.name;
        if (rc.actions & kRelease) {
            // The object is gone and has given back the sink.
            EXPECT_TRUE(testsupport::WaitBackToOne(sink, kWaitMs)) << rc.name;
        } else {
            c.advises.push_back(advise);
            EXPECT_TRUE(c.Close()) << rc.name;
        }
        CloseHandle(queued);
    }
    RecordingSink sink;
    ReadConnection last;
    ASSERT_EQ(S_OK, last.Open(&sink));
    ExpectServerAnswers(last, "after the callbacks");
    EXPECT_TRUE(last.Close());
}

// A live advise of 200 ms windows delivers each window once its end has
// passed, within kLate; meanwhile a second client process advises 50 ms
// windows, so that the server calls it all the time, and is killed. The
// windows keep their times, and the server still answers.
TEST(AsyncReadClient, LiveWindowsKeepTheirIntervalWhenAnotherClientIsKilled) {
    RecordingSink sink;
    Arrivals arrivals(sink);
    ReadConnection c;
    ASSERT_EQ(S_OK, c.Open(&sink));
    const ULONGLONG start = Now(), interval = 200 * kMs;
    c.advises.push_back(AdviseRaw(c.async, 1, {c.items[kA]}, start, interval));

    char ready[64], path[MAX_PATH];
    snprintf(ready, sizeof ready, "Halvex.AdvisingClient.%lu", GetCurrentProcessId());
    HANDLE advised = CreateEventA(nullptr, TRUE, FALSE, ready);
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string command = path;
    command = "\"" + command.substr(0, command.find_last_of('\\') + 1) + "advising_client.exe\" " +
              ready;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION helper = {};
    ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &si, &helper));
    HANDLE either[] = {advised, helper.hProcess};
    const DWORD woke = WaitForMultipleObjects(2, either, FALSE, kWaitMs);
    const size_t before = sink.Deliveries().size();
    TerminateProcess(helper.hProcess, 9);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(helper.hProcess, kWaitMs));
    DWORD code = 0;
    GetExitCodeProcess(helper.hProcess, &code);
    CloseHandle(helper.hThread);
    CloseHandle(helper.hProcess);
    CloseHandle(advised);
    ASSERT_EQ(WAIT_OBJECT_0, woke) << "the helper ended with " << code << " before advising";

    ASSERT_TRUE(sink.WaitFor(before + 5, kWaitMs));
    const std::vector<ULONGLONG> times = arrivals.Times();
    for (ULONGLONG k = 0; k < before + 5; ++k) {
        const ULONGLONG end = start + (k + 1) * interval;
        EXPECT_GE(times[k], end) << "window " << k << ", " << before << " before the kill";
        EXPECT_LE(times[k], end + kLate) << "window " << k << ", " << before << " before the kill";
    }
    ExpectServerAnswers(c, "after the kill");
    EXPECT_TRUE(c.Close());
    // The killed client's connection keeps the server from ever going idle.
    EXPECT_TRUE(testsupport::StopTestServer(kWaitMs));
}

// The disconnect request passes over connections without a shutdown sink
// (one without a container, one with only a data-callback sink, both made
// first) and reaches the advised one once, with an empty reason.
TEST(DisconnectRequest, ReachesEachShutdownSinkOncePastConnectionsWithoutOne) {
    HANDLE request = CreateEventA(nullptr, FALSE, FALSE, "Halvex.TestServer.RequestDisconnect");
    HANDLE done = CreateEventA(nullptr, FALSE, FALSE, "Halvex.TestServer.DisconnectDone");
    ASSERT_TRUE(request && done);
    IOPCHDA_Server *bare = nullptr;
    ASSERT_EQ(S_OK, testsupport::ConnectTestServer(IID_IOPCHDA_Server, &bare));
    CountingSink dataOnly(true, true), shutdown(true, false);
    ReadConnection withData, withShutdown;
    ASSERT_EQ(S_OK, withData.Open(&dataOnly));
    ASSERT_EQ(S_OK, testsupport::ConnectTestServer(IID_IConnectionPointContainer,
                                                   &withShutdown.container));
    ASSERT_EQ(S_OK, withShutdown.container->FindConnectionPoint(IID_IOPCShutdown,
                                                               &withShutdown.point));
    DWORD cookie = 0;
    ASSERT_EQ(S_OK, withShutdown.point->Advise(static_cast<IOPCShutdown *>(&shutdown), &cookie));

    SetEvent(request);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(done, kWaitMs));
    EXPECT_EQ(1, shutdown.ShutdownCalls());
    EXPECT_EQ(L"", shutdown.LastReason());
    EXPECT_EQ(0, dataOnly.ShutdownCalls());

    EXPECT_EQ(S_OK, withShutdown.point->Unadvise(cookie));
    EXPECT_TRUE(testsupport::WaitBackToOne(shutdown, kWaitMs));
    EXPECT_TRUE(withData.Close());
    bare->Release();
    CloseHandle(request);
    CloseHandle(done);
}

}  // namespace
