#!/bin/sh
# Installs what is missing, builds everything and runs every test.
set -e
cd "$(dirname "$0")"
tools/install-deps.sh
tools/build.sh
cd "${VYR_BUILD_DIR:-build}"
ctest --output-on-failure -j "$(nproc)"
