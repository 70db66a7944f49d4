// Synchronous reads end to end through the proxy, against the test server's
// grid source: raw values every 10 s, value = item position * 1000 +
// (stamp / 10 s mod 1000), quality 4 on the grid and 2 between; the last
// item ("A.C.C") has no data; aggregate 5 counts grid stamps in [from, to).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "opchda.h"
#include "support/ServerConnection.h"

namespace {

constexpr HRESULT kInvalidHandle = static_cast<HRESULT>(0xC0040001);
constexpr HRESULT kMaxExceeded = static_cast<HRESULT>(0xC0041001);
constexpr HRESULT kNoData = 0x40041002;
constexpr HRESULT kMoreData = 0x40041003;
constexpr HRESULT kCurrentValue = 0x40041005;
constexpr HRESULT kInvalidAttrId = static_cast<HRESULT>(0xC004100C);
constexpr ULONGLONG kStep = 100000000ull;  // 10 s
// A grid-aligned moment (a whole minute) to read around.
constexpr ULONGLONG kT0 = 133000000000000000ull - 133000000000000000ull % (6 * kStep);

ULONGLONG Ticks(const FILETIME &t) {
    return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}
FILETIME Ft(ULONGLONG ticks) { return {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)}; }
OPCHDA_TIME Absolute(ULONGLONG ticks) {
    OPCHDA_TIME t = {};
    t.ftTime = Ft(ticks);
    return t;
}
// A relative time. The proxy copies the string back into the client's
// buffer when the call returns ([in, out]), so it must be writable.
struct RelativeTime {
    explicit RelativeTime(const wchar_t *text) : buffer(text) {
        record.bString = TRUE;
        record.szTime = &buffer[0];
    }
    std::wstring buffer;
    OPCHDA_TIME record = {};
};
double GridValue(int item, ULONGLONG ticks) {
    return item * 1000.0 + static_cast<double>(ticks / kStep % 1000);
}

void FreeItems(OPCHDA_ITEM *items, DWORD count) {
    for (DWORD i = 0; items && i < count; ++i) {
        for (DWORD j = 0; j < items[i].dwCount; ++j) VariantClear(&items[i].pvDataValues[j]);
        CoTaskMemFree(items[i].pftTimeStamps);
        CoTaskMemFree(items[i].pdwQualities);
        CoTaskMemFree(items[i].pvDataValues);
    }
    CoTaskMemFree(items);
}

class SyncRead : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(S_OK, testsupport::ConnectTestServer(IID_IOPCHDA_Server, &server_));
        ASSERT_EQ(S_OK, server_->QueryInterface(IID_IOPCHDA_SyncRead,
                                                reinterpret_cast<void **>(&reader_)));
        const wchar_t *ids[] = {L"A.A.A", L"A.A.B", L"A.C.C"};
        OPCHANDLE clients[] = {11, 12, 13};
        OPCHANDLE *handles = nullptr;
        HRESULT *errors = nullptr;
        ASSERT_EQ(S_OK, server_->GetItemHandles(3, const_cast<LPWSTR *>(ids), clients, &handles,
                                                &errors));
        aaa_ = handles[0];
        aab_ = handles[1];
        noData_ = handles[2];
        CoTaskMemFree(handles);
        CoTaskMemFree(errors);
    }
    void TearDown() override {
        FreeItems(items_, itemCount_);
        CoTaskMemFree(errors_);
        if (reader_) reader_->Release();
        if (server_) server_->Release();
    }

    HRESULT Raw(OPCHDA_TIME *start, OPCHDA_TIME *end, DWORD values, BOOL bounds,
                std::vector<OPCHANDLE> handles) {
        itemCount_ = static_cast<DWORD>(handles.size());
        return reader_->ReadRaw(start, end, values, bounds, itemCount_, handles.data(), &items_,
                                &errors_);
    }

    IOPCHDA_Server *server_ = nullptr;
    IOPCHDA_SyncRead *reader_ = nullptr;
    OPCHANDLE aaa_ = 0, aab_ = 0, noData_ = 0;
    OPCHDA_ITEM *items_ = nullptr;
    HRESULT *errors_ = nullptr;
    DWORD itemCount_ = 0;
};

