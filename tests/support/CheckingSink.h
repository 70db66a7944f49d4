// A data-callback sink that checks each delivery against what its
// transaction's kind must hold (support/ClientCalls.h), notes when each
// transaction's deliveries arrive, and lets a thread wait for its own
// transactions. Free-threaded: calls arrive on the client's RPC threads.
#ifndef HALVEX_CHECKING_SINK_H
#define HALVEX_CHECKING_SINK_H

#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "support/CountingSink.h"

namespace testsupport {

class CheckingSink : public CountingSink {
public:
    CheckingSink() : CountingSink(false, true) {}

    // Runs inside each call, after the delivery is noted, and gives the
    // call's result: the fault tests make a sink fail, stall or release its
    // connection there. Unset: S_OK.
    std::function<HRESULT(DWORD transaction)> answer;

    // Waits until transaction t has had n deliveries; false after ms. Their
    // arrival times (UTC, FILETIME ticks) go to *arrivals.
    bool WaitFor(DWORD t, size_t n, DWORD ms, std::vector<ULONGLONG> *arrivals = nullptr);
    // Forgets what arrived for t.
    void Forget(DWORD t);
    LONG Delivered() const { return delivered_; }
    // The first findings of the checks and how many there were; "" for none.
    std::string Problems();

    HRESULT STDMETHODCALLTYPE OnDataChange(DWORD t, HRESULT s, DWORD n, OPCHDA_ITEM *items,
                                           HRESULT *errors) override;
    HRESULT STDMETHODCALLTYPE OnReadComplete(DWORD t, HRESULT s, DWORD n, OPCHDA_ITEM *items,
                                             HRESULT *errors) override;
    HRESULT STDMETHODCALLTYPE OnReadAttributeComplete(DWORD t, HRESULT s, OPCHANDLE client,
                                                      DWORD n, OPCHDA_ATTRIBUTE *attributes,
                                                      HRESULT *errors) override;

private:
    HRESULT Note(DWORD t, const std::string &problem);

    std::mutex lock_;
    std::condition_variable arrived_;
    std::map<DWORD, std::vector<ULONGLONG>> arrivals_;
    std::string problems_;
    LONG problemCount_ = 0;
    volatile LONG delivered_ = 0;
};

}  // namespace testsupport

#endif
