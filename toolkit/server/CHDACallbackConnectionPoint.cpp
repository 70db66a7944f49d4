#include "server/CHDACallbackConnectionPoint.h"

namespace halvex {

CHDACallbackConnectionPoint::CHDACallbackConnectionPoint(IConnectionPointContainer *owner)
    : SinkConnectionPoint(owner, IID_IOPCHDA_DataCallback) {}

}  // namespace halvex
