#include "support/EventLog.h"

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

}  // namespace testsupport
