// Names shared by the queued-read benchmarks (advise load, async against
// sync ReadRaw) and their server program.
#ifndef HALVEX_ASYNC_BENCH_IDS_H
#define HALVEX_ASYNC_BENCH_IDS_H

#include <windows.h>

namespace asyncbench {

// The server's toolkit class, registered by its /RegServer.
const CLSID kServerClsid = {0x5a1b7c40, 0x2f0e, 0x4c1d, {0x9a, 0x61, 0x3e, 0x4b, 0x10, 0x7d, 0x22, 0x41}};
constexpr const char kServerProgId[] = "Halvex.AsyncBench.1";
constexpr const char kServerExe[] = "async_bench_server.exe";
// The fastest tick the toolkit allows: a queued read waits at most this long.
constexpr UINT kTickMs = 10;

// An item with a raw value every 10 ms up to the present, for advises.
constexpr const char kLiveItemId[] = "Bench.Live";
constexpr unsigned long long kLiveStepTicks = 100000;  // 10 ms

// The server's own CPU time on request: a client sets the ask event, the
// server writes a CpuReport into the mapping and sets the done event.
// (Wine answers GetProcessTimes for another process with the caller's own
// times, so the server has to measure itself.)
constexpr const char kCpuAskEvent[] = "HalvexAsyncBenchCpuAsk";
constexpr const char kCpuDoneEvent[] = "HalvexAsyncBenchCpuDone";
constexpr const char kCpuMapping[] = "HalvexAsyncBenchCpu";

struct CpuReport {
    DWORD processId;
    LONG connections;             // NumbrClientConnections()
    unsigned long long cpuTicks;  // kernel + user time, 100-ns units
};

}  // namespace asyncbench

#endif
