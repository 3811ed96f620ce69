#!/bin/sh
# Installs, as root on Debian 12, the packages that the build and the tests
# need and that are not installed yet.
set -e
packages="cmake ninja-build g++ ccache mold pkg-config bison
xvfb xdotool
qtbase5-dev qtbase5-dev-tools qttools5-dev-tools libqt5svg5-dev libqwt-qt5-dev
libgtest-dev libgmock-dev googletest libbenchmark-dev
libusb-1.0-0-dev dbus dbus-x11 python3 python3-canmatrix python3-can python3-dbusmock python3-dbus libglib2.0-bin can-utils
fonts-liberation lua5.4
imagemagick libxml2-utils"
missing=""
for p in $packages; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done
[ -z "$missing" ] && exit 0
if [ "$(id -u)" != 0 ]; then
    echo "missing packages:$missing (run as root to install them)" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends $missing
