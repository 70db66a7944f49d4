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
    // One Next(celt): the strings delivered, which must be as many as the
    // count says, none of them null.
    static Names Next(IEnumString *names, ULONG celt, HRESULT expected) {
        std::vector<LPOLESTR> got(celt + 1, nullptr);
        ULONG fetched = 0;
        EXPECT_EQ(expected, names->Next(celt, got.data(), &fetched));
        EXPECT_LE(fetched, celt);
        Names out;
        for (ULONG i = 0; i < fetched && i < celt; ++i) out.push_back(Take(got[i]));
        return out;
    }
    // Every name a browse of the given type lists here, in batches of 4: full
    // batches are S_OK, the short last one S_FALSE.
    Names List(int type) {
        IEnumString *names = Enum(type);
        Names all;
        for (int batch = 0; names && batch < 25; ++batch) {
            std::vector<LPOLESTR> got(4, nullptr);
            ULONG fetched = 0;
            HRESULT hr = names->Next(4, got.data(), &fetched);
            EXPECT_EQ(fetched == 4 ? S_OK : S_FALSE, hr);
            for (ULONG i = 0; i < fetched && i < 4; ++i) all.push_back(Take(got[i]));
            if (hr != S_OK) break;
        }
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
        SCOPED_TRACE(step.position);
        EXPECT_EQ(step.result, Move(step.direction, step.name));
        EXPECT_EQ(step.position, Position());
        EXPECT_EQ(step.branches, List(OPCHDA_BRANCH));
        EXPECT_EQ(step.leaves, List(OPCHDA_LEAF));
        EXPECT_EQ(step.flat, List(OPCHDA_FLAT));
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
    EXPECT_EQ(Names({"A", "B"}), Next(names, 2, S_OK));
    EXPECT_EQ(Names({"C"}), Next(names, 2, S_FALSE));
    EXPECT_EQ(Names(), Next(names, 2, S_FALSE));
    EXPECT_EQ(S_OK, names->Reset());
    EXPECT_EQ(S_FALSE, names->Skip(3));
    LPOLESTR one = nullptr;
    EXPECT_EQ(S_OK, names->Next(1, &one, nullptr));
    EXPECT_EQ("A", Take(one));
    // A clone starts where its source stands and moves on its own.
    IEnumString *copy = nullptr;
    ASSERT_EQ(S_OK, names->Clone(&copy));
    ASSERT_NE(nullptr, copy);
    EXPECT_EQ(Names({"B", "C"}), Next(copy, 3, S_FALSE));
    copy->Release();
    EXPECT_EQ(Names({"B"}), Next(names, 1, S_OK));
    names->Release();
}

}  // namespace
