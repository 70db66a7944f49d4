// One client misbehaves while another, the witness, advises A.A.A in 100 ms
// windows: a sink that fails its calls, one that answers as a dead client
// would, one slower than a tick, one that releases its connection inside a
// callback, an application that blocks in ReadAt for seconds, and a client
// process killed in the middle of its reads and advises. Throughout, each
// of the witness's windows must arrive within a tick and kMarginMs after
// its end; the misbehaving client gets what it should; afterwards the
// server answers as before and is back where it stood (but after the kill:
// under Wine a killed client's connections are never released).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "support/CheckingSink.h"
#include "support/ClientCalls.h"
#include "support/LoadClients.h"
#include "support/ReadConnection.h"
#include "support/RecordingSink.h"
#include "support/ServerAccounts.h"
#include "support/ServerConnection.h"
#include "support/TestServerControl.h"

namespace {

using namespace testsupport;

constexpr DWORD kWaitMs = 10000;
constexpr ULONGLONG kMs = 10000;
constexpr ULONGLONG kTickMs = 50;
// Beyond the tick: the callback itself takes 1-2 ms, and on two cores
// shared with builds and other test runs a Wine thread can wait its turn.
// Seen on such a machine: at most 60 ms after the window's end here, 110 ms
// with six busy client processes (the load test), and over a second only
// with twenty, when the cores are saturated.
constexpr ULONGLONG kMarginMs = 250;
constexpr ULONGLONG kInterval = 100 * kMs;  // of the witness's windows
constexpr ULONGLONG kFastWindow = 50 * kMs;  // of the misbehaving client's
constexpr DWORD kFaultMs = 2000;            // how long a fault runs at least
constexpr ULONGLONG kS = 100000000ull, kT0 = 1320000000ull * kS;
const DWORD kAdvise = TransactionId(kAdviseKind, 1);

// A connection advising A.A.A from now in kInterval windows.
class Witness {
public:
    bool Open() { return c.Open(&sink) == S_OK; }
    std::string Advise() {
        start_ = UtcNowMs();
        return StartAdvise(c, kAdvise, start_, kInterval, &cancel_);
    }
    // Waits for n more windows.
    bool More(size_t n) { return sink.WaitFor(kAdvise, sink.Delivered() + n, kWaitMs); }
    // Cancels the advise: every window that ended a tick and the margin ago
    // must have come, none before its end. The latest goes to *worstMs.
    // Then a synchronous read must still give what it should.
    std::string Finish(ULONGLONG *worstMs) {
        const ULONGLONG settled = UtcNowMs() - (kTickMs + kMarginMs) * kMs;
        const size_t due = settled > start_ ? (settled - start_) / kInterval : 0;
        std::vector<ULONGLONG> arrivals;
        std::string problem = sink.WaitFor(kAdvise, due, kWaitMs, &arrivals)
                                  ? ""
                                  : std::to_string(arrivals.size()) + " of " +
                                        std::to_string(due) + " windows; ";
        problem += Cancel(c, cancel_);
        *worstMs = 0;
        for (size_t k = 0; k < arrivals.size() && k < due; ++k) {
            const ULONGLONG end = start_ + (k + 1) * kInterval;
            if (arrivals[k] < end || arrivals[k] > end + (kTickMs + kMarginMs) * kMs)
                problem += "window " + std::to_string(k) + " at " +
                           std::to_string(static_cast<LONGLONG>(arrivals[k] - end) / 10000) +
                           " ms after its end; ";
            if (arrivals[k] > end) *worstMs = std::max(*worstMs, (arrivals[k] - end) / kMs);
        }
        problem += SyncRead(c, kRawRead);
        return problem + sink.Problems();
    }

