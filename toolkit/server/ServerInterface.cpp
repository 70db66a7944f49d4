#include "server/ServerInterface.h"

#include <vector>

#include "addrspace/HDABrowser.h"
#include "runtime/ClientMemory.h"
#include "runtime/ToolkitState.h"

namespace halvex {
namespace {

constexpr HRESULT kInvalidHandle = static_cast<HRESULT>(0xC0040001);  // OPC_E_INVALIDHANDLE
constexpr HRESULT kUnknownItemId = static_cast<HRESULT>(0xC0040007);  // OPC_E_UNKNOWNITEMID
constexpr HRESULT kInvalidItemId = static_cast<HRESULT>(0xC0040008);  // OPC_E_INVALIDITEMID
constexpr DWORD kMaxReturnValues = 5000;
constexpr size_t kStatusStringChars = 40;  // 80 bytes, handed out empty

// Fills the id, name and description arrays (and data types when asked) from
// a definition list; E_OUTOFMEMORY leaves every output null.
HRESULT ListDefinitions(const std::vector<HDADefinition *> &list, DWORD *count, DWORD **ids,
                        LPWSTR **names, LPWSTR **descriptions, VARTYPE **types) {
    *count = 0;
    *ids = nullptr;
    *names = nullptr;
    *descriptions = nullptr;
    if (types) *types = nullptr;

    const size_t n = list.size();
    ClientMemory memory;
    DWORD *idArray = memory.Array<DWORD>(n);
    LPWSTR *nameArray = memory.Array<LPWSTR>(n);
    LPWSTR *descriptionArray = memory.Array<LPWSTR>(n);
    VARTYPE *typeArray = types ? memory.Array<VARTYPE>(n) : nullptr;
    for (size_t i = 0; i < n && !memory.Failed(); ++i) {
        idArray[i] = list[i]->id;
        nameArray[i] = memory.Wide(list[i]->name);
        descriptionArray[i] = memory.Wide(list[i]->description);
        if (typeArray) typeArray[i] = list[i]->dataType;
    }
    if (memory.Failed()) return E_OUTOFMEMORY;
    memory.HandOver();
    *count = static_cast<DWORD>(n);
    *ids = idArray;
    *names = nameArray;
    *descriptions = descriptionArray;
    if (types) *types = typeArray;
    return S_OK;
}

HRESULT AnyFailed(const HRESULT *errors, DWORD count) {
    for (DWORD i = 0; i < count; ++i) {
        if (errors[i] != S_OK) return S_FALSE;
    }
    return S_OK;
}

// Per item: S_OK when the ID names a node, else OPC_E_UNKNOWNITEMID; the
// node goes to `found`. A null ID (possible only in-process) is no ID at
// all, unlike an empty one.
HRESULT FindItemId(const WCHAR *itemId, ItemNode **found) {
    *found = nullptr;
    if (!itemId) return kInvalidItemId;
    // An ID without an exact form in the code page names no item.
    std::string id;
    if (!WideToAnsiExact(itemId, id)) return kUnknownItemId;
    *found = Toolkit().FindItem(id.c_str());
    return *found ? S_OK : kUnknownItemId;
}

}  // namespace

HRESULT IHDAServer::GetItemAttributes(DWORD *pdwCount, DWORD **ppdwAttrID, LPWSTR **ppszAttrName,
                                      LPWSTR **ppszAttrDesc, VARTYPE **ppvtAttrDataType) {
    SendEventMessage(evt::kGetItemAttributes);
    if (!pdwCount || !ppdwAttrID || !ppszAttrName || !ppszAttrDesc || !ppvtAttrDataType)
        return E_INVALIDARG;
    try {
        return ListDefinitions(Toolkit().attributes, pdwCount, ppdwAttrID, ppszAttrName,
                               ppszAttrDesc, ppvtAttrDataType);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT IHDAServer::GetAggregates(DWORD *pdwCount, DWORD **ppdwAggrID, LPWSTR **ppszAggrName,
                                  LPWSTR **ppszAggrDesc) {
    SendEventMessage(evt::kGetAggregates);
    if (!pdwCount || !ppdwAggrID || !ppszAggrName || !ppszAggrDesc) return E_INVALIDARG;
    try {
        return ListDefinitions(Toolkit().aggregates, pdwCount, ppdwAggrID, ppszAggrName,
                               ppszAggrDesc, nullptr);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT IHDAServer::GetHistorianStatus(OPCHDA_SERVERSTATUS *pwStatus, FILETIME **pftCurrentTime,
                                       FILETIME **pftStartTime, WORD *pwMajorVersion,
                                       WORD *pwMinorVersion, WORD *pwBuildNumber,
                                       DWORD *pdwMaxReturnValues, LPWSTR *ppszStatusString,
                                       LPWSTR *ppszVendorInfo) {
    SendEventMessage(evt::kGetHistorianStatus);
    if (!pwStatus || !pftCurrentTime || !pftStartTime || !pwMajorVersion || !pwMinorVersion ||
        !pwBuildNumber || !pdwMaxReturnValues || !ppszStatusString || !ppszVendorInfo)
        return E_INVALIDARG;
    *pftCurrentTime = nullptr;
    *pftStartTime = nullptr;
    *ppszStatusString = nullptr;
    *ppszVendorInfo = nullptr;
    try {
        ToolkitState &state = Toolkit();
        ClientMemory memory;
        FILETIME *now = memory.Array<FILETIME>(1);
        FILETIME *start = memory.Array<FILETIME>(1);
        WCHAR *status = memory.Array<WCHAR>(kStatusStringChars);
        WCHAR *vendor = memory.Wide(state.VendorInfo());
        if (memory.Failed()) return E_OUTOFMEMORY;
        memory.HandOver();
        CoFileTimeNow(now);
        *start = state.startTime;
        *pwStatus = OPCHDA_UP;
        *pftCurrentTime = now;
        *pftStartTime = start;
        *pwMajorVersion = 1;
        *pwMinorVersion = 0;
        *pwBuildNumber = 0;
        *pdwMaxReturnValues = kMaxReturnValues;
        *ppszStatusString = status;
        *ppszVendorInfo = vendor;
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT IHDAServer::GetItemHandles(DWORD dwCount, LPWSTR *pszItemID, OPCHANDLE *phClient,
                                   OPCHANDLE **pphServer, HRESULT **ppErrors) {
    SendEventMessage(evt::kGetItemHandles);
    // A refused call leaves no stale outputs.
    if (pphServer) *pphServer = nullptr;
    if (ppErrors) *ppErrors = nullptr;
    if (dwCount == 0 || !pszItemID || !phClient || !pphServer || !ppErrors) return E_INVALIDARG;
    ClientMemory memory;
    OPCHANDLE *handles = memory.Array<OPCHANDLE>(dwCount);
    HRESULT *errors = memory.Array<HRESULT>(dwCount);
    if (memory.Failed()) return E_OUTOFMEMORY;
    for (DWORD i = 0; i < dwCount; ++i) {
        try {
            ItemNode *node = nullptr;
            errors[i] = FindItemId(pszItemID[i], &node);
            if (!node) continue;
            if (!server->AddItemHandle(node->handle, phClient[i])) {
                errors[i] = E_OUTOFMEMORY;
                continue;
            }
            handles[i] = node->handle;
        } catch (...) {
            errors[i] = E_OUTOFMEMORY;
        }
    }
    memory.HandOver();
    *pphServer = handles;
    *ppErrors = errors;
    return AnyFailed(errors, dwCount);
}

HRESULT IHDAServer::ReleaseItemHandles(DWORD dwCount, OPCHANDLE *phServer, HRESULT **ppErrors) {
    SendEventMessage(evt::kReleaseItemHandles);
    if (ppErrors) *ppErrors = nullptr;
    if (dwCount == 0 || !phServer || !ppErrors) return E_INVALIDARG;
    ClientMemory memory;
    HRESULT *errors = memory.Array<HRESULT>(dwCount);
    if (memory.Failed()) return E_OUTOFMEMORY;
    for (DWORD i = 0; i < dwCount; ++i)
        errors[i] = server->RemoveItemHandle(phServer[i]) ? S_OK : kInvalidHandle;
    memory.HandOver();
    *ppErrors = errors;
    return AnyFailed(errors, dwCount);
}

HRESULT IHDAServer::ValidateItemIDs(DWORD dwCount, LPWSTR *pszItemID, HRESULT **ppErrors) {
    SendEventMessage(evt::kValidateItemIDs);
    if (ppErrors) *ppErrors = nullptr;
    if (dwCount == 0 || !pszItemID || !ppErrors) return E_INVALIDARG;
    ClientMemory memory;
    HRESULT *errors = memory.Array<HRESULT>(dwCount);
    if (memory.Failed()) return E_OUTOFMEMORY;
    for (DWORD i = 0; i < dwCount; ++i) {
        try {
            ItemNode *node = nullptr;
            errors[i] = FindItemId(pszItemID[i], &node);
        } catch (...) {
            errors[i] = E_OUTOFMEMORY;
        }
    }
    memory.HandOver();
    *ppErrors = errors;
    return AnyFailed(errors, dwCount);
}

HRESULT IHDAServer::CreateBrowse(DWORD dwCount, DWORD *pdwAttrID, OPCHDA_OPERATORCODES *pOperator,
                                 VARIANT *vFilter, IOPCHDA_Browser **pphBrowser,
                                 HRESULT **ppErrors) {
    SendEventMessage(evt::kCreateBrowse);
    return CreateBrowser(server, dwCount, pdwAttrID, pOperator, vFilter, pphBrowser, ppErrors);
}

}  // namespace halvex
