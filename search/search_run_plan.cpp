/* The arithmetic of a search run (see search_run_plan.h). */
#include "search/search_run_plan.h"

#include <stdlib.h>
#include <string.h>

#include <algorithm>

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

/* The host's index walks usually hand the keys over in ascending order already, so one look along
 * the list settles most runs; otherwise std::sort, whose comparison is inlined: qsort's call
 * through a function pointer per comparison cost about 0.04 s for the 274,000 keys of a large
 * cabinet under Wine. Neither allocates, so the sort cannot fail. */
void SortKeys(uint32_t* keys, int count) {
    if (keys == NULL || count < 2) return;
    int inOrder = 1;
    while (inOrder < count && keys[inOrder - 1] <= keys[inOrder])
        inOrder++;
    if (inOrder < count) std::sort(keys, keys + count);
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
