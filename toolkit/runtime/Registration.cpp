#include "runtime/Registration.h"

#include <comcat.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "Halvex.h"

namespace halvex {
namespace {

// The OPC HDA 1.0 server category.
const CATID kCategoryHda10 = {0x7DE5B060, 0xE089, 0x11D2,
                              {0xA5, 0xE6, 0x00, 0x00, 0x86, 0x33, 0x93, 0x99}};
const char kCategoryDescription[] = "OPC Historical Data Access Servers Version 1.0";
constexpr LCID kCategoryLocale = 0x409;

// Sets a REG_SZ value from a copy of text cut to maxChars characters.
LONG SetText(HKEY key, const char *valueName, const char *text, size_t maxChars) {
    std::string copy(text ? text : "");
    if (copy.size() > maxChars) copy.resize(maxChars);
    return RegSetValueExA(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE *>(copy.c_str()),
                          static_cast<DWORD>(copy.size() + 1));
}

LONG CreateKey(HKEY parent, const char *name, HKEY *key) {
    return RegCreateKeyExA(parent, name, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                           nullptr, key, nullptr);
}

// Closes the keys it holds when it goes out of scope.
class KeySet {
public:
    ~KeySet() {
        for (int i = count_ - 1; i >= 0; --i) RegCloseKey(keys_[i]);
    }
    HKEY *Next() { return &keys_[count_]; }
    void Keep() { ++count_; }
    void CloseLast() { RegCloseKey(keys_[--count_]); }

private:
    HKEY keys_[4] = {};
    int count_ = 0;
};

bool Create(KeySet &keys, HKEY parent, const char *name, HKEY *out) {
    if (CreateKey(parent, name, keys.Next()) != ERROR_SUCCESS) return false;
    *out = *keys.Next();
    keys.Keep();
    return true;
}

bool Open(KeySet &keys, HKEY parent, const char *name, REGSAM access, HKEY *out) {
    if (RegOpenKeyExA(parent, name, 0, access, keys.Next()) != ERROR_SUCCESS) return false;
    *out = *keys.Next();
    keys.Keep();
    return true;
}

// Parents of the new GUID keys are opened for reading and for creating the
// key below them, which a handle opened for reading alone may not allow.
constexpr REGSAM kParentAccess = KEY_READ | KEY_CREATE_SUB_KEY;

constexpr size_t kValueChars = 100;
constexpr size_t kPathChars = 400;

bool WriteKeys(const std::string &guid, const char *progId, const char *description,
               const char *exePath) {
    {
        KeySet keys;
        HKEY prog, sub;
        if (!Create(keys, HKEY_CLASSES_ROOT, progId, &prog)) return false;
        SetText(prog, nullptr, description, kValueChars);
        if (!Create(keys, prog, "CLSID", &sub)) return false;
        SetText(sub, nullptr, guid.c_str(), kValueChars);
        keys.CloseLast();
        if (!Create(keys, prog, "OPC", &sub)) return false;
    }
    {
        KeySet keys;
        HKEY appIds, app;
        if (!Open(keys, HKEY_CLASSES_ROOT, "AppID", kParentAccess, &appIds)) return false;
        if (!Create(keys, appIds, guid.c_str(), &app)) return false;
    }
    KeySet keys;
    HKEY clsids, cls, sub;
    if (!Open(keys, HKEY_CLASSES_ROOT, "CLSID", kParentAccess, &clsids)) return false;
    if (!Create(keys, clsids, guid.c_str(), &cls)) return false;
    SetText(cls, nullptr, progId, kValueChars);
    SetText(cls, "AppID", guid.c_str(), kValueChars);
    if (!Create(keys, cls, "LocalServer32", &sub)) return false;
    SetText(sub, nullptr, exePath, kPathChars);
    keys.CloseLast();
    if (!Create(keys, cls, "ProgID", &sub)) return false;
    SetText(sub, nullptr, progId, kValueChars);
    return true;
}

// Deletes name's listed subkeys, then name itself, below parent (opened
// with full access). Missing keys, and keys that still have subkeys, are
// passed over.
bool DeleteWithSubkeys(HKEY parent, const char *name, std::initializer_list<const char *> subkeys) {
    HKEY key;
    if (RegOpenKeyExA(parent, name, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return false;
    for (const char *subkey : subkeys) RegDeleteKeyA(key, subkey);
    RegCloseKey(key);
    RegDeleteKeyA(parent, name);
    return true;
}

}  // namespace

std::string GuidText(const GUID &g) {
    char text[64];
    snprintf(text, sizeof text, "{%8lx-%4x-%4x-%2x%2x-%2x%2x%2x%2x%2x%2x}",
             static_cast<unsigned long>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1],
             g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    for (char *c = text; *c; ++c) {
        if (*c == ' ') *c = '0';
    }
    return text;
}

}  // namespace halvex

using halvex::GuidText;

extern "C" BOOL __stdcall HDAUpdateRegistry(CLSID clsid, const char *progId,
                                            const char *description, const char *exePath) {
    if (!progId || !*progId) return FALSE;
    std::string guid;
    try {
        guid = GuidText(clsid);
        if (!halvex::WriteKeys(guid, progId, description, exePath)) return FALSE;
    } catch (...) {
        return FALSE;
    }

    ICatRegister *categories = nullptr;
    if (FAILED(CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_INPROC_SERVER,
                                IID_ICatRegister, reinterpret_cast<void **>(&categories)))) {
        return FALSE;
    }
    CATEGORYINFO info = {};
    info.catid = halvex::kCategoryHda10;
    info.lcid = halvex::kCategoryLocale;
    MultiByteToWideChar(CP_ACP, 0, halvex::kCategoryDescription, -1, info.szDescription,
                        sizeof info.szDescription / sizeof info.szDescription[0]);
    categories->RegisterCategories(1, &info);
    CATID implemented[1] = {halvex::kCategoryHda10};
    categories->RegisterClassImplCategories(clsid, 1, implemented);
    categories->Release();
    return TRUE;
}

extern "C" BOOL __stdcall UnregisterHDAServer(CLSID clsid, const char *progId) {
    ICatRegister *categories = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_ICatRegister, reinterpret_cast<void **>(&categories)))) {
        CATID implemented[1] = {halvex::kCategoryHda10};
        categories->UnRegisterClassImplCategories(clsid, 1, implemented);
        categories->Release();
    }
    if (!progId || !*progId) return FALSE;
    std::string guid;
    try {
        guid = GuidText(clsid);
    } catch (...) {
        return FALSE;
    }
    if (!halvex::DeleteWithSubkeys(HKEY_CLASSES_ROOT, progId, {"CLSID", "OPC"})) return FALSE;

    HKEY clsids;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID", 0, KEY_READ, &clsids) != ERROR_SUCCESS)
        return FALSE;
    // The categories manager leaves its key behind once empty; it would
    // keep the class's key alive.
    bool ok = halvex::DeleteWithSubkeys(clsids, guid.c_str(),
                                        {"LocalServer32", "ProgID", "Implemented Categories"});
    RegCloseKey(clsids);
    if (!ok) return FALSE;

    HKEY appIds;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, "AppID", 0, KEY_READ, &appIds) != ERROR_SUCCESS)
        return FALSE;
    ok = halvex::DeleteWithSubkeys(appIds, guid.c_str(), {"LocalService", "ServiceParameters"});
    RegCloseKey(appIds);
    return ok ? TRUE : FALSE;
}
