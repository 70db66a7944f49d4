#include "support/EventLog.h"

namespace testsupport {

EventRecorder &EventRecorder::Instance() {
    static EventRecorder recorder;
    return recorder;
}

void __stdcall EventRecorder::Sink(const char *text) {
    std::lock_guard<std::mutex> guard(Instance().lock_);
    Instance().texts_.emplace_back(text);
}

std::vector<std::string> EventRecorder::Take() {
    std::lock_guard<std::mutex> guard(lock_);
    std::vector<std::string> out;
    out.swap(texts_);
    return out;
}

}  // namespace testsupport
