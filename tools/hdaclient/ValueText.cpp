#include "ValueText.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>

#include "Text.h"

namespace hdaclient {
namespace {

struct TypeName {
    VARTYPE type;
    const char *name;
};

const TypeName kTypes[] = {
    {VT_EMPTY, "VT_EMPTY"}, {VT_NULL, "VT_NULL"},         {VT_I2, "VT_I2"},
    {VT_I4, "VT_I4"},       {VT_R4, "VT_R4"},             {VT_R8, "VT_R8"},
    {VT_CY, "VT_CY"},       {VT_DATE, "VT_DATE"},         {VT_BSTR, "VT_BSTR"},
    {VT_DISPATCH, "VT_DISPATCH"}, {VT_ERROR, "VT_ERROR"}, {VT_BOOL, "VT_BOOL"},
    {VT_VARIANT, "VT_VARIANT"}, {VT_UNKNOWN, "VT_UNKNOWN"}, {VT_DECIMAL, "VT_DECIMAL"},
    {VT_I1, "VT_I1"},       {VT_UI1, "VT_UI1"},           {VT_UI2, "VT_UI2"},
    {VT_UI4, "VT_UI4"},     {VT_I8, "VT_I8"},             {VT_UI8, "VT_UI8"},
    {VT_INT, "VT_INT"},     {VT_UINT, "VT_UINT"},         {VT_FILETIME, "VT_FILETIME"},
};

// The shortest of %.{min..max}g that reads back as the same number.
template <class T>
std::string ShortestNumber(T value, int minDigits, int maxDigits) {
    char text[64];
    for (int digits = minDigits; digits <= maxDigits; ++digits) {
        snprintf(text, sizeof text, "%.*g", digits, static_cast<double>(value));
        if (static_cast<T>(strtod(text, nullptr)) == value) break;
    }
    return text;
}

std::string Quoted(BSTR text) { return "\"" + Utf8(text) + "\""; }

// VT_DATE has no time zone; it is printed as it stands.
std::string DateText(DATE date) {
    SYSTEMTIME st = {};
    if (!VariantTimeToSystemTime(date, &st)) return ShortestNumber(date, 15, 17);
    char text[40];
    snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", st.wYear, st.wMonth, st.wDay,
             st.wHour, st.wMinute, st.wSecond);
    return text;
}

// Types whose text the system conversion gives best (VT_DECIMAL, VT_CY).
std::string ConvertedText(const VARIANT &value) {
    VARIANT text;
    VariantInit(&text);
    // Locale-neutral, so that the decimal point is always ".".
    LCID neutral = MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT);
    if (FAILED(VariantChangeTypeEx(&text, const_cast<VARIANT *>(&value), neutral, 0, VT_BSTR))) {
        return "(" + VarTypeName(value.vt) + " value)";
    }
    std::string out = Utf8(text.bstrVal);
    VariantClear(&text);
    return out;
}

std::string ArrayText(const VARIANT &value) {
    SAFEARRAY *array = (value.vt & VT_BYREF) ? *value.pparray : value.parray;
    if (!array) return "[]";
    if (SafeArrayGetDim(array) != 1) {
        return "(" + std::to_string(SafeArrayGetDim(array)) + "-dimensional array)";
    }
    LONG low = 0, high = -1;
    SafeArrayGetLBound(array, 1, &low);
    SafeArrayGetUBound(array, 1, &high);
    std::string out = "[";
    const LONG kShown = 20;
    for (LONG i = low; i <= high; ++i) {
        if (i > low) out += ", ";
        if (i - low == kShown) {
            out += "... " + std::to_string(high - low + 1) + " elements";
            break;
        }
        VARIANT element;
        VariantInit(&element);
        VARTYPE elementType = value.vt & VT_TYPEMASK;
        if (elementType == VT_DECIMAL || elementType == VT_RECORD) {
            return "(array of " + VarTypeName(elementType) + ")";
        }
        if (elementType == VT_VARIANT) {
            SafeArrayGetElement(array, &i, &element);
        } else {
            element.vt = elementType;
            SafeArrayGetElement(array, &i, &element.lVal);  // the union's start
        }
        out += FormatVariant(element);
        VariantClear(&element);
    }
    return out + "]";
}

