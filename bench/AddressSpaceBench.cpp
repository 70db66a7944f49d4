// Address-space scale: defining a million items, and the per-lookup cost of
// GetItemHandles at a thousand and at a million items.
// Each measurement runs in a child process of its own, since a process has
// one address space; the parent prints the table and the lookup ratios.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "BenchClock.h"
#include "BenchProcess.h"
#include "BenchTable.h"
#include "Halvex.h"
#include "opchda.h"

namespace {

using bench::Seconds;

// Branches index their children in hash tables, so the lookup itself costs
// the same at a million items as at a thousand: with the IDs drawn from a
// set of 1,000, what the larger index adds is noise and longer IDs.
constexpr double kTargetLookupRatio = 1.5;

const CLSID kBenchClsid = {0x5a1b7c40, 0x2f0e, 0x4c1d, {0x9a, 0x61, 0x3e, 0x4b, 0x10, 0x7d, 0x22, 0x0b}};

std::string FlatId(int i) { return "Flat.Tag" + std::to_string(i); }

std::string TreeId(int i) {
    return "S" + std::to_string(i / 10000) + ".U" + std::to_string(i / 100 % 100) + ".T" +
           std::to_string(i % 100);
}

// Seconds to define n items, flat (one branch) or in three levels.
double Define(int n, bool flat) {
    std::vector<std::string> ids;
    ids.reserve(n);
    for (int i = 0; i < n; ++i) ids.push_back(flat ? FlatId(i) : TreeId(i));
    double start = Seconds();
    for (const std::string &id : ids) {
        if (DefineHDAItem(id.c_str()) == 0xFFFFFFFF) {
            fprintf(stderr, "definition of %s failed\n", id.c_str());
            exit(1);
        }
    }
    return Seconds() - start;
}

// Microseconds per item looked up by GetItemHandles with n items defined.
// The IDs asked for are drawn from all n items, or from a fixed set of
// 1,000 of them: the first shows what memory latency adds once the index
// outgrows the caches, the second the cost of the lookup itself.
double Lookup(int n, bool workingSet) {
    Define(n, true);
    InitHalvex(kBenchClsid, 1000);
    IClassFactory *factory = nullptr;
    IOPCHDA_Server *server = nullptr;
    if (FAILED(CoGetClassObject(kBenchClsid, CLSCTX_LOCAL_SERVER, nullptr, IID_IClassFactory,
                                reinterpret_cast<void **>(&factory))) ||
        FAILED(factory->CreateInstance(nullptr, IID_IOPCHDA_Server,
                                       reinterpret_cast<void **>(&server)))) {
        fprintf(stderr, "no server object\n");
        exit(1);
    }
    constexpr int kBatch = 1000, kBatches = 200;
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> pickAny(0, n - 1);
    std::vector<int> chosen;
    for (int i = 0; i < kBatch; ++i) chosen.push_back(pickAny(rng));
    std::uniform_int_distribution<int> pickChosen(0, kBatch - 1);
    auto pick = [&](std::mt19937 &r) { return workingSet ? chosen[pickChosen(r)] : pickAny(r); };
    std::vector<std::wstring> ids(kBatch);
    std::vector<LPWSTR> pointers(kBatch);
    std::vector<OPCHANDLE> clients(kBatch, 1);
    double total = 0;
    for (int b = 0; b < kBatches; ++b) {
        for (int i = 0; i < kBatch; ++i) {
            std::string id = FlatId(pick(rng));
            ids[i].assign(id.begin(), id.end());
            pointers[i] = &ids[i][0];
        }
        OPCHANDLE *handles = nullptr;
        HRESULT *errors = nullptr;
        double start = Seconds();
        HRESULT hr = server->GetItemHandles(kBatch, pointers.data(), clients.data(), &handles,
                                            &errors);
        total += Seconds() - start;
        if (hr != S_OK) {
            fprintf(stderr, "GetItemHandles: 0x%08lx\n", static_cast<unsigned long>(hr));
            exit(1);
        }
        HRESULT *releaseErrors = nullptr;
        server->ReleaseItemHandles(kBatch, handles, &releaseErrors);
        CoTaskMemFree(handles);
        CoTaskMemFree(errors);
        CoTaskMemFree(releaseErrors);
    }
    server->Release();
    factory->Release();
    return total / (kBatch * kBatches) * 1e6;
}

double RunChild(const char *mode, int n) {
    char temp[MAX_PATH], file[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    GetTempFileNameA(temp, "hvb", 0, file);
    // A child that did not start leaves the file empty.
    bench::RunProgram("\"" + bench::ThisProgram() + "\" " + mode + " " + std::to_string(n) +
                      " \"" + file + "\"");
    double value = -1;
    if (FILE *f = fopen(file, "r")) {
        if (fscanf(f, "%lf", &value) != 1) value = -1;
        fclose(f);
    }
    DeleteFileA(file);
    return value;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc == 4) {
        int n = atoi(argv[2]);
        double value = strncmp(argv[1], "lookup", 6) == 0
                           ? Lookup(n, strcmp(argv[1], "lookup-set") == 0)
                           : Define(n, strcmp(argv[1], "flat") == 0);
        FILE *f = fopen(argv[3], "w");
        fprintf(f, "%.6f\n", value);
        fclose(f);
        return 0;
    }
    const int kMillion = 1000000;
    double flat = RunChild("flat", kMillion);
    printf("define 1,000,000 items, flat (one branch):   %8.2f s\n", flat);
    double tree = RunChild("tree", kMillion);
    printf("define 1,000,000 items, three levels:        %8.2f s\n", tree);
    double small = RunChild("lookup", 1000);
    printf("GetItemHandles per item, 1,000 items:        %8.3f us\n", small);
    double large = RunChild("lookup", kMillion);
    printf("GetItemHandles per item, 1,000,000 items:    %8.3f us  (IDs drawn from all items)\n",
           large);
    double largeSet = RunChild("lookup-set", kMillion);
    printf("GetItemHandles per item, 1,000,000 items:    %8.3f us  (IDs from a set of 1,000)\n",
           largeSet);
    printf("lookup ratio, IDs from all items:            %8.2f\n", large / small);
    printf("lookup ratio, IDs from a set of 1,000:       %8.2f  (target <= %.1f)\n",
           largeSet / small, kTargetLookupRatio);
    if (flat < 0 || tree < 0 || small <= 0 || large < 0 || largeSet < 0) return 1;
    bench::TableRow("GetItemHandles per item, 1,000,000 items (IDs from a set of 1,000) / "
                    "1,000 items",
                    bench::Format("%.2f (%.3f / %.3f us)", largeSet / small, largeSet, small),
                    bench::Format("<= %.1f", kTargetLookupRatio),
                    largeSet / small <= kTargetLookupRatio);
    return 0;
}
