/* Result list sorting: the header images and the sort on a column click.
 *
 * InitListImages gives list 217 its small image list (the header images: 0 a white square, 1 the
 * ascending triangle, 2 the descending triangle, 3 blank) and its extended styles. SortByColumn sorts
 * the rows by one column's cell texts, in the direction that column's byte of Sort.SortDirections holds
 * (0 ascending, non-zero descending), then inverts that byte; the sorted column's header shows its
 * triangle and the column sorted before loses its own. A click on an empty list changes nothing.
 * The sort under way travels to the list's comparison through LVM_SORTITEMS (see sort_win.cpp). */
#ifndef SONDREL_RESULTS_SORT_H
#define SONDREL_RESULTS_SORT_H

#include <stdint.h>
#include <windows.h>

#include "search/result_format.h"

/* The header images are SORT_IMAGE_* of search/result_format.h. */

/* The sort state of the main window, kept between header clicks. */
/* One sort-direction byte per list column, allocated by InitListImages; NULL before, or when there
 * was no memory for it (a header click then does nothing). */
extern unsigned char* SortDirections;
/* Index of the column sorted last; 0 at start. */
extern int32_t LastSortColumn;

/* The list's image list and extended styles, and Sort.SortDirections allocated (or reused) with every
 * byte 0; once, while the main window initialises, right after CreateResultColumns. */
void InitListImages(HWND mainWindow);

/* Sorts list `listId` of the main window by `column`, toggling its byte of `sortDirections` and
 * updating `*lastSortColumn`. A column outside the nine, or a missing direction table, is ignored. */
void SortByColumn(HWND mainWindow, int listId, unsigned char* sortDirections, int32_t* lastSortColumn,
                  int column);

#endif
