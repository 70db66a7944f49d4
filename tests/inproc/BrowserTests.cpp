// The browser and its string enumerator, reached in-process through the
// class object: exact event texts, reference counts, the enumerator's cursor,
// running out of task memory, and a tree with odd names (in a child process,
// so that this process keeps only the demo's nine items).
#include <gtest/gtest.h>
#include <windows.h>
#include <objidl.h>

#include <string>
#include <vector>

#include "Halvex.h"
#include "opchda.h"
#include "support/BrowseFixture.h"
#include "support/ChildProcess.h"
#include "support/EventLog.h"
#include "support/MallocSpyBase.h"
#include "support/TestIds.h"

using testsupport::EventRecorder;
using testsupport::kInvalidItemId;
using testsupport::TakeText;
using testsupport::Texts;
using Results = std::vector<HRESULT>;

namespace {

const char *const kNull = testsupport::kNullText;

// Fails chosen task allocations made on one thread: bit i of the mask fails
// the i-th allocation after Arm. Every other allocation passes through.
class FailingAllocations : public testsupport::MallocSpyBase {
public:
    void Arm(unsigned mask) {
        thread_ = GetCurrentThreadId();
        seen_ = 0;
        mask_ = mask;
    }
    SIZE_T STDMETHODCALLTYPE PreAlloc(SIZE_T cb) override {
        if (!mask_ || GetCurrentThreadId() != thread_) return cb;
        return (mask_ >> seen_++ & 1) ? 0 : cb;
    }

private:
    DWORD thread_ = 0;
    unsigned mask_ = 0;
    unsigned seen_ = 0;
};

FailingAllocations g_allocations;

Texts Events() { return EventRecorder::Instance().Take(); }

class Browser : public testsupport::BrowseFixture {
protected:
    void SetUp() override {
        IClassFactory *factory = nullptr;
        ASSERT_EQ(S_OK, CoGetClassObject(testids::kInprocClsid, CLSCTX_LOCAL_SERVER, nullptr,
                                         IID_IClassFactory, reinterpret_cast<void **>(&factory)));
        HRESULT hr = factory->CreateInstance(nullptr, IID_IOPCHDA_Server,
                                             reinterpret_cast<void **>(&server_));
        factory->Release();
        ASSERT_EQ(S_OK, hr);
        HRESULT *errors = reinterpret_cast<HRESULT *>(0xdeadbeef);
        ASSERT_EQ(S_OK, server_->CreateBrowse(0, nullptr, nullptr, nullptr, &browser_, &errors));
        ASSERT_NE(nullptr, browser_);
        EXPECT_EQ(nullptr, errors);
        Events();
    }
    void TearDown() override {
        g_allocations.Arm(0);
        BrowseFixture::TearDown();
        Events();
    }
};

// Filters restrict nothing and each is accepted; a missing argument or no
// memory for the error array is refused before a browser is made.
TEST_F(Browser, CreateBrowseAcceptsAnyFiltersAndRefusesMissingArguments) {
    DWORD ids[] = {1, 99, 13};
    OPCHDA_OPERATORCODES operators[] = {OPCHDA_EQUAL, OPCHDA_LESS, OPCHDA_NOTEQUAL};
    VARIANT values[3];
    for (VARIANT &v : values) {
        VariantInit(&v);
        V_VT(&v) = VT_I4;
        V_I4(&v) = 7;
    }
    IOPCHDA_Browser *browser = nullptr;
    HRESULT *errors = nullptr;
    ASSERT_EQ(S_OK, server_->CreateBrowse(3, ids, operators, values, &browser, &errors));
    ASSERT_NE(nullptr, errors);
    EXPECT_EQ(Results({S_OK, S_OK, S_OK}), Results(errors, errors + 3));
    CoTaskMemFree(errors);
    // The fixture's browser holds one reference on the server already.
    EXPECT_EQ(Texts({"IHDAServer::CreateBrowse()", "HDAServer::AddRef(3)"}), Events());
    EXPECT_EQ(0u, browser->Release());
    EXPECT_EQ(Texts({"IOPCHDA_Browser::Release(0)", "HDAServer::Release(3)"}), Events());

    const struct {
        const char *what;
        DWORD *ids;
        OPCHDA_OPERATORCODES *operators;
        VARIANT *values;
        IOPCHDA_Browser **browserOut;
        HRESULT **errorsOut;
        unsigned failedAllocations;
        HRESULT result;
    } cases[] = {
        {"no browser output", ids, operators, values, nullptr, &errors, 0, E_INVALIDARG},
        {"no error output", ids, operators, values, &browser, nullptr, 0, E_INVALIDARG},
        {"no ids", nullptr, operators, values, &browser, &errors, 0, E_INVALIDARG},
        {"no operators", ids, nullptr, values, &browser, &errors, 0, E_INVALIDARG},
        {"no values", ids, operators, nullptr, &browser, &errors, 0, E_INVALIDARG},
        {"no memory for the errors", ids, operators, values, &browser, &errors, 1, E_OUTOFMEMORY},
    };
    for (const auto &c : cases) {
        browser = reinterpret_cast<IOPCHDA_Browser *>(0xdeadbeef);
        errors = reinterpret_cast<HRESULT *>(0xdeadbeef);
        g_allocations.Arm(c.failedAllocations);
        EXPECT_EQ(c.result, server_->CreateBrowse(1, c.ids, c.operators, c.values, c.browserOut,
                                                  c.errorsOut)) << c.what;
        g_allocations.Arm(0);
        // Whichever output was given is cleared.
        EXPECT_EQ(c.browserOut ? nullptr : reinterpret_cast<IOPCHDA_Browser *>(0xdeadbeef),
                  browser) << c.what;
        EXPECT_EQ(c.errorsOut ? nullptr : reinterpret_cast<HRESULT *>(0xdeadbeef), errors)
            << c.what;
        EXPECT_EQ(Texts({"IHDAServer::CreateBrowse()"}), Events()) << c.what;
    }
    // The server's count is still the client's one and the fixture browser's.
    EXPECT_EQ(3u, server_->AddRef());
    server_->Release();
}

TEST_F(Browser, OffersOnlyItsInterfaceAndCountsAfterEachChange) {
    IUnknown *unknown = nullptr;
    ASSERT_EQ(S_OK, browser_->QueryInterface(IID_IUnknown, reinterpret_cast<void **>(&unknown)));
    EXPECT_EQ(static_cast<IUnknown *>(browser_), unknown);
    IOPCHDA_Browser *again = nullptr;
    ASSERT_EQ(S_OK,
              unknown->QueryInterface(IID_IOPCHDA_Browser, reinterpret_cast<void **>(&again)));
    EXPECT_EQ(browser_, again);
    EXPECT_EQ(Texts({"IOPCHDA_Browser::QueryInterface IID_IUnknown", "IOPCHDA_Browser::AddRef(2)",
                     "IOPCHDA_Browser::QueryInterface IID_IOPCHDA_Browser",
                     "IOPCHDA_Browser::AddRef(3)"}),
              Events());

    // Refused interfaces send nothing.
    for (const IID *iid : {&IID_IEnumString, &IID_IMarshal, &IID_IOPCHDA_Server}) {
        void *p = reinterpret_cast<void *>(0xdeadbeef);
        EXPECT_EQ(E_NOINTERFACE, browser_->QueryInterface(*iid, &p));
        EXPECT_EQ(nullptr, p);
    }
    EXPECT_EQ(E_INVALIDARG, browser_->QueryInterface(IID_IUnknown, nullptr));
    EXPECT_TRUE(Events().empty());

    EXPECT_EQ(2u, again->Release());
    EXPECT_EQ(1u, unknown->Release());
    EXPECT_EQ(Texts({"IOPCHDA_Browser::Release(2)", "IOPCHDA_Browser::Release(1)"}), Events());
}

TEST_F(Browser, KeepsItsServerUntilTheLastRelease) {
    int connections = NumbrClientConnections();
    EXPECT_EQ(1u, server_->Release());
    server_ = nullptr;
    EXPECT_EQ(Texts({"IHDAServer::Release() [defered to HDAServer]", "HDAServer::Release(2)"}),
              Events());
    EXPECT_EQ(connections, NumbrClientConnections());
    EXPECT_EQ("Root", Position());
    Events();

    EXPECT_EQ(0u, browser_->Release());
    browser_ = nullptr;
    EXPECT_EQ(Texts({"IOPCHDA_Browser::Release(0)", "HDAServer::Release(1)"}), Events());
    EXPECT_EQ(connections - 1, NumbrClientConnections());
}

TEST_F(Browser, EachMethodReportsBeforeLookingAtItsArguments) {
    EXPECT_EQ(Results({E_INVALIDARG, E_INVALIDARG, E_INVALIDARG, E_FAIL}),
              Results({browser_->GetEnum(OPCHDA_BRANCH, nullptr),
                       browser_->GetItemID(L"A", nullptr), browser_->GetBranchPosition(nullptr),
                       Move(static_cast<OPCHDA_BROWSEDIRECTION>(4), L"A")}));
    EXPECT_EQ(Texts({"IOPCHDA_Browser::GetEnum()", "IOPCHDA_Browser::GetItemID()",
                     "IOPCHDA_Browser::GetBranchPosition()",
                     "IOPCHDA_Browser::ChangeBrowsePosition()"}),
              Events());
    IEnumString *names = Enum(OPCHDA_BRANCH);
    EXPECT_EQ(Texts({"IOPCHDA_Browser::GetEnum()", "IOPCEnumString::AddRef(1)"}), Events());
    EXPECT_EQ(0u, names->Release());
    EXPECT_EQ(Texts({"IOPCEnumString::Release(1)"}), Events());
}

// A null name counts as empty. At the root an empty name's path is the empty
// path, which names the root: a move down succeeds and adds one empty segment.
TEST_F(Browser, NullNamesCountAsEmpty) {
    ASSERT_EQ(S_OK, Move(OPCHDA_BROWSE_DOWN, L"A"));
    EXPECT_EQ("A", ItemId(nullptr));
    EXPECT_EQ(S_OK, Move(OPCHDA_BROWSE_DIRECT, nullptr));
    EXPECT_EQ("Root", Position());
    EXPECT_EQ(S_OK, Move(OPCHDA_BROWSE_DOWN, nullptr));
    EXPECT_EQ("", Position());
    EXPECT_EQ(S_OK, Move(OPCHDA_BROWSE_UP, nullptr));
    EXPECT_EQ("Root", Position());
}

TEST_F(Browser, StringsThatCannotBeAllocated) {
    LPWSTR position = reinterpret_cast<LPWSTR>(0xdeadbeef), id = position;
    g_allocations.Arm(1);
    EXPECT_EQ(E_OUTOFMEMORY, browser_->GetBranchPosition(&position));
    g_allocations.Arm(1);
    EXPECT_EQ(E_OUTOFMEMORY, browser_->GetItemID(L"A", &id));
    EXPECT_EQ(nullptr, position);
    EXPECT_EQ(nullptr, id);

    // The enumerator hands out a null element and goes on.
    g_allocations.Arm(0);
    ASSERT_EQ(S_OK, Move(OPCHDA_BROWSE_DIRECT, L"A.B"));
    IEnumString *names = Enum(OPCHDA_LEAF);
    ASSERT_NE(nullptr, names);
    LPOLESTR got[3] = {};
    ULONG fetched = 0;
    g_allocations.Arm(0b010);
    EXPECT_EQ(S_OK, names->Next(3, got, &fetched));
    g_allocations.Arm(0);
    EXPECT_EQ(3u, fetched);
    EXPECT_EQ(Texts({"A", kNull, "C"}),
              Texts({TakeText(got[0]), TakeText(got[1]), TakeText(got[2])}));
    names->Release();
}

// "\u0100" has no form in the code page; no look-alike ("A") may stand in.
TEST_F(Browser, NamesWithoutAnExactFormMatchNothing) {
    LPWSTR ids[] = {const_cast<LPWSTR>(L"\u0100.A.A"), const_cast<LPWSTR>(L"A.A.A")};
    HRESULT *errors = nullptr;
    EXPECT_EQ(S_FALSE, server_->ValidateItemIDs(2, ids, &errors));
    ASSERT_NE(nullptr, errors);
    EXPECT_EQ(Results({static_cast<HRESULT>(0xC0040007), S_OK}), Results(errors, errors + 2));
    CoTaskMemFree(errors);
    EXPECT_EQ(E_FAIL, Move(OPCHDA_BROWSE_DIRECT, L"\u0100"));
    EXPECT_EQ(E_FAIL, Move(OPCHDA_BROWSE_DOWN, L"\u0100"));
    EXPECT_EQ(kNull, ItemId(L"\u0100", kInvalidItemId));
    EXPECT_EQ("Root", Position());
}

// An enumerator of "A", "B", "C": the items of "A.A".
class Enumerator : public Browser {
protected:
    void SetUp() override {
        Browser::SetUp();
        ASSERT_EQ(S_OK, Move(OPCHDA_BROWSE_DIRECT, L"A.A"));
        names_ = Enum(OPCHDA_LEAF);
        ASSERT_NE(nullptr, names_);
        Events();
    }
    void TearDown() override {
        if (names_) names_->Release();
        Browser::TearDown();
    }

