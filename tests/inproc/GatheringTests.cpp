// The gathering operations against a scripted history source: entries, time
// stamps, qualities and result codes.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "Halvex.h"
#include "reads/ValueGathering.h"
#include "runtime/ToolkitState.h"
#include "support/TestIds.h"

using namespace halvex;
using Texts = std::vector<std::string>;

namespace {

constexpr HRESULT kNoData = 0x40041002;
constexpr HRESULT kMoreData = 0x40041003;
constexpr HRESULT kCurrentValue = 0x40041005;
constexpr HRESULT kInvalidAttrId = static_cast<HRESULT>(0xC004100C);
constexpr ULONGLONG kSecond = 10000000ull;
constexpr ULONGLONG kMinute = 60 * kSecond;
// 10:00:00 on some day, as a base for readable times.
constexpr ULONGLONG kTen = 130000000000000000ull;

FILETIME At(ULONGLONG offset) { return FromTicks(kTen + offset); }
FILETIME Hms(int h, int m, int s) {
    return At((static_cast<ULONGLONG>(h - 10) * 60 + m) * kMinute + s * kSecond);
}
std::string Name(const FILETIME &t) {
    ULONGLONG ticks = Ticks(t);
    if (ticks == 0) return "0";
    long long seconds = static_cast<long long>((ticks - kTen) / kSecond);
    char text[16];
    snprintf(text, sizeof text, "%02lld:%02lld:%02lld", 10 + seconds / 3600, seconds / 60 % 60,
             seconds % 60);
    return text;
}

// Raw values at fixed stamps; value = the stamp's position, quality 4.
// Attributes 1 (current value only) and 7 (history) answer; aggregate 3
// answers. The intervals asked of ReadProcessed are recorded.
class ScriptedSource : public CVxHDACallback {
public:
    std::vector<FILETIME> stamps;
    Texts intervals;
    std::optional<long> forcedCount;  // returned instead of the real count
    HANDLE entered = nullptr, release = nullptr;  // given: ReadAt waits to be released

