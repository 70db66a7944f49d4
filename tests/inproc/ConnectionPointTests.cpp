// The connection-point container of a server object, its two points and its
// enumerator, reached in-process through the class object: exact event
// texts, results, reference counts, and the shutdown notice.
#include <gtest/gtest.h>
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <string>
#include <vector>

#include "Halvex.h"
#include "opccomn.h"
#include "opchda.h"
#include "support/CountingSink.h"
#include "support/EventLog.h"
#include "support/TestIds.h"

using testsupport::CountingSink;
using testsupport::EventRecorder;
using Texts = std::vector<std::string>;

namespace {

constexpr UINT kTickMs = 100;
constexpr DWORD kWaitMs = 5000;

const char kContainerAddRef[] = "OPCServerConnectionContainer::AddRef() [defered to OPCServer]";
const char kContainerRelease[] = "OPCServerConnectionContainer::Release() [defered to OPCServer]";
const char kFind[] = "CIHDASvrConnectionContainer::FindConnectionPoint";
const char kNext[] = "CIOPCServerConnectionPtEnumerator::Next";

Texts Events() { return EventRecorder::Instance().Take(); }

std::string Count(const char *base, int n) { return base + ("(" + std::to_string(n) + ")"); }
std::string ServerAddRef(int n) { return Count("HDAServer::AddRef", n); }
std::string ServerRelease(int n) { return Count("HDAServer::Release", n); }

template <class T>
void **Out(T **p) {
    return reinterpret_cast<void **>(p);
}

// One connection per test, holding 1 reference; its container holds the 2nd.
class ConnectionPoints : public ::testing::Test {
protected:
    void SetUp() override {
        IClassFactory *factory = nullptr;
        ASSERT_EQ(S_OK, CoGetClassObject(testids::kInprocClsid, CLSCTX_LOCAL_SERVER, nullptr,
                                         IID_IClassFactory, Out(&factory)));
        ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IUnknown, Out(&server_)));
        factory->Release();
        ASSERT_EQ(S_OK, server_->QueryInterface(IID_IConnectionPointContainer, Out(&container_)));
        Events();
    }
    void TearDown() override {
        if (container_) container_->Release();
        if (server_) server_->Release();
    }

    IConnectionPoint *Find(REFIID riid) {
        IConnectionPoint *point = nullptr;
        EXPECT_EQ(S_OK, container_->FindConnectionPoint(riid, &point));
        Events();
        return point;
    }

    IUnknown *server_ = nullptr;
    IConnectionPointContainer *container_ = nullptr;
};

TEST_F(ConnectionPoints, ContainerIsCreatedOnceAndFindsBothPoints) {
    IConnectionPointContainer *again = nullptr;
    ASSERT_EQ(S_OK, server_->QueryInterface(IID_IConnectionPointContainer, Out(&again)));
    EXPECT_EQ(container_, again);
    EXPECT_EQ(2u, again->Release());
    EXPECT_EQ(Texts({"HDAServer::QueryInterface IID_IConnectionPointContainer", ServerAddRef(3),
                     kContainerRelease, ServerRelease(3)}),
              Events());

    // QueryInterface answers for the container itself; FindConnectionPoint
    // gives the same point each time. Successes take one server reference.
    const std::string qi = "CIOPCServerConnectionContainer::QueryInterface", find = kFind;
    const struct {
        bool find;
        const IID *iid;
        HRESULT result;
        Texts texts;
    } cases[] = {
        {false, &IID_IUnknown, S_OK, {qi + " IID_IUnknown", kContainerAddRef, ServerAddRef(3)}},
        {false, &IID_IConnectionPointContainer, S_OK,
         {qi + " IID_IConnectionPointContainer", kContainerAddRef, ServerAddRef(3)}},
        {false, &IID_IMarshal, E_NOINTERFACE, {qi + " IID_IMarshal"}},
        {false, &IID_IOPCHDA_Server, E_NOINTERFACE, {qi}},
        {true, &IID_IOPCShutdown, S_OK,
         {find + " IID_IOPCShutdown",
          "OPCServerConnectionPoint::AddRef() [defered to OPCServerConnectionContainer]",
          kContainerAddRef, ServerAddRef(3)}},
        {true, &IID_IOPCHDA_DataCallback, S_OK,
         {find + " IID_IOPCHDA_DataCallback",
          "CHDACallbackConnectionPoint::AddRef() [defered to OPCServerConnectionContainer]",
          kContainerAddRef, ServerAddRef(3)}},
        {true, &IID_IOPCHDA_Browser, E_NOINTERFACE, {find + " E_NOINTERFACE"}},
        {true, &IID_IConnectionPoint, E_NOINTERFACE, {find + " E_NOINTERFACE"}},
    };
    for (const auto &c : cases) {
        IUnknown *got[2] = {};
        for (IUnknown *&p : got) {
            EXPECT_EQ(c.result, c.find ? container_->FindConnectionPoint(
                                             *c.iid, reinterpret_cast<IConnectionPoint **>(&p))
                                       : container_->QueryInterface(*c.iid, Out(&p)));
            EXPECT_EQ(c.texts, Events());
            if (p) p->Release();
            Events();
        }
        EXPECT_EQ(got[0], got[1]);
        EXPECT_EQ(c.result == S_OK, got[0] != nullptr);
        if (!c.find && c.result == S_OK) {
            EXPECT_EQ(static_cast<IUnknown *>(container_), got[0]);
        }
    }
    EXPECT_EQ(E_INVALIDARG, container_->QueryInterface(IID_IUnknown, nullptr));
    EXPECT_EQ(E_INVALIDARG, container_->FindConnectionPoint(IID_IOPCShutdown, nullptr));
    EXPECT_EQ(Texts({qi + " E_INVALIDARG", find + " E_INVALIDARG"}), Events());
}

