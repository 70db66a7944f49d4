// An IMallocSpy that passes every call through unchanged, for a static spy
// object to derive from and override what it watches, and one that counts.
#ifndef HALVEX_MALLOC_SPY_BASE_H
#define HALVEX_MALLOC_SPY_BASE_H

#include <windows.h>
#include <objidl.h>

namespace testsupport {

class MallocSpyBase : public IMallocSpy {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IMallocSpy) ? this : nullptr;
        return *ppv ? S_OK : E_NOINTERFACE;
    }
    // A static object: the counts are nominal.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    SIZE_T STDMETHODCALLTYPE PreAlloc(SIZE_T cb) override { return cb; }
    void *STDMETHODCALLTYPE PostAlloc(void *p) override { return p; }
    void *STDMETHODCALLTYPE PreFree(void *p, BOOL) override { return p; }
    void STDMETHODCALLTYPE PostFree(BOOL) override {}
    SIZE_T STDMETHODCALLTYPE PreRealloc(void *p, SIZE_T cb, void **actual, BOOL) override {
        *actual = p;
        return cb;
    }
    void *STDMETHODCALLTYPE PostRealloc(void *p, BOOL) override { return p; }
    void *STDMETHODCALLTYPE PreGetSize(void *p, BOOL) override { return p; }
    SIZE_T STDMETHODCALLTYPE PostGetSize(SIZE_T cb, BOOL) override { return cb; }
    void *STDMETHODCALLTYPE PreDidAlloc(void *p, BOOL) override { return p; }
    int STDMETHODCALLTYPE PostDidAlloc(void *, BOOL, int actual) override { return actual; }
    void STDMETHODCALLTYPE PreHeapMinimize() override {}
    void STDMETHODCALLTYPE PostHeapMinimize() override {}
};

// Counts task allocations outstanding in this process.
class OutstandingAllocations : public MallocSpyBase {
public:
    LONG Count() const { return count_; }
    void *STDMETHODCALLTYPE PostAlloc(void *p) override {
        if (p) InterlockedIncrement(&count_);
        return p;
    }
    void *STDMETHODCALLTYPE PreFree(void *p, BOOL spyed) override {
        if (p && spyed) InterlockedDecrement(&count_);
        return p;
    }

private:
    volatile LONG count_ = 0;
};

}  // namespace testsupport

#endif
