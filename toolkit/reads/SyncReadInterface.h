// IOPCHDA_SyncRead of a connection.
#ifndef HALVEX_SYNC_READ_INTERFACE_H
#define HALVEX_SYNC_READ_INTERFACE_H

#include "opchda.h"
#include "server/ForwardingInterface.h"

namespace halvex {

class SyncReadInterface : public ForwardingInterface<IOPCHDA_SyncRead, evt::kSyncReadForward> {
public:
    using ForwardingInterface::ForwardingInterface;

    HRESULT STDMETHODCALLTYPE ReadRaw(OPCHDA_TIME *htStartTime, OPCHDA_TIME *htEndTime,
                                      DWORD dwNumValues, BOOL bBounds, DWORD dwNumItems,
                                      OPCHANDLE *phServer, OPCHDA_ITEM **ppItemValues,
                                      HRESULT **ppErrors) override;
    HRESULT STDMETHODCALLTYPE ReadProcessed(OPCHDA_TIME *htStartTime, OPCHDA_TIME *htEndTime,
                                            FILETIME ftResampleInterval, DWORD dwNumItems,
                                            OPCHANDLE *phServer, DWORD *haAggregate,
                                            OPCHDA_ITEM **ppItemValues,
                                            HRESULT **ppErrors) override;
    HRESULT STDMETHODCALLTYPE ReadAtTime(DWORD dwNumTimeStamps, FILETIME *ftTimeStamps,
                                         DWORD dwNumItems, OPCHANDLE *phServer,
                                         OPCHDA_ITEM **ppItemValues,
                                         HRESULT **ppErrors) override;
    HRESULT STDMETHODCALLTYPE ReadModified(OPCHDA_TIME *htStartTime, OPCHDA_TIME *htEndTime,
                                           DWORD dwNumValues, DWORD dwNumItems,
                                           OPCHANDLE *phServer,
                                           OPCHDA_MODIFIEDITEM **ppItemValues,
                                           HRESULT **ppErrors) override;
    HRESULT STDMETHODCALLTYPE ReadAttribute(OPCHDA_TIME *htStartTime, OPCHDA_TIME *htEndTime,
                                            OPCHANDLE hServer, DWORD dwNumAttributes,
                                            DWORD *pdwAttributeIDs,
                                            OPCHDA_ATTRIBUTE **ppAttributeValues,
                                            HRESULT **ppErrors) override;
};

}  // namespace halvex

#endif
