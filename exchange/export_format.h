/* The three export formats, byte for byte.
 *
 * The export writes the result list as it is displayed: fixed-width text (".txt"), tab-separated
 * (".xls", also the import's input) or an HTML table (".html"). These are the pieces that decide the
 * bytes; the Win32 side reads the list control and hands them each title and cell. Output goes
 * through an ExportSink, which remembers the first failed write so that the caller can tell the user
 * that the file is incomplete instead of leaving it truncated in silence.
 *
 * Every line of the text and tab-separated formats ends in CR LF. A fixed-width cell is the text cut
 * or space-filled to width/7 characters, then "|"; a tab-separated cell is the text and a TAB, with
 * every TAB, CR and LF of the text written as a space so that the cell stays one cell. The
 * HTML file holds no line break at all, and every title and cell is escaped ("&", "<", ">" and the
 * double quote become entities) so that a name or an author holding them cannot break the table or
 * run as markup. */
#ifndef SONDREL_EXCHANGE_EXPORT_FORMAT_H
#define SONDREL_EXCHANGE_EXPORT_FORMAT_H

#include <stddef.h>

enum { EXPORT_TEXT = 1, EXPORT_EXCEL = 2, EXPORT_HTML = 3 };
enum { EXPORT_CELL_SIZE = 5000, EXPORT_PATH_SIZE = 260, EXPORT_TITLE_SIZE = 260 };

/* Writes n bytes; returns 1 when all were written. */
typedef int (*ExportWriteFn)(void* context, const char* bytes, size_t n);

typedef struct ExportSink {
    ExportWriteFn write; /* where the bytes go */
    void* context;       /* handed to write */
    int failed;          /* set by the first write that fails; later writes are skipped */
} ExportSink;

/* The format's extension (".txt", ".xls", ".html"); NULL for an unknown format. */
const char* ExportExtension(int format);

/* Appends the format's extension to the path unless it occurs anywhere in it (ignoring ASCII case).
 * Returns 0, leaving the path unchanged, when the extended path would not fit in size bytes. */
int AddExportExtension(char* path, size_t size, int format);

/* The HTML prologue, up to and including the header row's "<tr>"; the title is the window caption. */
void WriteHtmlPrologue(ExportSink* sink, const char* title);

/* Writes one cell. The cell buffer holds EXPORT_CELL_SIZE bytes and is changed in place (the
 * fixed-width form fills it out, the tab-separated form turns TAB, CR and LF into spaces); width is the
 * column's displayed width in pixels. A fixed-width cell wider than the buffer is cut to EXPORT_CELL_SIZE - 2
 * characters and its bar. */
void WriteExportCell(ExportSink* sink, char* cell, int format, int width);

/* Ends a row: "</tr>" for HTML, CR LF otherwise. */
void WriteExportRowEnd(ExportSink* sink, int format);
/* Starts a data row: "<tr>" for HTML, nothing otherwise. */
void WriteExportRowStart(ExportSink* sink, int format);
/* Ends the file: "</table>" for HTML, nothing otherwise. */
void WriteExportEnd(ExportSink* sink, int format);

#endif
