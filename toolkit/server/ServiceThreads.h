// The threads that serve connections: each live server object has one, which
// runs its asynchronous requests once per tick and frees the object after its
// release.
#ifndef HALVEX_SERVICE_THREADS_H
#define HALVEX_SERVICE_THREADS_H

namespace halvex {

class HDAServer;

// Hands server to a parked service thread, or starts a new one. False when
// no thread could serve it.
bool StartServiceThread(HDAServer *server);

}  // namespace halvex

#endif
