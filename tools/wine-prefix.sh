#!/usr/bin/env bash
# Creates (once) the project's 32-bit Wine prefix and makes it fit for unattended GUI runs:
#   * no window-manager wait on close (X11 Driver Managed=N), Wine draws the caption itself;
#   * the Marlett font, so caption buttons are drawn as glyphs;
#   * no Mono/Gecko install prompts.
# Usage: tools/wine-prefix.sh PREFIX
set -euo pipefail
prefix=$(realpath -m "$1")
export WINEPREFIX=$prefix WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$prefix/system.reg" ] || [ ! -f "$prefix/.sondrel-ready" ]; then
  rm -rf "$prefix"
  mkdir -p "$(dirname "$prefix")"
  wine wineboot -i >/dev/null 2>&1 || true
  wineserver -w
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
  wine regedit /S "$prefix/sondrel-x11.reg" >/dev/null 2>&1
  wineserver -w
  touch "$prefix/.sondrel-ready"
fi
