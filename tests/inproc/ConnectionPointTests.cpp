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
using Results = std::vector<HRESULT>;

namespace {

constexpr DWORD kWaitMs = 5000;

const char kContainerAddRef[] = "OPCServerConnectionContainer::AddRef() [defered to OPCServer]";
const char kContainerRelease[] = "OPCServerConnectionContainer::Release() [defered to OPCServer]";
const char kFind[] = "CIHDASvrConnectionContainer::FindConnectionPoint";
const char kNext[] = "CIOPCServerConnectionPtEnumerator::Next";
const char kShutdownPoint[] = "OPCServerConnectionPoint";
const char kCallbackPoint[] = "CHDACallbackConnectionPoint";

Texts Events() { return EventRecorder::Instance().Take(); }
std::string ServerAddRef(int n) { return "HDAServer::AddRef(" + std::to_string(n) + ")"; }
std::string ServerRelease(int n) { return "HDAServer::Release(" + std::to_string(n) + ")"; }
// A point's AddRef or Release, which counts on its container.
std::string Deferred(const std::string &point, const char *method) {
    return point + "::" + method + "() [defered to OPCServerConnectionContainer]";
}

// The texts of a point found, at the given server count.
Texts Found(const char *iid, const char *point, int count) {
    return {std::string(kFind) + " " + iid, Deferred(point, "AddRef"), kContainerAddRef,
            ServerAddRef(count)};
}

template <class T>
void **Out(T **p) {
    return reinterpret_cast<void **>(p);
}

// A new server object as `riid`, from the class object.
template <class T>
HRESULT Create(REFIID riid, T **out) {
    IClassFactory *factory = nullptr;
    HRESULT hr = CoGetClassObject(testids::kInprocClsid, CLSCTX_LOCAL_SERVER, nullptr,
                                  IID_IClassFactory, Out(&factory));
    if (hr != S_OK) return hr;
    hr = factory->CreateInstance(nullptr, riid, Out(out));
    factory->Release();
    return hr;
}

// One connection per test, holding 1 reference; its container holds the 2nd.
class ConnectionPoints : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(S_OK, Create(IID_IUnknown, &server_));
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
    const struct { bool find; const IID *iid; HRESULT result; Texts texts; } cases[] = {
        {false, &IID_IUnknown, S_OK, {qi + " IID_IUnknown", kContainerAddRef, ServerAddRef(3)}},
        {false, &IID_IConnectionPointContainer, S_OK,
         {qi + " IID_IConnectionPointContainer", kContainerAddRef, ServerAddRef(3)}},
        {false, &IID_IMarshal, E_NOINTERFACE, {qi + " IID_IMarshal"}},
        {false, &IID_IOPCHDA_Server, E_NOINTERFACE, {qi}},
        {true, &IID_IOPCShutdown, S_OK, Found("IID_IOPCShutdown", kShutdownPoint, 3)},
        {true, &IID_IOPCHDA_DataCallback, S_OK,
         Found("IID_IOPCHDA_DataCallback", kCallbackPoint, 3)},
        {true, &IID_IOPCHDA_Browser, E_NOINTERFACE, {find + " E_NOINTERFACE"}},
        {true, &IID_IConnectionPoint, E_NOINTERFACE, {find + " E_NOINTERFACE"}},
    };
    for (const auto &c : cases) {
        IUnknown *got[2] = {};
        for (IUnknown *&p : got) {
            EXPECT_EQ(c.result, c.find ? container_->FindConnectionPoint(
                                             *c.iid, reinterpret_cast<IConnectionPoint **>(&p))
                                       : container_->QueryInterface(*c.iid, Out(&p)))
                << c.texts[0];
            EXPECT_EQ(c.texts, Events()) << c.texts[0];
            if (p) p->Release();
            Events();
        }
        EXPECT_EQ(got[0], got[1]) << c.texts[0];
        EXPECT_EQ(c.result == S_OK, got[0] != nullptr) << c.texts[0];
        EXPECT_EQ(!c.find && c.result == S_OK, got[0] == container_) << c.texts[0];
    }
    EXPECT_EQ(E_INVALIDARG, container_->QueryInterface(IID_IUnknown, nullptr));
    EXPECT_EQ(E_INVALIDARG, container_->FindConnectionPoint(IID_IOPCShutdown, nullptr));
    EXPECT_EQ(Texts({qi + " E_INVALIDARG", find + " E_INVALIDARG"}), Events());
}

