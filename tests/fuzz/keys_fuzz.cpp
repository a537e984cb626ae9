/* Fuzz target of the key lists of a search run: random bytes as the host's key count, the keys it
 * hands out and a selection in the form chooser.
 *
 * Input layout (every part may be short or missing):
 *   bytes 0-3   the document total the host's key counts give, little-endian, signed (negative and
 *               absurd values too);
 *   bytes 4-7   a form chooser selection, little-endian, signed;
 *   the rest    keys, 4 bytes each, little-endian, in the order the index walk hands them out.
 * Checked: SortKeys leaves the same keys in ascending order; the progress reports come every
 * (step + 1)-th document with step = total / 50 (0 for no positive total), so a walk of at most the
 * total reports at most 51 times; FormIdAt gives an entry's id exactly for a selection within the
 * catalogue and NULL otherwise; nothing is read or written outside its block. */
#include "catalogue/form_catalogue.h"
#include "search/search_run_plan.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <vector>

namespace {

void Check(bool ok) {
    if (!ok) abort();
}

int32_t Int(const uint8_t* p) {
    return (int32_t)((uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 8) return 0;
    int32_t total = Int(data);
    int32_t selection = Int(data + 4);
    size_t count = (size - 8) / 4;
    uint32_t* keys = (uint32_t*)malloc(count == 0 ? 1 : count * sizeof(uint32_t));
    std::vector<uint32_t> want;
    for (size_t i = 0; i < count; i++) {
        keys[i] = (uint32_t)Int(data + 8 + 4 * i);
        want.push_back(keys[i]);
    }
    SortKeys(keys, (int)count);
    std::sort(want.begin(), want.end());
    Check(std::equal(want.begin(), want.end(), keys));
    SortKeys(nullptr, (int)count);
    SortKeys(keys, -1); /* a negative count sorts nothing */
    Check(std::equal(want.begin(), want.end(), keys));
    free(keys);

    /* Progress over the keys walked, and over the whole total when it is small enough to walk. */
    ProgressCounter progress;
    StartProgress(&progress, total);
    int step = total > 0 ? total / 50 : 0;
    Check(progress.step == step && progress.processed == 0);
    long documents = total > 0 && total <= 20000 ? total : (long)count;
    long reports = 0;
    for (long i = 1; i <= documents; i++) {
        int report = CountDocument(&progress);
        Check(report == (i % (step + 1) == 0 ? 1 : 0));
        reports += report;
    }
    Check(progress.processed == (int)documents);
    if (documents <= total) Check(reports <= 51);

    /* The chooser's selection against the built-in catalogue. */
    const FormCatalogueData* catalogue = BuiltinFormCatalogue();
    const char* id = FormIdAt(catalogue, selection);
    if (selection >= 0 && selection < catalogue->count)
        Check(id != nullptr && id == catalogue->entries[selection].formId);
    else
        Check(id == nullptr);
    Check(FormIdAt(nullptr, selection) == nullptr);
    return 0;
}
