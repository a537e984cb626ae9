/* Fuzz target of the form-list parser: random bytes as a downloaded list file.
 *
 * The input is handed over in a block of its exact size (no terminator), so a read past the end
 * shows up under the sanitizers. Checked against a reference reading written with std::string
 * searches: the same number of entries (at most 1000), the same label and id bytes for each; every
 * label is free of CR, every id free of CR and ","; a zero byte ends the list; the catalogue is
 * released without leaks. */
#include "catalogue/form_catalogue.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace {

void Check(bool ok) {
    if (!ok) abort();
}

/* The list as pairs: a label runs to the first CR; then CR and LF bytes are skipped; an id runs to
 * the first "," or CR; the rest of its line runs to the next CR or LF; then CR and LF are skipped. */
std::vector<std::pair<std::string, std::string>> Reference(const std::string& input) {
    std::string text = input.substr(0, input.find('\0'));
    std::vector<std::pair<std::string, std::string>> entries;
    size_t at = 0;
    while (at < text.size() && entries.size() < (size_t)FORM_CATALOGUE_MAX) {
        size_t labelEnd = std::min(text.find('\r', at), text.size());
        std::string label = text.substr(at, labelEnd - at);
        at = std::min(text.find_first_not_of("\r\n", labelEnd), text.size());
        size_t idEnd = std::min(text.find_first_of(",\r", at), text.size());
        std::string id = text.substr(at, idEnd - at);
        size_t lineEnd = std::min(text.find_first_of("\r\n", idEnd), text.size());
        at = std::min(text.find_first_not_of("\r\n", lineEnd), text.size());
        entries.emplace_back(label, id);
    }
    return entries;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    char* block = (char*)malloc(size == 0 ? 1 : size);
    if (block == nullptr) return 0;
    if (size > 0) memcpy(block, data, size);

    FormCatalogueData* catalogue = ParseFormList(block, size);
    Check(catalogue != nullptr); /* only an exhausted memory gives NULL */
    std::vector<std::pair<std::string, std::string>> expected =
        Reference(std::string((const char*)data, size));

    Check(catalogue->count >= 0 && catalogue->count <= FORM_CATALOGUE_MAX);
    Check((size_t)catalogue->count == expected.size());
    for (int i = 0; i < catalogue->count; i++) {
        const FormEntry& e = catalogue->entries[i];
        Check(e.label != nullptr && e.formId != nullptr);
        Check(strchr(e.label, '\r') == nullptr);
        Check(strchr(e.formId, '\r') == nullptr && strchr(e.formId, ',') == nullptr);
        Check(expected[(size_t)i].first == e.label);
        Check(expected[(size_t)i].second == e.formId);
    }
    /* Lookup by id finds an entry with that id, never a later one with the same id first. */
    if (catalogue->count > 0) {
        const char* id = catalogue->entries[catalogue->count - 1].formId;
        const FormEntry* found = FindFormById(catalogue, id);
        Check(found != nullptr && strcmp(found->formId, id) == 0);
        for (const FormEntry* e = catalogue->entries; e < found; e++)
            Check(strcmp(e->formId, id) != 0);
    }
    ReleaseFormCatalogue(catalogue);
    free(block);
    return 0;
}
