// A program that starts the toolkit, creates one server object through its
// class object and exits at once, while the threads the toolkit started may
// still be starting. Exit code 0 unless a step failed (1 to 3); a crash
// while exiting shows as another status.
#include <windows.h>

#include "Halvex.h"

namespace {

// A class identifier that nothing else registers.
const CLSID kShortLivedClsid = {
    0x5a1b7c40, 0x2f0e, 0x4c1d, {0x9a, 0x61, 0x3e, 0x4b, 0x10, 0x7d, 0x22, 0x10}};

}  // namespace

int main() {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (!InitHalvex(kShortLivedClsid, 10)) return 1;
    IClassFactory *factory = nullptr;
    if (FAILED(CoGetClassObject(kShortLivedClsid, CLSCTX_LOCAL_SERVER, nullptr,
                                IID_IClassFactory, reinterpret_cast<void **>(&factory))))
        return 2;
    IUnknown *server = nullptr;
    HRESULT hr = factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void **>(&server));
    factory->Release();
    if (FAILED(hr)) return 3;
    server->Release();
    CoUninitialize();
    return 0;
}
