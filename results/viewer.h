/* The per-patient document viewer (dialog 300). */
#ifndef SONDREL_RESULTS_VIEWER_H
#define SONDREL_RESULTS_VIEWER_H

#include <stdint.h>
#include <windows.h>

#include "search/hits.h"

/* Shows the viewer, modal to `owner`, for one patient's matching documents; `searchMode` is the
 * SearchMode of the search that found them. Returns when the viewer has closed. */
void OpenDocumentViewer(HWND owner, PatientHits* hits, int32_t searchMode);

#endif
