/* The result list (list view 217 of the main window): its columns and the sort-direction bytes.
 *
 * CreateResultColumns sets the main window's icons, inserts the list's nine columns and allocates
 * SortDirections, one byte per column, all 0. Called once while the main window initialises. */
#ifndef SONDREL_SEARCH_RESULT_LIST_H
#define SONDREL_SEARCH_RESULT_LIST_H

#include <windows.h>

/* One sort-direction byte per list column, allocated by CreateResultColumns; NULL before. */
extern unsigned char* SortDirections;

void CreateResultColumns(HWND mainWindow);

#endif
