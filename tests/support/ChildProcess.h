// Runs scenarios of a test program in child processes of its own, for
// behaviour that can happen only once per process.
#ifndef HALVEX_CHILD_PROCESS_H
#define HALVEX_CHILD_PROCESS_H

#include <string>

namespace testsupport {

// Runs this program again with "--scenario=name" and returns its exit code
// (or -1 when it could not start or did not end within timeoutMs).
int RunScenario(const std::string &name, unsigned timeoutMs = 30000);

// The scenario named on the command line, or an empty string.
std::string ScenarioArgument(int argc, char **argv);

}  // namespace testsupport

#endif
