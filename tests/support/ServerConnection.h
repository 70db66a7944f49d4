// Activation of the cross-process test server, as a client does it.
#ifndef HALVEX_SERVER_CONNECTION_H
#define HALVEX_SERVER_CONNECTION_H

#include <windows.h>

#include "support/TestIds.h"

namespace testsupport {

// Activates the test server from the registry. A server that is just
// quitting after being idle can refuse the first attempt; a fresh one is
// started on the next.
template <class T>
HRESULT ConnectTestServer(REFIID riid, T **out) {
    HRESULT hr = E_FAIL;
    for (int attempt = 0; attempt < 3; ++attempt) {
        *out = nullptr;
        hr = CoCreateInstance(testids::kTestServerClsid, nullptr, CLSCTX_LOCAL_SERVER, riid,
                              reinterpret_cast<void **>(out));
        if (SUCCEEDED(hr) || hr == E_NOINTERFACE) break;
    }
    return hr;
}

// Makes a running test server exit, clients or not, and waits until it has;
// true when none is running afterwards.
inline bool StopTestServer(DWORD ms) {
    HANDLE running = OpenMutexA(SYNCHRONIZE, FALSE, "Halvex.TestServer.Running");
    if (!running) return true;
    HANDLE quit = OpenEventA(EVENT_MODIFY_STATE, FALSE, "Halvex.TestServer.Quit");
    if (quit) {
        SetEvent(quit);
        CloseHandle(quit);
    }
    const DWORD woke = WaitForSingleObject(running, ms);
    if (woke == WAIT_OBJECT_0) ReleaseMutex(running);
    CloseHandle(running);
    return woke == WAIT_OBJECT_0 || woke == WAIT_ABANDONED;
}

}  // namespace testsupport

#endif
