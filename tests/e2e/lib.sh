# Shell helpers of the end-to-end tests and of the demonstration, sourced by tests/e2e/*.sh.
#
# Sondrel runs under Wine in the background as a person would start it; e2e_driver.exe (another Wine
# process under the same wineserver) finds its windows and controls, reads their texts and prints
# screen coordinates; xdotool moves the real X pointer and presses keys at those coordinates, so the
# clicks go through Wine's own input handling. The prefix is expected to have Managed=N
# (tools/wine-prefix.sh): Wine draws the captions itself and closing costs no window-manager wait.
#
# Environment:
#   E2E_BIN        folder of sondrel.exe, e2e_driver.exe and HDAPI5.DLL (required)
#   E2E_ARTIFACTS  where screenshots and logs go (default: E2E_BIN/../e2e-artifacts)
#   SONDREL_WINE_FLAVOUR  32 or 64 (tools/wine-env.sh); SONDREL_WINEPREFIX: the prepared prefix
#                  (default: the flavour's own); DISPLAY: the X display (tests skip with 77 without one)
#
# Every helper prints what it does on stderr, prefixed with the test's name, so a failing ctest
# log reads as a story. e2e_fail takes a screenshot before it exits.

set -u
E2E_LIB_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
: "${E2E_BIN:?E2E_BIN must name the folder of sondrel.exe}"
# The Wine flavour (SONDREL_WINE_FLAVOUR, default 32) and its prefix come from tools/wine-env.sh; a
# prefix given as SONDREL_WINEPREFIX is used instead of the flavour's own.
SONDREL_ROOT=${SONDREL_ROOT:-$(cd "$E2E_LIB_DIR/../.." && pwd)}
. "$SONDREL_ROOT/tools/wine-env.sh" || exit 2
E2E_BIN=$(cd "$E2E_BIN" && pwd)
E2E_ARTIFACTS=${E2E_ARTIFACTS:-$E2E_BIN/../e2e-artifacts}
mkdir -p "$E2E_ARTIFACTS"
E2E_ARTIFACTS=$(cd "$E2E_ARTIFACTS" && pwd)
E2E_NAME=${E2E_NAME:-$(basename "${0%.sh}")}
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY 2>/dev/null || true

SONDREL_CAPTION=Sondrel   # caption of the main window and of every message box
SONDREL_PID=
E2E_MESSAGES=$E2E_ARTIFACTS/$E2E_NAME.messages.txt   # texts of the message boxes met on the way
: > "$E2E_MESSAGES"
rm -f "$E2E_ARTIFACTS/$E2E_NAME-failure.png"

e2e_log() { printf '[%s %s] %s\n' "$E2E_NAME" "$(date +%T.%1N)" "$*" >&2; }

# Skips the test (ctest SKIP_RETURN_CODE 77) when there is no X display to drive.
e2e_require_display() {
    if [ -z "${DISPLAY:-}" ]; then
        e2e_log "no DISPLAY: skipped"
        exit 77
    fi
    command -v xdotool >/dev/null || { e2e_log "xdotool missing: skipped"; exit 77; }
}

# Runs the driver; its output has its line ends cleaned; its exit status is the driver's.
drv() {
    local out rc
    out=$("$SONDREL_WINE" "$E2E_BIN/e2e_driver.exe" "$@" 2>/dev/null) && rc=0 || rc=$?
    [ -n "$out" ] && printf '%s\n' "$out" | tr -d '\r'
    return $rc
}

