// The item attributes and aggregates a server defines.
#ifndef HDACLIENT_DEFINITIONS_H
#define HDACLIENT_DEFINITIONS_H

#include <windows.h>

#include <string>
#include <vector>

#include "Connection.h"

namespace hdaclient {

struct Definition {
    DWORD id = 0;
    std::string name;
    std::string description;
    VARTYPE type = VT_EMPTY;  // attributes only
};

// GetItemAttributes and GetAggregates; Failures with kExitCallFailed.
std::vector<Definition> ItemAttributes(Connection &connection);
std::vector<Definition> Aggregates(Connection &connection);

// The definition with this ID, or nullptr.
const Definition *FindById(const std::vector<Definition> &list, DWORD id);
// The definition with this name (ignoring case), or nullptr.
const Definition *FindByName(const std::vector<Definition> &list, const std::string &name);
// "5 Count", or just "5" when the list does not have it.
std::string Label(const std::vector<Definition> &list, DWORD id);

}  // namespace hdaclient

#endif
