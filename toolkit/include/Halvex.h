// Halvex: toolkit for OPC Historical Data Access 1.0 servers.
//
// An application links Halvex.dll, calls InitHalvex once with its class
// identifier, defines its attributes, aggregates and items, installs a
// CVxHDACallback-derived object and runs its message loop. The library then
// serves OPC HDA clients as an out-of-process COM server.
//
// All functions use the standard calling convention. On 32-bit Windows they
// are exported under decorated names (_InitHalvex@20 and so on); this header
// binds those names for applications built with mingw-w64.
#ifndef HALVEX_H
#define HALVEX_H

#include <windows.h>
#include <oaidl.h>

#if defined(HALVEX_BUILDING)
#  define HALVEX_API __declspec(dllexport)
#  define HALVEX_FN
#  define HALVEX_NAME(decorated)
#  define HALVEX_NAME_NOIMPORT(decorated)
#elif defined(_WIN64)
#  define HALVEX_API __declspec(dllimport)
#  define HALVEX_FN __declspec(dllimport)
#  define HALVEX_NAME(decorated)
#  define HALVEX_NAME_NOIMPORT(decorated)
#else
#  define HALVEX_API __declspec(dllimport)
#  define HALVEX_FN __declspec(dllimport)
#  define HALVEX_NAME(decorated) __asm__(decorated)
// A label holding '?' cannot carry dllimport: the call goes through the
// import library's thunk instead.
#  define HALVEX_NAME_NOIMPORT(decorated) __asm__("\"" decorated "\"")
#endif

// Receives one event-message text per client call; the text is valid only
// during the call.
typedef void(__stdcall *EventMsgProc)(const char *text);
// Called after a client released its connection, with the number left.
typedef void(__stdcall *DisconnectProc)(int connectionsLeft);

// The application's history source. The library calls these methods from
// several threads at once and never deletes the object; it must outlive
// every client connection. A result of 0 means success; every other value,
// success codes included, counts as a failure.
class HALVEX_API CVxHDACallback {
public:
    CVxHDACallback();
    CVxHDACallback(const CVxHDACallback &other);
    CVxHDACallback &operator=(const CVxHDACallback &other);
    virtual ~CVxHDACallback();

    // Writes at most maxCount raw time stamps between start and end (either
    // may be null) into stamps and returns how many it wrote. Default: 0.
    virtual long GetTimeStamps(void *item, FILETIME *start, FILETIME *end, long maxCount,
                               FILETIME *stamps);
    // The raw time stamp at or before `time`. Default: OPC_S_NODATA.
    virtual HRESULT GetPreviousTimeStamp(void *item, FILETIME time, FILETIME *stamp);
    // The raw time stamp at or after `time`. Default: OPC_S_NODATA.
    virtual HRESULT GetNextTimeStamp(void *item, FILETIME time, FILETIME *stamp);
    // The value and quality at `time`; value arrives initialised and empty.
    // Default: OPC_S_NODATA.
    virtual HRESULT ReadAt(void *item, FILETIME time, VARIANT *value, DWORD *quality);
    // The attribute's current value. Default: E_FAIL.
    virtual HRESULT ReadCurrentAttribute(void *item, DWORD attributeId, FILETIME *stamp,
                                         VARIANT *value);
    // The attribute's value at `time`. Default: E_FAIL.
    virtual HRESULT ReadAttributeAt(void *item, DWORD attributeId, FILETIME time,
                                    VARIANT *value);
    // The aggregate over [start, end]. Default: E_FAIL.
    virtual HRESULT ReadProcessed(void *item, DWORD aggregateId, FILETIME *start,
                                  FILETIME *end, VARIANT *value, DWORD *quality);
};

#ifdef __cplusplus
extern "C" {
#endif

// Starts COM, registers the class object for clsid and starts the tick
// (rateMs, at least 10). FALSE when already started or without a task
// allocator.
HALVEX_FN BOOL __stdcall InitHalvex(CLSID clsid, UINT rateMs) HALVEX_NAME("_InitHalvex@20");
// Installs the history source (null: none). When it returns, no read in
// progress still uses the previous object, which the application may then
// delete. Never call it from inside one of the object's methods.
HALVEX_FN BOOL __stdcall SetHDAServerCallback(CVxHDACallback *callback)
    HALVEX_NAME("_SetHDAServerCallback@4");
HALVEX_FN BOOL __stdcall SetHDAVendorInfo(const char *vendor) HALVEX_NAME("_SetHDAVendorInfo@4");
HALVEX_FN BOOL __stdcall EnableHDAEventMsgs(EventMsgProc proc) HALVEX_NAME("_EnableHDAEventMsgs@4");
HALVEX_FN BOOL __stdcall EnableHDADisconnectNotification(DisconnectProc proc)
    HALVEX_NAME("_EnableHDADisconnectNotification@4");
// Asks every connected client that advised a shutdown sink to disconnect;
// returns the number of connections.
HALVEX_FN int __stdcall RequestHDADisconnect(void) HALVEX_NAME("_RequestHDADisconnect@0");
// Returns the new item's handle, or 0xFFFFFFFF when the ID exists already.
HALVEX_FN DWORD __stdcall DefineHDAItem(const char *itemName) HALVEX_NAME("_DefineHDAItem@4");
HALVEX_FN BOOL __stdcall DefineHDAAttribute(DWORD attributeId, const char *name,
                                            const char *description, VARTYPE dataType,
                                            DWORD hasHistory)
    HALVEX_NAME("_DefineHDAAttribute@20");
HALVEX_FN BOOL __stdcall DefineHDAAggregate(DWORD aggregateId, const char *name,
                                            const char *description)
    HALVEX_NAME("_DefineHDAAggregate@12");
HALVEX_FN BOOL __stdcall HDAUpdateRegistry(CLSID clsid, const char *progId,
                                           const char *description, const char *exePath)
    HALVEX_NAME("_HDAUpdateRegistry@28");
HALVEX_FN BOOL __stdcall UnregisterHDAServer(CLSID clsid, const char *progId)
    HALVEX_NAME("_UnregisterHDAServer@20");

// What a live view shows of one client connection.
typedef struct HDAConnectionInfo {
    DWORD id;               // unique within the process, counting from 1
    char clientName[64];    // from IOPCCommon::SetClientName, cut to 63 bytes; "" until set
    DWORD reads;            // read calls accepted (synchronous and queued, attributes included)
    DWORD advises;          // advise calls accepted
} HDAConnectionInfo;

// Copies the live connections, oldest first, into infos (at most maxCount of
// them) and returns how many there are; when that is more than maxCount,
// call again with a larger array. infos may be null when maxCount is 0;
// -1 for a null array with a positive count or a negative count.
HALVEX_FN int __stdcall GetHDAConnections(HDAConnectionInfo *infos, int maxCount)
    HALVEX_NAME("_GetHDAConnections@8");

#ifdef __cplusplus
}
#endif

// Exported under its C++ name (int, standard call, no arguments).
#if defined(HALVEX_BUILDING) || defined(_WIN64)
extern "C" HALVEX_FN int __stdcall NumbrClientConnections(void);
#else
int __stdcall NumbrClientConnections(void) HALVEX_NAME_NOIMPORT("_?NumbrClientConnections@@YGHXZ");
#endif

#endif  // HALVEX_H
