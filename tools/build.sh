#!/bin/sh
# Configures and builds the tree into ${VYR_BUILD_DIR:-build}; VYR_SANITIZE
# (address,undefined or thread) configures that folder with those sanitizers.
# Arguments name the targets to build; without any, everything is built.
set -e
cd "$(dirname "$0")/.."
build_dir="${VYR_BUILD_DIR:-build}"
if [ ! -f "$build_dir/build.ninja" ] || [ -n "$VYR_SANITIZE" ]; then
    cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo ${VYR_SANITIZE:+-DVYR_SANITIZE=$VYR_SANITIZE}
fi
if [ $# -gt 0 ]; then
    set -- --target "$@"
fi
cmake --build "$build_dir" "$@"