    long GetTimeStamps(void *, FILETIME *start, FILETIME *end, long max, FILETIME *out) override {
        // Up from the start to the end; down from the start to an earlier
        // end, or from the end without a start.
        const bool down = !start || (end && Ticks(*start) > Ticks(*end));
        const ULONGLONG from = Ticks(start ? *start : *end);
        const ULONGLONG to = start && end ? Ticks(*end) : down ? 0 : ~0ull;
        long n = 0;
        for (size_t i = 0; i < stamps.size(); ++i) {
            const ULONGLONG t = Ticks(stamps[down ? stamps.size() - 1 - i : i]);
            if (n < max && (down ? t <= from && t >= to : t >= from && t <= to))
                out[n++] = FromTicks(t);
        }
        return forcedCount.value_or(n);
    }
    HRESULT GetPreviousTimeStamp(void *, FILETIME t, FILETIME *out) override {
        for (auto it = stamps.rbegin(); it != stamps.rend(); ++it)
            if (Ticks(*it) <= Ticks(t)) return *out = *it, S_OK;
        return kNoData;
    }
    HRESULT GetNextTimeStamp(void *, FILETIME t, FILETIME *out) override {
        for (const FILETIME &s : stamps)
            if (Ticks(s) >= Ticks(t)) return *out = s, S_OK;
        return kNoData;
    }
    HRESULT ReadAt(void *, FILETIME t, VARIANT *value, DWORD *quality) override {
        if (entered) SetEvent(entered);
        if (release) WaitForSingleObject(release, 10000);
        for (size_t i = 0; i < stamps.size(); ++i) {
            if (Ticks(stamps[i]) != Ticks(t)) continue;
            value->vt = VT_I4;
            value->lVal = static_cast<LONG>(i);
            *quality = 4;
            return S_OK;
        }
        return kNoData;
    }
    HRESULT ReadCurrentAttribute(void *, DWORD id, FILETIME *, VARIANT *value) override {
        if (id != 1 && id != 7) return E_FAIL;
        value->vt = VT_I2;
        value->iVal = 4;
        return S_OK;
    }
    HRESULT ReadAttributeAt(void *, DWORD id, FILETIME, VARIANT *value) override {
        if (id != 7) return E_FAIL;
        value->vt = VT_I4;
        value->lVal = 7;
        return S_OK;
    }
    HRESULT ReadProcessed(void *, DWORD id, FILETIME *from, FILETIME *to, VARIANT *value,
                          DWORD *quality) override {
        intervals.push_back(Name(*from) + "-" + Name(*to));
        if (id != 3) return E_FAIL;
        value->vt = VT_R8;
        value->dblVal = 1.5;
        *quality = 8;
        return S_OK;
    }
};

// A record's entries as "stamp/quality".
Texts Entries(const OPCHDA_ITEM &item) {
    Texts out;
    for (DWORD i = 0; i < item.dwCount; ++i)
        out.push_back(Name(item.pftTimeStamps[i]) + "/" + std::to_string(item.pdwQualities[i]));
    return out;
}

void FreeItem(OPCHDA_ITEM &item) {
    for (DWORD i = 0; i < item.dwCount; ++i) VariantClear(&item.pvDataValues[i]);
    CoTaskMemFree(item.pftTimeStamps);
    CoTaskMemFree(item.pdwQualities);
    CoTaskMemFree(item.pvDataValues);
    item = OPCHDA_ITEM{};
}

class Gathering : public ::testing::Test {
protected:
    void SetUp() override {
        source_.stamps = {Hms(10, 0, 30), Hms(10, 1, 0), Hms(10, 1, 30), Hms(10, 2, 0)};
        Toolkit().callback = &source_;
    }
    void TearDown() override {
        FreeItem(item_);
        Toolkit().callback = nullptr;
    }
    ScriptedSource source_;
    OPCHDA_ITEM item_ = {};
};

TEST_F(Gathering, NoSourceOrNoStampsMeansNoDataAndBadCountsAreContained) {
    FILETIME s = Hms(10, 0, 0), e = Hms(10, 5, 0), late = Hms(11, 0, 0), later = Hms(12, 0, 0);
    EXPECT_EQ(kNoData, GatherRawValues(1, item_, &late, &later, 0, TRUE));
    source_.forcedCount = -5;
    EXPECT_EQ(kNoData, GatherRawValues(1, item_, &s, &e, 0, FALSE));
    EXPECT_EQ(0u, item_.dwCount);
    // A count beyond the room given is cut to it.
    source_.forcedCount = 100000;
    GatherRawValues(1, item_, &s, &e, 3, FALSE);
    EXPECT_EQ(3u, item_.dwCount);
    FreeItem(item_);

    Toolkit().callback = nullptr;
    EXPECT_EQ(kNoData, GatherRawValues(1, item_, &s, &e, 0, TRUE));
    EXPECT_EQ(kNoData, GatherValuesAtTimes(1, item_, 1, &s));
    EXPECT_EQ(kNoData, GatherProcessedValues(1, item_, 3, s, e, 0));
    EXPECT_EQ(0u, item_.dwCount);
    EXPECT_EQ(nullptr, item_.pftTimeStamps);
}

// Values at 10:00:00, 10:00:30, 10:01:00 and 10:01:30 (value = position).
TEST_F(Gathering, RawReadsWithAndWithoutBounds) {
    source_.stamps = {Hms(10, 0, 0), Hms(10, 0, 30), Hms(10, 1, 0), Hms(10, 1, 30)};
    const Texts all = {"10:00:00/4", "10:00:30/4", "10:01:00/4", "10:01:30/4"};
    FILETIME t0015 = Hms(10, 0, 15), t0115 = Hms(10, 1, 15), t0045 = Hms(10, 0, 45);
    const struct {
        const char *what; const FILETIME *start, *end; DWORD max; Texts entries; LONG lastValue;
    } cases[] = {
        {"forwards: the previous value and the next one bound the range", &t0015, &t0115, 0, all,
         3},
        // The first entry bounds the end (the earlier time), the last the start.
        {"backwards", &t0115, &t0015, 0, {all[3], all[2], all[1], all[0]}, 0},
        // No start: backwards from the end; bounds need both times.
        {"no start", nullptr, &t0115, 2, {all[2], all[1]}, 1},
        {"no end", &t0045, nullptr, 10, {all[2], all[3]}, 3},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(S_OK, GatherRawValues(1, item_, c.start, c.end, c.max, TRUE)) << c.what;
        EXPECT_EQ(c.entries, Entries(item_)) << c.what;
        EXPECT_EQ(c.lastValue, item_.pvDataValues[item_.dwCount - 1].lVal) << c.what;
        FreeItem(item_);
    }
    // Bounds that do not exist: quality 16, stamp 0, no value.
    source_.stamps = {Hms(10, 0, 30), Hms(10, 1, 0)};
    EXPECT_EQ(S_OK, GatherRawValues(1, item_, &t0015, &t0115, 0, TRUE));
    EXPECT_EQ(Texts({"0/16", "10:00:30/4", "10:01:00/4", "0/16"}), Entries(item_));
    EXPECT_EQ(VT_EMPTY, item_.pvDataValues[0].vt);
}

// Values at 10:00:30, 10:01:00, 10:01:30 and 10:02:00. More data only when a
// value lies strictly beyond the last one returned and within the range. The
// arrays have room for the entries returned only.
TEST_F(Gathering, MoreDataOnlyWhenAFurtherValueLiesInTheRange) {
    const struct {
        const char *what; FILETIME start, end; DWORD max; BOOL bounds; HRESULT result; DWORD count;
    } cases[] = {
        {"fourth value before the end", Hms(10, 0, 0), Hms(10, 2, 0), 3, FALSE, kMoreData, 3},
        {"last value is the end", Hms(10, 0, 0), Hms(10, 2, 0), 4, FALSE, S_OK, 4},
        {"exactly three in range", Hms(10, 0, 0), Hms(10, 1, 45), 3, FALSE, S_OK, 3},
        {"no maximum", Hms(10, 0, 0), Hms(10, 1, 15), 0, FALSE, S_OK, 2},
        {"backwards, exactly three", Hms(10, 1, 45), Hms(10, 0, 15), 3, FALSE, S_OK, 3},
        {"backwards, one more", Hms(10, 2, 0), Hms(10, 0, 45), 2, FALSE, kMoreData, 2},
        // Bounds: 16-stamped start bound, three values, the value after the end.
        {"bounds around all three", Hms(10, 0, 15), Hms(10, 1, 45), 5, TRUE, S_OK, 5},
        // The end's bound took the last place: 10:01:30 was not returned.
        {"bound displaced a value", Hms(10, 0, 15), Hms(10, 1, 45), 4, TRUE, kMoreData, 4},
    };
    IMalloc *malloc = Toolkit().taskMalloc;
    for (const auto &c : cases) {
        EXPECT_EQ(c.result, GatherRawValues(1, item_, &c.start, &c.end, c.max, c.bounds)) << c.what;
        EXPECT_EQ(c.count, item_.dwCount) << c.what;
        EXPECT_EQ(c.count * sizeof(VARIANT), malloc->GetSize(item_.pvDataValues)) << c.what;
        EXPECT_EQ(c.count * sizeof(FILETIME), malloc->GetSize(item_.pftTimeStamps)) << c.what;
        EXPECT_EQ(c.count * sizeof(DWORD), malloc->GetSize(item_.pdwQualities)) << c.what;
        FreeItem(item_);
    }
}

TEST_F(Gathering, FailedValuesGetQuality32) {
    FILETIME times[] = {Hms(10, 0, 30), Hms(10, 0, 31), Hms(10, 2, 0)};
    EXPECT_EQ(S_OK, GatherValuesAtTimes(1, item_, 3, times));
    EXPECT_EQ(Texts({"10:00:30/4", "10:00:31/32", "10:02:00/4"}), Entries(item_));
    EXPECT_EQ(VT_EMPTY, item_.pvDataValues[1].vt);
}

TEST(CountIntervals, EdgesOfTheCount) {
    FILETIME ten = Hms(10, 0, 0), eleven = Hms(11, 0, 0);
    EXPECT_EQ(1u, CountIntervals(ten, eleven, 0));
    EXPECT_EQ(4u, CountIntervals(ten, eleven, 15 * kMinute));
    EXPECT_EQ(3u, CountIntervals(ten, eleven, 25 * kMinute));
    EXPECT_EQ(1u, CountIntervals(ten, eleven, 120 * kMinute));
    EXPECT_EQ(4u, CountIntervals(eleven, ten, 15 * kMinute));
    EXPECT_EQ(0u, CountIntervals(ten, ten, kMinute));
    // A year at 1 ms (365 days x 86,400 s x 1,000 ms) is far more than the
    // limit, never a wrapped small count.
    EXPECT_EQ(31536000000ull, CountIntervals(ten, At(365ull * 24 * 60 * kMinute), 10000));
    EXPECT_EQ(8640u, CountIntervals(ten, At(24 * 60 * kMinute), 10 * kSecond));
}

TEST_F(Gathering, ProcessedIntervalsForwardsBackwardsAndPartial) {
    const FILETIME ten = Hms(10, 0, 0), eleven = Hms(11, 0, 0);
    const struct {
        const char *what;
        DWORD aggregate;
        FILETIME start, end;
        ULONGLONG interval;
        Texts intervals;
        Texts entries;
    } cases[] = {
        {"forwards, the last one partial", 3, ten, eleven, 25 * kMinute,
         {"10:00:00-10:25:00", "10:25:00-10:50:00", "10:50:00-11:00:00"},
         {"10:00:00/8", "10:25:00/8", "10:50:00/8"}},
        {"backwards", 3, eleven, ten, 15 * kMinute,
         {"11:00:00-10:45:00", "10:45:00-10:30:00", "10:30:00-10:15:00", "10:15:00-10:00:00"},
         {"11:00:00/8", "10:45:00/8", "10:30:00/8", "10:15:00/8"}},
        {"no interval: one", 3, ten, eleven, 0, {"10:00:00-11:00:00"}, {"10:00:00/8"}},
        {"empty range: none", 3, ten, ten, kMinute, {}, {}},
        // An aggregate the source does not know fails every entry, not the item.
        {"unknown aggregate", 99, ten, eleven, 30 * kMinute,
         {"10:00:00-10:30:00", "10:30:00-11:00:00"}, {"10:00:00/32", "10:30:00/32"}},
    };
    for (const auto &c : cases) {
        source_.intervals.clear();
        EXPECT_EQ(S_OK, GatherProcessedValues(1, item_, c.aggregate, c.start, c.end, c.interval))
            << c.what;
        EXPECT_EQ(c.intervals, source_.intervals) << c.what;
        EXPECT_EQ(c.entries, Entries(item_)) << c.what;
        if (item_.dwCount) {
            EXPECT_EQ(c.aggregate, item_.haAggregate) << c.what;
        }
        FreeItem(item_);
    }
}

class AttributeGathering : public Gathering {
protected:
    void SetUp() override {
        Gathering::SetUp();
        attributes_ = Toolkit().attributes;
        Toolkit().attributes.clear();
        DefineHDAAttribute(1, "Data Type", "", VT_I2, 0);
        DefineHDAAttribute(7, "Limit", "", VT_I4, 1);
    }
    void TearDown() override {
        for (HDADefinition *d : Toolkit().attributes) delete d;
        Toolkit().attributes = attributes_;
        FreeAttribute();
        Gathering::TearDown();
    }
    void FreeAttribute() {
        for (DWORD i = 0; i < attribute_.dwNumValues; ++i)
            VariantClear(&attribute_.vAttributeValues[i]);
        CoTaskMemFree(attribute_.ftTimeStamps);
        CoTaskMemFree(attribute_.vAttributeValues);
        attribute_ = OPCHDA_ATTRIBUTE{};
    }
    std::vector<HDADefinition *> attributes_;
    OPCHDA_ATTRIBUTE attribute_ = {};
};

TEST_F(AttributeGathering, CurrentValueWithAndWithoutEnd) {
    FILETIME s = Hms(10, 0, 0), e = Hms(11, 0, 0);
    EXPECT_EQ(kCurrentValue, GatherAttributeValues(1, 1, attribute_, s, &e));
    EXPECT_EQ(1u, attribute_.dwNumValues);
    EXPECT_EQ(1u, attribute_.dwAttributeID);
    EXPECT_EQ(4, attribute_.vAttributeValues[0].iVal);
    FreeAttribute();
    EXPECT_EQ(S_OK, GatherAttributeValues(1, 1, attribute_, s, nullptr));
    FreeAttribute();
    EXPECT_EQ(kInvalidAttrId, GatherAttributeValues(1, 2, attribute_, s, &e));
    Toolkit().callback = nullptr;
    EXPECT_EQ(E_FAIL, GatherAttributeValues(1, 1, attribute_, s, &e));
}

// Values at 10:00:30, 10:01:00, 10:01:30 and 10:02:00: a history read adds
// the value in force at the earlier edge.
TEST_F(AttributeGathering, HistoryAddsTheValueInForceAtTheEarlierEdge) {
    const struct {
        const char *what; DWORD id; FILETIME start, end; HRESULT result; Texts stamps;
    } cases[] = {
        {"forwards", 7, Hms(10, 0, 45), Hms(10, 1, 45), S_OK, {"10:00:30", "10:01:00", "10:01:30"}},
        // Backwards the earlier edge is the end: its value in force goes last.
        {"backwards", 7, Hms(10, 1, 45), Hms(10, 0, 45), S_OK,
         {"10:01:30", "10:01:00", "10:00:30"}},
        {"no stamp in the range", 7, Hms(10, 0, 40), Hms(10, 0, 50), S_OK, {"10:00:30"}},
        {"no stamp at or before it", 7, Hms(10, 0, 0), Hms(10, 0, 10), E_FAIL, {}},
        // Attribute 1 with history: ReadAttributeAt fails for it.
        {"a failed value fails the read", 1, Hms(10, 0, 45), Hms(10, 1, 45), E_FAIL, {}},
    };
    Toolkit().attributes[0]->hasHistory = 1;
    for (const auto &c : cases) {
        EXPECT_EQ(c.result, GatherAttributeValues(1, c.id, attribute_, c.start, &c.end)) << c.what;
        Texts stamps;
        for (DWORD i = 0; i < attribute_.dwNumValues; ++i)
            stamps.push_back(Name(attribute_.ftTimeStamps[i]));
        EXPECT_EQ(c.stamps, stamps) << c.what;
        EXPECT_EQ(c.stamps.empty(), attribute_.vAttributeValues == nullptr) << c.what;
        FreeAttribute();
    }
}

DWORD WINAPI GatherOnce(void *record) {
    FILETIME t = Hms(10, 0, 30);
    GatherValuesAtTimes(1, *static_cast<OPCHDA_ITEM *>(record), 1, &t);
    return 0;
}

DWORD WINAPI Uninstall(void *) {
    SetHDAServerCallback(nullptr);
    return 0;
}

TEST(CallbackLifetime, UninstallWaitsForReadsInProgress) {
    auto *source = new ScriptedSource();
    source->stamps = {Hms(10, 0, 30)};
    source->entered = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    source->release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SetHDAServerCallback(source);
    OPCHDA_ITEM record = {};
    HANDLE reader = CreateThread(nullptr, 0, GatherOnce, &record, 0, nullptr);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(source->entered, 10000));

    HANDLE uninstaller = CreateThread(nullptr, 0, Uninstall, nullptr, 0, nullptr);
    // The read still uses the object: uninstalling has to wait for it.
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(uninstaller, 200));
    SetEvent(source->release);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(uninstaller, 10000));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(reader, 10000));
    EXPECT_EQ(nullptr, Toolkit().callback);
    // Safe now; the next read finds no source.
    CloseHandle(source->entered);
    CloseHandle(source->release);
    delete source;
    EXPECT_EQ(4u, record.pdwQualities[0]);
    FreeItem(record);
    FILETIME t = Hms(10, 0, 30);
    EXPECT_EQ(kNoData, GatherValuesAtTimes(1, record, 1, &t));
    CloseHandle(reader);
    CloseHandle(uninstaller);
}

}  // namespace

int main(int argc, char **argv) {
    // Result memory comes from the task allocator that start-up fetches.
    Toolkit().OnLoad();
    InitHalvex(testids::kInprocClsid, 1000);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
