// Synchronous reads through the proxy: the interface's checks, per-item
// results, written-back time records and the arrays a client receives,
// against the test server's grid source: raw values every 10 s, quality 4 on
// the grid and 2 between; "A.C.C" has no data; aggregate 5 counts grid
// stamps. What values are gathered is tested in process, the values
// themselves by the hdaclient tests.
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
constexpr OPCHANDLE kBogus = 0xBAD0BAD0;
constexpr ULONGLONG kStep = 100000000ull;  // 10 s
// A grid-aligned moment (a whole minute) to read around.
constexpr ULONGLONG kT0 = 133000000000000000ull - 133000000000000000ull % (6 * kStep);

ULONGLONG Ticks(const FILETIME &t) {
    return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}
FILETIME Ft(ULONGLONG ticks) { return {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)}; }
OPCHDA_TIME Absolute(ULONGLONG ticks) { return {FALSE, nullptr, Ft(ticks)}; }
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
        Clear();
        if (reader_) reader_->Release();
        if (server_) server_->Release();
    }

    // Frees the results of the last read.
    void Clear() {
        for (DWORD i = 0; i < itemCount_; ++i) {
            if (OPCHDA_ITEM *item = items_ ? &items_[i] : nullptr) {
                for (DWORD j = 0; j < item->dwCount; ++j) VariantClear(&item->pvDataValues[j]);
                CoTaskMemFree(item->pftTimeStamps);
                CoTaskMemFree(item->pdwQualities);
                CoTaskMemFree(item->pvDataValues);
            }
            if (OPCHDA_ATTRIBUTE *a = attributes_ ? &attributes_[i] : nullptr) {
                for (DWORD j = 0; j < a->dwNumValues; ++j) VariantClear(&a->vAttributeValues[j]);
                CoTaskMemFree(a->ftTimeStamps);
                CoTaskMemFree(a->vAttributeValues);
            }
        }
        CoTaskMemFree(items_);
        CoTaskMemFree(attributes_);
        CoTaskMemFree(errors_);
        items_ = nullptr;
        attributes_ = nullptr;
        errors_ = nullptr;
    }

    std::vector<DWORD> Counts() const {
        std::vector<DWORD> out;
        for (DWORD i = 0; items_ && i < itemCount_; ++i) out.push_back(items_[i].dwCount);
        return out;
    }
    std::vector<HRESULT> Errors() const {
        return errors_ ? std::vector<HRESULT>(errors_, errors_ + itemCount_)
                       : std::vector<HRESULT>();
    }

    HRESULT Raw(OPCHDA_TIME *start, OPCHDA_TIME *end, DWORD values,
                std::vector<OPCHANDLE> handles) {
        Clear();
        itemCount_ = static_cast<DWORD>(handles.size());
        return reader_->ReadRaw(start, end, values, FALSE, itemCount_, handles.data(), &items_,
                                &errors_);
    }

    IOPCHDA_Server *server_ = nullptr;
    IOPCHDA_SyncRead *reader_ = nullptr;
    OPCHANDLE aaa_ = 0, aab_ = 0, noData_ = 0;
    OPCHDA_ITEM *items_ = nullptr;
    OPCHDA_ATTRIBUTE *attributes_ = nullptr;
    HRESULT *errors_ = nullptr;
    DWORD itemCount_ = 0;
};

TEST_F(SyncRead, RelativeTimesAreResolvedAndWrittenBack) {
    FILETIME before;
    CoFileTimeNow(&before);
    RelativeTime relativeStart(L"NOW-1H"), relativeEnd(L"NOW");
    OPCHDA_TIME &start = relativeStart.record, &end = relativeEnd.record;
    ASSERT_EQ(S_OK, Raw(&start, &end, 0, {aaa_}));
    FILETIME after;
    CoFileTimeNow(&after);
    const ULONGLONG hour = 36000000000ull;
    // "NOW-1H" is cut to the millisecond, so it may lie up to 1 ms earlier.
    EXPECT_LE(Ticks(before) - hour - 10000, Ticks(start.ftTime));
    EXPECT_GE(Ticks(after) - hour, Ticks(start.ftTime));
    EXPECT_LE(Ticks(before), Ticks(end.ftTime));
    EXPECT_GE(Ticks(after), Ticks(end.ftTime));
    EXPECT_TRUE(start.bString);
    EXPECT_EQ(std::wstring(L"NOW-1H"), start.szTime);
}

TEST_F(SyncRead, EachItemHasItsOwnResult) {
    // 6 stamps from T0 to T0 + 50 s.
    OPCHDA_TIME start = Absolute(kT0), end = Absolute(kT0 + 5 * kStep);
    ASSERT_EQ(S_FALSE, Raw(&start, &end, 0, {aaa_, kBogus, aab_, noData_}));
    EXPECT_EQ(std::vector<HRESULT>({S_OK, kInvalidHandle, S_OK, kNoData}), Errors());
    EXPECT_EQ(std::vector<DWORD>({6, 0, 6, 0}), Counts());
    EXPECT_EQ(12u, items_[2].hClient);

    // More data is no failure.
    ASSERT_EQ(S_OK, Raw(&start, &end, 2, {aaa_}));
    EXPECT_EQ(kMoreData, errors_[0]);
    EXPECT_EQ(2u, items_[0].dwCount);
}

