// What a client in another process sees: the test server is activated from
// the registry through COM, as a plant's client would do it. Behaviour that
// does not depend on the proxies is tested in process.
#include <gtest/gtest.h>

#include "opccomn.h"
#include "opchda.h"
#include "support/ServerConnection.h"

namespace {

// Each offered interface comes through its registered proxy; the others are
// refused.
TEST(Client, OfferedInterfacesComeThroughOthersAreRefused) {
    IUnknown *server = nullptr;
    ASSERT_EQ(S_OK, testsupport::ConnectTestServer(IID_IUnknown, &server));
    const struct {
        const IID *iid;
        HRESULT result;
    } cases[] = {
        {&IID_IOPCHDA_Server, S_OK},          {&IID_IOPCCommon, S_OK},
        {&IID_IOPCHDA_SyncRead, S_OK},        {&IID_IOPCHDA_AsyncRead, S_OK},
        {&IID_IConnectionPointContainer, S_OK}, {&IID_IOPCHDA_Browser, E_NOINTERFACE},
        {&IID_IOPCHDA_SyncUpdate, E_NOINTERFACE}, {&IID_IOPCHDA_Playback, E_NOINTERFACE},
    };
    for (const auto &c : cases) {
        IUnknown *iface = reinterpret_cast<IUnknown *>(0xdeadbeef);
        const HRESULT hr = server->QueryInterface(*c.iid, reinterpret_cast<void **>(&iface));
        EXPECT_EQ(c.result, hr);
        EXPECT_EQ(hr == S_OK, iface != nullptr);
        if (hr == S_OK && iface) iface->Release();
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
