#include "server/CommonInterface.h"

#include "runtime/ClientMemory.h"
#include "runtime/ToolkitState.h"
#include "server/ErrorText.h"

namespace halvex {
namespace {
constexpr LCID kOnlyLocale = LOCALE_SYSTEM_DEFAULT;  // 0x0800
}

// These methods send no event text.

HRESULT CommonInterface::SetLocaleID(LCID dwLcid) {
    return dwLcid == kOnlyLocale ? S_OK : E_INVALIDARG;
}

HRESULT CommonInterface::GetLocaleID(LCID *pdwLcid) {
    if (!pdwLcid) return E_INVALIDARG;
    *pdwLcid = kOnlyLocale;
    return S_OK;
}

HRESULT CommonInterface::QueryAvailableLocaleIDs(DWORD *pdwCount, LCID **pdwLcid) {
    if (!pdwCount || !pdwLcid) return E_INVALIDARG;
    *pdwCount = 0;
    *pdwLcid = nullptr;
    ClientMemory memory;
    LCID *locales = memory.Array<LCID>(1);
    if (memory.Failed()) return E_OUTOFMEMORY;
    memory.HandOver();
    locales[0] = kOnlyLocale;
    *pdwLcid = locales;
    *pdwCount = 1;
    return S_OK;
}

HRESULT CommonInterface::GetErrorString(HRESULT dwError, LPWSTR *ppString) {
    if (!ppString) return E_INVALIDARG;
    *ppString = nullptr;
    try {
        ClientMemory memory;
        WCHAR *text = memory.Wide(FormatErrorText(dwError));
        if (memory.Failed()) return E_OUTOFMEMORY;
        memory.HandOver();
        *ppString = text;
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT CommonInterface::SetClientName(LPCWSTR szName) {
    if (!szName) return E_INVALIDARG;
    try {
        server->SetClientName(WideToAnsi(szName));
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

}  // namespace halvex
