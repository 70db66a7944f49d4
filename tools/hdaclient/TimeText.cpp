#include "TimeText.h"

#include <cctype>
#include <cstdio>

namespace hdaclient {
namespace {

constexpr uint64_t kTicksPerDay = 86400ull * kTicksPerSecond;
// Days from 0000-03-01 (proleptic Gregorian) to 1601-01-01.
constexpr int64_t kDaysTo1601 = 584694;

bool IsLeap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}

// Days since 0000-03-01 of a civil date (years counted from March so that
// the leap day comes last).
int64_t DaysFromCivil(int year, int month, int day) {
    int64_t y = month <= 2 ? year - 1 : year;
    int64_t era = y / 400;
    int64_t yearOfEra = y - era * 400;
    int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra;
}

void CivilFromDays(int64_t days, int *year, int *month, int *day) {
    int64_t era = days / 146097;
    int64_t dayOfEra = days - era * 146097;
    int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
    *day = static_cast<int>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
    *month = static_cast<int>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
    *year = static_cast<int>(yearOfEra + era * 400 + (*month <= 2 ? 1 : 0));
}

// Reads exactly `count` digits at text[*pos].
bool Digits(const std::string &text, size_t *pos, size_t count, int *value) {
    if (*pos + count > text.size()) return false;
    int result = 0;
    for (size_t i = 0; i < count; ++i) {
        char c = text[*pos + i];
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
        result = result * 10 + (c - '0');
    }
    *pos += count;
    *value = result;
    return true;
}

bool Expect(const std::string &text, size_t *pos, char c) {
    if (*pos >= text.size() || text[*pos] != c) return false;
    ++*pos;
    return true;
}

// A fraction of a second of 1..7 digits, as ticks.
bool Fraction(const std::string &text, size_t *pos, uint64_t *ticks) {
    size_t start = *pos;
    uint64_t value = 0;
    while (*pos < text.size() && std::isdigit(static_cast<unsigned char>(text[*pos]))) {
        if (*pos - start == 7) return false;
        value = value * 10 + static_cast<uint64_t>(text[*pos] - '0');
        ++*pos;
    }
    size_t count = *pos - start;
    if (count == 0) return false;
    for (size_t i = count; i < 7; ++i) value *= 10;
    *ticks = value;
    return true;
}

const char *const kKeywords[] = {"NOW", "SECOND", "MINUTE", "HOUR", "DAY", "WEEK", "MONTH", "YEAR"};

// Reads one offset unit at text[*pos]; "MO" before "M".
bool Unit(const std::string &text, size_t *pos) {
    if (text.compare(*pos, 2, "MO") == 0) {
        *pos += 2;
        return true;
    }
    if (*pos < text.size() && std::string("SMHDWY").find(text[*pos]) != std::string::npos) {
        ++*pos;
        return true;
    }
    return false;
}

std::string Upper(std::string text) {
    for (char &c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

bool ParseAbsoluteTime(const std::string &text, uint64_t *ticks) {
    size_t pos = 0;
    int year, month, day, hour, minute, second;
    if (!Digits(text, &pos, 4, &year) || !Expect(text, &pos, '-') ||
        !Digits(text, &pos, 2, &month) || !Expect(text, &pos, '-') ||
        !Digits(text, &pos, 2, &day) || !Expect(text, &pos, 'T') ||
        !Digits(text, &pos, 2, &hour) || !Expect(text, &pos, ':') ||
        !Digits(text, &pos, 2, &minute) || !Expect(text, &pos, ':') ||
        !Digits(text, &pos, 2, &second)) {
        return false;
    }
    uint64_t fraction = 0;
    if (pos < text.size() && text[pos] == '.') {
        ++pos;
        if (!Fraction(text, &pos, &fraction)) return false;
    }
    if (!Expect(text, &pos, 'Z') || pos != text.size()) return false;
    if (year < 1601 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) ||
        hour > 23 || minute > 59 || second > 59) {
        return false;
    }
    uint64_t days = static_cast<uint64_t>(DaysFromCivil(year, month, day) - kDaysTo1601);
    *ticks = days * kTicksPerDay +
             static_cast<uint64_t>(hour * 3600 + minute * 60 + second) * kTicksPerSecond + fraction;
    return true;
}

bool IsRelativeTime(const std::string &text) {
    size_t pos = std::string::npos;
    for (const char *keyword : kKeywords) {
        if (text.compare(0, std::string(keyword).size(), keyword) == 0) {
            pos = std::string(keyword).size();
            break;
        }
    }
    if (pos == std::string::npos) return false;
    while (pos < text.size()) {
        if (text[pos] != '+' && text[pos] != '-') return false;
        ++pos;
        // One or more "<digits><unit>" after each sign.
        bool any = false;
        while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos]))) {
            while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos]))) ++pos;
            if (!Unit(text, &pos)) return false;
            any = true;
        }
        if (!any) return false;
    }
    return true;
}

