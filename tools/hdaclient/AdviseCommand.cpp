// advise: raw values of items window by window as the server delivers them
// (IOPCHDA_AsyncRead::AdviseRaw), until Ctrl+C or the end of a duration.
#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "AsyncCall.h"
#include "AsyncSession.h"
#include "CommandSupport.h"
#include "Commands.h"
#include "Connection.h"
#include "Failure.h"
#include "ItemHandles.h"
#include "ReadOutput.h"
#include "RequestTime.h"
#include "ResultCodes.h"
#include "StopSignal.h"
#include "Text.h"

namespace hdaclient {
namespace {

constexpr uint64_t kTicksPerMs = 10000;
// Wait times are DWORD milliseconds below INFINITE.
constexpr uint64_t kLongestDurationMs = 0x7FFFFFFF;

uint64_t RequireSeconds(const Arguments &args, const char *option) {
    uint64_t ticks = 0;
    if (!ParseSeconds(args.Value(option), &ticks)) {
        throw UsageError(std::string("--") + option + ": expected a positive number of "
                         "seconds, not \"" + args.Value(option) + "\"");
    }
    return ticks;
}

// "Window 3    2026-12-06T08:00:20.000Z to 2026-12-06T08:00:30.000Z, hrStatus S_OK":
// window n of a request that starts at start, worked out from the interval.
void PrintWindowLine(DWORD n, uint64_t start, uint64_t interval, HRESULT status) {
    uint64_t from = start + (n - 1) * interval;
    printf("\n");
    PrintField("Window " + std::to_string(n), FormatTime(from) + " to " +
                                                  FormatTime(from + interval) + ", hrStatus " +
                                                  ResultLabel(status));
}

}  // namespace

int RunAdvise(const Arguments &args) {
    std::string server = RequireServer(args);
    std::vector<std::string> ids = RequireItems(args);
    if (!args.Has("interval")) throw UsageError("--interval SECONDS is missing");
    const uint64_t interval = RequireSeconds(args, "interval");
    TimeArg startArg = ParseTimeOption("--start", args.Value("start", "NOW"));
    const bool timed = args.Has("duration");
    const uint64_t durationMs = timed ? RequireSeconds(args, "duration") / kTicksPerMs : 0;
    if (durationMs > kLongestDurationMs) {
        throw UsageError("--duration: at most " + std::to_string(kLongestDurationMs / 1000) +
                         " s");
    }
    HANDLE stop = StopSignal();

    Connection connection(server);
    AsyncSession session(connection);
    ItemHandles handles(connection, ids);
    std::vector<OPCHANDLE> valid = handles.Valid();
    if (valid.empty()) return PrintItemValues(connection, handles, S_FALSE, ReadResults(0));
    RequestTime start(startArg);
    AsyncCall call(session, "AdviseRaw");
    call.Started(session.AsyncRead()->AdviseRaw(call.Transaction(), start.Record(),
                                                ToFileTime(interval),
                                                static_cast<DWORD>(valid.size()), valid.data(),
                                                call.CancelIdOut(), call.ErrorsOut()),
                 handles.ValidIds());
    PrintField("Start", start.Describe());
    PrintField("Interval", FormatSeconds(interval) + " s");
    PrintField("Duration", timed ? FormatSeconds(durationMs * kTicksPerMs) + " s"
                                 : "until Ctrl+C");
    if (call.EveryEntryFailed()) return kExitItemsFailed;

    const DWORD began = GetTickCount();
    DWORD windows = 0;
    std::string end;
    for (;;) {
        DWORD wait = INFINITE;
        if (timed) {
            DWORD elapsed = GetTickCount() - began;
            if (elapsed >= durationMs) {
                end = "End of the duration";
                break;
            }
            wait = static_cast<DWORD>(durationMs - elapsed);
        }
        std::unique_ptr<Delivery> window = call.Next(Delivery::kDataChange, wait, stop);
        if (WaitForSingleObject(stop, 0) == WAIT_OBJECT_0) {
            end = "Stopped by Ctrl+C";
            break;
        }
        if (!window) continue;
        PrintWindowLine(++windows, Ticks(start.Resolved()), interval, window->status);
        connection.Check(window->status, "OnDataChange");
        PrintItemValues(connection, handles, window->status, *window->values);
        fflush(stdout);
    }
    call.Cancel();
    session.Close();
    printf("\n%s: %s\n", end.c_str(), Count(windows, "window", "windows").c_str());
    // As the reads: some item could not be read (here: advised).
    return handles.AllValid() && call.Result() == S_OK ? kExitOk : kExitItemsFailed;
}

}  // namespace hdaclient
