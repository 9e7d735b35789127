#!/bin/sh
# Unpacks Debian's source of the XmlRpc++ library (package flxmlrpc) into
# DEST, for the Windows build to cross-compile (third-party source is never
# committed). Idempotent: nothing is done once DEST/.unpacked exists.
#   scripts/flxmlrpc-source.sh DEST
# Adds a deb-src entry for the archive the system's packages come from when
# the system has none, then runs "apt-get source".
set -eu

dest=$1
[ -f "$dest/.unpacked" ] && exit 0

SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi

has_deb_src() {
    grep -rqs -E '^(deb-src|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/
}
if ! has_deb_src; then
    # The same archive and suite as the binary packages.
    suite=$(. /etc/os-release && echo "$VERSION_CODENAME")
    printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: %s\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
        "$suite" | $SUDO tee /etc/apt/sources.list.d/varnel-deb-src.sources >/dev/null
    $SUDO apt-get update -qq >/dev/null
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/flxmlrpc.XXXXXX")
trap 'rm -rf "$work"' EXIT
(cd "$work" && apt-get source -qq --download-only flxmlrpc >/dev/null 2>&1 || apt-get source -qq --download-only flxmlrpc)
dsc=$(ls "$work"/flxmlrpc_*.dsc | head -n 1)
rm -rf "$dest"
dpkg-source --no-check -x "$dsc" "$work/src" >/dev/null
mkdir -p "$(dirname "$dest")"
mv "$work/src" "$dest"
touch "$dest/.unpacked"