struct Flag {
    DWORD bit;
    const char *name;
};

// The OPC HDA 1.0 quality flags, in the low byte.
const Flag kLowFlags[] = {
    {0x01, "extra data"}, {0x02, "interpolated"}, {0x04, "raw"},       {0x08, "calculated"},
    {0x10, "no bound"},   {0x20, "no data"},      {0x40, "data lost"}, {0x80, "conversion"},
};

std::string JoinFlags(DWORD flags, DWORD shift) {
    std::string out;
    for (const Flag &flag : kLowFlags) {
        if (flags & (flag.bit << shift)) out += (out.empty() ? "" : "+") + std::string(flag.name);
    }
    return out;
}

}  // namespace

std::string VarTypeName(VARTYPE type) {
    std::string prefix;
    if (type & VT_ARRAY) prefix += "VT_ARRAY|";
    if (type & VT_BYREF) prefix += "VT_BYREF|";
    VARTYPE base = type & VT_TYPEMASK;
    for (const TypeName &entry : kTypes) {
        if (entry.type == base) return prefix + entry.name;
    }
    char text[16];
    snprintf(text, sizeof text, "VT_0x%04X", base);
    return prefix + text;
}

std::string FormatVariant(const VARIANT &value) {
    if (value.vt & VT_ARRAY) return ArrayText(value);
    if (value.vt & VT_BYREF) {
        if (value.vt == (VT_BYREF | VT_VARIANT) && value.pvarVal) return FormatVariant(*value.pvarVal);
        return "(" + VarTypeName(value.vt) + " reference)";
    }
    char text[64];
    switch (value.vt) {
    case VT_EMPTY: return "(empty)";
    case VT_NULL: return "(null)";
    case VT_I1: return std::to_string(static_cast<int>(value.cVal));
    case VT_UI1: return std::to_string(value.bVal);
    case VT_I2: return std::to_string(value.iVal);
    case VT_UI2: return std::to_string(value.uiVal);
    case VT_I4: return std::to_string(value.lVal);
    case VT_UI4: return std::to_string(value.ulVal);
    case VT_INT: return std::to_string(value.intVal);
    case VT_UINT: return std::to_string(value.uintVal);
    case VT_I8: snprintf(text, sizeof text, "%" PRId64, static_cast<int64_t>(value.llVal)); return text;
    case VT_UI8: snprintf(text, sizeof text, "%" PRIu64, static_cast<uint64_t>(value.ullVal)); return text;
    case VT_R4: return ShortestNumber(value.fltVal, 6, 9);
    case VT_R8: return ShortestNumber(value.dblVal, 15, 17);
    case VT_BOOL: return value.boolVal ? "true" : "false";
    case VT_BSTR: return Quoted(value.bstrVal);
    case VT_DATE: return DateText(value.date);
    case VT_ERROR: return "error " + Hex(static_cast<unsigned long>(value.scode));
    case VT_CY:
    case VT_DECIMAL: return ConvertedText(value);
    default: return "(" + VarTypeName(value.vt) + " value)";
    }
}

std::string QualityText(DWORD quality) {
    if (quality != 0 && quality <= 0xFF) return JoinFlags(quality, 0);
    std::string out = Hex(quality);
    // The later layout: HDA flags in the upper word, data-access quality below.
    DWORD upper = quality >> 16, lower = quality & 0xFFFF;
    if (upper != 0 && upper <= 0x1FF && lower <= 0xFF) {
        static const char *const kMajor[] = {"bad", "uncertain", "(invalid)", "good"};
        std::string flags = JoinFlags(quality, 16);
        if (upper & 0x100) flags += (flags.empty() ? "" : "+") + std::string("partial");
        out += " (" + flags + ", " + kMajor[(lower >> 6) & 3] + ")";
    }
    return out;
}

}  // namespace hdaclient
