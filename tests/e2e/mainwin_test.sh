#!/usr/bin/env bash
# The main window, end to end: it opens on the prepared cabinet with the cabinets root, the cabinet's
# name and "v 4.0" in its status bar; the "Formulon" radio button shows the form chooser in place of
# the search text and "Ordonnances" brings the text back; Escape does not close it; dragging its
# corner bigger and maximising it with a double-click on the caption keep the layout (the button
# block 5 pixels in from the right edge, the list spanning the width, the version part ending at the
# status bar's right edge); the close box ends the program with exit code 0, also in the middle of a
# search, once the run has stopped. A picture of the window
# after a search is kept as mainwin-main-window.png (and, with SONDREL_DOCS_PICTURE=1, copied to
# docs/main-window.png).
source "$(dirname "$0")/lib.sh"
e2e_require_display

M=$SONDREL_CAPTION

# Client origin of the main window on the screen: the frame Wine draws is as thick at the bottom as
# at the sides.
client_origin() {
    local l t r b w h border
    read -r l t r b < <(drv window-rect "$M") || e2e_fail "no main window"
    read -r w h < <(drv client-size "$M")
    border=$(((r - l - w) / 2))
    echo "$((l + border)) $((b - border - h))"
}

# Checks the layout of the moment against the client size.
check_layout() {
    local when=$1 W H ox oy lx ly ex ey ix iy ux uy listx listy parts w
    read -r W H < <(drv client-size "$M")
    read -r ox oy < <(client_origin)
    read -r lx ly < <(drv coords "$M" 219)
    read -r ex ey < <(drv coords "$M" 218)
    read -r ix iy < <(drv coords "$M" 246)
    read -r ux uy < <(drv coords "$M" 245)
    read -r listx listy < <(drv coords "$M" 217)
    w=$((ex - ix)) # "Importer" and "Exporter" side by side, equal widths
    e2e_log "$when: client ${W}x$H, button width $w"
    [ "$w" -gt 20 ] || e2e_fail "$when: buttons not side by side ($ix, $ex)"
    [ "$iy" = "$ey" ] || e2e_fail "$when: Importer and Exporter not on one line"
    [ "$((ex - ox))" -eq "$((W - 5 - w / 2))" ] || [ "$((ex - ox))" -eq "$((W - 5 - (w + 1) / 2))" ] ||
        e2e_fail "$when: Exporter centre at $((ex - ox)), expected 5 pixels in from $W"
    [ "$lx" = "$ux" ] || e2e_fail "$when: Lancer and Ouvrir not one above the other ($lx, $ux)"
    [ $((lx - (ix + ex) / 2)) -ge -1 ] && [ $((lx - (ix + ex) / 2)) -le 1 ] ||
        e2e_fail "$when: Lancer not centred over the middle buttons"
    [ "$ly" -lt "$ey" ] && [ "$ey" -lt "$uy" ] || e2e_fail "$when: button rows out of order"
    [ $((listx - ox - W / 2)) -ge -1 ] && [ $((listx - ox - W / 2)) -le 1 ] ||
        e2e_fail "$when: the list is not centred in the width (centre $((listx - ox)) of $W)"
    parts=$(drv sb-parts "$M") || e2e_fail "no status bar parts"
    read -r p0 p1 p2 p3 <<<"$parts"
    [ "$p3" = "$W" ] || e2e_fail "$when: the version part ends at $p3, the bar at $W (parts $parts)"
    [ "$p0" -le "$p1" ] && [ "$p1" -le "$p2" ] && [ "$p2" -le "$p3" ] || e2e_fail "$when: parts $parts"
}

sondrel_start
sondrel_wait_main 30000
[ ! -s "$E2E_MESSAGES" ] || e2e_fail "message boxes at start-up: $(tr '\n' '|' < "$E2E_MESSAGES")"
sleep 0.5

# The status bar: the cabinets root, the cabinet used last, the version.
root=$(drv sb-text "$M" 0) || e2e_fail "no status bar"
cabinet=$(drv sb-text "$M" 1)
version=$(drv sb-text "$M" 3)
e2e_log "status bar: [$root] [$cabinet] [$version]"
case $root in "Chemin : "*\\Cabinets) ;; *) e2e_fail "part 0 reads \"$root\"" ;; esac
if [ -n "${SONDREL_TEST_TREE:-}" ] && [ -f "$SONDREL_TEST_TREE/Cabinets/passes.txt" ]; then
    first=$(grep -av '^#' "$SONDREL_TEST_TREE/Cabinets/passes.txt" | grep -a '|' | head -n 1 | cut -d'|' -f3 |
        tr -d '\r' | iconv -f CP1252 -t UTF-8)
    [ "$cabinet" = "Cabinet : $first" ] || e2e_fail "part 1 reads \"$cabinet\", expected \"Cabinet : $first\""
else
    case $cabinet in "Cabinet : "?*) ;; *) e2e_fail "part 1 reads \"$cabinet\"" ;; esac
fi
[ "$version" = "v 4.0" ] || e2e_fail "part 3 reads \"$version\""
[ "$(drv text "$M" 235)" = "Zelmorin" ] || e2e_fail "the search text is not Zelmorin"
read -r _ _ checked < <(drv state "$M" 240)
[ "$checked" = 1 ] || e2e_fail "Ordonnances is not checked"
check_layout "at start"

