// The read benchmark's out-of-process server: a Halvex server with
// GridSource data, and beside it a bare reader class whose ReadRaw fills the
// same shape of result arrays directly, as the cross-process reference.
// Its command line (BenchServer.h): /RegServer and /UnregServer cover both
// classes; it serves until neither has had a client for a while.
#include <windows.h>

#include <cstring>
#include <new>
#include <string>

#include "BenchClock.h"
#include "BenchServer.h"
#include "Halvex.h"
#include "ReadBenchIds.h"
#include "opchda.h"
#include "server/GridSource.h"

namespace {

using namespace readbench;
using bench::FromTicks;
using bench::Ticks;

// Live bare reader objects; the toolkit counts its own connections.
volatile LONG g_bareObjects = 0;

// IOPCHDA_SyncRead with ReadRaw alone: grid values computed in place, no
// callback, no handle table.
class BareReader : public IOPCHDA_SyncRead {
public:
    BareReader() { InterlockedIncrement(&g_bareObjects); }
    virtual ~BareReader() { InterlockedDecrement(&g_bareObjects); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override {
        if (!ppv) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOPCHDA_SyncRead)) {
            *ppv = static_cast<IOPCHDA_SyncRead *>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override {
        return static_cast<ULONG>(InterlockedIncrement(&refs_));
    }
    ULONG STDMETHODCALLTYPE Release() override {
        LONG left = InterlockedDecrement(&refs_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

    HRESULT STDMETHODCALLTYPE ReadRaw(OPCHDA_TIME *htStartTime, OPCHDA_TIME *htEndTime,
                                      DWORD dwNumValues, BOOL, DWORD dwNumItems,
                                      OPCHANDLE *phServer, OPCHDA_ITEM **ppItemValues,
                                      HRESULT **ppErrors) override {
        if (!htStartTime || !htEndTime || dwNumItems == 0 || !phServer || !ppItemValues ||
            !ppErrors)
            return E_INVALIDARG;
        const unsigned long long start = Ticks(htStartTime->ftTime);
        const unsigned long long end = Ticks(htEndTime->ftTime);
        if (end < start) return E_INVALIDARG;
        unsigned long long count = (end - start) / kStepTicks + 1;
        if (dwNumValues && count > dwNumValues) count = dwNumValues;
        if (count > kValues) count = kValues;
        const DWORD n = static_cast<DWORD>(count);

        auto *records = static_cast<OPCHDA_ITEM *>(CoTaskMemAlloc(sizeof(OPCHDA_ITEM) * dwNumItems));
        auto *errors = static_cast<HRESULT *>(CoTaskMemAlloc(sizeof(HRESULT) * dwNumItems));
        if (!records || !errors) {
            CoTaskMemFree(records);
            CoTaskMemFree(errors);
            return E_OUTOFMEMORY;
        }
        memset(records, 0, sizeof(OPCHDA_ITEM) * dwNumItems);
        for (DWORD i = 0; i < dwNumItems; ++i) {
            OPCHDA_ITEM &record = records[i];
            record.hClient = phServer[i];
            record.pftTimeStamps = static_cast<FILETIME *>(CoTaskMemAlloc(sizeof(FILETIME) * n));
            record.pdwQualities = static_cast<DWORD *>(CoTaskMemAlloc(sizeof(DWORD) * n));
            record.pvDataValues = static_cast<VARIANT *>(CoTaskMemAlloc(sizeof(VARIANT) * n));
            if (!record.pftTimeStamps || !record.pdwQualities || !record.pvDataValues) {
                for (DWORD j = 0; j <= i; ++j) {
                    CoTaskMemFree(records[j].pftTimeStamps);
                    CoTaskMemFree(records[j].pdwQualities);
                    CoTaskMemFree(records[j].pvDataValues);
                }
                CoTaskMemFree(records);
                CoTaskMemFree(errors);
                return E_OUTOFMEMORY;
            }
            record.dwCount = n;
            for (DWORD j = 0; j < n; ++j) {
                const unsigned long long t = start + j * kStepTicks;
                record.pftTimeStamps[j] = FromTicks(t);
                record.pdwQualities[j] = 4;
                VARIANT &v = record.pvDataValues[j];
                VariantInit(&v);
                v.vt = VT_R8;
                v.dblVal = i * 1000.0 + static_cast<double>(t / kStepTicks % 1000);
            }
            errors[i] = S_OK;
        }
        *ppItemValues = records;
        *ppErrors = errors;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE ReadProcessed(OPCHDA_TIME *, OPCHDA_TIME *, FILETIME, DWORD,
                                            OPCHANDLE *, DWORD *, OPCHDA_ITEM **,
                                            HRESULT **) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE ReadAtTime(DWORD, FILETIME *, DWORD, OPCHANDLE *, OPCHDA_ITEM **,
                                         HRESULT **) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE ReadModified(OPCHDA_TIME *, OPCHDA_TIME *, DWORD, DWORD,
                                           OPCHANDLE *, OPCHDA_MODIFIEDITEM **,
                                           HRESULT **) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE ReadAttribute(OPCHDA_TIME *, OPCHDA_TIME *, OPCHANDLE, DWORD,
                                            DWORD *, OPCHDA_ATTRIBUTE **, HRESULT **) override {
        return E_NOTIMPL;
    }

private:
    volatile LONG refs_ = 1;
};

// Static class object of the bare reader.
class BareFactory : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override {
        if (!ppv) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
            *ppv = static_cast<IClassFactory *>(this);
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown *outer, REFIID riid, void **ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        BareReader *reader = new (std::nothrow) BareReader();
        if (!reader) return E_OUTOFMEMORY;
        HRESULT hr = reader->QueryInterface(riid, ppv);
        reader->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

std::string GuidText(REFGUID guid) {
    WCHAR wide[64];
    StringFromGUID2(guid, wide, 64);
    char text[64];
    WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
    return text;
}

// Creates HKCR\<path> and sets its default value.
bool SetKey(const std::string &path, const std::string &value) {
    HKEY key;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    LONG result = RegSetValueExA(key, nullptr, 0, REG_SZ,
                                 reinterpret_cast<const BYTE *>(value.c_str()),
                                 static_cast<DWORD>(value.size() + 1));
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

// The bare reader's keys: CLSID with LocalServer32 and ProgID, and the ProgID.
bool RegisterBare(const std::string &exe) {
    const std::string clsid = "CLSID\\" + GuidText(kBareClsid);
    const char description[] = "Halvex read benchmark bare reader";
    return SetKey(clsid, description) && SetKey(clsid + "\\LocalServer32", "\"" + exe + "\"") &&
           SetKey(clsid + "\\ProgID", kBareProgId) && SetKey(kBareProgId, description) &&
           SetKey(std::string(kBareProgId) + "\\CLSID", GuidText(kBareClsid));
}

void UnregisterBare() {
    const std::string clsid = "CLSID\\" + GuidText(kBareClsid);
    RegDeleteKeyA(HKEY_CLASSES_ROOT, (clsid + "\\LocalServer32").c_str());
    RegDeleteKeyA(HKEY_CLASSES_ROOT, (clsid + "\\ProgID").c_str());
    RegDeleteKeyA(HKEY_CLASSES_ROOT, clsid.c_str());
    RegDeleteKeyA(HKEY_CLASSES_ROOT, (std::string(kBareProgId) + "\\CLSID").c_str());
    RegDeleteKeyA(HKEY_CLASSES_ROOT, kBareProgId);
}

}  // namespace

int main(int argc, char **argv) {
    const bench::ServerClass server = {kServerClsid, kServerProgId,
                                       "Halvex read benchmark server", RegisterBare,
                                       UnregisterBare};
    const int switched = bench::RunRegistrySwitch(argc, argv, server);
    if (switched >= 0) return switched;

    // Data and address space first, so that no client finds them missing.
    static GridSource source;
    for (const char *id : kItemIds) source.AddItem(DefineHDAItem(id), id);
    source.AddItem(DefineHDAItem(kEmptyItemId), kEmptyItemId);
    SetHDAServerCallback(&source);

    // The bare class object is registered before the toolkit's, so a client
    // that got a toolkit connection finds it in this same process. Security
    // is set up as InitHalvex does, since registering a class object would
    // otherwise fix the defaults first.
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_NONE,
                         RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr);
    static BareFactory bareFactory;
    DWORD bareCookie = 0;
    if (FAILED(CoRegisterClassObject(kBareClsid, &bareFactory, CLSCTX_LOCAL_SERVER,
                                     REGCLS_MULTIPLEUSE, &bareCookie)))
        return 1;
    if (!InitHalvex(kServerClsid, 100)) return 1;

    bench::ServeUntilIdle([] { return g_bareObjects > 0; });
    CoRevokeClassObject(bareCookie);
    RequestHDADisconnect();
    return 0;
}
