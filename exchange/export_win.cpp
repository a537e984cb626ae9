/* Export of the result list: the file dialogs' settings, the list reading and the file writing.
 *
 * ExportResults shows the save-file dialog and hands the chosen name to ExportResultsToPath, which
 * does the rest; the tests call the latter directly, since no one can answer a dialog there. The
 * extension is added unless it already occurs anywhere in the path (ignoring ASCII case), the file
 * is created (replacing any file of that name; the dialog has asked before overwriting), and then
 * the list is read and written piece by piece through an ExportSink over WriteFile:
 *   - for HTML, the prologue with the main window's caption as its title;
 *   - the header row: for each column index, its width is read first (LVM_GETCOLUMNWIDTH) and then
 *     its title (LVM_GETCOLUMNA asking for width and text); the first index the list does not know
 *     ends the header, and the number of titles obtained is the number of columns of every row;
 *   - every row in display order, each cell read with LVM_GETITEMA as the sub-item's text;
 *   - for HTML, the closing "</table>".
 * The writing loop processes no message, so the rows cannot change under it.
 *
 * Failures are told to the user with an error box owned by the main window, in the style of the
 * program's other boxes, because a user who asked for a file and silently gets none, or a cut one,
 * would take the missing rows for missing results:
 *   - a name with no room left for the extension in the 260-byte path: nothing is created (a
 *     cut name would write a file the user did not choose);
 *   - a file that cannot be created (a folder that does not exist, a read-only medium, a file open
 *     elsewhere without sharing);
 *   - a write that fails (a full disk): the sink stops at the first failure, the box says the file
 *     could not be written; what was written stays, as the user has been told.
 * Cancelling the dialog does nothing, and a complete export is not reported. */
#include "exchange/export.h"

#include <commctrl.h>
#include <stddef.h>

#include "base/str.h"
#include "base/ui.h"
#include "exchange/export_format.h"
#include "search/result_format.h"

/* OPENFILENAME as of Windows NT 4, accepted by every version: 76 bytes in the 32-bit program, the
 * pointer-sized layout's own size in a 64-bit build (a fixed 76 there makes the dialog fail silently). */
#define FILE_DIALOG_STRUCT_SIZE OPENFILENAME_SIZE_VERSION_400A

enum {
    FILE_DIALOG_FLAGS = 0x80006, /* OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY */
    EXPORT_MESSAGE_SIZE = 400    /* an error box's text: the path is at most 259 characters */
};

static_assert(sizeof(void*) != 4 || offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(LPCSTR) == 76,
              "the Windows NT 4 layout of OPENFILENAMEA is 76 bytes in the 32-bit program");

void PrepareFileDialog(OPENFILENAMEA* dialog, HWND owner, const char* filter, char* path, int pathSize) {
    ZeroMemory(dialog, sizeof *dialog);
    if (pathSize > 0) path[0] = 0; /* no name and no folder chosen by the program */
    dialog->lStructSize = (DWORD)FILE_DIALOG_STRUCT_SIZE;
    dialog->hwndOwner = owner;
    dialog->lpstrFilter = filter;
    dialog->lpstrCustomFilter = NULL;
    dialog->nFilterIndex = 0;
    dialog->lpstrFile = path;
    dialog->nMaxFile = (DWORD)pathSize;
    dialog->lpstrFileTitle = NULL;
    dialog->lpstrInitialDir = "";
    dialog->lpstrTitle = "Choisissez un fichier";
    dialog->Flags = FILE_DIALOG_FLAGS;
    dialog->lpstrDefExt = "";
}

int ChooseSaveFile(HWND owner, const char* filter, char* path, int pathSize) {
    OPENFILENAMEA dialog;
    PrepareFileDialog(&dialog, owner, filter, path, pathSize);
    return GetSaveFileNameA(&dialog) ? 1 : 0;
}

const char* ExportFilter(int exportFormat) {
    switch (exportFormat) {
    case EXPORT_TEXT:
        return "Fichiers Texte\0*.TXT\0Tous les fichiers\0*.*\0";
    case EXPORT_EXCEL:
        return "Fichiers Excel\0*.XLS\0Tous les fichiers\0*.*\0";
    case EXPORT_HTML:
        return "Fichiers HTML\0*.HTML\0Tous les fichiers\0*.*\0";
    }
    return NULL;
}

/* The error box of a failed export: `format` holds one %s, the path. */
static void ReportExportFailure(HWND mainWindow, const char* format, const char* path) {
    char text[EXPORT_MESSAGE_SIZE];
    StrFormat(text, sizeof text, format, path);
    ShowMessageBox(mainWindow, text, "Sondrel", MB_OK | MB_ICONERROR);
}

