/* Matching one document text and recording the hit (see match.h).
 *
 * The regions are never copied: the closing markers are overwritten by terminators in the
 * document's own memory and FindFolded scans from the opening marker up to the first terminator.
 * The markers are found in one pass over the text before any terminator is written, and only for
 * a text that holds the pattern somewhere.
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

/* The next '<' of a writable text, or NULL. */
static char* FindTextMarker(char* text) {
    const char* found = FindTextByte(text, '<');
    return found != NULL ? text + (found - text) : NULL;
}

/* One searched region: where its opening marker first occurs in the text, and where its closing
 * marker first occurs after that. */
typedef struct Region {
    const char* open;  /* folded opening marker */
    const char* close; /* folded closing marker */
    char* start;       /* first occurrence of `open`, or NULL */
    char* end;         /* first occurrence of `close` after `start`, or NULL */
} Region;

/* Whether the folded marker starts at `at`, in any letter case (the text's terminator, folded 0,
 * stops the comparison). */
static int MarkerAt(const char* at, const char* marker) {
    const unsigned char* t = (const unsigned char*)at;
    for (size_t i = 0; marker[i] != 0; i++)
        if (Folding.FoldTable[t[i]] != (unsigned char)marker[i]) return 0;
    return 1;
}

/* Finds every region's markers in one pass over the text's '<' bytes, in order, stopping once all
 * are known: the same positions as looking for each marker with FindFolded from the start (the
 * opening marker) or from the opening marker (the closing one), but the text is read once instead
 * of once per marker. Every marker starts with '<', which only '<' folds to. An opening and a
 * closing marker never match at the same place (the second byte is '/' in one only), so the
 * closing marker is looked for after the opening one. */
static void FindRegions(char* text, Region* regions, int count) {
    int unknown = 2 * count;
    for (char* at = FindTextMarker(text); at != NULL && unknown > 0; at = FindTextMarker(at + 1)) {
        for (int i = 0; i < count; i++) {
            Region* r = &regions[i];
            if (r->start == NULL) {
                if (MarkerAt(at, r->open)) {
                    r->start = at;
                    unknown--;
                }
            } else if (r->end == NULL && MarkerAt(at, r->close)) {
                r->end = at;
                unknown--;
            }
        }
    }
}

int MatchDocumentText(char* text, const char* pattern, int formDataOnly) {
    if (text == NULL) return 0;
    /* Most documents do not hold the pattern anywhere: one folded scan of the whole text settles
     * those, without looking for the markers (a second pass over the text). This changes no result:
     * every region is a stretch of the text's own bytes that ends before its first terminator (the
     * terminators written over closing markers only shorten regions), so a match inside a region is
     * a match in the whole text. A text that holds the pattern somewhere is cut into its regions
     * as below. */
    if (FindFolded(text, pattern) == NULL) return 0;
    Region regions[2] = {{kTextOpen, kTextClose, NULL, NULL}, {kRtfOpen, kRtfClose, NULL, NULL}};
    int count = 2;
    if (formDataOnly) {
        regions[0].open = kFormDataOpen;
        regions[0].close = kFormDataClose;
        count = 1;
    }
    FindRegions(text, regions, count);
    /* Only once all markers are known: a terminator written earlier would hide them. */
    for (int i = 0; i < count; i++)
        if (regions[i].end != NULL) *regions[i].end = 0;
    for (int i = 0; i < count; i++)
        if (regions[i].start != NULL && FindFolded(regions[i].start, pattern) != NULL) return 1;
    return 0;
}

void RecordDocumentHit(const void* header, uint32_t key, int fromFileTable) {
    if (header == NULL) return;
    uint32_t patient = RecordU32(header, HEADER_PATIENT);
    if (patient >= (uint32_t)PATIENT_TABLE_SLOTS) return;
    Results.OccurrenceTotal++;
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
