#include "support/CheckingSink.h"

#include "support/ClientCalls.h"

namespace testsupport {

bool CheckingSink::WaitFor(DWORD t, size_t n, DWORD ms, std::vector<ULONGLONG> *arrivals) {
    std::unique_lock<std::mutex> guard(lock_);
    const bool arrived = arrived_.wait_for(guard, std::chrono::milliseconds(ms),
                                           [&] { return arrivals_[t].size() >= n; });
    if (arrivals) *arrivals = arrivals_[t];
    return arrived;
}

void CheckingSink::Forget(DWORD t) {
    std::lock_guard<std::mutex> guard(lock_);
    arrivals_.erase(t);
}

std::string CheckingSink::Problems() {
    std::lock_guard<std::mutex> guard(lock_);
    return problemCount_ ? std::to_string(problemCount_) + " wrong deliveries: " + problems_ : "";
}

HRESULT CheckingSink::Note(DWORD t, const std::string &problem) {
    const ULONGLONG now = UtcNowMs();
    {
        std::lock_guard<std::mutex> guard(lock_);
        arrivals_[t].push_back(now);
        if (!problem.empty() && ++problemCount_ <= 3)
            problems_ += "transaction " + std::to_string(t) + ": " + problem + "; ";
    }
    InterlockedIncrement(&delivered_);
    arrived_.notify_all();
    return answer ? answer(t) : S_OK;
}

HRESULT CheckingSink::OnDataChange(DWORD t, HRESULT s, DWORD n, OPCHDA_ITEM *items,
                                   HRESULT *errors) {
    return Note(t, KindOf(t) != kAdviseKind ? "a read in OnDataChange"
                                            : CheckItems(t, s, n, items, errors));
}

HRESULT CheckingSink::OnReadComplete(DWORD t, HRESULT s, DWORD n, OPCHDA_ITEM *items,
                                     HRESULT *errors) {
    return Note(t, KindOf(t) == kAdviseKind ? "a window in OnReadComplete"
                                            : CheckItems(t, s, n, items, errors));
}

HRESULT CheckingSink::OnReadAttributeComplete(DWORD t, HRESULT s, OPCHANDLE client, DWORD n,
                                              OPCHDA_ATTRIBUTE *attributes, HRESULT *errors) {
    return Note(t, CheckAttributes(t, s, client, n, attributes, errors));
}

}  // namespace testsupport
