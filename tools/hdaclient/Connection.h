// A connection to an OPC HDA server chosen by ProgID (or by CLSID in braces).
#ifndef HDACLIENT_CONNECTION_H
#define HDACLIENT_CONNECTION_H

#include <windows.h>

#include <string>

#include "ComPtr.h"
#include "opccomn.h"
#include "opchda.h"

namespace hdaclient {

class Connection {
public:
    // Activates the server out of process; a Failure with kExitNoServer
    // when it is not registered or does not start.
    explicit Connection(const std::string &progId);

    IOPCHDA_Server *Server() const { return server_.Get(); }
    // The server's IOPCHDA_SyncRead; a Failure with kExitCallFailed if it
    // has none.
    IOPCHDA_SyncRead *SyncRead();

    const std::string &ProgId() const { return progId_; }
    const CLSID &Clsid() const { return clsid_; }

    // "OPC_S_NODATA: There is no data ...": the code's name (or hex value)
    // and a text, the server's own (GetErrorString) where it has one.
    std::string Describe(HRESULT code);

    // Throws a Failure with kExitCallFailed unless SUCCEEDED(code).
    void Check(HRESULT code, const char *call);

private:
    std::string ServerText(HRESULT code);

    std::string progId_;
    CLSID clsid_ = {};
    ComPtr<IOPCHDA_Server> server_;
    ComPtr<IOPCHDA_SyncRead> syncRead_;
    ComPtr<IOPCCommon> common_;
};

}  // namespace hdaclient

#endif
