// IOPCHDA_Server and IOPCCommon as a client in another process sees them,
// against the test server's address space: attributes 1, 2, 3, 13,
// aggregates 3 and 5, items "A.A.A" to "A.C.C".
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "opccomn.h"
#include "opchda.h"
#include "support/ServerConnection.h"

namespace {

using Results = std::vector<HRESULT>;
using WideTexts = std::vector<std::wstring>;

constexpr HRESULT kInvalidHandle = static_cast<HRESULT>(0xC0040001);
constexpr HRESULT kUnknownItemId = static_cast<HRESULT>(0xC0040007);

std::wstring Take(LPWSTR text) {
    std::wstring out = text ? text : L"(null)";
    CoTaskMemFree(text);
    return out;
}

template <class T>
std::vector<T> TakeArray(T *array, DWORD count) {
    std::vector<T> out;
    if (array) out.assign(array, array + count);
    CoTaskMemFree(array);
    return out;
}

ULONGLONG Ticks(const FILETIME &t) { return (ULONGLONG(t.dwHighDateTime) << 32) | t.dwLowDateTime; }

// The id, name and description arrays of a definition list, as "id name: description".
WideTexts Definitions(DWORD count, DWORD *ids, LPWSTR *names, LPWSTR *descriptions) {
    WideTexts out;
    for (DWORD i = 0; i < count; ++i)
        out.push_back(std::to_wstring(ids[i]) + L" " + Take(names[i]) + L": " +
                      Take(descriptions[i]));
    CoTaskMemFree(ids);
    CoTaskMemFree(names);
    CoTaskMemFree(descriptions);
    return out;
}

class ServerOperations : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(S_OK, testsupport::ConnectTestServer(IID_IOPCHDA_Server, &server_));
    }
    void TearDown() override {
        if (server_) server_->Release();
    }

    // GetItemHandles for ids with client handles 100, 101, ...
    HRESULT Handles(std::vector<const wchar_t *> ids, std::vector<OPCHANDLE> *handles,
                    Results *errors, IOPCHDA_Server *on = nullptr) {
        const DWORD count = static_cast<DWORD>(ids.size());
        std::vector<OPCHANDLE> clients;
        for (DWORD i = 0; i < count; ++i) clients.push_back(100 + i);
        OPCHANDLE *h = nullptr;
        HRESULT *e = nullptr;
        HRESULT hr = (on ? on : server_)->GetItemHandles(
            count, const_cast<LPWSTR *>(ids.data()), clients.data(), &h, &e);
        *handles = TakeArray(h, count);
        *errors = TakeArray(e, count);
        return hr;
    }
    HRESULT Release(std::vector<OPCHANDLE> handles, Results *errors) {
        HRESULT *e = nullptr;
        HRESULT hr = server_->ReleaseItemHandles(static_cast<DWORD>(handles.size()),
                                                 handles.data(), &e);
        *errors = TakeArray(e, static_cast<DWORD>(handles.size()));
        return hr;
    }

    IOPCHDA_Server *server_ = nullptr;
};

TEST_F(ServerOperations, HistorianStatusAttributesAndAggregates) {
    FILETIME before, after;
    CoFileTimeNow(&before);
    OPCHDA_SERVERSTATUS status = OPCHDA_DOWN;
    FILETIME *now = nullptr, *start = nullptr;
    WORD major = 9, minor = 9, build = 9;
    DWORD maxValues = 0;
    LPWSTR statusText = nullptr, vendor = nullptr;
    ASSERT_EQ(S_OK, server_->GetHistorianStatus(&status, &now, &start, &major, &minor, &build,
                                                &maxValues, &statusText, &vendor));
    CoFileTimeNow(&after);
    ASSERT_TRUE(now && start);
    EXPECT_EQ(OPCHDA_UP, status);
    EXPECT_LE(Ticks(before), Ticks(*now));
    EXPECT_GE(Ticks(after), Ticks(*now));
    EXPECT_LE(Ticks(*start), Ticks(*now));
    EXPECT_EQ(std::vector<DWORD>({1, 0, 0, 5000}),
              std::vector<DWORD>({major, minor, build, maxValues}));
    CoTaskMemFree(now);
    CoTaskMemFree(start);
    EXPECT_EQ(L"", Take(statusText));
    EXPECT_EQ(L"Halvex test server vendor", Take(vendor));

    // Both lists in definition order.
    DWORD count = 0, *ids = nullptr;
    LPWSTR *names = nullptr, *descriptions = nullptr;
    VARTYPE *types = nullptr;
    ASSERT_EQ(S_OK, server_->GetItemAttributes(&count, &ids, &names, &descriptions, &types));
    EXPECT_EQ(std::vector<VARTYPE>({VT_I2, VT_BSTR, VT_BSTR, VT_BSTR}), TakeArray(types, count));
    EXPECT_EQ(WideTexts({L"1 Data Type: HDA Item Data Type", L"2 Description: HDA Item Description",
                         L"3 Engineering Units: HDA Item Engineering Units",
                         L"13 Item ID: HDA Item Name"}),
              Definitions(count, ids, names, descriptions));
    ASSERT_EQ(S_OK, server_->GetAggregates(&count, &ids, &names, &descriptions));
    EXPECT_EQ(WideTexts({L"3 Average: Average Random Value", L"5 Count: Number of Random Values"}),
              Definitions(count, ids, names, descriptions));
}

