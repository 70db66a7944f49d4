#!/usr/bin/env bash
# Configures and builds the 32-bit and 64-bit trees under build/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
for arch in i686 x86_64; do
    dir="$root/build/$arch"
    cmake -S "$root" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$arch.cmake" \
          -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$dir" -j2
done
