// Start-up of the library, checked from inside: InitHalvex runs once per
// process, so each case runs in a child process of its own and reports by
// its exit code (0 = as expected, otherwise the number of the failed check).
#include <gtest/gtest.h>

#include <cstdio>

#include "Halvex.h"
#include "runtime/ToolkitState.h"
#include "support/ChildProcess.h"
#include "support/TestIds.h"

using halvex::Toolkit;
using testsupport::RunScenario;

namespace {

int ExpectRate(UINT given, UINT stored) {
    if (!InitHalvex(testids::kInprocClsid, given)) return 1;
    return Toolkit().tickRateMs == stored ? 0 : 2;
}

int SecondCall() {
    if (!InitHalvex(testids::kInprocClsid, 200)) return 1;
    halvex::ClassFactory *first = Toolkit().classFactory;
    DWORD cookie = Toolkit().registrationCookie;
    if (InitHalvex(testids::kOtherClsid, 20)) return 2;
    if (Toolkit().tickRateMs != 200) return 3;
    if (Toolkit().classFactory != first || Toolkit().registrationCookie != cookie) return 4;
    IClassFactory *factory = nullptr;
    HRESULT hr = CoGetClassObject(testids::kOtherClsid, CLSCTX_LOCAL_SERVER, nullptr,
                                  IID_IClassFactory, reinterpret_cast<void **>(&factory));
    if (SUCCEEDED(hr)) return 5;
    hr = CoGetClassObject(testids::kInprocClsid, CLSCTX_LOCAL_SERVER, nullptr, IID_IClassFactory,
                          reinterpret_cast<void **>(&factory));
    if (FAILED(hr)) return 6;
    factory->Release();
    return 0;
}

int Setters() {
    halvex::ToolkitState &state = Toolkit();
    if (state.vendorInfo != "Korvane Software Design OPC HDA Server") return 1;
    if (NumbrClientConnections() != 0 || RequestHDADisconnect() != 0) return 2;
    CVxHDACallback first, second;
    if (!SetHDAVendorInfo("Before") || state.vendorInfo != "Before") return 3;
    if (!SetHDAServerCallback(&first) || state.callback != &first) return 4;
    if (!InitHalvex(testids::kInprocClsid, 50)) return 5;
    if (state.vendorInfo != "Before" || state.callback != &first) return 6;
    if (!SetHDAVendorInfo("After") || state.vendorInfo != "After") return 7;
    if (!SetHDAServerCallback(&second) || state.callback != &second) return 8;
    if (!EnableHDAEventMsgs(nullptr) || !EnableHDADisconnectNotification(nullptr)) return 9;
    if (NumbrClientConnections() != 0 || RequestHDADisconnect() != 0) return 10;
    return 0;
}

// A stricter application sets the process's security itself before
// InitHalvex; the toolkit's own call then has no effect and start-up goes on.
int OwnSecurityFirst() {
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return 1;
    if (FAILED(CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_PKT_PRIVACY,
                                    RPC_C_IMP_LEVEL_IDENTIFY, nullptr, EOAC_NONE, nullptr)))
        return 2;
    if (!InitHalvex(testids::kInprocClsid, 50)) return 3;
    IClassFactory *factory = nullptr;
    if (FAILED(CoGetClassObject(testids::kInprocClsid, CLSCTX_LOCAL_SERVER, nullptr,
                                IID_IClassFactory, reinterpret_cast<void **>(&factory))))
        return 4;
    factory->Release();
    return 0;
}

// "rate-GIVEN-STORED", "second-call", "setters" or "own-security".
int RunNamedScenario(const std::string &name) {
    Toolkit().OnLoad();
    UINT given = 0, stored = 0;
    if (sscanf(name.c_str(), "rate-%u-%u", &given, &stored) == 2) return ExpectRate(given, stored);
    if (name == "second-call") return SecondCall();
    if (name == "setters") return Setters();
    if (name == "own-security") return OwnSecurityFirst();
    return 100;
}

}  // namespace

TEST(InitHalvex, RateBelowTenIsRaisedToTenOthersAreKept) {
    for (const char *scenario : {"rate-0-10", "rate-9-10", "rate-10-10", "rate-1000-1000"})
        EXPECT_EQ(0, RunScenario(scenario)) << scenario;
}

TEST(InitHalvex, SecondCallFailsAndRegistersNothing) { EXPECT_EQ(0, RunScenario("second-call")); }

TEST(InitHalvex, SettersWorkBeforeAndAfterStart) { EXPECT_EQ(0, RunScenario("setters")); }

TEST(InitHalvex, StartsAfterTheApplicationSetItsOwnSecurity) {
    EXPECT_EQ(0, RunScenario("own-security"));
}

int main(int argc, char **argv) {
    std::string scenario = testsupport::ScenarioArgument(argc, argv);
    if (!scenario.empty()) return RunNamedScenario(scenario);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
