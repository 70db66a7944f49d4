// A client process for the tests of a client killed with an advise running:
//   advising_client EVENT
// connects to the test server, advises raw values of A.A.A from now in
// 50 ms windows, sets the named event EVENT once the first window has
// arrived, and then waits to be killed. Left alone for a minute, it closes
// its connection and exits with 2; a failed step exits with 1.
#include <windows.h>

#include "support/ReadConnection.h"
#include "support/RecordingSink.h"

int main(int argc, char **argv) {
    if (argc != 2) return 1;
    HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[1]);
    if (!ready) return 1;
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    int code = 2;
    {
        testsupport::RecordingSink sink;
        sink.during = [ready](const testsupport::DeliveryCopy &) { SetEvent(ready); };
        testsupport::ReadConnection connection;
        FILETIME now;
        GetSystemTimeAsFileTime(&now);
        OPCHDA_TIME start = {FALSE, nullptr, now};
        const FILETIME interval = {500000, 0};  // 50 ms
        DWORD cancel = 0;
        HRESULT *errors = nullptr;
        if (connection.Open(&sink) != S_OK ||
            connection.async->AdviseRaw(1, &start, interval, 1, connection.items, &cancel,
                                        &errors) != S_OK) {
            code = 1;
        } else {
            CoTaskMemFree(errors);
            connection.advises.push_back(cancel);
            if (!sink.WaitFor(1, 10000))
                code = 1;
            else
                Sleep(60000);  // killed here by the test
            connection.Close();
        }
    }
    CoUninitialize();
    CloseHandle(ready);
    return code;
}
