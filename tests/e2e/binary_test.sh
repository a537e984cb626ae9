#!/usr/bin/env bash
# The shipped sondrel.exe as a file: a 32-bit (PE32, i386) GUI program that imports HDAPI5.DLL by the
# library's undecorated names and otherwise only system DLLs, so that it runs beside an installed
# practice software with nothing else copied (no MinGW runtime DLLs). Needs no display, and no Wine.
# In the 64-bit test flavour (SONDREL_WINE_FLAVOUR=64) the same holds of its x86_64 sondrel.exe
# (PE32+, pei-x86-64); the shipped build is always checked as PE32 i386.
set -u
: "${E2E_BIN:?}"
if [ "${SONDREL_WINE_FLAVOUR:-32}" = 64 ]; then
    OBJDUMP=${OBJDUMP:-x86_64-w64-mingw32-objdump} format=pei-x86-64 magic='020b[[:space:]]*(PE32+)' kind="PE32+ x86-64"
else
    OBJDUMP=${OBJDUMP:-i686-w64-mingw32-objdump} format=pei-i386 magic='010b[[:space:]]*(PE32)' kind="PE32 i386"
fi
exe=$E2E_BIN/sondrel.exe
fail() { echo "[binary_test] FAILED: $*" >&2; exit 1; }
[ -f "$exe" ] || fail "no $exe"
headers=$("$OBJDUMP" -p "$exe") || fail "objdump cannot read $exe"

grep -q "file format $format\$" <<<"$headers" || fail "not a $format file"
grep -q "^Magic[[:space:]]*$magic" <<<"$headers" || fail "not $kind"
grep -q '^Subsystem[[:space:]]*00000002[[:space:]]*(Windows GUI)' <<<"$headers" || fail "not a GUI program"

allowed=" ADVAPI32.DLL COMCTL32.DLL COMDLG32.DLL GDI32.DLL KERNEL32.DLL MSVCRT.DLL SHELL32.DLL USER32.DLL "
allowed+="VERSION.DLL WININET.DLL OLE32.DLL HDAPI5.DLL "
dlls=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers" | tr '[:lower:]' '[:upper:]')
[ -n "$dlls" ] || fail "no imports found"
for d in $dlls; do
    [[ $allowed == *" $d "* ]] || fail "imports $d, which a practice machine does not have"
done
grep -qx 'HDAPI5.DLL' <<<"$dlls" || fail "does not import HDAPI5.DLL"

# The names imported from HDAPI5.DLL: undecorated (no @n), and the session pair among them.
names=$(awk '/DLL Name: HDAPI5.DLL/ {on=1; next} /DLL Name:/ || /^[[:space:]]*$/ {on=0} on && NF >= 3 && $1 ~ /^[0-9a-f]+$/ {print $3}' <<<"$headers")
grep -qx HDOpenSession <<<"$names" || fail "HDOpenSession not imported from HDAPI5.DLL: $names"
grep -qx HDCloseSession <<<"$names" || fail "HDCloseSession not imported from HDAPI5.DLL"
! grep -q '@' <<<"$names" || fail "decorated names imported: $(grep '@' <<<"$names" | head -3)"
echo "[binary_test] sondrel.exe: $kind GUI, imports $(echo $dlls), $(wc -l <<<"$names") names from HDAPI5.DLL"
