// Server objects reached through the class object that Halvex.dll registers
// in this process: exact event texts, reference counts and lifetimes.
#include <gtest/gtest.h>
#include <windows.h>
#include <tlhelp32.h>

#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "Halvex.h"
#include "opccomn.h"
#include "opchda.h"
#include "support/ChildProcess.h"
#include "support/CountingSink.h"
#include "support/EventLog.h"
#include "support/TestIds.h"

using testsupport::EventRecorder;
using Texts = std::vector<std::string>;

namespace {

constexpr UINT kTickMs = 300;

// Disconnect notifications go into the recorded texts, in order with the
// event messages.
void __stdcall OnDisconnect(int left) {
    EventRecorder::Sink(("#disconnect " + std::to_string(left)).c_str());
}

Texts Events() { return EventRecorder::Instance().Take(); }

template <class T>
void **Out(T **p) {
    return reinterpret_cast<void **>(p);
}

std::set<DWORD> ThreadsOfThisProcess() {
    std::set<DWORD> ids;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL ok = Thread32First(snap, &entry); ok; ok = Thread32Next(snap, &entry))
        if (entry.th32OwnerProcessID == GetCurrentProcessId()) ids.insert(entry.th32ThreadID);
    CloseHandle(snap);
    return ids;
}

IClassFactory *ClassObject() {
    IClassFactory *factory = nullptr;
    CoGetClassObject(testids::kInprocClsid, CLSCTX_LOCAL_SERVER, nullptr, IID_IClassFactory,
                     Out(&factory));
    return factory;
}

class ServerObject : public ::testing::Test {
protected:
    void SetUp() override {
        factory_ = ClassObject();
        ASSERT_NE(nullptr, factory_);
        Events();
    }
    void TearDown() override {
        if (factory_) factory_->Release();
    }
    // Creates a connection; the texts of the creation are dropped.
    IUnknown *Create() {
        IUnknown *server = nullptr;
        EXPECT_EQ(S_OK, factory_->CreateInstance(nullptr, IID_IUnknown, Out(&server)));
        Events();
        return server;
    }
    IClassFactory *factory_ = nullptr;
};

TEST_F(ServerObject, SameInterfaceTwiceGivesSamePointerAndCountsUp) {
    IOPCHDA_Server *first = nullptr, *second = nullptr;
    ASSERT_EQ(S_OK, factory_->CreateInstance(nullptr, IID_IOPCHDA_Server, Out(&first)));
    EXPECT_EQ(Texts({"HDAServer::QueryInterface IID_IOPCHDA_Server", "HDAServer::AddRef(1)"}),
              Events());
    ASSERT_EQ(S_OK, first->QueryInterface(IID_IOPCHDA_Server, Out(&second)));
    EXPECT_EQ(first, second);
    EXPECT_EQ(Texts({"IHDAServer::QueryInterface()  [defered to HDAServer]",
                     "HDAServer::QueryInterface IID_IOPCHDA_Server", "HDAServer::AddRef(2)"}),
              Events());
    EXPECT_EQ(1u, second->Release());
    EXPECT_EQ(0u, first->Release());
    EXPECT_EQ(Texts({"IHDAServer::Release() [defered to HDAServer]", "HDAServer::Release(2)",
                     "IHDAServer::Release() [defered to HDAServer]", "HDAServer::Release(1)",
                     "#disconnect 0"}),
              Events());
}

TEST_F(ServerObject, EveryInterfaceForwardsToTheOneObject) {
    const struct { const IID *iid; const char *suffix, *qi, *addRef, *release; } cases[] = {
        {&IID_IOPCHDA_Server, " IID_IOPCHDA_Server",
         "IHDAServer::QueryInterface()  [defered to HDAServer]",
         "IHDAServer::AddRef() [defered to HDAServer]",
         "IHDAServer::Release() [defered to HDAServer]"},
        {&IID_IOPCCommon, " IID_IOPCCommon", "IOPCCommon::QueryInterface()  [defered to OPCServer]",
         "IOPCCommon::AddRef() [defered to OPCServer]",
         "IOPCCommon::Release() [defered to OPCServer]"},
        {&IID_IOPCHDA_SyncRead, " IID_IOPCHDA_SyncRead",
         "IOPCHDA_SyncRead::QueryInterface() [defered to OPCServer]",
         "IOPCHDA_SyncRead::AddRef() [defered to HDAServer]",
         "IOPCHDA_SyncRead::Release() [defered to OPCServer]"},
        {&IID_IOPCHDA_AsyncRead, " IID_IOPCHDA_AsyncRead",
         "IOPCHDA_ASyncRead::QueryInterface() [defered to OPCServer]",
         "IOPCHDA_ASyncRead::AddRef() [defered to HDAServer]",
         "IOPCHDA_ASyncRead::Release() [defered to OPCServer]"},
    };
    IUnknown *server = Create();
    ASSERT_NE(nullptr, server);
    for (const auto &c : cases) {
        const char *n = c.suffix;
        IUnknown *iface = nullptr, *identity = nullptr;
        ASSERT_EQ(S_OK, server->QueryInterface(*c.iid, Out(&iface))) << n;
        EXPECT_NE(server, iface) << n;
        EXPECT_EQ(Texts({std::string("HDAServer::QueryInterface") + n, "HDAServer::AddRef(2)"}),
                  Events()) << n;
        EXPECT_EQ(3u, iface->AddRef()) << n;
        EXPECT_EQ(2u, iface->Release()) << n;
        EXPECT_EQ(Texts({c.addRef, "HDAServer::AddRef(3)", c.release, "HDAServer::Release(3)"}),
                  Events()) << n;
        ASSERT_EQ(S_OK, iface->QueryInterface(IID_IUnknown, Out(&identity))) << n;
        EXPECT_EQ(server, identity) << n;
        EXPECT_EQ(Texts({c.qi, "HDAServer::QueryInterface IID_IUnknown", "HDAServer::AddRef(3)"}),
                  Events()) << n;
        identity->Release();
        iface->Release();
        Events();
    }
    EXPECT_EQ(0u, server->Release());
}

