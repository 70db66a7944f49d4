#include "server/ServerInterface.h"

namespace halvex {

// The operations below answer E_NOTIMPL until the address-space operations
// are in place; each reports itself first, as every client call does.

HRESULT IHDAServer::GetItemAttributes(DWORD *, DWORD **, LPWSTR **, LPWSTR **, VARTYPE **) {
    SendEventMessage(evt::kGetItemAttributes);
    return E_NOTIMPL;
}

HRESULT IHDAServer::GetAggregates(DWORD *, DWORD **, LPWSTR **, LPWSTR **) {
    SendEventMessage(evt::kGetAggregates);
    return E_NOTIMPL;
}

HRESULT IHDAServer::GetHistorianStatus(OPCHDA_SERVERSTATUS *, FILETIME **, FILETIME **, WORD *,
                                       WORD *, WORD *, DWORD *, LPWSTR *, LPWSTR *) {
    SendEventMessage(evt::kGetHistorianStatus);
    return E_NOTIMPL;
}

HRESULT IHDAServer::GetItemHandles(DWORD, LPWSTR *, OPCHANDLE *, OPCHANDLE **, HRESULT **) {
    SendEventMessage(evt::kGetItemHandles);
    return E_NOTIMPL;
}

HRESULT IHDAServer::ReleaseItemHandles(DWORD, OPCHANDLE *, HRESULT **) {
    SendEventMessage(evt::kReleaseItemHandles);
    return E_NOTIMPL;
}

HRESULT IHDAServer::ValidateItemIDs(DWORD, LPWSTR *, HRESULT **) {
    SendEventMessage(evt::kValidateItemIDs);
    return E_NOTIMPL;
}

HRESULT IHDAServer::CreateBrowse(DWORD, DWORD *, OPCHDA_OPERATORCODES *, VARIANT *,
                                 IOPCHDA_Browser **, HRESULT **) {
    SendEventMessage(evt::kCreateBrowse);
    return E_NOTIMPL;
}

}  // namespace halvex
