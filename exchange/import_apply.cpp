/* Applying one line of a results file to the hit table (see import_apply.h). */
#include "exchange/import_apply.h"

#include "base/alloc.h"
#include "base/str.h"
#include "exchange/import_lines.h"
#include "search/hits.h"

#include <stdint.h>
#include <stdlib.h>

static int32_t SaturatingAdd(int32_t a, int64_t b) {
    int64_t sum = (int64_t)a + b;
    if (sum > INT32_MAX) return INT32_MAX;
    if (sum < INT32_MIN) return INT32_MIN;
    return (int32_t)sum;
}

static void DropHits(PatientHits* record) {
    SondrelFree(record->hits);
    record->hits = NULL;
    record->hitCapacity = 0;
}

/* Removes the record of slot n when its count is 0. */
static void RemoveIfEmpty(int n) {
    PatientHits* record = Results.PatientHitsTable[n];
    if (record == NULL || record->occurrenceCount != 0) return;
    Results.PatientHitsTable[n] = NULL;
    ReleasePatientHits(record);
    Results.PatientsWithHits--;
}

static void ApplyAdd(PatientHits* r, int32_t count, uint32_t first, uint32_t last, const char* author,
                     int authorWhole) {
    r->occurrenceCount = SaturatingAdd(r->occurrenceCount, count);
    Results.OccurrenceTotal = SaturatingAdd(Results.OccurrenceTotal, count);
    if (r->firstDate == 0 || first < r->firstDate) r->firstDate = first;
    if (last > r->lastDate) r->lastDate = last;
    if (authorWhole) MergeAuthor(r->authors, author);
    DropHits(r);
}

static void ApplySubtract(PatientHits* r, int32_t count, uint32_t first, uint32_t last) {
    r->occurrenceCount = SaturatingAdd(r->occurrenceCount, -(int64_t)count);
    Results.OccurrenceTotal = SaturatingAdd(Results.OccurrenceTotal, -(int64_t)count);
    if (!(first > r->firstDate)) r->firstDate = last;
    if (!(last < r->lastDate)) r->lastDate = first;
    StrCopy(r->authors, sizeof r->authors, "N.A.");
    DropHits(r);
}

int ApplyImportLine(const char* line, int length, int tooLong, int mode, ImportPatientNameFn patientName,
                    void* context) {
    if (length <= 0 || tooLong) return IMPORT_LINE_REJECTED;
    ImportFields fields;
    ImportFieldsStart(&fields, line, length);
    char field[IMPORT_LINE_SIZE];
    ImportNextField(&fields, field, sizeof field, NULL);
    int n = StrLeadingInt(field);
    if (n < 1 || n >= PATIENT_TABLE_SLOTS) return IMPORT_LINE_REJECTED;

    int result = IMPORT_LINE_REJECTED;
    char name[IMPORT_NAME_SIZE];
    char author[IMPORT_AUTHOR_SIZE];
    int authorWhole = 1;
    int32_t count = 0;
    uint32_t first = 0, last = 0;
    PatientHits* record = NULL;
    if (!ImportNextField(&fields, field, sizeof field, NULL)) goto reject; /* COLUMN_NAME */
    record = RecordForPatient(n);
    if (record == NULL) return IMPORT_LINE_DROPPED;
    name[0] = 0;
    if (patientName != NULL) patientName(context, n, name, sizeof name);
    if (StrCompareNoCase(name, field) != 0) goto reject;
    if (!ImportNextField(&fields, field, sizeof field, NULL)) goto reject; /* COLUMN_AGE, not used */
    if (!ImportNextField(&fields, field, sizeof field, NULL)) goto reject; /* COLUMN_COUNT */
    count = StrLeadingInt(field);
    if (!ImportNextField(&fields, field, sizeof field, NULL)) goto reject; /* COLUMN_FIRST_DATE */
    first = ImportDateField(field);
    if (!ImportNextField(&fields, field, sizeof field, NULL)) goto reject; /* COLUMN_LAST_DATE */
    last = ImportDateField(field);
    if (!ImportNextField(&fields, author, sizeof author, &authorWhole)) goto reject; /* COLUMN_AUTHORS */
    if (mode == IMPORT_SUBTRACT)
        ApplySubtract(record, count, first, last);
    else
        ApplyAdd(record, count, first, last, author, authorWhole);
    /* Field 8 (COLUMN_SS_NUMBER) must exist; a line without it is rejected, but what it changed stays. */
    result = ImportNextField(&fields, field, sizeof field, NULL) ? IMPORT_LINE_APPLIED : IMPORT_LINE_REJECTED;
reject:
    RemoveIfEmpty(n);
    return result;
}
