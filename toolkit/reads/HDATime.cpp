// Absolute and relative times of history reads. A relative string is a base
// keyword ("NOW", "DAY", ...) followed by signed terms such as "-1H" or
// "+2MO"; all arithmetic is range-checked, so a term that would leave the
// FILETIME range fails the call instead of wrapping.
#include "reads/HDATime.h"

#include <algorithm>
#include <cstdint>
#include <cwchar>

namespace halvex {
namespace {

// Fixed-size units in FILETIME ticks (100 ns).
constexpr int64_t kSecond = 10000000;
constexpr int64_t kMinute = 60 * kSecond;
constexpr int64_t kHour = 60 * kMinute;
constexpr int64_t kDay = 24 * kHour;
constexpr int64_t kWeek = 7 * kDay;

// The years that both calendar form and FILETIME cover in full.
constexpr int64_t kFirstYear = 1601;
constexpr int64_t kLastYear = 30827;

// Negative for FILETIMEs with the top bit set, which do not convert.
int64_t Ticks(const FILETIME &ft) {
    return static_cast<int64_t>((static_cast<uint64_t>(ft.dwHighDateTime) << 32) |
                                ft.dwLowDateTime);
}

FILETIME ToFileTime(int64_t ticks) {
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(static_cast<uint64_t>(ticks));
    ft.dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(ticks) >> 32);
    return ft;
}

bool ToCalendar(int64_t ticks, SYSTEMTIME &st) {
    if (ticks < 0) return false;
    const FILETIME ft = ToFileTime(ticks);
    return FileTimeToSystemTime(&ft, &st) != FALSE;
}

bool FromCalendar(const SYSTEMTIME &st, int64_t &ticks) {
    FILETIME ft;
    if (!SystemTimeToFileTime(&st, &ft)) return false;
    const int64_t result = Ticks(ft);
    if (result < 0) return false;
    ticks = result;
    return true;
}

// t += count * unit, failing when the result leaves 0..INT64_MAX.
bool AddTicks(int64_t &t, int64_t count, int64_t unit) {
    int64_t delta, sum;
    if (__builtin_mul_overflow(count, unit, &delta) || __builtin_add_overflow(t, delta, &sum) ||
        sum < 0)
        return false;
    t = sum;
    return true;
}

WORD DaysInMonth(int64_t year, int64_t month) {
    static const WORD kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

// Moves t by a signed number of calendar months, keeping the day of month
// (clamped to the target month's length) and the time of day.
bool ShiftMonths(int64_t &t, int64_t months) {
    SYSTEMTIME st;
    if (!ToCalendar(t, st)) return false;
    const int64_t index = st.wYear * int64_t{12} + (st.wMonth - 1) + months;
    if (index < kFirstYear * 12 || index > kLastYear * 12 + 11) return false;
    const int64_t year = index / 12, month = index % 12 + 1;
    st.wYear = static_cast<WORD>(year);
    st.wMonth = static_cast<WORD>(month);
    st.wDay = std::min(st.wDay, DaysInMonth(year, month));
    return FromCalendar(st, t);
}

enum class Base { Now, Second, Minute, Hour, Day, Week, Month, Year };

struct Keyword {
    const WCHAR *text;
    Base base;
};

// Compared in this order; none is a prefix of another.
constexpr Keyword kKeywords[] = {
    {L"NOW", Base::Now},   {L"SECOND", Base::Second}, {L"MINUTE", Base::Minute},
    {L"HOUR", Base::Hour}, {L"DAY", Base::Day},       {L"WEEK", Base::Week},
    {L"MONTH", Base::Month}, {L"YEAR", Base::Year},
};

// Consumes a leading keyword and moves the calendar time back to its base.
// Returns the days still to subtract in FILETIME form: WEEK when the Sunday
// lies in the previous month.
int ApplyBaseKeyword(const WCHAR *&p, SYSTEMTIME &st) {
    for (const Keyword &k : kKeywords) {
        const size_t length = wcslen(k.text);
        if (wcsncmp(p, k.text, length) != 0) continue;
        p += length;
        switch (k.base) {
        case Base::Week: {
            st.wHour = st.wMinute = st.wSecond = st.wMilliseconds = 0;
            const WORD d = st.wDayOfWeek;
            if (d == 0) return 0;
            if (st.wDay > d) {
                st.wDay -= d;
                return 0;
            }
            return d;
        }
        // Each coarser base clears its own field and everything finer.
        case Base::Year:
            st.wMonth = 1;
            [[fallthrough]];
        case Base::Month:
            st.wDay = 1;
            [[fallthrough]];
        case Base::Day:
            st.wHour = 0;
            [[fallthrough]];
        case Base::Hour:
            st.wMinute = 0;
            [[fallthrough]];
        case Base::Minute:
            st.wSecond = 0;
            [[fallthrough]];
        case Base::Second:
            st.wMilliseconds = 0;
            [[fallthrough]];
        case Base::Now:
            return 0;
        }
    }
    return 0;
}

bool IsDigit(WCHAR c) { return c >= L'0' && c <= L'9'; }

// Reads a run of decimal digits; fails when the value does not fit a signed
// 32-bit integer rather than wrapping.
bool ReadNumber(const WCHAR *&p, int32_t &n) {
    int64_t value = 0;
    for (; IsDigit(*p); ++p) {
        value = value * 10 + (*p - L'0');
        if (value > INT32_MAX) return false;
    }
    n = static_cast<int32_t>(value);
    return true;
}

enum class Term { Applied, Skipped, Failed };

Term Outcome(bool ok) { return ok ? Term::Applied : Term::Failed; }

// Applies count units of the unit letter at p (which is consumed, with the
// "O" of "MO"); a character that is no unit letter is skipped.
Term ApplyUnit(const WCHAR *&p, int64_t count, int64_t &t) {
    switch (*p++) {
    case L'S':
        return Outcome(AddTicks(t, count, kSecond));
    case L'M':
        if (*p == L'O') {
            ++p;
            return Outcome(ShiftMonths(t, count));
        }
        return Outcome(AddTicks(t, count, kMinute));
    case L'H':
        return Outcome(AddTicks(t, count, kHour));
    case L'D':
        return Outcome(AddTicks(t, count, kDay));
    case L'W':
        return Outcome(AddTicks(t, count, kWeek));
    case L'Y':
        return Outcome(ShiftMonths(t, count * 12));
    default:
        return Term::Skipped;
    }
}

enum class Sign { None, Minus, Plus };

// Applies the signed terms that follow the base keyword. A sign stays in
// force for later terms until another sign replaces it; a number or sign
// still pending at the end is dropped.
bool ApplyOffsets(const WCHAR *p, int64_t &t) {
    Sign sign = Sign::None;
    bool signPending = false;
    int32_t n = 0;  // 0: no number pending
    while (*p) {
        const WCHAR c = *p;
        if (c == L' ') {
            ++p;
        } else if (c == L'-' || c == L'+') {
            if (signPending) return false;
            sign = c == L'-' ? Sign::Minus : Sign::Plus;
            signPending = true;
            ++p;
        } else if (IsDigit(c)) {
            if (sign == Sign::None || n != 0 || !ReadNumber(p, n)) return false;
        } else {
            if (n == 0) return false;
            const Term term = ApplyUnit(p, sign == Sign::Minus ? -int64_t{n} : n, t);
            if (term == Term::Failed) return false;
            if (term == Term::Applied) {
                n = 0;
                signPending = false;
            }
        }
    }
    return true;
}

bool ResolveString(const WCHAR *text, const FILETIME &now, FILETIME &result) {
    if (!text || !*text) return false;
    if (wcscmp(text, L"NOW") == 0) {
        result = now;  // full resolution, not cut to milliseconds
        return true;
    }
    SYSTEMTIME calendar;
    if (!ToCalendar(Ticks(now), calendar)) return false;
    const int daysBack = ApplyBaseKeyword(text, calendar);
    int64_t t;
    if (!FromCalendar(calendar, t) || !AddTicks(t, -daysBack, kDay) || !ApplyOffsets(text, t))
        return false;
    result = ToFileTime(t);
    return true;
}

}  // namespace

bool ResolveHDATimeAt(OPCHDA_TIME &time, const FILETIME &now) {
    if (!time.bString) {
        SYSTEMTIME unused;
        return ToCalendar(Ticks(time.ftTime), unused);
    }
    FILETIME result;
    if (!ResolveString(time.szTime, now, result)) return false;
    time.ftTime = result;
    return true;
}

bool ResolveHDATime(OPCHDA_TIME &time) {
    // One clock read gives both the FILETIME and the calendar form, so the
    // two always describe the same instant.
    FILETIME now;
    CoFileTimeNow(&now);  // fails only for a null pointer
    return ResolveHDATimeAt(time, now);
}

}  // namespace halvex
