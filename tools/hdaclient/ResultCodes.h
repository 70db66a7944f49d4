// Names and standard texts of the result codes an OPC HDA server returns.
#ifndef HDACLIENT_RESULT_CODES_H
#define HDACLIENT_RESULT_CODES_H

#include <windows.h>

#include <string>

namespace hdaclient {

// The symbolic name ("OPC_S_NODATA", "E_INVALIDARG"), or nullptr.
const char *ResultName(HRESULT code);

// The standard text of a named code, else the system's message text, else "".
std::string StandardText(HRESULT code);

// The name, or the value in hex for codes without one.
std::string ResultLabel(HRESULT code);

}  // namespace hdaclient

#endif
