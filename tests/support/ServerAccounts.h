// What the test server publishes about itself, so that a test can check it
// leaves nothing behind: a named shared-memory block that the server
// creates when it starts and keeps up to date while it serves, and its
// reader on the test's side.
#ifndef HALVEX_SERVER_ACCOUNTS_H
#define HALVEX_SERVER_ACCOUNTS_H

#include <windows.h>

#include <functional>
#include <string>

namespace testsupport {

constexpr const char kAccountsMapping[] = "Halvex.TestServer.Accounts";
// Set by the server at each publication (every kPublishMs).
constexpr const char kAccountsPublished[] = "Halvex.TestServer.AccountsPublished";
constexpr DWORD kPublishMs = 50;

// The block. The counts are kept live by the server; `connections` is
// copied at each publication.
struct ServerAccounts {
    LONG processId;     // the server that writes the block
    LONG bstrCacheOff;  // 1 when OANOCACHE was set in the server's environment
    LONG allocations;   // task allocations outstanding in the server process
    LONG serverAllocations;  // those made by the toolkit or the application
    LONG connections;   // NumbrClientConnections()
    LONG created;       // server objects referenced for the first time
    LONG released;      // server objects released for the last time
    LONG badCounts;     // reference-count texts with a count below 1
};

class AccountsReader {
public:
    AccountsReader() = default;
    ~AccountsReader();
    AccountsReader(const AccountsReader &) = delete;
    AccountsReader &operator=(const AccountsReader &) = delete;

    // Opens the block of the running server; false when none has published.
    bool Open();
    ServerAccounts Read() const;
    // Reads the block at each publication until `holds` is true of it;
    // false after `ms`. The last copy read goes to *last.
    bool WaitUntil(const std::function<bool(const ServerAccounts &)> &holds, DWORD ms,
                   ServerAccounts *last);

private:
    HANDLE mapping_ = nullptr, published_ = nullptr;
    const volatile ServerAccounts *block_ = nullptr;
};

// Waits until the server that published `start` is back to it with `open`
// connections: as many of its own allocations outstanding as then, `open`
// connections and as many server objects alive, no bad count. Returns ""
// then, or what differs after `ms`.
std::string WaitBackTo(AccountsReader &reader, const ServerAccounts &start, LONG open, DWORD ms);

}  // namespace testsupport

#endif