    IEnumString *names_ = nullptr;
};

TEST_F(Enumerator, NextDeliversBatchesThenRunsOut) {
    // The enumerator keeps its own copy: moving the browser changes nothing.
    ASSERT_EQ(S_OK, Move(OPCHDA_BROWSE_UP));
    Events();
    LPOLESTR two[2] = {};
    EXPECT_EQ(E_POINTER, names_->Next(2, two, nullptr));
    EXPECT_EQ(E_POINTER, names_->Next(0, two, nullptr));
    EXPECT_EQ(nullptr, two[0]);
    // A batch of nothing delivers nothing and does not move.
    EXPECT_EQ(Texts(), Next(names_, 0, S_OK, 0));
    EXPECT_EQ(Texts({"A", "B"}), Next(names_, 2, S_OK, 2));
    // A short batch is S_FALSE with its true count.
    EXPECT_EQ(Texts({"C"}), Next(names_, 2, S_FALSE, 1));
    EXPECT_EQ(Texts(), Next(names_, 2, S_FALSE, 0));
    EXPECT_EQ(Texts(), Next(names_, 0, S_FALSE, 0));
    EXPECT_EQ(Texts(7, "IOPCEnumString::Next"), Events());
    // One string needs no count.
    ASSERT_EQ(S_OK, names_->Reset());
    EXPECT_EQ(S_OK, names_->Next(1, two, nullptr));
    EXPECT_EQ("A", TakeText(two[0]));
}

TEST_F(Enumerator, SkipRunsOutWhenItReachesTheEnd) {
    EXPECT_EQ(S_OK, names_->Skip(2));
    EXPECT_EQ(Texts({"C"}), Next(names_, 1, S_OK, 1));
    EXPECT_EQ(Results({S_OK, S_FALSE, S_FALSE}),
              Results({names_->Reset(), names_->Skip(3), names_->Skip(0xFFFFFFFF)}));
    EXPECT_EQ(Texts({"A"}), Next(names_, 1, S_OK, 1));
    EXPECT_EQ(Results({S_OK, S_FALSE}), Results({names_->Skip(0), names_->Skip(2)}));
    EXPECT_EQ(Texts({"IOPCEnumString::Skip", "IOPCEnumString::Next", "IOPCEnumString::Reset",
                     "IOPCEnumString::Skip", "IOPCEnumString::Skip", "IOPCEnumString::Next",
                     "IOPCEnumString::Skip", "IOPCEnumString::Skip"}),
              Events());

    ASSERT_EQ(S_OK, Move(OPCHDA_BROWSE_DIRECT));
    IEnumString *empty = Enum(OPCHDA_LEAF);
    ASSERT_NE(nullptr, empty);
    EXPECT_EQ(Texts(), Next(empty, 1, S_FALSE, 0));
    EXPECT_EQ(S_FALSE, empty->Skip(0));
    empty->Release();
}

TEST_F(Enumerator, CloneHasItsOwnCursorAndCount) {
    EXPECT_EQ(Texts({"A"}), Next(names_, 1, S_OK, 1));
    Events();
    IEnumString *copy = reinterpret_cast<IEnumString *>(0xdeadbeef);
    ASSERT_EQ(S_OK, names_->Clone(&copy));
    ASSERT_NE(names_, copy);
    EXPECT_EQ(Texts({"IOPCEnumString::Clone", "IOPCEnumString::AddRef(1)"}), Events());
    EXPECT_EQ(Texts({"B", "C"}), Next(copy, 5, S_FALSE, 2));
    EXPECT_EQ(0u, copy->Release());
    EXPECT_EQ(Texts({"IOPCEnumString::Next", "IOPCEnumString::Release(1)"}), Events());
    EXPECT_EQ(Texts({"B"}), Next(names_, 1, S_OK, 1));
}

TEST_F(Enumerator, QueryInterfaceNamesTheRequest) {
    const struct { const IID *iid; HRESULT result; Texts texts; } cases[] = {
        {&IID_IUnknown, S_OK,
         {"IOPCEnumString::QueryInterface IID_IUnknown", "IOPCEnumString::AddRef(2)"}},
        {&IID_IEnumString, S_OK,
         {"IOPCEnumString::QueryInterface IID_IEnumString", "IOPCEnumString::AddRef(2)"}},
        {&IID_IMarshal, E_NOINTERFACE, {"IOPCEnumString::QueryInterface IID_IMarshal"}},
        {&IID_IOPCHDA_Browser, E_NOINTERFACE, {"IOPCEnumString::QueryInterface"}},
    };
    for (const auto &c : cases) {
        void *p = reinterpret_cast<void *>(0xdeadbeef);
        EXPECT_EQ(c.result, names_->QueryInterface(*c.iid, &p)) << c.texts[0];
        EXPECT_EQ(c.result == S_OK ? static_cast<void *>(names_) : nullptr, p) << c.texts[0];
        EXPECT_EQ(c.texts, Events()) << c.texts[0];
        if (p) {
            EXPECT_EQ(1u, static_cast<IUnknown *>(p)->Release()) << c.texts[0];
        }
        Events();
    }
    EXPECT_EQ(E_INVALIDARG, names_->QueryInterface(IID_IUnknown, nullptr));
    EXPECT_EQ(Texts({"IOPCEnumString::QueryInterface E_INVALIDARG"}), Events());
}

// The odd tree, defined in its own process: an item that became a branch
// ("X" before "X.Y"), an item and a branch of one short name ("P.Q" after
// "P.Q.R", "M.N" before "M.N.O"), an empty segment ("D..E"), an item whose
// short name is empty ("T.") and one outside ASCII ("U." and byte 0x80, the
// euro sign in code page 1252). Run `browser_tests --scenario=odd-tree` to
// see its messages.
const char *const kOddItems[] = {"X", "X.Y", "P.Q.R", "P.Q", "M.N", "M.N.O", "D..E", "T.",
                                 "U.\x80"};

class OddTree : public Browser {
public:
    void TestBody() override {
        // Branches by name, leaves by the text after their last dot.
        EXPECT_EQ(Texts({"X", "P", "M", "D", "U"}), List(OPCHDA_BRANCH));
        EXPECT_EQ(Texts({""}), List(OPCHDA_LEAF));
        EXPECT_EQ(Texts({"X.Y", "P.Q.R", "P.Q", "M.N", "M.N.O", "D..E", "T.", "U.\xAC"}),
                  List(OPCHDA_FLAT));
        EXPECT_EQ("X", ItemId(L"X"));
        EXPECT_EQ("P.Q.R", ItemId(L"P.Q.R"));
        // "T." splits to "T", which names nothing.
        EXPECT_EQ(kNull, ItemId(L"T.", kInvalidItemId));
        EXPECT_EQ(E_FAIL, Move(OPCHDA_BROWSE_DIRECT, L"T."));

        ASSERT_EQ(S_OK, Move(OPCHDA_BROWSE_DOWN, L"X"));
        EXPECT_EQ(Texts(), List(OPCHDA_BRANCH));
        EXPECT_EQ(Texts({"Y"}), List(OPCHDA_ITEMS));
        EXPECT_EQ("X.Y", ItemId(L"Y"));

        ASSERT_EQ(S_OK, Move(OPCHDA_BROWSE_DIRECT, L"P"));
        EXPECT_EQ(Texts({"Q"}), List(OPCHDA_BRANCH));
        EXPECT_EQ(Texts({"Q"}), List(OPCHDA_LEAF));
        EXPECT_EQ(Texts({"P.Q.R", "P.Q"}), List(OPCHDA_FLAT));
        // The branch "Q" comes first and is the one a move reaches.
        ASSERT_EQ(S_OK, Move(OPCHDA_BROWSE_DOWN, L"Q"));
        EXPECT_EQ(Texts({"R"}), List(OPCHDA_LEAF));

        // The branch wins over an item defined before it, too.
        ASSERT_EQ(S_OK, Move(OPCHDA_BROWSE_DIRECT, L"M"));
        EXPECT_EQ(Texts({"N"}), List(OPCHDA_BRANCH));
        ASSERT_EQ(S_OK, Move(OPCHDA_BROWSE_DOWN, L"N"));
        EXPECT_EQ(Texts({"O"}), List(OPCHDA_LEAF));
        EXPECT_EQ("M.N.O", ItemId(L"O"));
        ASSERT_EQ(S_OK, Move(OPCHDA_BROWSE_DIRECT, L"M.N"));
        EXPECT_EQ("M.N.O", ItemId(L"O"));

        // A name outside ASCII goes out in the code page it comes back in.
        ASSERT_EQ(S_OK, Move(OPCHDA_BROWSE_DIRECT, L"U"));
        IEnumString *names = Enum(OPCHDA_LEAF);
        ASSERT_NE(nullptr, names);
        LPOLESTR leaf = nullptr;
        ASSERT_EQ(S_OK, names->Next(1, &leaf, nullptr));
        names->Release();
        if (GetACP() == 1252) {
            EXPECT_EQ(std::wstring(L"\u20AC"), leaf);
        }
        LPWSTR id = nullptr;
        EXPECT_EQ(S_OK, browser_->GetItemID(leaf, &id));
        CoTaskMemFree(leaf);
        ASSERT_NE(nullptr, id);
        HRESULT *errors = nullptr;
        EXPECT_EQ(S_OK, server_->ValidateItemIDs(1, &id, &errors));
        CoTaskMemFree(errors);
        CoTaskMemFree(id);

        ASSERT_EQ(S_OK, Move(OPCHDA_BROWSE_DIRECT, L"D..E"));
        EXPECT_EQ("D..E", Position());
        EXPECT_EQ(Texts(), List(OPCHDA_FLAT));
        ASSERT_EQ(S_OK, Move(OPCHDA_BROWSE_UP));
        EXPECT_EQ("D.", Position());
        EXPECT_EQ(Texts({"E"}), List(OPCHDA_LEAF));
        EXPECT_EQ("D..E", ItemId(L"E"));
    }
};

TEST(OddTreeProcess, WalksNamesWithDotsAndItemsThatAreBranches) {
    EXPECT_EQ(0, testsupport::RunScenario("odd-tree"));
}

}  // namespace

int main(int argc, char **argv) {
    CoRegisterMallocSpy(&g_allocations);
    bool oddTree = testsupport::ScenarioArgument(argc, argv) == "odd-tree";
    InitHalvex(testids::kInprocClsid, 100);
    if (oddTree) {
        for (const char *item : kOddItems) DefineHDAItem(item);
    } else {
        const char *items[] = {"A.A.A", "A.A.B", "A.A.C", "A.B.A", "A.B.B",
                               "A.B.C", "A.C.A", "A.C.B", "A.C.C"};
        for (const char *item : items) DefineHDAItem(item);
    }
    EnableHDAEventMsgs(EventRecorder::Sink);
    ::testing::InitGoogleTest(&argc, argv);
    if (oddTree) {
        ::testing::GTEST_FLAG(filter) = "OddTree.*";
        ::testing::RegisterTest("OddTree", "Walks", nullptr, nullptr, __FILE__, __LINE__,
                                []() -> Browser * { return new OddTree; });
    }
    return RUN_ALL_TESTS();
}
