#!/bin/sh
# Installs what is missing, builds, and starts vyr on the built-in demo: on
# the user's copy of demo/ (tools/run-demo.sh). Needs a display, unless
# QT_QPA_PLATFORM names a platform to use.
set -e
cd "$(dirname "$0")"
if [ -z "$DISPLAY" ] && [ -z "$WAYLAND_DISPLAY" ] && [ -z "$QT_QPA_PLATFORM" ]; then
    echo "run.sh: no display to show vyr on (set DISPLAY, or QT_QPA_PLATFORM=offscreen to run without one)" >&2
    exit 1
fi
tools/install-deps.sh
# Only the programs the demo starts, not the tests and benchmarks.
tools/build.sh vyr vrbus
exec tools/run-demo.sh "$@"
