#!/usr/bin/env bash
# Export and import, end to end, as a person does them: after a search of the prescriptions for
# "Zelmorin", "Exporter" is clicked, a format is picked from its popup menu with the keyboard, and a
# name is typed into Wine's save dialog; the three files are then checked against the list shown.
# The tab-separated file is subtracted through "Importer", "Soustraire fichier XLS" and the open
# dialog (the list empties), added back the same way (the same rows return), and a file with a
# faulty line brings up the prompt, answered No.
#
# Driving Wine's file dialogs: the dialog opens with the keyboard focus in its file-name field, so
# the full Windows path of the file (the Unix path under Wine's Z: drive, e.g.
# Z:\work\...\exchange.xls) is typed there and Enter confirms it. This needs no clicking inside the
# dialog, whose layout depends on the Wine version, and no folder navigation. Each step waits for
# the dialog captioned "Choisissez un fichier" to come and to go.
source "$(dirname "$0")/lib.sh"
e2e_require_display

WORK=$E2E_ARTIFACTS/exchange-files
rm -rf "$WORK"
mkdir -p "$WORK"
win_path() { printf 'Z:%s' "$1" | tr '/' '\\'; }

# The end of a run: its summary "... occ. - N Patient(s) (en S s)" (the running status reads "Total ...")
# and "Lancer" back on the button.
summary_shown() {
    drv sb-text "$SONDREL_CAPTION" 2 | grep -q '^[0-9-]* occ\. - .*(en ' && [ "$(drv text "$SONDREL_CAPTION" 219)" = "Lancer" ]
}
dialog_gone() { ! drv exists "Choisissez un fichier"; }
row_count() { drv lv-count "$SONDREL_CAPTION"; }
rows_are() { [ "$(row_count)" = "$1" ]; }

# Clicks button ID, then picks the popup menu's item with KEYS (xdotool key names), then types PATH
# into the file dialog that comes up and confirms it.
through_menu_and_dialog() {
    local id=$1 keys=$2 path=$3
    open_button_menu "$id"
    xdotool key $keys
    drv wait-window "Choisissez un fichier" 20000 >/dev/null || e2e_fail "no file dialog after button $id, keys $keys"
    wait_dialog_ready "Choisissez un fichier"
    type_into_dialog "Choisissez un fichier" "$(win_path "$path")"
    SHOT=$((${SHOT:-0} + 1))
    e2e_screenshot "exchange-dialog-$SHOT"
    xdotool key Return
    until_true 20 dialog_gone || e2e_fail "the file dialog stays open for $path"
}

# The list as lv-rows prints it (UTF-8, cells joined by TAB) from a tab-separated export.
xls_as_rows() { tail -n +2 "$1" | iconv -f CP1252 -t UTF-8 | tr -d '\r' | sed 's/\t$//'; }

sondrel_start
sondrel_wait_main 30000
sleep 0.5

# ---- a search to export -----------------------------------------------------------------------
click_control 240
type_search_text Zelmorin
click_control 219
until_true 120 summary_shown || e2e_fail "no summary after the search"
rows=$(row_count)
[ "$rows" -gt 0 ] || e2e_fail "the search found nothing"
drv lv-rows "$SONDREL_CAPTION" > "$WORK/shown.txt"
e2e_log "search: $rows rows, $(drv sb-text "$SONDREL_CAPTION" 2)"

# ---- export in the three formats ----------------------------------------------------------------
# The menu items in order: "Fichier texte", "Fichier Excel", "Fichier HTML"; the names are typed
# without extension, which the export adds.
through_menu_and_dialog 218 "Down Return" "$WORK/exchange"
through_menu_and_dialog 218 "Down Down Return" "$WORK/exchange"
through_menu_and_dialog 218 "Down Down Down Return" "$WORK/exchange"
sondrel_dismiss_messages && e2e_fail "a message box came up during the exports"
for ext in txt xls html; do
    until_true 10 test -s "$WORK/exchange.$ext" || e2e_fail "no exchange.$ext written"
done