// Branches are no items, except a top-level one; IDs are case-sensitive. An
// item obtained twice has two entries, and each release removes one. A count
// of zero is refused and its outputs stay null.
TEST_F(ServerOperations, ItemHandlesValidationAndRelease) {
    std::vector<OPCHANDLE> h;
    Results errors;
    ASSERT_EQ(S_FALSE, Handles({L"A.A.A", L"No.Such.Item", L"A.A", L"A", L"A.C.C", L"",
                                L"a.a.a", L"A.C.C"},
                               &h, &errors));
    EXPECT_EQ(Results({S_OK, kUnknownItemId, kUnknownItemId, S_OK, S_OK, kUnknownItemId,
                       kUnknownItemId, S_OK}),
              errors);
    EXPECT_NE(0u, h[0]);
    EXPECT_EQ(3u, std::set<OPCHANDLE>({h[0], h[3], h[4]}).size());
    EXPECT_EQ(h[4], h[7]);

    const wchar_t *ids[] = {L"A.A", L"A.A.A", L"A", L"a.a.a"};
    HRESULT *e = nullptr;
    ASSERT_EQ(S_FALSE, server_->ValidateItemIDs(4, const_cast<LPWSTR *>(ids), &e));
    EXPECT_EQ(Results({kUnknownItemId, S_OK, S_OK, kUnknownItemId}), TakeArray(e, 4));

    ASSERT_EQ(S_FALSE, Release({h[0], h[3], h[4], h[4], h[4], h[0]}, &errors));
    EXPECT_EQ(Results({S_OK, S_OK, S_OK, S_OK, kInvalidHandle, kInvalidHandle}), errors);

    LPWSTR id = const_cast<LPWSTR>(L"A.A.A");
    OPCHANDLE client = 1, *handles = nullptr;
    HRESULT *none = nullptr;
    EXPECT_EQ(Results(3, E_INVALIDARG),
              Results({server_->GetItemHandles(0, &id, &client, &handles, &none),
                       server_->ReleaseItemHandles(0, &client, &none),
                       server_->ValidateItemIDs(0, &id, &none)}));
    EXPECT_EQ(nullptr, handles);
    EXPECT_EQ(nullptr, none);
}

TEST_F(ServerOperations, ConnectionsShareServerHandlesButNotEntries) {
    IOPCHDA_Server *other = nullptr;
    ASSERT_EQ(S_OK, testsupport::ConnectTestServer(IID_IOPCHDA_Server, &other));
    std::vector<OPCHANDLE> mine, theirs;
    Results errors;
    ASSERT_EQ(S_OK, Handles({L"A.C.A"}, &mine, &errors));
    ASSERT_EQ(S_OK, Handles({L"A.C.A"}, &theirs, &errors, other));
    EXPECT_EQ(mine, theirs);
    other->Release();
    // The other connection's entry went with it; this one's is still there.
    ASSERT_EQ(S_OK, Release(mine, &errors));
}

// Error texts from the table, else the system's own, else a made-up one; one
// locale; a client name.
TEST_F(ServerOperations, CommonErrorStringsLocaleAndClientName) {
    IOPCCommon *common = nullptr;
    ASSERT_EQ(S_OK, server_->QueryInterface(IID_IOPCCommon, reinterpret_cast<void **>(&common)));
    auto errorString = [common](DWORD code) {
        LPWSTR text = nullptr;
        EXPECT_EQ(S_OK, common->GetErrorString(static_cast<HRESULT>(code), &text)) << code;
        return Take(text);
    };
    EXPECT_EQ(L"OPC_E_UNKNOWNITEMID: The item definition does not exist within the servers "
              L"address space",
              errorString(0xC0040007));
    EXPECT_EQ(L"OPC_S_INUSE: The operation cannot be completed because the object still has "
              L"references that exist",
              errorString(0x0004000F));
    EXPECT_EQ(L"OPC_E_INVALID_PID: The server does not recognise the passed property ID.",
              errorString(0xC0040203));
    // No table entry and no system text.
    EXPECT_EQ(L"<unknown error: 0xC0041001 -1073475583>", errorString(0xC0041001));
    // The system's own text differs between systems.
    const std::wstring system = errorString(E_INVALIDARG);
    EXPECT_FALSE(system.empty());
    EXPECT_EQ(std::wstring::npos, system.find(L"<unknown error"));

    EXPECT_EQ(E_INVALIDARG, common->SetLocaleID(0x0409));
    EXPECT_EQ(S_OK, common->SetLocaleID(0x0800));
    LCID lcid = 0;
    EXPECT_EQ(S_OK, common->GetLocaleID(&lcid));
    EXPECT_EQ(0x0800u, lcid);
    DWORD count = 0;
    LCID *lcids = nullptr;
    ASSERT_EQ(S_OK, common->QueryAvailableLocaleIDs(&count, &lcids));
    EXPECT_EQ(std::vector<LCID>({0x0800}), TakeArray(lcids, count));
    EXPECT_EQ(S_OK, common->SetClientName(L"Halvex client test"));
    common->Release();
}

}  // namespace
