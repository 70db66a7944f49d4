// The attribute values a ReadAttribute returns for one item, and how they
// are printed.
#ifndef HDACLIENT_ATTRIBUTE_OUTPUT_H
#define HDACLIENT_ATTRIBUTE_OUTPUT_H

#include <windows.h>

#include <set>
#include <vector>

#include "Definitions.h"
#include "opchda.h"

namespace hdaclient {

// The OPCHDA_ATTRIBUTE array and codes of one ReadAttribute, freed at the end.
struct AttributeResults {
    explicit AttributeResults(DWORD n) : count(n) {}
    AttributeResults(const AttributeResults &) = delete;
    AttributeResults &operator=(const AttributeResults &) = delete;
    ~AttributeResults();

    DWORD count;
    OPCHDA_ATTRIBUTE *values = nullptr;
    HRESULT *errors = nullptr;
};

// One table row per value of each attribute in ids (the order of the
// results), named from defined; adds every code other than S_OK to codes.
void PrintAttributeValues(const AttributeResults &results, const std::vector<DWORD> &ids,
                          const std::vector<Definition> &defined, std::set<HRESULT> *codes);

}  // namespace hdaclient

#endif
