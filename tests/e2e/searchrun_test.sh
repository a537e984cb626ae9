#!/usr/bin/env bash
# Searching, end to end, as a person does it: a drug name typed into the search field, "Lancer"
# clicked with the real pointer, the rows and the summary read back from the window; a "Courriers"
# run; a "Formulon" run, which puts the chosen form's identifier into the search field. Then, on a
# cabinet of 1,000,000 small prescriptions written by this test (so that a run lasts long enough to
# be watched), the button reading "Annuler" and the progress bar moving during a run, a cancel that
# leaves "Annulé !" and the patients found so far, and a close during a run that ends the program
# with exit code 0 once the run has stopped. The prefix is pointed back at the test cabinet at the end.
source "$(dirname "$0")/lib.sh"
e2e_require_display

M=$SONDREL_CAPTION
launch_caption() { drv text "$M" 219; }
is_searching() { [ "$(launch_caption)" = "Annuler" ]; }
is_idle() { [ "$(launch_caption)" = "Lancer" ]; }
summary() { drv sb-text "$M" 2; }
summary_shown() { summary | grep -q ' occ\. - [0-9]* Patients\? (en [0-9]*\.[0-9][0-9][0-9] s)$'; }
cancelled_shown() { [ "$(summary)" = "Annulé !" ]; }
progress_moving() { [ "$(drv pb-pos "$M" 232)" -gt 0 ] 2>/dev/null; }

# Runs a search with the current mode and text by clicking "Lancer"; waits for the summary.
search_to_end() {
    drv sb-text "$M" 2 >/dev/null
    click_control 219
    until_true 120 summary_shown || e2e_fail "no summary after the search (status: \"$(summary)\")"
    until_true 10 is_idle || e2e_fail "button 219 reads \"$(launch_caption)\" after the search"
    e2e_log "summary: $(summary)"
}

