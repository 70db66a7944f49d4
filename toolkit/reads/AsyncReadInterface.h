// IOPCHDA_AsyncRead of a connection.
#ifndef HALVEX_ASYNC_READ_INTERFACE_H
#define HALVEX_ASYNC_READ_INTERFACE_H

#include "opchda.h"
#include "server/ForwardingInterface.h"

namespace halvex {

class AsyncReadInterface
    : public ForwardingInterface<IOPCHDA_AsyncRead, evt::kAsyncReadForward> {
public:
    using ForwardingInterface::ForwardingInterface;

    HRESULT STDMETHODCALLTYPE ReadRaw(DWORD dwTransactionID, OPCHDA_TIME *htStartTime,
                                      OPCHDA_TIME *htEndTime, DWORD dwNumValues, BOOL bBounds,
                                      DWORD dwNumItems, OPCHANDLE *phServer, DWORD *pdwCancelID,
                                      HRESULT **ppErrors) override;
    HRESULT STDMETHODCALLTYPE AdviseRaw(DWORD dwTransactionID, OPCHDA_TIME *htStartTime,
                                        FILETIME ftUpdateInterval, DWORD dwNumItems,
                                        OPCHANDLE *phServer, DWORD *pdwCancelID,
                                        HRESULT **ppErrors) override;
    HRESULT STDMETHODCALLTYPE ReadProcessed(DWORD dwTransactionID, OPCHDA_TIME *htStartTime,
                                            OPCHDA_TIME *htEndTime, FILETIME ftResampleInterval,
                                            DWORD dwNumItems, OPCHANDLE *phServer,
                                            DWORD *haAggregate, DWORD *pdwCancelID,
                                            HRESULT **ppErrors) override;
    HRESULT STDMETHODCALLTYPE AdviseProcessed(DWORD dwTransactionID, OPCHDA_TIME *htStartTime,
                                              FILETIME ftResampleInterval, DWORD dwNumItems,
                                              OPCHANDLE *phServer, DWORD *haAggregate,
                                              DWORD dwNumIntervals, DWORD *pdwCancelID,
                                              HRESULT **ppErrors) override;
    HRESULT STDMETHODCALLTYPE ReadAtTime(DWORD dwTransactionID, DWORD dwNumTimeStamps,
                                         FILETIME *ftTimeStamps, DWORD dwNumItems,
                                         OPCHANDLE *phServer, DWORD *pdwCancelID,
                                         HRESULT **ppErrors) override;
    HRESULT STDMETHODCALLTYPE ReadModified(DWORD dwTransactionID, OPCHDA_TIME *htStartTime,
                                           OPCHDA_TIME *htEndTime, DWORD dwNumValues,
                                           DWORD dwNumItems, OPCHANDLE *phServer,
                                           DWORD *pdwCancelID, HRESULT **ppErrors) override;
    HRESULT STDMETHODCALLTYPE ReadAttribute(DWORD dwTransactionID, OPCHDA_TIME *htStartTime,
                                            OPCHDA_TIME *htEndTime, OPCHANDLE hServer,
                                            DWORD dwNumAttributes, DWORD *dwAttributeIDs,
                                            DWORD *pdwCancelID, HRESULT **ppErrors) override;
    HRESULT STDMETHODCALLTYPE Cancel(DWORD dwCancelID) override;
};

}  // namespace halvex

#endif
