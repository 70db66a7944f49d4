// Hostile calls on one client connection, for the in-process and the
// cross-process runs: every client-callable method with random arguments,
// a number of calls from one seed, then a well-formed read whose values are
// worked out by hand. In process it also sends what marshaling never lets
// through: null [in] arrays with counts, null top-level pointers and enum
// values above 0x7FFF.
#ifndef HALVEX_HOSTILE_CALLS_H
#define HALVEX_HOSTILE_CALLS_H

#include <windows.h>
#include <objidl.h>

#include <string>
#include <vector>

namespace testsupport {

// HALVEX_FUZZ_SEED when set, else from the clock; printed, to repeat a run.
unsigned HostileSeed();

struct HostileSetup {
    IClassFactory *factory;  // makes the connections the calls work on
    bool inProcess;
    // Defined item IDs. The first has GridSource's raw values 0, 1, 2 at
    // 1320000000 * 10 s and the two grid stamps after it.
    std::vector<std::wstring> itemIds;
    unsigned calls;  // unless HALVEX_FUZZ_CALLS is set
};

// Opens a connection, makes the calls, reads the first item well-formed
// (synchronously and queued) and closes the connection. One text per
// problem, naming the seed, the call's number and its method; a call that
// takes over 10 s ends the process.
std::vector<std::string> RunHostileCalls(const HostileSetup &setup, unsigned seed);

}  // namespace testsupport

#endif
