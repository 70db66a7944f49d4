// attributes: the server's attribute and aggregate lists, or the attribute
// values of items (ReadAttribute, or with --async IOPCHDA_AsyncRead's).
#include <windows.h>

#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "AsyncCall.h"
#include "AsyncSession.h"
#include "AttributeOutput.h"
#include "CommandSupport.h"
#include "Commands.h"
#include "Connection.h"
#include "Definitions.h"
#include "Failure.h"
#include "ItemHandles.h"
#include "RequestTime.h"
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
    std::unique_ptr<AsyncSession> session = AsyncSessionIfAsked(args, connection);
    std::vector<std::string> labels;
    for (DWORD id : ids) labels.push_back(IdText(id));
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
        const DWORD count = static_cast<DWORD>(ids.size());
        const std::string method = "ReadAttribute for " + item.id;
        AttributeResults results(count);
        std::unique_ptr<AsyncCall> call;
        std::unique_ptr<Delivery> delivery;
        HRESULT hr = S_OK;
        if (session) {
            if (timesShown) printf("\n");
            call.reset(new AsyncCall(*session, method));
            call->Started(session->AsyncRead()->ReadAttribute(
                              call->Transaction(), start.Record(), end.Record(), item.server,
                              count, ids.data(), call->CancelIdOut(), call->ErrorsOut()),
                          labels);
        } else {
            hr = connection.SyncRead()->ReadAttribute(start.Record(), end.Record(), item.server,
                                                      count, ids.data(), &results.values,
                                                      &results.errors);
            connection.Check(hr, method.c_str());
        }
        if (!timesShown) {
            PrintField("Start", start.Describe());
            PrintField("End", endArg.relative && endArg.text.empty() ? "(none): current values"
                                                                     : end.Describe());
            timesShown = true;
        }
        if (call) {
            delivery = call->Complete(Delivery::kReadAttributeComplete);
            hr = delivery->status;
        }
        if (hr == S_FALSE) anyFailed = true;
        printf("\n%s\n", item.id.c_str());
        PrintAttributeValues(delivery ? *delivery->attributes : results, ids, defined, &codes);
    }
    if (!codes.empty()) printf("\n");
    for (HRESULT code : codes) printf("%s\n", connection.Describe(code).c_str());
    return anyFailed ? kExitItemsFailed : kExitOk;
}

}  // namespace

int RunAttributes(const Arguments &args) {
    std::string server = RequireServer(args);
    bool items = !args.Positional().empty();
    if (!items && (args.Has("attribute") || args.Has("start") || args.Has("end") ||
                   args.Has("async"))) {
        throw UsageError("--attribute, --start, --end and --async need item IDs");
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
