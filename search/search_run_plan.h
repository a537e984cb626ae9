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

/* Key collection.
 *
 * The run's two key lists come from the host's index walks. The host side is reached through a
 * KeySource so that the decisions below stay apart from the Win32 glue that talks to the host:
 *   count(context, index)             the number of keys the host reports for the index;
 *   next(context, index, first, text) the first (first != 0) or the next key of the index, its
 *                                     text written into `text` (KEY_TEXT_SIZE bytes); 0 at the end;
 *   type(context, text, fileIndexFlag) what the host answers for the key's document type (only
 *                                     the low 16 bits are the type, see HostDocumentType).
 *
 * CollectKeys walks `index` from its first key, taking at most `limit` keys in all, and keeps in
 * `keys` those whose type is `wanted`; it returns the number kept. A key text with no terminator in
 * the KEY_TEXT_SIZE-byte buffer is skipped: the key does not enter the list and its type is not
 * asked for, since the text the host would be asked about is not the one it meant (the buffer's last
 * byte is then zeroed so that the buffer is a text again).
 *
 * CollectAllKeys sizes both lists from the host's counts (a folder count of 0 or less is taken as
 * 1, so the folder walk takes its one key; a negative file count as 0), allocates them through the
 * allocation seam, fills them from INDEX_FOLDERS (flag 0) and `fileIndex` (flag 1) and sorts them.
 * A count no block can hold (a faulty host's 2^31 - 1) is refused by the seam like a lack of
 * memory. Returns 1 with both lists set; 0 when a list cannot be allocated, with both lists freed,
 * NULL and counted 0, and no key asked for. */
typedef struct KeySource {
    int (*count)(void* context, int index);
    uint32_t (*next)(void* context, int index, int first, char* keyText);
    int (*type)(void* context, char* keyText, int fileIndexFlag);
    void* context;
} KeySource;

typedef struct KeyLists {
    uint32_t* folderKeys; /* sorted keys of the wanted type from INDEX_FOLDERS */
    int folderCount;
    uint32_t* fileKeys; /* sorted keys of the file index */
    int fileCount;
} KeyLists;

int CollectKeys(const KeySource* source, char* keyText, int index, int fileIndexFlag, int wanted,
                uint32_t* keys, int limit);
int CollectAllKeys(const KeySource* source, char* keyText, int fileIndex, int wanted, KeyLists* lists);
/* Frees both lists (through the seam) and empties them. */
void FreeKeyLists(KeyLists* lists);

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
