// Starting a thread and waiting until it runs. Under Wine, a process that
// exits while one of its threads is still being set up can crash on the way
// out (32-bit: a fault in Wine's own signal handler), so every thread the
// toolkit starts is known to run before its starter returns.
#ifndef HALVEX_THREAD_LAUNCH_H
#define HALVEX_THREAD_LAUNCH_H

#include <windows.h>

namespace halvex {

// What a thread started by LaunchThread receives as its argument.
class ThreadLaunch {
public:
    ThreadLaunch(void *argument, HANDLE readyEvent) : arg(argument), ready_(readyEvent) {}
    // Releases the starter. The launch record lives on the starter's stack:
    // read `arg` first, touch nothing of the record after this call.
    void Ready() { SetEvent(ready_); }

    void *const arg;

private:
    HANDLE ready_;
};

// Starts proc with a ThreadLaunch whose `arg` is arg, and returns once the
// thread has called Ready() (or has ended). False when no thread started.
bool LaunchThread(SECURITY_ATTRIBUTES *security, LPTHREAD_START_ROUTINE proc, void *arg);

}  // namespace halvex

#endif
