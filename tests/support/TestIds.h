// Class identifiers and names shared by the test programs.
#ifndef HALVEX_TEST_IDS_H
#define HALVEX_TEST_IDS_H

#include <windows.h>

namespace testids {

// Registered in-process by the in-process test programs (never in the registry).
extern const CLSID kInprocClsid;
// A second identifier that nothing registers.
extern const CLSID kOtherClsid;
// The cross-process test server, registered by its /RegServer.
extern const CLSID kTestServerClsid;
constexpr const char kTestServerProgId[] = "Halvex.TestServer.1";

}  // namespace testids

#endif
