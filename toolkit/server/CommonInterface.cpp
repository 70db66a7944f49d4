#include "server/CommonInterface.h"

namespace halvex {

// Locale, error texts and the client name answer E_NOTIMPL until the common
// operations are in place. These methods send no event text.

HRESULT CommonInterface::SetLocaleID(LCID) { return E_NOTIMPL; }
HRESULT CommonInterface::GetLocaleID(LCID *) { return E_NOTIMPL; }
HRESULT CommonInterface::QueryAvailableLocaleIDs(DWORD *, LCID **) { return E_NOTIMPL; }
HRESULT CommonInterface::GetErrorString(HRESULT, LPWSTR *) { return E_NOTIMPL; }
HRESULT CommonInterface::SetClientName(LPCWSTR) { return E_NOTIMPL; }

}  // namespace halvex