# The radio buttons switch between the search text and the form chooser.
read -r visible _ _ < <(drv state "$M" 244)
[ "$visible" = 0 ] || e2e_fail "the form chooser shows at start"
click_control 241
until_true 5 control_visible 244 || true
read -r visible _ checked < <(drv state "$M" 244)
[ "$visible" = 1 ] || e2e_fail "Formulon did not show the form chooser"
read -r visible _ _ < <(drv state "$M" 235)
[ "$visible" = 0 ] || e2e_fail "Formulon left the search text visible"
read -r _ _ checked < <(drv state "$M" 241)
[ "$checked" = 1 ] || e2e_fail "Formulon is not checked after the click"
e2e_screenshot mainwin-form-chooser
click_control 240
until_true 5 control_visible 235 || true
read -r visible _ _ < <(drv state "$M" 235)
[ "$visible" = 1 ] || e2e_fail "Ordonnances did not bring the search text back"
read -r visible _ _ < <(drv state "$M" 244)
[ "$visible" = 0 ] || e2e_fail "Ordonnances left the form chooser visible"

# Escape does not close the window.
click_control 236
xdotool key Escape
sleep 1
drv exists "$M" || e2e_fail "Escape closed the main window"
sondrel_running || e2e_fail "Escape ended the program"

# Bigger by dragging the bottom-right corner of the frame.
read -r l t r b < <(drv window-rect "$M")
read -r W0 H0 < <(drv client-size "$M")
xdotool mousemove --sync $((r - 2)) $((b - 2)) 2>/dev/null || xdotool mousemove $((r - 2)) $((b - 2))
sleep 0.2
xdotool mousedown 1
sleep 0.2
for step in 1 2 3 4 5; do
    xdotool mousemove $((r - 2 + step * 40)) $((b - 2 + step * 30))
    sleep 0.1
done
xdotool mouseup 1
sleep 1
read -r W1 H1 < <(drv client-size "$M")
e2e_log "dragged the corner: client ${W0}x$H0 -> ${W1}x$H1"
[ "$W1" -gt "$W0" ] && [ "$H1" -gt "$H0" ] || e2e_fail "the drag did not resize the window"
check_layout "after the drag"

# Maximised with a double-click on the caption, then restored the same way.
read -r l t r b < <(drv window-rect "$M")
x_double_click $(((l + r) / 2 - 60)) $((t + 8))
sleep 1.5
read -r W2 H2 < <(drv client-size "$M")
e2e_log "maximised: client ${W2}x$H2"
[ "$W2" -gt "$W1" ] || e2e_fail "the double-click did not maximise the window"
check_layout "maximised"
read -r l t r b < <(drv window-rect "$M")
x_double_click $(((l + r) / 2 - 60)) $((t + 8))
sleep 1.5
read -r W3 H3 < <(drv client-size "$M")
e2e_log "restored: client ${W3}x$H3"
[ "$W3" = "$W1" ] && [ "$H3" = "$H1" ] || e2e_fail "restoring gave ${W3}x$H3, not ${W1}x$H1"
check_layout "restored"

# A search for the picture: Zelmorin in the prescriptions of the cabinet.
click_control 219
for i in $(seq 1 100); do
    status=$(drv sb-text "$M" 2) || true
    case $status in *"(en "*) break ;; esac
    sleep 0.2
done
e2e_log "after the search: $status"
sleep 0.5
read -r l t r b < <(drv window-rect "$M")
shot=$E2E_ARTIFACTS/mainwin-main-window.png
import -window root -crop "$((r - l))x$((b - t))+$l+$t" +repage "$shot" 2>/dev/null &&
    e2e_log "screenshot $shot" || e2e_log "screenshot failed"
if [ "${SONDREL_DOCS_PICTURE:-0}" = 1 ] && [ -s "$shot" ] && [ -n "${SONDREL_SOURCE_DIR:-}" ]; then
    cp "$shot" "$SONDREL_SOURCE_DIR/docs/main-window.png" && e2e_log "copied to docs/main-window.png"
fi

# The close box ends the program with exit code 0.
close_by_click
sondrel_wait_exit 20 || e2e_fail "sondrel.exe still running 20 s after the close box"
[ "$SONDREL_RC" -eq 0 ] || e2e_fail "exit code $SONDREL_RC"
drv exists "$M" && e2e_fail "a window captioned Sondrel is still up"

# Closing during a search: the window stays until the run has stopped, then closes by itself, with
# no message on the way, and the program ends with 0.
: > "$E2E_MESSAGES"
sondrel_start
sondrel_wait_main 30000
read -r cx cy < <(drv close-box "$M") || e2e_fail "no close box" # found before: the search is short
click_control 219
label=
for i in $(seq 1 50); do
    label=$(drv text "$M" 219)
    [ "$label" = "Annuler" ] && break
    sleep 0.05
done
x_click "$cx" "$cy"
e2e_log "close box clicked while button 219 read \"$label\""
sondrel_wait_exit 30 || e2e_fail "sondrel.exe still running 30 s after a close during a search"
[ "$SONDREL_RC" -eq 0 ] || e2e_fail "exit code $SONDREL_RC after a close during a search"
[ ! -s "$E2E_MESSAGES" ] || e2e_fail "message boxes: $(tr '\n' '|' < "$E2E_MESSAGES")"
e2e_log "passed"
