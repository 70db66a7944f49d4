// Pieces several commands share: required arguments, IDs, labelled lines.
#ifndef HDACLIENT_COMMAND_SUPPORT_H
#define HDACLIENT_COMMAND_SUPPORT_H

#include <windows.h>

#include <string>
#include <vector>

#include "Arguments.h"

namespace hdaclient {

// The --server value; a usage Failure without it.
std::string RequireServer(const Arguments &args);
// The item IDs; a usage Failure without any.
std::vector<std::string> RequireItems(const Arguments &args);
// A usage Failure if the command was given item IDs it does not take.
void RejectPositional(const Arguments &args);

// An attribute or aggregate ID: decimal, or hex with 0x.
bool ParseId(const std::string &text, DWORD *id);
// Decimal, or hex for the vendor range (0x80000000 and up).
std::string IdText(DWORD id);

// "Start      NOW-1H = ..." with the labels in one column.
void PrintField(const std::string &label, const std::string &value);

}  // namespace hdaclient

#endif
