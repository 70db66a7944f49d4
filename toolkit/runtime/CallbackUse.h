// Use of the application's callback object by a read. While a CallbackUse
// lives, the object it gives stays installed: SetHDAServerCallback waits for
// every use in progress before it replaces the object, so that once it
// returns the application may delete the previous one.
#ifndef HALVEX_CALLBACK_USE_H
#define HALVEX_CALLBACK_USE_H

#include "Halvex.h"

namespace halvex {

class CallbackUse {
public:
    CallbackUse();
    ~CallbackUse();
    CallbackUse(const CallbackUse &) = delete;
    CallbackUse &operator=(const CallbackUse &) = delete;

    // The installed object, or null.
    CVxHDACallback *get() const { return source_; }

private:
    CVxHDACallback *source_;
};

// Replaces the installed object once no read uses it any more. Must not be
// called from inside one of the object's own methods.
void InstallCallback(CVxHDACallback *source);

}  // namespace halvex

#endif
