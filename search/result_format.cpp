/* Texts of the result list and of the status bar (see result_format.h). */
#include "search/result_format.h"

#include "base/alloc.h"
#include "base/str.h"

#include <string.h>

int SchemeTableAdd(SchemeTable* table, const char* value) {
    if (value == NULL || value[0] == 0) return 0;
    if (table->count == table->capacity) {
        int capacity = table->capacity == 0 ? 64 : table->capacity * 2;
        void* grown = SondrelRealloc(table->values, (size_t)capacity, SCHEME_VALUE_SIZE);
        if (grown == NULL) return 0;
        table->values = (char(*)[SCHEME_VALUE_SIZE])grown;
        table->capacity = capacity;
    }
    StrCopy(table->values[table->count], SCHEME_VALUE_SIZE, value);
    table->count++;
    return 1;
}

void SchemeTableFree(SchemeTable* table) {
    SondrelFree(table->values);
    table->values = NULL;
    table->count = 0;
    table->capacity = 0;
}

/* One step of the lookup over the value of one key: */
enum {
    SCHEME_STOP = 0, /* the lookup ends with an empty name */
    SCHEME_NEXT = 1, /* not this code: go on with the next key */
    SCHEME_FOUND = 2 /* the name is in the output */
};
static int SchemeLookupStep(const char* value, int code, char* name, size_t size) {
    if (size > 0) name[0] = 0;
    if (value == NULL || value[0] == 0) return SCHEME_STOP;
    const char* firstSep = strchr(value, ';');
    if (firstSep == NULL) return SCHEME_STOP;
    /* The code field is read up to the separator only, as the cut value would be. */
    char field[SCHEME_VALUE_SIZE];
    StrCopyN(field, sizeof field, value, (size_t)(firstSep - value));
    if (StrLeadingInt(field) != code) return SCHEME_NEXT;
    const char* nameStart = firstSep + 1;
    const char* nameEnd = strchr(nameStart, ';');
    if (nameEnd == NULL) return SCHEME_STOP;
    StrCopyN(name, size, nameStart, (size_t)(nameEnd - nameStart));
    return SCHEME_FOUND;
}

void LookupSchemeInTable(const SchemeTable* table, int code, char* name, size_t size) {
    if (size > 0) name[0] = 0;
    for (int i = 0; i < table->count; i++) {
        int step = SchemeLookupStep(table->values[i], code, name, size);
        if (step != SCHEME_NEXT) return;
    }
}

void DigitsOnly(const char* source, char* output, size_t size) {
    if (size == 0) return;
    size_t n = 0;
    for (const char* p = source; p != NULL && *p != 0 && n + 1 < size; p++) {
        if (*p >= '0' && *p <= '9') output[n++] = *p;
    }
    output[n] = 0;
}

void FormatSummary(char* out, size_t size, int cancelled, int occurrences, int rows, unsigned elapsedMs) {
    if (cancelled) {
        StrCopy(out, size, "Annulé !");
        return;
    }
    StrFormat(out, size, "%d occ. - %d Patient%s (en %d.%03d s)", occurrences, rows, rows > 1 ? "s" : "",
              (int)(elapsedMs / 1000), (int)(elapsedMs % 1000));
}

void FormatRunningStatus(char* out, size_t size, const char* displayText, int occurrences, int patients) {
    const char* suffix = patients > 1 ? "s" : "";
    StrFormat(out, size, "Total '%s': %d occ. - Patient%s concerné%s : %d", displayText, occurrences, suffix,
              suffix, patients);
}
