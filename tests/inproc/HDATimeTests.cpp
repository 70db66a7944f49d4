// Absolute times and relative time strings resolved against fixed clocks,
// the real clock, and randomly generated strings.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "reads/HDATime.h"

using halvex::ResolveHDATime;
using halvex::ResolveHDATimeAt;

namespace {

constexpr uint64_t kSecond = 10000000;
constexpr uint64_t kMinute = 60 * kSecond;
constexpr uint64_t kHour = 60 * kMinute;
constexpr uint64_t kDay = 24 * kHour;
constexpr uint64_t kWeek = 7 * kDay;
constexpr uint64_t kMaxTicks = 0x7FFFFFFFFFFFFFFFull;
// What a record holds before the call; a failed call must leave it.
constexpr uint64_t kUntouched = 0x0123456789ABCDEFull;

FILETIME ToFileTime(uint64_t ticks) {
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(ticks);
    ft.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return ft;
}

uint64_t Ticks(const FILETIME &ft) {
    return (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

uint64_t Utc(int year, int month, int day, int hour = 0, int minute = 0, int second = 0,
             int ms = 0) {
    SYSTEMTIME st = {};
    st.wYear = static_cast<WORD>(year);
    st.wMonth = static_cast<WORD>(month);
    st.wDay = static_cast<WORD>(day);
    st.wHour = static_cast<WORD>(hour);
    st.wMinute = static_cast<WORD>(minute);
    st.wSecond = static_cast<WORD>(second);
    st.wMilliseconds = static_cast<WORD>(ms);
    FILETIME ft;
    EXPECT_TRUE(SystemTimeToFileTime(&st, &ft)) << year << '-' << month << '-' << day;
    return Ticks(ft);
}

struct Outcome {
    bool ok;
    uint64_t ticks;
};

Outcome Resolve(const wchar_t *text, uint64_t now) {
    std::wstring copy = text ? text : L"";
    OPCHDA_TIME time = {TRUE, text ? &copy[0] : nullptr, ToFileTime(kUntouched)};
    const bool ok = ResolveHDATimeAt(time, ToFileTime(now));
    EXPECT_EQ(TRUE, time.bString);
    EXPECT_EQ(text ? &copy[0] : nullptr, time.szTime);
    if (!ok) {
        EXPECT_EQ(kUntouched, Ticks(time.ftTime));
    }
    return {ok, Ticks(time.ftTime)};
}

struct Case {
    const wchar_t *text;
    bool ok;
    uint64_t expected;
};

Case Fails(const wchar_t *text) { return {text, false, 0}; }

void Check(uint64_t now, const std::vector<Case> &cases) {
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << '"' << (c.text ? c.text : L"(null)") << '"');
        const Outcome out = Resolve(c.text, now);
        EXPECT_EQ(c.ok, out.ok);
        if (c.ok && out.ok) {
            EXPECT_EQ(c.expected, out.ticks);
        }
    }
}

// Wednesday 2 October 2024, 13:45:30.250 and 1234 ticks; W0 is the same time
// cut to the millisecond, as every relative base is.
const uint64_t kW0 = Utc(2024, 10, 2, 13, 45, 30, 250);
const uint64_t kWed = kW0 + 1234;

TEST(HDATime, AbsoluteTimesAreOnlyValidated) {
    const uint64_t good[] = {0, 1, kWed, kMaxTicks};
    const uint64_t bad[] = {0x8000000000000000ull, 0xFFFFFFFFFFFFFFFFull};
    wchar_t junk[] = L"junk";
    for (wchar_t *text : {static_cast<wchar_t *>(nullptr), junk}) {
        for (uint64_t t : good) {
            OPCHDA_TIME time = {FALSE, text, ToFileTime(t)};
            EXPECT_TRUE(ResolveHDATimeAt(time, ToFileTime(kWed))) << t;
            EXPECT_EQ(t, Ticks(time.ftTime));
            EXPECT_EQ(FALSE, time.bString);
            EXPECT_EQ(text, time.szTime);
        }
        for (uint64_t t : bad) {
            OPCHDA_TIME time = {FALSE, text, ToFileTime(t)};
            EXPECT_FALSE(ResolveHDATimeAt(time, ToFileTime(kWed))) << t;
            EXPECT_EQ(t, Ticks(time.ftTime));
        }
    }
}

TEST(HDATime, KeywordsSignsAndFixedUnits) {
    Check(kWed, {
        {nullptr, false, 0},
        Fails(L""),
        {L"NOW", true, kWed},
        {L"NOW ", true, kW0},
        {L"NOW-5", true, kW0},
        {L"NOW-1h", true, kW0},
        {L"SECOND", true, Utc(2024, 10, 2, 13, 45, 30)},
        {L"MINUTE", true, Utc(2024, 10, 2, 13, 45)},
        {L"HOUR", true, Utc(2024, 10, 2, 13)},
        {L"DAY", true, Utc(2024, 10, 2)},
        {L"MONTH", true, Utc(2024, 10, 1)},
        {L"YEAR", true, Utc(2024, 1, 1)},
        {L"DAY-1D", true, Utc(2024, 10, 1)},
        {L"MONTH+1MO", true, Utc(2024, 11, 1)},
        {L"SECOND+1S", true, Utc(2024, 10, 2, 13, 45, 31)},
        {L"HOUR+90M", true, Utc(2024, 10, 2, 14, 30)},
        {L"DAY+1H-2M", true, Utc(2024, 10, 2, 0, 58)},
        {L"NOW+1S", true, kW0 + kSecond},
        {L"NOW-90S", true, Utc(2024, 10, 2, 13, 44, 0, 250)},
        {L"NOW+1M", true, Utc(2024, 10, 2, 13, 46, 30, 250)},
        {L"NOW-1H", true, Utc(2024, 10, 2, 12, 45, 30, 250)},
        {L"NOW+1D", true, Utc(2024, 10, 3, 13, 45, 30, 250)},
        {L"NOW+1W", true, Utc(2024, 10, 9, 13, 45, 30, 250)},
        {L"NOW+1MO", true, Utc(2024, 11, 2, 13, 45, 30, 250)},
        {L"NOW-1Y", true, Utc(2023, 10, 2, 13, 45, 30, 250)},
        {L"NOW+00000000000000000001S", true, kW0 + kSecond},
        // A sign stays in force until replaced; spaces go anywhere.
        {L"NOW-1H30M", true, Utc(2024, 10, 2, 12, 15, 30, 250)},
        {L"NOW - 1 H 30 M", true, Utc(2024, 10, 2, 12, 15, 30, 250)},
        {L"NOW-1H+30M", true, Utc(2024, 10, 2, 13, 15, 30, 250)},
        {L"NOW-1H-2H", true, Utc(2024, 10, 2, 10, 45, 30, 250)},
        {L"NOW-1H 2H", true, Utc(2024, 10, 2, 10, 45, 30, 250)},
        // A number left over when the next sign comes is applied with that sign.
        {L"NOW-1H2+H", true, Utc(2024, 10, 2, 14, 45, 30, 250)},
        // No keyword: offsets from the current time.
        {L"-15M", true, Utc(2024, 10, 2, 13, 30, 30, 250)},
        {L"+1D", true, Utc(2024, 10, 3, 13, 45, 30, 250)},
        {L" -1H", true, Utc(2024, 10, 2, 12, 45, 30, 250)},
        {L"-", true, kW0},
        {L"+", true, kW0},
        {L" ", true, kW0},
        // Anything but a unit letter is skipped while a number is pending.
        {L"NOW+1OH", true, Utc(2024, 10, 2, 14, 45, 30, 250)},
        {L"NOW+1\tH", true, Utc(2024, 10, 2, 14, 45, 30, 250)},
        {L"NOW+1\u00e9H", true, Utc(2024, 10, 2, 14, 45, 30, 250)},
        // A pending sign or number at the end is dropped.
        {L"NOW-1H-", true, Utc(2024, 10, 2, 12, 45, 30, 250)},
        {L"NOW-1H2", true, Utc(2024, 10, 2, 12, 45, 30, 250)},
        Fails(L"NOW+0S"),
        Fails(L"NOW-000S"),
        Fails(L"15M"),
        Fails(L"NOW1H"),
        Fails(L" 1H"),
        Fails(L"NOW-1HOUR"),
        Fails(L"now"),
        Fails(L" NOW"),
        Fails(L"NOWNOW"),
        Fails(L"DAYS"),
        Fails(L"MINUTEX"),
        Fails(L"X"),
        Fails(L"NOW-H"),
        Fails(L"NOW--1H"),
        Fails(L"NOW-+1H"),
        Fails(L"NOW-1-2H"),
        Fails(L"NOW-12 3H"),
        Fails(L"NOW-1x2H"),
        Fails(L"NOW+1M O"),
        Fails(L"NOW\t+1H"),
        Fails(L"NOW\u00a0-1H"),
    });
}

TEST(HDATime, WeekStartsOnTheMostRecentSunday) {
    struct WeekCase {
        uint64_t now;
        uint64_t expected;
    };
    const WeekCase cases[] = {
        {kWed, Utc(2024, 9, 29)},                                 // Wed 2nd: previous month
        {Utc(2024, 9, 15, 9, 10, 11, 123), Utc(2024, 9, 15)},     // a Sunday
        {Utc(2024, 12, 1, 18), Utc(2024, 12, 1)},                 // Sunday the 1st
        {Utc(2024, 12, 7, 23, 59, 59, 999), Utc(2024, 12, 1)},    // Saturday the 7th
        {Utc(2024, 7, 6, 12), Utc(2024, 6, 30)},                  // Saturday the 6th
        {Utc(2024, 7, 1, 12), Utc(2024, 6, 30)},                  // Monday the 1st
        {Utc(2025, 1, 1, 8), Utc(2024, 12, 29)},                  // across the year
        {Utc(2024, 3, 1, 8), Utc(2024, 2, 25)},                   // across 29 February
        {Utc(2024, 2, 29, 6, 30), Utc(2024, 2, 25)},
        {Utc(2024, 12, 31, 23, 59, 59, 999), Utc(2024, 12, 29)},
    };
    for (const WeekCase &c : cases) {
        const Outcome out = Resolve(L"WEEK", c.now);
        EXPECT_TRUE(out.ok);
        EXPECT_EQ(c.expected, out.ticks) << c.now;
    }
    Check(kWed, {
        {L"WEEK+1D", true, Utc(2024, 9, 30)},
        {L"WEEK-1W", true, Utc(2024, 9, 22)},
    });
}

TEST(HDATime, MonthTermsWrapAndClampTheDay) {
    Check(Utc(2025, 1, 15, 10, 20, 30, 400), {
        {L"MONTH-1MO", true, Utc(2024, 12, 1)},
        {L"NOW-1MO", true, Utc(2024, 12, 15, 10, 20, 30, 400)},
        {L"MONTH-12MO", true, Utc(2024, 1, 1)},
        {L"MONTH-13MO", true, Utc(2023, 12, 1)},
        {L"MONTH-25MO", true, Utc(2022, 12, 1)},
        {L"MONTH+12MO", true, Utc(2026, 1, 1)},
        {L"MONTH+23MO", true, Utc(2026, 12, 1)},
        {L"MONTH+24MO", true, Utc(2027, 1, 1)},
        {L"MONTH-1MO-1MO", true, Utc(2024, 11, 1)},
        {L"MONTH-1MO+1Y", true, Utc(2025, 12, 1)},
        Fails(L"MONTH+2147483647MO"),
        Fails(L"MONTH-2147483647MO"),
    });
    Check(Utc(2024, 11, 20, 7), {
        {L"MONTH+1MO", true, Utc(2024, 12, 1)},
        {L"MONTH+2MO", true, Utc(2025, 1, 1)},
        {L"NOW-10MO", true, Utc(2024, 1, 20, 7)},
        {L"NOW-11MO", true, Utc(2023, 12, 20, 7)},
    });
    Check(Utc(2024, 12, 31, 23, 59, 59, 999), {
        {L"MONTH+1MO", true, Utc(2025, 1, 1)},
        {L"YEAR+1Y", true, Utc(2025, 1, 1)},
        {L"DAY+1D", true, Utc(2025, 1, 1)},
        {L"NOW+1S", true, Utc(2025, 1, 1, 0, 0, 0, 999)},
        {L"NOW+1D", true, Utc(2025, 1, 1, 23, 59, 59, 999)},
        {L"NOW+1MO", true, Utc(2025, 1, 31, 23, 59, 59, 999)},
        {L"NOW+2MO", true, Utc(2025, 2, 28, 23, 59, 59, 999)},
        {L"NOW-1MO", true, Utc(2024, 11, 30, 23, 59, 59, 999)},
        {L"NOW-10MO", true, Utc(2024, 2, 29, 23, 59, 59, 999)},
        {L"NOW+14MO", true, Utc(2026, 2, 28, 23, 59, 59, 999)},
    });
    Check(Utc(2024, 1, 31, 12), {
        {L"NOW+1MO", true, Utc(2024, 2, 29, 12)},
        {L"NOW+1MO+1MO", true, Utc(2024, 3, 29, 12)},  // the clamped day stays
        {L"NOW+1MO1D", true, Utc(2024, 3, 1, 12)},
        {L"NOW+2MO", true, Utc(2024, 3, 31, 12)},
        {L"NOW+3MO", true, Utc(2024, 4, 30, 12)},
        {L"NOW+13MO", true, Utc(2025, 2, 28, 12)},
        {L"NOW-1MO", true, Utc(2023, 12, 31, 12)},
        {L"NOW-2MO", true, Utc(2023, 11, 30, 12)},
    });
}

TEST(HDATime, YearTermsStayWithinTheCalendarRange) {
    Check(Utc(2024, 2, 29, 6, 30), {
        {L"NOW+1Y", true, Utc(2025, 2, 28, 6, 30)},
        {L"NOW-1Y", true, Utc(2023, 2, 28, 6, 30)},
        {L"NOW+4Y", true, Utc(2028, 2, 29, 6, 30)},
        {L"NOW-4Y", true, Utc(2020, 2, 29, 6, 30)},
        {L"NOW+12MO", true, Utc(2025, 2, 28, 6, 30)},
        {L"NOW+48MO", true, Utc(2028, 2, 29, 6, 30)},
        {L"NOW+1D", true, Utc(2024, 3, 1, 6, 30)},
        {L"NOW-423Y", true, Utc(1601, 2, 28, 6, 30)},
        {L"NOW+28803Y", true, Utc(30827, 2, 28, 6, 30)},
        Fails(L"NOW-424Y"),
        Fails(L"NOW-2023Y"),
        Fails(L"NOW-2024Y"),
        Fails(L"NOW-3000Y"),
        Fails(L"NOW+28804Y"),
        Fails(L"NOW-2147483647Y"),
        Fails(L"NOW+2147483647Y"),
    });
    Check(kWed, {
        {L"YEAR-423Y", true, Utc(1601, 1, 1)},
        {L"YEAR+28803Y", true, Utc(30827, 1, 1)},
        {L"MONTH-1Y", true, Utc(2023, 10, 1)},
        Fails(L"YEAR-424Y"),
        Fails(L"YEAR-2024Y"),
        Fails(L"YEAR-3000Y"),
        Fails(L"YEAR+28804Y"),
    });
}

TEST(HDATime, ArithmeticNeverLeavesTheFileTimeRange) {
    Check(kWed, {
        {L"NOW+2147483647S", true, kW0 + 2147483647ull * kSecond},
        Fails(L"NOW+2147483648S"),   // does not fit 32 bits
        Fails(L"NOW-2147483648S"),
        Fails(L"NOW+4294967297S"),   // would wrap to 1
        Fails(L"NOW+99999999999999999999S"),
        Fails(L"NOW+2147483647W"),   // the product overflows
        Fails(L"NOW-2147483647W"),
        Fails(L"NOW+2147483647D"),
        Fails(L"NOW+20000000D"),     // the sum overflows
        Fails(L"NOW-1000000D"),      // before 1601
    });
    // One second into 1601, a Monday. 10675199 days, 2 h 48 min and 5 s is
    // 9,223,372,036,850,000,000 ticks, the last whole second in range.
    const uint64_t bottom = Utc(1601, 1, 1, 0, 0, 1);
    Check(bottom, {
        {L"NOW-1S", true, 0},
        {L"DAY", true, 0},
        {L"YEAR", true, 0},
        {L"NOW+1MO", true, Utc(1601, 2, 1, 0, 0, 1)},
        {L"DAY+10675199D+2H+48M+5S", true, 9223372036850000000ull},
        Fails(L"DAY+10675199D+2H+48M+6S"),
        Fails(L"DAY+10675200D"),
        Fails(L"NOW-2S"),
        Fails(L"NOW-1MO"),
        Fails(L"NOW-1Y"),
        Fails(L"WEEK"),  // its Sunday is before 1601
    });
}

TEST(HDATime, RealClockIsReadForEachCall) {
    wchar_t now[] = L"NOW";
    wchar_t yesterday[] = L"DAY-1D";
    for (int i = 0; i < 3; ++i) {
        FILETIME before, after;
        OPCHDA_TIME a = {TRUE, now, ToFileTime(kUntouched)};
        OPCHDA_TIME b = {TRUE, yesterday, ToFileTime(kUntouched)};
        GetSystemTimeAsFileTime(&before);
        ASSERT_TRUE(ResolveHDATime(a));
        ASSERT_TRUE(ResolveHDATime(b));
        GetSystemTimeAsFileTime(&after);
        EXPECT_LE(Ticks(before), Ticks(a.ftTime));
        EXPECT_LE(Ticks(a.ftTime), Ticks(after));
        EXPECT_EQ(0u, Ticks(b.ftTime) % kDay);
        EXPECT_LE(Ticks(before) / kDay * kDay - kDay, Ticks(b.ftTime));
        EXPECT_LE(Ticks(b.ftTime), Ticks(after) / kDay * kDay - kDay);
        Sleep(2);
    }
    OPCHDA_TIME absolute = {FALSE, nullptr, ToFileTime(kMaxTicks)};
    EXPECT_TRUE(ResolveHDATime(absolute));
    EXPECT_EQ(kMaxTicks, Ticks(absolute.ftTime));
}

// Keyword followed by well-formed fixed-unit terms, checked against the
// keyword's base for the Wednesday clock plus the signed sum of the terms.
TEST(HDATime, RandomFixedUnitTermsAddUp) {
    struct Base {
        const wchar_t *keyword;
        uint64_t ticks;
    };
    const Base bases[] = {
        {L"", kW0},
        {L"NOW", kW0},
        {L"SECOND", Utc(2024, 10, 2, 13, 45, 30)},
        {L"MINUTE", Utc(2024, 10, 2, 13, 45)},
        {L"HOUR", Utc(2024, 10, 2, 13)},
        {L"DAY", Utc(2024, 10, 2)},
        {L"WEEK", Utc(2024, 9, 29)},
        {L"MONTH", Utc(2024, 10, 1)},
        {L"YEAR", Utc(2024, 1, 1)},
    };
    const struct {
        wchar_t letter;
        uint64_t ticks;
    } units[] = {{L'S', kSecond}, {L'M', kMinute}, {L'H', kHour}, {L'D', kDay}, {L'W', kWeek}};
    std::mt19937 rng(4101);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    auto spaces = [&](std::wstring &s) { s.append(pick(3) == 0 ? pick(3) : 0, L' '); };
    for (int round = 0; round < 2000; ++round) {
        const Base &base = bases[pick(9)];
        std::wstring text = base.keyword;
        int64_t expected = static_cast<int64_t>(base.ticks);
        bool minus = false;
        const int terms = 1 + pick(6);
        for (int i = 0; i < terms; ++i) {
            spaces(text);
            if (i == 0 || pick(3) != 0) {
                minus = pick(2) == 0;
                text += minus ? L'-' : L'+';
                spaces(text);
            }
            const int n = 1 + pick(999);
            text += std::to_wstring(n);
            spaces(text);
            if (pick(4) == 0) text += L'x';
            const auto &unit = units[pick(5)];
            text += unit.letter;
            expected += (minus ? -1 : 1) * static_cast<int64_t>(n * unit.ticks);
        }
        const Outcome out = Resolve(text.c_str(), kWed);
        EXPECT_TRUE(out.ok) << '"' << text << '"';
        EXPECT_EQ(static_cast<uint64_t>(expected), out.ticks) << '"' << text << '"';
    }
}

bool IsSign(wchar_t c) { return c == L'+' || c == L'-'; }
bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }
bool IsUnitLetter(wchar_t c) { return std::wstring(L"SMHDWY").find(c) != std::wstring::npos; }