// Nothing is given and no connection is made for a refused interface or an
// outer object. The text names the interface when the library knows its name.
TEST_F(ServerObject, RefusedInterfacesNameTheRequest) {
    IUnknown *server = Create();
    ASSERT_NE(nullptr, server);
    const int connections = NumbrClientConnections();
    const struct { const IID *iid; const char *name; } cases[] = {
        {&IID_IMarshal, " IID_IMarshal"}, {&IID_IClassFactory, " IID_IClassFactory"},
        {&IID_IExternalConnection, " IID_IExternalConnection"},
        {&IID_IRpcStubBuffer, " IID_IRpcStubBuffer"}, {&CLSID_StdMarshal, " CLSID_StdMarshal"},
        {&IID_IOPCHDA_Browser, ""}, {&IID_IOPCHDA_SyncUpdate, ""},
    };
    for (const auto &c : cases) {
        void *p = reinterpret_cast<void *>(0xdeadbeef);
        EXPECT_EQ(E_NOINTERFACE, server->QueryInterface(*c.iid, &p)) << c.name;
        EXPECT_EQ(nullptr, p) << c.name;
        EXPECT_EQ(Texts({std::string("HDAServer::QueryInterface") + c.name}), Events()) << c.name;
    }
    EXPECT_EQ(E_INVALIDARG, server->QueryInterface(IID_IUnknown, nullptr));
    EXPECT_EQ(Texts({"HDAServer::QueryInterface E_INVALIDARG"}), Events());

    void *p = reinterpret_cast<void *>(0xdeadbeef), *q = p;
    EXPECT_EQ(CLASS_E_NOAGGREGATION, factory_->CreateInstance(server, IID_IUnknown, &p));
    EXPECT_EQ(nullptr, p);
    EXPECT_TRUE(Events().empty());
    EXPECT_EQ(E_NOINTERFACE, factory_->CreateInstance(nullptr, IID_IOPCHDA_Browser, &q));
    EXPECT_EQ(nullptr, q);
    EXPECT_EQ(Texts({"HDAServer::QueryInterface"}), Events());
    EXPECT_EQ(connections, NumbrClientConnections());
    EXPECT_EQ(0u, server->Release());
}

// A released object is freed (its advised sink let go) at the tick after the
// release; its thread then serves the next connection instead of ending.
TEST_F(ServerObject, LastReleaseDisconnectsFreesAfterNextTickAndTheThreadServesTheNext) {
    std::set<DWORD> before = ThreadsOfThisProcess();
    IUnknown *a = Create();
    IUnknown *b = Create();
    ASSERT_TRUE(a && b);
    EXPECT_EQ(2, NumbrClientConnections());
    std::set<DWORD> serviceThreads;
    for (DWORD id : ThreadsOfThisProcess())
        if (!before.count(id)) serviceThreads.insert(id);
    ASSERT_EQ(2u, serviceThreads.size()) << "one service thread per connection";

    testsupport::CountingSink sink(true, false);
    IConnectionPointContainer *container = nullptr;
    IConnectionPoint *point = nullptr;
    DWORD cookie = 0;
    ASSERT_EQ(S_OK, a->QueryInterface(IID_IConnectionPointContainer, Out(&container)));
    ASSERT_EQ(S_OK, container->FindConnectionPoint(IID_IOPCShutdown, &point));
    ASSERT_EQ(S_OK, point->Advise(static_cast<IOPCShutdown *>(&sink), &cookie));
    point->Release();
    container->Release();
    Events();

    EXPECT_EQ(0u, a->Release());
    EXPECT_EQ(Texts({"HDAServer::Release(1)", "#disconnect 1"}), Events());
    EXPECT_EQ(1, NumbrClientConnections());
    // Still there until a tick wakes its thread, which then frees it.
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(sink.backToOne, 0));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(sink.backToOne, 10 * kTickMs));

    IUnknown *c = Create();
    ASSERT_NE(nullptr, c);
    std::set<DWORD> now = ThreadsOfThisProcess();
    for (DWORD id : serviceThreads) EXPECT_TRUE(now.count(id)) << "a service thread ended";
    for (DWORD id : now) EXPECT_TRUE(before.count(id) || serviceThreads.count(id)) << "new thread";
    EXPECT_EQ(0u, b->Release());
    EXPECT_EQ(0u, c->Release());
    EXPECT_EQ(Texts({"HDAServer::Release(1)", "#disconnect 1", "HDAServer::Release(1)",
                     "#disconnect 0"}),
              Events());
    EXPECT_EQ(0, NumbrClientConnections());
}

