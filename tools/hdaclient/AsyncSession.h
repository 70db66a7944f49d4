// The server's IOPCHDA_AsyncRead with hdaclient's sink advised on the
// server object's IOPCHDA_DataCallback connection point.
#ifndef HDACLIENT_ASYNC_SESSION_H
#define HDACLIENT_ASYNC_SESSION_H

#include <windows.h>
#include <ocidl.h>

#include <memory>

#include "Arguments.h"
#include "ComPtr.h"
#include "Connection.h"
#include "DataCallbackSink.h"
#include "opchda.h"

namespace hdaclient {

class AsyncSession {
public:
    // Failures with kExitCallFailed when the server has no IOPCHDA_AsyncRead
    // or no data-callback point, or refuses the sink.
    explicit AsyncSession(Connection &connection);
    AsyncSession(const AsyncSession &) = delete;
    AsyncSession &operator=(const AsyncSession &) = delete;
    ~AsyncSession();

    Connection &Server() const { return connection_; }
    IOPCHDA_AsyncRead *AsyncRead() const { return asyncRead_.Get(); }
    DataCallbackSink &Sink() const { return *sink_.Get(); }
    // 1, 2, 3, ... for the requests of this session.
    DWORD NextTransaction() { return ++lastTransaction_; }

    // Unadvises the sink, makes one more plain round trip to the server and
    // waits for a callback still running in the sink: under Wine, a process
    // that exits while a server's call to it is arriving can hang. Cancel
    // the session's requests first. Done once; the destructor calls it too.
    void Close();

private:
    Connection &connection_;
    ComPtr<IOPCHDA_AsyncRead> asyncRead_;
    ComPtr<IConnectionPoint> point_;
    ComPtr<DataCallbackSink> sink_;
    DWORD cookie_ = 0;
    bool advised_ = false;
    DWORD lastTransaction_ = 0;
};

// A session when the command was given --async, else null.
std::unique_ptr<AsyncSession> AsyncSessionIfAsked(const Arguments &args, Connection &connection);

}  // namespace hdaclient

#endif
