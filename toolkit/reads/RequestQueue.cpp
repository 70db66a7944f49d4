// A connection's queue of asynchronous requests: queuing, cancelling, and the
// pass that the service thread (or the fallback timer) runs once per tick.
#include "reads/AsyncRequest.h"
#include "server/HDAServer.h"

namespace halvex {

DWORD HDAServer::QueueRequest(AsyncRequest *request) {
    CsGuard guard(lock);
    request->cancelId = cancelIds_.Next([this](DWORD id) {
        for (const AsyncRequest *live : requests_) {
            if (live->cancelId == id) return true;
        }
        return false;
    });
    request->sequence = queued_++;
    requests_.push_back(request);
    if (request->OneShot())
        CountRead();
    else
        CountAdvise();
    Wake();
    return request->cancelId;
}

DWORD HDAServer::MsUntilDue() {
    CsGuard guard(lock);
    const ULONGLONG now = UtcNowMs();
    DWORD soonest = INFINITE;
    for (const AsyncRequest *request : requests_) {
        if (request->OneShot() || request->finished) return 0;
        const ULONGLONG end = request->WindowEnd();
        if (end <= now) return 0;
        // Rounded up: waking before the end would only mean another wait.
        const ULONGLONG ms = (end - now + 9999) / 10000;
        if (ms < soonest) soonest = static_cast<DWORD>(ms);
    }
    return soonest;
}

bool HDAServer::CancelRequest(DWORD cancelId) {
    CsGuard guard(lock);
    for (auto it = requests_.begin(); it != requests_.end(); ++it) {
        AsyncRequest *request = *it;
        if (request->cancelId != cancelId) continue;
        if (request->delivering) {
            // Its pass is calling the sink right now (this may be that very
            // sink calling): the pass destroys it when the call returns.
            request->finished = TRUE;
        } else {
            requests_.erase(it);
            delete request;
        }
        return true;
    }
    return false;
}

void HDAServer::ProcessAsyncRequests() {
    CsGuard guard(lock);
    // Passes from the service thread and the fallback timer never overlap:
    // while one calls a sink with the queue unlocked, another finds it busy.
    if (passRunning_) return;
    passRunning_ = true;
    // A request queued during the pass (a sink starting a read, say) waits
    // for the next one, so a sink cannot keep a pass going for ever.
    const ULONGLONG end = queued_;
    auto it = requests_.begin();
    // After the client's last release nothing more is delivered.
    while (it != requests_.end() && (*it)->sequence < end && IsAlive()) {
        AsyncRequest *request = *it;
        // Only this pass removes a request that is being delivered, so the
        // iterator stays valid across the unlocked sink call.
        ProcessRequest(*request);
        if (request->finished) {
            it = requests_.erase(it);
            delete request;
        } else {
            ++it;
        }
    }
    passRunning_ = false;
}

void HDAServer::DestroyRequests() {
    CsGuard guard(lock);
    for (AsyncRequest *request : requests_) delete request;
    requests_.clear();
}

}  // namespace halvex