// True for strings that some plainly checkable failure rule rejects. It
// never claims every failure, only ones that are certain.
bool MustFail(const std::wstring &s) {
    if (s.empty()) return true;
    const size_t firstNonSpace = s.find_first_not_of(L' ');
    // Leading spaces hide any keyword, so what follows must be a sign.
    if (s[0] == L' ' && firstNonSpace != std::wstring::npos && !IsSign(s[firstNonSpace]))
        return true;
    // A digit before any sign.
    const size_t firstDigit = s.find_first_of(L"0123456789");
    if (firstDigit != std::wstring::npos && firstDigit < s.find_first_of(L"+-")) return true;
    // Before the first digit no number is pending: after a keyword only
    // spaces and signs may come.
    size_t start = 0;
    for (const wchar_t *k : {L"NOW", L"SECOND", L"MINUTE", L"HOUR", L"DAY", L"WEEK", L"MONTH",
                             L"YEAR"}) {
        if (s.compare(0, wcslen(k), k) == 0) start = wcslen(k);
    }
    for (size_t i = start; i < s.size() && !IsDigit(s[i]); ++i) {
        if (s[i] != L' ' && !IsSign(s[i])) return true;
    }
    // Two signs, or a non-zero number and another number, with no unit
    // letter between them.
    for (size_t i = 0; i < s.size(); ++i) {
        if (!IsSign(s[i]) && !(IsDigit(s[i]) && s[i] != L'0')) continue;
        const bool sign = IsSign(s[i]);
        size_t j = i + 1;
        while (j < s.size() && IsDigit(s[j])) ++j;
        if (sign) j = i + 1;
        for (; j < s.size() && !IsUnitLetter(s[j]); ++j) {
            if (sign && IsSign(s[j])) return true;
            if (!sign && IsSign(s[j])) break;
            if (!sign && IsDigit(s[j])) return true;
        }
    }
    return false;
}

