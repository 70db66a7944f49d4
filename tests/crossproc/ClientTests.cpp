// What a client in another process sees: the test server is activated from
// the registry through COM, as a plant's client would do it. Behaviour that
// does not depend on the proxies is tested in process.
#include <gtest/gtest.h>

#include "opccomn.h"
#include "opchda.h"
#include "support/ServerConnection.h"
#include "support/TestIds.h"

namespace {

TEST(Client, FindsTheServerInTheRegistry) {
    CLSID clsid = {};
    ASSERT_EQ(S_OK, CLSIDFromProgID(L"Halvex.TestServer.1", &clsid));
    EXPECT_TRUE(IsEqualCLSID(testids::kTestServerClsid, clsid));
}

TEST(Client, OfferedInterfacesShareOneIdentityOthersAreRefused) {
    IUnknown *server = nullptr;
    ASSERT_EQ(S_OK, testsupport::ConnectTestServer(IID_IUnknown, &server));
    for (const IID *iid : {&IID_IOPCHDA_Server, &IID_IOPCCommon, &IID_IOPCHDA_SyncRead,
                           &IID_IOPCHDA_AsyncRead}) {
        IUnknown *iface = nullptr;
        ASSERT_EQ(S_OK, server->QueryInterface(*iid, reinterpret_cast<void **>(&iface)));
        IUnknown *identity = nullptr;
        ASSERT_EQ(S_OK, iface->QueryInterface(IID_IUnknown, reinterpret_cast<void **>(&identity)));
        EXPECT_EQ(server, identity);
        identity->Release();
        iface->Release();
    }
    for (const IID *iid : {&IID_IOPCHDA_Browser, &IID_IOPCHDA_SyncUpdate, &IID_IOPCHDA_Playback,
                           &IID_IConnectionPointContainer}) {
        void *p = reinterpret_cast<void *>(0xdeadbeef);
        EXPECT_EQ(E_NOINTERFACE, server->QueryInterface(*iid, &p));
        EXPECT_EQ(nullptr, p);
    }
    server->Release();
}

}  // namespace

int main(int argc, char **argv) {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    ::testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();
    CoUninitialize();
    return result;
}