TEST_F(ConnectionPoints, EachPointAdvisesOneSinkWithCookieOne) {
    const struct {
        const IID *iid;
        const char *name, *queryInterface, *served;
    } points[] = {
        {&IID_IOPCShutdown, "OPCServerConnectionPoint", "OPCSvrConnectionPoint::QueryInterface",
         "{F31DFDE1-07B6-11D2-B2D8-0060083BA1FB}"},
        {&IID_IOPCHDA_DataCallback, "CHDACallbackConnectionPoint",
         "CHDACallbackConnectionPoint::QueryInterface", "{1F1217B9-DEE0-11D2-A5E5-000086339399}"},
    };
    for (const auto &p : points) {
        const std::string name = p.name;
        const std::string addRef = name + "::AddRef() [defered to OPCServerConnectionContainer]";
        const std::string release = name + "::Release() [defered to OPCServerConnectionContainer]";
        const std::string advise = name + "::Advise", unadvise = name + "::Uadvise";
        IConnectionPoint *point = Find(*p.iid);  // server count 3
        ASSERT_NE(nullptr, point) << p.name;

        IID served = {};
        EXPECT_EQ(S_OK, point->GetConnectionInterface(&served)) << p.name;
        wchar_t text[40];
        StringFromGUID2(served, text, 40);
        EXPECT_EQ(std::string(p.served), std::string(text, text + wcslen(text))) << p.name;
        IConnectionPointContainer *owner = nullptr;
        EXPECT_EQ(S_OK, point->GetConnectionPointContainer(&owner)) << p.name;
        EXPECT_EQ(container_, owner) << p.name;
        IConnectionPoint *self = nullptr;
        EXPECT_EQ(S_OK, point->QueryInterface(IID_IConnectionPoint, Out(&self))) << p.name;
        EXPECT_EQ(point, self) << p.name;
        EXPECT_EQ(E_NOINTERFACE, point->QueryInterface(IID_IMarshal, Out(&self))) << p.name;
        EXPECT_EQ(nullptr, self) << p.name;
        EXPECT_EQ(Texts({name + "::GetConnectionInterface", name + "::GetConnectionPointContainer",
                         kContainerAddRef, ServerAddRef(4),
                         std::string(p.queryInterface) + " IID_IConnectionPoint", addRef,
                         kContainerAddRef, ServerAddRef(5),
                         std::string(p.queryInterface) + " IID_IMarshal"}),
                  Events()) << p.name;
        EXPECT_EQ(4u, point->Release()) << p.name;
        EXPECT_EQ(3u, owner->Release()) << p.name;
        EXPECT_EQ(Texts({release, kContainerRelease, ServerRelease(5), kContainerRelease,
                         ServerRelease(4)}),
                  Events()) << p.name;

        EXPECT_EQ(E_INVALIDARG, point->GetConnectionInterface(nullptr)) << p.name;
        EXPECT_EQ(E_INVALIDARG, point->GetConnectionPointContainer(nullptr)) << p.name;
        EXPECT_EQ(E_INVALIDARG, point->QueryInterface(IID_IUnknown, nullptr)) << p.name;
        EXPECT_EQ(Texts({name + "::GetConnectionInterface E_INVALIDARG",
                         name + "::GetConnectionPointContainer E_INVALIDARG",
                         std::string(p.queryInterface) + " E_INVALIDARG"}),
                  Events()) << p.name;

        // Advise and Unadvise, with the sinks' references followed by hand.
        CountingSink sink(true, true), other(true, true);
        CountingSink lacking(!IsEqualIID(*p.iid, IID_IOPCShutdown),
                             !IsEqualIID(*p.iid, IID_IOPCHDA_DataCallback));
        DWORD cookie = 0xdeadbeef;
        EXPECT_EQ(E_POINTER, point->Advise(nullptr, &cookie)) << p.name;
        EXPECT_EQ(E_POINTER, point->Advise(static_cast<IOPCShutdown *>(&sink), nullptr)) << p.name;
        EXPECT_EQ(CONNECT_E_CANNOTCONNECT,
                  point->Advise(static_cast<IOPCShutdown *>(&lacking), &cookie)) << p.name;
        EXPECT_EQ(1, lacking.Refs()) << p.name;
        EXPECT_EQ(S_OK, point->Advise(static_cast<IOPCShutdown *>(&sink), &cookie)) << p.name;
        EXPECT_EQ(1u, cookie) << p.name;
        EXPECT_EQ(2, sink.Refs()) << p.name;
        EXPECT_EQ(CONNECT_E_ADVISELIMIT,
                  point->Advise(static_cast<IOPCShutdown *>(&other), &cookie)) << p.name;
        EXPECT_EQ(1, other.Refs()) << p.name;
        EXPECT_EQ(CONNECT_E_NOCONNECTION, point->Unadvise(2)) << p.name;
        EXPECT_EQ(2, sink.Refs()) << p.name;
        EXPECT_EQ(S_OK, point->Unadvise(1)) << p.name;
        EXPECT_EQ(1, sink.Refs()) << p.name;
        EXPECT_EQ(CONNECT_E_NOCONNECTION, point->Unadvise(1)) << p.name;
        EXPECT_EQ(Texts({advise + " E_POINTER", advise + " E_POINTER",
                         advise + " CONNECT_E_CANNOTCONNECT", advise + " S_OK",
                         advise + " E_ADVISELIMIT", unadvise + " CONNECT_E_NOCONNECTION",
                         unadvise + " CONNECT_E_NOCONNECTION"}),
                  Events()) << p.name;
        // Empty again: another sink is accepted, again with cookie 1.
        cookie = 0;
        EXPECT_EQ(S_OK, point->Advise(static_cast<IOPCShutdown *>(&other), &cookie)) << p.name;
        EXPECT_EQ(1u, cookie) << p.name;
        EXPECT_EQ(S_OK, point->Unadvise(1)) << p.name;
        EXPECT_EQ(1, other.Refs()) << p.name;
        IEnumConnections *connections = reinterpret_cast<IEnumConnections *>(0xdeadbeef);
        EXPECT_EQ(E_NOTIMPL, point->EnumConnections(&connections)) << p.name;
        EXPECT_EQ(Texts({advise + " S_OK"}), Events()) << p.name;
        point->Release();
        Events();
    }
}