# Tab-separated: the header, then the rows exactly as shown.
header=$(head -n 1 "$WORK/exchange.xls" | iconv -f CP1252 -t UTF-8 | tr -d '\r')
[ "$header" = "$(printf 'N° dossier\tNom Patient\tAge\tNombre d'"'"'occurences\tPremière occurence\tDernière occurence\tMédecin\tN° SS\tRégime\t')" ] ||
    e2e_fail "tab-separated header is \"$header\""
xls_as_rows "$WORK/exchange.xls" | cmp -s - "$WORK/shown.txt" || e2e_fail "the tab-separated rows differ from the list"
[ "$(LC_ALL=C grep -c $'\r$' "$WORK/exchange.xls")" -eq $((rows + 1)) ] || e2e_fail "exchange.xls lines do not all end in CR LF"

# Fixed width: every line is as long as the header (nine cells of the starting widths, 143 bytes
# with the bars, and CR LF) and ends in "|".
[ "$(wc -l < "$WORK/exchange.txt")" -eq $((rows + 1)) ] || e2e_fail "exchange.txt has $(wc -l < "$WORK/exchange.txt") lines"
LC_ALL=C awk '{ if (length($0) != 134 + 9 + 1 || substr($0, length($0) - 1) != "|\r") bad++ } END { exit bad > 0 }' \
    "$WORK/exchange.txt" || e2e_fail "a fixed-width line has the wrong length or ending"

# HTML: one line, the caption as title, one table row per list row plus the header.
html=$(cat "$WORK/exchange.html")
case $html in "<html><head><title>Sondrel</title>"*"</table>") ;; *) e2e_fail "exchange.html is not the expected page" ;; esac
[ "$(grep -c '' "$WORK/exchange.html")" -eq 1 ] || e2e_fail "exchange.html holds line breaks"
[ "$(grep -o '</tr>' "$WORK/exchange.html" | wc -l)" -eq $((rows + 1)) ] || e2e_fail "exchange.html has the wrong number of rows"
e2e_log "exports checked: txt, xls, html with $rows rows"

# ---- import: subtract, then add back ------------------------------------------------------------
through_menu_and_dialog 246 "s" "$WORK/exchange.xls"
until_true 20 rows_are 0 || e2e_fail "subtracting the export left $(row_count) rows"
status=$(drv sb-text "$SONDREL_CAPTION" 2)
case $status in "0 occ. - 0 Patient (en "*) ;; *) e2e_fail "status after the subtraction: $status" ;; esac
e2e_screenshot exchange-after-subtract

through_menu_and_dialog 246 "a" "$WORK/exchange.xls"
until_true 20 rows_are "$rows" || e2e_fail "adding the export back gives $(row_count) rows"
drv lv-rows "$SONDREL_CAPTION" | cmp -s - "$WORK/shown.txt" || e2e_fail "the rows added back differ from the search's"
sondrel_dismiss_messages && e2e_fail "a message box came up during the imports"
e2e_screenshot exchange-after-add

# ---- a faulty line: the prompt, answered No -----------------------------------------------------
{ head -n 1 "$WORK/exchange.xls"; printf 'pas une ligne\r\n'; sed -n 2p "$WORK/exchange.xls"; } > "$WORK/faux.xls"
through_menu_and_dialog 246 "a" "$WORK/faux.xls"
text=$(sondrel_expect_message 5000)
[ "$text" = "$(printf 'Ligne erronée trouvée : \npas une ligne\nContinuer ?')" ] || e2e_fail "prompt reads \"$text\""
drv msgbox-press "$SONDREL_CAPTION" 7 || e2e_fail "no No button on the prompt"
until_true 10 dialog_gone
sleep 0.5
drv lv-rows "$SONDREL_CAPTION" | cmp -s - "$WORK/shown.txt" || e2e_fail "No did not stop before the next line"
e2e_log "faulty line prompted, No stopped the import"

close_by_click
sondrel_wait_exit 20 || e2e_fail "sondrel.exe still running after the close"
[ "$SONDREL_RC" -eq 0 ] || e2e_fail "exit code $SONDREL_RC"
e2e_log "passed"
