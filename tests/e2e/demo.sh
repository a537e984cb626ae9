#!/usr/bin/env bash
# The scripted demonstration that "./run.sh demo" plays when there is no display of its own (it runs
# under Xvfb): Sondrel is started on the prepared prefix and cabinet, used as a person would with the
# real pointer and keyboard, and photographed at each stage. Everything lands in OUTDIR.
#
#   tests/e2e/demo.sh BIN OUTDIR
#     BIN     folder of sondrel.exe, e2e_driver.exe and HDAPI5.DLL
#     OUTDIR  screenshots (*.png; main-window.png shows the list filled by the search and its
#             summary), the result rows (results.txt), the export (demo-export.xls) and
#             the log of the run (demo.log)
#
# The demonstration is a list of steps, DEMO_STEPS, each a shell function demo_<step>; to show more,
# write a function and add its name to the list. A step that cannot run because the program lacks
# what it needs says so and is skipped; a step that goes wrong is reported and the demonstration goes
# on to close the program. Exit status: 0 when every step that ran succeeded.
#   DEMO_SEARCH_TEXT  the text searched (default: a drug name of the demo cabinet)
#   DEMO_STEPS        the steps, in order (default below)
set -u
[ $# -eq 2 ] || { echo "usage: $0 BIN OUTDIR" >&2; exit 2; }
export E2E_BIN=$1 E2E_ARTIFACTS=$2 E2E_NAME=demo
mkdir -p "$E2E_ARTIFACTS"
source "$(dirname "$0")/lib.sh"
exec 2> >(tee "$E2E_ARTIFACTS/demo.log" >&2)

DEMO_SEARCH_TEXT=${DEMO_SEARCH_TEXT:-Zelmorin}
DEMO_STEPS=${DEMO_STEPS:-start search viewer export close}
DEMO_FAILED=0

# A failing step is reported, photographed, and the next steps still run.
demo_problem() {
    e2e_log "PROBLEM: $*"
    e2e_screenshot "problem-$DEMO_STEP"
    DEMO_FAILED=1
    return 1
}


# ---- steps --------------------------------------------------------------------------------------

# Starts Sondrel and shows its main window as it opens.
demo_start() {
    sondrel_start
    sondrel_wait_main 60000
    sleep 1
    e2e_screenshot start
}

# Maximises the main window with a double-click on its caption, so that the status bar has room
# for the summary beside the cabinet's path and name.
demo_maximise() {
    local l t r b
    read -r l t r b < <(drv window-rect "$SONDREL_CAPTION") || return 1
    x_double_click $(((l + r) / 2)) $((t + 10))
    sleep 1
}

status_summary_shown() { drv sb-text "$SONDREL_CAPTION" 2 | grep -q ' occ\. - .*(en [0-9]'; }

# Searches the prescriptions for DEMO_SEARCH_TEXT: the text typed into the search field, "Lancer"
# clicked, the end of the run awaited in the status bar; the rows are saved in results.txt and the
# maximised window, with the filled list and the summary, is photographed as main-window.png.
demo_search() {
    drv state "$SONDREL_CAPTION" 11714 >/dev/null || { e2e_log "no status bar yet: search skipped"; return 0; }
    click_control 240
    type_search_text "$DEMO_SEARCH_TEXT"
    e2e_log "search text: $(drv text "$SONDREL_CAPTION" 235)"
    click_control 219
    sleep 0.5
    e2e_screenshot search-running
    until_true 600 status_summary_shown || { demo_problem "no summary in the status bar"; return 1; }
    sondrel_dismiss_messages >/dev/null && demo_problem "unexpected message box during the search"
    e2e_log "status: $(drv sb-text "$SONDREL_CAPTION" 2)"
    e2e_log "$(drv lv-count "$SONDREL_CAPTION") rows"
    drv lv-rows "$SONDREL_CAPTION" > "$E2E_ARTIFACTS/results.txt"
    [ -s "$E2E_ARTIFACTS/results.txt" ] || demo_problem "the search listed no patient"
    demo_maximise || e2e_log "the window could not be maximised"
    e2e_screenshot main-window
}

viewer_caption() { drv find " occurence"; }

# Opens the first row's documents in the viewer ("Ouvrir"), photographs it and closes it.
demo_viewer() {
    [ "$(drv lv-count "$SONDREL_CAPTION" 2>/dev/null)" -gt 0 ] 2>/dev/null ||
        { e2e_log "no rows: viewer skipped"; return 0; }
    drv lv-select "$SONDREL_CAPTION" 0 || { demo_problem "cannot select the first row"; return 1; }
    click_control 245
    until_true 10 viewer_caption >/dev/null || {
        sondrel_dismiss_messages >/dev/null && e2e_log "the viewer is not there yet: skipped" && return 0
        demo_problem "no viewer"
        return 1
    }
    local caption
    caption=$(viewer_caption)
    e2e_log "viewer: $caption"
    sleep 1
    e2e_screenshot viewer
    close_by_click "$caption"
    until_true 10 eval '! drv exists "$caption"' || demo_problem "the viewer stays open"
}

# The Windows path of a Unix path, as Wine's Z: drive shows it.
win_path() { printf 'Z:%s' "$1" | tr '/' '\\'; }

export_written() { [ -s "$E2E_ARTIFACTS/demo-export.xls" ]; }
save_dialog_gone() { ! drv exists "Choisissez un fichier"; }

# Exports the rows as a tab-separated file through "Exporter", "Fichier Excel" and the save dialog.
demo_export() {
    [ "$(drv lv-count "$SONDREL_CAPTION" 2>/dev/null)" -gt 0 ] 2>/dev/null ||
        { e2e_log "no rows: export skipped"; return 0; }
    rm -f "$E2E_ARTIFACTS/demo-export.xls"
    click_control 218
    drv wait-menu 10000 || e2e_log "no popup menu seen after \"Exporter\""
    e2e_screenshot export-menu
    # The second item, "Fichier Excel", chosen with the keyboard as the menu is open.
    xdotool key Down Down Return
    if ! drv wait-window "Choisissez un fichier" 10000; then
        e2e_log "the menu did not answer the keys: the command is posted instead"
        xdotool key Escape
        drv command "$SONDREL_CAPTION" 13601 || { demo_problem "cannot send the export command"; return 1; }
        drv wait-window "Choisissez un fichier" 10000 || { e2e_log "no save dialog: export skipped"; return 0; }
    fi
    local path
    path=$(win_path "$E2E_ARTIFACTS/demo-export.xls")
    drv wait-edit-focus "Choisissez un fichier" 20000 || { demo_problem "the save dialog never took the focus"; return 1; }
    x_type "$path"
    until_true 5 focused_text_is "Choisissez un fichier" "$path" || demo_problem "the name typed does not show"
    e2e_screenshot export-dialog
    xdotool key Return
    until_true 30 save_dialog_gone || { demo_problem "the save dialog stays open"; return 1; }
    until_true 30 export_written || { demo_problem "no export file written"; return 1; }
    e2e_log "export: $(wc -l < "$E2E_ARTIFACTS/demo-export.xls") lines in demo-export.xls"
}

# Closes the main window with its close box and checks the exit code.
demo_close() {
    sondrel_running || { demo_problem "Sondrel is no longer running"; return 1; }
    close_by_click
    sondrel_wait_exit 30 || { demo_problem "Sondrel still running after the close"; return 1; }
    [ "$SONDREL_RC" -eq 0 ] || demo_problem "exit code $SONDREL_RC"
}

# ---- the run ------------------------------------------------------------------------------------

# A wineserver left over from a run without the display (the prefix set-up) would break the windows.
"$SONDREL_WINESERVER" -k 2>/dev/null || true
"$SONDREL_WINESERVER" -p
"$SONDREL_WINE" cmd /c exit >/dev/null 2>&1 || true
# However the demonstration ends, the program and the persistent wineserver go with it.
trap 'e2e_cleanup; "$SONDREL_WINESERVER" -k 2>/dev/null || true' EXIT

for DEMO_STEP in $DEMO_STEPS; do
    e2e_log "step: $DEMO_STEP"
    "demo_$DEMO_STEP" || true
    if [ "$DEMO_STEP" != close ] && ! sondrel_running; then
        demo_problem "Sondrel ended during the step $DEMO_STEP"
        break
    fi
done
[ "$DEMO_FAILED" -eq 0 ] && e2e_log "demonstration complete" || e2e_log "demonstration had problems"
exit "$DEMO_FAILED"
