/* Per-patient hit table.
 *
 * The results of a search are gathered per patient, not per document. Results.PatientHitsTable has one slot
 * for every possible patient number (0 .. 1,048,575); a slot is empty or points to the patient's
 * PatientHits record, created zero-filled on the patient's first hit. A record holds the documents
 * that matched (HitRef entries, in an array grown in steps of 100), their count, the dates of the
 * earliest and latest of them and the ";"-separated list of their distinct authors.
 * Results.OccurrenceTotal counts matching documents, Results.PatientsWithHits counts non-empty slots.
 *
 * Ownership: a record belongs to its slot; once the result list is filled, the row that carries
 * the record as its item data refers to it too. A run empties the table with ClearHitTable (which
 * releases nothing) and then releases each record through the list rows with ReleasePatientHits,
 * so no slot ever refers to a released record.
 *
 * Memory comes from the program's allocation seam (base/alloc.h), through which tests can make any
 * single allocation fail. When an allocation fails the user is told
 * through g_reportAllocationFailure, a process-wide callback: the Win32 side installs a message box
 * (InstallAllocationFailureBox), the default only counts the reports in g_allocationFailureReports.
 * The hit concerned is dropped and the caller goes on.
 *
 * Threads: no locks. During a run only the search thread writes the table, the new records and the
 * two counters; the interface thread reads them only once the run has filled the result list, and
 * the sort, the viewer and the import touch them only between runs. The one exception is the
 * previous run's records: the run empties the table first, and the interface thread then releases
 * those records through the rows that still carry them while the run goes on (they are no longer
 * reachable from the table, so the two threads never share a record). */
#ifndef SONDREL_SEARCH_HITS_H
#define SONDREL_SEARCH_HITS_H

#include "host/records.h"

#include <stddef.h>
#include <stdint.h>

enum {
    PATIENT_TABLE_SLOTS = 1048576, /* 2^20 patient numbers: 0 .. 1,048,575 */
    AUTHORS_TEXT_SIZE = 1000,      /* authors text buffer, at most 999 characters */
    HITS_GROWTH_STEP = 100         /* entries of the first hits array, and of each growth */
};

/* One matching document. */
typedef struct HitRef {
    uint32_t key;          /* record key the document was read with */
    int32_t fromFileTable; /* 0: reached through the patient-folder table, 1: through a file table */
} HitRef;

/* One patient's results. */
typedef struct PatientHits {
    PackedDate firstDate;            /* earliest matching document's date; 0 while none known */
    PackedDate lastDate;             /* latest matching document's date; 0 while none known */
    int32_t occurrenceCount;         /* matching documents counted (the import may change it) */
    int32_t rowIndex;                /* current row in the result list, written by the sort */
    char authors[AUTHORS_TEXT_SIZE]; /* distinct authors, ";"-separated, first appearance order */
    HitRef* hits;                    /* owned array; NULL before the first hit or once dropped */
    int32_t patientNumber;           /* this record's slot in Results.PatientHitsTable */
    int32_t hitCapacity;             /* entries allocated in hits; meaningful only while hits is set */
    char* rowTexts; /* owned: the row's cells read from the host when the result list was filled (name,
                     * age, social-security digits, scheme), each terminated, one after another;
                     * NULL until then */
} PatientHits;

/* The current results, the search's one process-wide record: Results. Written by the search
 * thread during a run (RecordForPatient, AddHit, the result list's fill), by the interface thread
 * between runs (ClearHitTable before a run, the import, the tests); read by the interface thread
 * once the list is filled (threads: see above). About 4 MB (8 MB in a 64-bit build) of slots,
 * zero at start. */
typedef struct SearchResults {
    PatientHits* PatientHitsTable[PATIENT_TABLE_SLOTS]; /* one slot per patient number: NULL or its record */
    int OccurrenceTotal;                                /* matching documents in the current results */
    int PatientsWithHits;                               /* non-empty slots of PatientHitsTable */
} SearchResults;

extern SearchResults Results;

/* The allocation-failure report below stays a seam of its own, not a field of Results: it is not
 * part of the results but the way a failure reaches the user, which the window installs and the
 * tests replace (as with base/ui.h's g_messageBox). */

/* Tells the user that a result was dropped for want of memory. */
typedef void (*AllocationFailureReportFn)(void);
extern AllocationFailureReportFn g_reportAllocationFailure;
/* Default report: counts into g_allocationFailureReports and shows nothing. */
void CountAllocationFailure(void);
extern int g_allocationFailureReports;

/* Empties every slot and sets both counters to 0. Releases nothing. */
void ClearHitTable(void);

/* Releases a record, its hits array and its row texts. NULL is ignored. The caller empties the slot. */
void ReleasePatientHits(PatientHits* record);

/* The patient's record, created zero-filled (patient number set, Results.PatientsWithHits incremented) when
 * the slot is empty. NULL when the patient number lies outside 0 .. 1,048,575 (nothing happens) or
 * when a new record cannot be allocated (reported through g_reportAllocationFailure). */
PatientHits* RecordForPatient(int32_t patientNumber);

/* Appends one HitRef to the record, increments its occurrence count, then updates its dates and
 * authors text. The hits array starts with 100 entries and grows by 100 each time entry 99, 199,
 * 299, ... is about to be stored. When the array cannot be allocated or grown the failure is
 * reported and the hit dropped: the record is left exactly as it was. A record whose count the
 * import has changed without entries (no array, a negative count, or a count beyond the array)
 * keeps counting, dating and merging authors but gets no entry. A NULL record is ignored. */
void AddHit(PatientHits* record, PackedDate date, const char* author, uint32_t key, int fromFileTable);

/* Adds the author to the authors text (a buffer of AUTHORS_TEXT_SIZE bytes) unless it is already
 * there as a whole ";"-separated item, compared case-sensitively: ";" is appended when the text is
 * not empty, then the author. An author that would make the text longer than 999 characters is not
 * appended. Returns 1 when the author is in the text afterwards, 0 when it did not fit. */
int MergeAuthor(char* authors, const char* author);

#endif
