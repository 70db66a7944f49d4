// The library's exported functions. Each is a thin entry into the state
// record; the decorated export names come from the module definition file.
#include <new>

#include "Halvex.h"
#include "runtime/CallbackUse.h"
#include "runtime/EventMessages.h"
#include "runtime/ToolkitState.h"

namespace halvex {
BOOL StartToolkit(CLSID clsid, UINT rateMs);
}

using halvex::Toolkit;

namespace {

// Appends a copy of the definition; FALSE when memory runs out.
BOOL AppendDefinition(std::vector<halvex::HDADefinition *> &list, DWORD id, const char *name,
                      const char *description, VARTYPE dataType, DWORD hasHistory) {
    halvex::HDADefinition *record = nullptr;
    try {
        record = new halvex::HDADefinition(name, description, id);
        record->dataType = dataType;
        record->hasHistory = hasHistory;
        list.push_back(record);
    } catch (...) {
        delete record;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

extern "C" {

BOOL __stdcall InitHalvex(CLSID clsid, UINT rateMs) { return halvex::StartToolkit(clsid, rateMs); }

BOOL __stdcall SetHDAServerCallback(CVxHDACallback *callback) {
    halvex::InstallCallback(callback);
    return TRUE;
}

BOOL __stdcall SetHDAVendorInfo(const char *vendor) {
    try {
        Toolkit().SetVendorInfo(vendor);
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

int __stdcall GetHDAConnections(HDAConnectionInfo *infos, int maxCount) {
    if (maxCount < 0 || (maxCount > 0 && !infos)) return -1;
    return Toolkit().DescribeConnections(infos, maxCount);
}

DWORD __stdcall DefineHDAItem(const char *itemName) {
    return halvex::DefineItemBelow(Toolkit().items, itemName);
}

BOOL __stdcall DefineHDAAttribute(DWORD attributeId, const char *name, const char *description,
                                  VARTYPE dataType, DWORD hasHistory) {
    return AppendDefinition(Toolkit().attributes, attributeId, name, description, dataType,
                            hasHistory);
}

BOOL __stdcall DefineHDAAggregate(DWORD aggregateId, const char *name, const char *description) {
    return AppendDefinition(Toolkit().aggregates, aggregateId, name, description, VT_EMPTY, 0);
}

}  // extern "C"
