// The string enumerator that the browser hands out: a private copy of the
// names it found, delivered as wide strings from the task allocator.
#ifndef HALVEX_ENUM_STRING_H
#define HALVEX_ENUM_STRING_H

#include <windows.h>
#include <objidl.h>

#include <string>
#include <vector>

#include "runtime/CriticalSection.h"

namespace halvex {

class IOPCEnumString : public IEnumString {
public:
    // Starts with a count of 0: the creator fills `strings` and takes the
    // first reference before handing it out.
    IOPCEnumString() = default;
    virtual ~IOPCEnumString() = default;
    IOPCEnumString(const IOPCEnumString &) = delete;
    IOPCEnumString &operator=(const IOPCEnumString &) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE Next(ULONG celt, LPOLESTR *rgelt, ULONG *pceltFetched) override;
    HRESULT STDMETHODCALLTYPE Skip(ULONG celt) override;
    HRESULT STDMETHODCALLTYPE Reset() override;
    HRESULT STDMETHODCALLTYPE Clone(IEnumString **ppenum) override;

    // Filled before the enumerator is handed out; unchanged afterwards.
    std::vector<std::string> strings;
    size_t position = 0;  // index of the next string to deliver; guarded by lock_
    volatile LONG refCount = 0;

private:
    // A client makes its calls one at a time, but a faulty one that does not
    // must not make the cursor run past the strings.
    CriticalSection lock_;
};

}  // namespace halvex

#endif
