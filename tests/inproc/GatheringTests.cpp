// The gathering operations against a scripted history source that records
// every call: entries, time stamps, qualities and result codes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Halvex.h"
#include "reads/ValueGathering.h"
#include "runtime/ToolkitState.h"
#include "support/TestIds.h"

using namespace halvex;

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

// Raw values at fixed stamps; value = the stamp's position. Attributes 1
// (current value only) and 7 (history) answer; aggregate 3 answers.
class ScriptedSource : public CVxHDACallback {
public:
    std::vector<FILETIME> stamps;
    std::vector<std::string> calls;
    bool forceCount = false;  // return forcedCount instead of the real count
    long forcedCount = 0;

    long GetTimeStamps(void *, FILETIME *start, FILETIME *end, long max, FILETIME *out) override {
        calls.push_back("GetTimeStamps");
        bool backwards = !start || (end && Ticks(*start) > Ticks(*end));
        long n = 0;
        if (!backwards) {
            for (const FILETIME &t : stamps)
                if (n < max && Ticks(t) >= Ticks(*start) && (!end || Ticks(t) <= Ticks(*end)))
                    out[n++] = t;
        } else {
            // Down from the start to the end, or down from the end without a start.
            const FILETIME *high = start ? start : end;
            const FILETIME *low = start ? end : nullptr;
            for (auto it = stamps.rbegin(); it != stamps.rend(); ++it)
                if (n < max && Ticks(*it) <= Ticks(*high) && (!low || Ticks(*it) >= Ticks(*low)))
                    out[n++] = *it;
        }
        return forceCount ? forcedCount : n;
    }
    HRESULT GetPreviousTimeStamp(void *, FILETIME t, FILETIME *out) override {
        calls.push_back("Previous " + Name(t));
        for (auto it = stamps.rbegin(); it != stamps.rend(); ++it)
            if (Ticks(*it) <= Ticks(t)) return *out = *it, S_OK;
        return kNoData;
    }
    HRESULT GetNextTimeStamp(void *, FILETIME t, FILETIME *out) override {
        calls.push_back("Next " + Name(t));
        for (const FILETIME &s : stamps)
            if (Ticks(s) >= Ticks(t)) return *out = s, S_OK;
        return kNoData;
    }
    HRESULT ReadAt(void *, FILETIME t, VARIANT *value, DWORD *quality) override {
        calls.push_back("ReadAt " + Name(t));
        for (size_t i = 0; i < stamps.size(); ++i) {
            if (Ticks(stamps[i]) == Ticks(t)) {
                value->vt = VT_I4;
                value->lVal = static_cast<LONG>(i);
                *quality = 4;
                return S_OK;
            }
        }
        return kNoData;
    }
    HRESULT ReadCurrentAttribute(void *, DWORD id, FILETIME *, VARIANT *value) override {
        calls.push_back("ReadCurrentAttribute " + std::to_string(id));
        if (id != 1 && id != 7) return E_FAIL;
        value->vt = VT_I2;
        value->iVal = 4;
        return S_OK;
    }
    HRESULT ReadAttributeAt(void *, DWORD id, FILETIME t, VARIANT *value) override {
        calls.push_back("ReadAttributeAt " + Name(t));
        if (id != 7) return E_FAIL;
        value->vt = VT_I4;
        value->lVal = 7;
        return S_OK;
    }
    HRESULT ReadProcessed(void *, DWORD id, FILETIME *from, FILETIME *to, VARIANT *value,
                          DWORD *quality) override {
        calls.push_back("ReadProcessed " + Name(*from) + "-" + Name(*to));
        if (id != 3) return E_FAIL;
        value->vt = VT_R8;
        value->dblVal = 1.5;
        *quality = 8;
        return S_OK;
    }
};

struct Entry {
    std::string stamp;
    DWORD quality;
    bool operator==(const Entry &o) const { return stamp == o.stamp && quality == o.quality; }
};
void PrintTo(const Entry &e, std::ostream *os) { *os << e.stamp << "/" << e.quality; }

