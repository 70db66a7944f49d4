// Browsing the test server's nine items "A.A.A" to "A.C.C" from another
// process, through the proxies: the browser's moves and listings, its out
// strings, and the string enumerator behind Wine's IEnumString marshaling.
#include <gtest/gtest.h>
#include <objidl.h>

#include <string>
#include <vector>

#include "opchda.h"
#include "support/ServerConnection.h"

using Names = std::vector<std::string>;

namespace {

constexpr HRESULT kInvalidItemId = static_cast<HRESULT>(0xC0040008);
const char kNull[] = "<null>";

std::string Take(LPWSTR text) {
    if (!text) return kNull;
    std::string out;
    for (const WCHAR *p = text; *p; ++p) out += static_cast<char>(*p);
    CoTaskMemFree(text);
    return out;
}

const Names kAllItems = {"A.A.A", "A.A.B", "A.A.C", "A.B.A", "A.B.B",
                         "A.B.C", "A.C.A", "A.C.B", "A.C.C"};

class BrowseClient : public ::testing::Test {
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
    void TearDown() override {
        if (browser_) browser_->Release();
        if (server_) server_->Release();
    }

    HRESULT Move(OPCHDA_BROWSEDIRECTION direction, const wchar_t *name = L"") {
        return browser_->ChangeBrowsePosition(direction, name);
    }
    std::string Position() {
        LPWSTR text = nullptr;
        EXPECT_EQ(S_OK, browser_->GetBranchPosition(&text));
        return Take(text);
    }
    std::string ItemId(const wchar_t *node, HRESULT expected = S_OK) {
        LPWSTR text = nullptr;
        EXPECT_EQ(expected, browser_->GetItemID(node, &text));
        return Take(text);
    }
    IEnumString *Enum(int type) {
        IEnumString *names = nullptr;
        EXPECT_EQ(S_OK, browser_->GetEnum(static_cast<OPCHDA_BROWSETYPE>(type), &names));
        return names;
    }
    // One Next(celt): the strings delivered. The stub reports a short batch
    // as full, padded with nulls; the padding is dropped here, and only
    // here, so a null among the strings still shows.
    static Names Fetch(IEnumString *names, ULONG celt, HRESULT *result) {
        std::vector<LPOLESTR> got(celt + 1, nullptr);
        ULONG fetched = 0;
        *result = names->Next(celt, got.data(), &fetched);
        EXPECT_LE(fetched, celt);
        Names out;
        for (ULONG i = 0; i < fetched && i < celt; ++i) out.push_back(Take(got[i]));
        while (!out.empty() && out.back() == kNull) out.pop_back();
        return out;
    }
    static Names Next(IEnumString *names, ULONG celt, HRESULT expected) {
        HRESULT result = E_FAIL;
        Names out = Fetch(names, celt, &result);
        EXPECT_EQ(expected, result);
        return out;
    }
    // Every name a browse of the given type lists here, in batches of 4.
    Names List(int type) {
        IEnumString *names = Enum(type);
        Names all;
        HRESULT result = names ? S_OK : E_FAIL;
        while (result == S_OK && all.size() < 100) {
            Names batch = Fetch(names, 4, &result);
            all.insert(all.end(), batch.begin(), batch.end());
        }
        EXPECT_EQ(S_FALSE, result);
        if (names) names->Release();
        return all;
    }

