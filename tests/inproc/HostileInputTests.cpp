// Hostile input to every client-callable method, in process through the
// class object: a seeded random run (HALVEX_FUZZ_SEED repeats one) whose
// calls must each return a code the method may return, without a crash, a
// hang or a leak, after which a well-formed read still gives GridSource's
// values. History: GridSource (the last item given to it has no data).
#include <gtest/gtest.h>
#include <windows.h>

#include "Halvex.h"
#include "server/GridSource.h"
#include "support/HostileCalls.h"
#include "support/MallocSpyBase.h"
#include "support/TestIds.h"

namespace {

testsupport::OutstandingAllocations g_spy;

void __stdcall IgnoreEvent(const char *) {}

TEST(HostileInput, EveryMethodAnswersADefinedCodeAndTheServerStillReads) {
    const unsigned seed = testsupport::HostileSeed();
    IClassFactory *factory = nullptr;
    ASSERT_EQ(S_OK, CoGetClassObject(testids::kInprocClsid, CLSCTX_LOCAL_SERVER, nullptr,
                                     IID_IClassFactory, reinterpret_cast<void **>(&factory)));
    const LONG baseline = g_spy.Count();
    // "A" first: the closing read's item.
    const testsupport::HostileSetup setup = {
        factory, true, {L"A", L"B", L"P.Q.R", L"P.Q.S", L"P.T", L"C"}, 3000};
    for (const std::string &failure : testsupport::RunHostileCalls(setup, seed))
        ADD_FAILURE() << failure;
    // Every result the calls received was freed, and the connection's queue
    // went with it.
    EXPECT_EQ(baseline, g_spy.Count()) << "HALVEX_FUZZ_SEED=" << seed << ": task allocations left";
    factory->Release();
}

}  // namespace

int main(int argc, char **argv) {
    CoRegisterMallocSpy(&g_spy);
    static GridSource source;
    DefineHDAAttribute(1, "Data Type", "HDA Item Data Type", VT_I2, 0);
    DefineHDAAttribute(2, "Description", "HDA Item Description", VT_BSTR, 1);
    DefineHDAAttribute(13, "Item ID", "HDA Item Name", VT_BSTR, 0);
    DefineHDAAggregate(3, "Average", "Average Value");
    DefineHDAAggregate(5, "Count", "Number of Values");
    for (const char *id : {"A", "B", "P.Q.R", "P.Q.S", "P.T", "C"})
        source.AddItem(DefineHDAItem(id), id);
    SetHDAServerCallback(&source);
    InitHalvex(testids::kInprocClsid, 50);
    EnableHDAEventMsgs(IgnoreEvent);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
