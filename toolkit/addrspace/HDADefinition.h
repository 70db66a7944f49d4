// One attribute or aggregate definition, as the application declared it.
#ifndef HALVEX_HDA_DEFINITION_H
#define HALVEX_HDA_DEFINITION_H

#include <windows.h>
#include <oaidl.h>

#include <string>

namespace halvex {

class HDADefinition {
public:
    HDADefinition(const char *defName, const char *defDescription, DWORD defId)
        : name(defName ? defName : ""), description(defDescription ? defDescription : ""),
          id(defId) {}
    virtual ~HDADefinition() = default;

    std::string name;
    std::string description;
    DWORD id;
    VARTYPE dataType = VT_EMPTY;  // attributes only
    DWORD hasHistory = 0;         // attributes only
};

}  // namespace halvex

#endif
