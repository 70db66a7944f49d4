#include "runtime/EventMessages.h"

#include <cstdio>
#include <cstring>

namespace halvex {
namespace {

// Written by the application's thread, read by every COM thread: a single
// pointer-sized store, read once per message.
EventMsgProc volatile g_eventProc = nullptr;
volatile LONG g_eventsEnabled = 0;

constexpr size_t kMessageRoom = 100;  // 99 characters and the terminator

}  // namespace

void SetEventMsgProc(EventMsgProc proc) {
    g_eventProc = proc;
    InterlockedExchange(&g_eventsEnabled, 1);
}

void SendEventMessage(const char *text) {
    if (!g_eventsEnabled) return;
    EventMsgProc proc = g_eventProc;
    if (!proc) return;
    char buffer[kMessageRoom];
    lstrcpynA(buffer, text ? text : "", sizeof buffer);
    proc(buffer);
}

void SendEventMessage(const char *base, const char *suffix) {
    if (!g_eventsEnabled) return;
    char buffer[kMessageRoom];
    snprintf(buffer, sizeof buffer, "%s%s", base, suffix ? suffix : "");
    SendEventMessage(buffer);
}

void SendEventCount(const char *pattern, long value) {
    if (!g_eventsEnabled) return;
    char buffer[kMessageRoom];
    snprintf(buffer, sizeof buffer, pattern, static_cast<int>(value));
    SendEventMessage(buffer);
}

}  // namespace halvex
