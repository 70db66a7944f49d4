// Event messages as the in-process tests see them: the texts passed to the
// library's event function, recorded from any thread.
#ifndef HALVEX_EVENT_LOG_H
#define HALVEX_EVENT_LOG_H

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

namespace testsupport {

class EventRecorder {
public:
    // The function to give EnableHDAEventMsgs; records into Instance().
    static void __stdcall Sink(const char *text);
    static EventRecorder &Instance();

    // Returns the texts recorded since the last call and forgets them.
    std::vector<std::string> Take();
    void Clear() { Take(); }
    // Waits until `text` has been recorded since the last Take; false on
    // time-out. The texts stay recorded.
    bool WaitFor(const std::string &text, unsigned long ms);

private:
    std::mutex lock_;
    std::condition_variable added_;
    std::vector<std::string> texts_;
};

}  // namespace testsupport

#endif
