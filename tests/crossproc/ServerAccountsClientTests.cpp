// What the test server keeps after its clients have gone, as it publishes
// it (support/ServerAccounts.h): task allocations outstanding, connections,
// and server objects referenced and finally released. Queued results belong
// to the server, which frees them once delivered; synchronous results
// belong to the client.
#include <gtest/gtest.h>

#include <cstdio>

#include "support/CheckingSink.h"
#include "support/ClientCalls.h"
#include "support/ReadConnection.h"
#include "support/ServerAccounts.h"
#include "support/ServerConnection.h"

namespace {

using testsupport::CheckingSink;
using testsupport::ReadConnection;
using testsupport::ServerAccounts;

constexpr DWORD kWaitMs = 10000;

// Every kind of call, twice over, on connections let go in each way a
// client can: the server must end where it stood with one bare connection.
TEST(ServerAccounts, EveryKindOfCallLeavesNothingBehind) {
    // A fresh server started from here inherits OANOCACHE, so that oleaut32
    // frees strings instead of keeping them for reuse.
    SetEnvironmentVariableA("OANOCACHE", "1");
    ASSERT_TRUE(testsupport::StopTestServer(kWaitMs));
    // Keeps the server from quitting while idle between the sessions.
    IOPCHDA_Server *holder = nullptr;
    ASSERT_EQ(S_OK, testsupport::ConnectTestServer(IID_IOPCHDA_Server, &holder));
    testsupport::AccountsReader reader;
    ASSERT_TRUE(reader.Open());
    ServerAccounts start = {};
    ASSERT_TRUE(reader.WaitUntil([](const ServerAccounts &a) { return a.connections == 1; },
                                 kWaitMs, &start));
    ASSERT_EQ(1, start.bstrCacheOff) << "the server's environment lacks OANOCACHE";

    enum LetGo { kClose, kReleaseAdvised, kReleaseAdvising };
    const struct {
        const char *name;
        LetGo how;
    } cases[] = {
        {"closed in order", kClose},
        // The object gives the sink back when it is deleted.
        {"released with its sink advised", kReleaseAdvised},
        {"released with an advise running", kReleaseAdvising},
    };
    DWORD n = 0;
    // The most of the server's own allocations seen outstanding while it
    // called a sink: a delivery's arrays at least, or the accounting is blind.
    volatile LONG seen = 0;
    for (int round = 0; round < 2; ++round) {
        for (const auto &c : cases) {
            CheckingSink sink;
            sink.answer = [&](DWORD) {
                const LONG now = reader.Read().serverAllocations;
                if (now > seen) seen = now;
                return S_OK;
            };
            ReadConnection connection;
            ASSERT_EQ(S_OK, connection.Open(&sink)) << c.name;
            EXPECT_EQ("", testsupport::CallEveryKind(connection, sink, n += 16, kWaitMs))
                << c.name;
            DWORD cancel = 0;
            if (c.how == kReleaseAdvising) {
                const DWORD t = testsupport::TransactionId(testsupport::kAdviseKind, n);
                EXPECT_EQ("", testsupport::StartAdvise(connection, t, testsupport::UtcNowMs(),
                                                       500000, &cancel)) << c.name;
            }
            if (c.how == kClose) {
                EXPECT_TRUE(connection.Close()) << c.name;
            } else {
                connection.Release();
                EXPECT_TRUE(testsupport::WaitBackToOne(sink, kWaitMs)) << c.name;
            }
            EXPECT_EQ("", sink.Problems()) << c.name;
        }
    }
    EXPECT_LT(start.serverAllocations, seen);
    EXPECT_EQ("", testsupport::WaitBackTo(reader, start, 1, kWaitMs));
    // A fault of Wine's stubs (see server/ServerAccounting.h), shown for the record.
    printf("kept by COM's marshaling: %ld blocks\n", reader.Read().allocations - start.allocations);

    holder->Release();
    ServerAccounts end = {};
    EXPECT_TRUE(reader.WaitUntil(
        [](const ServerAccounts &a) {
            return a.connections == 0 && a.created == a.released && a.badCounts == 0;
        },
        kWaitMs, &end))
        << end.connections << " connections, " << end.created << " objects created, "
        << end.released << " released, " << end.badCounts << " bad counts";
    // Two rounds of three connections, and the holder.
    EXPECT_EQ(6, end.created - start.created);
    EXPECT_EQ(7, end.released - start.released);
}

}  // namespace
