#!/usr/bin/env bash
# Builds, registers the example server and lets a client in another process
# show what it sees.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/install-deps.sh"
"$root/tools/build.sh"
if /usr/lib/wine/wine --version >/dev/null 2>&1; then arch=i686; else arch=x86_64; fi
build="$root/build/$arch"
run="$build/wine-run"
"$run" "$build/bin/halvex_test_server.exe" /RegServer
"$run" "$build/bin/probe_client.exe" Halvex.TestServer.1 "$(
    "$run" winepath -w "$build/bin/halvex_test_server.log")"
