// A whole load on a fresh test server and the checks after it: the client
// processes of support/LoadClients.h work at once; then every callback that
// had to come must have come, every wait must have ended in time, the server
// must still answer every kind of call as expected, and it must be back
// where it stood before the load (support/ServerAccounts.h): none of its
// own allocations outstanding, no connection, each server object released
// once.
#ifndef HALVEX_LOAD_RUN_H
#define HALVEX_LOAD_RUN_H

#include <string>

#include "support/LoadClients.h"

namespace testsupport {

struct LoadFigures {
    LoadPlan plan;
    LoadTally total = {};
    double seconds = 0;          // from the go to the end of the last client
    long marshalingBlocks = 0;   // task memory that COM's stubs kept (see ServerAccounting.h)
    std::string problems;        // one line each; "" when every check held
};

// Runs in a thread of the multithreaded apartment.
LoadFigures RunLoad(const LoadPlan &plan);
// What the load did, in a few lines.
std::string Summary(const LoadFigures &figures);

}  // namespace testsupport

#endif