# The rows agree with the summary: as many rows as patients, ascending patient numbers, the
# occurrence counts adding up to the total.
check_rows_against_summary() {
    local text occ patients rows
    text=$(summary)
    occ=${text%% occ.*}
    patients=${text#* occ. - }
    patients=${patients%% Patient*}
    rows=$(drv lv-count "$M")
    [ "$rows" = "$patients" ] || e2e_fail "$rows rows for \"$text\""
    drv lv-rows "$M" > "$E2E_ARTIFACTS/$E2E_NAME.rows.txt"
    awk -F'\t' -v occ="$occ" '
        NR > 1 && $1 + 0 <= prev { print "rows out of order at " NR; bad = 1 }
        { prev = $1 + 0; sum += $4 }
        END { if (sum != occ) { print "occurrences add up to " sum ", not " occ; bad = 1 } exit bad }' \
        "$E2E_ARTIFACTS/$E2E_NAME.rows.txt" >&2 || e2e_fail "rows do not match the summary"
}

# ---- the test cabinet -------------------------------------------------------------------------
sondrel_start
sondrel_wait_main 30000
[ ! -s "$E2E_MESSAGES" ] || e2e_fail "message boxes at start-up: $(tr '\n' '|' < "$E2E_MESSAGES")"
sleep 0.3

# "Ordonnances" (checked at start) for a typed drug name.
type_search_text "zelmorin"
[ "$(drv text "$M" 235)" = "zelmorin" ] || e2e_fail "typed \"$(drv text "$M" 235)\""
search_to_end
check_rows_against_summary
[ "$(drv lv-count "$M")" -gt 0 ] || e2e_fail "no prescription mentions zelmorin"
read -r number name < <(drv lv-rows "$M" | head -n 1 | cut -f1,2)
e2e_log "first row: $number $name"
[ -n "$name" ] || e2e_fail "the first row has no patient name"
[ "$(drv lv-columns "$M")" = 9 ] || e2e_fail "the list has $(drv lv-columns "$M") columns"
progress=$(drv pb-pos "$M" 232)
[ "$progress" -gt 0 ] || e2e_fail "the progress bar did not move"
prescriptions=$(summary)
e2e_screenshot searchrun-prescriptions

# "Courriers" for a word of letters, typed with its accent.
click_control 234
type_search_text "confrère"
typed=$(drv text "$M" 235)
if [ "$typed" != "confrère" ]; then
    e2e_log "the keyboard gave \"$typed\": the text is put in directly"
    drv set-text "$M" 235 "confrère"
fi
search_to_end
check_rows_against_summary
[ "$(summary)" != "$prescriptions" ] || e2e_fail "the letters run gave the prescriptions' summary"
[ "$(drv lv-count "$M")" -gt 0 ] || e2e_fail "no letter says confrère"

# "Formulon": the chosen form's identifier goes into the search field and is searched for.
click_control 241
read -r visible _ _ < <(drv state "$M" 244)
[ "$visible" = 1 ] || e2e_fail "the form chooser is not shown"
forms=$(drv cb-count "$M" 244)
search_to_end
click_control 234   # shows the search field again
form_id=$(drv text "$M" 235)
e2e_log "form chooser: $forms entries; search field after the run: \"$form_id\""
if [ "${forms:-0}" -gt 0 ]; then
    [ -n "$form_id" ] && [ "$form_id" != "confrère" ] || e2e_fail "the form id did not replace the search text"
    check_rows_against_summary
    if [ -n "${SONDREL_TEST_TREE:-}" ] && [ -d "$SONDREL_TEST_TREE/Cabinets" ] &&
        LC_ALL=C grep -rqaF "$form_id" "$SONDREL_TEST_TREE/Cabinets"; then
        [ "$(drv lv-count "$M")" -gt 0 ] || e2e_fail "no row for form $form_id, which the cabinet holds"
    fi
else
    [ "$form_id" = "confrère" ] || e2e_fail "an empty form chooser changed the search text"
    [ "$(drv lv-count "$M")" = 0 ] || e2e_fail "an empty form chooser found rows"
fi
close_by_click
sondrel_wait_exit 20 || e2e_fail "sondrel.exe still running after the close"
[ "$SONDREL_RC" -eq 0 ] || e2e_fail "exit code $SONDREL_RC"

# ---- a cabinet whose runs last long enough to watch -------------------------------------------
setup=${SONDREL_SOURCE_DIR:-$E2E_LIB_DIR/../..}/standin/setup-prefix.sh
if [ -z "${SONDREL_TEST_TREE:-}" ] || [ ! -d "$SONDREL_TEST_TREE/Cabinets" ] || [ ! -x "$setup" ]; then
    e2e_log "no test tree or prefix set-up script: the long runs are skipped"
    e2e_log "passed"
    exit 0
fi
tree=$E2E_ARTIFACTS/searchrun-tree
rm -rf "$tree"
mkdir -p "$tree/Cabinets/longrun" "$tree/Programmes"
printf 'longrun|long|Cabinet Long\r\n' > "$tree/Cabinets/passes.txt"
printf '[R\xe9gimes]\r\n1=01;R\xe9gime g\xe9n\xe9ral;\r\n' > "$tree/Programmes/caisses.hdc"
# A million: a whole run then lasts a few seconds in either Wine flavour (300,000 took under 2 s,
# too short to read the running state reliably on a loaded machine).
DOCUMENTS=1000000
awk -v n=$DOCUMENTS -v p=2000 'BEGIN {
    printf "HDCAB 1\r\nTODAY 08/12/2026\r\nPASS long\r\n"
    for (i = 1; i <= p; i++) printf "P %d|NOM%d|Pr\xe9nom|01/01/1980|1 80 01 75 %03d\r\n", i, i, i % 1000
    for (k = 1; k <= n; k++)
        printf "D 39|%d|7|%d|01/01/2001|0|Dr Long\r\n<text>%s</text>\r\n.\r\n", k, int((k - 1) * p / n) + 1,
            (k % 100 == 0 ? "aspirine" : "paracetamol")
}' > "$tree/Cabinets/longrun/cabinet.txt"
restore_prefix() {
    "$setup" "$WINEPREFIX" "$SONDREL_TEST_TREE" "$E2E_BIN" >/dev/null 2>&1 || e2e_log "could not point the prefix back"
    rm -rf "$tree"
}
trap 'e2e_cleanup; restore_prefix' EXIT
"$setup" "$WINEPREFIX" "$tree" "$E2E_BIN" >/dev/null 2>&1 || e2e_fail "cannot point the prefix at $tree"
e2e_log "cabinet of $DOCUMENTS prescriptions written and set up"

sondrel_start
sondrel_wait_main 60000
[ ! -s "$E2E_MESSAGES" ] || e2e_fail "message boxes with the long cabinet: $(tr '\n' '|' < "$E2E_MESSAGES")"
drv set-text "$M" 235 "aspirine" || e2e_fail "no search edit"
read -r lx ly < <(drv coords "$M" 219) || e2e_fail "no button 219"

