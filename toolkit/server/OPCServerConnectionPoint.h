// The connection point for a client's IOPCShutdown sink: the toolkit asks
// that sink to disconnect when the application or the library's unload
// requests it.
#ifndef HALVEX_OPC_SERVER_CONNECTION_POINT_H
#define HALVEX_OPC_SERVER_CONNECTION_POINT_H

#include "opccomn.h"
#include "server/SinkConnectionPoint.h"

namespace halvex {

class OPCServerConnectionPoint : public SinkConnectionPoint<IOPCShutdown, evt::kShutdownPoint> {
public:
    explicit OPCServerConnectionPoint(IConnectionPointContainer *owner);

    // Calls the advised sink's ShutdownRequest with an empty reason and
    // ignores its result; does nothing without a sink. Holds no lock during
    // the call: the client may release its connection from inside it.
    void NotifyShutdown();
};

}  // namespace halvex

#endif