TEST_F(ConnectionPoints, EnumeratorListsShutdownThenDataCallbackOnePerCall) {
    const Texts shutdownFound = {kNext, std::string(kFind) + " IID_IOPCShutdown",
                                 "OPCServerConnectionPoint::AddRef() [defered to "
                                 "OPCServerConnectionContainer]",
                                 kContainerAddRef, ServerAddRef(4)};
    const Texts callbackFound = {kNext, std::string(kFind) + " IID_IOPCHDA_DataCallback",
                                 "CHDACallbackConnectionPoint::AddRef() [defered to "
                                 "OPCServerConnectionContainer]",
                                 kContainerAddRef, ServerAddRef(4)};
    IEnumConnectionPoints *points = nullptr;
    ASSERT_EQ(S_OK, container_->EnumConnectionPoints(&points));
    EXPECT_EQ(Texts({"CIHDASvrConnectionContainer::EnumConnectionPoints S_OK",
                     "IOPCServerConnectionPtEnumerator::AddRef(1)", kContainerAddRef,
                     ServerAddRef(3)}),
              Events());

    // Each step: Skip/Reset first (no texts), then one Next with a count of 1.
    enum Move { kNone, kReset, kSkip1, kSkip5, kResetSkip1 };
    const struct {
        Move move;
        HRESULT result;
        const Texts *texts;
    } steps[] = {
        {kNone, S_OK, &shutdownFound},  {kNone, S_OK, &callbackFound},
        {kNone, S_FALSE, nullptr},      {kNone, S_FALSE, nullptr},
        {kReset, S_OK, &shutdownFound}, {kReset, S_OK, &shutdownFound},
        {kSkip1, S_FALSE, nullptr},     {kReset, S_OK, &shutdownFound},
        {kSkip5, S_FALSE, nullptr},     {kResetSkip1, S_OK, &callbackFound},
    };
    int step = 0;
    for (const auto &s : steps) {
        const ULONG skip = s.move == kSkip5 ? 5 : s.move == kNone || s.move == kReset ? 0 : 1;
        const bool reset = s.move == kReset || s.move == kResetSkip1;
        EXPECT_EQ(S_OK, reset ? points->Reset() : S_OK) << step++;
        EXPECT_EQ(S_OK, skip ? points->Skip(skip) : S_OK) << step++;
        IConnectionPoint *point = nullptr;
        ULONG fetched = 7;
        EXPECT_EQ(s.result, points->Next(1, &point, &fetched)) << step++;
        EXPECT_EQ(s.texts ? 1u : 0u, fetched) << step++;
        EXPECT_EQ(s.texts ? *s.texts : Texts({kNext}), Events()) << step++;
        if (point) point->Release();
        Events();
    }
    // Two asked, one delivered and the rest cleared; none asked, nothing
    // delivered and the position kept; no fetched count only for exactly one.
    IConnectionPoint *const sentinel = reinterpret_cast<IConnectionPoint *>(0xdeadbeef);
    IConnectionPoint *batch[2] = {nullptr, sentinel};
    ULONG fetched = 7;
    EXPECT_EQ(S_OK, points->Reset());
    EXPECT_EQ(S_OK, points->Next(2, batch, &fetched));
    EXPECT_EQ(1u, fetched);
    EXPECT_EQ(nullptr, batch[1]);
    EXPECT_EQ(shutdownFound, Events());
    batch[0]->Release();
    Events();
    batch[0] = sentinel;
    EXPECT_EQ(S_OK, points->Next(0, batch, &fetched));
    EXPECT_EQ(0u, fetched);
    EXPECT_EQ(sentinel, batch[0]);
    EXPECT_EQ(E_POINTER, points->Next(2, batch, nullptr));
    EXPECT_EQ(S_OK, points->Next(1, batch, nullptr));
    Texts expected = callbackFound;
    expected.insert(expected.begin(), {kNext, kNext});
    EXPECT_EQ(expected, Events());
    batch[0]->Release();
    Events();

    // The clone starts at the first point, whatever the original's position.
    IEnumConnectionPoints *clone = nullptr;
    ASSERT_EQ(S_OK, points->Clone(&clone));
    EXPECT_EQ(Texts({"IOPCServerConnectionPtEnumerator::AddRef(1)", kContainerAddRef,
                     ServerAddRef(4)}),
              Events());
    EXPECT_EQ(S_OK, clone->Next(1, batch, &fetched));
    Texts fromClone = shutdownFound;
    fromClone.back() = ServerAddRef(5);
    EXPECT_EQ(fromClone, Events());
    batch[0]->Release();
    Events();
    EXPECT_EQ(0u, clone->Release());
    EXPECT_EQ(Texts({"IOPCServerConnectionPtEnumerator::Release(1)", kContainerRelease,
                     ServerRelease(4)}),
              Events());

    // QueryInterface, and a second reference given back at the last Release.
    IEnumConnectionPoints *same = nullptr;
    ASSERT_EQ(S_OK, points->QueryInterface(IID_IEnumConnectionPoints, Out(&same)));
    EXPECT_EQ(points, same);
    EXPECT_EQ(E_NOINTERFACE, points->QueryInterface(IID_IMarshal, Out(&same)));
    EXPECT_EQ(Texts({"CIOPCServerConnectionContainer::QueryInterface IID_IEnumConnectionPoints",
                     "IOPCServerConnectionPtEnumerator::AddRef(2)", kContainerAddRef,
                     ServerAddRef(4),
                     "CIOPCServerConnectionContainer::QueryInterface IID_IMarshal"}),
              Events());
    EXPECT_EQ(1u, points->Release());
    EXPECT_EQ(Texts({"IOPCServerConnectionPtEnumerator::Release(2)"}), Events());
    EXPECT_EQ(0u, points->Release());
    EXPECT_EQ(Texts({"IOPCServerConnectionPtEnumerator::Release(1)", kContainerRelease,
                     ServerRelease(4), kContainerRelease, ServerRelease(3)}),
              Events());
}

