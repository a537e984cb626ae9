#!/usr/bin/env bash
# Creates (once) the project's Wine prefix of the flavour SONDREL_WINE_FLAVOUR (tools/wine-env.sh:
# 32-bit or 64-bit) and makes it fit for unattended GUI runs:
#   * no window-manager wait on close (X11 Driver Managed=N), Wine draws the caption itself;
#   * the Marlett font, so caption buttons are drawn as glyphs;
#   * no Mono/Gecko install prompts.
# Usage: tools/wine-prefix.sh PREFIX
set -euo pipefail
prefix=$(realpath -m "$1")
SONDREL_ROOT=$(cd "$(dirname "$0")/.." && pwd) SONDREL_WINEPREFIX=$prefix
. "$SONDREL_ROOT/tools/wine-env.sh"
# A prefix of the other architecture (made by hand, or by an older set-up) is made anew.
if [ ! -f "$prefix/.sondrel-ready" ] || ! grep -qx "#arch=$WINEARCH" "$prefix/system.reg" 2>/dev/null; then
  rm -rf "$prefix"
  mkdir -p "$(dirname "$prefix")"
  "$SONDREL_WINE" wineboot -i >/dev/null 2>&1 || true
  "$SONDREL_WINESERVER" -w
  mkdir -p "$prefix/drive_c/windows/Fonts"
  if [ -f /usr/share/wine/fonts/marlett.ttf ]; then
    cp /usr/share/wine/fonts/marlett.ttf "$prefix/drive_c/windows/Fonts/"
  fi
  cat > "$prefix/sondrel-x11.reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000
REG
  "$SONDREL_WINE" regedit /S "$prefix/sondrel-x11.reg" >/dev/null 2>&1
  "$SONDREL_WINESERVER" -w
  touch "$prefix/.sondrel-ready"
fi