TEST_F(SyncRead, RelativeTimesAreResolvedAndWrittenBack) {
    FILETIME before;
    CoFileTimeNow(&before);
    RelativeTime relativeStart(L"NOW-1H"), relativeEnd(L"NOW");
    OPCHDA_TIME &start = relativeStart.record, &end = relativeEnd.record;
    ASSERT_EQ(S_OK, Raw(&start, &end, 0, FALSE, {aaa_}));
    FILETIME after;
    CoFileTimeNow(&after);
    const ULONGLONG hour = 36000000000ull;
    // "NOW-1H" is cut to the millisecond, so it may lie up to 1 ms earlier.
    EXPECT_LE(Ticks(before) - hour - 10000, Ticks(start.ftTime));
    EXPECT_GE(Ticks(after) - hour, Ticks(start.ftTime));
    EXPECT_LE(Ticks(before), Ticks(end.ftTime));
    EXPECT_GE(Ticks(after), Ticks(end.ftTime));
    EXPECT_TRUE(start.bString);
    // Every grid stamp in [start, end], as the written-back times say.
    ULONGLONG first = (Ticks(start.ftTime) + kStep - 1) / kStep, last = Ticks(end.ftTime) / kStep;
    ASSERT_EQ(last - first + 1, items_[0].dwCount);
    EXPECT_EQ(11u, items_[0].hClient);
    EXPECT_EQ(first * kStep, Ticks(items_[0].pftTimeStamps[0]));
    EXPECT_EQ(GridValue(0, first * kStep), items_[0].pvDataValues[0].dblVal);
    EXPECT_EQ(4u, items_[0].pdwQualities[0]);
}

TEST_F(SyncRead, UnknownHandleFailsOnlyItsItem) {
    OPCHDA_TIME start = Absolute(kT0), end = Absolute(kT0 + 5 * kStep);
    ASSERT_EQ(S_FALSE, Raw(&start, &end, 0, FALSE, {aaa_, 0xBAD0BAD0, aab_}));
    EXPECT_EQ(S_OK, errors_[0]);
    EXPECT_EQ(kInvalidHandle, errors_[1]);
    EXPECT_EQ(S_OK, errors_[2]);
    EXPECT_EQ(0u, items_[1].dwCount);
    EXPECT_EQ(6u, items_[0].dwCount);
    ASSERT_EQ(6u, items_[2].dwCount);
    EXPECT_EQ(12u, items_[2].hClient);
    EXPECT_EQ(GridValue(1, kT0 + 5 * kStep), items_[2].pvDataValues[5].dblVal);
}

TEST_F(SyncRead, MoreDataKeepsSuccessNoDataDoesNot) {
    OPCHDA_TIME start = Absolute(kT0), end = Absolute(kT0 + 100 * kStep);
    ASSERT_EQ(S_OK, Raw(&start, &end, 10, FALSE, {aaa_}));
    EXPECT_EQ(kMoreData, errors_[0]);
    EXPECT_EQ(10u, items_[0].dwCount);
    FreeItems(items_, itemCount_);
    CoTaskMemFree(errors_);
    items_ = nullptr;
    errors_ = nullptr;
    ASSERT_EQ(S_FALSE, Raw(&start, &end, 0, FALSE, {aaa_, noData_}));
    EXPECT_EQ(S_OK, errors_[0]);
    EXPECT_EQ(kNoData, errors_[1]);
    EXPECT_EQ(0u, items_[1].dwCount);
}

