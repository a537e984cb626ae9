/* The arithmetic of a search run (see search_run_plan.h). */
#include "search/search_run_plan.h"

#include <stdlib.h>

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

void SortKeys(uint32_t* keys, int count) {
    if (keys != NULL && count > 1) qsort(keys, (size_t)count, sizeof keys[0], CompareKeys);
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
