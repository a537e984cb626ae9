#!/usr/bin/env bash
# Sorting the result list and reading documents in the viewer, end to end, as a person would:
#   1. search the prescriptions for the default text, then click column headers: each click sorts
#      the rows by that column's rule (text, leading digits, number, date), the second click on a
#      column reverses it, the clicked header shows its triangle and the one clicked before loses it;
#   2. double-click a row: the viewer comes up captioned with the patient, the count and the search
#      text, lists one entry per document and shows the first prescription as rich text; its close
#      box closes it;
#   3. search the form data for the first form type of the chooser, open a row with "Ouvrir": the text
#      area is hidden, and "Lancer Formulon" starts the stand-in editor, whose log receives the
#      parameter line with the cabinet, the patient, the document date and stamp.
# Screenshots: sortview-sorted-*.png, sortview-viewer.png (and the viewer alone in
# sortview-viewer-window.png), sortview-form-viewer.png.
source "$(dirname "$0")/lib.sh"
e2e_require_display
TREE=${SONDREL_TEST_TREE:-}

# Runs the search that is set up in the window and waits for its new summary; skips when fewer than
# MIN rows (default 2) show.
run_search() {
    local min=${1:-2} i n status old
    old=$(drv sb-text "$SONDREL_CAPTION" 2) || old=
    click_control 219
    for ((i = 0; i < 300; i++)); do
        status=$(drv sb-text "$SONDREL_CAPTION" 2) || status=
        [ "$status" != "$old" ] && case $status in *"occ. - "*" Patient"*"(en "*" s)") break ;; esac
        sleep 0.2
    done
    n=$(drv lv-count "$SONDREL_CAPTION") || n=0
    e2e_log "search done: $n rows, \"$status\""
    if [ "${n:-0}" -lt "$min" ]; then
        e2e_log "SKIPPED: the search left ${n:-0} rows in the list (fewer than $min); nothing to sort or open"
        exit 77
    fi
}

# Checks that column COL of the list is ordered by its rule in direction DIR (0 up, 1 down).
check_order() {
    local col=$1 dir=$2
    drv lv-rows "$SONDREL_CAPTION" > "$E2E_ARTIFACTS/sortview-rows.txt" || e2e_fail "cannot read the rows"
    python3 - "$col" "$dir" "$E2E_ARTIFACTS/sortview-rows.txt" <<'PY' || e2e_fail "column $col is not sorted (direction $dir)"
import re, sys
col, direction, path = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
rows = [l.rstrip("\n").split("\t") for l in open(path, encoding="utf-8")]
def atoi(t):
    m = re.match(r"[ \t\n\v\f\r]*([+-]?\d+)", t)
    return int(m.group(1)) if m else 0
def key(t):
    if col == 3: return atoi(t)
    if col == 2: return int(re.match(r"\d*", t).group(0) or "0")
    b = t.encode("cp1252")
    if col in (4, 5) and len(b) >= 10: b = b[6:10] + b" " + b[3:5] + b" " + b[0:2] + b[10:]
    return bytes(c + 32 if 65 <= c <= 90 else c for c in b)
keys = [key(r[col]) for r in rows]
bad = [i for i in range(len(keys) - 1) if (keys[i] > keys[i + 1] if direction == 0 else keys[i] < keys[i + 1])]
if bad:
    i = bad[0]
    print("rows %d and %d out of order: %r %r" % (i, i + 1, rows[i][col], rows[i + 1][col]), file=sys.stderr)
    sys.exit(1)
PY
}

# Clicks the header of COL and checks the order and the header images that follow.
click_header() {
    local col=$1 dir=$2 previous=$3 x y image drawn
    read -r x y < <(drv lv-header-at "$SONDREL_CAPTION" "$col") || e2e_fail "no header $col"
    e2e_log "click header $col at $x,$y"
    # x_click waits for the pointer to move ("mousemove --sync"), which takes a long time when it
    # already stands there: a second click on the same header starts from elsewhere.
    xdotool mousemove 1 1
    x_click "$x" "$y"
    sleep 0.4
    check_order "$col" "$dir"
    read -r image drawn < <(drv lv-header-image "$SONDREL_CAPTION" "$col")
    [ "$image" = $((dir + 1)) ] && [ "$drawn" = 1 ] || e2e_fail "header $col shows image $image (drawn $drawn)"
    if [ "$previous" -ge 0 ] && [ "$previous" != "$col" ]; then
        read -r image drawn < <(drv lv-header-image "$SONDREL_CAPTION" "$previous")
        [ "$image" = 3 ] || e2e_fail "header $previous still shows image $image"
    fi
}

# Caption the viewer takes for row ROW of the list and the title TEXT.
viewer_caption() {
    local row=$1 title=$2 name count
    name=$(drv lv-cell "$SONDREL_CAPTION" "$row" 1)
    count=$(drv lv-cell "$SONDREL_CAPTION" "$row" 3)
    local s=
    [ "$count" -gt 1 ] && s=s
    printf '%s - %s occurence%s - %s' "$name" "$count" "$s" "$title"
}

sondrel_start
sondrel_wait_main 30000
sleep 0.5

