// Values and qualities as hdaclient prints them.
#ifndef HDACLIENT_VALUE_TEXT_H
#define HDACLIENT_VALUE_TEXT_H

#include <windows.h>
#include <oleauto.h>

#include <string>

namespace hdaclient {

// "VT_R8", "VT_ARRAY|VT_I4", or "VT_0x1234" for unknown types.
std::string VarTypeName(VARTYPE type);

// The value in a form that fits its type: numbers exactly (shortest form that
// reads back the same), strings in quotes, VT_BOOL as true/false, VT_EMPTY
// as "(empty)", one-dimensional arrays as "[a, b, c]".
std::string FormatVariant(const VARIANT &value);

// OPC HDA quality flags by name ("raw", "interpolated", "calculated",
// "no bound", "no data", ...), joined by "+"; anything else in hex, with the
// flags of the upper word and the data-access quality named where known.
std::string QualityText(DWORD quality);

}  // namespace hdaclient

#endif
