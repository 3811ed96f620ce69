#!/bin/sh
# Configures and builds the tree into ${VYR_BUILD_DIR:-build}.
set -e
cd "$(dirname "$0")/.."
build_dir="${VYR_BUILD_DIR:-build}"
if [ ! -f "$build_dir/build.ninja" ]; then
    cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build_dir"
