/* Per-patient hit table (see hits.h).
 *
 * The table is a plain array of 2^20 record pointers in static storage. A record's hits array grows
 * by SondrelRealloc in steps of 100 entries, at the moments the occurrence count says so: 100 entries on
 * the first hit, then count + 101 entries when count + 1 is a multiple of 100. hitCapacity mirrors
 * the allocated size so that no entry can ever be written outside the array, whatever another part
 * of the program has done to the occurrence count.
 *
 * Decisions of our own:
 *   - A patient number outside 0 .. 1,048,575 gets no record: RecordForPatient returns NULL and
 *     touches nothing (the matcher does not count such a document at all).
 *   - A record that cannot be allocated is handled like a hits array that cannot be grown: the
 *     failure is reported, the hit is dropped and the caller goes on.
 *   - The authors text never grows past 999 characters: an author that does not fit whole is not
 *     appended (the hit itself still counts). */
#include "search/hits.h"

#include "base/alloc.h"
#include "base/str.h"

#include <limits.h>
#include <stdint.h>
#include <string.h>

SearchResults Results;

int g_allocationFailureReports;

void CountAllocationFailure(void) {
    g_allocationFailureReports++;
}

AllocationFailureReportFn g_reportAllocationFailure = CountAllocationFailure;

static void ReportAllocationFailure(void) {
    if (g_reportAllocationFailure != NULL) g_reportAllocationFailure();
}

void ClearHitTable(void) {
    memset(Results.PatientHitsTable, 0, sizeof Results.PatientHitsTable);
    Results.OccurrenceTotal = 0;
    Results.PatientsWithHits = 0;
}

void ReleasePatientHits(PatientHits* record) {
    if (record == NULL) return;
    SondrelFree(record->hits);
    SondrelFree(record->rowTexts);
    SondrelFree(record);
}

PatientHits* RecordForPatient(int32_t patientNumber) {
    if (patientNumber < 0 || patientNumber >= PATIENT_TABLE_SLOTS) return NULL;
    PatientHits* record = Results.PatientHitsTable[patientNumber];
    if (record != NULL) return record;
    record = (PatientHits*)SondrelAlloc(1, sizeof(PatientHits));
    if (record == NULL) {
        ReportAllocationFailure();
        return NULL;
    }
    record->patientNumber = patientNumber;
    Results.PatientHitsTable[patientNumber] = record;
    Results.PatientsWithHits++;
    return record;
}

/* Makes room for entry `count` of a record that has stored its entries in order. Returns the array
 * to store into (not yet saved in the record) and its capacity, or NULL after reporting a failure. */
static HitRef* HitsArrayFor(PatientHits* record, int32_t count, int32_t* capacity) {
    if (count == 0) {
        HitRef* fresh = (HitRef*)SondrelAlloc(HITS_GROWTH_STEP, sizeof(HitRef));
        if (fresh == NULL) return NULL;
        *capacity = HITS_GROWTH_STEP;
        return fresh;
    }
    if ((count + 1) % HITS_GROWTH_STEP == 0) {
        int32_t entries = count + 1 + HITS_GROWTH_STEP;
        HitRef* grown = (HitRef*)SondrelRealloc(record->hits, (size_t)entries, sizeof(HitRef));
        if (grown == NULL) return NULL;
        *capacity = entries;
        return grown;
    }
    *capacity = record->hitCapacity;
    return record->hits;
}

void AddHit(PatientHits* record, PackedDate date, const char* author, uint32_t key, int fromFileTable) {
    if (record == NULL) return;
    int32_t count = record->occurrenceCount;
    /* Room for the growth arithmetic below and for the increment. */
    if (count > INT32_MAX - 1 - HITS_GROWTH_STEP) return;

    /* Entries are stored only while the array holds exactly the counted hits, in order. The import
     * changes the count without entries and drops the array; such a record keeps counting. */
    int keepsEntries = count == 0 || (count > 0 && record->hits != NULL && count <= record->hitCapacity);
    if (keepsEntries) {
        int32_t capacity = 0;
        HitRef* hits = HitsArrayFor(record, count, &capacity);
        if (hits == NULL) {
            ReportAllocationFailure();
            return;
        }
        if (hits != record->hits) {
            /* A count of 0 with an array left over from before gets a fresh array. */
            if (count == 0) SondrelFree(record->hits);
            record->hits = hits;
        }
        record->hitCapacity = capacity;
        if (count < capacity) {
            record->hits[count].key = key;
            record->hits[count].fromFileTable = fromFileTable;
        }
    }
    record->occurrenceCount = count + 1;

    if (date < record->firstDate || record->firstDate == 0) record->firstDate = date;
    if (date > record->lastDate) record->lastDate = date;
    MergeAuthor(record->authors, author);
}

int MergeAuthor(char* authors, const char* author) {
    if (authors == NULL) return 0;
    if (author == NULL) author = "";
    size_t len = StrLenBounded(authors, AUTHORS_TEXT_SIZE);
    if (len == AUTHORS_TEXT_SIZE) { /* never the case for our own records; keep the text bounded */
        len = AUTHORS_TEXT_SIZE - 1;
        authors[len] = 0;
    }
    size_t authorLen = strlen(author);

    /* Present: at the start of the text or after a ";", and followed by the end or a ";". Every
     * item is looked at, not only the first place the author's bytes occur. */
    size_t start = 0;
    for (;;) {
        if (authorLen <= len - start && memcmp(authors + start, author, authorLen) == 0) {
            char after = authors[start + authorLen];
            if (after == 0 || after == ';') return 1;
        }
        const char* separator = (const char*)memchr(authors + start, ';', len - start);
        if (separator == NULL) break;
        start = (size_t)(separator - authors) + 1;
    }

    size_t separatorLen = len > 0 ? 1 : 0;
    size_t room = AUTHORS_TEXT_SIZE - 1 - len; /* len is at most 999 */
    if (separatorLen > room || authorLen > room - separatorLen) return 0;
    if (separatorLen) authors[len++] = ';';
    memcpy(authors + len, author, authorLen);
    authors[len + authorLen] = 0;
    return 1;
}
