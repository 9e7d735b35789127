# Sourced by the Wine scripts: one place for the Wine launcher and its environment.
WINE_DIR=/usr/lib/wine
WINE="$WINE_DIR/wine64"
WINESERVER="$WINE_DIR/wineserver"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export WINEARCH=win64