// A client that answers ShutdownRequest by letting go of its connection on
// another thread.
struct Releases {
    IUnknown *first, *second;
};
DWORD WINAPI ReleaseBoth(void *arg) {
    static_cast<Releases *>(arg)->first->Release();
    static_cast<Releases *>(arg)->second->Release();
    return 0;
}

TEST_F(ConnectionPoints, DisconnectRequestCallsEachAdvisedShutdownSinkOnce) {
    IConnectionPoint *point = Find(IID_IOPCShutdown);
    CountingSink sink(true, true);
    DWORD cookie = 0;
    ASSERT_EQ(S_OK, point->Advise(static_cast<IOPCShutdown *>(&sink), &cookie));
    point->Release();
    // Two more connections, both skipped: one without a container, one with
    // an empty shutdown point.
    IUnknown *bare = nullptr;
    IConnectionPointContainer *empty = nullptr;
    IClassFactory *factory = nullptr;
    ASSERT_EQ(S_OK, CoGetClassObject(testids::kInprocClsid, CLSCTX_LOCAL_SERVER, nullptr,
                                     IID_IClassFactory, Out(&factory)));
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IUnknown, Out(&bare)));
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IConnectionPointContainer, Out(&empty)));
    factory->Release();
    Events();
    sink.onShutdown = [] { EventRecorder::Sink("#ShutdownRequest"); };

    EXPECT_EQ(3, RequestHDADisconnect());
    EXPECT_EQ(Texts({"#ShutdownRequest"}), Events());
    EXPECT_EQ(1, sink.ShutdownCalls());
    EXPECT_EQ(L"", sink.LastReason());
    EXPECT_EQ(2, sink.Refs());

    // Now the client releases its connection from another thread during the
    // call; that last release needs the toolkit's state lock.
    Releases mine = {container_, server_};
    container_ = nullptr;
    server_ = nullptr;
    DWORD waited = WAIT_FAILED;
    sink.onShutdown = [&] {
        HANDLE releaser = CreateThread(nullptr, 0, ReleaseBoth, &mine, 0, nullptr);
        waited = WaitForSingleObject(releaser, kWaitMs);
        CloseHandle(releaser);
    };
    EXPECT_EQ(3, RequestHDADisconnect());
    EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), waited);
    EXPECT_EQ(2, sink.ShutdownCalls());
    EXPECT_EQ(2, NumbrClientConnections());
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(sink.backToOne, kWaitMs));
    bare->Release();
    empty->Release();
}

