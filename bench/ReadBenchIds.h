// Names shared by the read benchmark and its server program.
#ifndef HALVEX_READ_BENCH_IDS_H
#define HALVEX_READ_BENCH_IDS_H

#include <windows.h>

namespace readbench {

// The benchmark's own in-process toolkit class (never in the registry).
const CLSID kInprocClsid = {0x5a1b7c40, 0x2f0e, 0x4c1d, {0x9a, 0x61, 0x3e, 0x4b, 0x10, 0x7d, 0x22, 0x21}};
// The bench server's toolkit class, registered by its /RegServer.
const CLSID kServerClsid = {0x5a1b7c40, 0x2f0e, 0x4c1d, {0x9a, 0x61, 0x3e, 0x4b, 0x10, 0x7d, 0x22, 0x22}};
// The bench server's bare reader, a plain COM class of the same program.
const CLSID kBareClsid = {0x5a1b7c40, 0x2f0e, 0x4c1d, {0x9a, 0x61, 0x3e, 0x4b, 0x10, 0x7d, 0x22, 0x23}};
constexpr const char kServerProgId[] = "Halvex.ReadBench.1";
constexpr const char kBareProgId[] = "Halvex.ReadBenchBare.1";
constexpr const char kServerExe[] = "read_bench_server.exe";

// The items read; GridSource gets one more, which has no data.
constexpr int kItems = 9;
constexpr const char *kItemIds[kItems] = {"Bench.T0", "Bench.T1", "Bench.T2", "Bench.T3", "Bench.T4",
                                          "Bench.T5", "Bench.T6", "Bench.T7", "Bench.T8"};
constexpr const char kEmptyItemId[] = "Bench.Empty";

// Every read spans kValues grid stamps from kStartTicks on (10-second grid).
constexpr DWORD kValues = 5000;
constexpr unsigned long long kStepTicks = 100000000ull;
constexpr unsigned long long kStartTicks = 133000000000000000ull;  // a grid point in 2022
constexpr unsigned long long kEndTicks = kStartTicks + (kValues - 1) * kStepTicks;

}  // namespace readbench

#endif
