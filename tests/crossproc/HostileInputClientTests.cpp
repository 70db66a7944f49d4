// Hostile input through the proxies: the in-process run's table of calls
// against the test server, with only what marshaling lets through, and
// shorter. HALVEX_FUZZ_SEED repeats a run.
#include <gtest/gtest.h>

#include "support/HostileCalls.h"
#include "support/ServerConnection.h"

namespace {

TEST(HostileInputClient, EveryMethodAnswersADefinedCodeAndTheServerStillReads) {
    const unsigned seed = testsupport::HostileSeed();
    // Keeps the server running while the run opens connections of its own.
    IUnknown *keeper = nullptr;
    ASSERT_EQ(S_OK, testsupport::ConnectTestServer(IID_IUnknown, &keeper));
    IClassFactory *factory = nullptr;
    ASSERT_EQ(S_OK, CoGetClassObject(testids::kTestServerClsid, CLSCTX_LOCAL_SERVER, nullptr,
                                     IID_IClassFactory, reinterpret_cast<void **>(&factory)));
    // "A.A.A" first: the closing read's item.
    const testsupport::HostileSetup setup = {
        factory, false,
        {L"A.A.A", L"A.A.B", L"A.A.C", L"A.B.A", L"A.B.B", L"A.B.C", L"A.C.A", L"A.C.B", L"A.C.C"},
        600};
    for (const std::string &failure : testsupport::RunHostileCalls(setup, seed))
        ADD_FAILURE() << failure;
    factory->Release();
    keeper->Release();
}

}  // namespace
