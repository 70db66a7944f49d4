// read-raw, read-processed and read-at: IOPCHDA_SyncRead's value reads, or
// with --async the same requests through IOPCHDA_AsyncRead.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "AsyncCall.h"
#include "AsyncSession.h"
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
    std::unique_ptr<AsyncSession> session = AsyncSessionIfAsked(args, connection);
    ItemHandles handles(connection, ids);
    std::vector<OPCHANDLE> valid = handles.Valid();
    const DWORD count = static_cast<DWORD>(valid.size());
    ReadResults results(count);
    std::unique_ptr<Delivery> delivery;
    HRESULT hr = S_FALSE;
    if (!valid.empty()) {
        RequestTime start(startArg), end(endArg);
        std::unique_ptr<AsyncCall> call;
        if (session) {
            call.reset(new AsyncCall(*session, "ReadRaw"));
            call->Started(session->AsyncRead()->ReadRaw(
                              call->Transaction(), start.Record(), end.Record(), maxValues,
                              bounds, count, valid.data(), call->CancelIdOut(), call->ErrorsOut()),
                          handles.ValidIds());
        } else {
            hr = connection.SyncRead()->ReadRaw(start.Record(), end.Record(), maxValues, bounds,
                                                count, valid.data(), results.Items(),
                                                results.Errors());
            connection.Check(hr, "ReadRaw");
        }
        PrintField("Start", start.Describe());
        PrintField("End", end.Describe());
        if (maxValues) PrintField("Max values", std::to_string(maxValues));
        if (bounds) PrintField("Bounds", "included");
        if (call) {
            delivery = call->Complete(Delivery::kReadComplete);
            hr = delivery->status;
        }
    }
    return PrintItemValues(connection, handles, hr, delivery ? *delivery->values : results);
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
    std::unique_ptr<AsyncSession> session = AsyncSessionIfAsked(args, connection);
    DWORD numeric = 0;
    std::vector<Definition> aggregates = ParseId(args.Value("aggregate"), &numeric)
                                             ? AggregatesIfAny(connection)
                                             : Aggregates(connection);
    DWORD aggregate = ResolveAggregate(args.Value("aggregate"), aggregates);
    ItemHandles handles(connection, ids);
    std::vector<OPCHANDLE> valid = handles.Valid();
    const DWORD count = static_cast<DWORD>(valid.size());
    std::vector<DWORD> perItem(valid.size(), aggregate);
    ReadResults results(count);
    std::unique_ptr<Delivery> delivery;
    HRESULT hr = S_FALSE;
    if (!valid.empty()) {
        RequestTime start(startArg), end(endArg);
        std::unique_ptr<AsyncCall> call;
        if (session) {
            call.reset(new AsyncCall(*session, "ReadProcessed"));
            call->Started(session->AsyncRead()->ReadProcessed(
                              call->Transaction(), start.Record(), end.Record(),
                              ToFileTime(interval), count, valid.data(), perItem.data(),
                              call->CancelIdOut(), call->ErrorsOut()),
                          handles.ValidIds());
        } else {
            hr = connection.SyncRead()->ReadProcessed(start.Record(), end.Record(),
                                                      ToFileTime(interval), count, valid.data(),
                                                      perItem.data(), results.Items(),
                                                      results.Errors());
            connection.Check(hr, "ReadProcessed");
        }
        PrintField("Aggregate", Label(aggregates, aggregate));
        PrintField("Interval", FormatSeconds(interval) + " s");
        PrintField("Start", start.Describe());
        PrintField("End", end.Describe());
        if (call) {
            delivery = call->Complete(Delivery::kReadComplete);
            hr = delivery->status;
        }
    }
    return PrintItemValues(connection, handles, hr, delivery ? *delivery->values : results);
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
    std::unique_ptr<AsyncSession> session = AsyncSessionIfAsked(args, connection);
    ItemHandles handles(connection, ids);
    std::vector<OPCHANDLE> valid = handles.Valid();
    const DWORD count = static_cast<DWORD>(valid.size());
    const DWORD stamps = static_cast<DWORD>(times.size());
    ReadResults results(count);
    std::unique_ptr<Delivery> delivery;
    HRESULT hr = S_FALSE;
    if (!valid.empty()) {
        std::unique_ptr<AsyncCall> call;
        if (session) {
            call.reset(new AsyncCall(*session, "ReadAtTime"));
            call->Started(session->AsyncRead()->ReadAtTime(call->Transaction(), stamps,
                                                           times.data(), count, valid.data(),
                                                           call->CancelIdOut(),
                                                           call->ErrorsOut()),
                          handles.ValidIds());
        } else {
            hr = connection.SyncRead()->ReadAtTime(stamps, times.data(), count, valid.data(),
                                                   results.Items(), results.Errors());
            connection.Check(hr, "ReadAtTime");
        }
        for (const FILETIME &time : times) PrintField("At", FormatFileTime(time));
        if (call) {
            delivery = call->Complete(Delivery::kReadComplete);
            hr = delivery->status;
        }
    }
    return PrintItemValues(connection, handles, hr, delivery ? *delivery->values : results);
}

}  // namespace hdaclient
