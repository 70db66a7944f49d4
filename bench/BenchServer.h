// The command line and lifetime of the bench server programs:
//   /RegServer, /UnregServer (or with '-', in any case)  write or remove the
//                             registry entries and end the program
//   anything else (COM passes -Embedding)  serve until idle for a while
#ifndef HALVEX_BENCH_SERVER_H
#define HALVEX_BENCH_SERVER_H

#include <windows.h>

#include <string>

namespace bench {

// The server's toolkit class, registered with this program's path, and any
// further registry entries of the same program.
struct ServerClass {
    CLSID clsid;
    const char *progId;
    const char *description;
    bool (*registerMore)(const std::string &exe) = nullptr;  // true on success
    void (*unregisterMore)() = nullptr;
};

// Carries out a /RegServer or /UnregServer switch and returns the program's
// exit code (0 on success), or returns -1 when the program is to serve.
int RunRegistrySwitch(int argc, char **argv, const ServerClass &server);

// Pumps this thread's messages until 4 s have passed without a client: no
// toolkit connection, and `othersAlive`, when given, false.
void ServeUntilIdle(bool (*othersAlive)() = nullptr);

}  // namespace bench

#endif
