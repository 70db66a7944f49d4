#include "support/LoadClients.h"

#include <algorithm>

namespace testsupport {

LoadClients::LoadClients(const LoadPlan &plan)
    : plan_(plan),
      name_("Halvex.Load." + std::to_string(GetCurrentProcessId()) + "." +
            std::to_string(GetTickCount())),
      ends_(plan.clients),
      killed_(plan.clients, false) {
    mapping_ = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                  static_cast<DWORD>(sizeof(LoadTally) * plan.clients),
                                  name_.c_str());
    if (mapping_)
        slots_ = static_cast<LoadTally *>(MapViewOfFile(mapping_, FILE_MAP_WRITE, 0, 0, 0));
    ready_ = CreateSemaphoreA(nullptr, 0, plan.clients, (name_ + ".ready").c_str());
    go_ = CreateEventA(nullptr, TRUE, FALSE, (name_ + ".go").c_str());
    busy_ = CreateEventA(nullptr, TRUE, FALSE, (name_ + ".busy").c_str());
}

LoadClients::~LoadClients() {
    for (HANDLE process : processes_) {
        if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT) TerminateProcess(process, 99);
        CloseHandle(process);
    }
    if (slots_) UnmapViewOfFile(slots_);
    for (HANDLE h : {mapping_, ready_, go_, busy_})
        if (h) CloseHandle(h);
}

bool LoadClients::Start() {
    if (!slots_ || !ready_ || !go_ || !busy_) return false;
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string exe = path;
    exe = exe.substr(0, exe.find_last_of("\\/") + 1) + "load_client.exe";
    for (int i = 0; i < plan_.clients; ++i) {
        std::string command = "\"" + exe + "\" --results=" + name_ + " --slot=" +
                              std::to_string(i) + " --threads=" + std::to_string(plan_.threads) +
                              " --seconds=" + std::to_string(plan_.seconds);
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &si, &pi))
            return false;
        CloseHandle(pi.hThread);
        processes_.push_back(pi.hProcess);
    }
    // Wine starts a process in one to two seconds, slower with many at once.
    const ULONGLONG deadline = GetTickCount64() + 60000 + 3000ull * plan_.clients;
    for (int i = 0; i < plan_.clients; ++i) {
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline ||
            WaitForSingleObject(ready_, static_cast<DWORD>(deadline - now)) != WAIT_OBJECT_0)
            return false;
    }
    return true;
}

void LoadClients::Go() { SetEvent(go_); }

bool LoadClients::WaitBusy(DWORD ms) { return WaitForSingleObject(busy_, ms) == WAIT_OBJECT_0; }

void LoadClients::Kill(int client) {
    TerminateProcess(processes_[client], 9);
    WaitForSingleObject(processes_[client], 10000);
    killed_[client] = true;
}

bool LoadClients::WaitEnd(DWORD ms) {
    const ULONGLONG deadline = GetTickCount64() + ms;
    bool well = true;
    for (size_t i = 0; i < processes_.size(); ++i) {
        if (killed_[i]) continue;
        const ULONGLONG now = GetTickCount64();
        DWORD code = 0;
        if (WaitForSingleObject(processes_[i], now < deadline ? static_cast<DWORD>(deadline - now)
                                                              : 0) != WAIT_OBJECT_0) {
            TerminateProcess(processes_[i], 99);
            ends_[i] = "did not end in time";
        } else if (GetExitCodeProcess(processes_[i], &code) && code != 0) {
            ends_[i] = "exited with " + std::to_string(code);
        }
        well = well && ends_[i].empty();
    }
    return well;
}

LoadTally LoadClients::Total() const {
    LoadTally total = {};
    for (int i = 0; slots_ && i < plan_.clients; ++i) {
        if (killed_[i]) continue;
        const LoadTally &t = slots_[i];
        total.calls += t.calls;
        total.connects += t.connects;
        total.callbacks += t.callbacks;
        total.windows += t.windows;
        total.cancels += t.cancels;
        total.timeouts += t.timeouts;
        total.failures += t.failures;
        total.worstReadMs = std::max(total.worstReadMs, t.worstReadMs);
        total.worstWindowMs = std::max(total.worstWindowMs, t.worstWindowMs);
    }
    return total;
}

std::string LoadClients::Problems() const {
    std::string out;
    for (int i = 0; slots_ && i < plan_.clients; ++i) {
        const LoadTally &t = slots_[i];
        if (killed_[i] || (ends_[i].empty() && !t.failures && !t.timeouts)) continue;
        out += "client " + std::to_string(i) + ": " + (ends_[i].empty() ? "" : ends_[i] + "; ") +
               std::to_string(t.failures) + " failures, " + std::to_string(t.timeouts) +
               " time-outs" + (t.problem[0] ? std::string(", first: ") + t.problem : "") + "\n";
    }
    return out;
}

}  // namespace testsupport