TEST_F(ConnectionPoints, EachPointAdvisesOneSinkWithCookieOne) {
    const struct { const IID *iid; const char *name, *queryInterface; } points[] = {
        {&IID_IOPCShutdown, kShutdownPoint, "OPCSvrConnectionPoint::QueryInterface"},
        {&IID_IOPCHDA_DataCallback, kCallbackPoint, "CHDACallbackConnectionPoint::QueryInterface"},
    };
    for (const auto &p : points) {
        const std::string name = p.name, qi = p.queryInterface, advise = name + "::Advise";
        const char *n = p.name;
        IConnectionPoint *point = Find(*p.iid);  // server count 3
        ASSERT_NE(nullptr, point) << n;

        IID served = {};
        IConnectionPointContainer *owner = nullptr;
        IConnectionPoint *self = nullptr, *none = nullptr;
        EXPECT_EQ(Results({S_OK, S_OK, S_OK, E_NOINTERFACE, E_INVALIDARG, E_INVALIDARG,
                           E_INVALIDARG}),
                  Results({point->GetConnectionInterface(&served),
                           point->GetConnectionPointContainer(&owner),
                           point->QueryInterface(IID_IConnectionPoint, Out(&self)),
                           point->QueryInterface(IID_IMarshal, Out(&none)),
                           point->GetConnectionInterface(nullptr),
                           point->GetConnectionPointContainer(nullptr),
                           point->QueryInterface(IID_IUnknown, nullptr)})) << n;
        EXPECT_TRUE(IsEqualIID(*p.iid, served)) << n;
        EXPECT_EQ(container_, owner) << n;
        EXPECT_EQ(point, self) << n;
        EXPECT_EQ(nullptr, none) << n;
        EXPECT_EQ(Texts({name + "::GetConnectionInterface", name + "::GetConnectionPointContainer",
                         kContainerAddRef, ServerAddRef(4), qi + " IID_IConnectionPoint",
                         Deferred(name, "AddRef"), kContainerAddRef, ServerAddRef(5),
                         qi + " IID_IMarshal", name + "::GetConnectionInterface E_INVALIDARG",
                         name + "::GetConnectionPointContainer E_INVALIDARG",
                         qi + " E_INVALIDARG"}),
                  Events()) << n;
        EXPECT_EQ(4u, self->Release()) << n;
        EXPECT_EQ(3u, owner->Release()) << n;
        EXPECT_EQ(Texts({Deferred(name, "Release"), kContainerRelease, ServerRelease(5),
                         kContainerRelease, ServerRelease(4)}),
                  Events()) << n;

        // One sink at a time, always with cookie 1; the sinks' references
        // followed by hand.
        CountingSink sink(true, true), other(true, true);
        CountingSink lacking(!IsEqualIID(*p.iid, IID_IOPCShutdown),
                             !IsEqualIID(*p.iid, IID_IOPCHDA_DataCallback));
        IOPCShutdown *first = &sink, *second = &other, *wrong = &lacking;
        DWORD cookie = 0xdeadbeef, refused = 0;
        EXPECT_EQ(Results({E_POINTER, E_POINTER, CONNECT_E_CANNOTCONNECT, S_OK,
                           CONNECT_E_ADVISELIMIT}),
                  Results({point->Advise(nullptr, &refused), point->Advise(first, nullptr),
                           point->Advise(wrong, &refused), point->Advise(first, &cookie),
                           point->Advise(second, &refused)})) << n;
        EXPECT_EQ(1u, cookie) << n;
        EXPECT_EQ(std::vector<LONG>({1, 2, 1}),
                  std::vector<LONG>({lacking.Refs(), sink.Refs(), other.Refs()})) << n;
        EXPECT_EQ(Results({CONNECT_E_NOCONNECTION, S_OK, CONNECT_E_NOCONNECTION}),
                  Results({point->Unadvise(2), point->Unadvise(1), point->Unadvise(1)})) << n;
        EXPECT_EQ(1, sink.Refs()) << n;
        const std::string unadvise = name + "::Uadvise CONNECT_E_NOCONNECTION";
        EXPECT_EQ(Texts({advise + " E_POINTER", advise + " E_POINTER",
                         advise + " CONNECT_E_CANNOTCONNECT", advise + " S_OK",
                         advise + " E_ADVISELIMIT", unadvise, unadvise}),
                  Events()) << n;
        cookie = 0;
        EXPECT_EQ(S_OK, point->Advise(second, &cookie)) << n;
        EXPECT_EQ(1u, cookie) << n;
        EXPECT_EQ(S_OK, point->Unadvise(1)) << n;
        EXPECT_EQ(1, other.Refs()) << n;
        IEnumConnections *connections = reinterpret_cast<IEnumConnections *>(0xdeadbeef);
        EXPECT_EQ(E_NOTIMPL, point->EnumConnections(&connections)) << n;
        EXPECT_EQ(Texts({advise + " S_OK"}), Events()) << n;
        point->Release();
        Events();
    }
}

