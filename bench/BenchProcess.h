// Processes for the benchmarks: ending this one on a failure, starting and
// running programs (this one again, or one beside it), and registering and
// activating a bench server program.
#ifndef HALVEX_BENCH_PROCESS_H
#define HALVEX_BENCH_PROCESS_H

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace bench {

// Prints what failed, with its result code, and ends this program with 1.
[[noreturn]] inline void Fail(const char *what, HRESULT hr = S_OK) {
    fprintf(stderr, "%s failed: 0x%08lx\n", what, static_cast<unsigned long>(hr));
    fflush(stderr);
    exit(1);
}

inline std::string ThisProgram() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}

// The path of `name` in this program's folder.
inline std::string BesideProgram(const char *name) {
    std::string dir = ThisProgram();
    dir.resize(dir.find_last_of("\\/") + 1);
    return dir + name;
}

// Starts a command line; the new process's handle, or null.
inline HANDLE StartProgram(std::string command) {
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi))
        return nullptr;
    CloseHandle(pi.hThread);
    return pi.hProcess;
}

// Runs a command line to its end; its exit code, or -1.
inline int RunProgram(const std::string &command) {
    HANDLE process = StartProgram(command);
    if (!process) return -1;
    WaitForSingleObject(process, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(process, &code);
    CloseHandle(process);
    return static_cast<int>(code);
}

// Registers the server program `exe` found beside this one.
inline void RegisterServer(const char *exe) {
    if (RunProgram("\"" + BesideProgram(exe) + "\" /RegServer") != 0)
        Fail("registering the bench server");
}

// Activates a class of a bench server from the registry. A server that is
// just quitting after being idle can refuse the first attempt; a fresh one
// starts on the next.
inline IUnknown *ActivateServer(REFCLSID clsid) {
    HRESULT hr = E_FAIL;
    for (int attempt = 0; attempt < 3; ++attempt) {
        IUnknown *object = nullptr;
        hr = CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown,
                              reinterpret_cast<void **>(&object));
        if (SUCCEEDED(hr)) return object;
    }
    Fail("CoCreateInstance of the bench server", hr);
}

}  // namespace bench

#endif