// Threads asking for one interface at once share its one object and lose no
// reference; a client reads the vendor text while the application replaces
// it, and never sees a torn or freed text.
TEST_F(ServerObject, ConcurrentCallsKeepOneObjectOneCountAndWholeTexts) {
    IUnknown *server = Create();
    ASSERT_NE(nullptr, server);
    constexpr int kThreads = 8, kRounds = 200;
    std::vector<IUnknown *> seen(kThreads * kRounds);
    auto onThreads = [&](void (*step)(IUnknown *, IUnknown *&)) {
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t)
            threads.emplace_back([&, t] {
                for (int i = 0; i < kRounds; ++i) step(server, seen[t * kRounds + i]);
            });
        for (auto &t : threads) t.join();
    };
    onThreads([](IUnknown *s, IUnknown *&p) {
        s->QueryInterface(IID_IOPCHDA_SyncRead, Out(&p));
        p->AddRef();
    });
    EXPECT_EQ(1u, std::set<IUnknown *>(seen.begin(), seen.end()).size());
    EXPECT_EQ(2u + 2 * kThreads * kRounds, server->AddRef());  // 1 + two per call
    onThreads([](IUnknown *, IUnknown *&p) {
        p->Release();
        p->Release();
    });
    EXPECT_EQ(1u, server->Release());

    IOPCHDA_Server *iface = nullptr;
    ASSERT_EQ(S_OK, server->QueryInterface(IID_IOPCHDA_Server, Out(&iface)));
    // Texts too long for in-place storage: every change frees the old one.
    const std::string a(200, 'a'), b(300, 'b');
    const std::wstring wideA(200, L'a'), wideB(300, L'b');
    SetHDAVendorInfo(a.c_str());
    std::atomic<bool> stop{false};
    std::thread setter([&] {
        for (bool flip = false; !stop; flip = !flip) SetHDAVendorInfo((flip ? a : b).c_str());
    });
    int torn = 0;
    for (int i = 0; i < 50000; ++i) {
        OPCHDA_SERVERSTATUS status;
        FILETIME *now = nullptr, *start = nullptr;
        WORD major, minor, build;
        DWORD maxValues;
        LPWSTR statusText = nullptr, vendor = nullptr;
        if (iface->GetHistorianStatus(&status, &now, &start, &major, &minor, &build, &maxValues,
                                      &statusText, &vendor) != S_OK ||
            !vendor || (vendor != wideA && vendor != wideB))
            ++torn;
        CoTaskMemFree(now);
        CoTaskMemFree(start);
        CoTaskMemFree(statusText);
        CoTaskMemFree(vendor);
    }
    stop = true;
    setter.join();
    EXPECT_EQ(0, torn);
    iface->Release();
    Events();
    EXPECT_EQ(0u, server->Release());
}

// In a child process: a connection made and released without the event
// function ("quiet"), with a null one ("null-proc"), or from a thread already
// in a single-threaded apartment, which cannot join the multithreaded one and
// is served from a timer on that thread ("fallback").
int Scenario(const std::string &name) {
    if (name == "fallback" && FAILED(CoInitialize(nullptr))) return 1;
    if (!InitHalvex(testids::kInprocClsid, 20)) return 2;
    if (name == "null-proc" && !EnableHDAEventMsgs(nullptr)) return 3;
    IClassFactory *factory = ClassObject();
    IUnknown *server = nullptr;
    IOPCHDA_Server *iface = nullptr;
    if (!factory || factory->CreateInstance(nullptr, IID_IUnknown, Out(&server)) != S_OK) return 4;
    if (server->QueryInterface(IID_IOPCHDA_Server, Out(&iface)) != S_OK) return 5;
    if (iface->AddRef() != 3 || iface->Release() != 2 || iface->Release() != 1) return 6;
    if (NumbrClientConnections() != 1) return 7;
    // Let the tick run a few times on this thread.
    for (DWORD until = GetTickCount() + 200; static_cast<LONG>(GetTickCount() - until) < 0;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    if (server->Release() != 0 || NumbrClientConnections() != 0) return 8;
    factory->Release();
    return 0;
}

TEST(Startup, WithoutEventFunctionOrMultithreadedApartmentServesTheSame) {
    for (const char *name : {"quiet", "null-proc", "fallback"})
        EXPECT_EQ(0, testsupport::RunScenario(name)) << name;
}

}  // namespace

int main(int argc, char **argv) {
    std::string scenario = testsupport::ScenarioArgument(argc, argv);
    if (!scenario.empty()) return Scenario(scenario);
    InitHalvex(testids::kInprocClsid, kTickMs);
    EnableHDAEventMsgs(EventRecorder::Sink);
    EnableHDADisconnectNotification(OnDisconnect);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
