/* The arithmetic of a search run, apart from the window and the host.
 *
 * A run derives from the SearchMode the family of documents it reads (letters, prescriptions or the
 * form data stored in letters), the document type it keeps from the folder index and the file
 * index it walks; it sorts the collected keys; and it reports progress every (step + 1)-th
 * document, where the step is the total divided by 50, so at most about 50 reports are made per
 * run and every document is reported when there are fewer than 50. The progress bar is given the
 * total as a 32-bit range, so a cabinet of more than 65,535 documents still shows true progress.
 *
 * Portable: no <windows.h>. */
#ifndef SONDREL_SEARCH_SEARCH_RUN_PLAN_H
#define SONDREL_SEARCH_SEARCH_RUN_PLAN_H

#include <stdint.h>

#include "catalogue/form_catalogue.h"

/* Document families. */
enum { FAMILY_LETTERS = 0, FAMILY_PRESCRIPTIONS = 1, FAMILY_FORMS = 2 };

/* Family of a SearchMode: 0 -> letters, 1 -> prescriptions, 2 and 3 -> form data. */
int SearchFamilyOf(int searchMode);
/* Document type kept from the folder index: 7 for prescriptions, 6 (letters) otherwise. */
int WantedDocumentType(int family);
/* File index walked: 282 for prescriptions, 284 (letter files) otherwise. */
int FileIndexOf(int family);

/* The form id of entry `selection` of the catalogue, or NULL when the selection is not an entry
 * (no selection, a negative one, or one beyond the catalogue's count). */
const char* FormIdAt(const FormCatalogueData* catalogue, int selection);

/* Sorts `count` keys in ascending order. */
void SortKeys(uint32_t* keys, int count);

/* Progress counting over both scans. */
typedef struct ProgressCounter {
    int processed;   /* documents handled so far: the progress position */
    int sinceReport; /* documents since the last report */
    int step;        /* report step: total / 50 */
} ProgressCounter;

/* Starts the count for `total` documents. */
void StartProgress(ProgressCounter* progress, int total);
/* Counts one document; returns 1 when progress is to be reported now. */
int CountDocument(ProgressCounter* progress);

#endif
