/* Result list sorting: the header images and the sort on a column click.
 *
 * InitListImages gives list 217 its small image list (the header images: 0 a white square, 1 the
 * ascending triangle, 2 the descending triangle, 3 blank) and its extended styles. SortByColumn sorts
 * the rows by one column's cell texts, in the direction that column's byte of SortDirections holds
 * (0 ascending, non-zero descending), then inverts that byte; the sorted column's header shows its
 * triangle and the column sorted before loses its own. A click on an empty list changes nothing.
 * CompareRows is the list's comparison callback; it reads the sort under way (see sort_win.cpp). */
#ifndef SONDREL_RESULTS_SORT_H
#define SONDREL_RESULTS_SORT_H

#include <stdint.h>
#include <windows.h>

#include "search/result_format.h"

/* The header images are SORT_IMAGE_* of search/result_format.h. */

/* Index of the column sorted last; 0 at start. */
extern int32_t LastSortColumn;

/* The list's image list and extended styles; once, while the main window initialises. */
void InitListImages(HWND mainWindow);

/* Sorts list `listId` of the main window by `column`, toggling its byte of `sortDirections` and
 * updating `*lastSortColumn`. A column outside the nine, or a missing direction table, is ignored. */
void SortByColumn(HWND mainWindow, int listId, unsigned char* sortDirections, int32_t* lastSortColumn,
                  int column);

/* The comparison of LVM_SORTITEMS: item data (PatientHits records) of two rows and the column. Negative
 * when the first row goes before the second. Meaningful only during SortByColumn's sort. */
int CALLBACK CompareRows(LPARAM first, LPARAM second, LPARAM column);

#endif
