// An application's view of the exports: every function is bound by its
// decorated name through the import library, and the callback class can be
// derived from, with the library's defaults where nothing is overridden.
#include <gtest/gtest.h>

#include "Halvex.h"

namespace {

constexpr HRESULT kNoData = 0x40041002;

class PartialSource : public CVxHDACallback {
public:
    long GetTimeStamps(void *, FILETIME *, FILETIME *, long, FILETIME *) override { return 7; }
};

TEST(Exports, CallbackClassDefaults) {
    CVxHDACallback bare;
    FILETIME t = {}, out = {};
    VARIANT v;
    VariantInit(&v);
    DWORD quality = 0;
    EXPECT_EQ(0, bare.GetTimeStamps(nullptr, nullptr, nullptr, 10, &out));
    EXPECT_EQ(kNoData, bare.GetPreviousTimeStamp(nullptr, t, &out));
    EXPECT_EQ(kNoData, bare.GetNextTimeStamp(nullptr, t, &out));
    EXPECT_EQ(kNoData, bare.ReadAt(nullptr, t, &v, &quality));
    EXPECT_EQ(E_FAIL, bare.ReadCurrentAttribute(nullptr, 1, &t, &v));
    EXPECT_EQ(E_FAIL, bare.ReadAttributeAt(nullptr, 1, t, &v));
    EXPECT_EQ(E_FAIL, bare.ReadProcessed(nullptr, 3, &t, &t, &v, &quality));
    EXPECT_EQ(VT_EMPTY, v.vt);

    PartialSource derived;
    CVxHDACallback *base = &derived;
    EXPECT_EQ(7, base->GetTimeStamps(nullptr, nullptr, nullptr, 10, &out));
    EXPECT_EQ(kNoData, base->ReadAt(nullptr, t, &v, &quality));
    CVxHDACallback copy(derived);
    copy = bare;
    EXPECT_EQ(0, copy.GetTimeStamps(nullptr, nullptr, nullptr, 10, &out));
}

TEST(Exports, EveryFunctionLinksByName) {
    EXPECT_TRUE(SetHDAVendorInfo("Test vendor"));
    EXPECT_TRUE(SetHDAServerCallback(nullptr));
    EXPECT_TRUE(DefineHDAAttribute(1, "Data Type", "Data type", VT_I2, 0));
    EXPECT_TRUE(DefineHDAAggregate(3, "Average", "Average value"));
    DWORD handle = DefineHDAItem("Link.Test");
    EXPECT_NE(0u, handle);
    EXPECT_NE(0xFFFFFFFFu, handle);
    EXPECT_EQ(0xFFFFFFFFu, DefineHDAItem("Link.Test"));
    EXPECT_GE(NumbrClientConnections(), 0);
    EXPECT_GE(RequestHDADisconnect(), 0);
    // A ProgID that was never registered.
    EXPECT_FALSE(UnregisterHDAServer(CLSID_NULL, "Halvex.Never.Registered"));
    // Already started by this program: a second start is refused.
    EXPECT_FALSE(InitHalvex(CLSID_NULL, 100));
    // An empty ProgID is refused before anything is written. (The event and
    // disconnect setters are called by this program's main.)
    EXPECT_FALSE(HDAUpdateRegistry(CLSID_NULL, "", "Never written", "C:\\never.exe"));
}

}  // namespace
