// A Win32 critical section owned by one object, and a scoped guard for it.
#ifndef HALVEX_CRITICAL_SECTION_H
#define HALVEX_CRITICAL_SECTION_H

#include <windows.h>

namespace halvex {

class CriticalSection {
public:
    CriticalSection() { InitializeCriticalSection(&cs_); }
    ~CriticalSection() { DeleteCriticalSection(&cs_); }
    CriticalSection(const CriticalSection &) = delete;
    CriticalSection &operator=(const CriticalSection &) = delete;

    void Enter() { EnterCriticalSection(&cs_); }
    void Leave() { LeaveCriticalSection(&cs_); }

private:
    CRITICAL_SECTION cs_;
};

class CsGuard {
public:
    explicit CsGuard(CriticalSection &cs) : cs_(cs) { cs_.Enter(); }
    ~CsGuard() { cs_.Leave(); }
    CsGuard(const CsGuard &) = delete;
    CsGuard &operator=(const CsGuard &) = delete;

private:
    CriticalSection &cs_;
};

}  // namespace halvex

#endif
