#include "Connection.h"

#include "Failure.h"
#include "ResultCodes.h"
#include "Text.h"

namespace hdaclient {
namespace {

CLSID ResolveClsid(const std::string &progId) {
    std::wstring name = Wide(progId);
    CLSID clsid = {};
    HRESULT hr = progId.size() > 0 && progId[0] == '{' ? CLSIDFromString(name.c_str(), &clsid)
                                                       : CLSIDFromProgID(name.c_str(), &clsid);
    if (FAILED(hr)) {
        throw Failure(kExitNoServer, "no server is registered as \"" + progId + "\" (" +
                                         ResultLabel(hr) + "); 'hdaclient list' shows the "
                                         "registered OPC HDA servers");
    }
    return clsid;
}

// A server that is just shutting down after its last client left may refuse
// an activation; a fresh one starts on the next attempt.
bool WorthRetrying(HRESULT hr) {
    return hr != REGDB_E_CLASSNOTREG && hr != E_NOINTERFACE && hr != E_ACCESSDENIED &&
           hr != CO_E_CLASSSTRING;
}

}  // namespace

Connection::Connection(const std::string &progId) : progId_(progId), clsid_(ResolveClsid(progId)) {
    HRESULT hr = E_FAIL;
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (attempt > 0) Sleep(500);
        hr = CoCreateInstance(clsid_, nullptr, CLSCTX_LOCAL_SERVER, IID_IOPCHDA_Server,
                              server_.OutVoid());
        if (SUCCEEDED(hr) || !WorthRetrying(hr)) break;
    }
    if (FAILED(hr)) {
        std::string what = hr == E_NOINTERFACE ? " is not an OPC HDA server" : " could not be started";
        std::string hex = ResultName(hr) ? Hex(static_cast<unsigned long>(hr)) + " " : "";
        std::string server = progId_[0] == '{' ? progId_ : progId_ + " " + GuidText(clsid_);
        throw Failure(kExitNoServer, server + what + ": " + hex +
                                         ResultLabel(hr) + ": " + StandardText(hr));
    }
    // IOPCCommon gives error texts and lets the server name its client in
    // logs; a server without it is still usable.
    if (SUCCEEDED(server_->QueryInterface(IID_IOPCCommon, common_.OutVoid()))) {
        common_->SetClientName(L"hdaclient");
    }
}

IOPCHDA_SyncRead *Connection::SyncRead() {
    if (!syncRead_) Check(server_->QueryInterface(IID_IOPCHDA_SyncRead, syncRead_.OutVoid()),
                          "QueryInterface(IOPCHDA_SyncRead)");
    return syncRead_.Get();
}

std::string Connection::ServerText(HRESULT code) {
    if (!common_) return std::string();
    LPWSTR text = nullptr;
    if (FAILED(common_->GetErrorString(code, &text))) return std::string();
    std::string result = TrimRight(TakeUtf8(text));
    // Placeholders such as "<unknown error ...>" say nothing.
    if (!result.empty() && result[0] == '<') return std::string();
    return result;
}

std::string Connection::Describe(HRESULT code) {
    std::string label = ResultLabel(code);
    std::string text = ServerText(code);
    // Servers often start their text with the code's name already.
    if (text.compare(0, label.size() + 1, label + ":") == 0) {
        text.erase(0, label.size() + 1);
        while (!text.empty() && text[0] == ' ') text.erase(0, 1);
    }
    if (text.empty()) text = StandardText(code);
    return text.empty() ? label : label + ": " + text;
}

void Connection::Check(HRESULT code, const char *call) {
    if (SUCCEEDED(code)) return;
    // The value in hex always, so that it can be looked up elsewhere.
    std::string hex = ResultName(code) ? Hex(static_cast<unsigned long>(code)) + " " : "";
    throw Failure(kExitCallFailed, std::string(call) + " failed: " + hex + Describe(code));
}

}  // namespace hdaclient
