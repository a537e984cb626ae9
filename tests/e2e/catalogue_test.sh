#!/usr/bin/env bash
# The form chooser, end to end: "Formulon" shows combo 244 in place of the search text, with the 24
# built-in form labels in their order and the first selected; a person picks another form with the
# pointer and the keyboard; the catalogue refresh, which cannot reach the maker's server here, changes
# nothing for the whole run (no refill, the choice stays, no message); the window closes at once with
# exit code 0, the refresh thread being no reason to wait.
source "$(dirname "$0")/lib.sh"
e2e_require_display

sondrel_start
sondrel_wait_main 30000
[ ! -s "$E2E_MESSAGES" ] || e2e_fail "message boxes at start-up: $(tr '\n' '|' < "$E2E_MESSAGES")"

read -r visible _ < <(drv state "$SONDREL_CAPTION" 244) || e2e_fail "no combo 244"
[ "$visible" = 0 ] || e2e_fail "the form chooser is visible before \"Formulon\" is chosen"
click_control 241
until_true 5 control_visible 244 || true
read -r visible _ < <(drv state "$SONDREL_CAPTION" 244)
[ "$visible" = 1 ] || e2e_fail "the form chooser did not appear"
read -r visible _ < <(drv state "$SONDREL_CAPTION" 235)
[ "$visible" = 0 ] || e2e_fail "the search text is still visible"

# The built-in labels, in order (the driver prints them in UTF-8).
expected=(
    "Protocole d'Examen Spécial" "Protocole pour soins post consolidation"
    "Demande d'adhésion option médecin référent" "Entente préalable accident du travail"
    "Accord préalable prescription de transport" "Accord préalable prescription de transport 2007"
    "Avis d'arrêt de travail" "Avis d'arrêt de travail 2008" "Accident de travail" "Accident de travail 2008"
    "Cure thermale " "Prescription de transport" "Entente Assurance Maladie"
    "Déclaration choix médecin traitant" "Medicaments d'exception" "Démarche de soins infirmiers" "Cotorep"
    "Permis Mer" "Declaration rougeole" "Enfant handicapé" "Declaration Maladie Professionnelle"
    "Certificat des 24 mois" "Certificat des 9 mois" "Declaration d'effets indésirables")
check_builtin_labels() {
    local count i text
    count=$(drv cb-count "$SONDREL_CAPTION" 244) || e2e_fail "cannot read combo 244"
    [ "$count" = 24 ] || e2e_fail "the chooser holds $count entries, not 24"
    for ((i = 0; i < 24; i++)); do
        text=$(drv cb-text "$SONDREL_CAPTION" 244 $i)
        [ "$text" = "${expected[i]}" ] || e2e_fail "entry $i is \"$text\", not \"${expected[i]}\""
    done
}
check_builtin_labels
[ "$(drv cb-sel "$SONDREL_CAPTION" 244)" = 0 ] || e2e_fail "the first entry is not selected"
e2e_log "the 24 built-in labels, first selected"

# Open the list with the pointer, go down to "Cotorep" (entry 16) and take it.
click_control 244
sleep 0.3
e2e_screenshot catalogue-open-list
for ((i = 0; i < 16; i++)); do xdotool key Down; done
xdotool key Return
sleep 0.3
sel=$(drv cb-sel "$SONDREL_CAPTION" 244)
[ "$sel" = 16 ] || e2e_fail "the choice is entry $sel, not Cotorep (16)"

# The refresh has long ended (the server's name does not resolve): nothing was refilled.
sleep 2
check_builtin_labels
[ "$(drv cb-sel "$SONDREL_CAPTION" 244)" = 16 ] || e2e_fail "the choice was reset although no list arrived"
sondrel_dismiss_messages >/dev/null && e2e_fail "a message box appeared: $(tr '\n' '|' < "$E2E_MESSAGES")"
e2e_screenshot catalogue-chosen

close_by_click
sondrel_wait_exit 10 || e2e_fail "sondrel.exe still running 10 s after the close"
[ "$SONDREL_RC" -eq 0 ] || e2e_fail "exit code $SONDREL_RC after the close"
e2e_log "passed"
