// The periodic tick that drives asynchronous work.
#ifndef HALVEX_TICK_THREAD_H
#define HALVEX_TICK_THREAD_H

#include <windows.h>

namespace halvex {

// Starts the thread whose hidden "VXTimerNotify" window and thread timer
// pulse the tick event every tick period.
void StartTickThread(SECURITY_ATTRIBUTES *security);

// Without a multithreaded apartment: a thread timer on the calling thread
// that processes every connection's requests; returns its id.
UINT_PTR StartFallbackTimer(UINT periodMs);

}  // namespace halvex

#endif