    IOPCHDA_Server *server_ = nullptr;
    IOPCHDA_Browser *browser_ = nullptr;
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

TEST_F(BrowseClient, RootListsTheOneBranchAndEveryItem) {
    EXPECT_EQ("Root", Position());
    EXPECT_EQ("", ItemId(L""));
    EXPECT_EQ(Names({"A"}), List(OPCHDA_BRANCH));
    EXPECT_EQ(Names(), List(OPCHDA_LEAF));
    EXPECT_EQ(Names(), List(OPCHDA_ITEMS));
    EXPECT_EQ(kAllItems, List(OPCHDA_FLAT));
    EXPECT_EQ(Names(), List(0));
    EXPECT_EQ(Names(), List(5));
    EXPECT_EQ("A", ItemId(L"A"));
    EXPECT_EQ("A.B.C", ItemId(L"A.B.C"));
    EXPECT_EQ(kNull, ItemId(L"Z", kInvalidItemId));
    EXPECT_EQ(kNull, ItemId(L"B", kInvalidItemId));
}

TEST_F(BrowseClient, DownTwiceReachesTheItemsOfABranch) {
    ASSERT_EQ(S_OK, Move(OPCHDA_BROWSE_DOWN, L"A"));
    EXPECT_EQ("A", Position());
    EXPECT_EQ(Names({"A", "B", "C"}), List(OPCHDA_BRANCH));
    ASSERT_EQ(S_OK, Move(OPCHDA_BROWSE_DOWN, L"A"));
    EXPECT_EQ("A.A", Position());
    EXPECT_EQ(Names({"A", "B", "C"}), List(OPCHDA_LEAF));
    EXPECT_EQ(Names({"A", "B", "C"}), List(OPCHDA_ITEMS));
    EXPECT_EQ(Names(), List(OPCHDA_BRANCH));
    EXPECT_EQ(Names({"A.A.A", "A.A.B", "A.A.C"}), List(OPCHDA_FLAT));
    EXPECT_EQ("A.A.B", ItemId(L"B"));
    EXPECT_EQ("A.A", ItemId(L""));
    EXPECT_EQ(kNull, ItemId(L"D", kInvalidItemId));
}

TEST_F(BrowseClient, MovesOneStepDownOrUp) {
    EXPECT_EQ(E_FAIL, Move(OPCHDA_BROWSE_DOWN, L"A.B"));
    EXPECT_EQ(E_FAIL, Move(OPCHDA_BROWSE_DOWN, L"Z"));
    EXPECT_EQ(E_FAIL, Move(OPCHDA_BROWSE_UP));
    EXPECT_EQ("Root", Position());
    ASSERT_EQ(S_OK, Move(OPCHDA_BROWSE_DOWN, L"A"));
    EXPECT_EQ(S_OK, Move(OPCHDA_BROWSE_UP));
    EXPECT_EQ("Root", Position());
    ASSERT_EQ(S_OK, Move(OPCHDA_BROWSE_DOWN, L"A"));
    // Down moves by the last segment only: "B" of "X.B", and "A" has a "B".
    ASSERT_EQ(S_OK, Move(OPCHDA_BROWSE_DOWN, L"X.B"));
    EXPECT_EQ("A.B", Position());
    EXPECT_EQ(E_FAIL, Move(static_cast<OPCHDA_BROWSEDIRECTION>(0), L"A"));
    EXPECT_EQ(E_FAIL, Move(static_cast<OPCHDA_BROWSEDIRECTION>(4), L"A"));
    EXPECT_EQ("A.B", Position());
}

TEST_F(BrowseClient, DirectMovesToAWholePath) {
    ASSERT_EQ(S_OK, Move(OPCHDA_BROWSE_DIRECT, L"A.B"));
    EXPECT_EQ("A.B", Position());
    EXPECT_EQ(Names({"A.B.A", "A.B.B", "A.B.C"}), List(OPCHDA_FLAT));
    EXPECT_EQ(E_FAIL, Move(OPCHDA_BROWSE_DIRECT, L"Root"));
    EXPECT_EQ(E_FAIL, Move(OPCHDA_BROWSE_DIRECT, L"A.D"));
    EXPECT_EQ("A.B", Position());
    ASSERT_EQ(S_OK, Move(OPCHDA_BROWSE_DIRECT, L""));
    EXPECT_EQ("Root", Position());
}

TEST_F(BrowseClient, AnItemCanBeAPositionWithNothingBelow) {
    for (const wchar_t *name : {L"A", L"A", L"A"}) ASSERT_EQ(S_OK, Move(OPCHDA_BROWSE_DOWN, name));
    EXPECT_EQ("A.A.A", Position());
    for (int type = OPCHDA_BRANCH; type <= OPCHDA_ITEMS; ++type) {
        SCOPED_TRACE(type);
        EXPECT_EQ(Names(), List(type));
    }
    ASSERT_EQ(S_OK, Move(OPCHDA_BROWSE_UP));
    EXPECT_EQ("A.A", Position());
}

TEST_F(BrowseClient, EnumeratorThroughItsProxy) {
    ASSERT_EQ(S_OK, Move(OPCHDA_BROWSE_DIRECT, L"A.C"));
    IEnumString *names = Enum(OPCHDA_LEAF);
    ASSERT_NE(nullptr, names);
    // Batches, a short last one, then nothing left.
    EXPECT_EQ(Names({"A", "B"}), Next(names, 2, S_OK));
    EXPECT_EQ(Names({"C"}), Next(names, 2, S_OK));
    EXPECT_EQ(Names(), Next(names, 2, S_FALSE));

    // Skipping onto the end runs out and stays put.
    EXPECT_EQ(S_OK, names->Reset());
    EXPECT_EQ(S_OK, names->Skip(2));
    EXPECT_EQ(Names({"C"}), Next(names, 1, S_OK));
    EXPECT_EQ(S_OK, names->Reset());
    EXPECT_EQ(S_FALSE, names->Skip(3));
    EXPECT_EQ(Names(), Next(names, 0, S_OK));
    LPOLESTR one = nullptr;
    EXPECT_EQ(S_OK, names->Next(1, &one, nullptr));
    EXPECT_EQ("A", Take(one));

    // A clone starts where its source stands and moves on its own.
    IEnumString *copy = nullptr;
    ASSERT_EQ(S_OK, names->Clone(&copy));
    ASSERT_NE(nullptr, copy);
    EXPECT_EQ(Names({"B", "C"}), Next(copy, 3, S_OK));
    copy->Release();
    EXPECT_EQ(Names({"B"}), Next(names, 1, S_OK));
    names->Release();

    IEnumString *empty = Enum(OPCHDA_BRANCH);
    ASSERT_NE(nullptr, empty);
    EXPECT_EQ(Names(), Next(empty, 1, S_FALSE));
    EXPECT_EQ(S_FALSE, empty->Skip(0));
    empty->Release();
}

}  // namespace
