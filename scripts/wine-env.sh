# Sourced by the Wine scripts: one place for the Wine launcher and its environment.
WINE_DIR=/usr/lib/wine
WINE="$WINE_DIR/wine64"
WINESERVER="$WINE_DIR/wineserver"
export WINEDEBUG="${WINEDEBUG:--all}"
# winemenubuilder would turn Start Menu shortcuts made by tests into desktop
# entries of the Linux user.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml,winemenubuilder.exe=}"
export WINEARCH=win64
