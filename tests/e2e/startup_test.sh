#!/usr/bin/env bash
# Start-up and shutdown, end to end: sondrel.exe comes up with its main window captioned "Sondrel"
# showing every control of the template, and ends with exit code 0 when a person closes it with the
# caption's close box, or with Alt+F4; started with arguments it
# behaves exactly as without.
source "$(dirname "$0")/lib.sh"
e2e_require_display

# Checks the main window that is up now: its caption, the controls a person sees.
check_main_window() {
    local caption
    caption=$(drv text "$SONDREL_CAPTION" 0) || e2e_fail "cannot read the caption"
    [ "$caption" = "Sondrel" ] || e2e_fail "caption is \"$caption\""
    local ids=(219 218 245 246 232 217 215 6 236 234 239 240 241 242) states
    states=$(drv state "$SONDREL_CAPTION" "${ids[@]}") || e2e_fail "a control is missing"
    [ "$(printf '%s\n' "$states" | cut -d' ' -f1 | tr -d '\n')" = "11111111111111" ] ||
        e2e_fail "a control is hidden: $(printf '%s\n' "$states" | cut -d' ' -f1 | tr -d '\n')"
    # The search edit shows and the form chooser in its place is hidden; "Ordonnances" is checked.
    states=$(drv state "$SONDREL_CAPTION" 235 244 240 | cut -d' ' -f1,3 | tr -d ' \n')
    [ "$states" = "100011" ] || e2e_fail "edit 235 / combo 244 / radio 240 (visible, checked): $states"
    [ "$(drv text "$SONDREL_CAPTION" 236)" = "Texte à rechercher" ] || e2e_fail "label 236 is wrong"
    [ "$(drv text-hex "$SONDREL_CAPTION" 236)" = "546578746520e02072656368657263686572" ] ||
        e2e_fail "label 236 is not Windows-1252: $(drv text-hex "$SONDREL_CAPTION" 236)"
    read -r l t r b < <(drv window-rect "$SONDREL_CAPTION")
    [ $((r - l)) -gt 300 ] && [ $((b - t)) -gt 200 ] || e2e_fail "main window is only $((r - l))x$((b - t))"
}

# One run: start with ARGS, wait for the window, close it with METHOD, expect exit code 0.
run_once() {
    local method=$1 shot=$2
    shift 2
    sondrel_start "$@"
    sondrel_wait_main 30000
    # The prepared cabinet opens without a word; any message box on the way is a fault.
    [ ! -s "$E2E_MESSAGES" ] || e2e_fail "message boxes at start-up: $(tr '\n' '|' < "$E2E_MESSAGES")"
    sleep 0.5   # let the first layout and painting finish before the picture
    check_main_window
    [ -n "$shot" ] && e2e_screenshot "$shot"
    case $method in
    closebox) close_by_click ;;
    altf4)
        click_control 236   # a click on the label gives the window the keyboard focus
        xdotool key alt+F4 ;;
    esac
    sondrel_wait_exit 20 || e2e_fail "sondrel.exe still running 20 s after the close ($method)"
    [ "$SONDREL_RC" -eq 0 ] || e2e_fail "exit code $SONDREL_RC after the close ($method)"
    drv exists "$SONDREL_CAPTION" && e2e_fail "a window captioned Sondrel is still up"
    e2e_log "closed with $method: exit code 0"
}

run_once closebox startup-main-window
run_once altf4 "" foo "bar baz"
run_once closebox startup-with-arguments foo "bar baz"
run_once closebox "" '"unterminated quote'
e2e_log "passed"
