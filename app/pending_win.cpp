/* Placeholders for operations the main window calls that are not written yet.
 *
 * Each entry here stands in for one operation of another folder, declared in that folder's header,
 * and does nothing, so that the main window builds and runs while the rest of the program is being
 * written. These are replaced as each feature lands: the work that writes an operation deletes its
 * entry from this file (and the file goes when it is empty). */
#include "app/search_state.h"
#include "catalogue/catalogue.h"
#include "results/viewer.h"
#include "search/search_run.h"

/* search/search_run.h: a run that finds nothing to do still releases the launch guard. */
DWORD WINAPI RunSearch(LPVOID mainWindow) {
    (void)mainWindow;
    SearchRunAbandon();
    return 0;
}

/* results/viewer.h */
void OpenDocumentViewer(HWND owner, PatientHits* hits, int32_t searchMode) {
    (void)owner;
    (void)hits;
    (void)searchMode;
}

/* catalogue/catalogue.h */
void FillFormCombo(HWND mainWindow) { (void)mainWindow; }
