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
SONDREL_ROOT=$(cd "$(dirname "$0")/.." && pwd) SONDREL_WINEPREFIX=$prefix
. "$SONDREL_ROOT/tools/wine-env.sh" # the flavour comes from SONDREL_WINE_FLAVOUR
winpath() { printf 'Z:%s' "$1" | tr '/' '\\' | sed 's/\\/\\\\/g'; }
# The pass table is Windows-1252: it is read as bytes (LC_ALL=C), and a name given on the command
# line (UTF-8) is converted to match it; the registry file below is written from UTF-8 again.
passes() { LC_ALL=C grep -av '^#' "$tree/Cabinets/passes.txt" | LC_ALL=C tr -d '\r'; }
name=${5:-}
if [ -n "$name" ]; then
  name=$(printf '%s' "$name" | iconv -f UTF-8 -t CP1252)
else
  # The first cabinet of the pass table is the one used last.
  name=$(passes | LC_ALL=C grep -a '|' | head -n 1 | LC_ALL=C cut -d'|' -f3)
fi
dir=$(passes | LC_ALL=C awk -F'|' -v n="$name" '$3==n {print $1; exit}')
name=$(printf '%s' "$name" | iconv -f CP1252 -t UTF-8)
dir=$(printf '%s' "$dir" | iconv -f CP1252 -t UTF-8)
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
"$SONDREL_WINE" regedit /S "$reg" >/dev/null 2>&1
sys="$prefix/drive_c/windows/system32"
if [ "$version" = none ]; then
  rm -f "$sys/HDSV.DLL" "$sys/hdsv.dll"
else
  cp "$bin/HDSV-$version.DLL" "$sys/HDSV.DLL"
fi
