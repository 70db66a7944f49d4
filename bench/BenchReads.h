// The client side of the benchmarks' reads: the server handles of a list of
// items, and freeing a read's results as a client does.
#ifndef HALVEX_BENCH_READS_H
#define HALVEX_BENCH_READS_H

#include <windows.h>

#include <string>
#include <vector>

#include "BenchProcess.h"
#include "opchda.h"

namespace bench {

// The server handles of `itemIds`, with client handles firstClient + i;
// ends the program unless every item is found.
inline std::vector<OPCHANDLE> ItemHandles(IOPCHDA_Server *server,
                                          const std::vector<std::string> &itemIds,
                                          OPCHANDLE firstClient) {
    const DWORD count = static_cast<DWORD>(itemIds.size());
    std::vector<std::wstring> ids(count);
    std::vector<LPWSTR> pointers(count);
    std::vector<OPCHANDLE> clients(count);
    for (DWORD i = 0; i < count; ++i) {
        ids[i].assign(itemIds[i].begin(), itemIds[i].end());
        pointers[i] = &ids[i][0];
        clients[i] = firstClient + i;
    }
    OPCHANDLE *handles = nullptr;
    HRESULT *errors = nullptr;
    HRESULT hr = server->GetItemHandles(count, pointers.data(), clients.data(), &handles, &errors);
    if (hr != S_OK) Fail("GetItemHandles", hr);
    std::vector<OPCHANDLE> result(handles, handles + count);
    CoTaskMemFree(handles);
    CoTaskMemFree(errors);
    return result;
}

inline void FreeResults(OPCHDA_ITEM *items, HRESULT *errors, DWORD count) {
    for (DWORD i = 0; i < count; ++i) {
        OPCHDA_ITEM &item = items[i];
        for (DWORD j = 0; j < item.dwCount; ++j) VariantClear(&item.pvDataValues[j]);
        CoTaskMemFree(item.pftTimeStamps);
        CoTaskMemFree(item.pdwQualities);
        CoTaskMemFree(item.pvDataValues);
    }
    CoTaskMemFree(items);
    CoTaskMemFree(errors);
}

}  // namespace bench

#endif
