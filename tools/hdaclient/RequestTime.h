// OPCHDA_TIME records built from time arguments, and what the server wrote
// back into them.
#ifndef HDACLIENT_REQUEST_TIME_H
#define HDACLIENT_REQUEST_TIME_H

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "TimeText.h"
#include "opchda.h"

namespace hdaclient {

uint64_t Ticks(const FILETIME &time);
FILETIME ToFileTime(uint64_t ticks);
std::string FormatFileTime(const FILETIME &time);
// As FormatFileTime, but "(none)" for a zero time, which servers return when
// a value has no timestamp.
std::string FormatStamp(const FILETIME &time);

// A time argument parsed or a usage Failure naming the option.
TimeArg ParseTimeOption(const std::string &option, const std::string &text);

// One [in, out] OPCHDA_TIME. The proxy copies a returned string into the
// caller's buffer, so a relative string lives in a writable buffer with room
// to spare; a string the proxy allocated instead is freed here.
class RequestTime {
public:
    explicit RequestTime(const TimeArg &arg);
    RequestTime(const RequestTime &) = delete;
    RequestTime &operator=(const RequestTime &) = delete;
    ~RequestTime();

    // The record to pass, set up afresh from the argument for each call.
    OPCHDA_TIME *Record();

    // "NOW-1H = 2026-12-06T20:15:30.000Z" after the call: the request and
    // the time the server resolved it to.
    std::string Describe() const;
    // The time in the record after the call: the one the server resolved.
    FILETIME Resolved() const { return record_.ftTime; }

private:
    void FreeReturnedString();

    TimeArg arg_;
    std::vector<wchar_t> buffer_;
    OPCHDA_TIME record_ = {};
};

}  // namespace hdaclient

#endif
