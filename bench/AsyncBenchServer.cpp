// The queued-read benchmarks' out-of-process server: a Halvex server with a
// 10 ms tick, GridSource's items and one live item, which reports its own
// CPU time when a benchmark asks for it. Its command line: BenchServer.h.
#include <windows.h>

#include "AsyncBenchIds.h"
#include "BenchClock.h"
#include "BenchServer.h"
#include "Halvex.h"
#include "LiveGridSource.h"
#include "ReadBenchIds.h"

namespace {

using namespace asyncbench;

// The CPU-time service: its objects and the thread that answers requests.
struct CpuService {
    HANDLE ask = nullptr, done = nullptr, mapping = nullptr;
    CpuReport *report = nullptr;

    bool Create() {
        ask = CreateEventA(nullptr, FALSE, FALSE, kCpuAskEvent);
        done = CreateEventA(nullptr, FALSE, FALSE, kCpuDoneEvent);
        mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                     sizeof(CpuReport), kCpuMapping);
        if (!ask || !done || !mapping) return false;
        report = static_cast<CpuReport *>(
            MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(CpuReport)));
        return report != nullptr;
    }
};

// Sleeps until asked, so that it costs nothing while the server is measured.
DWORD WINAPI CpuServiceMain(void *arg) {
    CpuService *service = static_cast<CpuService *>(arg);
    while (WaitForSingleObject(service->ask, INFINITE) == WAIT_OBJECT_0) {
        FILETIME created, exited, kernel, user;
        GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
        service->report->processId = GetCurrentProcessId();
        service->report->connections = NumbrClientConnections();
        service->report->cpuTicks = bench::Ticks(kernel) + bench::Ticks(user);
        SetEvent(service->done);
    }
    return 0;
}

}  // namespace

int main(int argc, char **argv) {
    const int switched = bench::RunRegistrySwitch(
        argc, argv, {kServerClsid, kServerProgId, "Halvex queued-read benchmark server"});
    if (switched >= 0) return switched;

    // The CPU service and the data before the class object: a client that
    // got a connection finds both.
    static CpuService cpu;
    if (!cpu.Create()) return 1;
    HANDLE thread = CreateThread(nullptr, 0, CpuServiceMain, &cpu, 0, nullptr);
    if (!thread) return 1;
    CloseHandle(thread);

    static LiveGridSource source(DefineHDAItem(kLiveItemId));
    for (const char *id : readbench::kItemIds) source.AddItem(DefineHDAItem(id), id);
    source.AddItem(DefineHDAItem(readbench::kEmptyItemId), readbench::kEmptyItemId);
    SetHDAServerCallback(&source);
    if (!InitHalvex(kServerClsid, kTickMs)) return 1;

    bench::ServeUntilIdle();
    RequestHDADisconnect();
    return 0;
}
