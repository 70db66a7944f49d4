#include "addrspace/HDABrowser.h"

#include <cstdint>
#include <new>

#include "addrspace/BrowseWalks.h"
#include "runtime/ClientMemory.h"
#include "runtime/EventMessages.h"
#include "runtime/EventTexts.h"
#include "runtime/ToolkitState.h"
#include "server/EnumString.h"

namespace halvex {
namespace {

constexpr HRESULT kInvalidItemId = static_cast<HRESULT>(0xC0040008);  // OPC_E_INVALIDITEMID

}  // namespace

HDABrowser::HDABrowser(IUnknown *server) : server_(server) { server_->AddRef(); }

HDABrowser::~HDABrowser() { server_->Release(); }

HRESULT HDABrowser::QueryInterface(REFIID riid, void **ppv) {
    if (!ppv) return E_INVALIDARG;
    *ppv = nullptr;
    if (IsEqualIID(riid, IID_IUnknown)) {
        SendEventMessage(evt::kBrowserQueryInterface, evt::kSfxUnknown);
    } else if (IsEqualIID(riid, IID_IOPCHDA_Browser)) {
        SendEventMessage(evt::kBrowserQueryInterface, evt::kSfxBrowser);
    } else {
        // Refused interfaces are not reported.
        return E_NOINTERFACE;
    }
    *ppv = static_cast<IOPCHDA_Browser *>(this);
    AddRef();
    return S_OK;
}

ULONG HDABrowser::AddRef() {
    LONG count = InterlockedIncrement(&refCount_);
    SendEventCount(evt::kBrowserAddRef, count);
    return static_cast<ULONG>(count);
}

ULONG HDABrowser::Release() {
    LONG count = InterlockedDecrement(&refCount_);
    SendEventCount(evt::kBrowserRelease, count);
    if (count == 0) delete this;
    return static_cast<ULONG>(count);
}

BOOL HDABrowser::AcceptFilters(DWORD, DWORD *, OPCHDA_OPERATORCODES *, VARIANT *, HRESULT *) {
    return TRUE;
}

std::string HDABrowser::JoinedPosition() const {
    std::string joined;
    for (size_t i = 0; i < position_.size(); ++i) {
        if (i > 0) joined += '.';
        joined += position_[i];
    }
    return joined;
}

HRESULT HDABrowser::GetEnum(OPCHDA_BROWSETYPE dwBrowseType, LPENUMSTRING *ppIEnumString) {
    SendEventMessage(evt::kBrowserGetEnum);
    if (!ppIEnumString) return E_INVALIDARG;
    *ppIEnumString = nullptr;
    IOPCEnumString *names = new (std::nothrow) IOPCEnumString();
    if (!names) return E_OUTOFMEMORY;
    names->AddRef();
    try {
        CsGuard guard(lock_);
        ListBrowseNames(Toolkit().items, position_, names->strings, dwBrowseType);
    } catch (...) {
        names->Release();
        return E_OUTOFMEMORY;
    }
    *ppIEnumString = names;
    return S_OK;
}

HRESULT HDABrowser::ChangeBrowsePosition(OPCHDA_BROWSEDIRECTION dwBrowseDirection,
                                         LPCWSTR szString) {
    SendEventMessage(evt::kBrowserChangePosition);
    const ItemNode &root = Toolkit().items;
    CsGuard guard(lock_);
    try {
        switch (dwBrowseDirection) {
        case OPCHDA_BROWSE_UP:
            if (position_.empty()) return E_FAIL;
            position_.pop_back();
            return S_OK;
        case OPCHDA_BROWSE_DOWN: {
            // Only the last segment of the name moves the position.
            // A name without an exact form in the code page names no node.
            std::string segment;
            if (!WideToAnsiExact(szString, segment)) return E_FAIL;
            size_t dot = segment.rfind('.');
            if (dot != std::string::npos) segment.erase(0, dot + 1);
            // The path is looked up as a whole, so that an empty segment
            // names the current node itself, as the path's split gives it.
            std::string path = position_.empty() ? segment : JoinedPosition() + '.' + segment;
            if (!FindBrowsePath(root, path)) return E_FAIL;
            position_.push_back(std::move(segment));
            return S_OK;
        }
        case OPCHDA_BROWSE_DIRECT: {
            std::string path;
            if (!WideToAnsiExact(szString, path)) return E_FAIL;
            if (!FindBrowsePath(root, path)) return E_FAIL;
            std::vector<std::string> segments;
            SplitItemId(path, segments);
            position_.swap(segments);
            return S_OK;
        }
        default:
            return E_FAIL;
        }
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT HDABrowser::GetItemID(LPCWSTR szNode, LPWSTR *pszItemID) {
    SendEventMessage(evt::kBrowserGetItemID);
    if (!pszItemID) return E_INVALIDARG;
    *pszItemID = nullptr;
    try {
        std::string node;
        if (!WideToAnsiExact(szNode, node)) return kInvalidItemId;
        CsGuard guard(lock_);
        std::string result = JoinedPosition();
        if (!node.empty()) {
            if (!position_.empty()) result += '.';
            result += node;
            if (!FindBrowsePath(Toolkit().items, result)) return kInvalidItemId;
        }
        *pszItemID = Toolkit().AnsiToWide(result.c_str(), TRUE);
        return *pszItemID ? S_OK : E_OUTOFMEMORY;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT HDABrowser::GetBranchPosition(LPWSTR *pszBranchPos) {
    SendEventMessage(evt::kBrowserGetBranchPosition);
    if (!pszBranchPos) return E_INVALIDARG;
    *pszBranchPos = nullptr;
    try {
        CsGuard guard(lock_);
        std::string text = position_.empty() ? std::string("Root") : JoinedPosition();
        *pszBranchPos = Toolkit().AnsiToWide(text.c_str(), TRUE);
        return *pszBranchPos ? S_OK : E_OUTOFMEMORY;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT CreateBrowser(IUnknown *server, DWORD count, DWORD *attributeIds,
                      OPCHDA_OPERATORCODES *operators, VARIANT *filterValues,
                      IOPCHDA_Browser **browser, HRESULT **errors) {
    if (browser) *browser = nullptr;
    if (errors) *errors = nullptr;
    if (!browser || !errors || !server) return E_INVALIDARG;
    if (count > 0 && (!attributeIds || !operators || !filterValues)) return E_INVALIDARG;

    // The error array comes first: when it cannot be had, no browser has
    // been made (and no reference taken on the server) yet.
    HRESULT *errorArray = nullptr;
    if (count > 0) {
        if (count > SIZE_MAX / sizeof(HRESULT)) return E_OUTOFMEMORY;
        errorArray = static_cast<HRESULT *>(Toolkit().AllocClientMemory(count * sizeof(HRESULT)));
        if (!errorArray) return E_OUTOFMEMORY;
        for (DWORD i = 0; i < count; ++i) errorArray[i] = S_OK;
    }
    HDABrowser *created = new (std::nothrow) HDABrowser(server);
    if (!created) {
        Toolkit().FreeStringMemory(errorArray, TRUE);
        return E_OUTOFMEMORY;
    }
    created->AcceptFilters(count, attributeIds, operators, filterValues, errorArray);
    *browser = created;
    *errors = errorArray;
    return S_OK;
}

}  // namespace halvex
