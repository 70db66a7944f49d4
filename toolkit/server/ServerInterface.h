// IOPCHDA_Server of a connection.
#ifndef HALVEX_SERVER_INTERFACE_H
#define HALVEX_SERVER_INTERFACE_H

#include "opchda.h"
#include "server/ForwardingInterface.h"

namespace halvex {

class IHDAServer : public ForwardingInterface<IOPCHDA_Server, evt::kServerForward> {
public:
    using ForwardingInterface::ForwardingInterface;

    HRESULT STDMETHODCALLTYPE GetItemAttributes(DWORD *pdwCount, DWORD **ppdwAttrID,
                                                LPWSTR **ppszAttrName, LPWSTR **ppszAttrDesc,
                                                VARTYPE **ppvtAttrDataType) override;
    HRESULT STDMETHODCALLTYPE GetAggregates(DWORD *pdwCount, DWORD **ppdwAggrID,
                                            LPWSTR **ppszAggrName,
                                            LPWSTR **ppszAggrDesc) override;
    HRESULT STDMETHODCALLTYPE GetHistorianStatus(OPCHDA_SERVERSTATUS *pwStatus,
                                                 FILETIME **pftCurrentTime,
                                                 FILETIME **pftStartTime, WORD *pwMajorVersion,
                                                 WORD *pwMinorVersion, WORD *pwBuildNumber,
                                                 DWORD *pdwMaxReturnValues,
                                                 LPWSTR *ppszStatusString,
                                                 LPWSTR *ppszVendorInfo) override;
    HRESULT STDMETHODCALLTYPE GetItemHandles(DWORD dwCount, LPWSTR *pszItemID,
                                             OPCHANDLE *phClient, OPCHANDLE **pphServer,
                                             HRESULT **ppErrors) override;
    HRESULT STDMETHODCALLTYPE ReleaseItemHandles(DWORD dwCount, OPCHANDLE *phServer,
                                                 HRESULT **ppErrors) override;
    HRESULT STDMETHODCALLTYPE ValidateItemIDs(DWORD dwCount, LPWSTR *pszItemID,
                                              HRESULT **ppErrors) override;
    HRESULT STDMETHODCALLTYPE CreateBrowse(DWORD dwCount, DWORD *pdwAttrID,
                                           OPCHDA_OPERATORCODES *pOperator, VARIANT *vFilter,
                                           IOPCHDA_Browser **pphBrowser,
                                           HRESULT **ppErrors) override;
};

}  // namespace halvex

#endif
