#include "runtime/ThreadLaunch.h"

namespace halvex {

bool LaunchThread(SECURITY_ATTRIBUTES *security, LPTHREAD_START_ROUTINE proc, void *arg) {
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!ready) return false;
    ThreadLaunch launch(arg, ready);
    HANDLE thread = CreateThread(security, 0, proc, &launch, 0, nullptr);
    if (thread) {
        // A thread that ends before it is ready releases the starter too.
        HANDLE waits[2] = {ready, thread};
        WaitForMultipleObjects(2, waits, FALSE, INFINITE);
        CloseHandle(thread);
    }
    CloseHandle(ready);
    return thread != nullptr;
}

}  // namespace halvex
