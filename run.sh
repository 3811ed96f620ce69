#!/bin/sh
# Installs what is missing, builds, and starts vyr on the built-in demo in
# demo/. Needs a display, unless QT_QPA_PLATFORM names a platform to use.
set -e
cd "$(dirname "$0")"
if [ -z "$DISPLAY" ] && [ -z "$WAYLAND_DISPLAY" ] && [ -z "$QT_QPA_PLATFORM" ]; then
    echo "run.sh: no display to show vyr on (set DISPLAY, or QT_QPA_PLATFORM=offscreen to run without one)" >&2
    exit 1
fi
tools/install-deps.sh
tools/build.sh
build_dir="$(cd "${VYR_BUILD_DIR:-build}" && pwd)"
cd demo
exec "$build_dir/bin/vyr" -start demo.vyr "$@"
