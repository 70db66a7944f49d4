// The browser a client obtains from IOPCHDA_Server::CreateBrowse: a position
// in the item tree, and the names at and below it. It keeps no copy of the
// tree; every call walks the live tree.
#ifndef HALVEX_HDA_BROWSER_H
#define HALVEX_HDA_BROWSER_H

#include <string>
#include <vector>

#include "opchda.h"
#include "runtime/CriticalSection.h"

namespace halvex {

class HDABrowser : public IOPCHDA_Browser {
public:
    // Holds a reference on server until destroyed; starts with a count of 1,
    // the reference that CreateBrowse hands to the client.
    explicit HDABrowser(IUnknown *server);
    virtual ~HDABrowser();
    HDABrowser(const HDABrowser &) = delete;
    HDABrowser &operator=(const HDABrowser &) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE GetEnum(OPCHDA_BROWSETYPE dwBrowseType,
                                      LPENUMSTRING *ppIEnumString) override;
    HRESULT STDMETHODCALLTYPE ChangeBrowsePosition(OPCHDA_BROWSEDIRECTION dwBrowseDirection,
                                                   LPCWSTR szString) override;
    HRESULT STDMETHODCALLTYPE GetItemID(LPCWSTR szNode, LPWSTR *pszItemID) override;
    HRESULT STDMETHODCALLTYPE GetBranchPosition(LPWSTR *pszBranchPos) override;

    // Accepts any filters without looking at them: the browser keeps none,
    // and every browse lists all nodes.
    BOOL AcceptFilters(DWORD count, DWORD *attributeIds, OPCHDA_OPERATORCODES *operators,
                       VARIANT *filterValues, HRESULT *errors);

private:
    // The segments of the position joined by single dots; under lock_.
    std::string JoinedPosition() const;

    IUnknown *server_;
    volatile LONG refCount_ = 1;
    // The segments from the root down to the current node; empty at the
    // root. Guarded by lock_, so that calls of a client that does not wait
    // for one before making the next cannot corrupt it.
    std::vector<std::string> position_;
    CriticalSection lock_;
};

// CreateBrowse after its event text: creates a browser for the connection
// `server` (which it keeps referenced) and the per-filter error array, all
// S_OK. A null output, or a count with a null filter array, gives
// E_INVALIDARG; no memory gives E_OUTOFMEMORY; both outputs are null then.
// A count of 0 gives a null error array.
HRESULT CreateBrowser(IUnknown *server, DWORD count, DWORD *attributeIds,
                      OPCHDA_OPERATORCODES *operators, VARIANT *filterValues,
                      IOPCHDA_Browser **browser, HRESULT **errors);

}  // namespace halvex

#endif
