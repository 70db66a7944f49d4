// Event messages as the in-process tests see them: recorded from the
// library's event function.
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

}  // namespace testsupport

#endif
