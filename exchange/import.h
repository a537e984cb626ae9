/* Adding or subtracting a previously exported tab-separated results file. */
#ifndef SONDREL_EXCHANGE_IMPORT_H
#define SONDREL_EXCHANGE_IMPORT_H

#include <windows.h>

/* ImportMode values. */
enum { IMPORT_MODE_ADD = 1, IMPORT_MODE_SUBTRACT = 2 };

/* Asks for a file, merges it into the results by `importMode`, then refills list `listId`. */
void ImportResults(HWND mainWindow, int listId, int importMode);

#endif
