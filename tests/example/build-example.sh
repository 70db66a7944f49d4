#!/bin/sh
# Installs the build into BUILD/install, then configures and builds the
# example there as an application would: through find_package(Halvex) only.
#   build-example.sh CMAKE BUILD TOOLCHAIN_FILE EXAMPLE_SOURCE
# The example lands in BUILD/example; both folders are made anew each time.
set -eu
cmake=$1 build=$2 toolchain=$3 source=$4
rm -rf "$build/install" "$build/example"
"$cmake" --install "$build" --prefix "$build/install"
"$cmake" -S "$source" -B "$build/example" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_PREFIX_PATH="$build/install"
"$cmake" --build "$build/example"
