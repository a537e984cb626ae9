#!/usr/bin/env bash
# The occurrences of the search text in the viewer, end to end, as a person would see them:
#   1. search the prescriptions for "zelmorin" typed in small letters, open the first row with
#      "Ouvrir": the first occurrence in the shown prescription is selected, whatever its case;
#   2. F3 (the real key) selects the next occurrence and Shift+F3 the previous one, wrapping
#      around; the other occurrences show their mark (the background colour) on the screen;
#   3. the next document of the list starts with its own first occurrence selected.
# Screenshot: viewer-match.png, the top of the maximised viewer (docs/viewer-match.png in the README).
source "$(dirname "$0")/lib.sh"
e2e_require_display
WORD=${VIEWER_MATCH_WORD:-comprime}

status_summary_shown() { drv sb-text "$SONDREL_CAPTION" 2 | grep -q ' occ\. - .*(en [0-9]'; }
viewer_caption() { drv find " occurence"; }

# Prints "START END TEXT" of the text area's selection.
selection() { drv rich-sel "$caption" || e2e_fail "no text area"; }

# Positions where WORD starts in the shown text, ignoring case and accents, one per line. The positions count characters as the control does: each of its
# paragraph ends is CR LF, of which the driver's output keeps only the LF.
occurrences() {
    drv rich-text "$caption" | iconv -f UTF-8 -t CP1252 | python3 -c '
import sys, unicodedata
t = sys.stdin.buffer.read().decode("cp1252")
t = "".join(unicodedata.normalize("NFD", c)[0].lower() for c in t)
t = (t[:-1] if t.endswith("\n") else t).replace("\n", "\r\n")
w = sys.argv[1]
print("\n".join(str(i) for i in range(len(t)) if t.startswith(w, i)))' "$WORD"
}

# TEXT in small letters without accents.
fold_text() {
    python3 -c 'import sys, unicodedata; print("".join(unicodedata.normalize("NFD", c)[0].lower() for c in sys.argv[1]))' "$1"
}

# Checks that occurrence number N (0-based) of the list in $starts is the one selected.
expect_selected() {
    local n=$1 want start end text
    want=$(sed -n "$((n + 1))p" <<<"$starts")
    read -r start end text < <(selection)
    e2e_log "selection $start-$end \"$text\" (want occurrence $n at $want)"
    [ "$start" = "$want" ] && [ "$end" = $((want + ${#WORD})) ] || e2e_fail "occurrence $n is not selected"
    [ "$(fold_text "$text")" = "$WORD" ] || e2e_fail "the selection reads \"$text\""
}

# Presses F3 (or Shift+F3 with "shift") with the real keyboard and gives the viewer a moment.
press_f3() {
    if [ "${1:-}" = shift ]; then xdotool key shift+F3; else xdotool key F3; fi
    sleep 0.4
}

sondrel_start
sondrel_wait_main 30000
sleep 0.5

# ---- 1. the first occurrence selected on opening --------------------------------------------------
click_control 240
type_search_text "$WORD"
click_control 219
until_true 300 status_summary_shown || e2e_fail "no summary in the status bar"
rows=$(drv lv-count "$SONDREL_CAPTION") || rows=0
[ "${rows:-0}" -ge 1 ] || { e2e_log "SKIPPED: the search found no prescription"; exit 77; }
drv lv-select "$SONDREL_CAPTION" 0 || e2e_fail "cannot select row 0"
click_control 245
until_true 10 viewer_caption >/dev/null || e2e_fail "no viewer"
caption=$(viewer_caption)
e2e_log "viewer: $caption"
sleep 0.5
# Maximised (a double-click on its caption), the viewer shows the prescriptions' lines whole.
read -r l t r b < <(drv window-rect "$caption")
x_double_click $(((l + r) / 2)) $((t + 10))
sleep 0.5
starts=$(occurrences)
count=$(grep -c . <<<"$starts")
e2e_log "$count occurrences in the first prescription"
[ "$count" -ge 1 ] || e2e_fail "the shown prescription does not contain \"$WORD\""
expect_selected 0

# ---- 2. F3 and Shift+F3 -----------------------------------------------------------------------------
# The real keys go to the window that has the keyboard focus: the viewer, just opened.
press_f3
expect_selected $((1 % count))
press_f3 shift
expect_selected 0
press_f3 shift
expect_selected $((count - 1))
press_f3
expect_selected 0

read -r l t r b < <(drv window-rect "$caption")
shot=$E2E_ARTIFACTS/viewer-match.png
# The top of the maximised viewer: its caption, the document list and the first lines.
import -window root -crop "$((r - l))x$(((b - t) < 360 ? b - t : 360))+$l+$t" +repage "$shot" 2>/dev/null ||
    e2e_fail "no screenshot"
e2e_log "screenshot $shot"
if [ "$count" -ge 2 ]; then
    # The second occurrence is not selected: its background mark is drawn (it is in view: the
    # generated prescriptions are short).
    yellow=$(convert "$shot" -fill black +opaque '#FFFF00' -fill white -opaque '#FFFF00' -colorspace gray \
        -format '%[fx:round(mean*w*h)]' info:)
    e2e_log "$yellow pixels of the mark's background on the screen"
    [ "$yellow" -gt 20 ] || e2e_fail "no marked occurrence is drawn"
fi

# ---- 3. the next document --------------------------------------------------------------------------
entries=$(drv cb-count "$caption" 301)
if [ "${entries:-0}" -ge 2 ]; then
    drv rich-text "$caption" > "$E2E_ARTIFACTS/viewer-match-first.txt"
    read -r x y < <(drv coords "$caption" 301)
    x_click "$x" "$y"
    sleep 0.3
    xdotool key Down Return
    sleep 0.5
    [ "$(drv cb-sel "$caption" 301)" = 1 ] || e2e_fail "the second document was not chosen"
    starts=$(occurrences)
    count=$(grep -c . <<<"$starts")
    e2e_log "$count occurrences in the second document"
    if [ "$count" -ge 1 ]; then
        expect_selected 0
    else
        read -r start end text < <(selection)
        [ "$start" = "$end" ] || e2e_fail "a selection without an occurrence"
    fi
else
    e2e_log "one document only: the next document is not checked"
fi

close_by_click "$caption"
drv wait-gone "$caption" 5000 || e2e_fail "the viewer did not close"
close_by_click
sondrel_wait_exit 20 || e2e_fail "sondrel.exe still running after the close"
[ "$SONDREL_RC" -eq 0 ] || e2e_fail "exit code $SONDREL_RC"
e2e_log "passed"