# A run to its end first: how long it lasts tells whether the cancel below is meaningful.
start=$(date +%s%N)
x_click "$lx" "$ly"
until_true 10 is_searching || e2e_fail "button 219 never read \"Annuler\""
# The run lasts about a second: sample button, progress and status together until one sample is
# taken while it runs, instead of reading them one after another and racing its end.
running_sample() {
    local status
    status=$(summary)
    is_searching && progress_moving && case $status in "Total 'aspirine': "*) ;; *) return 1 ;; esac || return 1
    e2e_log "running: progress $(drv pb-pos "$M" 232), status \"$status\""
}
until_true 30 running_sample || e2e_fail "no sample of the run showed it running with progress and its status (status \"$(summary)\")"
e2e_screenshot searchrun-running
until_true 120 summary_shown || e2e_fail "the long run did not end"
took=$((($(date +%s%N) - start) / 1000000))
e2e_log "whole run: $took ms, $(summary)"
case $(summary) in "$((DOCUMENTS / 100)) occ. - 2000 Patients (en "*) ;; *) e2e_fail "summary \"$(summary)\"" ;; esac
[ "$(drv pb-pos "$M" 232)" = "$DOCUMENTS" ] || e2e_fail "progress ends at $(drv pb-pos "$M" 232), not $DOCUMENTS"
until_true 10 is_idle || e2e_fail "button 219 reads \"$(launch_caption)\" after the run"

# Cancel: "Annuler" during the run stops it; the patients found so far are listed. The cancel is
# clicked once the run shows its own running status, with the pointer left on the button. A run that
# still ends first (a loaded machine) turns the late click into the start of another run: that one
# is let end, and the cancel is tried again. A run is over when the button reads "Lancer" again with a cancel or a summary in the status; the
# status alone still shows the previous run's summary for a moment after a click. The cancel waits
# for this run's own running status ("Total ..."), which the previous run's final progress cannot
# fake.
run_over() { is_idle && { cancelled_shown || summary_shown; }; }
reporting() { is_searching && case $(summary) in "Total 'aspirine': "*) ;; *) false ;; esac; }
for attempt in 1 2 3; do
    x_click "$lx" "$ly"
    until_true 10 is_searching || e2e_fail "the run to cancel was not seen running"
    until_true 30 reporting || true
    xdotool click 1
    until_true 60 run_over || e2e_fail "neither \"Annulé !\" nor an end after the cancel (status \"$(summary)\")"
    cancelled_shown && break
    [ $attempt -lt 3 ] || e2e_fail "no \"Annulé !\" after the cancel in three runs (status \"$(summary)\")"
    e2e_log "the run ended before the cancel came (attempt $attempt): once more"
    sleep 1 # the late click may have started another run: it is let end
    until_true 120 run_over || e2e_fail "the run started by the late click did not end (status \"$(summary)\")"
done
until_true 10 is_idle || e2e_fail "button 219 reads \"$(launch_caption)\" after the cancel"
position=$(drv pb-pos "$M" 232)
rows=$(drv lv-count "$M")
e2e_log "cancelled at document $position of $DOCUMENTS with $rows rows"
[ "$position" -lt "$DOCUMENTS" ] || e2e_fail "the cancelled run went through every document"
[ "$rows" -lt 2000 ] || e2e_fail "the cancelled run listed every patient"
e2e_screenshot searchrun-cancelled

# Close during a run: the window stays until the run has stopped, then the program ends with 0.
# The close is also a cancel, so the run stops at its next document and the program ends well
# before a whole run would have: that is how the close is seen to have come during the run.
read -r cx cy < <(drv close-box "$M") || e2e_fail "no close box"
start=$(date +%s%N)
x_click "$lx" "$ly"
until_true 10 is_searching || e2e_fail "the third run was not seen running"
e2e_log "click the close box at $cx,$cy during the run"
x_click "$cx" "$cy"
sondrel_wait_exit 60 || e2e_fail "sondrel.exe still running 60 s after a close during a run"
[ "$SONDREL_RC" -eq 0 ] || e2e_fail "exit code $SONDREL_RC after a close during a run"
ended=$((($(date +%s%N) - start) / 1000000))
e2e_log "the program ended $ended ms after the run started (a whole run: $took ms)"
[ "$ended" -lt "$took" ] || e2e_log "the close came too late to stop the run early"
[ ! -s "$E2E_MESSAGES" ] || e2e_fail "message boxes: $(tr '\n' '|' < "$E2E_MESSAGES")"
e2e_log "passed"
