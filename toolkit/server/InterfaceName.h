// Names of standard COM interfaces for QueryInterface event texts.
#ifndef HALVEX_INTERFACE_NAME_H
#define HALVEX_INTERFACE_NAME_H

#include <windows.h>

namespace halvex {

// The suffix (with its leading space) naming riid when it is one of the
// seventeen known COM identifiers, otherwise an empty string.
const char *InterfaceName(REFIID riid);

}  // namespace halvex

#endif
