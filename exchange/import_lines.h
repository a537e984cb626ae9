/* Reading a tab-separated results file: the line reader and the field rules.
 *
 * The reader hands out one line at a time from a file read in chunks of 5000 bytes. Lines end at CR;
 * the LF of a CR LF pair is skipped with it. A line holds at most 4999 characters: a longer one is
 * returned cut to that length and flagged, so that the caller rejects it instead of treating its
 * start as a whole line. The last line is returned even without a final CR LF (a file saved by a
 * spreadsheet often lacks it), and an empty last line ends the reading rather than being returned as
 * an empty line. A CR that is not followed by LF ends its line without swallowing the next line's
 * first byte. A file whose lines end in LF alone is one long line. A read error is not taken for
 * the end of the file: the reader stops at it and says so (`failed`). */
#ifndef SONDREL_EXCHANGE_IMPORT_LINES_H
#define SONDREL_EXCHANGE_IMPORT_LINES_H

#include <stddef.h>
#include <stdint.h>

enum { IMPORT_CHUNK_SIZE = 5000, IMPORT_LINE_SIZE = 5000 };

/* Reads up to size bytes into buf; returns the number read, 0 at the end of the file, -1 when the
 * read failed. */
typedef int (*ImportReadFn)(void* context, char* buf, int size);

typedef struct ImportLineReader {
    ImportReadFn read;             /* where the chunks come from */
    void* context;                 /* handed to read */
    char chunk[IMPORT_CHUNK_SIZE]; /* the current chunk */
    int count;                     /* bytes in the chunk; 0 once the file is exhausted */
    int pos;                       /* read position in the chunk */
    int failed;                    /* 1 once a read failed: the file was not read to its end */
} ImportLineReader;

/* Starts reading: fetches the first chunk. */
void ImportReaderStart(ImportLineReader* reader, ImportReadFn read, void* context);

/* The next line into buf (size bytes, at least 1): its length (1 or more), 0 for an empty line, -1 at
 * the end of the file or at a read error. A read that fails part-way through a line ends the
 * reading there: the cut line is not returned (it is not the file's line) and `failed` is set, so
 * that the caller can tell a file read to its end from one that was not. *tooLong is set when the line had
 * more characters than buf holds; they were skipped up to the line's end. */
int ReadImportLine(ImportLineReader* reader, char* buf, int size, int* tooLong);

/* Walks the TAB-separated fields of a line. Field 1 always exists; each later field exists only when
 * the previous one ended with a TAB that at least one more character of the line follows. */
typedef struct ImportFields {
    const char* line; /* the line */
    int length;       /* its length */
    int next;         /* start of the next field; -1 when no further field exists */
} ImportFields;

void ImportFieldsStart(ImportFields* fields, const char* line, int length);
/* The next field into out (cut to size-1 bytes); returns 0 when it does not exist. *whole is 0 when
 * the field was cut (may be NULL). */
int ImportNextField(ImportFields* fields, char* out, size_t size, int* whole);

/* A date field laid out dd/mm/yyyy. A field that does not hold digits at all eight digit places
 * (the export writes no date as "00/00/   0") is no date: 0. */
uint32_t ImportDateField(const char* field);

#endif
