// The commands of hdaclient: names, options, help texts and what runs them.
#ifndef HDACLIENT_COMMANDS_H
#define HDACLIENT_COMMANDS_H

#include <string>
#include <vector>

#include "Arguments.h"

namespace hdaclient {

struct Command {
    const char *name;
    const char *usage;    // the arguments after the command name
    const char *summary;  // one line for the overview
    const char *details;  // what it does, its options, an example
    std::vector<OptionRule> options;
    int (*run)(const Arguments &args);  // returns the exit code
    bool needsCom;
};

const std::vector<Command> &AllCommands();
const Command *FindCommand(const std::string &name);

// The command implementations.
int RunList(const Arguments &args);
int RunStatus(const Arguments &args);
int RunBrowse(const Arguments &args);
int RunAttributes(const Arguments &args);
int RunReadRaw(const Arguments &args);
int RunReadProcessed(const Arguments &args);
int RunReadAt(const Arguments &args);
int RunAdvise(const Arguments &args);
int RunHelp(const Arguments &args);

}  // namespace hdaclient

#endif
