#include "server/OPCServerConnectionPoint.h"

namespace halvex {

OPCServerConnectionPoint::OPCServerConnectionPoint(IConnectionPointContainer *owner)
    : SinkConnectionPoint(owner, IID_IOPCShutdown) {}

void OPCServerConnectionPoint::NotifyShutdown() {
    IOPCShutdown *target = TakeSinkReference();
    if (!target) return;
    target->ShutdownRequest(L"");
    target->Release();
}

}  // namespace halvex
