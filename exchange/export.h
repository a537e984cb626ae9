/* Export of the result list to a text, tab-separated or HTML file.
 *
 * ExportResults asks for a file name with the save-file dialog and then writes the rows of the list
 * exactly as displayed (ExportResultsToPath): the nine columns in column order, the rows in their
 * display order, the fixed-width cells sized from the columns' current widths. The bytes of each
 * format are decided in export_format.h; this side reads the list control and the window caption,
 * and writes the file with one WriteFile per piece.
 *
 * The export reads only the list control, never the hit table, so it may run during a search: the
 * writing loop processes no message, so the file holds the list as it stood when the writing began.
 * A file that cannot be created or written completely, or a name with no room for the extension, is
 * reported to the user with an error box captioned "Sondrel". */
#ifndef SONDREL_EXCHANGE_EXPORT_H
#define SONDREL_EXCHANGE_EXPORT_H

#include <windows.h>

#include <commdlg.h>

#include "exchange/export_format.h" /* ExportFormat values: EXPORT_TEXT, EXPORT_EXCEL, EXPORT_HTML */

/* What ExportResultsToPath did. */
enum {
    EXPORT_DONE = 0,          /* the file was written completely */
    EXPORT_PATH_TOO_LONG = 1, /* the extension did not fit in the path: nothing written, reported */
    EXPORT_CREATE_FAILED = 2, /* the file could not be created: reported */
    EXPORT_WRITE_FAILED = 3,  /* a write failed, the file is incomplete: reported */
    EXPORT_BAD_FORMAT = 4     /* not one of the three formats: nothing happens */
};

/* Asks for a file and writes the rows of list `listId` of the main window in `exportFormat`. */
void ExportResults(HWND mainWindow, int listId, int exportFormat);

/* Everything after the dialog: adds the extension to `path` (a buffer of `pathSize` bytes) unless it
 * occurs in it, then writes the file. Returns EXPORT_*. */
int ExportResultsToPath(HWND mainWindow, int listId, int exportFormat, char* path, size_t pathSize);

/* Shows the save-file dialog with `filter` (description and pattern pairs, ended by an empty text)
 * over `owner`. The path buffer is emptied first. Non-zero when the user confirmed a name, which then
 * stands in `path`; zero when the user cancelled. */
int ChooseSaveFile(HWND owner, const char* filter, char* path, int pathSize);

/* The settings both file dialogs share, filled into `dialog`: the Windows NT 4 structure size (76
 * bytes), the owner, the filter with index 0 and no custom filter, the path buffer (emptied) and its
 * size, no file-title buffer, an empty initial folder and default extension (empty texts, not NULL),
 * the title "Choisissez un fichier" and the flags OFN_EXPLORER | OFN_OVERWRITEPROMPT |
 * OFN_HIDEREADONLY (the open dialog does not require the file to exist). */
void PrepareFileDialog(OPENFILENAMEA* dialog, HWND owner, const char* filter, char* path, int pathSize);

/* The save dialog's filter of the format; NULL for an unknown format. */
const char* ExportFilter(int exportFormat);

#endif
