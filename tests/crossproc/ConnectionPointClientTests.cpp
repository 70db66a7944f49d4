// Connection points as a client in another process sees them: the points
// and their enumerator through the proxies, and a free-threaded IOPCShutdown
// sink in this process called back by the test server.
#include <gtest/gtest.h>
#include <ocidl.h>

#include <string>

#include "opccomn.h"
#include "opchda.h"
#include "support/CountingSink.h"
#include "support/ServerConnection.h"

namespace {

using testsupport::CountingSink;

constexpr DWORD kWaitMs = 10000;

std::string Iid(REFIID iid) {
    wchar_t text[40];
    StringFromGUID2(iid, text, 40);
    return std::string(text, text + wcslen(text));
}

std::string ServedBy(IConnectionPoint *point) {
    IID iid = {};
    return point && point->GetConnectionInterface(&iid) == S_OK ? Iid(iid) : "(failed)";
}

const char kShutdownIid[] = "{F31DFDE1-07B6-11D2-B2D8-0060083BA1FB}";
const char kDataCallbackIid[] = "{1F1217B9-DEE0-11D2-A5E5-000086339399}";

class ConnectionPointClient : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(S_OK, testsupport::ConnectTestServer(IID_IConnectionPointContainer, &container_));
    }
    void TearDown() override {
        if (container_) container_->Release();
    }
    IConnectionPointContainer *container_ = nullptr;
};

TEST_F(ConnectionPointClient, PointsAndEnumeratorNameTheirInterfaces) {
    IConnectionPoint *shutdown = nullptr, *callback = nullptr;
    ASSERT_EQ(S_OK, container_->FindConnectionPoint(IID_IOPCShutdown, &shutdown));
    ASSERT_EQ(S_OK, container_->FindConnectionPoint(IID_IOPCHDA_DataCallback, &callback));
    EXPECT_EQ(kShutdownIid, ServedBy(shutdown));
    EXPECT_EQ(kDataCallbackIid, ServedBy(callback));
    IConnectionPoint *none = nullptr;
    EXPECT_EQ(E_NOINTERFACE, container_->FindConnectionPoint(IID_IOPCHDA_Browser, &none));
    shutdown->Release();
    callback->Release();

    IEnumConnectionPoints *points = nullptr;
    ASSERT_EQ(S_OK, container_->EnumConnectionPoints(&points));
    const char *const expected[] = {kShutdownIid, kDataCallbackIid};
    for (const char *iid : expected) {
        IConnectionPoint *point = nullptr;
        ULONG fetched = 0;
        EXPECT_EQ(S_OK, points->Next(1, &point, &fetched));
        EXPECT_EQ(1u, fetched);
        EXPECT_EQ(iid, ServedBy(point));
        if (point) point->Release();
    }
    IConnectionPoint *point = nullptr;
    ULONG fetched = 7;
    EXPECT_EQ(S_FALSE, points->Next(1, &point, &fetched));
    EXPECT_EQ(0u, fetched);
    EXPECT_EQ(nullptr, point);
    // The clone starts again at the shutdown point.
    IEnumConnectionPoints *clone = nullptr;
    ASSERT_EQ(S_OK, points->Clone(&clone));
    EXPECT_EQ(S_OK, clone->Next(1, &point, &fetched));
    EXPECT_EQ(kShutdownIid, ServedBy(point));
    if (point) point->Release();
    // Asked for two, one comes: nothing but nulls follow it.
    IConnectionPoint *two[2] = {nullptr, nullptr};
    EXPECT_EQ(S_OK, clone->Next(2, two, &fetched));
    EXPECT_EQ(kDataCallbackIid, ServedBy(two[0]));
    EXPECT_EQ(nullptr, two[1]);
    if (two[0]) two[0]->Release();
    clone->Release();
    points->Release();
}

TEST_F(ConnectionPointClient, DisconnectRequestCallsTheShutdownSinkOnce) {
    HANDLE request = CreateEventA(nullptr, FALSE, FALSE, "Halvex.TestServer.RequestDisconnect");
    HANDLE done = CreateEventA(nullptr, FALSE, FALSE, "Halvex.TestServer.DisconnectDone");
    ASSERT_TRUE(request && done);
    CountingSink sink(true, false);
    IConnectionPoint *point = nullptr;
    ASSERT_EQ(S_OK, container_->FindConnectionPoint(IID_IOPCShutdown, &point));
    DWORD cookie = 0;
    ASSERT_EQ(S_OK, point->Advise(static_cast<IOPCShutdown *>(&sink), &cookie));
    EXPECT_EQ(1u, cookie);
    // Marshaling the sink may have touched a count of 1 on the way.
    ResetEvent(sink.backToOne);

    SetEvent(request);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(done, kWaitMs));
    EXPECT_EQ(1, sink.ShutdownCalls());
    EXPECT_EQ(L"", sink.LastReason());

    EXPECT_EQ(S_OK, point->Unadvise(cookie));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(sink.backToOne, kWaitMs));
    point->Release();
    CloseHandle(request);
    CloseHandle(done);
}

// The server object is freed by its service thread, which then gives back
// the sinks still advised: a call from that thread into this process.
TEST_F(ConnectionPointClient, ReleasedServerGivesBackItsSinks) {
    CountingSink sink(true, true);
    const IID *const iids[] = {&IID_IOPCShutdown, &IID_IOPCHDA_DataCallback};
    for (const IID *iid : iids) {
        IConnectionPoint *point = nullptr;
        ASSERT_EQ(S_OK, container_->FindConnectionPoint(*iid, &point));
        DWORD cookie = 0;
        EXPECT_EQ(S_OK, point->Advise(static_cast<IOPCShutdown *>(&sink), &cookie));
        point->Release();
    }
    ResetEvent(sink.backToOne);
    container_->Release();
    container_ = nullptr;
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(sink.backToOne, kWaitMs));
    EXPECT_EQ(1, sink.Refs());
    // The server's call that released the sink may still be sending its
    // reply; Wine can hang a process that exits during an incoming call.
    // One more advise and unadvise on a new connection is a call into this
    // process that ends before the outgoing call returns.
    CountingSink last(true, false);
    IConnectionPointContainer *other = nullptr;
    IConnectionPoint *point = nullptr;
    DWORD cookie = 0;
    ASSERT_EQ(S_OK, testsupport::ConnectTestServer(IID_IConnectionPointContainer, &other));
    EXPECT_EQ(S_OK, other->FindConnectionPoint(IID_IOPCShutdown, &point));
    EXPECT_EQ(S_OK, point->Advise(static_cast<IOPCShutdown *>(&last), &cookie));
    EXPECT_EQ(S_OK, point->Unadvise(cookie));
    EXPECT_EQ(1, last.Refs());
    point->Release();
    other->Release();
}

}  // namespace
