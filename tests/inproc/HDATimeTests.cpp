// Absolute times and relative time strings resolved against fixed clocks and
// the real clock.
#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>

#include "reads/HDATime.h"

using halvex::ResolveHDATime;
using halvex::ResolveHDATimeAt;

namespace {

constexpr uint64_t kSecond = 10000000;
constexpr uint64_t kDay = 86400 * kSecond;
constexpr uint64_t kMaxTicks = 0x7FFFFFFFFFFFFFFFull;
// What a record holds before the call; a failed call must leave it.
constexpr uint64_t kUntouched = 0x0123456789ABCDEFull;

FILETIME ToFileTime(uint64_t ticks) {
    return {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

uint64_t Ticks(const FILETIME &ft) {
    return (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

uint64_t Utc(int year, int month, int day, int hour = 0, int minute = 0, int second = 0,
             int ms = 0) {
    SYSTEMTIME st = {static_cast<WORD>(year), static_cast<WORD>(month), 0,
                     static_cast<WORD>(day),  static_cast<WORD>(hour),  static_cast<WORD>(minute),
                     static_cast<WORD>(second), static_cast<WORD>(ms)};
    FILETIME ft;
    EXPECT_TRUE(SystemTimeToFileTime(&st, &ft)) << year << '-' << month << '-' << day;
    return Ticks(ft);
}

struct Outcome {
    bool ok;
    uint64_t ticks;
};

// Resolves a string record; bString and szTime never change, and a failure
// leaves the time as it was.
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
    uint64_t expected;
};

void Check(uint64_t now, std::initializer_list<Case> cases) {
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << '"' << c.text << '"');
        const Outcome out = Resolve(c.text, now);
        EXPECT_TRUE(out.ok);
        EXPECT_EQ(c.expected, out.ticks);
    }
}

void CheckFails(uint64_t now, std::initializer_list<const wchar_t *> texts) {
    for (const wchar_t *text : texts) {
        EXPECT_FALSE(Resolve(text, now).ok) << '"' << (text ? text : L"(null)") << '"';
    }
}

// Wednesday 2 October 2024, 13:45:30.250 and 1234 ticks; W0 is the same time
// cut to the millisecond, as every relative base is.
const uint64_t kW0 = Utc(2024, 10, 2, 13, 45, 30, 250);
const uint64_t kWed = kW0 + 1234;

TEST(HDATime, AbsoluteTimesAreOnlyValidated) {
    wchar_t junk[] = L"junk";
    for (wchar_t *text : {static_cast<wchar_t *>(nullptr), junk}) {
        const struct {
            uint64_t ticks;
            bool ok;
        } cases[] = {{0, true}, {1, true}, {kWed, true}, {kMaxTicks, true},
                     {kMaxTicks + 1, false}, {~0ull, false}};
        for (const auto &c : cases) {
            OPCHDA_TIME time = {FALSE, text, ToFileTime(c.ticks)};
            EXPECT_EQ(c.ok, ResolveHDATimeAt(time, ToFileTime(kWed))) << c.ticks;
            EXPECT_EQ(c.ticks, Ticks(time.ftTime));
            EXPECT_EQ(FALSE, time.bString);
            EXPECT_EQ(text, time.szTime);
        }
    }
}

TEST(HDATime, KeywordsSignsAndFixedUnits) {
    Check(kWed, {
        {L"NOW", kWed}, {L"NOW ", kW0}, {L"NOW-5", kW0}, {L"NOW-1h", kW0},
        {L"SECOND", Utc(2024, 10, 2, 13, 45, 30)},
        {L"MINUTE", Utc(2024, 10, 2, 13, 45)},
        {L"HOUR", Utc(2024, 10, 2, 13)},
        {L"DAY", Utc(2024, 10, 2)},
        {L"MONTH", Utc(2024, 10, 1)},
        {L"YEAR", Utc(2024, 1, 1)},
        {L"DAY-1D", Utc(2024, 10, 1)},
        {L"MONTH+1MO", Utc(2024, 11, 1)},
        {L"SECOND+1S", Utc(2024, 10, 2, 13, 45, 31)},
        {L"HOUR+90M", Utc(2024, 10, 2, 14, 30)},
        {L"DAY+1H-2M", Utc(2024, 10, 2, 0, 58)},
        {L"NOW+1S", kW0 + kSecond},
        {L"NOW-90S", Utc(2024, 10, 2, 13, 44, 0, 250)},
        {L"NOW+1M", Utc(2024, 10, 2, 13, 46, 30, 250)},
        {L"NOW-1H", Utc(2024, 10, 2, 12, 45, 30, 250)},
        {L"NOW+1D", Utc(2024, 10, 3, 13, 45, 30, 250)},
        {L"NOW+1W", Utc(2024, 10, 9, 13, 45, 30, 250)},
        {L"NOW+1MO", Utc(2024, 11, 2, 13, 45, 30, 250)},
        {L"NOW-1Y", Utc(2023, 10, 2, 13, 45, 30, 250)},
        {L"NOW+00000000000000000001S", kW0 + kSecond},
        // A sign stays in force until replaced; spaces go anywhere.
        {L"NOW-1H30M", Utc(2024, 10, 2, 12, 15, 30, 250)},
        {L"NOW - 1 H 30 M", Utc(2024, 10, 2, 12, 15, 30, 250)},
        {L"NOW-1H+30M", Utc(2024, 10, 2, 13, 15, 30, 250)},
        {L"NOW-1H-2H", Utc(2024, 10, 2, 10, 45, 30, 250)},
        {L"NOW-1H 2H", Utc(2024, 10, 2, 10, 45, 30, 250)},
        // A number left over when the next sign comes is applied with that sign.
        {L"NOW-1H2+H", Utc(2024, 10, 2, 14, 45, 30, 250)},
        // No keyword: offsets from the current time.
        {L"-15M", Utc(2024, 10, 2, 13, 30, 30, 250)},
        {L"+1D", Utc(2024, 10, 3, 13, 45, 30, 250)},
        {L" -1H", Utc(2024, 10, 2, 12, 45, 30, 250)},
        {L"-", kW0}, {L"+", kW0}, {L" ", kW0},
        // Anything but a unit letter is skipped while a number is pending.
        {L"NOW+1OH", Utc(2024, 10, 2, 14, 45, 30, 250)},
        {L"NOW+1\tH", Utc(2024, 10, 2, 14, 45, 30, 250)},
        {L"NOW+1\u00e9H", Utc(2024, 10, 2, 14, 45, 30, 250)},
        // A pending sign or number at the end is dropped.
        {L"NOW-1H-", Utc(2024, 10, 2, 12, 45, 30, 250)},
        {L"NOW-1H2", Utc(2024, 10, 2, 12, 45, 30, 250)},
    });
    CheckFails(kWed, {nullptr, L"", L"NOW+0S", L"NOW-000S", L"15M", L"NOW1H", L" 1H",
                      L"NOW-1HOUR", L"now", L" NOW", L"NOWNOW", L"DAYS", L"MINUTEX", L"X",
                      L"NOW-H", L"NOW--1H", L"NOW-+1H", L"NOW-1-2H", L"NOW-1 -2H", L"NOW-1x-2H",
                      L"NOW-12 3H", L"NOW-1x2H", L"NOW+1M O", L"NOW\t+1H", L"NOW\u00a0-1H"});
}

TEST(HDATime, WeekStartsOnTheMostRecentSunday) {
    const struct {
        uint64_t now, expected;
    } cases[] = {
        {kWed, Utc(2024, 9, 29)},                                 // Wed 2nd: previous month
        {Utc(2024, 9, 15, 9, 10, 11, 123), Utc(2024, 9, 15)},     // a Sunday
        {Utc(2024, 12, 1, 18), Utc(2024, 12, 1)},                 // Sunday the 1st
        {Utc(2024, 12, 7, 23, 59, 59, 999), Utc(2024, 12, 1)},    // Saturday the 7th
        {Utc(2024, 7, 6, 12), Utc(2024, 6, 30)},                  // Saturday the 6th
        {Utc(2024, 7, 1, 12), Utc(2024, 6, 30)},                  // Monday the 1st
        {Utc(2025, 1, 1, 8), Utc(2024, 12, 29)},                  // across the year
        {Utc(2024, 3, 1, 8), Utc(2024, 2, 25)},                   // across 29 February
    };
    for (const auto &c : cases) Check(c.now, {{L"WEEK", c.expected}});
    Check(kWed, {{L"WEEK+1D", Utc(2024, 9, 30)}, {L"WEEK-1W", Utc(2024, 9, 22)}});
}

TEST(HDATime, MonthTermsWrapAndClampTheDay) {
    Check(Utc(2025, 1, 15, 10, 20, 30, 400), {
        {L"MONTH-1MO", Utc(2024, 12, 1)},
        {L"MONTH-13MO", Utc(2023, 12, 1)},
        {L"MONTH+23MO", Utc(2026, 12, 1)},
        {L"MONTH+24MO", Utc(2027, 1, 1)},
        {L"MONTH-1MO-1MO", Utc(2024, 11, 1)},
        {L"MONTH-1MO+1Y", Utc(2025, 12, 1)},
    });
    CheckFails(Utc(2025, 1, 15), {L"MONTH+2147483647MO", L"MONTH-2147483647MO"});
    Check(Utc(2024, 11, 20, 7), {
        {L"MONTH+2MO", Utc(2025, 1, 1)},
        {L"NOW-10MO", Utc(2024, 1, 20, 7)},
        {L"NOW-11MO", Utc(2023, 12, 20, 7)},
    });
    Check(Utc(2024, 12, 31, 23, 59, 59, 999), {
        {L"MONTH+1MO", Utc(2025, 1, 1)},
        {L"NOW+1S", Utc(2025, 1, 1, 0, 0, 0, 999)},
        {L"NOW+1D", Utc(2025, 1, 1, 23, 59, 59, 999)},
        {L"NOW+1MO", Utc(2025, 1, 31, 23, 59, 59, 999)},
        {L"NOW+2MO", Utc(2025, 2, 28, 23, 59, 59, 999)},
        {L"NOW-1MO", Utc(2024, 11, 30, 23, 59, 59, 999)},
        {L"NOW-10MO", Utc(2024, 2, 29, 23, 59, 59, 999)},
        {L"NOW+14MO", Utc(2026, 2, 28, 23, 59, 59, 999)},
    });
    Check(Utc(2024, 1, 31, 12), {
        {L"NOW+1MO", Utc(2024, 2, 29, 12)},
        {L"NOW+1MO+1MO", Utc(2024, 3, 29, 12)},  // the clamped day stays
        {L"NOW+1MO1D", Utc(2024, 3, 1, 12)},
        {L"NOW+2MO", Utc(2024, 3, 31, 12)},
        {L"NOW+3MO", Utc(2024, 4, 30, 12)},
        {L"NOW+13MO", Utc(2025, 2, 28, 12)},
        {L"NOW-1MO", Utc(2023, 12, 31, 12)},
    });
}

TEST(HDATime, YearTermsStayWithinTheCalendarRange) {
    const uint64_t leapDay = Utc(2024, 2, 29, 6, 30);
    Check(leapDay, {
        {L"NOW+1Y", Utc(2025, 2, 28, 6, 30)},
        {L"NOW-1Y", Utc(2023, 2, 28, 6, 30)},
        {L"NOW+4Y", Utc(2028, 2, 29, 6, 30)},
        {L"NOW-4Y", Utc(2020, 2, 29, 6, 30)},
        {L"NOW+12MO", Utc(2025, 2, 28, 6, 30)},
        {L"NOW+48MO", Utc(2028, 2, 29, 6, 30)},
        {L"NOW-423Y", Utc(1601, 2, 28, 6, 30)},
        {L"NOW+28803Y", Utc(30827, 2, 28, 6, 30)},
    });
    CheckFails(leapDay, {L"NOW-424Y", L"NOW-2023Y", L"NOW-2024Y", L"NOW-3000Y", L"NOW+28804Y",
                         L"NOW-2147483647Y", L"NOW+2147483647Y"});
    Check(kWed, {
        {L"YEAR-423Y", Utc(1601, 1, 1)},
        {L"YEAR+28803Y", Utc(30827, 1, 1)},
        {L"MONTH-1Y", Utc(2023, 10, 1)},
    });
    CheckFails(kWed, {L"YEAR-424Y", L"YEAR-2024Y", L"YEAR-3000Y", L"YEAR+28804Y"});
}

TEST(HDATime, ArithmeticNeverLeavesTheFileTimeRange) {
    Check(kWed, {{L"NOW+2147483647S", kW0 + 2147483647ull * kSecond}});
    CheckFails(kWed, {
        L"NOW+2147483648S", L"NOW-2147483648S",  // do not fit 32 bits
        L"NOW+4294967297S",                      // would wrap to 1
        L"NOW+99999999999999999999S",
        L"NOW+2147483647W", L"NOW-2147483647W", L"NOW+2147483647D",  // the product overflows
        L"NOW+20000000D",                                            // the sum overflows
        L"NOW-1000000D",                                             // before 1601
    });
    // One second into 1601, a Monday. 10675199 days, 2 h 48 min and 5 s is
    // 9,223,372,036,850,000,000 ticks, the last whole second in range.
    const uint64_t bottom = Utc(1601, 1, 1, 0, 0, 1);
    Check(bottom, {
        {L"NOW-1S", 0}, {L"DAY", 0}, {L"YEAR", 0},
        {L"NOW+1MO", Utc(1601, 2, 1, 0, 0, 1)},
        {L"DAY+10675199D+2H+48M+5S", 9223372036850000000ull},
    });
    CheckFails(bottom, {L"DAY+10675199D+2H+48M+6S", L"DAY+10675200D", L"NOW-2S", L"NOW-1MO",
                        L"NOW-1Y",
                        L"WEEK"});  // its Sunday is before 1601
}

TEST(HDATime, RealClockIsReadForTheCall) {
    wchar_t now[] = L"NOW";
    wchar_t yesterday[] = L"DAY-1D";
    OPCHDA_TIME a = {TRUE, now, ToFileTime(kUntouched)};
    OPCHDA_TIME b = {TRUE, yesterday, ToFileTime(kUntouched)};
    FILETIME before, after;
    GetSystemTimeAsFileTime(&before);
    ASSERT_TRUE(ResolveHDATime(a));
    ASSERT_TRUE(ResolveHDATime(b));
    GetSystemTimeAsFileTime(&after);
    EXPECT_LE(Ticks(before), Ticks(a.ftTime));
    EXPECT_LE(Ticks(a.ftTime), Ticks(after));
    // Midnight of the day before, UTC.
    EXPECT_EQ(0u, Ticks(b.ftTime) % kDay);
    EXPECT_LE(Ticks(before) - 2 * kDay, Ticks(b.ftTime));
    EXPECT_LE(Ticks(b.ftTime), Ticks(after) - kDay);
    OPCHDA_TIME absolute = {FALSE, nullptr, ToFileTime(kMaxTicks)};
    EXPECT_TRUE(ResolveHDATime(absolute));
    EXPECT_EQ(kMaxTicks, Ticks(absolute.ftTime));
}

}  // namespace
