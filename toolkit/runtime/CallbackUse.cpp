#include "runtime/CallbackUse.h"

#include "runtime/ToolkitState.h"

namespace halvex {
namespace {
// Reads share it; installing a new object takes it alone.
SRWLOCK g_callbackLock = SRWLOCK_INIT;
}  // namespace

CallbackUse::CallbackUse() {
    AcquireSRWLockShared(&g_callbackLock);
    source_ = Toolkit().callback;
}

CallbackUse::~CallbackUse() { ReleaseSRWLockShared(&g_callbackLock); }

void InstallCallback(CVxHDACallback *source) {
    AcquireSRWLockExclusive(&g_callbackLock);
    Toolkit().callback = source;
    ReleaseSRWLockExclusive(&g_callbackLock);
}

}  // namespace halvex
