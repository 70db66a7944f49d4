// A small OPC HDA client that shows a server built on Halvex at work: it
// activates the server through the registry, asks for each interface, and
// prints what the server's event log recorded meanwhile.
//   probe_client PROGID [LOGFILE]
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "opccomn.h"
#include "opchda.h"

namespace {

struct Named {
    const IID *iid;
    const char *name;
};

const Named kInterfaces[] = {
    {&IID_IOPCHDA_Server, "IOPCHDA_Server"},
    {&IID_IOPCCommon, "IOPCCommon"},
    {&IID_IOPCHDA_SyncRead, "IOPCHDA_SyncRead"},
    {&IID_IOPCHDA_AsyncRead, "IOPCHDA_AsyncRead"},
    {&IID_IConnectionPointContainer, "IConnectionPointContainer"},
    {&IID_IOPCHDA_Browser, "IOPCHDA_Browser"},
};

long long FileSize(const std::string &path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    return in ? static_cast<long long>(in.tellg()) : 0;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: probe_client PROGID [LOGFILE]\n");
        return 2;
    }
    std::string log = argc > 2 ? argv[2] : "";
    long long logStart = log.empty() ? 0 : FileSize(log);

    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    wchar_t progId[256];
    MultiByteToWideChar(CP_ACP, 0, argv[1], -1, progId, 256);
    CLSID clsid;
    HRESULT hr = CLSIDFromProgID(progId, &clsid);
    if (FAILED(hr)) {
        printf("%s is not registered (0x%08lx)\n", argv[1], static_cast<unsigned long>(hr));
        return 1;
    }

    IUnknown *first = nullptr, *second = nullptr;
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown,
                          reinterpret_cast<void **>(&first));
    if (FAILED(hr)) {
        printf("activation failed (0x%08lx)\n", static_cast<unsigned long>(hr));
        return 1;
    }
    printf("connected to %s\n", argv[1]);
    for (const Named &n : kInterfaces) {
        IUnknown *p = nullptr;
        hr = first->QueryInterface(*n.iid, reinterpret_cast<void **>(&p));
        printf("  %-26s %s\n", n.name, SUCCEEDED(hr) ? "obtained" : "refused");
        if (p) p->Release();
    }
    CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown,
                     reinterpret_cast<void **>(&second));
    printf("second client %s\n", second ? "connected" : "failed");
    if (second) second->Release();
    first->Release();
    Sleep(500);  // let the server write its last lines

    if (!log.empty()) {
        std::ifstream in(log, std::ios::binary);
        in.seekg(logStart);
        printf("server event messages:\n");
        std::string line;
        while (std::getline(in, line)) printf("  %s\n", line.c_str());
    }
    CoUninitialize();
    return 0;
}
