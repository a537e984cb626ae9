/* Reading a tab-separated results file (see import_lines.h). */
#include "exchange/import_lines.h"

#include "base/str.h"

#include <string.h>

static void FetchChunk(ImportLineReader* reader) {
    int n = reader->read != NULL ? reader->read(reader->context, reader->chunk, IMPORT_CHUNK_SIZE) : 0;
    if (n < 0) {
        reader->failed = 1;
        n = 0;
    }
    if (n > IMPORT_CHUNK_SIZE) n = IMPORT_CHUNK_SIZE;
    reader->count = n;
    reader->pos = 0;
}

void ImportReaderStart(ImportLineReader* reader, ImportReadFn read, void* context) {
    reader->read = read;
    reader->context = context;
    reader->failed = 0;
    FetchChunk(reader);
}

/* Makes the next byte available; 0 at the end of the file. */
static int HaveByte(ImportLineReader* reader) {
    if (reader->count == 0) return 0;
    if (reader->pos >= reader->count) FetchChunk(reader);
    return reader->count > 0;
}

int ReadImportLine(ImportLineReader* reader, char* buf, int size, int* tooLong) {
    int length = 0;
    int longLine = 0;
    buf[0] = 0;
    if (tooLong != NULL) *tooLong = 0;
    if (reader->count == 0) return -1;
    int sawCr = 0;
    while (HaveByte(reader)) {
        char c = reader->chunk[reader->pos++];
        if (c == '\r') {
            sawCr = 1;
            break;
        }
        if (length < size - 1) {
            buf[length++] = c;
        } else {
            longLine = 1;
        }
    }
    buf[length] = 0;
    if (tooLong != NULL) *tooLong = longLine;
    if (!sawCr && reader->failed) {
        buf[0] = 0; /* cut by the error, not by the file */
        if (tooLong != NULL) *tooLong = 0;
        return -1;
    }
    if (!sawCr) {
        /* The end of the file came before a CR: the last line, if it holds anything. */
        return length > 0 || longLine ? length : -1;
    }
    if (HaveByte(reader) && reader->chunk[reader->pos] == '\n') reader->pos++;
    if (length == 0 && !longLine && !HaveByte(reader)) return -1; /* an empty last line */
    return length;
}

void ImportFieldsStart(ImportFields* fields, const char* line, int length) {
    fields->line = line;
    fields->length = length < 0 ? 0 : length;
    fields->next = 0;
}

int ImportNextField(ImportFields* fields, char* out, size_t size, int* whole) {
    if (size > 0) out[0] = 0;
    if (whole != NULL) *whole = 1;
    if (fields->next < 0) return 0;
    int start = fields->next;
    int end = start;
    while (end < fields->length && fields->line[end] != '\t')
        end++;
    int copied = StrCopyN(out, size, fields->line + start, (size_t)(end - start));
    if (whole != NULL) *whole = copied;
    /* A further field exists only after a TAB that more characters of the line follow. */
    fields->next = (end < fields->length && end + 1 < fields->length) ? end + 1 : -1;
    return 1;
}

static int IsDigit(char c) {
    return c >= '0' && c <= '9';
}

uint32_t ImportDateField(const char* field) {
    static const int kDigitPlaces[8] = {0, 1, 3, 4, 6, 7, 8, 9};
    size_t len = StrLenBounded(field, 10);
    if (len < 10) return 0;
    for (int i = 0; i < 8; i++) {
        if (!IsDigit(field[kDigitPlaces[i]])) return 0;
    }
    uint32_t day = (uint32_t)((field[0] - '0') * 10 + (field[1] - '0'));
    uint32_t month = (uint32_t)((field[3] - '0') * 10 + (field[4] - '0'));
    uint32_t year = (uint32_t)((field[6] - '0') * 1000 + (field[7] - '0') * 100 + (field[8] - '0') * 10 +
                               (field[9] - '0'));
    return year * 65536u + month * 256u + day;
}
