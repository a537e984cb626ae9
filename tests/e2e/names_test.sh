#!/usr/bin/env bash
# Patients without a name, end to end: on a small cabinet written here, a search of the
# prescriptions finds an ordinary patient, a known patient whose names are empty and whose birth
# date is 0, and a patient the host does not know. The name cell of the last two is one space and
# the known one has an age; the list is exported as tab-separated through "Exporter" and the save
# dialog, subtracted through "Importer" (the list empties) and added back into the empty results
# (the same rows return), with no prompt on the way. The prefix is pointed back at the test
# cabinet at the end.
source "$(dirname "$0")/lib.sh"
e2e_require_display

M=$SONDREL_CAPTION
setup=${SONDREL_SOURCE_DIR:-$E2E_LIB_DIR/../..}/standin/setup-prefix.sh
[ -x "$setup" ] || { e2e_log "no prefix set-up script: skipped"; exit 77; }

tree=$E2E_ARTIFACTS/names-tree
WORK=$E2E_ARTIFACTS/names-files
rm -rf "$tree" "$WORK"
mkdir -p "$tree/Cabinets/noms" "$tree/Programmes" "$WORK"
printf 'noms|nom|Cabinet Noms\r\n' > "$tree/Cabinets/passes.txt"
printf '[R\xe9gimes]\r\n1=01;R\xe9gime g\xe9n\xe9ral;\r\n' > "$tree/Programmes/caisses.hdc"
# 10 is an ordinary patient, 20 is known with empty names and birth date 0, 40 is unknown.
printf '%s\r\n' 'HDCAB 1' 'TODAY 08/12/2026' 'PASS nom' \
    "P 10|DUPONT|$(printf '\xc9')lodie|08/09/2025|1 23 45" 'P 20|||0|' \
    'D 39|5001|7|10|02/02/2002|1|Dr A' '<text>aspirine</text>' '.' \
    'D 39|5002|7|20|03/03/2003|2|Dr B' '<text>aspirine</text>' '.' \
    'D 39|5003|7|20|04/04/2004|3|Dr B' '<text>aspirine 500</text>' '.' \
    'D 39|5004|7|40|05/05/2005|4|Dr C' '<text>aspirine</text>' '.' \
    > "$tree/Cabinets/noms/cabinet.txt"

restore_prefix() {
    if [ -n "${SONDREL_TEST_TREE:-}" ] && [ -d "$SONDREL_TEST_TREE/Cabinets" ]; then
        "$setup" "$WINEPREFIX" "$SONDREL_TEST_TREE" "$E2E_BIN" >/dev/null 2>&1 || e2e_log "could not point the prefix back"
    fi
    rm -rf "$tree"
}
trap 'e2e_cleanup; restore_prefix' EXIT
"$setup" "$WINEPREFIX" "$tree" "$E2E_BIN" >/dev/null 2>&1 || e2e_fail "cannot point the prefix at $tree"

summary() { drv sb-text "$M" 2; }
summary_shown() { summary | grep -q ' occ\. - [0-9]* Patients\? (en [0-9]*\.[0-9][0-9][0-9] s)$'; }
rows_are() { [ "$(drv lv-count "$M")" = "$1" ]; }

sondrel_start
sondrel_wait_main 30000
[ ! -s "$E2E_MESSAGES" ] || e2e_fail "message boxes at start-up: $(tr '\n' '|' < "$E2E_MESSAGES")"
sleep 0.3

# "Ordonnances" is checked at start.
type_search_text aspirine
click_control 219
until_true 60 summary_shown || e2e_fail "no summary after the search (status: \"$(summary)\")"
drv lv-rows "$M" > "$WORK/shown.txt"
e2e_log "search: $(summary)"
[ "$(cut -f1 "$WORK/shown.txt" | tr '\n' ' ')" = "10 20 40 " ] || e2e_fail "rows: $(cut -f1 "$WORK/shown.txt" | tr '\n' ' ')"
[ "$(cut -f2 "$WORK/shown.txt" | sed -n 1p)" = "DUPONT Élodie" ] || e2e_fail "name of 10: \"$(cut -f2 "$WORK/shown.txt" | sed -n 1p)\""
[ "$(cut -f2 "$WORK/shown.txt" | sed -n 2p)" = " " ] || e2e_fail "name of the known patient without names: \"$(cut -f2 "$WORK/shown.txt" | sed -n 2p)\""
[ "$(cut -f2 "$WORK/shown.txt" | sed -n 3p)" = " " ] || e2e_fail "name of the unknown patient: \"$(cut -f2 "$WORK/shown.txt" | sed -n 3p)\""
[ -n "$(cut -f3 "$WORK/shown.txt" | sed -n 2p)" ] || e2e_fail "the known patient with birth date 0 has no age"
[ -z "$(cut -f3 "$WORK/shown.txt" | sed -n 3p)" ] || e2e_fail "the unknown patient has an age"
e2e_screenshot names-searched

# Export as tab-separated (the popup menu's second item); the name cells are one space.
through_menu_and_dialog 218 "Down Down Return" "$WORK/noms"
until_true 10 test -s "$WORK/noms.xls" || e2e_fail "no noms.xls written"
LC_ALL=C grep -q $'^20\t \t' "$WORK/noms.xls" || e2e_fail "noms.xls lacks the one-space name of patient 20"
LC_ALL=C grep -q $'^40\t \t' "$WORK/noms.xls" || e2e_fail "noms.xls lacks the one-space name of patient 40"

# Subtract it: every line is accepted and the list empties. Then add it into the empty results.
through_menu_and_dialog 246 "s" "$WORK/noms.xls"
until_true 20 rows_are 0 || e2e_fail "subtracting the export left $(drv lv-count "$M") rows"
sondrel_dismiss_messages && e2e_fail "a prompt came up while subtracting: $(tail -n 3 "$E2E_MESSAGES" | tr '\n' '|')"
through_menu_and_dialog 246 "a" "$WORK/noms.xls"
until_true 20 rows_are 3 || e2e_fail "adding the export into empty results gives $(drv lv-count "$M") rows"
sondrel_dismiss_messages && e2e_fail "a prompt came up while adding: $(tail -n 3 "$E2E_MESSAGES" | tr '\n' '|')"
drv lv-rows "$M" | cmp -s - "$WORK/shown.txt" || e2e_fail "the rows added back differ from the search's"
case $(summary) in "4 occ. - 3 Patients (en "*) ;; *) e2e_fail "summary after the import: \"$(summary)\"" ;; esac
e2e_screenshot names-imported

close_by_click
sondrel_wait_exit 20 || e2e_fail "sondrel.exe still running after the close"
[ "$SONDREL_RC" -eq 0 ] || e2e_fail "exit code $SONDREL_RC"
e2e_log "passed"
