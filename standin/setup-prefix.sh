#!/usr/bin/env bash
# Points a Wine prefix at a generated cabinet tree, as the practice software's installation would:
# the host's registry keys, the form editor's key, HDSV.DLL of the chosen version in the system
# directory. Run with the wineserver of the display the tests use (or with none running).
# Usage: standin/setup-prefix.sh PREFIX TREE STANDIN_BIN [HDSV_VERSION] [CABINET_NAME]
#   TREE holds Cabinets/ and Programmes/ (as written by gencab); STANDIN_BIN holds the built
#   stand-in pieces (HDSV-<version>.DLL, Formulon.exe). HDSV_VERSION defaults to 5.51; "none"
#   removes HDSV.DLL.
set -euo pipefail
prefix=$(realpath -m "$1"); tree=$(realpath "$2"); bin=$(realpath "$3")
version=${4:-5.51}
export WINEPREFIX=$prefix WINEARCH=win32 WINEDEBUG=-all
winpath() { printf 'Z:%s' "$1" | tr '/' '\\' | sed 's/\\/\\\\/g'; }
name=${5:-}
if [ -z "$name" ]; then
  # The first cabinet of the pass table is the one used last.
  name=$(grep -v '^#' "$tree/Cabinets/passes.txt" | grep '|' | head -n 1 | cut -d'|' -f3 | tr -d '\r')
fi
dir=$(grep -v '^#' "$tree/Cabinets/passes.txt" | tr -d '\r' | awk -F'|' -v n="$name" '$3==n {print $1; exit}')
# The registry names the directory in lower case: the pass table must match it ignoring case.
dir=${dir,,}
mkdir -p "$tree/Formulon"
cp "$bin/Formulon.exe" "$tree/Formulon/"
reg="$prefix/sondrel-host.reg"
{
  printf 'REGEDIT4\r\n\r\n'
  printf '[HKEY_CURRENT_USER\\Software\\IMAGINE Editions\\HelloDOC\\Chemins]\r\n'
  printf '"Cabinets"="%s"\r\n' "$(winpath "$tree/Cabinets")"
  printf '"Programmes"="%s"\r\n\r\n' "$(winpath "$tree/Programmes")"
  printf '[-HKEY_CURRENT_USER\\Software\\IMAGINE Editions\\HelloDOC\\Cabinets]\r\n\r\n'
  printf '[HKEY_CURRENT_USER\\Software\\IMAGINE Editions\\HelloDOC\\Cabinets]\r\n'
  printf '"Dernier"="%s"\r\n' "$name"
  printf '"%s"="%s"\r\n\r\n' "$name" "$dir"
  printf '[HKEY_CURRENT_USER\\Software\\Formulon]\r\n'
  printf '"rep_Formulon"="%s"\r\n' "$(winpath "$tree/Formulon")"
} | iconv -f UTF-8 -t CP1252 > "$reg"
wine regedit /S "$reg" >/dev/null 2>&1
sys="$prefix/drive_c/windows/system32"
if [ "$version" = none ]; then
  rm -f "$sys/HDSV.DLL" "$sys/hdsv.dll"
else
  cp "$bin/HDSV-$version.DLL" "$sys/HDSV.DLL"
fi