bool ParseTime(const std::string &text, TimeArg *out, std::string *error) {
    TimeArg result;
    if (text.empty() || IsRelativeTime(text)) {
        result.text = text;
        *out = result;
        return true;
    }
    if (ParseAbsoluteTime(text, &result.ticks)) {
        result.relative = false;
        *out = result;
        return true;
    }
    *error = "bad time \"" + text + "\": expected YYYY-MM-DDTHH:MM:SS[.mmm]Z (UTC) or a "
             "relative time such as NOW-1H";
    std::string upper = Upper(text);
    if (IsRelativeTime(upper) || ParseAbsoluteTime(upper, &result.ticks)) {
        *error += " (did you mean " + upper + "?)";
    }
    return false;
}

std::string FormatTime(uint64_t ticks) {
    int year, month, day;
    CivilFromDays(static_cast<int64_t>(ticks / kTicksPerDay) + kDaysTo1601, &year, &month, &day);
    uint64_t ofDay = ticks % kTicksPerDay;
    unsigned seconds = static_cast<unsigned>(ofDay / kTicksPerSecond);
    unsigned fraction = static_cast<unsigned>(ofDay % kTicksPerSecond);
    char text[48];
    int length = snprintf(text, sizeof text, "%04d-%02d-%02dT%02u:%02u:%02u", year, month, day,
                          seconds / 3600, seconds / 60 % 60, seconds % 60);
    if (fraction % 10000 == 0) {
        snprintf(text + length, sizeof text - length, ".%03uZ", fraction / 10000);
    } else {
        snprintf(text + length, sizeof text - length, ".%07uZ", fraction);
    }
    return text;
}

bool ParseSeconds(const std::string &text, uint64_t *ticks) {
    size_t pos = 0;
    uint64_t whole = 0;
    while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos]))) {
        whole = whole * 10 + static_cast<uint64_t>(text[pos] - '0');
        if (whole > 100ull * 365 * 86400) return false;  // a century is plenty
        ++pos;
    }
    uint64_t fraction = 0;
    if (pos < text.size() && text[pos] == '.') {
        ++pos;
        if (!Fraction(text, &pos, &fraction)) return false;
    } else if (pos == 0) {
        return false;
    }
    if (pos != text.size()) return false;
    uint64_t result = whole * kTicksPerSecond + fraction;
    if (result == 0) return false;
    *ticks = result;
    return true;
}

std::string FormatSeconds(uint64_t ticks) {
    std::string text = std::to_string(ticks / kTicksPerSecond);
    uint64_t fraction = ticks % kTicksPerSecond;
    if (fraction != 0) {
        char digits[16];
        snprintf(digits, sizeof digits, ".%07u", static_cast<unsigned>(fraction));
        std::string decimals = digits;
        while (decimals.back() == '0') decimals.pop_back();
        text += decimals;
    }
    return text;
}

}  // namespace hdaclient