TEST_F(SyncRead, AnUnresolvableTimeIsAnOpenEnd) {
    // With a valid end: at most N values backwards from it.
    RelativeTime unresolvable(L"yesterday");
    OPCHDA_TIME &bad = unresolvable.record;
    OPCHDA_TIME until = Absolute(kT0);
    ASSERT_EQ(S_OK, Raw(&bad, &until, 3, {aaa_}));
    ASSERT_EQ(3u, items_[0].dwCount);
    EXPECT_EQ(kT0, Ticks(items_[0].pftTimeStamps[0]));
    EXPECT_EQ(kT0 - 2 * kStep, Ticks(items_[0].pftTimeStamps[2]));
    // One open end without a number of values asks for nothing definite.
    EXPECT_EQ(E_INVALIDARG, Raw(&bad, &until, 0, {aaa_}));
    EXPECT_EQ(nullptr, items_);
}

TEST_F(SyncRead, LimitsAreCheckedBeforeAnyItem) {
    OPCHDA_TIME start = Absolute(kT0), end = Absolute(kT0 + kStep);
    EXPECT_EQ(kMaxExceeded, Raw(&start, &end, 5001, {kBogus}));
    EXPECT_EQ(nullptr, items_);
    EXPECT_EQ(S_FALSE, Raw(&start, &end, 5000, {kBogus}));

    // One day at 10 s is 8640 intervals.
    Clear();
    OPCHDA_TIME dayEnd = Absolute(kT0 + 8640 * kStep);
    DWORD aggregate = 5;
    OPCHANDLE bogus = kBogus;
    EXPECT_EQ(kMaxExceeded, reader_->ReadProcessed(&start, &dayEnd, Ft(kStep), 1, &bogus,
                                                   &aggregate, &items_, &errors_));
    EXPECT_EQ(nullptr, items_);
    // A negative resample interval means nothing.
    EXPECT_EQ(E_INVALIDARG, reader_->ReadProcessed(&start, &dayEnd, Ft(0x8000000000000000ull),
                                                   1, &bogus, &aggregate, &items_, &errors_));
}

TEST_F(SyncRead, ProcessedAtTimeAndModified) {
    // Each item takes the aggregate at its own position; the source knows no
    // aggregate 3, so every entry of the second item has quality 32.
    OPCHDA_TIME start = Absolute(kT0), end = Absolute(kT0 + 6 * kStep);
    DWORD aggregates[] = {5, 3};
    OPCHANDLE handles[] = {aaa_, aab_};
    itemCount_ = 2;
    ASSERT_EQ(S_OK, reader_->ReadProcessed(&start, &end, Ft(3 * kStep), 2, handles, aggregates,
                                           &items_, &errors_));
    ASSERT_EQ(std::vector<DWORD>({2, 2}), Counts());
    EXPECT_EQ(5u, items_[0].haAggregate);
    EXPECT_EQ(3u, items_[1].haAggregate);
    EXPECT_EQ(32u, items_[1].pdwQualities[1]);
    Clear();

    FILETIME times[] = {Ft(kT0), Ft(kT0 + kStep / 2), Ft(kT0 + 7 * kStep)};
    ASSERT_EQ(S_OK, reader_->ReadAtTime(3, times, 2, handles, &items_, &errors_));
    ASSERT_EQ(std::vector<DWORD>({3, 3}), Counts());
    EXPECT_EQ(std::vector<DWORD>({4, 2, 4}),
              std::vector<DWORD>(items_[1].pdwQualities, items_[1].pdwQualities + 3));
    EXPECT_EQ(kT0 + kStep / 2, Ticks(items_[1].pftTimeStamps[1]));

    OPCHDA_MODIFIEDITEM *modified = nullptr;
    HRESULT *errors = nullptr;
    EXPECT_EQ(E_NOTIMPL, reader_->ReadModified(&start, &end, 0, 2, handles, &modified, &errors));
}

TEST_F(SyncRead, Attributes) {
    OPCHDA_TIME start = Absolute(kT0), end = Absolute(kT0 + kStep);
    DWORD ids[] = {1, 13, 99};
    itemCount_ = 3;
    EXPECT_EQ(kInvalidHandle,
              reader_->ReadAttribute(&start, &end, kBogus, 3, ids, &attributes_, &errors_));
    EXPECT_EQ(nullptr, attributes_);

    // Across processes the end record cannot be left out; one that does not
    // resolve asks for current values only.
    RelativeTime noEnd(L"");
    ASSERT_EQ(S_FALSE, reader_->ReadAttribute(&start, &noEnd.record, aab_, 3, ids, &attributes_,
                                              &errors_));
    EXPECT_EQ(std::vector<HRESULT>({S_OK, S_OK, kInvalidAttrId}), Errors());
    EXPECT_EQ(12u, attributes_[1].hClient);
    EXPECT_EQ(1u, attributes_[1].dwNumValues);
    Clear();

    // With an end time, attributes without history give their current value.
    itemCount_ = 1;
    ASSERT_EQ(S_FALSE,
              reader_->ReadAttribute(&start, &end, aaa_, 1, ids, &attributes_, &errors_));
    EXPECT_EQ(kCurrentValue, errors_[0]);
}

}  // namespace
