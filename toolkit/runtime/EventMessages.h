// Delivery of event-message texts to the application's function.
#ifndef HALVEX_EVENT_MESSAGES_H
#define HALVEX_EVENT_MESSAGES_H

#include "Halvex.h"

namespace halvex {

// Installs the application's function and enables delivery. A null function
// enables delivery of nothing.
void SetEventMsgProc(EventMsgProc proc);

// Sends one text (cut to 99 characters) on the caller's thread, if enabled.
void SendEventMessage(const char *text);
// Sends base followed by suffix.
void SendEventMessage(const char *base, const char *suffix);
// Sends a pattern with one %d formatted with value.
void SendEventCount(const char *pattern, long value);

}  // namespace halvex

#endif