    CheckingSink sink;
    ReadConnection c;

private:
    ULONGLONG start_ = 0;
    DWORD cancel_ = 0;
};

// A connection advising A.A.A from now in kFastWindow windows, into `sink`.
std::string OpenAdvising(ReadConnection &c, CountingSink &sink) {
    if (c.Open(&sink) != S_OK) return "no connection";
    DWORD cancel = 0;
    const std::string problem =
        StartAdvise(c, TransactionId(kAdviseKind, 2), UtcNowMs(), kFastWindow, &cancel);
    c.advises.push_back(cancel);
    return problem;
}

std::string Closed(ReadConnection &c) { return c.Close() ? "" : "the connection did not close; "; }

// A sink that answers every call with `answer`. A code that says the client
// is gone has it dropped at its first call: given back, never called again.
std::string AnsweringSink(HRESULT answer, bool dropped) {
    CheckingSink sink;
    sink.answer = [answer](DWORD) { return answer; };
    ReadConnection c;
    std::string problem = OpenAdvising(c, sink);
    const DWORD t = TransactionId(kAdviseKind, 2);
    if (dropped) {
        if (!sink.WaitFor(t, 1, kWaitMs)) problem += "no first window; ";
        if (!WaitBackToOne(sink, kWaitMs)) problem += "the sink was kept; ";
        if (sink.WaitFor(t, 2, kFaultMs)) problem += "called after it was dropped; ";
    } else if (!sink.WaitFor(t, kFaultMs / 50, kWaitMs)) {
        problem += "its windows stopped; ";
    }
    return problem + Closed(c);
}

// A sink three ticks slow: its windows still come, one a pass.
std::string SlowSink() {
    CheckingSink sink;
    sink.answer = [](DWORD) {
        Sleep(3 * kTickMs);
        return S_OK;
    };
    ReadConnection c;
    std::string problem = OpenAdvising(c, sink);
    if (!sink.WaitFor(TransactionId(kAdviseKind, 2), kFaultMs / (3 * kTickMs), kWaitMs))
        problem += "its windows stopped; ";
    return problem + Closed(c);
}

// A sink that releases the connection's last reference in its first call:
// the object is deleted and gives the sink back, and calls no more.
std::string ReleasingSink() {
    CheckingSink sink;
    ReadConnection c;
    HANDLE kept = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    IOPCHDA_AsyncRead *async = nullptr;
    volatile LONG calls = 0;
    sink.answer = [&](DWORD) {
        if (InterlockedIncrement(&calls) == 1 &&
            WaitForSingleObject(kept, kWaitMs) == WAIT_OBJECT_0)
            async->Release();
        return S_OK;
    };
    std::string problem = OpenAdvising(c, sink);
    async = c.KeepOnlyAsync();
    SetEvent(kept);
    if (!WaitBackToOne(sink, kWaitMs)) problem += "the sink was kept; ";
    if (calls != 1) problem += std::to_string(calls) + " calls; ";
    CloseHandle(kept);
    return problem;
}

OPCHDA_TIME At(ULONGLONG t) {
    return OPCHDA_TIME{FALSE, nullptr, {static_cast<DWORD>(t), static_cast<DWORD>(t >> 32)}};
}

// The raw values of one item over [T0, T0 + 50 s], as a sink copies them.
std::vector<double> RawValues(IOPCHDA_SyncRead *sync, OPCHANDLE item) {
    OPCHDA_TIME from = At(kT0), to = At(kT0 + 5 * kS);
    OPCHDA_ITEM *items = nullptr;
    HRESULT *errors = nullptr;
    RecordingSink copier;
    if (SUCCEEDED(sync->ReadRaw(&from, &to, 0, FALSE, 1, &item, &items, &errors)))
        copier.OnReadComplete(0, S_OK, 1, items, errors);
    FreeItems(items, 1);
    CoTaskMemFree(errors);
    const std::vector<DeliveryCopy> copies = copier.Deliveries();
    return copies.empty() ? std::vector<double>() : copies[0].items[0].values;
}

struct BlockedRead {
    IOPCHDA_SyncRead *sync;
    OPCHANDLE item;
    std::vector<double> values;
};

DWORD WINAPI ReadSlowly(void *arg) {
    BlockedRead *read = static_cast<BlockedRead *>(arg);
    read->values = RawValues(read->sync, read->item);
    return 0;
}

// While the slow item's event is set, a synchronous read of it (on a thread
// of its own) and a queued one (on the connection's service thread) wait
// in ReadAt; once it is reset, both give the item's values 5000 to 5005.
std::string SlowApplication() {
    const std::vector<double> values = {5000, 5001, 5002, 5003, 5004, 5005};
    HANDLE slow = CreateEventA(nullptr, TRUE, TRUE, kSlowReadsEvent);
    RecordingSink sink;
    ReadConnection c;
    std::string problem = c.Open(&sink) == S_OK ? "" : "no connection; ";
    LPWSTR id = const_cast<LPWSTR>(kSlowItemId);
    OPCHANDLE client = 1, *handle = nullptr;
    HRESULT *errors = nullptr;
    if (problem.empty() && c.server->GetItemHandles(1, &id, &client, &handle, &errors) == S_OK) {
        OPCHDA_TIME from = At(kT0), to = At(kT0 + 5 * kS);
        DWORD cancel = 0;
        HRESULT *queued = nullptr;
        if (c.async->ReadRaw(7, &from, &to, 0, FALSE, 1, handle, &cancel, &queued) != S_OK)
            problem += "the queued read was refused; ";
        CoTaskMemFree(queued);
        BlockedRead read = {c.sync, *handle, {}};
        HANDLE reader = CreateThread(nullptr, 0, ReadSlowly, &read, 0, nullptr);
        if (WaitForSingleObject(reader, kFaultMs) != WAIT_TIMEOUT) problem += "no read waited; ";
        if (sink.WaitFor(1, 0)) problem += "the queued read came while the item was slow; ";
        ResetEvent(slow);
        if (WaitForSingleObject(reader, kWaitMs) != WAIT_OBJECT_0) problem += "the read hung; ";
        if (read.values != values) problem += "the synchronous read's values are wrong; ";
        const std::vector<DeliveryCopy> got =
            sink.WaitFor(1, kWaitMs) ? sink.Deliveries() : std::vector<DeliveryCopy>();
        if (got.empty() || got[0].items.empty() || got[0].items[0].values != values)
            problem += "the queued read's values are wrong or missing; ";
        CloseHandle(reader);
        CoTaskMemFree(errors);
        errors = nullptr;
        c.server->ReleaseItemHandles(1, handle, &errors);
    } else {
        problem += "no handle for the slow item; ";
    }
    CoTaskMemFree(handle);
    CoTaskMemFree(errors);
    CloseHandle(slow);
    return problem + Closed(c);
}

// A client process of the load test, killed once it has had 20 callbacks.
std::string KilledClient() {
    LoadPlan plan;
    plan.clients = 1;
    plan.threads = 2;
    plan.seconds = 60;
    LoadClients clients(plan);
    if (!clients.Start()) return "the client did not start";
    clients.Go();
    if (!clients.WaitBusy(kWaitMs)) return "the client got no callbacks";
    clients.Kill(0);
    return "";
}

TEST(Faults, OtherClientsAreServedOnTimeWhileOneMisbehaves) {
    const struct {
        const char *name;
        std::function<std::string()> run;
        bool leaves;  // connections that stay
    } cases[] = {
        {"a sink that fails", [] { return AnsweringSink(E_FAIL, false); }, false},
        {"a sink that answers as a dead client",
         [] { return AnsweringSink(RPC_E_DISCONNECTED, true); }, false},
        {"a sink slower than a tick", SlowSink, false},
        {"a sink that releases its connection", ReleasingSink, false},
        {"an application that blocks in ReadAt", SlowApplication, false},
        {"a client killed in the middle of its work", KilledClient, true},
    };
    SetEnvironmentVariableA("OANOCACHE", "1");
    ASSERT_TRUE(StopTestServer(kWaitMs));
    IOPCHDA_Server *holder = nullptr;
    ASSERT_EQ(S_OK, ConnectTestServer(IID_IOPCHDA_Server, &holder));
    AccountsReader reader;
    ASSERT_TRUE(reader.Open());
    for (const auto &fc : cases) {
        Witness witness;
        ServerAccounts start = {};
        ASSERT_TRUE(witness.Open()) << fc.name;
        ASSERT_TRUE(reader.WaitUntil([](const ServerAccounts &a) { return a.connections == 2; },
                                     kWaitMs, &start)) << fc.name;
        ASSERT_EQ("", witness.Advise()) << fc.name;
        EXPECT_EQ("", fc.run()) << fc.name;
        EXPECT_TRUE(witness.More(10)) << fc.name;
        ULONGLONG worstMs = 0;
        EXPECT_EQ("", witness.Finish(&worstMs)) << fc.name;
        printf("%s: the witness's windows came at most %llu ms after their end\n", fc.name,
               worstMs);
        EXPECT_TRUE(witness.c.Close()) << fc.name;
        if (!fc.leaves) {
            EXPECT_EQ("", WaitBackTo(reader, start, 1, kWaitMs)) << fc.name;
        }
    }
    holder->Release();
    EXPECT_TRUE(StopTestServer(kWaitMs));
}

}  // namespace
