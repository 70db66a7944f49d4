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

FILETIME ToFileTime(uint64_t ticks) { return {DWORD(ticks), DWORD(ticks >> 32)}; }
uint64_t Ticks(const FILETIME &t) { return (uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime; }

uint64_t Utc(int year, int month, int day, int hour = 0, int minute = 0, int second = 0,
             int ms = 0) {
    SYSTEMTIME st = {WORD(year), WORD(month), 0, WORD(day), WORD(hour), WORD(minute),
                     WORD(second), WORD(ms)};
    FILETIME ft;
    EXPECT_TRUE(SystemTimeToFileTime(&st, &ft)) << year << '-' << month << '-' << day;
    return Ticks(ft);
}

struct Case {
    const wchar_t *text;
    uint64_t expected;  // kUntouched: the call fails
};

// Resolves each text as a string record against `now`: a failed call leaves
// the time as it was; bString and szTime never change.
void Check(uint64_t now, std::initializer_list<Case> cases) {
    for (const Case &c : cases) {
        std::wstring copy = c.text ? c.text : L"";
        wchar_t *text = c.text ? &copy[0] : nullptr;
        OPCHDA_TIME time = {TRUE, text, ToFileTime(kUntouched)};
        EXPECT_EQ(c.expected != kUntouched, ResolveHDATimeAt(time, ToFileTime(now))) << '"' << copy;
        EXPECT_EQ(c.expected, Ticks(time.ftTime)) << '"' << copy;
        EXPECT_EQ(TRUE, time.bString) << '"' << copy;
        EXPECT_EQ(text, time.szTime) << '"' << copy;
    }
}

void CheckFails(uint64_t now, std::initializer_list<const wchar_t *> texts) {
    for (const wchar_t *text : texts) Check(now, {{text, kUntouched}});
}

// Wednesday 2 October 2024, 13:45:30.250 and 1234 ticks; W0 is the same time
// cut to the millisecond, as every relative base is.
const uint64_t kW0 = Utc(2024, 10, 2, 13, 45, 30, 250);
const uint64_t kWed = kW0 + 1234;

// An absolute time is only validated; a string is resolved against the real
// clock at the call.
TEST(HDATime, AbsoluteTimesAreOnlyValidatedTheRealClockIsReadForTheCall) {
    wchar_t junk[] = L"junk";
    const struct {
        uint64_t ticks;
        bool ok;
        wchar_t *text;  // ignored
    } cases[] = {{0, true, nullptr},        {1, true, junk},          {kWed, true, nullptr},
                 {kMaxTicks, true, junk}, {kMaxTicks + 1, false, nullptr}, {~0ull, false, junk}};
    for (const auto &c : cases) {
        OPCHDA_TIME time = {FALSE, c.text, ToFileTime(c.ticks)};
        EXPECT_EQ(c.ok, ResolveHDATimeAt(time, ToFileTime(kWed))) << c.ticks;
        EXPECT_EQ(c.ticks, Ticks(time.ftTime)) << c.ticks;
        EXPECT_EQ(FALSE, time.bString) << c.ticks;
        EXPECT_EQ(c.text, time.szTime) << c.ticks;
    }
    wchar_t now[] = L"NOW";
    OPCHDA_TIME time = {TRUE, now, ToFileTime(kUntouched)};
    FILETIME before, after;
    GetSystemTimeAsFileTime(&before);
    ASSERT_TRUE(ResolveHDATime(time));
    GetSystemTimeAsFileTime(&after);
    EXPECT_LE(Ticks(before), Ticks(time.ftTime));
    EXPECT_LE(Ticks(time.ftTime), Ticks(after));
}

TEST(HDATime, KeywordsSignsAndFixedUnits) {
    constexpr uint64_t kMinute = 60 * kSecond, kHour = 60 * kMinute;
    Check(kWed, {
        {L"NOW", kWed}, {L"NOW ", kW0}, {L"NOW-5", kW0}, {L"NOW-1h", kW0},
        {L"SECOND", Utc(2024, 10, 2, 13, 45, 30)}, {L"MINUTE", Utc(2024, 10, 2, 13, 45)},
        {L"HOUR", Utc(2024, 10, 2, 13)}, {L"DAY", Utc(2024, 10, 2)},
        {L"MONTH", Utc(2024, 10, 1)}, {L"YEAR", Utc(2024, 1, 1)},
        {L"DAY-1D", Utc(2024, 10, 1)}, {L"HOUR+90M", Utc(2024, 10, 2, 14, 30)},
        {L"DAY+1H-2M", Utc(2024, 10, 2, 0, 58)},
        {L"NOW+1S", kW0 + kSecond}, {L"NOW-90S", kW0 - 90 * kSecond},
        {L"NOW+1M", kW0 + kMinute}, {L"NOW-1H", kW0 - kHour}, {L"NOW+1D", kW0 + kDay},
        {L"NOW+1W", kW0 + 7 * kDay}, {L"NOW+00000000000000000001S", kW0 + kSecond},
        // A sign stays in force until replaced; spaces go anywhere.
        {L"NOW-1H30M", kW0 - 90 * kMinute}, {L"NOW - 1 H 30 M", kW0 - 90 * kMinute},
        {L"NOW-1H+30M", kW0 - 30 * kMinute}, {L"NOW-1H 2H", kW0 - 3 * kHour},
        // A number left over when the next sign comes is applied with that sign.
        {L"NOW-1H2+H", kW0 + kHour},
        // No keyword: offsets from the current time.
        {L"-15M", kW0 - 15 * kMinute}, {L" -1H", kW0 - kHour}, {L"-", kW0}, {L"+", kW0},
        {L" ", kW0},
        // Anything but a unit letter is skipped while a number is pending.
        {L"NOW+1OH", kW0 + kHour}, {L"NOW+1\tH", kW0 + kHour}, {L"NOW+1\u00e9H", kW0 + kHour},
        // A pending sign or number at the end is dropped.
        {L"NOW-1H-", kW0 - kHour}, {L"NOW-1H2", kW0 - kHour},
    });
    CheckFails(kWed, {nullptr, L"", L"NOW+0S", L"NOW-000S", L"15M", L"NOW1H", L" 1H",
                      L"NOW-1HOUR", L"now", L" NOW", L"NOWNOW", L"DAYS", L"MINUTEX", L"X",
                      L"NOW-H", L"NOW--1H", L"NOW-+1H", L"NOW-1-2H", L"NOW-1 -2H", L"NOW-1x-2H",
                      L"NOW-12 3H", L"NOW-1x2H", L"NOW+1M O", L"NOW\t+1H", L"NOW\u00a0-1H"});
}

TEST(HDATime, WeekStartsOnTheMostRecentSunday) {
    const struct { uint64_t now, expected; } cases[] = {
        {kWed, Utc(2024, 9, 29)},                               // Wed 2nd: previous month
        {Utc(2024, 9, 15, 9, 10, 11, 123), Utc(2024, 9, 15)},   // a Sunday
        {Utc(2024, 12, 7, 23, 59, 59, 999), Utc(2024, 12, 1)},  // Saturday the 7th
        {Utc(2025, 1, 1, 8), Utc(2024, 12, 29)},                // across the year
        {Utc(2024, 3, 1, 8), Utc(2024, 2, 25)},                 // across 29 February
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
        {L"MONTH-1MO+1Y", Utc(2025, 12, 1)},
    });
    CheckFails(Utc(2025, 1, 15), {L"MONTH+2147483647MO", L"MONTH-2147483647MO"});
    Check(Utc(2024, 11, 20, 7), {{L"NOW-10MO", Utc(2024, 1, 20, 7)},
                                 {L"NOW-11MO", Utc(2023, 12, 20, 7)}});
    Check(Utc(2024, 12, 31, 23, 59, 59, 999), {
        {L"NOW+2MO", Utc(2025, 2, 28, 23, 59, 59, 999)},
        {L"NOW-1MO", Utc(2024, 11, 30, 23, 59, 59, 999)},
    });
    Check(Utc(2024, 1, 31, 12), {
        {L"NOW+1MO", Utc(2024, 2, 29, 12)},
        {L"NOW+1MO+1MO", Utc(2024, 3, 29, 12)},  // the clamped day stays
        {L"NOW+1MO1D", Utc(2024, 3, 1, 12)},
        {L"NOW+2MO", Utc(2024, 3, 31, 12)},
        {L"NOW+13MO", Utc(2025, 2, 28, 12)},
    });
}

TEST(HDATime, YearTermsStayWithinTheCalendarRange) {
    const uint64_t leapDay = Utc(2024, 2, 29, 6, 30);
    Check(leapDay, {
        {L"NOW+1Y", Utc(2025, 2, 28, 6, 30)},
        {L"NOW-4Y", Utc(2020, 2, 29, 6, 30)},
        {L"NOW+12MO", Utc(2025, 2, 28, 6, 30)},
        {L"NOW-423Y", Utc(1601, 2, 28, 6, 30)},
        {L"NOW+28803Y", Utc(30827, 2, 28, 6, 30)},
    });
    CheckFails(leapDay, {L"NOW-424Y", L"NOW-2024Y", L"NOW-3000Y", L"NOW+28804Y",
                         L"NOW-2147483647Y", L"NOW+2147483647Y"});
    Check(kWed, {{L"YEAR-423Y", Utc(1601, 1, 1)}, {L"YEAR+28803Y", Utc(30827, 1, 1)}});
    CheckFails(kWed, {L"YEAR-424Y", L"YEAR+28804Y"});
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

}  // namespace
