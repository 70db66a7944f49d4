#include "reads/AsyncReadInterface.h"

namespace halvex {

// Queued reads and advises answer E_NOTIMPL until the request queue is in
// place; each reports itself first, as every client call does.

HRESULT AsyncReadInterface::ReadRaw(DWORD, OPCHDA_TIME *, OPCHDA_TIME *, DWORD, BOOL, DWORD,
                                    OPCHANDLE *, DWORD *, HRESULT **) {
    SendEventMessage(evt::kAsyncReadRaw);
    return E_NOTIMPL;
}

HRESULT AsyncReadInterface::AdviseRaw(DWORD, OPCHDA_TIME *, FILETIME, DWORD, OPCHANDLE *, DWORD *,
                                      HRESULT **) {
    SendEventMessage(evt::kAsyncAdviseRaw);
    return E_NOTIMPL;
}

HRESULT AsyncReadInterface::ReadProcessed(DWORD, OPCHDA_TIME *, OPCHDA_TIME *, FILETIME, DWORD,
                                          OPCHANDLE *, DWORD *, DWORD *, HRESULT **) {
    SendEventMessage(evt::kAsyncReadProcessed);
    return E_NOTIMPL;
}

HRESULT AsyncReadInterface::AdviseProcessed(DWORD, OPCHDA_TIME *, FILETIME, DWORD, OPCHANDLE *,
                                            DWORD *, DWORD, DWORD *, HRESULT **) {
    SendEventMessage(evt::kAsyncAdviseProcessed);
    return E_NOTIMPL;
}

HRESULT AsyncReadInterface::ReadAtTime(DWORD, DWORD, FILETIME *, DWORD, OPCHANDLE *, DWORD *,
                                       HRESULT **) {
    SendEventMessage(evt::kAsyncReadAtTime);
    return E_NOTIMPL;
}

HRESULT AsyncReadInterface::ReadModified(DWORD, OPCHDA_TIME *, OPCHDA_TIME *, DWORD, DWORD,
                                         OPCHANDLE *, DWORD *, HRESULT **) {
    SendEventMessage(evt::kAsyncReadModified);
    return E_NOTIMPL;
}

HRESULT AsyncReadInterface::ReadAttribute(DWORD, OPCHDA_TIME *, OPCHDA_TIME *, OPCHANDLE, DWORD,
                                          DWORD *, DWORD *, HRESULT **) {
    SendEventMessage(evt::kAsyncReadAttribute);
    return E_NOTIMPL;
}

HRESULT AsyncReadInterface::Cancel(DWORD) {
    SendEventMessage(evt::kAsyncCancel);
    return E_NOTIMPL;
}

}  // namespace halvex
