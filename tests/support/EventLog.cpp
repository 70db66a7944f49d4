#include "support/EventLog.h"

#include <fstream>

#include "support/TestIds.h"

namespace testsupport {

EventRecorder::EventRecorder() { InitializeCriticalSection(&lock_); }

EventRecorder &EventRecorder::Instance() {
    static EventRecorder recorder;
    return recorder;
}

void __stdcall EventRecorder::Sink(const char *text) {
    EventRecorder &r = Instance();
    EnterCriticalSection(&r.lock_);
    r.texts_.emplace_back(text);
    LeaveCriticalSection(&r.lock_);
}

std::vector<std::string> EventRecorder::Take() {
    EnterCriticalSection(&lock_);
    std::vector<std::string> out;
    out.swap(texts_);
    LeaveCriticalSection(&lock_);
    return out;
}

LogFollower::LogFollower(const std::string &path) : path_(path) {}

std::vector<std::string> LogFollower::ReadFrom(long long offset, long long *end) {
    std::vector<std::string> lines;
    std::ifstream in(path_, std::ios::binary);
    *end = offset;
    if (!in) return lines;
    in.seekg(0, std::ios::end);
    long long size = in.tellg();
    if (size <= offset) return lines;
    in.seekg(offset);
    std::string chunk(static_cast<size_t>(size - offset), '\0');
    in.read(&chunk[0], static_cast<std::streamsize>(chunk.size()));
    // Only whole lines count; a line still being written waits.
    size_t last = chunk.rfind('\n');
    if (last == std::string::npos) return lines;
    size_t pos = 0;
    while (pos <= last) {
        size_t nl = chunk.find('\n', pos);
        std::string line = chunk.substr(pos, nl - pos);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        pos = nl + 1;
    }
    *end = offset + static_cast<long long>(last + 1);
    return lines;
}

void LogFollower::SkipToEnd() {
    long long end = 0;
    ReadFrom(0, &end);
    start_ = end;
    matched_ = 0;
}

std::vector<std::string> LogFollower::LinesSinceSkip() {
    long long end = 0;
    return ReadFrom(start_, &end);
}

bool LogFollower::WaitForLine(const std::string &text, unsigned timeoutMs) {
    DWORD deadline = GetTickCount() + timeoutMs;
    for (;;) {
        std::vector<std::string> lines = LinesSinceSkip();
        for (size_t i = matched_; i < lines.size(); ++i) {
            if (lines[i] == text) {
                matched_ = i + 1;
                return true;
            }
        }
        if (static_cast<LONG>(GetTickCount() - deadline) >= 0) return false;
        Sleep(20);
    }
}

std::string TestServerLogPath() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir(path);
    dir.resize(dir.find_last_of("\\/") + 1);
    return dir + testids::kTestServerLogName;
}

}  // namespace testsupport
