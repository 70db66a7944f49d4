// The load test's figures at 1, 5 and 20 client processes (3 threads each,
// 20 s each, one after the other on a fresh test server): calls and
// callbacks per second, and the worst callback latencies. The load and its
// checks are the stress test's (tests/support/LoadRun.h); a failed check is
// printed with the figures and makes the exit status 1.
#include <windows.h>

#include <cstdio>

#include "BenchProcess.h"
#include "support/LoadRun.h"

int main() {
    bench::RegisterServer("halvex_test_server.exe");
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    printf("Load on the test server (50 ms tick), every kind of call mixed "
           "(tests/stress/LoadClient.cpp)\n");
    printf("%9s %8s %10s %12s %16s %15s\n", "processes", "seconds", "calls/s", "callbacks/s",
           "worst read (ms)", "worst window (ms)");
    int status = 0;
    for (int clients : {1, 5, 20}) {
        testsupport::LoadPlan plan;
        plan.clients = clients;
        plan.threads = 3;
        plan.seconds = 20;
        const testsupport::LoadFigures f = testsupport::RunLoad(plan);
        const double s = f.seconds > 0 ? f.seconds : 1;
        printf("%9d %8.1f %10.0f %12.0f %16ld %15ld\n", clients, f.seconds, f.total.calls / s,
               (f.total.callbacks + f.total.windows) / s, f.total.worstReadMs,
               f.total.worstWindowMs);
        if (!f.problems.empty()) {
            printf("  FAILED:\n%s", f.problems.c_str());
            status = 1;
        }
        fflush(stdout);
    }
    CoUninitialize();
    return status;
}