TEST_F(ConnectionPoints, DestroyedServerReleasesAdvisedSinksOnce) {
    CountingSink shutdown(true, false), callback(false, true), gone(true, true);
    IConnectionPoint *shutdownPoint = Find(IID_IOPCShutdown);
    IConnectionPoint *callbackPoint = Find(IID_IOPCHDA_DataCallback);
    DWORD cookie = 0;
    // Advised and unadvised before the end: released once, by Unadvise.
    ASSERT_EQ(S_OK, shutdownPoint->Advise(static_cast<IOPCShutdown *>(&gone), &cookie));
    ASSERT_EQ(S_OK, shutdownPoint->Unadvise(cookie));
    ASSERT_EQ(S_OK, shutdownPoint->Advise(static_cast<IOPCShutdown *>(&shutdown), &cookie));
    ASSERT_EQ(S_OK, callbackPoint->Advise(static_cast<IOPCShutdown *>(&callback), &cookie));
    shutdownPoint->Release();
    callbackPoint->Release();
    EXPECT_EQ(2, shutdown.Refs());
    EXPECT_EQ(2, callback.Refs());

    container_->Release();
    container_ = nullptr;
    EXPECT_EQ(0u, server_->Release());
    server_ = nullptr;
    // The service thread frees the object at its next tick.
    HANDLE released[] = {shutdown.backToOne, callback.backToOne};
    EXPECT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(2, released, TRUE, kWaitMs));
    EXPECT_EQ(1, shutdown.Refs());
    EXPECT_EQ(1, callback.Refs());
    EXPECT_EQ(1, gone.Refs());
    EXPECT_EQ(0, shutdown.ShutdownCalls());
}

}  // namespace

int main(int argc, char **argv) {
    InitHalvex(testids::kInprocClsid, kTickMs);
    EnableHDAEventMsgs(EventRecorder::Sink);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
