#!/bin/sh
# Runs a cross-built Windows program under Wine in the project's prefix (CTest's emulator).
: "${WINEPREFIX:=$(dirname "$0")/../build/wineprefix}"
export WINEPREFIX
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEARCH=win32
exec wine "$@"
