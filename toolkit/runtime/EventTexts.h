// The fixed catalogue of event-message texts. Clients' traffic is reported to
// the application with exactly these texts (spelling and spacing included),
// so every sender takes its text from here.
#ifndef HALVEX_EVENT_TEXTS_H
#define HALVEX_EVENT_TEXTS_H

namespace halvex {
namespace evt {

// Texts of an interface object that forwards IUnknown to its server object.
struct ForwardTexts {
    const char *queryInterface;
    const char *addRef;
    const char *release;
};

// Server object: counts (after for AddRef, before for Release) and outcome.
inline constexpr const char kServerAddRef[] = "HDAServer::AddRef(%d)";
inline constexpr const char kServerRelease[] = "HDAServer::Release(%d)";
inline constexpr const char kServerQueryInterface[] = "HDAServer::QueryInterface";

// IOPCHDA_Server interface object.
inline constexpr ForwardTexts kServerForward = {
    "IHDAServer::QueryInterface()  [defered to HDAServer]",
    "IHDAServer::AddRef() [defered to HDAServer]",
    "IHDAServer::Release() [defered to HDAServer]",
};
inline constexpr const char kGetHistorianStatus[] = "IHDAServer::GetHistorianStatus()";
inline constexpr const char kGetItemAttributes[] = "IHDAServer::GetItemAttributes()";
inline constexpr const char kGetAggregates[] = "IHDAServer::GetAggregates()";
inline constexpr const char kGetItemHandles[] = "IHDAServer::GetItemHandles()";
inline constexpr const char kReleaseItemHandles[] = "IHDAServer::ReleaseItemHandles()";
inline constexpr const char kValidateItemIDs[] = "IHDAServer::ValidateItemIDs()";
inline constexpr const char kCreateBrowse[] = "IHDAServer::CreateBrowse()";

// IOPCCommon interface object; its other methods send nothing.
inline constexpr ForwardTexts kCommonForward = {
    "IOPCCommon::QueryInterface()  [defered to OPCServer]",
    "IOPCCommon::AddRef() [defered to OPCServer]",
    "IOPCCommon::Release() [defered to OPCServer]",
};

// IOPCHDA_SyncRead interface object.
inline constexpr ForwardTexts kSyncReadForward = {
    "IOPCHDA_SyncRead::QueryInterface() [defered to OPCServer]",
    "IOPCHDA_SyncRead::AddRef() [defered to HDAServer]",
    "IOPCHDA_SyncRead::Release() [defered to OPCServer]",
};
inline constexpr const char kSyncReadRaw[] = "IHDA_SyncRead::ReadRaw()";
inline constexpr const char kSyncReadProcessed[] = "IHDA_SyncRead::ReadProcessed()";
inline constexpr const char kSyncReadAtTime[] = "IHDA_SyncRead::ReadAtTime()";
inline constexpr const char kSyncReadModified[] = "IHDA_SyncRead::ReadModified()";
inline constexpr const char kSyncReadAttribute[] = "IHDA_SyncRead::ReadAttribute()";

// IOPCHDA_AsyncRead interface object. Three methods share their texts with
// the synchronous namesakes.
inline constexpr ForwardTexts kAsyncReadForward = {
    "IOPCHDA_ASyncRead::QueryInterface() [defered to OPCServer]",
    "IOPCHDA_ASyncRead::AddRef() [defered to HDAServer]",
    "IOPCHDA_ASyncRead::Release() [defered to OPCServer]",
};
inline constexpr const char kAsyncReadRaw[] = "IHDA_ASyncRead::ReadRaw()";
inline constexpr const char kAsyncAdviseRaw[] = "IHDA_SyncRead::AdviseRaw()";
inline constexpr const char kAsyncReadProcessed[] = "IHDA_SyncRead::ReadProcessed()";
inline constexpr const char kAsyncAdviseProcessed[] = "IHDA_SyncRead::AdviseProcessed()";
inline constexpr const char kAsyncReadAtTime[] = "IHDA_ASyncRead::ReadAtTime()";
inline constexpr const char kAsyncReadModified[] = "IHDA_ASyncRead::ReadModified()";
inline constexpr const char kAsyncReadAttribute[] = "IHDA_ASyncRead::ReadAttribute()";
inline constexpr const char kAsyncCancel[] = "IHDA_ASyncRead::Cancel()";

// Browser.
inline constexpr const char kBrowserAddRef[] = "IOPCHDA_Browser::AddRef(%d)";
inline constexpr const char kBrowserRelease[] = "IOPCHDA_Browser::Release(%d)";
inline constexpr const char kBrowserQueryInterface[] = "IOPCHDA_Browser::QueryInterface";
inline constexpr const char kBrowserGetEnum[] = "IOPCHDA_Browser::GetEnum()";
inline constexpr const char kBrowserChangePosition[] = "IOPCHDA_Browser::ChangeBrowsePosition()";
inline constexpr const char kBrowserGetItemID[] = "IOPCHDA_Browser::GetItemID()";
inline constexpr const char kBrowserGetBranchPosition[] = "IOPCHDA_Browser::GetBranchPosition()";

// String enumerator.
inline constexpr const char kEnumStringAddRef[] = "IOPCEnumString::AddRef(%d)";
inline constexpr const char kEnumStringRelease[] = "IOPCEnumString::Release(%d)";
inline constexpr const char kEnumStringQueryInterface[] = "IOPCEnumString::QueryInterface";
inline constexpr const char kEnumStringNext[] = "IOPCEnumString::Next";
inline constexpr const char kEnumStringSkip[] = "IOPCEnumString::Skip";
inline constexpr const char kEnumStringReset[] = "IOPCEnumString::Reset";
inline constexpr const char kEnumStringClone[] = "IOPCEnumString::Clone";

// Connection-point container.
inline constexpr const char kContainerAddRef[] = "OPCServerConnectionContainer::AddRef() [defered to OPCServer]";
inline constexpr const char kContainerRelease[] = "OPCServerConnectionContainer::Release() [defered to OPCServer]";
inline constexpr const char kContainerQueryInterface[] = "CIOPCServerConnectionContainer::QueryInterface";
inline constexpr const char kContainerEnumPoints[] = "CIHDASvrConnectionContainer::EnumConnectionPoints";
inline constexpr const char kContainerFindPoint[] = "CIHDASvrConnectionContainer::FindConnectionPoint";

// Connection-point enumerator (its QueryInterface shares the container's base).
inline constexpr const char kPointEnumAddRef[] = "IOPCServerConnectionPtEnumerator::AddRef(%d)";
inline constexpr const char kPointEnumRelease[] = "IOPCServerConnectionPtEnumerator::Release(%d)";
inline constexpr const char kPointEnumQueryInterface[] = "CIOPCServerConnectionContainer::QueryInterface";
inline constexpr const char kPointEnumNext[] = "CIOPCServerConnectionPtEnumerator::Next";

// The two connection points: one set of texts each.
struct PointTexts {
    const char *addRef;
    const char *release;
    const char *queryInterface;
    const char *getConnectionInterface;
    const char *getContainer;
    const char *advise;
    const char *unadvise;
};

inline constexpr PointTexts kShutdownPoint = {
    "OPCServerConnectionPoint::AddRef() [defered to OPCServerConnectionContainer]",
    "OPCServerConnectionPoint::Release() [defered to OPCServerConnectionContainer]",
    "OPCSvrConnectionPoint::QueryInterface",
    "OPCServerConnectionPoint::GetConnectionInterface",
    "OPCServerConnectionPoint::GetConnectionPointContainer",
    "OPCServerConnectionPoint::Advise",
    "OPCServerConnectionPoint::Uadvise",
};

inline constexpr PointTexts kCallbackPoint = {
    "CHDACallbackConnectionPoint::AddRef() [defered to OPCServerConnectionContainer]",
    "CHDACallbackConnectionPoint::Release() [defered to OPCServerConnectionContainer]",
    "CHDACallbackConnectionPoint::QueryInterface",
    "CHDACallbackConnectionPoint::GetConnectionInterface",
    "CHDACallbackConnectionPoint::GetConnectionPointContainer",
    "CHDACallbackConnectionPoint::Advise",
    "CHDACallbackConnectionPoint::Uadvise",
};

// Suffixes: matched interfaces and result codes.
inline constexpr const char kSfxUnknown[] = " IID_IUnknown";
inline constexpr const char kSfxServer[] = " IID_IOPCHDA_Server";
inline constexpr const char kSfxSyncRead[] = " IID_IOPCHDA_SyncRead";
inline constexpr const char kSfxAsyncRead[] = " IID_IOPCHDA_AsyncRead";
inline constexpr const char kSfxContainer[] = " IID_IConnectionPointContainer";
inline constexpr const char kSfxCommon[] = " IID_IOPCCommon";
inline constexpr const char kSfxBrowser[] = " IID_IOPCHDA_Browser";
inline constexpr const char kSfxEnumString[] = " IID_IEnumString";
inline constexpr const char kSfxEnumPoints[] = " IID_IEnumConnectionPoints";
inline constexpr const char kSfxConnectionPoint[] = " IID_IConnectionPoint";
inline constexpr const char kSfxShutdown[] = " IID_IOPCShutdown";
inline constexpr const char kSfxDataCallback[] = " IID_IOPCHDA_DataCallback";
inline constexpr const char kSfxOk[] = " S_OK";
inline constexpr const char kSfxInvalidArg[] = " E_INVALIDARG";
inline constexpr const char kSfxPointer[] = " E_POINTER";
inline constexpr const char kSfxOutOfMemory[] = " E_OUTOFMEMORY";
inline constexpr const char kSfxNoInterface[] = " E_NOINTERFACE";
inline constexpr const char kSfxAdviseLimit[] = " E_ADVISELIMIT";
inline constexpr const char kSfxCannotConnect[] = " CONNECT_E_CANNOTCONNECT";
inline constexpr const char kSfxNoConnection[] = " CONNECT_E_NOCONNECTION";

}  // namespace evt
}  // namespace halvex

#endif
