// Default behaviour of the application's callback class: a server whose
// items never have data.
#include "Halvex.h"

namespace {
constexpr HRESULT kNoData = 0x40041002;  // OPC_S_NODATA
}

CVxHDACallback::CVxHDACallback() = default;
CVxHDACallback::CVxHDACallback(const CVxHDACallback &) {}
CVxHDACallback &CVxHDACallback::operator=(const CVxHDACallback &) { return *this; }
CVxHDACallback::~CVxHDACallback() = default;

long CVxHDACallback::GetTimeStamps(void *, FILETIME *, FILETIME *, long, FILETIME *) { return 0; }

HRESULT CVxHDACallback::GetPreviousTimeStamp(void *, FILETIME, FILETIME *) { return kNoData; }

HRESULT CVxHDACallback::GetNextTimeStamp(void *, FILETIME, FILETIME *) { return kNoData; }

HRESULT CVxHDACallback::ReadAt(void *, FILETIME, VARIANT *, DWORD *) { return kNoData; }

HRESULT CVxHDACallback::ReadCurrentAttribute(void *, DWORD, FILETIME *, VARIANT *) {
    return E_FAIL;
}

HRESULT CVxHDACallback::ReadAttributeAt(void *, DWORD, FILETIME, VARIANT *) { return E_FAIL; }

HRESULT CVxHDACallback::ReadProcessed(void *, DWORD, FILETIME *, FILETIME *, VARIANT *, DWORD *) {
    return E_FAIL;
}