std::vector<Entry> Entries(const OPCHDA_ITEM &item) {
    std::vector<Entry> out;
    for (DWORD i = 0; i < item.dwCount; ++i)
        out.push_back({Name(item.pftTimeStamps[i]), item.pdwQualities[i]});
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

TEST_F(Gathering, NoSourceMeansNoData) {
    Toolkit().callback = nullptr;
    FILETIME s = Hms(10, 0, 0), e = Hms(11, 0, 0);
    EXPECT_EQ(kNoData, GatherRawValues(1, item_, &s, &e, 0, TRUE));
    EXPECT_EQ(kNoData, GatherValuesAtTimes(1, item_, 1, &s));
    EXPECT_EQ(kNoData, GatherProcessedValues(1, item_, 3, s, e, 0));
    EXPECT_EQ(0u, item_.dwCount);
    EXPECT_EQ(nullptr, item_.pftTimeStamps);
}

// Values at 10:00:00, 10:00:30, 10:01:00 and 10:01:30 (value = position).
TEST_F(Gathering, RawReadsWithAndWithoutBounds) {
    source_.stamps = {Hms(10, 0, 0), Hms(10, 0, 30), Hms(10, 1, 0), Hms(10, 1, 30)};
    const std::vector<Entry> all = {
        {"10:00:00", 4}, {"10:00:30", 4}, {"10:01:00", 4}, {"10:01:30", 4}};
    FILETIME t0015 = Hms(10, 0, 15), t0115 = Hms(10, 1, 15), t0045 = Hms(10, 0, 45);
    struct Case {
        const char *what;
        const FILETIME *start, *end;
        DWORD max;
        std::vector<Entry> entries;
        LONG lastValue;
    };
    const Case cases[] = {
        {"forwards: the previous value and the next one bound the range", &t0015, &t0115, 0, all,
         3},
        // The first entry bounds the end (the earlier time), the last the start.
        {"backwards", &t0115, &t0015, 0, {all[3], all[2], all[1], all[0]}, 0},
        // No start: backwards from the end; bounds need both times.
        {"no start", nullptr, &t0115, 2, {all[2], all[1]}, 1},
        {"no end", &t0045, nullptr, 10, {all[2], all[3]}, 3},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(S_OK, GatherRawValues(1, item_, c.start, c.end, c.max, TRUE)) << c.what;
        EXPECT_EQ(c.entries, Entries(item_)) << c.what;
        EXPECT_EQ(c.lastValue, item_.pvDataValues[item_.dwCount - 1].lVal) << c.what;
        FreeItem(item_);
    }
    // Bounds that do not exist: quality 16, stamp 0, no value.
    source_.stamps = {Hms(10, 0, 30), Hms(10, 1, 0)};
    EXPECT_EQ(S_OK, GatherRawValues(1, item_, &t0015, &t0115, 0, TRUE));
    EXPECT_EQ(std::vector<Entry>({{"0", 16}, {"10:00:30", 4}, {"10:01:00", 4}, {"0", 16}}),
              Entries(item_));
    EXPECT_EQ(VT_EMPTY, item_.pvDataValues[0].vt);
}

// Values at 10:00:30, 10:01:00, 10:01:30 and 10:02:00. More data only when a
// value lies strictly beyond the last one returned and within the range.
TEST_F(Gathering, MoreDataOnlyWhenAFurtherValueLiesInTheRange) {
    struct Case {
        const char *what;
        FILETIME start, end;
        DWORD max;
        BOOL bounds;
        HRESULT result;
        DWORD count;
    };
    const Case cases[] = {
        {"fourth value before the end", Hms(10, 0, 0), Hms(10, 2, 0), 3, FALSE, kMoreData, 3},
        {"last value is the end", Hms(10, 0, 0), Hms(10, 2, 0), 4, FALSE, S_OK, 4},
        {"exactly three in range", Hms(10, 0, 0), Hms(10, 1, 45), 3, FALSE, S_OK, 3},
        {"backwards, exactly three", Hms(10, 1, 45), Hms(10, 0, 15), 3, FALSE, S_OK, 3},
        {"backwards, one more", Hms(10, 2, 0), Hms(10, 0, 45), 2, FALSE, kMoreData, 2},
        // Bounds: 16-stamped start bound, three values, the value after the end.
        {"bounds around all three", Hms(10, 0, 15), Hms(10, 1, 45), 5, TRUE, S_OK, 5},
        // The end's bound took the last place: 10:01:30 was not returned.
        {"bound displaced a value", Hms(10, 0, 15), Hms(10, 1, 45), 4, TRUE, kMoreData, 4},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(c.result, GatherRawValues(1, item_, &c.start, &c.end, c.max, c.bounds)) << c.what;
        EXPECT_EQ(c.count, item_.dwCount) << c.what;
        FreeItem(item_);
    }
}

TEST_F(Gathering, RawResultsTakeRoomForTheValuesFoundOnly) {
    FILETIME s = Hms(10, 0, 0), e = Hms(10, 1, 15);
    ASSERT_EQ(S_OK, GatherRawValues(1, item_, &s, &e, 0, FALSE));
    ASSERT_EQ(2u, item_.dwCount);
    IMalloc *malloc = Toolkit().taskMalloc;
    EXPECT_EQ(2 * sizeof(VARIANT), malloc->GetSize(item_.pvDataValues));
    EXPECT_EQ(2 * sizeof(FILETIME), malloc->GetSize(item_.pftTimeStamps));
    EXPECT_EQ(2 * sizeof(DWORD), malloc->GetSize(item_.pdwQualities));
}

TEST_F(Gathering, NoStampsMeansNoDataAndBadCountsAreContained) {
    FILETIME s = Hms(11, 0, 0), e = Hms(12, 0, 0);
    EXPECT_EQ(kNoData, GatherRawValues(1, item_, &s, &e, 0, TRUE));
    EXPECT_EQ(0u, item_.dwCount);
    FILETIME s2 = Hms(10, 0, 0), e2 = Hms(10, 5, 0);
    source_.forceCount = true;
    source_.forcedCount = -5;
    EXPECT_EQ(kNoData, GatherRawValues(1, item_, &s2, &e2, 0, FALSE));
    // A count beyond the room given is cut to it.
    source_.forcedCount = 100000;
    GatherRawValues(1, item_, &s2, &e2, 3, FALSE);
    EXPECT_EQ(3u, item_.dwCount);
}

TEST_F(Gathering, FailedValuesGetQuality32) {
    FILETIME times[] = {Hms(10, 0, 30), Hms(10, 0, 31), Hms(10, 2, 0)};
    EXPECT_EQ(S_OK, GatherValuesAtTimes(1, item_, 3, times));
    EXPECT_EQ(std::vector<Entry>({{"10:00:30", 4}, {"10:00:31", 32}, {"10:02:00", 4}}),
              Entries(item_));
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
    // A year at 1 ms is far more than the limit, never a wrapped small count.
    ULONGLONG year = 365ull * 24 * 60 * kMinute;
    // 365 days x 86,400 s x 1,000 ms.
    EXPECT_EQ(31536000000ull, CountIntervals(ten, At(year), 10000));
    EXPECT_EQ(8640u, CountIntervals(ten, At(24 * 60 * kMinute), 10 * kSecond));
}

TEST_F(Gathering, ProcessedIntervalsForwardsBackwardsAndPartial) {
    FILETIME ten = Hms(10, 0, 0), eleven = Hms(11, 0, 0);
    EXPECT_EQ(S_OK, GatherProcessedValues(1, item_, 3, ten, eleven, 25 * kMinute));
    EXPECT_EQ(std::vector<std::string>({"ReadProcessed 10:00:00-10:25:00",
                                        "ReadProcessed 10:25:00-10:50:00",
                                        "ReadProcessed 10:50:00-11:00:00"}),
              source_.calls);
    EXPECT_EQ(std::vector<Entry>({{"10:00:00", 8}, {"10:25:00", 8}, {"10:50:00", 8}}),
              Entries(item_));
    EXPECT_EQ(3u, item_.haAggregate);
    FreeItem(item_);
    source_.calls.clear();

    EXPECT_EQ(S_OK, GatherProcessedValues(1, item_, 3, eleven, ten, 15 * kMinute));
    EXPECT_EQ(std::vector<std::string>({"ReadProcessed 11:00:00-10:45:00",
                                        "ReadProcessed 10:45:00-10:30:00",
                                        "ReadProcessed 10:30:00-10:15:00",
                                        "ReadProcessed 10:15:00-10:00:00"}),
              source_.calls);
    EXPECT_EQ("10:15:00", Name(item_.pftTimeStamps[3]));
    FreeItem(item_);
    source_.calls.clear();

    EXPECT_EQ(S_OK, GatherProcessedValues(1, item_, 3, ten, eleven, 0));
    EXPECT_EQ(std::vector<std::string>({"ReadProcessed 10:00:00-11:00:00"}), source_.calls);
    FreeItem(item_);
    source_.calls.clear();

    EXPECT_EQ(S_OK, GatherProcessedValues(1, item_, 3, ten, ten, kMinute));
    EXPECT_EQ(0u, item_.dwCount);
    EXPECT_TRUE(source_.calls.empty());

    // An aggregate the source does not know fails every entry, not the item.
    EXPECT_EQ(S_OK, GatherProcessedValues(1, item_, 99, ten, eleven, 30 * kMinute));
    EXPECT_EQ(std::vector<Entry>({{"10:00:00", 32}, {"10:30:00", 32}}), Entries(item_));
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
    std::vector<std::string> Stamps() const {
        std::vector<std::string> out;
        for (DWORD i = 0; i < attribute_.dwNumValues; ++i)
            out.push_back(Name(attribute_.ftTimeStamps[i]));
        return out;
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
    OPCHDA_ATTRIBUTE other = {};
    EXPECT_EQ(S_OK, GatherAttributeValues(1, 1, other, s, nullptr));
    CoTaskMemFree(other.ftTimeStamps);
    CoTaskMemFree(other.vAttributeValues);
    EXPECT_EQ(kInvalidAttrId, GatherAttributeValues(1, 2, other, s, &e));
    Toolkit().callback = nullptr;
    EXPECT_EQ(E_FAIL, GatherAttributeValues(1, 1, other, s, &e));
}

TEST_F(AttributeGathering, HistoryAddsTheValueInForceAtTheEarlierEdge) {
    FILETIME early = Hms(10, 0, 45), late = Hms(10, 1, 45);
    EXPECT_EQ(S_OK, GatherAttributeValues(1, 7, attribute_, early, &late));
    EXPECT_EQ(std::vector<std::string>({"10:00:30", "10:01:00", "10:01:30"}), Stamps());
    FreeAttribute();
    // Backwards the earlier edge is the end: its value in force goes last.
    EXPECT_EQ(S_OK, GatherAttributeValues(1, 7, attribute_, late, &early));
    EXPECT_EQ(std::vector<std::string>({"10:01:30", "10:01:00", "10:00:30"}), Stamps());
}

TEST_F(AttributeGathering, HistoryWithoutStampsInTheRange) {
    FILETIME s = Hms(10, 0, 40), e = Hms(10, 0, 50);
    EXPECT_EQ(S_OK, GatherAttributeValues(1, 7, attribute_, s, &e));
    EXPECT_EQ(std::vector<std::string>({"10:00:30"}), Stamps());
    OPCHDA_ATTRIBUTE none = {};
    FILETIME early = Hms(10, 0, 0), earlyEnd = Hms(10, 0, 10);
    EXPECT_EQ(E_FAIL, GatherAttributeValues(1, 7, none, early, &earlyEnd));
    EXPECT_EQ(0u, none.dwNumValues);
}

TEST_F(AttributeGathering, AFailedValueFailsTheWholeRead) {
    // Attribute 1 has no history values: ReadAttributeAt fails for it.
    Toolkit().attributes[0]->hasHistory = 1;
    FILETIME s = Hms(10, 0, 45), e = Hms(10, 1, 45);
    EXPECT_EQ(E_FAIL, GatherAttributeValues(1, 1, attribute_, s, &e));
    EXPECT_EQ(0u, attribute_.dwNumValues);
    EXPECT_EQ(nullptr, attribute_.vAttributeValues);
}

// A source whose ReadAt waits until the test lets it go.
class BlockingSource : public ScriptedSource {
public:
    HANDLE entered = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ~BlockingSource() override {
        CloseHandle(entered);
        CloseHandle(release);
    }
    HRESULT ReadAt(void *item, FILETIME t, VARIANT *value, DWORD *quality) override {
        SetEvent(entered);
        WaitForSingleObject(release, 10000);
        return ScriptedSource::ReadAt(item, t, value, quality);
    }
};

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
    auto *source = new BlockingSource();
    source->stamps = {Hms(10, 0, 30)};
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
