#!/usr/bin/env bash
# Builds and runs the benchmarks; each prints its own figures.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/install-deps.sh"
"$root/tools/build.sh"
if /usr/lib/wine/wine --version >/dev/null 2>&1; then arch=i686; else arch=x86_64; fi
build="$root/build/$arch"
for bench in address_space_bench read_bench read_memory_bench advise_load_bench async_read_bench \
             load_bench; do
    echo "== $bench ($arch)"
    "$build/wine-run" "$build/bin/$bench.exe"
done
