// list: the servers of the OPC HDA category; status: one server's status.
#include <windows.h>
#include <comcat.h>

#include <algorithm>
#include <cstdio>

#include "CommandSupport.h"
#include "Commands.h"
#include "ComPtr.h"
#include "Connection.h"
#include "Failure.h"
#include "RequestTime.h"
#include "Table.h"
#include "Text.h"

namespace hdaclient {
namespace {

const CATID kHdaCategory = {0x7DE5B060, 0xE089, 0x11D2, {0xA5, 0xE6, 0x00, 0x00, 0x86, 0x33, 0x93, 0x99}};

struct ServerEntry {
    std::string progId, clsid, name;
};

// The class's name: the default value of its CLSID key.
std::string ClassName(const std::string &clsid) {
    std::wstring key = Wide("CLSID\\" + clsid);
    wchar_t value[256] = {};
    DWORD size = sizeof value;
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value,
                     &size) != ERROR_SUCCESS) {
        return std::string();
    }
    return Utf8(value);
}

std::vector<ServerEntry> CategoryMembers() {
    ComPtr<ICatInformation> categories;
    HRESULT hr = CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_ICatInformation, categories.OutVoid());
    if (FAILED(hr)) throw Failure(kExitCallFailed, "the component category manager is not available: " + Hex(hr));
    CATID implemented[] = {kHdaCategory};
    ComPtr<IEnumGUID> classes;
    hr = categories->EnumClassesOfCategories(1, implemented, static_cast<ULONG>(-1), nullptr,
                                             classes.Out());
    if (FAILED(hr)) throw Failure(kExitCallFailed, "EnumClassesOfCategories failed: " + Hex(hr));
    std::vector<ServerEntry> servers;
    CLSID clsid;
    ULONG fetched = 0;
    while (classes && classes->Next(1, &clsid, &fetched) == S_OK && fetched == 1) {
        ServerEntry entry;
        entry.clsid = GuidText(clsid);
        LPOLESTR progId = nullptr;
        entry.progId = SUCCEEDED(ProgIDFromCLSID(clsid, &progId)) ? TakeUtf8(progId) : "(none)";
        entry.name = ClassName(entry.clsid);
        servers.push_back(entry);
    }
    std::sort(servers.begin(), servers.end(), [](const ServerEntry &a, const ServerEntry &b) {
        return Lower(a.progId) < Lower(b.progId);
    });
    return servers;
}

std::string StateText(OPCHDA_SERVERSTATUS state) {
    switch (state) {
    case OPCHDA_UP: return "up";
    case OPCHDA_DOWN: return "down";
    case OPCHDA_INDETERMINATE: return "indeterminate";
    default: return "unknown (" + std::to_string(static_cast<int>(state)) + ")";
    }
}

std::string OptionalTime(FILETIME *time) {
    std::string text = time ? FormatFileTime(*time) : "(not given)";
    CoTaskMemFree(time);
    return text;
}

std::string OrNone(const std::string &text) { return text.empty() ? "(none)" : text; }

}  // namespace

int RunList(const Arguments &args) {
    RejectPositional(args);
    std::vector<ServerEntry> servers = CategoryMembers();
    if (servers.empty()) {
        printf("No OPC HDA servers are registered on this machine.\n");
        return kExitOk;
    }
    Table table({"ProgID", "CLSID", "Name"}, 0);
    for (const ServerEntry &server : servers) table.Add({server.progId, server.clsid, server.name});
    table.Print();
    printf("\n%s in the OPC HDA 1.0 category\n", Count(servers.size(), "server", "servers").c_str());
    return kExitOk;
}

int RunStatus(const Arguments &args) {
    RejectPositional(args);
    Connection connection(RequireServer(args));
    OPCHDA_SERVERSTATUS state = OPCHDA_INDETERMINATE;
    FILETIME *current = nullptr, *start = nullptr;
    WORD major = 0, minor = 0, build = 0;
    DWORD maxValues = 0;
    LPWSTR statusText = nullptr, vendorText = nullptr;
    connection.Check(connection.Server()->GetHistorianStatus(&state, &current, &start, &major,
                                                             &minor, &build, &maxValues,
                                                             &statusText, &vendorText),
                     "GetHistorianStatus");
    std::string status = TakeUtf8(statusText), vendor = TakeUtf8(vendorText);
    PrintField("Server", connection.ProgId() + " " + GuidText(connection.Clsid()));
    PrintField("State", StateText(state));
    PrintField("Current", OptionalTime(current));
    PrintField("Started", OptionalTime(start));
    PrintField("Version", std::to_string(major) + "." + std::to_string(minor) + "." +
                              std::to_string(build));
    PrintField("Max values", maxValues ? std::to_string(maxValues) + " per item and call"
                                       : "no limit");
    PrintField("Vendor", OrNone(vendor));
    PrintField("Status", OrNone(status));
    return kExitOk;
}

}  // namespace hdaclient
