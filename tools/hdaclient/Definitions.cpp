#include "Definitions.h"

#include "CommandSupport.h"
#include "ComPtr.h"
#include "Text.h"

namespace hdaclient {
namespace {

// Takes a server-allocated array of strings.
std::vector<std::string> TakeStrings(LPWSTR *strings, DWORD count) {
    std::vector<std::string> out;
    for (DWORD i = 0; i < count; ++i) out.push_back(strings ? TakeUtf8(strings[i]) : std::string());
    CoTaskMemFree(strings);
    return out;
}

// Definitions from the arrays a server returned; types may be null.
std::vector<Definition> ToDefinitions(DWORD count, const DWORD *ids, LPWSTR *names,
                                      LPWSTR *descriptions, const VARTYPE *types) {
    std::vector<std::string> nameTexts = TakeStrings(names, count);
    std::vector<std::string> descriptionTexts = TakeStrings(descriptions, count);
    std::vector<Definition> out;
    for (DWORD i = 0; ids && i < count; ++i) {
        Definition definition;
        definition.id = ids[i];
        definition.name = nameTexts[i];
        definition.description = descriptionTexts[i];
        definition.type = types ? types[i] : static_cast<VARTYPE>(VT_EMPTY);
        out.push_back(definition);
    }
    return out;
}

}  // namespace

std::vector<Definition> ItemAttributes(Connection &connection) {
    DWORD count = 0;
    TaskMem<DWORD> ids;
    TaskMem<VARTYPE> types;
    LPWSTR *names = nullptr, *descriptions = nullptr;
    connection.Check(connection.Server()->GetItemAttributes(&count, ids.Out(), &names,
                                                            &descriptions, types.Out()),
                     "GetItemAttributes");
    return ToDefinitions(count, ids.Get(), names, descriptions, types.Get());
}

std::vector<Definition> Aggregates(Connection &connection) {
    DWORD count = 0;
    TaskMem<DWORD> ids;
    LPWSTR *names = nullptr, *descriptions = nullptr;
    connection.Check(connection.Server()->GetAggregates(&count, ids.Out(), &names, &descriptions),
                     "GetAggregates");
    return ToDefinitions(count, ids.Get(), names, descriptions, nullptr);
}

const Definition *FindById(const std::vector<Definition> &list, DWORD id) {
    for (const Definition &definition : list) {
        if (definition.id == id) return &definition;
    }
    return nullptr;
}

const Definition *FindByName(const std::vector<Definition> &list, const std::string &name) {
    for (const Definition &definition : list) {
        if (Lower(definition.name) == Lower(name)) return &definition;
    }
    return nullptr;
}

std::string Label(const std::vector<Definition> &list, DWORD id) {
    const Definition *definition = FindById(list, id);
    std::string text = IdText(id);
    return definition && !definition->name.empty() ? text + " " + definition->name : text;
}

}  // namespace hdaclient
