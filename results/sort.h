/* Result list sorting: the header images and the sort on a column click. */
#ifndef SONDREL_RESULTS_SORT_H
#define SONDREL_RESULTS_SORT_H

#include <stdint.h>
#include <windows.h>

/* Index of the column sorted last; 0 at start. */
extern int32_t LastSortColumn;

/* The list's image list and extended styles; once, while the main window initialises. */
void InitListImages(HWND mainWindow);

/* Sorts list `listId` of the main window by `column`, toggling its byte of `sortDirections` and
 * updating `*lastSortColumn`. */
void SortByColumn(HWND mainWindow, int listId, unsigned char* sortDirections, int32_t* lastSortColumn,
                  int column);

#endif
