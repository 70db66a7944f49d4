// The client processes of a load on the test server (load_client.exe, found
// beside the program that starts them) and the figures they report in a
// named shared-memory block, one slot each:
//   load_client --results=NAME --slot=I --threads=T --seconds=S
// Each client connects T worker threads (a connection each, plus one that
// they share), reports itself ready, waits for the go, works for S seconds
// and closes its connections. NAME.ready is a semaphore each client
// releases once; NAME.go is set by the starter; NAME.busy is set by the
// first client to have received 20 callbacks.
#ifndef HALVEX_LOAD_CLIENTS_H
#define HALVEX_LOAD_CLIENTS_H

#include <windows.h>

#include <string>
#include <vector>

namespace testsupport {

struct LoadTally {
    LONG calls;          // server methods called (reference counting aside)
    LONG connects;       // connections opened
    LONG callbacks;      // queued reads' callbacks waited for and received
    LONG windows;        // advise windows waited for and received
    LONG cancels;        // reads and advises cancelled
    LONG timeouts;       // waits that ran out
    LONG failures;       // calls or deliveries other than expected
    LONG worstReadMs;    // longest from a queued read's call to its callback
    LONG worstWindowMs;  // latest arrival of a window after its end
    char problem[240];   // the first failure
};

struct LoadPlan {
    int clients = 6;
    int threads = 3;
    int seconds = 40;
};

class LoadClients {
public:
    explicit LoadClients(const LoadPlan &plan);
    ~LoadClients();  // kills the clients still running
    LoadClients(const LoadClients &) = delete;
    LoadClients &operator=(const LoadClients &) = delete;

    // Starts the clients and waits until each is connected; false when one
    // could not start or did not get ready in time.
    bool Start();
    // Lets them work from now.
    void Go();
    // Waits until some client has received 20 callbacks; false after ms.
    bool WaitBusy(DWORD ms);
    // Kills a client on purpose: its figures and end are then left out.
    void Kill(int client);
    // Waits until every client has ended, at most ms, and kills the rest;
    // false when one had to be killed or exited with other than 0.
    bool WaitEnd(DWORD ms);

    LoadTally Total() const;  // of the clients not killed
    // What went wrong, client by client; "" for nothing.
    std::string Problems() const;

private:
    LoadPlan plan_;
    std::string name_;
    HANDLE mapping_ = nullptr, ready_ = nullptr, go_ = nullptr, busy_ = nullptr;
    LoadTally *slots_ = nullptr;
    std::vector<HANDLE> processes_;
    std::vector<std::string> ends_;  // how each client ended, when not well
    std::vector<bool> killed_;
};

}  // namespace testsupport

#endif
