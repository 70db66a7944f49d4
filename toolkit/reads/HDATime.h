// Resolution of a history read's time record to an absolute UTC time.
#ifndef HALVEX_HDA_TIME_H
#define HALVEX_HDA_TIME_H

#include "opchda.h"

namespace halvex {

// Resolves the record in place against the current UTC time: true with the
// absolute time in ftTime, false with ftTime left as it was. bString and
// szTime are never changed.
bool ResolveHDATime(OPCHDA_TIME &time);

// The same against the given current time.
bool ResolveHDATimeAt(OPCHDA_TIME &time, const FILETIME &now);

// A time record that is there and resolves (in place).
inline bool GivenTime(OPCHDA_TIME *time) { return time && ResolveHDATime(*time); }

}  // namespace halvex

#endif
