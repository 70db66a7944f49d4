#include "support/EventLog.h"

#include <algorithm>
#include <chrono>

namespace testsupport {

EventRecorder &EventRecorder::Instance() {
    static EventRecorder recorder;
    return recorder;
}

void __stdcall EventRecorder::Sink(const char *text) {
    EventRecorder &recorder = Instance();
    {
        std::lock_guard<std::mutex> guard(recorder.lock_);
        recorder.texts_.emplace_back(text);
    }
    recorder.added_.notify_all();
}

bool EventRecorder::WaitFor(const std::string &text, unsigned long ms) {
    std::unique_lock<std::mutex> guard(lock_);
    return added_.wait_for(guard, std::chrono::milliseconds(ms), [&] {
        return std::find(texts_.begin(), texts_.end(), text) != texts_.end();
    });
}

std::vector<std::string> EventRecorder::Take() {
    std::lock_guard<std::mutex> guard(lock_);
    std::vector<std::string> out;
    out.swap(texts_);
    return out;
}

}  // namespace testsupport
