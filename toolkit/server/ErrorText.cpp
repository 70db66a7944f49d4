#include "server/ErrorText.h"

#include <cstdio>

namespace halvex {
namespace {

struct CodeText {
    DWORD code;
    const char *text;
};

// Searched in this order.
const CodeText kOpcTexts[] = {
    {0xC0040001, "OPC_E_INVALIDHANDLE: An invalid handle was passed"},
    {0xC004000C, "OPC_E_DUPLICATENAME: A duplicate parameter was passed where one is not allowed"},
    {0xC0040004, "OPC_E_BADTYPE: The server cannot convert between the passed or requested data "
                 "type and the canonical type"},
    {0xC0040005, "OPC_E_PUBLIC: The requested operation cannot be done on a public group"},
    {0xC0040006, "OPC_E_BADRIGHTS: The item's AccessRights do not allow the operation"},
    {0xC0040007, "OPC_E_UNKNOWNITEMID: The item definition does not exist within the servers "
                 "address space"},
    {0xC0040008, "OPC_E_INVALIDITEMID: The item definition does not conform to the server's syntax"},
    {0xC0040009, "OPC_E_INVALIDFILTER: The filter string is not valid"},
    {0xC004000A, "OPC_E_UNKNOWNPATH: The item's access path is not known to the server"},
    {0xC004000B, "OPC_E_RANGE: The value passed to WRITE was out of range"},
    {0x0004000D, "OPC_S_UNSUPPORTEDRATE: The server does not support the requested rate, but "
                 "will use the closest available"},
    {0x0004000E, "OPC_S_CLAMP: A value passed to WRITE was accepted, but was clamped"},
    {0x0004000F, "OPC_S_INUSE: The operation cannot be completed because the object still has "
                 "references that exist"},
    {0xC0040010, "OPC_E_INVALIDCONFIGFILE: The server's configuration file is an invalid format"},
    {0xC0040011, "OPC_E_NOTFOUND: The server could not locate the requested object"},
    {0xC0040203, "OPC_E_INVALID_PID: The server does not recognise the passed property ID."},
};

constexpr DWORD kSystemTextRoom = 127;

}  // namespace

std::string FormatErrorText(HRESULT code) {
    for (const CodeText &row : kOpcTexts) {
        if (row.code == static_cast<DWORD>(code)) return row.text;
    }
    char text[kSystemTextRoom + 1] = {};
    // Without arguments, a system text with inserts would make the call read
    // through a null argument list: the inserts are left as they stand.
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ARGUMENT_ARRAY |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, static_cast<DWORD>(code), 0, text, kSystemTextRoom,
                                  nullptr);
    if (length != 0) return std::string(text, length);
    snprintf(text, sizeof text, "<unknown error: 0x%08lX %ld>", static_cast<unsigned long>(code),
             static_cast<long>(code));
    return text;
}

}  // namespace halvex
