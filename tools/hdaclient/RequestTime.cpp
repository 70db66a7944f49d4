#include "RequestTime.h"

#include <algorithm>

#include "Failure.h"
#include "Text.h"

namespace hdaclient {
namespace {

// Room for whatever the server writes back into a relative string.
constexpr size_t kStringRoom = 256;

}  // namespace

uint64_t Ticks(const FILETIME &time) {
    return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

FILETIME ToFileTime(uint64_t ticks) {
    FILETIME time;
    time.dwLowDateTime = static_cast<DWORD>(ticks);
    time.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return time;
}

std::string FormatFileTime(const FILETIME &time) { return FormatTime(Ticks(time)); }

std::string FormatStamp(const FILETIME &time) {
    return Ticks(time) == 0 ? "(none)" : FormatFileTime(time);
}

TimeArg ParseTimeOption(const std::string &option, const std::string &text) {
    TimeArg arg;
    std::string error;
    if (!ParseTime(text, &arg, &error)) throw UsageError(option + ": " + error);
    return arg;
}

RequestTime::RequestTime(const TimeArg &arg) : arg_(arg) {}

RequestTime::~RequestTime() { FreeReturnedString(); }

void RequestTime::FreeReturnedString() {
    if (record_.szTime && record_.szTime != buffer_.data()) CoTaskMemFree(record_.szTime);
    record_.szTime = nullptr;
}

OPCHDA_TIME *RequestTime::Record() {
    FreeReturnedString();
    std::wstring text = Wide(arg_.relative ? arg_.text : std::string());
    buffer_.assign(std::max(text.size() + 1, kStringRoom), L'\0');
    std::copy(text.begin(), text.end(), buffer_.begin());
    record_.bString = arg_.relative ? TRUE : FALSE;
    record_.szTime = buffer_.data();
    record_.ftTime = ToFileTime(arg_.relative ? 0 : arg_.ticks);
    return &record_;
}

std::string RequestTime::Describe() const {
    std::string resolved = FormatFileTime(record_.ftTime);
    if (!arg_.relative) return resolved;
    if (arg_.text.empty()) {
        return Ticks(record_.ftTime) == 0 ? "(none)" : "(none) = " + resolved;
    }
    return arg_.text + " = " + resolved;
}

}  // namespace hdaclient
