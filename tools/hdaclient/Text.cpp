#include "Text.h"

#include <objbase.h>

#include <cctype>
#include <cstdio>

namespace hdaclient {

std::string Utf8(const wchar_t *text) {
    if (!text || !*text) return std::string();
    int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(size > 0 ? size - 1 : 0, '\0');
    if (size > 1) WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], size, nullptr, nullptr);
    return out;
}

std::wstring Wide(const std::string &text) {
    if (text.empty()) return std::wstring();
    int size = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    std::wstring out(size > 0 ? size - 1 : 0, L'\0');
    if (size > 1) MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, &out[0], size);
    return out;
}

std::string TakeUtf8(LPWSTR text) {
    std::string out = Utf8(text);
    CoTaskMemFree(text);
    return out;
}

std::string GuidText(const GUID &guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return Utf8(text);
}

std::string Lower(std::string text) {
    for (char &c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string TrimRight(std::string text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
    return text;
}

std::string Hex(unsigned long value) {
    char text[16];
    snprintf(text, sizeof text, "0x%08lX", value);
    return text;
}

std::string Count(size_t n, const char *singular, const char *plural) {
    return std::to_string(n) + " " + (n == 1 ? singular : plural);
}

}  // namespace hdaclient
