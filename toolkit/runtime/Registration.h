// Registry entries by which clients find an OPC HDA server.
#ifndef HALVEX_REGISTRATION_H
#define HALVEX_REGISTRATION_H

#include <windows.h>

#include <string>

namespace halvex {

// The 38-character text of a GUID, lower-case hexadecimal, zero padded,
// braces included.
std::string GuidText(const GUID &guid);

}  // namespace halvex

#endif
