#!/bin/sh
# Starts the built vyr on the user's copy of the demo in
# ${XDG_DATA_HOME:-~/.local/share}/vyr/demo; the files of demo/ that the copy
# lacks are copied into it first, and those it has are left as the user
# changed them. vyr saves into the copy, so demo/ stays as it is tracked.
# Arguments go to vyr; VYR_BUILD_DIR names the build folder (default build).
set -e
cd "$(dirname "$0")/.."
build_dir="$(cd "${VYR_BUILD_DIR:-build}" && pwd)"
demo_dir="${XDG_DATA_HOME:-$HOME/.local/share}/vyr/demo"
mkdir -p "$demo_dir"
for file in demo/*; do
    [ -e "$demo_dir/${file##*/}" ] || cp -R "$file" "$demo_dir/"
done
cd "$demo_dir"
exec "$build_dir/bin/vyr" -start demo.vyr "$@"
