// The test server's side of support/ServerAccounts.h: it counts its task
// allocations with a malloc spy, its server objects from the toolkit's
// event texts ("HDAServer::AddRef(1)" when an object gets its first
// reference, "HDAServer::Release(1)" at its last release), and publishes
// them with the connection count in the named block.
// The server's own allocations are told apart from those of COM's
// marshaling: the toolkit's import of CoGetMalloc is pointed at an
// allocator that marks what the toolkit allocates, and the application
// marks what its callbacks allocate with ServerAllocation. (Wine's stubs
// never free the top-level memory of an [in] or [in, out] parameter that
// could not be read in place from the call's buffer: one block for each
// filter array of CreateBrowse and, in 64-bit processes, for each item ID
// array and each OPCHDA_TIME too.)
#ifndef HALVEX_SERVER_ACCOUNTING_H
#define HALVEX_SERVER_ACCOUNTING_H

namespace testserver {

// While one exists on a thread, the task allocations the thread makes are
// the server's.
class ServerAllocation {
public:
    ServerAllocation();
    ~ServerAllocation();
    ServerAllocation(const ServerAllocation &) = delete;
    ServerAllocation &operator=(const ServerAllocation &) = delete;

private:
    const bool outer_;
};

// Creates the block and starts counting; call before InitHalvex, so that
// every allocation made for a client is seen. False when the block or the
// spy could not be set up (the server then serves without accounts).
bool StartAccounting();

// Copies the connection count into the block and wakes its readers; the
// server calls it every kPublishMs.
void PublishAccounts();

}  // namespace testserver

#endif
