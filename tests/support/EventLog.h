// Event messages as the tests see them: recorded in-process from the
// library's event function, or read from the test server's log file.
#ifndef HALVEX_EVENT_LOG_H
#define HALVEX_EVENT_LOG_H

#include <windows.h>

#include <string>
#include <vector>

namespace testsupport {

// Collects the texts passed to the event function, from any thread.
class EventRecorder {
public:
    // The function to give EnableHDAEventMsgs; records into Instance().
    static void __stdcall Sink(const char *text);
    static EventRecorder &Instance();

    // Returns the texts recorded since the last call and forgets them.
    std::vector<std::string> Take();
    void Clear() { Take(); }

private:
    EventRecorder();
    CRITICAL_SECTION lock_;
    std::vector<std::string> texts_;
};

// Reads lines appended to a log file by another process.
class LogFollower {
public:
    explicit LogFollower(const std::string &path);
    // Starts from the current end of the file.
    void SkipToEnd();
    // Waits until a line equal to text has been appended since the last
    // match or skip; false after timeoutMs.
    bool WaitForLine(const std::string &text, unsigned timeoutMs);
    // Every line appended since the last SkipToEnd, so far.
    std::vector<std::string> LinesSinceSkip();

private:
    std::vector<std::string> ReadFrom(long long offset, long long *end);
    std::string path_;
    long long start_ = 0;
    size_t matched_ = 0;  // lines of LinesSinceSkip() already consumed
};

// The test server's log, beside this program.
std::string TestServerLogPath();

}  // namespace testsupport

#endif
