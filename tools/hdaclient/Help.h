// The help texts: an overview of all commands and the details of one.
#ifndef HDACLIENT_HELP_H
#define HDACLIENT_HELP_H

#include <cstdio>
#include <string>

#include "Commands.h"

namespace hdaclient {

void PrintOverview(FILE *out);
// "hdaclient read-at --server PROGID ITEM... --at T [--at T]..."
std::string UsageLine(const Command &command);
void PrintCommandHelp(const Command &command, FILE *out);

}  // namespace hdaclient

#endif
