// The class object registered for the application's class identifier.
#ifndef HALVEX_CLASS_FACTORY_H
#define HALVEX_CLASS_FACTORY_H

#include <windows.h>
#include <unknwn.h>

namespace halvex {

class ClassFactory : public IClassFactory {
public:
    virtual ~ClassFactory() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override;
    // The count is kept but never frees the object: the library frees it
    // when it unloads.
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown *outer, REFIID riid, void **ppv) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

private:
    volatile LONG refCount_ = 0;
};

}  // namespace halvex

#endif
