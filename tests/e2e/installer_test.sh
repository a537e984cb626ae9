#!/usr/bin/env bash
# The set-up program, end to end, as a practice's IT person would use it:
#   1. a silent run (/S /D=) into a folder without HDAPI5.DLL stops with exit code 2 and leaves
#      nothing behind;
#   2. a silent run into a programs folder of the host (a folder with the stand-in HDAPI5.DLL and
#      host files) adds sondrel.exe, the uninstaller, one Start-menu shortcut and the uninstall
#      key; the installed program opens the stand-in cabinet and finds documents; the uninstaller,
#      run silently, removes all of it and the host's files are as they were (hashed before and after);
#   3. the same through the pages with clicks: the folder proposed is the host's registered programs
#      folder; another folder without HDAPI5.DLL brings the question, "Non" stays on the page; then
#      the installation, the "Fermer" page, and the uninstaller through its own pages.
# Screenshots: installer-folder.png, installer-question.png, installer-finish.png, uninstaller.png.
source "$(dirname "$0")/lib.sh"
e2e_require_display
SETUP=${SONDREL_SETUP:-$E2E_BIN/../installer/sondrel-4.0-setup.exe}
[ -f "$SETUP" ] || { e2e_log "no $SETUP (makensis missing?): skipped"; exit 77; }
SETUP=$(cd "$(dirname "$SETUP")" && pwd)/$(basename "$SETUP")
# Wine would also write a desktop menu entry into the Linux user's home for each shortcut.
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d"

# NSIS ends its window captions with a space (the page's sub-caption is empty under Modern UI).
SETUP_CAPTION="Installation de Sondrel 4.0 "
UNINSTALL_CAPTION="Désinstallation de Sondrel 4.0 "
QUESTION_CAPTION="Installation de Sondrel 4.0" # a message box of the set-up: without the space
UNINSTALL_KEY='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Sondrel'
USER_UNINSTALL_KEY='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Sondrel'
HOST_PATHS_KEY='HKEY_CURRENT_USER\Software\IMAGINE Editions\HelloDOC\Chemins'

WORK=$E2E_ARTIFACTS/installer-work
rm -rf "$WORK"
mkdir -p "$WORK"

shortcuts() { find "$WINEPREFIX/drive_c" -name 'Sondrel.lnk' 2>/dev/null; }

# The host's registered programs folder is changed for the test and put back afterwards; whatever a
# failed run left of an installation in the prefix goes too, so that the next run starts clean.
"$SONDREL_WINE" regedit /E "$WORK/chemins.reg" "$HOST_PATHS_KEY" >/dev/null 2>&1 || e2e_fail "cannot save $HOST_PATHS_KEY"
restore_prefix() {
    "$SONDREL_WINE" reg delete "$UNINSTALL_KEY" /f >/dev/null 2>&1 || true
    "$SONDREL_WINE" reg delete "$USER_UNINSTALL_KEY" /f >/dev/null 2>&1 || true
    shortcuts | while read -r link; do rm -f "$link"; done
    "$SONDREL_WINE" regedit /S "$WORK/chemins.reg" >/dev/null 2>&1 || true
}
trap 'e2e_cleanup; restore_prefix' EXIT
set_host_programs() { "$SONDREL_WINE" reg add "${HOST_PATHS_KEY/HKEY_CURRENT_USER/HKCU}" /v Programmes /d "$(win_path "$1")" /f >/dev/null 2>&1; }

# A programs folder of the host: the stand-in access library and a few host files.
make_host() {
    mkdir -p "$1/Aide"
    cp "$E2E_BIN/HDAPI5.DLL" "$1/"
    if [ -n "${SONDREL_TEST_TREE:-}" ] && [ -f "$SONDREL_TEST_TREE/Programmes/caisses.hdc" ]; then
        cp "$SONDREL_TEST_TREE/Programmes/caisses.hdc" "$1/"
    fi
    printf 'host program\r\n' > "$1/HelloDOC.exe"
    printf 'aide\r\n' > "$1/Aide/aide.txt"
}

# Every file and folder below DIR with the hash of each file.
snapshot() {
    (cd "$1" && find . -mindepth 1 -printf '%y %p\n' | LC_ALL=C sort && find . -type f -print0 | LC_ALL=C sort -z |
        xargs -0 -r sha256sum)
}

# Prints the uninstall key (for every user or for this one); fails when there is none.
uninstall_key() {
    local out
    out=$("$SONDREL_WINE" reg query "$UNINSTALL_KEY" 2>/dev/null) || out=$("$SONDREL_WINE" reg query "$USER_UNINSTALL_KEY" 2>/dev/null) ||
        return 1
    printf '%s\n' "$out" | tr -d '\r'
}

