// Exit codes and the failures that end a command with one of them.
#ifndef HDACLIENT_FAILURE_H
#define HDACLIENT_FAILURE_H

#include <stdexcept>
#include <string>

namespace hdaclient {

enum ExitCode {
    kExitOk = 0,
    kExitUsage = 1,        // unknown command or option, missing argument, bad time
    kExitNoServer = 2,     // server not registered or not activated
    kExitCallFailed = 3,   // a call failed as a whole
    kExitItemsFailed = 4,  // the call succeeded but some items failed
};

// Thrown to end the command; main prints the message and exits with code.
class Failure : public std::runtime_error {
public:
    Failure(ExitCode code, const std::string &message)
        : std::runtime_error(message), code_(code) {}
    ExitCode code() const { return code_; }

private:
    ExitCode code_;
};

inline Failure UsageError(const std::string &message) { return Failure(kExitUsage, message); }

}  // namespace hdaclient

#endif
