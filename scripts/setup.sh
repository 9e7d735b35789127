#!/bin/sh
# Installs the Debian packages the build and the tests need, once.
# Quiet and idempotent: packages already present are not touched.
set -eu

PACKAGES="
cmake ninja-build g++ make pkg-config
clang libclang-rt-14-dev
googletest libgtest-dev libbenchmark-dev
libexpat1-dev zlib1g-dev libsqlite3-dev libcpp-httplib-dev nlohmann-json3-dev libflxmlrpc-dev dpkg-dev
g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 libz-mingw-w64-dev
wine64 xvfb xauth
python3
chromium
msitools wixl osslsigncode
"

missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done

[ -z "$missing" ] && exit 0

SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi

echo "setup: installing$missing"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq >/dev/null
# shellcheck disable=SC2086
$SUDO apt-get install -y -qq $missing >/dev/null