# Saves a screenshot of the whole screen as E2E_ARTIFACTS/NAME.png (or as the path given).
e2e_screenshot() {
    local dest=$1
    case "$dest" in */*) ;; *) dest=$E2E_ARTIFACTS/$dest.png ;; esac
    import -window root "$dest" 2>/dev/null && e2e_log "screenshot $dest" || e2e_log "screenshot failed"
}

e2e_fail() {
    e2e_log "FAILED: $*"
    e2e_screenshot "$E2E_NAME-failure"
    drv windows >&2 || true
    exit 1
}

# Starts sondrel.exe in the background from its own folder, with the arguments given.
sondrel_start() {
    (cd "$E2E_BIN" && exec "$SONDREL_WINE" sondrel.exe "$@" >"$E2E_ARTIFACTS/$E2E_NAME.sondrel.log" 2>&1) &
    SONDREL_PID=$!
    e2e_log "started sondrel.exe $* (pid $SONDREL_PID)"
}

sondrel_running() { [ -n "$SONDREL_PID" ] && kill -0 "$SONDREL_PID" 2>/dev/null; }

# Waits until the main window is up, at most MS milliseconds (default 20000). Message boxes captioned
# "Sondrel" that show up first (a cabinet that cannot be opened, for instance) are logged into
# E2E_MESSAGES and acknowledged, so that the main window can appear; a test that expects none checks
# that file. Fails the test when the window does not come or the program has ended.
sondrel_wait_main() {
    local limit=${1:-20000} start now text
    start=$(date +%s%N)
    while :; do
        if drv wait-window "$SONDREL_CAPTION" 200 217 >/dev/null; then
            e2e_log "main window is up"
            return 0
        fi
        if text=$(drv msgbox-text "$SONDREL_CAPTION"); then
            e2e_log "message box: $text"
            printf '%s\n' "$text" >> "$E2E_MESSAGES"
            drv msgbox-press "$SONDREL_CAPTION" 1 || drv msgbox-press "$SONDREL_CAPTION" 2 || true
            sleep 0.3
        fi
        sondrel_running || e2e_fail "sondrel.exe ended before its main window came up"
        now=$(date +%s%N)
        [ $(((now - start) / 1000000)) -lt "$limit" ] || e2e_fail "no main window after $limit ms"
    done
}

# Acknowledges every message box captioned "Sondrel" that is up now, logging its text; prints the
# texts. Returns 0 when there was at least one.
sondrel_dismiss_messages() {
    local text found=1
    while text=$(drv msgbox-text "$SONDREL_CAPTION"); do
        printf '%s\n' "$text"
        printf '%s\n' "$text" >> "$E2E_MESSAGES"
        drv msgbox-press "$SONDREL_CAPTION" 1 || drv msgbox-press "$SONDREL_CAPTION" 2 || true
        found=0
        sleep 0.3
    done
    return $found
}

# Waits for the message box captioned "Sondrel" and prints its text; fails after MS milliseconds.
sondrel_expect_message() {
    local limit=${1:-5000}
    drv wait-window "$SONDREL_CAPTION" "$limit" 65535 >/dev/null || e2e_fail "no message box after $limit ms"
    drv msgbox-text "$SONDREL_CAPTION"
}

# Moves the real pointer to X Y (no "--sync": it waits 15 s when the pointer is already there) and
# gives Wine a moment to see the motion.
x_move() {
    xdotool mousemove "$1" "$2"
    sleep 0.15
}

# Moves the real pointer to X Y and clicks the left button.
x_click() {
    x_move "$1" "$2"
    xdotool click 1
}

x_double_click() {
    x_move "$1" "$2"
    xdotool click --repeat 2 --delay 80 1
}

# Clicks the centre of control ID of the window CAPTION (default: the main window).
click_control() {
    local id=$1 caption=${2:-$SONDREL_CAPTION} x y
    read -r x y < <(drv coords "$caption" "$id") || e2e_fail "no control $id in \"$caption\""
    e2e_log "click control $id at $x,$y"
    x_click "$x" "$y"
}

# Types TEXT with the keyboard into the control that has the focus. xdotool loses the first key a
# Wine process receives when it must remap a key, and drops characters when several non-ASCII ones
# come in one call: so Shift is pressed once first, ASCII runs go in one call and every other
# character in a call of its own.
x_type() {
    local text=$1 run= ch i
    xdotool key shift
    for ((i = 0; i < ${#text}; i++)); do
        ch=${text:i:1}
        if [[ $ch == [[:print:]] && $(printf '%s' "$ch" | LC_ALL=C wc -c) -eq 1 ]]; then
            run+=$ch
        else
            [ -n "$run" ] && xdotool type --delay 30 "$run"
            run=
            xdotool type "$ch"
        fi
    done
    [ -n "$run" ] && xdotool type --delay 30 "$run"
    return 0
}

# Types TEXT into the search edit 235 after clicking it (the edit is emptied first through the driver,
# as Ctrl+A does not select all in a single-line edit).
type_search_text() {
    drv set-text "$SONDREL_CAPTION" 235 "" || e2e_fail "no search edit"
    click_control 235
    x_type "$1"
}

# Closes the window CAPTION as a person would: a click on the close box of its caption.
close_by_click() {
    local caption=${1:-$SONDREL_CAPTION} x y
    read -r x y < <(drv close-box "$caption") || e2e_fail "no close box on \"$caption\""
    e2e_log "click the close box of \"$caption\" at $x,$y"
    x_click "$x" "$y"
}

# Waits at most SECONDS (default 20) for sondrel.exe to end; sets SONDREL_RC to its exit status
# (124 if it is still running).
sondrel_wait_exit() {
    local limit=${1:-20} i=0
    while sondrel_running && [ $i -lt $((limit * 10)) ]; do
        sleep 0.1
        i=$((i + 1))
    done
    if sondrel_running; then
        SONDREL_RC=124
        return 1
    fi
    wait "$SONDREL_PID" && SONDREL_RC=0 || SONDREL_RC=$?
    e2e_log "sondrel.exe ended with $SONDREL_RC"
    SONDREL_PID=
    return 0
}

# On exit: a program still running is ended (only the process this test started).
e2e_cleanup() {
    if sondrel_running; then
        e2e_log "sondrel.exe still running: ended"
        drv close "$SONDREL_CAPTION" >/dev/null || true
        sleep 1
        sondrel_running && kill "$SONDREL_PID" 2>/dev/null
        wait "$SONDREL_PID" 2>/dev/null || true
    fi
}
trap e2e_cleanup EXIT

# Runs COMMAND... until it succeeds or SECONDS have passed (then fails), polling every 0.05 s.
until_true() {
    local limit=$1
    shift
    local end=$(($(date +%s%N) / 1000000 + limit * 1000))
    until "$@"; do
        [ $(($(date +%s%N) / 1000000)) -lt $end ] || return 1
        sleep 0.05
    done
}

# Clicks button ID of the main window and waits for the popup menu it opens (fails after 10 s).
open_button_menu() {
    click_control "$1"
    drv wait-menu 10000 || e2e_fail "no popup menu after a click on $1"
}

# Waits until the dialog CAPTION is up with the keyboard focus in one of its edit fields, ready for
# typing (fails after MS milliseconds, default 20000). A dialog shows before its focus is set; keys
# typed in between would be lost.
wait_dialog_ready() {
    local caption=$1 limit=${2:-20000}
    drv wait-window "$caption" "$limit" >/dev/null || e2e_fail "no dialog \"$caption\" after $limit ms"
    drv wait-edit-focus "$caption" "$limit" || e2e_fail "the dialog \"$caption\" never took the keyboard focus"
}

focused_text_is() { [ "$(drv focus-text "$1")" = "$2" ]; }

# Types TEXT into the dialog CAPTION (into the edit that has the focus) and waits until that edit
# shows it, so that a key pressed next comes after the text.
type_into_dialog() {
    local caption=$1 text=$2
    x_type "$text"
    until_true 5 focused_text_is "$caption" "$text" ||
        e2e_fail "\"$caption\" shows \"$(drv focus-text "$caption")\", not the text typed \"$text\""
}

# True when control ID of the window CAPTION (default: the main window) is visible.
control_visible() {
    local visible
    read -r visible _ < <(drv state "${2:-$SONDREL_CAPTION}" "$1") && [ "$visible" = 1 ]
}

# ---- export and import through the popup menus and Wine's file dialogs -------------------------
# The file dialog opens with the keyboard focus in its file-name field, so the full Windows path of
# the file (the Unix path under Wine's Z: drive) is typed there and Enter confirms it: no clicking
# inside the dialog, whose layout depends on the Wine version, and no folder navigation.

# The Windows path of a Unix path, under Wine's Z: drive.
win_path() { printf 'Z:%s' "$1" | tr '/' '\\'; }

file_dialog_gone() { ! drv exists "Choisissez un fichier"; }

# Clicks button ID ("Exporter" 218, "Importer" 246), then picks the popup menu's item with KEYS
# (xdotool key names), then types PATH into the file dialog that comes up and confirms it.
through_menu_and_dialog() {
    local id=$1 keys=$2 path=$3
    open_button_menu "$id"
    xdotool key $keys
    drv wait-window "Choisissez un fichier" 20000 >/dev/null || e2e_fail "no file dialog after button $id, keys $keys"
    wait_dialog_ready "Choisissez un fichier"
    type_into_dialog "Choisissez un fichier" "$(win_path "$path")"
    E2E_DIALOG_SHOT=$((${E2E_DIALOG_SHOT:-0} + 1))
    e2e_screenshot "$E2E_NAME-dialog-$E2E_DIALOG_SHOT"
    xdotool key Return
    until_true 20 file_dialog_gone || e2e_fail "the file dialog stays open for $path"
}
