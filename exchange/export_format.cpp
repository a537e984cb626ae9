/* The three export formats (see export_format.h). */
#include "exchange/export_format.h"

#include "base/str.h"

#include <string.h>

static void ExportWrite(ExportSink* sink, const char* bytes, size_t n) {
    if (sink->failed || n == 0) return;
    if (!sink->write(sink->context, bytes, n)) sink->failed = 1;
}

static void WriteText(ExportSink* sink, const char* text) {
    ExportWrite(sink, text, strlen(text));
}

const char* ExportExtension(int format) {
    switch (format) {
    case EXPORT_TEXT:
        return ".txt";
    case EXPORT_EXCEL:
        return ".xls";
    case EXPORT_HTML:
        return ".html";
    }
    return NULL;
}

int AddExportExtension(char* path, size_t size, int format) {
    const char* ext = ExportExtension(format);
    if (ext == NULL || StrFindNoCase(path, ext) != NULL) return 1;
    if (strlen(path) + strlen(ext) + 1 > size) return 0;
    StrAppend(path, size, ext);
    return 1;
}

/* Writes text with the HTML special characters as entities. */
static void WriteEscaped(ExportSink* sink, const char* text) {
    const char* run = text;
    for (const char* p = text;; p++) {
        const char* entity = NULL;
        switch (*p) {
        case '&':
            entity = "&amp;";
            break;
        case '<':
            entity = "&lt;";
            break;
        case '>':
            entity = "&gt;";
            break;
        case '"':
            entity = "&quot;";
            break;
        }
        if (entity == NULL && *p != 0) continue;
        ExportWrite(sink, run, (size_t)(p - run));
        if (*p == 0) return;
        WriteText(sink, entity);
        run = p + 1;
    }
}

void WriteHtmlPrologue(ExportSink* sink, const char* title) {
    WriteText(sink, "<html><head><title>");
    WriteEscaped(sink, title);
    WriteText(sink, "</title>");
    WriteText(sink, "<meta http-equiv=\"content-type\" content=\"text/html; charset=windows-1252\">");
    WriteText(sink, "</head><body bgcolor=\"#E0FFFF\" text=\"#000000\" link=\"#000080\">");
    WriteText(sink, "<table border=\"1\" cellpadding=\"1\" cellspacing=\"0\"><tr>");
}

void WriteExportCell(ExportSink* sink, char* cell, int format, int width) {
    switch (format) {
    case EXPORT_TEXT: {
        size_t len = StrLenBounded(cell, EXPORT_CELL_SIZE - 1);
        size_t n = width > 0 ? (size_t)width / 7 : 0;
        if (n > EXPORT_CELL_SIZE - 2) n = EXPORT_CELL_SIZE - 2; /* room for the bar and terminator */
        if (n > len) memset(cell + len, ' ', n - len);
        cell[n] = '|';
        cell[n + 1] = 0;
        ExportWrite(sink, cell, n + 1);
        break;
    }
    case EXPORT_EXCEL: {
        size_t len = StrLenBounded(cell, EXPORT_CELL_SIZE - 1);
        /* A TAB, CR or LF of the text would end the cell or the row for every reader, the import
         * included: each is written as a space. */
        for (size_t i = 0; i < len; i++) {
            if (cell[i] == '\t' || cell[i] == '\r' || cell[i] == '\n') cell[i] = ' ';
        }
        ExportWrite(sink, cell, len);
        ExportWrite(sink, "\t", 1);
        break;
    }
    case EXPORT_HTML:
        cell[EXPORT_CELL_SIZE - 1] = 0;
        WriteText(sink, "<td>");
        WriteEscaped(sink, cell);
        WriteText(sink, "</td>");
        break;
    }
}

void WriteExportRowStart(ExportSink* sink, int format) {
    if (format == EXPORT_HTML) WriteText(sink, "<tr>");
}

void WriteExportRowEnd(ExportSink* sink, int format) {
    WriteText(sink, format == EXPORT_HTML ? "</tr>" : "\r\n");
}

void WriteExportEnd(ExportSink* sink, int format) {
    if (format == EXPORT_HTML) WriteText(sink, "</table>");
}
