// Times as users type them and as hdaclient prints them. Times are counted
// as FILETIME does: 100-ns ticks since 1601-01-01T00:00:00Z (UTC).
#ifndef HDACLIENT_TIME_TEXT_H
#define HDACLIENT_TIME_TEXT_H

#include <cstdint>
#include <string>

namespace hdaclient {

constexpr uint64_t kTicksPerSecond = 10000000ull;

// A time argument: a relative string passed to the server as it is
// ("NOW-1H", "DAY-1D+7H30M"; empty means no time), or an absolute UTC time.
struct TimeArg {
    bool relative = true;
    std::string text;    // the relative string
    uint64_t ticks = 0;  // the absolute time
};

// Reads "YYYY-MM-DDTHH:MM:SS[.fffffff]Z" (1 to 7 fraction digits) or a
// relative string. On failure, *error says what is wrong.
bool ParseTime(const std::string &text, TimeArg *out, std::string *error);

// True for "YYYY-MM-DDTHH:MM:SS[.fffffff]Z" with a real date, years 1601..9999.
bool ParseAbsoluteTime(const std::string &text, uint64_t *ticks);

// True for a keyword (NOW SECOND MINUTE HOUR DAY WEEK MONTH YEAR) followed
// by offsets such as "-1D" or "+7H30M" (units S M H D W MO Y), upper case.
bool IsRelativeTime(const std::string &text);

// "2026-12-06T21:15:30.000Z"; seven fraction digits when the time is not a
// whole millisecond, so that nothing is hidden.
std::string FormatTime(uint64_t ticks);

// A positive number of seconds such as "10" or "0.5" (at most 7 decimals),
// as ticks.
bool ParseSeconds(const std::string &text, uint64_t *ticks);

// Seconds with only the decimals needed: "10", "0.5".
std::string FormatSeconds(uint64_t ticks);

}  // namespace hdaclient

#endif
