// A client's connection to the test server for queued reads, as a test or a
// helper program in another process makes it: its interfaces, the handles of
// three items and a data-callback sink advised; and a close that leaves no
// server call into this process in flight (Wine can hang a process that
// exits while such a call is arriving).
#ifndef HALVEX_READ_CONNECTION_H
#define HALVEX_READ_CONNECTION_H

#include <windows.h>
#include <ocidl.h>

#include <vector>

#include "opccomn.h"
#include "opchda.h"
#include "support/CountingSink.h"

namespace testsupport {

// Waits until only the sink's owner holds it; false after timeoutMs.
bool WaitBackToOne(CountingSink &sink, DWORD timeoutMs);

class ReadConnection {
public:
    ReadConnection() = default;
    ~ReadConnection() { Release(); }
    ReadConnection(const ReadConnection &) = delete;
    ReadConnection &operator=(const ReadConnection &) = delete;

    // Connects, gets the handles of A.A.A, A.A.B and A.C.C (client handles
    // 11, 12, 13) and advises the sink on the data-callback point.
    HRESULT Open(CountingSink *sink);
    // Cancels `advises`, unadvises the sink, waits until the server has let
    // go of it, makes one plain round trip and releases everything. False
    // when the sink was not given back or the round trip failed.
    bool Close();
    // Releases every interface still held.
    void Release();
    // Releases every interface but the queued-read one and returns it: the
    // caller then holds the connection's last reference.
    IOPCHDA_AsyncRead *KeepOnlyAsync();

    IOPCHDA_Server *server = nullptr;
    IOPCHDA_SyncRead *sync = nullptr;
    IOPCHDA_AsyncRead *async = nullptr;
    IOPCCommon *common = nullptr;
    IConnectionPointContainer *container = nullptr;
    IConnectionPoint *point = nullptr;
    // A.A.A, A.A.B, A.C.C, and a handle that no item has.
    OPCHANDLE items[4] = {0, 0, 0, 0xBAD0BAD0};
    std::vector<DWORD> advises;  // cancel IDs that Close cancels

private:
    CountingSink *sink_ = nullptr;
};

}  // namespace testsupport

#endif
