#include "support/ChildProcess.h"

#include <windows.h>

namespace testsupport {

int RunScenario(const std::string &name, unsigned timeoutMs) {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string command = std::string("\"") + path + "\" --scenario=" + name;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi))
        return -1;
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(pi.hProcess, timeoutMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(pi.hProcess, &code);
    else
        TerminateProcess(pi.hProcess, 99);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return static_cast<int>(code);
}

std::string ScenarioArgument(int argc, char **argv) {
    const std::string prefix = "--scenario=";
    for (int i = 1; i < argc; ++i)
        if (std::string(argv[i]).compare(0, prefix.size(), prefix) == 0)
            return argv[i] + prefix.size();
    return {};
}

}  // namespace testsupport
