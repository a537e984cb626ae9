/* Export of the result list to a text, tab-separated or HTML file. */
#ifndef SONDREL_EXCHANGE_EXPORT_H
#define SONDREL_EXCHANGE_EXPORT_H

#include <windows.h>

/* ExportFormat values. */
enum { EXPORT_FORMAT_TEXT = 1, EXPORT_FORMAT_TABBED = 2, EXPORT_FORMAT_HTML = 3 };

/* Asks for a file and writes the rows of list `listId` of the main window in `exportFormat`. */
void ExportResults(HWND mainWindow, int listId, int exportFormat);

#endif