TEST_F(SyncRead, BoundsAndOpenEnds) {
    OPCHDA_TIME start = Absolute(kT0 + kStep / 2), end = Absolute(kT0 + 3 * kStep + kStep / 2);
    ASSERT_EQ(S_OK, Raw(&start, &end, 0, TRUE, {aaa_}));
    // 10:00:05..10:00:35 around T0: bounds at T0 and T0+40 s, values between.
    ASSERT_EQ(5u, items_[0].dwCount);
    EXPECT_EQ(kT0, Ticks(items_[0].pftTimeStamps[0]));
    EXPECT_EQ(kT0 + 4 * kStep, Ticks(items_[0].pftTimeStamps[4]));
    FreeItems(items_, itemCount_);
    CoTaskMemFree(errors_);
    items_ = nullptr;
    errors_ = nullptr;

    // An unresolvable start with a valid end: at most N values backwards.
    RelativeTime unresolvable(L"yesterday");
    OPCHDA_TIME &bad = unresolvable.record;
    OPCHDA_TIME until = Absolute(kT0);
    ASSERT_EQ(S_OK, Raw(&bad, &until, 3, FALSE, {aaa_}));
    ASSERT_EQ(3u, items_[0].dwCount);
    EXPECT_EQ(kT0, Ticks(items_[0].pftTimeStamps[0]));
    EXPECT_EQ(kT0 - 2 * kStep, Ticks(items_[0].pftTimeStamps[2]));
    OPCHANDLE handle = aaa_;
    OPCHDA_ITEM *items = nullptr;
    HRESULT *errors = nullptr;
    EXPECT_EQ(E_INVALIDARG, reader_->ReadRaw(&bad, &until, 0, FALSE, 1, &handle, &items, &errors));
}

TEST_F(SyncRead, LimitsAreCheckedBeforeAnyItem) {
    OPCHDA_TIME start = Absolute(kT0), end = Absolute(kT0 + kStep);
    OPCHANDLE bogus = 0xBAD0BAD0;
    OPCHDA_ITEM *items = nullptr;
    HRESULT *errors = nullptr;
    EXPECT_EQ(kMaxExceeded, reader_->ReadRaw(&start, &end, 5001, FALSE, 1, &bogus, &items,
                                             &errors));
    EXPECT_EQ(nullptr, items);
    EXPECT_EQ(S_FALSE, reader_->ReadRaw(&start, &end, 5000, FALSE, 1, &bogus, &items, &errors));
    FreeItems(items, 1);
    CoTaskMemFree(errors);

    // One day at 10 s is 8640 intervals.
    OPCHDA_TIME dayEnd = Absolute(kT0 + 8640 * kStep);
    DWORD aggregate = 5;
    items = nullptr;
    EXPECT_EQ(kMaxExceeded, reader_->ReadProcessed(&start, &dayEnd, Ft(kStep), 1, &bogus,
                                                   &aggregate, &items, &errors));
    EXPECT_EQ(nullptr, items);
    // A negative resample interval means nothing.
    EXPECT_EQ(E_INVALIDARG, reader_->ReadProcessed(&start, &dayEnd, Ft(0x8000000000000000ull),
                                                   1, &bogus, &aggregate, &items, &errors));
}

