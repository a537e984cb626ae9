/* Matching one document text and recording the hit (see match.h).
 *
 * The regions are never copied: the closing markers are overwritten by terminators in the
 * document's own memory and FindFolded scans from the opening marker up to the first terminator.
 * The author is copied out of the header bounded to its 22-byte field, so a header whose author is
 * not terminated cannot make us read past it. */
#include "search/match.h"

#include "base/str.h"
#include "host/records.h"
#include "search/fold.h"
#include "search/hits.h"

#include <stddef.h>

static const char kFormDataOpen[] = "<velarine_data>";
static const char kFormDataClose[] = "</velarine_data>";
static const char kTextOpen[] = "<text>";
static const char kTextClose[] = "</text>";
static const char kRtfOpen[] = "<rtf>";
static const char kRtfClose[] = "</rtf>";

/* FindFolded over a writable text: the same position, as a writable pointer. */
static char* FindInText(char* text, const char* pattern) {
    const char* found = FindFolded(text, pattern);
    return found != NULL ? text + (found - text) : NULL;
}

int MatchDocumentText(char* text, const char* pattern, int formDataOnly) {
    if (text == NULL) return 0;
    char* first = NULL;
    char* second = NULL;
    if (formDataOnly) {
        first = FindInText(text, kFormDataOpen);
        char* firstEnd = first != NULL ? FindInText(first, kFormDataClose) : NULL;
        if (firstEnd != NULL) *firstEnd = 0;
    } else {
        first = FindInText(text, kTextOpen);
        char* firstEnd = first != NULL ? FindInText(first, kTextClose) : NULL;
        second = FindInText(text, kRtfOpen);
        char* secondEnd = second != NULL ? FindInText(second, kRtfClose) : NULL;
        /* Only once all four markers are known: a terminator written earlier would hide them. */
        if (firstEnd != NULL) *firstEnd = 0;
        if (secondEnd != NULL) *secondEnd = 0;
    }
    if (first != NULL && FindFolded(first, pattern) != NULL) return 1;
    if (second != NULL && FindFolded(second, pattern) != NULL) return 1;
    return 0;
}

void RecordDocumentHit(const void* header, uint32_t key, int fromFileTable) {
    if (header == NULL) return;
    uint32_t patient = RecordU32(header, HEADER_PATIENT);
    if (patient >= (uint32_t)PATIENT_TABLE_SLOTS) return;
    OccurrenceTotal++;
    PatientHits* record = RecordForPatient((int32_t)patient);
    if (record == NULL) return; /* reported by RecordForPatient */
    char author[HEADER_AUTHOR_SIZE];
    StrCopyN(author, sizeof author, RecordText(header, HEADER_AUTHOR), HEADER_AUTHOR_SIZE - 1);
    AddHit(record, RecordU32(header, HEADER_DATE), author, key, fromFileTable);
}

int MatchAndRecordDocument(char* text, const char* pattern, const void* header, uint32_t key,
                           int fromFileTable, int formDataOnly) {
    if (!MatchDocumentText(text, pattern, formDataOnly)) return 0;
    RecordDocumentHit(header, key, fromFileTable);
    return 1;
}