# Checks that DIR holds exactly what the set-up adds, with one shortcut and the uninstall key.
expect_installed() {
    local dir=$1 key
    cmp -s "$dir/sondrel.exe" "$E2E_BIN/sondrel.exe" || e2e_fail "sondrel.exe was not installed into $dir"
    [ -f "$dir/sondrel-desinstaller.exe" ] || e2e_fail "no uninstaller in $dir"
    [ "$(shortcuts | wc -l)" = 1 ] || e2e_fail "shortcuts: $(shortcuts)"
    key=$(uninstall_key) || e2e_fail "no uninstall key"
    grep -q 'DisplayName.*Sondrel 4\.0' <<<"$key" || e2e_fail "uninstall key: $key"
    grep -qF "$(win_path "$dir")\\sondrel-desinstaller.exe" <<<"$key" || e2e_fail "uninstall key: $key"
    [ -z "$(ls "$dir"/*.exe | grep -v -e '/sondrel.exe$' -e '/sondrel-desinstaller.exe$' -e '/HelloDOC.exe$')" ] ||
        e2e_fail "more programs in $dir: $(ls "$dir")"
    e2e_log "installed into $dir; shortcut $(shortcuts)"
}

gone() { [ ! -e "$1/sondrel.exe" ] && [ ! -e "$1/sondrel-desinstaller.exe" ]; }
no_shortcut() { [ -z "$(shortcuts)" ]; }

# Checks that the uninstaller left DIR as SNAPSHOT shows it, with no shortcut and no key.
expect_uninstalled() {
    local dir=$1 before=$2
    until_true 30 gone "$dir" || e2e_fail "the uninstaller left files in $dir: $(ls "$dir")"
    # The uninstaller runs on after its files are gone (it deletes the shortcut after them).
    until_true 10 no_shortcut || e2e_fail "the shortcut stays: $(shortcuts)"
    until_true 10 eval '! uninstall_key >/dev/null' || e2e_fail "the uninstall key stays"
    [ "$(snapshot "$dir")" = "$before" ] || {
        diff <(printf '%s\n' "$before") <(snapshot "$dir") >&2
        e2e_fail "the host's files changed in $dir"
    }
    e2e_log "uninstalled from $dir; the host's files are as they were"
}

# Runs the installed sondrel.exe from DIR, searches the prescriptions and closes it.
run_installed() {
    local dir=$1 rows
    (cd "$dir" && exec "$SONDREL_WINE" sondrel.exe >"$E2E_ARTIFACTS/$E2E_NAME.sondrel.log" 2>&1) &
    SONDREL_PID=$!
    sondrel_wait_main 30000
    [ ! -s "$E2E_MESSAGES" ] || e2e_fail "the installed program reported: $(cat "$E2E_MESSAGES")"
    click_control 240
    type_search_text zelmorin
    click_control 219
    until_true 120 eval 'drv sb-text "$SONDREL_CAPTION" 2 | grep -q " occ\. - "' || e2e_fail "no search summary"
    until_true 10 eval '[ "$(drv lv-count "$SONDREL_CAPTION")" -ge 1 ] 2>/dev/null' ||
        e2e_fail "the installed program lists nothing: $(drv sb-text "$SONDREL_CAPTION" 2)"
    rows=$(drv lv-count "$SONDREL_CAPTION")
    e2e_log "the installed program found $rows patients: $(drv sb-text "$SONDREL_CAPTION" 2)"
    close_by_click
    sondrel_wait_exit 20 || e2e_fail "the installed program did not end"
}

# Waits until button 1 of the window CAPTION reads TEXT.
wait_button() {
    local caption=$1 text=$2
    until_true 30 eval '[ "$(drv text "$caption" 1)" = "$text" ]' ||
        e2e_fail "button 1 of \"$caption\" reads \"$(drv text "$caption" 1)\", not \"$text\""
}

# ---- 1. silent, into a folder without HDAPI5.DLL ---------------------------------------------------
mkdir -p "$WORK/sans-hellodoc"
printf 'autre\r\n' > "$WORK/sans-hellodoc/autre.txt"
before=$(snapshot "$WORK/sans-hellodoc")
"$SONDREL_WINE" "$SETUP" /S "/D=$(win_path "$WORK/sans-hellodoc")" && rc=0 || rc=$?
e2e_log "silent set-up into a folder without HDAPI5.DLL: exit code $rc"
[ "$rc" = 2 ] || e2e_fail "exit code $rc, not 2"
[ "$(snapshot "$WORK/sans-hellodoc")" = "$before" ] || e2e_fail "files were written into the folder"
[ -z "$(shortcuts)" ] && ! uninstall_key >/dev/null || e2e_fail "a shortcut or an uninstall key was added"

