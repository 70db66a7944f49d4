#include "Help.h"

#include <string>

#include "Failure.h"

namespace hdaclient {
namespace {

const char kTimes[] =
    "Times (T):\n"
    "  NOW-1H, DAY-1D+7H30M, ...   relative, passed to the server as written:\n"
    "                              NOW SECOND MINUTE HOUR DAY WEEK MONTH YEAR, then\n"
    "                              offsets in S M H D W MO Y; upper case\n"
    "  2026-12-06T21:15:30.000Z    absolute, UTC; the milliseconds are optional\n"
    "  \"\"                          no time (read-raw with --max: counts from the other end)\n"
    "  The results show the times the server resolved. All times are UTC.\n";

const char kExitCodes[] =
    "Exit codes:\n"
    "  0  success\n"
    "  1  usage error: unknown command or option, missing argument, bad time\n"
    "  2  the server is not registered or could not be started\n"
    "  3  a call failed as a whole (its result code is printed), or its callback\n"
    "     did not come within 30 s (--async)\n"
    "  4  the call succeeded, but not for every item (unknown item, no data, ...)\n";

}  // namespace

std::string UsageLine(const Command &command) {
    std::string line = std::string("hdaclient ") + command.name;
    if (*command.usage) line += std::string(" ") + command.usage;
    return line;
}

void PrintOverview(FILE *out) {
    fprintf(out,
            "hdaclient - a command-line client for OPC HDA 1.0 servers\n"
            "\n"
            "Usage: hdaclient COMMAND [OPTIONS]\n"
            "\n"
            "Commands:\n");
    for (const Command &command : AllCommands()) {
        std::string name = command.name;
        if (name == "help") name += " [COMMAND]";
        fprintf(out, "  %-16s %s\n", name.c_str(), command.summary);
    }
    fprintf(out,
            "\n"
            "Every command but list needs --server PROGID: the server's ProgID, or its\n"
            "CLSID in braces. 'hdaclient help COMMAND' or 'hdaclient COMMAND --help'\n"
            "shows a command's options.\n"
            "\n%s\n%s",
            kTimes, kExitCodes);
}

void PrintCommandHelp(const Command &command, FILE *out) {
    fprintf(out, "Usage: %s\n\n%s", UsageLine(command).c_str(), command.details);
    std::string name = command.name;
    if (name.compare(0, 4, "read") == 0 || name == "attributes" || name == "advise") {
        fprintf(out, "\n%s", kTimes);
    }
}

int RunHelp(const Arguments &args) {
    const std::vector<std::string> &topics = args.Positional();
    if (topics.empty()) {
        PrintOverview(stdout);
        return kExitOk;
    }
    if (topics.size() > 1) throw UsageError("help takes one command name");
    const Command *command = FindCommand(topics[0]);
    if (!command) throw UsageError("unknown command \"" + topics[0] + "\"");
    PrintCommandHelp(*command, stdout);
    return kExitOk;
}

}  // namespace hdaclient
