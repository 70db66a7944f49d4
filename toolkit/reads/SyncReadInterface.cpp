#include "reads/SyncReadInterface.h"

namespace halvex {

// The reads answer E_NOTIMPL until value gathering is in place; each reports
// itself first, as every client call does.

HRESULT SyncReadInterface::ReadRaw(OPCHDA_TIME *, OPCHDA_TIME *, DWORD, BOOL, DWORD, OPCHANDLE *,
                                   OPCHDA_ITEM **, HRESULT **) {
    SendEventMessage(evt::kSyncReadRaw);
    return E_NOTIMPL;
}

HRESULT SyncReadInterface::ReadProcessed(OPCHDA_TIME *, OPCHDA_TIME *, FILETIME, DWORD,
                                         OPCHANDLE *, DWORD *, OPCHDA_ITEM **, HRESULT **) {
    SendEventMessage(evt::kSyncReadProcessed);
    return E_NOTIMPL;
}

HRESULT SyncReadInterface::ReadAtTime(DWORD, FILETIME *, DWORD, OPCHANDLE *, OPCHDA_ITEM **,
                                      HRESULT **) {
    SendEventMessage(evt::kSyncReadAtTime);
    return E_NOTIMPL;
}

HRESULT SyncReadInterface::ReadModified(OPCHDA_TIME *, OPCHDA_TIME *, DWORD, DWORD, OPCHANDLE *,
                                        OPCHDA_MODIFIEDITEM **, HRESULT **) {
    SendEventMessage(evt::kSyncReadModified);
    return E_NOTIMPL;
}

HRESULT SyncReadInterface::ReadAttribute(OPCHDA_TIME *, OPCHDA_TIME *, OPCHANDLE, DWORD, DWORD *,
                                         OPCHDA_ATTRIBUTE **, HRESULT **) {
    SendEventMessage(evt::kSyncReadAttribute);
    return E_NOTIMPL;
}

}  // namespace halvex
