/* Texts of the result list and of the status bar.
 *
 * The result list shows one row per patient; these are the pure parts of filling it: the digits of a
 * social-security number, the insurance scheme name looked up in the host's scheme file, and the
 * summary and running texts written into the status bar. The scheme file ("caisses.hdc", section
 * "Régimes", keys 1, 2, 3, … in unbroken sequence, values "code;name;…") is read by the Win32 side
 * into a SchemeTable, read again whenever the file has changed since; looking a code up in the table
 * gives exactly what reading the file afresh for every row would give, since the file does not
 * change during a fill. */
#ifndef SONDREL_SEARCH_RESULT_FORMAT_H
#define SONDREL_SEARCH_RESULT_FORMAT_H

#include <stddef.h>

/* The columns of the result list, in display order. The cells, the sort's comparisons, the export
 * and the import all index a row by these. */
typedef enum ResultColumnIndex {
    COLUMN_PATIENT_NUMBER = 0, /* "N° dossier" */
    COLUMN_NAME = 1,           /* "Nom Patient" */
    COLUMN_AGE = 2,            /* "Age" */
    COLUMN_COUNT = 3,          /* "Nombre d'occurences" */
    COLUMN_FIRST_DATE = 4,     /* "Première occurence" */
    COLUMN_LAST_DATE = 5,      /* "Dernière occurence" */
    COLUMN_AUTHORS = 6,        /* "Médecin" */
    COLUMN_SS_NUMBER = 7,      /* "N° SS" */
    COLUMN_SCHEME = 8,         /* "Régime" */
    RESULT_COLUMN_COUNT = 9
} ResultColumnIndex;

/* Header images of the result list's small image list (set up by the sort, results/sort.h): 0 a
 * white square, 1 the ascending triangle, 2 the descending triangle, 3 blank (no sort shown). */
enum { SORT_IMAGE_ASCENDING = 1, SORT_IMAGE_DESCENDING = 2, SORT_IMAGE_NONE = 3 };

enum { SCHEME_VALUE_SIZE = 260 };

/* One value of the scheme section, with its code worked out once, when it is added: a fill looks
 * up every row in the same table, and reading each value's code field again for every row cost
 * more than the rest of the row's own texts (about 0.6 us a row for a file of 120 schemes). */
typedef struct SchemeValue {
    char text[SCHEME_VALUE_SIZE]; /* the value as read (at most 259 bytes) */
    int hasCode;                  /* 1 when the value has a code field (text before a ';'); a lookup
                                     that reaches a value without one ends with an empty name */
    int code;                     /* that field's leading integer; meaningful when hasCode */
} SchemeValue;

/* The values of keys 1..count of the scheme section, in key order, up to the first empty one. */
typedef struct SchemeTable {
    SchemeValue* values; /* value of key i+1 */
    int count;           /* number of non-empty values before the first empty one */
    int capacity;        /* room in values */
} SchemeTable;

/* Appends one value read for the next key; returns 0 when the value is empty (the sequence ends)
 * or memory runs out (the table then ends there, as a shorter file would). */
int SchemeTableAdd(SchemeTable* table, const char* value);
void SchemeTableFree(SchemeTable* table);

/* Looks the code up in the table; the output is empty when no entry gives a name. */
void LookupSchemeInTable(const SchemeTable* table, int code, char* name, size_t size);

/* Copies the characters "0" to "9" of the source, in their order. */
void DigitsOnly(const char* source, char* output, size_t size);

/* "%d occ. - %d Patient%s (en %d.%03d s)", or "Annulé !" for a cancelled run. */
void FormatSummary(char* out, size_t size, int cancelled, int occurrences, int rows, unsigned elapsedMs);
/* "Total '%s': %d occ. - Patient%s concerné%s : %d". */
void FormatRunningStatus(char* out, size_t size, const char* displayText, int occurrences, int patients);

#endif
