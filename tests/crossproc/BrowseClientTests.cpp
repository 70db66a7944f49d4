// Browsing the test server's nine items "A.A.A" to "A.C.C" from another
// process, through the proxies: the browser's moves and listings, its out
// strings, and the string enumerator behind Wine's IEnumString marshaling.
#include <gtest/gtest.h>
#include <objidl.h>

#include <string>
#include <vector>

#include "opchda.h"
#include "support/BrowseFixture.h"
#include "support/ServerConnection.h"

using Names = testsupport::Texts;
using testsupport::kInvalidItemId;
using testsupport::TakeText;

namespace {

const char *const kNull = testsupport::kNullText;

const Names kAllItems = {"A.A.A", "A.A.B", "A.A.C", "A.B.A", "A.B.B",
                         "A.B.C", "A.C.A", "A.C.B", "A.C.C"};

class BrowseClient : public testsupport::BrowseFixture {
protected:
    void SetUp() override {
        ASSERT_EQ(S_OK, testsupport::ConnectTestServer(IID_IOPCHDA_Server, &server_));
        // The proxy cannot send a null array, even an empty one.
        DWORD id = 0;
        OPCHDA_OPERATORCODES op = OPCHDA_EQUAL;
        VARIANT value;
        VariantInit(&value);
        HRESULT *errors = reinterpret_cast<HRESULT *>(0xdeadbeef);
        ASSERT_EQ(S_OK, server_->CreateBrowse(0, &id, &op, &value, &browser_, &errors));
        ASSERT_NE(nullptr, browser_);
        EXPECT_EQ(nullptr, errors);
    }
};

TEST_F(BrowseClient, CreateBrowseAcceptsEveryFilter) {
    DWORD ids[] = {1, 2, 77};
    OPCHDA_OPERATORCODES operators[] = {OPCHDA_EQUAL, OPCHDA_GREATER, OPCHDA_LESSEQUAL};
    VARIANT values[3];
    for (VARIANT &v : values) {
        VariantInit(&v);
        V_VT(&v) = VT_I4;
        V_I4(&v) = 5;
    }
    IOPCHDA_Browser *browser = nullptr;
    HRESULT *errors = nullptr;
    ASSERT_EQ(S_OK, server_->CreateBrowse(3, ids, operators, values, &browser, &errors));
    ASSERT_NE(nullptr, browser);
    ASSERT_NE(nullptr, errors);
    EXPECT_EQ(std::vector<HRESULT>({S_OK, S_OK, S_OK}), std::vector<HRESULT>(errors, errors + 3));
    CoTaskMemFree(errors);
    browser_->Release();
    browser_ = browser;
    // The filters restrict nothing.
    EXPECT_EQ("Root", Position());
    EXPECT_EQ(kAllItems, List(OPCHDA_FLAT));
}

TEST_F(BrowseClient, MovesAndListingsAlongTheTree) {
    const Names abc = {"A", "B", "C"}, none;
    struct Step {
        OPCHDA_BROWSEDIRECTION direction;
        const wchar_t *name;
        HRESULT result;
        const char *position;
        Names branches, leaves, flat;
    };
    const OPCHDA_BROWSEDIRECTION up = OPCHDA_BROWSE_UP, down = OPCHDA_BROWSE_DOWN,
                                 direct = OPCHDA_BROWSE_DIRECT;
    const Step steps[] = {
        {up, L"", E_FAIL, "Root", {"A"}, none, kAllItems},
        {down, L"A.B", E_FAIL, "Root", {"A"}, none, kAllItems},
        {down, L"A", S_OK, "A", abc, none, kAllItems},
        // Down moves by the last segment only.
        {down, L"X.B", S_OK, "A.B", none, abc, {"A.B.A", "A.B.B", "A.B.C"}},
        {down, L"C", S_OK, "A.B.C", none, none, none},
        {up, L"", S_OK, "A.B", none, abc, {"A.B.A", "A.B.B", "A.B.C"}},
        {direct, L"Root", E_FAIL, "A.B", none, abc, {"A.B.A", "A.B.B", "A.B.C"}},
        {direct, L"A.D", E_FAIL, "A.B", none, abc, {"A.B.A", "A.B.B", "A.B.C"}},
        {static_cast<OPCHDA_BROWSEDIRECTION>(4), L"A", E_FAIL, "A.B", none, abc,
         {"A.B.A", "A.B.B", "A.B.C"}},
        {direct, L"A.C", S_OK, "A.C", none, abc, {"A.C.A", "A.C.B", "A.C.C"}},
        {direct, L"", S_OK, "Root", {"A"}, none, kAllItems},
    };
    for (const Step &step : steps) {
        EXPECT_EQ(step.result, Move(step.direction, step.name)) << step.position;
        EXPECT_EQ(step.position, Position()) << step.position;
        EXPECT_EQ(step.branches, List(OPCHDA_BRANCH)) << step.position;
        EXPECT_EQ(step.leaves, List(OPCHDA_LEAF)) << step.position;
        EXPECT_EQ(step.flat, List(OPCHDA_FLAT)) << step.position;
    }
    EXPECT_EQ(Names(), List(5));
    EXPECT_EQ("", ItemId(L""));
    EXPECT_EQ("A.B.C", ItemId(L"A.B.C"));
    EXPECT_EQ(kNull, ItemId(L"B", kInvalidItemId));
    ASSERT_EQ(S_OK, Move(OPCHDA_BROWSE_DIRECT, L"A.A"));
    EXPECT_EQ("A.A.B", ItemId(L"B"));
    EXPECT_EQ(kNull, ItemId(L"D", kInvalidItemId));
}

// What the standard IEnumString marshaling makes of each kind of batch.
TEST_F(BrowseClient, EnumeratorThroughItsProxy) {
    ASSERT_EQ(S_OK, Move(OPCHDA_BROWSE_DIRECT, L"A.C"));
    IEnumString *names = Enum(OPCHDA_LEAF);
    ASSERT_NE(nullptr, names);
    EXPECT_EQ(Names({"A", "B"}), Next(names, 2, S_OK, 2));
    EXPECT_EQ(Names({"C"}), Next(names, 2, S_FALSE, 1));
    EXPECT_EQ(Names(), Next(names, 2, S_FALSE, 0));
    EXPECT_EQ(S_OK, names->Reset());
    EXPECT_EQ(S_FALSE, names->Skip(3));
    LPOLESTR one = nullptr;
    EXPECT_EQ(S_OK, names->Next(1, &one, nullptr));
    EXPECT_EQ("A", TakeText(one));
    // A clone starts where its source stands and moves on its own.
    IEnumString *copy = nullptr;
    ASSERT_EQ(S_OK, names->Clone(&copy));
    ASSERT_NE(nullptr, copy);
    EXPECT_EQ(Names({"B", "C"}), Next(copy, 3, S_FALSE, 2));
    copy->Release();
    EXPECT_EQ(Names({"B"}), Next(names, 1, S_OK, 1));
    names->Release();
}

}  // namespace
