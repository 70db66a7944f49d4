#include "support/LoadRun.h"

#include <cstdio>

#include "support/CheckingSink.h"
#include "support/ClientCalls.h"
#include "support/ServerAccounts.h"
#include "support/ServerConnection.h"

namespace testsupport {
namespace {

constexpr DWORD kWaitMs = 10000;

// Every kind of call on a new connection, as CallEveryKind checks it.
std::string AnswersWell() {
    CheckingSink sink;
    ReadConnection c;
    if (c.Open(&sink) != S_OK) return "no new connection after the load";
    std::string problem = CallEveryKind(c, sink, 1, kWaitMs);
    if (!c.Close()) problem += "the last connection did not close; ";
    problem += sink.Problems();
    return problem.empty() ? "" : "after the load: " + problem;
}

}  // namespace

LoadFigures RunLoad(const LoadPlan &plan) {
    LoadFigures f;
    f.plan = plan;
    auto note = [&f](const std::string &problem) {
        if (!problem.empty()) f.problems += problem + (problem.back() == '\n' ? "" : "\n");
    };
    // A fresh server, started from here: it inherits OANOCACHE, as the
    // clients do.
    SetEnvironmentVariableA("OANOCACHE", "1");
    if (!StopTestServer(kWaitMs)) {
        note("a test server still running did not stop");
        return f;
    }
    // Keeps the server from quitting while idle before and after the load.
    IOPCHDA_Server *holder = nullptr;
    if (FAILED(ConnectTestServer(IID_IOPCHDA_Server, &holder))) {
        note("the test server could not be activated");
        return f;
    }
    AccountsReader reader;
    ServerAccounts start = {};
    if (!reader.Open() ||
        !reader.WaitUntil([](const ServerAccounts &a) { return a.connections == 1; }, kWaitMs,
                          &start))
        note("the test server published no accounts");
    else if (!start.bstrCacheOff)
        note("the server's environment lacks OANOCACHE");
    {
        LoadClients clients(plan);
        if (clients.Start()) {
            clients.Go();
            const ULONGLONG go = GetTickCount64();
            clients.WaitEnd(1000u * plan.seconds + 90000);
            f.seconds = (GetTickCount64() - go) / 1000.0;
        } else {
            note("the clients did not all start and connect");
        }
        f.total = clients.Total();
        note(clients.Problems());
    }
    note(AnswersWell());
    note(WaitBackTo(reader, start, 1, kWaitMs));
    f.marshalingBlocks = reader.Read().allocations - start.allocations;
    holder->Release();
    ServerAccounts end = {};
    if (!reader.WaitUntil(
            [](const ServerAccounts &a) {
                return a.connections == 0 && a.created == a.released && a.badCounts == 0;
            },
            kWaitMs, &end))
        note("at the end: " + std::to_string(end.connections) + " connections, " +
             std::to_string(end.created) + " objects created, " + std::to_string(end.released) +
             " released, " + std::to_string(end.badCounts) + " bad counts");
    StopTestServer(kWaitMs);
    return f;
}

std::string Summary(const LoadFigures &f) {
    const LoadTally &t = f.total;
    const double s = f.seconds > 0 ? f.seconds : 1;
    char text[700];
    snprintf(text, sizeof text,
             "%d client processes x %d threads for %d s (%.1f s from the go to the last end):\n"
             "  %ld calls (%.0f/s), %ld callbacks of queued reads and %ld advise windows "
             "(%.0f/s), %ld cancels, %ld connections opened\n"
             "  worst callback %ld ms after its read's call, worst window %ld ms after its end\n"
             "  %ld time-outs, %ld failures; COM's stubs kept %ld blocks of task memory\n",
             f.plan.clients, f.plan.threads, f.plan.seconds, f.seconds, t.calls, t.calls / s,
             t.callbacks, t.windows, (t.callbacks + t.windows) / s, t.cancels, t.connects,
             t.worstReadMs, t.worstWindowMs, t.timeouts, t.failures, f.marshalingBlocks);
    return text;
}

}  // namespace testsupport
