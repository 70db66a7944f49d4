// attributes: the server's attribute and aggregate lists, or the attribute
// values of items (ReadAttribute).
#include <windows.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "CommandSupport.h"
#include "Commands.h"
#include "Connection.h"
#include "Definitions.h"
#include "Failure.h"
#include "ItemHandles.h"
#include "RequestTime.h"
#include "ResultCodes.h"
#include "Table.h"
#include "Text.h"
#include "ValueText.h"

namespace hdaclient {
namespace {

void PrintDefinitions(Connection &connection) {
    std::vector<Definition> attributes = ItemAttributes(connection);
    std::vector<Definition> aggregates = Aggregates(connection);
    printf("Item attributes (%s)\n", std::to_string(attributes.size()).c_str());
    Table attributeTable({"ID", "Name", "Type", "Description"});
    attributeTable.AlignRight(0);
    for (const Definition &a : attributes) {
        attributeTable.Add({IdText(a.id), a.name, VarTypeName(a.type), a.description});
    }
    if (!attributes.empty()) attributeTable.Print();
    printf("\nAggregates (%s)\n", std::to_string(aggregates.size()).c_str());
    Table aggregateTable({"ID", "Name", "Description"});
    aggregateTable.AlignRight(0);
    for (const Definition &a : aggregates) aggregateTable.Add({IdText(a.id), a.name, a.description});
    if (!aggregates.empty()) aggregateTable.Print();
}

// The attributes to read: those named with --attribute, else every defined one.
std::vector<DWORD> ChooseAttributes(const Arguments &args, const std::vector<Definition> &defined) {
    std::vector<DWORD> ids;
    if (!args.Has("attribute")) {
        for (const Definition &definition : defined) ids.push_back(definition.id);
        return ids;
    }
    for (const std::string &text : args.Values("attribute")) {
        DWORD id = 0;
        if (ParseId(text, &id)) {
            ids.push_back(id);
        } else if (const Definition *found = FindByName(defined, text)) {
            ids.push_back(found->id);
        } else {
            throw UsageError("the server has no attribute \"" + text +
                             "\"; 'hdaclient attributes --server PROGID' lists them");
        }
    }
    return ids;
}

// The data type attribute holds a VARTYPE; its name is shown beside it.
std::string AttributeValueText(DWORD id, const VARIANT &value) {
    std::string text = FormatVariant(value);
    if (id == OPCHDA_DATA_TYPE && (value.vt == VT_I2 || value.vt == VT_I4 || value.vt == VT_UI2)) {
        text += " (" + VarTypeName(static_cast<VARTYPE>(value.vt == VT_I4 ? value.lVal : value.iVal)) + ")";
    }
    return text;
}

// The OPCHDA_ATTRIBUTE array and codes of one ReadAttribute, freed at the end.
struct AttributeResults {
    explicit AttributeResults(DWORD n) : count(n) {}
    ~AttributeResults() {
        for (DWORD i = 0; values && i < count; ++i) {
            for (DWORD j = 0; values[i].vAttributeValues && j < values[i].dwNumValues; ++j) {
                VariantClear(&values[i].vAttributeValues[j]);
            }
            CoTaskMemFree(values[i].ftTimeStamps);
            CoTaskMemFree(values[i].vAttributeValues);
        }
        CoTaskMemFree(values);
        CoTaskMemFree(errors);
    }
    DWORD count;
    OPCHDA_ATTRIBUTE *values = nullptr;
    HRESULT *errors = nullptr;
};

void PrintAttributeValues(const AttributeResults &results, const std::vector<DWORD> &ids,
                          const std::vector<Definition> &defined, std::set<HRESULT> *codes) {
    Table table({"ID", "Attribute", "Timestamp", "Value", "Type", "Result"});
    table.AlignRight(0);
    table.HideIfEmpty(5);
    for (DWORD i = 0; i < results.count; ++i) {
        HRESULT code = results.errors ? results.errors[i] : S_OK;
        std::string result = code == S_OK ? "" : ResultLabel(code);
        if (code != S_OK) codes->insert(code);
        const Definition *definition = FindById(defined, ids[i]);
        std::string name = definition ? definition->name : "";
        const OPCHDA_ATTRIBUTE *a = results.values ? &results.values[i] : nullptr;
        DWORD n = a && SUCCEEDED(code) && a->vAttributeValues ? a->dwNumValues : 0;
        if (n == 0) table.Add({IdText(ids[i]), name, "", "", "", result});
        for (DWORD j = 0; j < n; ++j) {
            table.Add({j == 0 ? IdText(ids[i]) : "", j == 0 ? name : "",
                       a->ftTimeStamps ? FormatStamp(a->ftTimeStamps[j]) : "-",
                       AttributeValueText(ids[i], a->vAttributeValues[j]),
                       VarTypeName(a->vAttributeValues[j].vt), j == 0 ? result : ""});
        }
    }
    table.Print();
}

int ReadItemAttributes(Connection &connection, const Arguments &args, const TimeArg &startArg,
                       const TimeArg &endArg) {
    std::vector<Definition> defined;
    // Numbers alone need no list; names and "all" do.
    bool numbersOnly = args.Has("attribute");
    for (const std::string &text : args.Values("attribute")) {
        DWORD id;
        numbersOnly = numbersOnly && ParseId(text, &id);
    }
    try {
        defined = ItemAttributes(connection);
    } catch (const Failure &) {
        if (!numbersOnly) throw;
    }
    std::vector<DWORD> ids = ChooseAttributes(args, defined);
    if (ids.empty()) {
        printf("The server defines no item attributes.\n");
        return kExitOk;
    }
    IOPCHDA_SyncRead *reader = connection.SyncRead();
    ItemHandles handles(connection, args.Positional());
    bool anyFailed = !handles.AllValid();
    bool timesShown = false;
    std::set<HRESULT> codes;
    for (const ItemHandles::Item &item : handles.Items()) {
        if (!item.Ok()) {
            printf("\n%s  %s\n", item.id.c_str(), connection.Describe(item.result).c_str());
            continue;
        }
        RequestTime start(startArg), end(endArg);
        AttributeResults results(static_cast<DWORD>(ids.size()));
        HRESULT hr = reader->ReadAttribute(start.Record(), end.Record(), item.server,
                                           results.count, ids.data(), &results.values,
                                           &results.errors);
        connection.Check(hr, ("ReadAttribute for " + item.id).c_str());
        if (hr == S_FALSE) anyFailed = true;
        if (!timesShown) {
            PrintField("Start", start.Describe());
            PrintField("End", endArg.relative && endArg.text.empty() ? "(none): current values"
                                                                     : end.Describe());
            timesShown = true;
        }
        printf("\n%s\n", item.id.c_str());
        PrintAttributeValues(results, ids, defined, &codes);
    }
    if (!codes.empty()) printf("\n");
    for (HRESULT code : codes) printf("%s\n", connection.Describe(code).c_str());
    return anyFailed ? kExitItemsFailed : kExitOk;
}

}  // namespace

int RunAttributes(const Arguments &args) {
    std::string server = RequireServer(args);
    bool items = !args.Positional().empty();
    if (!items && (args.Has("attribute") || args.Has("start") || args.Has("end"))) {
        throw UsageError("--attribute, --start and --end need item IDs");
    }
    TimeArg startArg = ParseTimeOption("--start", args.Value("start", "NOW"));
    TimeArg endArg = ParseTimeOption("--end", args.Value("end", ""));
    Connection connection(server);
    if (!items) {
        PrintDefinitions(connection);
        return kExitOk;
    }
    return ReadItemAttributes(connection, args, startArg, endArg);
}

}  // namespace hdaclient
