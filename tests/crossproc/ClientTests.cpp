// What a client in another process sees: the test server is activated from
// the registry through COM, as a plant's client would do it.
#include <gtest/gtest.h>

#include <string>

#include "opccomn.h"
#include "opchda.h"
#include "support/EventLog.h"
#include "support/ServerConnection.h"
#include "support/TestIds.h"

using testsupport::LogFollower;

namespace {

constexpr unsigned kLogWaitMs = 10000;

template <class T>
HRESULT Connect(REFIID riid, T **out) {
    return testsupport::ConnectTestServer(riid, out);
}

class Client : public ::testing::Test {
protected:
    void SetUp() override { log_.SkipToEnd(); }
    LogFollower log_{testsupport::TestServerLogPath()};
};

TEST_F(Client, FindsTheServerInTheRegistry) {
    CLSID clsid = {};
    ASSERT_EQ(S_OK, CLSIDFromProgID(L"Halvex.TestServer.1", &clsid));
    EXPECT_TRUE(IsEqualCLSID(testids::kTestServerClsid, clsid));

    IUnknown *server = nullptr;
    ASSERT_EQ(S_OK, Connect(IID_IUnknown, &server));
    EXPECT_TRUE(log_.WaitForLine("HDAServer::QueryInterface IID_IUnknown", kLogWaitMs));
    server->Release();
    EXPECT_TRUE(log_.WaitForLine("#disconnect 0 connections 0", kLogWaitMs));
}

TEST_F(Client, EveryOfferedInterfaceHasOneIdentity) {
    IUnknown *server = nullptr;
    ASSERT_EQ(S_OK, Connect(IID_IUnknown, &server));
    const IID *offered[] = {&IID_IOPCHDA_Server, &IID_IOPCCommon, &IID_IOPCHDA_SyncRead,
                            &IID_IOPCHDA_AsyncRead};
    for (const IID *iid : offered) {
        IUnknown *iface = nullptr;
        ASSERT_EQ(S_OK, server->QueryInterface(*iid, reinterpret_cast<void **>(&iface)));
        IUnknown *identity = nullptr;
        ASSERT_EQ(S_OK, iface->QueryInterface(IID_IUnknown, reinterpret_cast<void **>(&identity)));
        EXPECT_EQ(server, identity);
        identity->Release();
        iface->Release();
    }
    server->Release();
}

TEST_F(Client, InterfacesNotOfferedAreRefused) {
    IOPCHDA_Server *server = nullptr;
    ASSERT_EQ(S_OK, Connect(IID_IOPCHDA_Server, &server));
    const IID *refused[] = {&IID_IOPCHDA_Browser, &IID_IOPCHDA_SyncUpdate,
                            &IID_IOPCHDA_Playback, &IID_IConnectionPointContainer};
    for (const IID *iid : refused) {
        void *p = reinterpret_cast<void *>(0xdeadbeef);
        EXPECT_EQ(E_NOINTERFACE, server->QueryInterface(*iid, &p));
        EXPECT_EQ(nullptr, p);
    }
    EXPECT_TRUE(log_.WaitForLine("HDAServer::QueryInterface IID_IConnectionPointContainer",
                                 kLogWaitMs));
    server->Release();
}

TEST_F(Client, TwoClientsLeaveOneAfterTheOther) {
    IUnknown *first = nullptr, *second = nullptr;
    ASSERT_EQ(S_OK, Connect(IID_IUnknown, &first));
    ASSERT_EQ(S_OK, Connect(IID_IUnknown, &second));
    first->Release();
    EXPECT_TRUE(log_.WaitForLine("#disconnect 1 connections 1", kLogWaitMs));
    second->Release();
    EXPECT_TRUE(log_.WaitForLine("#disconnect 0 connections 0", kLogWaitMs));
}

TEST_F(Client, ServerEventListShowsTheClientsCalls) {
    IOPCHDA_Server *server = nullptr;
    ASSERT_EQ(S_OK, Connect(IID_IOPCHDA_Server, &server));
    EXPECT_TRUE(log_.WaitForLine("HDAServer::QueryInterface IID_IOPCHDA_Server", kLogWaitMs));

    IOPCHDA_SyncRead *reader = nullptr;
    ASSERT_EQ(S_OK, server->QueryInterface(IID_IOPCHDA_SyncRead,
                                           reinterpret_cast<void **>(&reader)));
    EXPECT_TRUE(log_.WaitForLine("HDAServer::QueryInterface IID_IOPCHDA_SyncRead", kLogWaitMs));

    DWORD count = 0;
    DWORD *ids = nullptr;
    LPWSTR *names = nullptr, *descriptions = nullptr;
    VARTYPE *types = nullptr;
    ASSERT_EQ(S_OK, server->GetItemAttributes(&count, &ids, &names, &descriptions, &types));
    EXPECT_TRUE(log_.WaitForLine("IHDAServer::GetItemAttributes()", kLogWaitMs));
    for (DWORD i = 0; i < count; ++i) {
        CoTaskMemFree(names[i]);
        CoTaskMemFree(descriptions[i]);
    }
    CoTaskMemFree(ids);
    CoTaskMemFree(names);
    CoTaskMemFree(descriptions);
    CoTaskMemFree(types);

    reader->Release();
    server->Release();
    EXPECT_TRUE(log_.WaitForLine("#disconnect 0 connections 0", kLogWaitMs));
}

}  // namespace

int main(int argc, char **argv) {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    ::testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();
    CoUninitialize();
    return result;
}
