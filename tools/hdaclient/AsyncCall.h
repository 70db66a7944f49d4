// One request made through IOPCHDA_AsyncRead: the transaction ID chosen for
// it, what the method returned, and the callbacks that answer it.
#ifndef HDACLIENT_ASYNC_CALL_H
#define HDACLIENT_ASYNC_CALL_H

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "AsyncSession.h"
#include "DataCallbackSink.h"

namespace hdaclient {

class AsyncCall {
public:
    // method names the call in lines and failures: "ReadRaw".
    AsyncCall(AsyncSession &session, const std::string &method);
    AsyncCall(const AsyncCall &) = delete;
    AsyncCall &operator=(const AsyncCall &) = delete;
    // Cancels the request when it is still outstanding.
    ~AsyncCall();

    // The method's arguments.
    DWORD Transaction() const { return transaction_; }
    DWORD *CancelIdOut() { return &cancelId_; }
    HRESULT **ErrorsOut() { return &errors_; }

    // After the method: a Failure with kExitCallFailed unless it succeeded.
    // Prints "AsyncRead   ReadRaw: S_OK, transaction ID 1, cancel ID 7" and
    // a line for each entry whose code is not S_OK; labels name the entries
    // (items, or attributes) in request order.
    void Started(HRESULT result, const std::vector<std::string> &labels);

    // The callback that completes a read, after its line "Callback    ...":
    // a Failure with kExitCallFailed when none comes within 30 s (the
    // request is then cancelled) or when it reports a failure. When every
    // entry failed in the call no callback follows, and the delivery is made
    // of the method's codes.
    std::unique_ptr<Delivery> Complete(Delivery::Kind kind);

    // The next callback of an advise; null when none came within timeoutMs
    // or stop was set. A Failure for a callback that does not fit the request.
    std::unique_ptr<Delivery> Next(Delivery::Kind kind, DWORD timeoutMs, HANDLE stop);

    // What the method returned.
    HRESULT Result() const { return result_; }
    // True when every entry failed in the call: no callback follows.
    bool EveryEntryFailed() const;

    void Cancel();

private:
    std::unique_ptr<Delivery> FromMethodCodes(Delivery::Kind kind);

    AsyncSession &session_;
    std::string method_;
    DWORD transaction_;
    DWORD cancelId_ = 0;
    HRESULT result_ = E_FAIL;
    HRESULT *errors_ = nullptr;  // the method's codes, task memory
    DWORD entries_ = 0;
    bool outstanding_ = false;
};

}  // namespace hdaclient

#endif
