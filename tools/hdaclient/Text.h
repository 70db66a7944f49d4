// UTF-8 <-> UTF-16 conversion and small string helpers. hdaclient works in
// UTF-8 internally; COM wants UTF-16.
#ifndef HDACLIENT_TEXT_H
#define HDACLIENT_TEXT_H

#include <windows.h>

#include <string>

namespace hdaclient {

std::string Utf8(const wchar_t *text);  // nullptr gives ""
std::wstring Wide(const std::string &text);

// Converts a string the server allocated and frees it.
std::string TakeUtf8(LPWSTR text);

std::string GuidText(const GUID &guid);
std::string Lower(std::string text);
std::string TrimRight(std::string text);

// "0x%08X"
std::string Hex(unsigned long value);

// "1 value", "3 values"
std::string Count(size_t n, const char *singular, const char *plural);

}  // namespace hdaclient

#endif
