// read-raw, read-processed and read-at: IOPCHDA_SyncRead's value reads.
#include <windows.h>

#include <string>
#include <vector>

#include "CommandSupport.h"
#include "Commands.h"
#include "Connection.h"
#include "Definitions.h"
#include "Failure.h"
#include "ItemHandles.h"
#include "ReadOutput.h"
#include "RequestTime.h"
#include "Text.h"

namespace hdaclient {
namespace {

// The aggregate an --aggregate value names: a number, or a name the server's
// list has.
DWORD ResolveAggregate(const std::string &text, const std::vector<Definition> &aggregates) {
    DWORD id = 0;
    if (ParseId(text, &id)) return id;
    if (const Definition *found = FindByName(aggregates, text)) return found->id;
    std::string known;
    for (const Definition &aggregate : aggregates) {
        known += (known.empty() ? "" : ", ") + IdText(aggregate.id) + " " + aggregate.name;
    }
    throw UsageError("the server has no aggregate \"" + text + "\"; it has: " +
                     (known.empty() ? "none" : known));
}

// GetAggregates for labelling a numeric aggregate: a server that cannot
// list them may still compute them.
std::vector<Definition> AggregatesIfAny(Connection &connection) {
    try {
        return Aggregates(connection);
    } catch (const Failure &) {
        return {};
    }
}

}  // namespace

int RunReadRaw(const Arguments &args) {
    std::string server = RequireServer(args);
    std::vector<std::string> ids = RequireItems(args);
    TimeArg startArg = ParseTimeOption("--start", args.Value("start", "NOW-1H"));
    TimeArg endArg = ParseTimeOption("--end", args.Value("end", "NOW"));
    DWORD maxValues = 0;
    if (args.Has("max") && !ParseId(args.Value("max"), &maxValues)) {
        throw UsageError("--max: expected a number of values, not \"" + args.Value("max") + "\"");
    }
    BOOL bounds = args.Has("bounds") ? TRUE : FALSE;

    Connection connection(server);
    IOPCHDA_SyncRead *reader = connection.SyncRead();
    ItemHandles handles(connection, ids);
    std::vector<OPCHANDLE> valid = handles.Valid();
    ReadResults results(static_cast<DWORD>(valid.size()));
    HRESULT hr = S_FALSE;
    if (!valid.empty()) {
        RequestTime start(startArg), end(endArg);
        hr = reader->ReadRaw(start.Record(), end.Record(), maxValues, bounds,
                             static_cast<DWORD>(valid.size()), valid.data(), results.Items(),
                             results.Errors());
        connection.Check(hr, "ReadRaw");
        PrintField("Start", start.Describe());
        PrintField("End", end.Describe());
        if (maxValues) PrintField("Max values", std::to_string(maxValues));
        if (bounds) PrintField("Bounds", "included");
    }
    return PrintItemValues(connection, handles, hr, results);
}

int RunReadProcessed(const Arguments &args) {
    std::string server = RequireServer(args);
    std::vector<std::string> ids = RequireItems(args);
    if (!args.Has("aggregate")) throw UsageError("--aggregate ID|NAME is missing");
    if (!args.Has("interval")) throw UsageError("--interval SECONDS is missing");
    uint64_t interval = 0;
    if (!ParseSeconds(args.Value("interval"), &interval)) {
        throw UsageError("--interval: expected a positive number of seconds, not \"" +
                         args.Value("interval") + "\"");
    }
    TimeArg startArg = ParseTimeOption("--start", args.Value("start", "NOW-1H"));
    TimeArg endArg = ParseTimeOption("--end", args.Value("end", "NOW"));

    Connection connection(server);
    IOPCHDA_SyncRead *reader = connection.SyncRead();
    DWORD numeric = 0;
    std::vector<Definition> aggregates = ParseId(args.Value("aggregate"), &numeric)
                                             ? AggregatesIfAny(connection)
                                             : Aggregates(connection);
    DWORD aggregate = ResolveAggregate(args.Value("aggregate"), aggregates);
    ItemHandles handles(connection, ids);
    std::vector<OPCHANDLE> valid = handles.Valid();
    std::vector<DWORD> perItem(valid.size(), aggregate);
    ReadResults results(static_cast<DWORD>(valid.size()));
    HRESULT hr = S_FALSE;
    if (!valid.empty()) {
        RequestTime start(startArg), end(endArg);
        hr = reader->ReadProcessed(start.Record(), end.Record(), ToFileTime(interval),
                                   static_cast<DWORD>(valid.size()), valid.data(), perItem.data(),
                                   results.Items(), results.Errors());
        connection.Check(hr, "ReadProcessed");
        PrintField("Aggregate", Label(aggregates, aggregate));
        PrintField("Interval", FormatSeconds(interval) + " s");
        PrintField("Start", start.Describe());
        PrintField("End", end.Describe());
    }
    return PrintItemValues(connection, handles, hr, results);
}

int RunReadAt(const Arguments &args) {
    std::string server = RequireServer(args);
    std::vector<std::string> ids = RequireItems(args);
    std::vector<std::string> texts = args.Values("at");
    if (texts.empty()) throw UsageError("--at T is missing");
    std::vector<FILETIME> times;
    for (const std::string &text : texts) {
        TimeArg arg = ParseTimeOption("--at", text);
        if (arg.relative) {
            throw UsageError("--at: \"" + text + "\" is relative; ReadAtTime takes absolute "
                             "times (YYYY-MM-DDTHH:MM:SS[.mmm]Z)");
        }
        times.push_back(ToFileTime(arg.ticks));
    }

    Connection connection(server);
    IOPCHDA_SyncRead *reader = connection.SyncRead();
    ItemHandles handles(connection, ids);
    std::vector<OPCHANDLE> valid = handles.Valid();
    ReadResults results(static_cast<DWORD>(valid.size()));
    HRESULT hr = S_FALSE;
    if (!valid.empty()) {
        hr = reader->ReadAtTime(static_cast<DWORD>(times.size()), times.data(),
                                static_cast<DWORD>(valid.size()), valid.data(), results.Items(),
                                results.Errors());
        connection.Check(hr, "ReadAtTime");
        for (const FILETIME &time : times) PrintField("At", FormatFileTime(time));
    }
    return PrintItemValues(connection, handles, hr, results);
}

}  // namespace hdaclient
