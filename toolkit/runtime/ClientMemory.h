// Result memory for one client call: everything comes from the task
// allocator and goes to the client only when the call succeeds; otherwise
// all of it is freed when this object goes out of scope.
#ifndef HALVEX_CLIENT_MEMORY_H
#define HALVEX_CLIENT_MEMORY_H

#include <windows.h>

#include <string>
#include <vector>

namespace halvex {

class ClientMemory {
public:
    ClientMemory() = default;
    ~ClientMemory();
    ClientMemory(const ClientMemory &) = delete;
    ClientMemory &operator=(const ClientMemory &) = delete;

    // An array of count elements, zero-filled; null for a count of 0, and
    // null (with Failed() set) when memory runs out.
    template <class T>
    T *Array(size_t count) {
        return static_cast<T *>(Bytes(count, sizeof(T)));
    }
    // A wide copy of an 8-bit text, each byte widened.
    WCHAR *Wide(const std::string &text);

    bool Failed() const { return failed_; }
    // The client owns everything allocated so far.
    void HandOver() { blocks_.clear(); }

private:
    void *Bytes(size_t count, size_t size);
    // Runs allocate() and records the block it returns; a null block or an
    // exception marks the whole call as failed.
    template <class Allocate>
    void *Keep(Allocate allocate);
    std::vector<void *> blocks_;
    bool failed_ = false;
};

// The 8-bit form of a client's wide string in the ANSI code page; a null
// string converts to an empty one. No best-fit mapping: a character the code
// page cannot hold becomes the code page's default character.
std::string WideToAnsi(const WCHAR *text);

// The same for strings that must match a name: false, and nothing stored,
// when the text has no exact form in the code page, so that a look-alike
// ("\u0100" for "A") never finds another name.
bool WideToAnsiExact(const WCHAR *text, std::string &out);

}  // namespace halvex

#endif
