/* The arithmetic of a search run (see search_run_plan.h). */
#include "search/search_run_plan.h"

#include <stdlib.h>
#include <string.h>

#include "base/alloc.h"
#include "host/records.h"

int SearchFamilyOf(int searchMode) {
    switch (searchMode) {
    case 1:
        return FAMILY_PRESCRIPTIONS;
    case 2:
    case 3:
        return FAMILY_FORMS;
    default:
        return FAMILY_LETTERS;
    }
}

int WantedDocumentType(int family) {
    return family == FAMILY_PRESCRIPTIONS ? DOC_TYPE_PRESCRIPTION : DOC_TYPE_LETTER;
}

int FileIndexOf(int family) {
    return family == FAMILY_PRESCRIPTIONS ? INDEX_PRESCRIPTION_FILES : INDEX_LETTER_FILES;
}

const char* FormIdAt(const FormCatalogueData* catalogue, int selection) {
    if (catalogue == NULL || catalogue->entries == NULL) return NULL;
    if (selection < 0 || selection >= catalogue->count) return NULL;
    return catalogue->entries[selection].formId;
}

static int CompareKeys(const void* a, const void* b) {
    uint32_t x = *(const uint32_t*)a;
    uint32_t y = *(const uint32_t*)b;
    return x < y ? -1 : x > y ? 1 : 0;
}

/* The keys are sorted by their bytes, the lowest first: four stable counting passes between the
 * keys and a scratch copy, which gives the order of a comparison sort of the values (equal keys are
 * identical, so no other order exists). The counts of all four bytes are taken in one read of the
 * keys, since a pass only reorders them; a pass whose byte is the same in every key is skipped. A
 * run's 274,512 keys took 0.04 s with qsort under Wine. Fewer than RADIX_SORT_MIN_KEYS keys, or a
 * scratch copy that cannot be allocated, are sorted with qsort. */
enum { RADIX_SORT_MIN_KEYS = 64, RADIX_BUCKETS = 256 };

void SortKeys(uint32_t* keys, int count) {
    if (keys == NULL || count < 2) return;
    uint32_t* scratch = NULL;
    if (count >= RADIX_SORT_MIN_KEYS) scratch = (uint32_t*)SondrelAlloc((size_t)count, sizeof *scratch);
    if (scratch == NULL) {
        qsort(keys, (size_t)count, sizeof keys[0], CompareKeys);
        return;
    }
    size_t counts[4][RADIX_BUCKETS]; /* 4 or 8 KB of stack */
    memset(counts, 0, sizeof counts);
    for (int i = 0; i < count; i++) {
        uint32_t key = keys[i];
        counts[0][key & 0xFF]++;
        counts[1][(key >> 8) & 0xFF]++;
        counts[2][(key >> 16) & 0xFF]++;
        counts[3][key >> 24]++;
    }
    uint32_t* from = keys;
    uint32_t* to = scratch;
    for (int pass = 0; pass < 4; pass++) {
        size_t* bucket = counts[pass];
        int shift = pass * 8;
        if (bucket[(from[0] >> shift) & 0xFF] == (size_t)count) continue;
        size_t start = 0;
        for (int b = 0; b < RADIX_BUCKETS; b++) {
            size_t n = bucket[b];
            bucket[b] = start;
            start += n;
        }
        for (int i = 0; i < count; i++)
            to[bucket[(from[i] >> shift) & 0xFF]++] = from[i];
        uint32_t* swap = from;
        from = to;
        to = swap;
    }
    if (from != keys) memcpy(keys, from, (size_t)count * sizeof keys[0]);
    SondrelFree(scratch);
}

int CollectKeys(const KeySource* source, char* keyText, int index, int fileIndexFlag, int wanted,
                uint32_t* keys, int limit) {
    int kept = 0;
    for (int taken = 0; taken < limit; taken++) {
        uint32_t key = source->next(source->context, index, taken == 0, keyText);
        if (key == 0) break;
        if (memchr(keyText, 0, KEY_TEXT_SIZE) == NULL) {
            keyText[KEY_TEXT_SIZE - 1] = 0;
            continue;
        }
        if (HostDocumentType(source->type(source->context, keyText, fileIndexFlag)) == wanted)
            keys[kept++] = key;
    }
    return kept;
}

void FreeKeyLists(KeyLists* lists) {
    SondrelFree(lists->folderKeys);
    SondrelFree(lists->fileKeys);
    lists->folderKeys = NULL;
    lists->fileKeys = NULL;
    lists->folderCount = 0;
    lists->fileCount = 0;
}

int CollectAllKeys(const KeySource* source, char* keyText, int fileIndex, int wanted, KeyLists* lists) {
    int folderCount = source->count(source->context, INDEX_FOLDERS);
    int fileCount = source->count(source->context, fileIndex);
    if (folderCount <= 0) folderCount = 1;
    if (fileCount < 0) fileCount = 0;
    lists->folderCount = 0;
    lists->fileCount = 0;
    lists->folderKeys = (uint32_t*)SondrelAlloc((size_t)folderCount, sizeof(uint32_t));
    lists->fileKeys = (uint32_t*)SondrelAlloc((size_t)fileCount, sizeof(uint32_t));
    if (lists->folderKeys == NULL || lists->fileKeys == NULL) {
        FreeKeyLists(lists);
        return 0;
    }
    lists->folderCount =
        CollectKeys(source, keyText, INDEX_FOLDERS, 0, wanted, lists->folderKeys, folderCount);
    lists->fileCount = CollectKeys(source, keyText, fileIndex, 1, wanted, lists->fileKeys, fileCount);
    SortKeys(lists->folderKeys, lists->folderCount);
    SortKeys(lists->fileKeys, lists->fileCount);
    return 1;
}

void StartProgress(ProgressCounter* progress, int total) {
    progress->processed = 0;
    progress->sinceReport = 0;
    progress->step = total > 0 ? total / 50 : 0;
}

int CountDocument(ProgressCounter* progress) {
    progress->processed++;
    progress->sinceReport++;
    if (progress->sinceReport <= progress->step) return 0;
    progress->sinceReport = 0;
    return 1;
}
