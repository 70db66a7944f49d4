// The connection point for a client's IOPCHDA_DataCallback sink, through
// which asynchronous reads and advises deliver their results.
#ifndef HALVEX_CHDA_CALLBACK_CONNECTION_POINT_H
#define HALVEX_CHDA_CALLBACK_CONNECTION_POINT_H

#include "opchda.h"
#include "server/SinkConnectionPoint.h"

namespace halvex {

class CHDACallbackConnectionPoint
    : public SinkConnectionPoint<IOPCHDA_DataCallback, evt::kCallbackPoint> {
public:
    explicit CHDACallbackConnectionPoint(IConnectionPointContainer *owner);

    // The advised sink with a reference taken for the caller, who releases
    // it after the delivery; null when no sink is advised. A sink unadvised
    // during a delivery stays valid until that release.
    IOPCHDA_DataCallback *GetSink() { return TakeSinkReference(); }
    // Stops delivering to a sink whose client has gone.
    void DropDeadSink(IOPCHDA_DataCallback *gone) { ForgetSink(gone); }
};

}  // namespace halvex

#endif
