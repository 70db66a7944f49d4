// IOPCCommon of a connection.
#ifndef HALVEX_COMMON_INTERFACE_H
#define HALVEX_COMMON_INTERFACE_H

#include "opccomn.h"
#include "server/ForwardingInterface.h"

namespace halvex {

class CommonInterface : public ForwardingInterface<IOPCCommon, evt::kCommonForward> {
public:
    using ForwardingInterface::ForwardingInterface;

    HRESULT STDMETHODCALLTYPE SetLocaleID(LCID dwLcid) override;
    HRESULT STDMETHODCALLTYPE GetLocaleID(LCID *pdwLcid) override;
    HRESULT STDMETHODCALLTYPE QueryAvailableLocaleIDs(DWORD *pdwCount, LCID **pdwLcid) override;
    HRESULT STDMETHODCALLTYPE GetErrorString(HRESULT dwError, LPWSTR *ppString) override;
    HRESULT STDMETHODCALLTYPE SetClientName(LPCWSTR szName) override;
};

}  // namespace halvex

#endif