# ---- 1. sorting ----------------------------------------------------------------------------------
run_search
click_header 0 0 -1
click_header 0 1 -1
click_header 2 0 0
click_header 3 0 2
e2e_screenshot sortview-sorted-count-up
click_header 4 0 3
click_header 3 1 4    # column 3 goes on with its own direction
click_header 5 0 3
click_header 1 0 5
click_header 1 1 1
e2e_screenshot sortview-sorted-name-down
click_header 1 0 1

# ---- 2. the viewer on a double-click -------------------------------------------------------------
search_text=$(drv text "$SONDREL_CAPTION" 235)
caption=$(viewer_caption 0 "$search_text")
count=$(drv lv-cell "$SONDREL_CAPTION" 0 3)
read -r x y < <(drv lv-row-at "$SONDREL_CAPTION" 0) || e2e_fail "no row 0"
e2e_log "double-click row 0 at $x,$y: expect \"$caption\""
x_double_click "$x" "$y"
drv wait-window "$caption" 10000 301 >/dev/null || e2e_fail "no viewer captioned \"$caption\""
viewer_lists() { [ "$(drv cb-count "$caption" 301)" = "$count" ] && [ -n "$(drv rich-text "$caption")" ]; }
until_true 10 viewer_lists || true   # filled as it opens; the checks below say what is wrong
entries=$(drv cb-count "$caption" 301)
[ "$entries" = "$count" ] || e2e_fail "the viewer lists $entries documents for a count of $count"
first=$(drv cb-text "$caption" 301 0)
[[ $first =~ ^Ordonnance\ du\ [0-9]{2}/[0-9]{2}/[\ 0-9]{4}$ ]] || e2e_fail "first entry reads \"$first\""
[ "$(drv rich-visible "$caption")" = 1 ] || e2e_fail "the text area is not visible"
text=$(drv rich-text "$caption") || e2e_fail "no text area"
[ -n "$text" ] || e2e_fail "the first prescription was not shown"
case $text in *'{\rtf'* | *'<rtf>'*) e2e_fail "the text area shows the rich-text source" ;; esac
e2e_log "viewer shows: $(printf '%s' "$text" | head -c 120 | tr '\n\r' '  ')"
e2e_screenshot sortview-viewer
read -r l t r b < <(drv window-rect "$caption")
import -window root -crop "$((r - l))x$((b - t))+$l+$t" +repage "$E2E_ARTIFACTS/sortview-viewer-window.png" 2>/dev/null || true
close_by_click "$caption"
drv wait-gone "$caption" 5000 || e2e_fail "the viewer did not close"
sondrel_running || e2e_fail "sondrel.exe ended with the viewer"

# ---- 3. a form document handed to the editor -----------------------------------------------------
click_control 241
until_true 5 control_visible 244 || e2e_fail "Formulon did not show the form chooser"
form_label=$(drv cb-text "$SONDREL_CAPTION" 244 0)
run_search 1
drv lv-select "$SONDREL_CAPTION" 0 || e2e_fail "cannot select row 0"
patient=$(drv lv-cell "$SONDREL_CAPTION" 0 0)
caption=$(viewer_caption 0 "$form_label")
click_control 245
drv wait-window "$caption" 10000 301 >/dev/null || e2e_fail "no form viewer captioned \"$caption\""
form_viewer_laid_out() { [ "$(drv rich-visible "$caption")" = 0 ] && [ "$(drv text "$caption" 219)" = "Lancer Formulon" ]; }
until_true 10 form_viewer_laid_out || true
[ "$(drv rich-visible "$caption")" = 0 ] || e2e_fail "the text area shows in a form search"
read -r visible enabled checked < <(drv state "$caption" 219)
[ "$visible" = 1 ] || e2e_fail "\"Lancer Formulon\" is hidden"
[ "$(drv text "$caption" 219)" = "Lancer Formulon" ] || e2e_fail "button 219 reads \"$(drv text "$caption" 219)\""
e2e_screenshot sortview-form-viewer
if [ -n "$TREE" ] && [ -d "$TREE/Formulon" ]; then
    log=$TREE/Formulon/Formulon.log
    before=0
    [ -f "$log" ] && before=$(wc -l < "$log")
    click_control 219 "$caption"
    for ((i = 0; i < 100; i++)); do
        [ -f "$log" ] && [ "$(wc -l < "$log")" -gt "$before" ] && break
        sleep 0.1
    done
    line=$(tail -n 1 "$log" 2>/dev/null | tr -d '\r' | iconv -f CP1252 -t UTF-8)
    e2e_log "editor log: $line"
    [[ $line =~ Formulon\.exe\"?\ :M/Cabinet\ Médical\ du\ Parc/cabinet1//$patient///[0-9A-F]+/[0-9A-F]+$ ]] ||
        e2e_fail "the editor got \"$line\""
else
    e2e_log "no SONDREL_TEST_TREE with a Formulon folder: the editor's log is not checked"
fi
close_by_click "$caption"
drv wait-gone "$caption" 5000 || e2e_fail "the form viewer did not close"

close_by_click
sondrel_wait_exit 20 || e2e_fail "sondrel.exe still running after the close"
[ "$SONDREL_RC" -eq 0 ] || e2e_fail "exit code $SONDREL_RC"
e2e_log "passed"
