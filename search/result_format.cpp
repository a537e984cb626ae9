/* Texts of the result list and of the status bar (see result_format.h). */
#include "search/result_format.h"

#include "base/alloc.h"
#include "base/str.h"

#include <string.h>

/* Whether the value has a code field (the text before its first ';'), and that field's leading
 * integer, read up to the separator only, as the cut value would be. */
static int SchemeCodeOf(const char* value, int* code) {
    const char* separator = strchr(value, ';');
    if (separator == NULL) return 0;
    char field[SCHEME_VALUE_SIZE];
    StrCopyN(field, sizeof field, value, (size_t)(separator - value));
    *code = StrLeadingInt(field);
    return 1;
}

int SchemeTableAdd(SchemeTable* table, const char* value) {
    if (value == NULL || value[0] == 0) return 0;
    if (table->count == table->capacity) {
        int capacity = table->capacity == 0 ? 64 : table->capacity * 2;
        void* grown = SondrelRealloc(table->values, (size_t)capacity, sizeof(SchemeValue));
        if (grown == NULL) return 0;
        table->values = (SchemeValue*)grown;
        table->capacity = capacity;
    }
    SchemeValue* added = &table->values[table->count];
    StrCopy(added->text, sizeof added->text, value);
    added->code = 0;
    added->hasCode = SchemeCodeOf(added->text, &added->code);
    table->count++;
    return 1;
}

void SchemeTableFree(SchemeTable* table) {
    SondrelFree(table->values);
    table->values = NULL;
    table->count = 0;
    table->capacity = 0;
}

/* The values are looked at in key order: the first one without a code field ends the lookup with an
 * empty name, the first one with the code gives the name between its first and second ';' (empty
 * when there is no second one). */
void LookupSchemeInTable(const SchemeTable* table, int code, char* name, size_t size) {
    if (size > 0) name[0] = 0;
    for (int i = 0; i < table->count; i++) {
        const SchemeValue* value = &table->values[i];
        if (!value->hasCode) return;
        if (value->code != code) continue;
        const char* nameStart = strchr(value->text, ';') + 1;
        const char* nameEnd = strchr(nameStart, ';');
        if (nameEnd != NULL) StrCopyN(name, size, nameStart, (size_t)(nameEnd - nameStart));
        return;
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
