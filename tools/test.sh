#!/usr/bin/env bash
# Builds both trees and runs the test suite under Wine.
# The 32-bit suite runs where the machine can execute 32-bit programs; where
# it cannot, the 32-bit build gets its Wine-free checks and the whole suite
# runs on the 64-bit build.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/install-deps.sh" || exit 1
"$root/tools/build.sh" || exit 1

status=0
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
    ctest --test-dir "$root/build/i686" -j2 --output-on-failure --timeout 120 || status=1
else
    echo "== this machine cannot execute 32-bit programs: 32-bit build checked without Wine"
    ctest --test-dir "$root/build/i686" --output-on-failure || status=1
    echo "== full suite on the 64-bit build"
    ctest --test-dir "$root/build/x86_64" -j2 --output-on-failure --timeout 120 || status=1
fi
exit $status
