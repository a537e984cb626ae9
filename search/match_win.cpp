/* MatchDocument over a host memory handle, and the allocation-failure box (see match_win.h).
 *
 * The handle is locked only for the match; the text is not copied. A handle whose lock fails (a
 * discarded block, or not a handle at all) is still freed: from the call on it is ours, and the
 * host will not free it. The text is searched only within the block: the block's last byte
 * becomes a terminator, so a faulty host text cannot make us read past it. The failure box
 * has no owner window because it is shown from the search thread, which owns no window; it halts the run
 * until the user closes it. */
#include "search/match_win.h"

#include "base/ui.h"
#include "search/hits.h"
#include "search/match.h"

void MatchDocument(HGLOBAL document, const char* pattern, const void* header, DWORD key, int fromFileTable,
                   int formDataOnly) {
    if (document == NULL) return;
    char* text = (char*)GlobalLock(document);
    if (text != NULL) {
        /* A text the host left without a terminator ends at the last byte of its block. The
         * terminator goes there whether or not the text ends earlier: nothing after a text's
         * first terminator is ever read, so the results are the same, without a pass over every
         * text to look for one first. */
        SIZE_T size = GlobalSize(document);
        if (size > 0) {
            text[size - 1] = 0;
            MatchAndRecordDocument(text, pattern, header, (uint32_t)key, fromFileTable, formDataOnly);
        }
        GlobalUnlock(document);
    }
    GlobalFree(document);
}

static void ShowAllocationFailureBox(void) {
    ShowMessageBox(NULL, "Erreur d'allocation mémoire, résultat ignoré", "Sondrel", MB_ICONERROR);
}

void InstallAllocationFailureBox(void) {
    g_reportAllocationFailure = ShowAllocationFailureBox;
}
