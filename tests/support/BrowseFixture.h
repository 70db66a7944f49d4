// What the in-process and cross-process browser tests share: a fixture that
// holds a server object and a browser, and readable steps on them.
#ifndef HALVEX_BROWSE_FIXTURE_H
#define HALVEX_BROWSE_FIXTURE_H

#include <gtest/gtest.h>
#include <objidl.h>

#include <string>
#include <vector>

#include "opchda.h"

namespace testsupport {

using Texts = std::vector<std::string>;
constexpr char kNullText[] = "<null>";
constexpr HRESULT kInvalidItemId = static_cast<HRESULT>(0xC0040008);

// A string handed out by the server, freed; "<null>" for a null one. Each
// character is cut to 8 bits.
inline std::string TakeText(LPWSTR text) {
    if (!text) return kNullText;
    std::string out;
    for (const WCHAR *p = text; *p; ++p) out += static_cast<char>(*p);
    CoTaskMemFree(text);
    return out;
}

class BrowseFixture : public ::testing::Test {
protected:
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
        return TakeText(text);
    }
    std::string ItemId(const wchar_t *node, HRESULT expected = S_OK) {
        LPWSTR text = nullptr;
        EXPECT_EQ(expected, browser_->GetItemID(node, &text));
        return TakeText(text);
    }
    IEnumString *Enum(int type) {
        IEnumString *names = nullptr;
        EXPECT_EQ(S_OK, browser_->GetEnum(static_cast<OPCHDA_BROWSETYPE>(type), &names));
        return names;
    }
    // One Next(celt): the strings delivered. The result and the count must be
    // as expected, and nothing may be written past the count.
    static Texts Next(IEnumString *names, ULONG celt, HRESULT expected, ULONG expectedCount) {
        std::vector<LPOLESTR> got(celt + 1, nullptr);
        ULONG fetched = 12345;
        EXPECT_EQ(expected, names->Next(celt, got.data(), &fetched));
        EXPECT_EQ(expectedCount, fetched);
        Texts out;
        for (ULONG i = 0; i < got.size(); ++i) {
            if (i < fetched && i < celt) out.push_back(TakeText(got[i]));
            else EXPECT_EQ(nullptr, got[i]);
        }
        return out;
    }
    // Every name a browse of the given type lists here, in batches of 4:
    // full batches are S_OK, the short last one S_FALSE.
    Texts List(int type) {
        IEnumString *names = Enum(type);
        Texts all;
        for (int batch = 0; names && batch < 25; ++batch) {
            std::vector<LPOLESTR> got(4, nullptr);
            ULONG fetched = 0;
            HRESULT hr = names->Next(4, got.data(), &fetched);
            EXPECT_EQ(fetched == 4 ? S_OK : S_FALSE, hr);
            for (ULONG i = 0; i < fetched && i < 4; ++i) all.push_back(TakeText(got[i]));
            if (hr != S_OK) break;
        }
        if (names) names->Release();
        return all;
    }

    IOPCHDA_Server *server_ = nullptr;
    IOPCHDA_Browser *browser_ = nullptr;
};

}  // namespace testsupport

#endif
