// The library's exported functions. Each is a thin entry into the state
// record; the decorated export names come from the module definition file.
#include <new>

#include "Halvex.h"
#include "runtime/EventMessages.h"
#include "runtime/ToolkitState.h"

namespace halvex {
BOOL StartToolkit(CLSID clsid, UINT rateMs);
}

using halvex::Toolkit;

extern "C" {

BOOL __stdcall InitHalvex(CLSID clsid, UINT rateMs) { return halvex::StartToolkit(clsid, rateMs); }

BOOL __stdcall SetHDAServerCallback(CVxHDACallback *callback) {
    Toolkit().callback = callback;
    return TRUE;
}

BOOL __stdcall SetHDAVendorInfo(const char *vendor) {
    try {
        Toolkit().vendorInfo = vendor ? vendor : "";
    } catch (...) {
        return FALSE;
    }
    return TRUE;
}

BOOL __stdcall EnableHDAEventMsgs(EventMsgProc proc) {
    halvex::SetEventMsgProc(proc);
    return TRUE;
}

BOOL __stdcall EnableHDADisconnectNotification(DisconnectProc proc) {
    halvex::ToolkitState &state = Toolkit();
    state.disconnectProc = proc;
    InterlockedExchange(&state.disconnectEnabled, 1);
    return TRUE;
}

int __stdcall RequestHDADisconnect(void) { return Toolkit().RequestHDADisconnect(); }

int __stdcall NumbrClientConnections(void) { return Toolkit().NumbrClientConnections(); }

DWORD __stdcall DefineHDAItem(const char *itemName) {
    return halvex::DefineItemBelow(Toolkit().items, itemName);
}

BOOL __stdcall DefineHDAAttribute(DWORD attributeId, const char *name, const char *description,
                                  VARTYPE dataType, DWORD hasHistory) {
    try {
        auto *record = new halvex::HDADefinition(name, description, attributeId);
        record->dataType = dataType;
        record->hasHistory = hasHistory;
        try {
            Toolkit().attributes.push_back(record);
        } catch (...) {
            delete record;
            return FALSE;
        }
    } catch (...) {
        return FALSE;
    }
    return TRUE;
}

BOOL __stdcall DefineHDAAggregate(DWORD aggregateId, const char *name, const char *description) {
    try {
        auto *record = new halvex::HDADefinition(name, description, aggregateId);
        try {
            Toolkit().aggregates.push_back(record);
        } catch (...) {
            delete record;
            return FALSE;
        }
    } catch (...) {
        return FALSE;
    }
    return TRUE;
}

}  // extern "C"