# ---- 2. silent, into the host's programs folder ------------------------------------------------------
host=$WORK/HelloDOC
make_host "$host"
before=$(snapshot "$host")
"$SONDREL_WINE" "$SETUP" /S "/D=$(win_path "$host")" && rc=0 || rc=$?
[ "$rc" = 0 ] || e2e_fail "silent set-up: exit code $rc"
expect_installed "$host"
run_installed "$host"
"$SONDREL_WINE" "$host/sondrel-desinstaller.exe" /S || e2e_fail "silent uninstaller failed"
expect_uninstalled "$host" "$before"

# ---- 3. through the pages ----------------------------------------------------------------------------
host=$WORK/Programmes\ HelloDOC
make_host "$host"
before=$(snapshot "$host")
set_host_programs "$host"
(exec "$SONDREL_WINE" "$SETUP" >"$E2E_ARTIFACTS/$E2E_NAME.setup.log" 2>&1) &
setup_pid=$!
drv wait-window "$SETUP_CAPTION" 20000 1 >/dev/null || e2e_fail "no set-up window"
sleep 0.5
proposed=$(drv text "$SETUP_CAPTION" 1019) || e2e_fail "no folder field"
e2e_log "folder proposed: $proposed"
[ "$proposed" = "$(win_path "$host")" ] || e2e_fail "the folder proposed is not the host's programs folder"
[ "$(drv text "$SETUP_CAPTION" 1)" = "&Installer" ] || e2e_fail "button 1 reads \"$(drv text "$SETUP_CAPTION" 1)\""
e2e_screenshot installer-folder

# Another folder, without HDAPI5.DLL: the question, answered "Non".
drv set-text "$SETUP_CAPTION" 1019 "$(win_path "$WORK/ailleurs")"
click_control 1 "$SETUP_CAPTION"
drv wait-window "$QUESTION_CAPTION" 5000 65535 >/dev/null || e2e_fail "no question for a folder without HDAPI5.DLL"
question=$(drv msgbox-text "$QUESTION_CAPTION")
e2e_log "question: $question"
[[ $question == "Le dossier choisi ne contient pas HDAPI5.DLL :"*"Installer quand même dans ce dossier ?" ]] ||
    e2e_fail "the question reads \"$question\""
e2e_screenshot installer-question
drv msgbox-press "$QUESTION_CAPTION" 7 || e2e_fail "cannot answer the question"
sleep 0.5
[ "$(drv text "$SETUP_CAPTION" 1019)" = "$(win_path "$WORK/ailleurs")" ] || e2e_fail "\"Non\" left the folder page"
[ ! -e "$WORK/ailleurs" ] || e2e_fail "the folder without HDAPI5.DLL was created"

# Back to the host's folder: installed, then "Fermer".
drv set-text "$SETUP_CAPTION" 1019 "$(win_path "$host")"
click_control 1 "$SETUP_CAPTION"
wait_button "$SETUP_CAPTION" "&Fermer"
e2e_screenshot installer-finish
click_control 1 "$SETUP_CAPTION"
drv wait-gone "$SETUP_CAPTION" 10000 || e2e_fail "the set-up window stays"
wait "$setup_pid" || e2e_fail "the set-up ended with an error"
expect_installed "$host"

# The uninstaller through its pages.
(exec "$SONDREL_WINE" "$host/sondrel-desinstaller.exe" >>"$E2E_ARTIFACTS/$E2E_NAME.setup.log" 2>&1) &
drv wait-window "$UNINSTALL_CAPTION" 20000 1 >/dev/null || e2e_fail "no uninstaller window"
sleep 0.5
[ "$(drv text "$UNINSTALL_CAPTION" 1)" = "&Désinstaller" ] || e2e_fail "button 1 reads \"$(drv text "$UNINSTALL_CAPTION" 1)\""
e2e_screenshot uninstaller
click_control 1 "$UNINSTALL_CAPTION"
wait_button "$UNINSTALL_CAPTION" "&Fermer"
click_control 1 "$UNINSTALL_CAPTION"
drv wait-gone "$UNINSTALL_CAPTION" 10000 || e2e_fail "the uninstaller window stays"
expect_uninstalled "$host" "$before"
e2e_log "passed"