TEST_F(SyncRead, ProcessedAtTimeAndModified) {
    OPCHDA_TIME start = Absolute(kT0), end = Absolute(kT0 + 6 * kStep + kStep / 2);
    DWORD aggregates[] = {5, 3};
    OPCHANDLE handles[] = {aaa_, aab_};
    ASSERT_EQ(S_OK, reader_->ReadProcessed(&start, &end, Ft(3 * kStep), 2, handles, aggregates,
                                           &items_, &errors_));
    itemCount_ = 2;
    // [T0, T0+30), [T0+30, T0+60), [T0+60, T0+65): 3, 3 and 1 grid stamps.
    ASSERT_EQ(3u, items_[0].dwCount);
    EXPECT_EQ(5u, items_[0].haAggregate);
    EXPECT_EQ(3, items_[0].pvDataValues[0].lVal);
    EXPECT_EQ(1, items_[0].pvDataValues[2].lVal);
    EXPECT_EQ(8u, items_[0].pdwQualities[2]);
    EXPECT_EQ(kT0 + 6 * kStep, Ticks(items_[0].pftTimeStamps[2]));
    // The source knows no aggregate 3: every entry has quality 32.
    ASSERT_EQ(3u, items_[1].dwCount);
    EXPECT_EQ(32u, items_[1].pdwQualities[0]);
    FreeItems(items_, itemCount_);
    CoTaskMemFree(errors_);

    FILETIME times[] = {Ft(kT0), Ft(kT0 + kStep / 2), Ft(kT0 + 7 * kStep)};
    ASSERT_EQ(S_OK, reader_->ReadAtTime(3, times, 2, handles, &items_, &errors_));
    ASSERT_EQ(3u, items_[0].dwCount);
    ASSERT_EQ(3u, items_[1].dwCount);
    EXPECT_EQ(4u, items_[1].pdwQualities[0]);
    EXPECT_EQ(2u, items_[1].pdwQualities[1]);
    EXPECT_EQ(GridValue(1, kT0 + 7 * kStep), items_[1].pvDataValues[2].dblVal);
    EXPECT_EQ(kT0 + kStep / 2, Ticks(items_[1].pftTimeStamps[1]));

    OPCHDA_MODIFIEDITEM *modified = nullptr;
    HRESULT *errors = nullptr;
    EXPECT_EQ(E_NOTIMPL, reader_->ReadModified(&start, &end, 0, 2, handles, &modified, &errors));
}

TEST_F(SyncRead, Attributes) {
    OPCHDA_TIME start = Absolute(kT0), end = Absolute(kT0 + kStep);
    DWORD ids[] = {1, 13, 99};
    OPCHDA_ATTRIBUTE *values = nullptr;
    HRESULT *errors = nullptr;
    EXPECT_EQ(kInvalidHandle,
              reader_->ReadAttribute(&start, &end, 0xBAD0BAD0, 3, ids, &values, &errors));
    EXPECT_EQ(nullptr, values);

    // Across processes the end record cannot be left out; one that does not
    // resolve asks for current values only.
    RelativeTime noEnd(L"");
    ASSERT_EQ(S_FALSE,
              reader_->ReadAttribute(&start, &noEnd.record, aab_, 3, ids, &values, &errors));
    EXPECT_EQ(S_OK, errors[0]);
    EXPECT_EQ(S_OK, errors[1]);
    EXPECT_EQ(kInvalidAttrId, errors[2]);
    EXPECT_EQ(12u, values[1].hClient);
    ASSERT_EQ(1u, values[1].dwNumValues);
    EXPECT_EQ(std::wstring(L"A.A.B"), values[1].vAttributeValues[0].bstrVal);
    EXPECT_EQ(VT_R8, values[0].vAttributeValues[0].iVal);
    for (int i = 0; i < 3; ++i) {
        for (DWORD j = 0; j < values[i].dwNumValues; ++j) VariantClear(&values[i].vAttributeValues[j]);
        CoTaskMemFree(values[i].ftTimeStamps);
        CoTaskMemFree(values[i].vAttributeValues);
    }
    CoTaskMemFree(values);
    CoTaskMemFree(errors);

    // With an end time, attributes without history give their current value.
    ASSERT_EQ(S_FALSE, reader_->ReadAttribute(&start, &end, aaa_, 1, ids, &values, &errors));
    EXPECT_EQ(kCurrentValue, errors[0]);
    CoTaskMemFree(values[0].ftTimeStamps);
    CoTaskMemFree(values[0].vAttributeValues);
    CoTaskMemFree(values);
    CoTaskMemFree(errors);
}

}  // namespace