TEST_F(ConnectionPoints, EnumeratorListsShutdownThenDataCallbackOnePerCall) {
    // The texts of a Next that finds a point, at the given server count.
    auto found = [](const char *iid, const char *point, int count) {
        Texts texts = Found(iid, point, count);
        texts.insert(texts.begin(), kNext);
        return texts;
    };
    const Texts shutdownFound = found("IID_IOPCShutdown", kShutdownPoint, 4);
    const Texts callbackFound = found("IID_IOPCHDA_DataCallback", kCallbackPoint, 4);
    IEnumConnectionPoints *points = nullptr;
    ASSERT_EQ(S_OK, container_->EnumConnectionPoints(&points));
    EXPECT_EQ(Texts({"CIHDASvrConnectionContainer::EnumConnectionPoints S_OK",
                     "IOPCServerConnectionPtEnumerator::AddRef(1)", kContainerAddRef,
                     ServerAddRef(3)}),
              Events());

    // Each step: Reset and Skip (no texts) if asked, then one Next of one,
    // which finds the point with the texts given, or none (S_FALSE). A skip
    // past the end succeeds and leaves the cursor at the end.
    const struct { bool reset; ULONG skip; const Texts *texts; } steps[] = {
        {false, 0, &shutdownFound}, {false, 0, &callbackFound}, {false, 0, nullptr},
        {false, 0, nullptr},        {true, 0, &shutdownFound},  {true, 0, &shutdownFound},
        {false, 1, nullptr},        {true, 0, &shutdownFound},  {false, 5, nullptr},
        {true, 1, &callbackFound},
    };
    for (size_t i = 0; i < sizeof steps / sizeof steps[0]; ++i) {
        const auto &s = steps[i];
        EXPECT_EQ(S_OK, s.reset ? points->Reset() : S_OK) << "step " << i;
        EXPECT_EQ(S_OK, s.skip ? points->Skip(s.skip) : S_OK) << "step " << i;
        IConnectionPoint *point = nullptr;
        ULONG fetched = 7;
        EXPECT_EQ(s.texts ? S_OK : S_FALSE, points->Next(1, &point, &fetched)) << "step " << i;
        EXPECT_EQ(s.texts ? 1u : 0u, fetched) << "step " << i;
        EXPECT_EQ(s.texts ? *s.texts : Texts({kNext}), Events()) << "step " << i;
        if (point) point->Release();
        Events();
    }
    // Two asked, one delivered and the rest cleared; none asked, nothing
    // delivered and the position kept; no fetched count only for exactly one.
    IConnectionPoint *const sentinel = reinterpret_cast<IConnectionPoint *>(0xdeadbeef);
    IConnectionPoint *batch[2] = {nullptr, sentinel};
    ULONG fetched = 7;
    EXPECT_EQ(Results({S_OK, S_OK}), Results({points->Reset(), points->Next(2, batch, &fetched)}));
    EXPECT_EQ(1u, fetched);
    EXPECT_EQ(nullptr, batch[1]);
    EXPECT_EQ(shutdownFound, Events());
    batch[0]->Release();
    Events();
    batch[0] = sentinel;
    EXPECT_EQ(S_OK, points->Next(0, batch, &fetched));
    EXPECT_EQ(0u, fetched);
    EXPECT_EQ(sentinel, batch[0]);
    EXPECT_EQ(Results({E_POINTER, S_OK}),
              Results({points->Next(2, batch, nullptr), points->Next(1, batch, nullptr)}));
    Texts expected = Found("IID_IOPCHDA_DataCallback", kCallbackPoint, 4);
    expected.insert(expected.begin(), {kNext, kNext, kNext});
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
    EXPECT_EQ(found("IID_IOPCShutdown", kShutdownPoint, 5), Events());
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

// A client that answers ShutdownRequest by letting go of its connection (two
// references) on another thread.
DWORD WINAPI ReleaseBoth(void *references) {
    for (int i = 0; i < 2; ++i) static_cast<IUnknown **>(references)[i]->Release();
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
    ASSERT_EQ(S_OK, Create(IID_IUnknown, &bare));
    ASSERT_EQ(S_OK, Create(IID_IConnectionPointContainer, &empty));
    Events();
    sink.onShutdown = [] { EventRecorder::Sink("#ShutdownRequest"); };

    EXPECT_EQ(3, RequestHDADisconnect());
    EXPECT_EQ(Texts({"#ShutdownRequest"}), Events());
    EXPECT_EQ(1, sink.ShutdownCalls());
    EXPECT_EQ(L"", sink.LastReason());
    EXPECT_EQ(2, sink.Refs());

    // Now the client releases its connection from another thread during the
    // call; that last release needs the toolkit's state lock.
    IUnknown *mine[] = {container_, server_};
    container_ = nullptr;
    server_ = nullptr;
    DWORD waited = WAIT_FAILED;
    sink.onShutdown = [&] {
        HANDLE releaser = CreateThread(nullptr, 0, ReleaseBoth, mine, 0, nullptr);
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
    InitHalvex(testids::kInprocClsid, 100);
    EnableHDAEventMsgs(EventRecorder::Sink);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