/* ExportSink over an open file: one WriteFile per piece, complete or failed. */
static int WriteToFile(void* context, const char* bytes, size_t n) {
    DWORD written = 0;
    if (!WriteFile((HANDLE)context, bytes, (DWORD)n, &written, NULL)) return 0;
    return written == (DWORD)n;
}

/* Reads column `column`'s width and title; 0 when the list has no such column. */
static int ReadColumn(HWND list, int column, char* cell, int* width) {
    *width = (int)SendMessageA(list, LVM_GETCOLUMNWIDTH, (WPARAM)column, 0);
    LVCOLUMNA info;
    ZeroMemory(&info, sizeof info);
    info.mask = LVCF_WIDTH | LVCF_TEXT;
    info.pszText = cell;
    info.cchTextMax = EXPORT_CELL_SIZE;
    cell[0] = 0;
    if (!SendMessageA(list, LVM_GETCOLUMNA, (WPARAM)column, (LPARAM)&info)) return 0;
    if (info.pszText != cell && info.pszText != NULL) StrCopy(cell, EXPORT_CELL_SIZE, info.pszText);
    cell[EXPORT_CELL_SIZE - 1] = 0;
    return 1;
}

/* Reads the text of row `row` in column `column` into the cell buffer (empty when there is none). */
static void ReadCell(HWND list, int row, int column, char* cell) {
    LVITEMA item;
    ZeroMemory(&item, sizeof item);
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.iSubItem = column;
    item.pszText = cell;
    item.cchTextMax = EXPORT_CELL_SIZE;
    cell[0] = 0;
    if (!SendMessageA(list, LVM_GETITEMA, 0, (LPARAM)&item)) {
        cell[0] = 0;
        return;
    }
    /* The list may answer with a pointer to its own copy instead of filling the buffer. */
    if (item.pszText != cell && item.pszText != NULL && item.pszText != LPSTR_TEXTCALLBACKA)
        StrCopy(cell, EXPORT_CELL_SIZE, item.pszText);
    cell[EXPORT_CELL_SIZE - 1] = 0;
}

/* Writes the whole list into the sink. */
static void WriteListExport(ExportSink* sink, HWND mainWindow, HWND list, int format) {
    char cell[EXPORT_CELL_SIZE];
    int widths[RESULT_COLUMN_COUNT];
    if (format == EXPORT_HTML) {
        char title[EXPORT_TITLE_SIZE];
        ReadWindowText(mainWindow, title, sizeof title);
        WriteHtmlPrologue(sink, title);
    }
    int rows = list != NULL ? (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) : 0;
    int columns = 0;
    while (list != NULL && columns < RESULT_COLUMN_COUNT &&
           ReadColumn(list, columns, cell, &widths[columns])) {
        WriteExportCell(sink, cell, format, widths[columns]);
        columns++;
    }
    WriteExportRowEnd(sink, format);
    for (int row = 0; row < rows && !sink->failed; row++) {
        WriteExportRowStart(sink, format);
        for (int column = 0; column < columns; column++) {
            ReadCell(list, row, column, cell);
            WriteExportCell(sink, cell, format, widths[column]);
        }
        WriteExportRowEnd(sink, format);
    }
    WriteExportEnd(sink, format);
}

int ExportResultsToPath(HWND mainWindow, int listId, int exportFormat, char* path, size_t pathSize) {
    if (ExportExtension(exportFormat) == NULL) return EXPORT_BAD_FORMAT;
    if (!AddExportExtension(path, pathSize, exportFormat)) {
        ReportExportFailure(mainWindow, "Le nom du fichier est trop long : %s", path);
        return EXPORT_PATH_TOO_LONG;
    }
    HANDLE file =
        CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        ReportExportFailure(mainWindow, "Impossible de créer le fichier %s", path);
        return EXPORT_CREATE_FAILED;
    }
    ExportSink sink = {WriteToFile, (void*)file, 0};
    WriteListExport(&sink, mainWindow, GetDlgItem(mainWindow, listId), exportFormat);
    if (!CloseHandle(file)) sink.failed = 1; /* a deferred write error shows up here */
    if (sink.failed) {
        ReportExportFailure(mainWindow, "Impossible d'écrire le fichier %s", path);
        return EXPORT_WRITE_FAILED;
    }
    return EXPORT_DONE;
}

void ExportResults(HWND mainWindow, int listId, int exportFormat) {
    const char* filter = ExportFilter(exportFormat);
    if (filter == NULL) return;
    char path[EXPORT_PATH_SIZE];
    if (!ChooseSaveFile(mainWindow, filter, path, (int)sizeof path)) return;
    ExportResultsToPath(mainWindow, listId, exportFormat, path, sizeof path);
}
