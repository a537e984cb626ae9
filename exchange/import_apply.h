/* Applying one line of a results file to the hit table.
 *
 * The import adds a tab-separated results file (as the export writes it) to the current results, or
 * subtracts it from them. Each line names a patient by number and by name; the name must be the one
 * the host gives that patient, ignoring the case of ASCII letters. Fields 1 to 8 are read: number,
 * name, age (ignored), count, first date, last date, authors (one item), social-security number
 * (must exist, ignored). Field rules are those of import_lines.h.
 *
 * A line is rejected when it is empty or too long, its number lies outside 1 .. 1,048,575, the name
 * differs, or one of its first seven fields is missing; such a line changes nothing (a record created
 * for it alone is removed again). A line whose eighth field is missing is rejected after it has been
 * applied, and its changes stay. A record whose count comes to 0 is released and its slot emptied.
 *
 * Counts saturate at the 32-bit limits instead of overflowing. An authors field longer than its
 * 2000-byte buffer, or one that would make the record's authors text longer than 999 characters, is
 * not merged (the rest of the line still applies). The caller must make sure no search writes the
 * table at the same time. */
#ifndef SONDREL_EXCHANGE_IMPORT_APPLY_H
#define SONDREL_EXCHANGE_IMPORT_APPLY_H

#include <stddef.h>

enum { IMPORT_ADD = 1, IMPORT_SUBTRACT = 2 };
enum { IMPORT_NAME_SIZE = 1000, IMPORT_AUTHOR_SIZE = 2000 };

/* Composes the host's "%s %s" name (last name, first name) of a patient into name; the names the
 * host leaves untouched are empty. */
typedef void (*ImportPatientNameFn)(void* context, int patient, char* name, size_t size);

enum {
    IMPORT_LINE_APPLIED = 0,  /* the line was applied */
    IMPORT_LINE_REJECTED = 1, /* the line was rejected: ask the user whether to go on */
    IMPORT_LINE_DROPPED = 2   /* no record could be allocated; already reported to the user */
};

/* Applies one line (length as returned by the line reader; tooLong when it was cut). */
int ApplyImportLine(const char* line, int length, int tooLong, int mode, ImportPatientNameFn patientName,
                    void* context);

#endif
