// Texts for result codes, as IOPCCommon::GetErrorString gives them.
#ifndef HALVEX_ERROR_TEXT_H
#define HALVEX_ERROR_TEXT_H

#include <windows.h>

#include <string>

namespace halvex {

// The OPC text of code, else the system's message text, else
// "<unknown error: 0x%08X %d>". At most 127 characters.
std::string FormatErrorText(HRESULT code);

}  // namespace halvex

#endif
