// Ctrl+C and Ctrl+Break as an event instead of the end of the process, so
// that a command that runs until stopped can still clean up.
#ifndef HDACLIENT_STOP_SIGNAL_H
#define HDACLIENT_STOP_SIGNAL_H

#include <windows.h>

namespace hdaclient {

// A manual-reset event that Ctrl+C or Ctrl+Break sets from now on; the
// console handler is installed on the first call. A Failure with
// kExitCallFailed if the event cannot be made.
HANDLE StopSignal();

}  // namespace hdaclient

#endif
