// The load test: client processes (support/LoadClients.h) with several
// threads each work on one test server at once, then the checks of
// support/LoadRun.h. Prints what the load did; exits 0 when every check
// held, else 1 after listing what failed.
//   HALVEX_STRESS_CLIENTS  client processes (default 6: two cores under CI)
//   HALVEX_STRESS_SECONDS  how long they work (default 40)
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "support/LoadRun.h"

namespace {

int Setting(const char *name, int fallback) {
    char text[16];
    const DWORD n = GetEnvironmentVariableA(name, text, sizeof text);
    const int value = n > 0 && n < sizeof text ? atoi(text) : 0;
    return value > 0 ? value : fallback;
}

}  // namespace

int main() {
    testsupport::LoadPlan plan;
    plan.clients = Setting("HALVEX_STRESS_CLIENTS", plan.clients);
    plan.seconds = Setting("HALVEX_STRESS_SECONDS", plan.seconds);
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    const testsupport::LoadFigures figures = testsupport::RunLoad(plan);
    CoUninitialize();
    printf("load: %s", testsupport::Summary(figures).c_str());
    if (!figures.problems.empty()) printf("FAILED:\n%s", figures.problems.c_str());
    return figures.problems.empty() ? 0 : 1;
}