TEST(HDATime, RandomStringsNeverPassAFailureRule) {
    const std::vector<std::wstring> keywords = {L"NOW", L"SECOND", L"MINUTE", L"HOUR",
                                                L"DAY", L"WEEK", L"MONTH", L"YEAR", L""};
    const std::vector<std::wstring> numbers = {L"0", L"1", L"7", L"12", L"365", L"00042",
                                               L"2147483647", L"2147483648", L"99999999999"};
    const std::vector<std::wstring> units = {L"S", L"M", L"H", L"D", L"W", L"Y", L"MO"};
    const std::vector<std::wstring> noise = {
        L"NOW", L"DAY", L"-", L"+", L"1", L"0", L"S", L"M", L"Y", L"O", L"MO", L" ", L"h",
        L"x", L"o", L"\t", L"!", L"N", L"\u00e9", L"\u00a0"};
    std::mt19937 rng(2718);
    auto pick = [&](const std::vector<std::wstring> &from) { return from[rng() % from.size()]; };
    int accepted = 0, rejectedByRule = 0;
    for (int round = 0; round < 6000; ++round) {
        // Term-shaped text, then a few random insertions and deletions.
        std::wstring text = pick(keywords);
        for (int terms = static_cast<int>(rng() % 4); terms > 0; --terms) {
            if (rng() % 4 == 0) text += L' ';
            if (rng() % 4 != 0) text += rng() % 2 ? L'-' : L'+';
            text += pick(numbers);
            if (rng() % 4 == 0) text += L' ';
            text += pick(units);
        }
        for (int edits = static_cast<int>(rng() % 4); edits > 0; --edits) {
            const size_t at = text.empty() ? 0 : rng() % (text.size() + 1);
            if (rng() % 3 == 0 && at < text.size()) {
                text.erase(at, 1);
            } else {
                text.insert(at, pick(noise));
            }
        }
        const Outcome out = Resolve(text.c_str(), kWed);
        const bool mustFail = MustFail(text);
        if (mustFail) {
            EXPECT_FALSE(out.ok) << '"' << text << '"';
        }
        accepted += out.ok;
        rejectedByRule += mustFail;
    }
    // The generator has to reach both sides for the check to mean anything.
    EXPECT_GT(accepted, 600);
    EXPECT_GT(rejectedByRule, 600);
}

TEST(HDATime, FailureRulesHoldOnHandPickedStrings) {
    // The predicate itself, so that the random run cannot pass vacuously.
    for (const wchar_t *s : {L"", L" NOW", L" 1H", L"1H", L"NOW1H", L"DAYS", L"NOW-H",
                             L"NOW--1H", L"NOW-1 -2H", L"NOW-1x-2H", L"NOW-1 2H", L"NOW+1x2H"})
        EXPECT_TRUE(MustFail(s)) << '"' << s << '"';
    for (const wchar_t *s : {L"NOW", L" -1H", L"NOW-1H-2H", L"NOW-1H2+H", L"-0 5S", L"NOW-1h",
                             L"NOW+0S", L"NOW-1H 2H"})
        EXPECT_FALSE(MustFail(s)) << '"' << s << '"';
}

}  // namespace
