#include "ResultCodes.h"

#include "Text.h"

namespace hdaclient {
namespace {

struct CodeInfo {
    unsigned long code;
    const char *name;
    const char *text;  // nullptr: ask the system
};

const CodeInfo kCodes[] = {
    // OPC HDA
    {0xC0041001, "OPC_E_MAXEXCEEDED", "The maximum number of values requested exceeds the server's limit."},
    {0x40041002, "OPC_S_NODATA", "There is no data within the specified parameters."},
    {0x40041003, "OPC_S_MOREDATA", "There is more data satisfying the query than was returned."},
    {0xC0041004, "OPC_E_INVALIDAGGREGATE", "The aggregate requested is not valid."},
    {0x40041005, "OPC_S_CURRENTVALUE", "The server only returns current values for the requested item attributes."},
    {0x40041006, "OPC_S_EXTRADATA", "Additional data satisfying the query was found."},
    {0x80041007, "OPC_W_NOFILTER", "The server does not support this filter."},
    {0xC0041008, "OPC_E_UNKNOWNATTRID", "The server does not support this attribute."},
    {0xC0041009, "OPC_E_NOT_AVAIL", "The requested aggregate is not available for the specified item."},
    {0xC004100A, "OPC_E_INVALIDDATATYPE", "The supplied value for the attribute is not a correct data type."},
    {0xC004100B, "OPC_E_DATAEXISTS", "Unable to insert - data already present."},
    {0xC004100C, "OPC_E_INVALIDATTRID", "The supplied attribute ID is not valid."},
    {0xC004100D, "OPC_E_NODATAEXISTS", "The server has no value for the specified time and item ID."},
    {0x4004100E, "OPC_S_INSERTED", "The requested insert occurred."},
    {0x4004100F, "OPC_S_REPLACED", "The requested replace occurred."},
    // OPC common and data access codes that HDA servers use
    {0xC0040001, "OPC_E_INVALIDHANDLE", "The value of the handle is invalid."},
    {0xC0040004, "OPC_E_BADTYPE", "The server cannot convert the data between the specified format and the canonical data type."},
    {0xC0040006, "OPC_E_BADRIGHTS", "The item's access rights do not allow the operation."},
    {0xC0040007, "OPC_E_UNKNOWNITEMID", "The item ID is not defined in the server address space or no longer exists in the server address space."},
    {0xC0040008, "OPC_E_INVALIDITEMID", "The item ID does not conform to the server's syntax."},
    {0xC0040009, "OPC_E_INVALIDFILTER", "The filter string was not valid."},
    {0xC004000B, "OPC_E_RANGE", "The value was out of range."},
    {0xC0040011, "OPC_E_NOTFOUND", "The requested object was not found."},
    {0xC0040406, "OPC_E_NOTSUPPORTED", "The server does not support writing of quality and/or timestamp."},
    // COM
    {0x00000000, "S_OK", "The operation completed successfully."},
    {0x00000001, "S_FALSE", "The operation succeeded, but not for every item."},
    {0x80004001, "E_NOTIMPL", "Not implemented."},
    {0x80004002, "E_NOINTERFACE", "No such interface supported."},
    {0x80004003, "E_POINTER", "Invalid pointer."},
    {0x80004004, "E_ABORT", "Operation aborted."},
    {0x80004005, "E_FAIL", "Unspecified error."},
    {0x8000FFFF, "E_UNEXPECTED", "Catastrophic failure."},
    {0x80070005, "E_ACCESSDENIED", "Access is denied."},
    {0x8007000E, "E_OUTOFMEMORY", "Not enough memory."},
    {0x80070057, "E_INVALIDARG", "The parameter is incorrect."},
    {0x80040154, "REGDB_E_CLASSNOTREG", "Class not registered."},
    {0x800401F3, "CO_E_CLASSSTRING", "Invalid class string (the ProgID is not registered)."},
    {0x80080005, "CO_E_SERVER_EXEC_FAILURE", "Server execution failed."},
    {0x800401F0, "CO_E_NOTINITIALIZED", "CoInitialize has not been called."},
    {0x80040200, "CONNECT_E_NOCONNECTION", nullptr},
    {0x80040201, "CONNECT_E_ADVISELIMIT", nullptr},
    {0x80010108, "RPC_E_DISCONNECTED", "The object invoked has disconnected from its clients."},
    {0x80010105, "RPC_E_SERVERFAULT", "The server threw an exception."},
    {0x80010001, "RPC_E_CALL_REJECTED", "Call was rejected by callee."},
    {0x800706BA, "RPC_S_SERVER_UNAVAILABLE", "The RPC server is unavailable."},
    {0x800706BE, "RPC_S_CALL_FAILED", "The remote procedure call failed."},
};

const CodeInfo *Find(HRESULT code) {
    for (const CodeInfo &info : kCodes) {
        if (info.code == static_cast<unsigned long>(code)) return &info;
    }
    return nullptr;
}

std::string SystemText(HRESULT code) {
    char text[512] = {};
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, static_cast<DWORD>(code), 0, text, sizeof text, nullptr);
    return TrimRight(std::string(text, length));
}

}  // namespace

const char *ResultName(HRESULT code) {
    const CodeInfo *info = Find(code);
    return info ? info->name : nullptr;
}

std::string StandardText(HRESULT code) {
    const CodeInfo *info = Find(code);
    if (info && info->text) return info->text;
    return SystemText(code);
}

std::string ResultLabel(HRESULT code) {
    const char *name = ResultName(code);
    return name ? name : Hex(static_cast<unsigned long>(code));
}

}  // namespace hdaclient
