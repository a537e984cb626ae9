/* Matching a host document handle, and the Win32 report of a dropped result.
 *
 * MatchDocument is what the search run calls for each document text the host hands out: it takes
 * over the movable memory handle, matches and records the text (search/match.h) and always
 * releases the handle. InstallAllocationFailureBox makes the hit table's allocation failures show
 * the program's error box; the main window calls it while it initialises, before any search can
 * start. */
#ifndef SONDREL_SEARCH_MATCH_WIN_H
#define SONDREL_SEARCH_MATCH_WIN_H

#include <windows.h>

/* Matches the document text of `document` (a movable memory handle from one of the XML read
 * operations) against the folded pattern, in the sections `formDataOnly` selects, and records a
 * match for the patient of `header` (a letter or prescription header filled by the same read).
 * Owns the handle from the call on: it is unlocked and freed whatever happens; a NULL handle is
 * ignored. Search thread only. */
void MatchDocument(HGLOBAL document, const char* pattern, const void* header, DWORD key, int fromFileTable,
                   int formDataOnly);

/* Points g_reportAllocationFailure at a message box with no owner window:
 * "Erreur d'allocation mémoire, résultat ignoré", caption "Sondrel", error icon. */
void InstallAllocationFailureBox(void);

#endif
