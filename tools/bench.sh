#!/usr/bin/env bash
# Builds and runs every benchmark (the list bench/CMakeLists.txt writes into
# the build tree), then prints one table of their headline figures against
# their targets, also saved as build/<arch>/bench-table.md. Each benchmark's
# output is kept in build/<arch>/bench-logs/. A benchmark that fails does not
# stop the others; the script then exits with 1. A target not met is only
# reported.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/install-deps.sh"
"$root/tools/build.sh"
if /usr/lib/wine/wine --version >/dev/null 2>&1; then arch=i686; else arch=x86_64; fi
build="$root/build/$arch"
logs="$build/bench-logs"
mapfile -t benches <"$build/bench/benchmarks.txt"
rm -rf "$logs"
mkdir -p "$logs"
started=$SECONDS
for bench in "${benches[@]}"; do
    echo "== $bench ($arch)"
    status=0
    "$build/wine-run" "$build/bin/$bench.exe" 2>&1 | tee "$logs/$bench.log" || status=${PIPESTATUS[0]}
    echo "$status" >"$logs/$bench.status"
done
echo "== ${#benches[@]} benchmarks in $(( (SECONDS - started) / 60 )) min $(( (SECONDS - started) % 60 )) s"
echo
python3 "$root/tools/bench-table.py" "$arch" "$logs" "$build/bench-table.md" "${benches[@]}"
