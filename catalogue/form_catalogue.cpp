/* The form catalogue: built-in table, one-step publication and the list-file parser (see
 * form_catalogue.h). */
#include "catalogue/form_catalogue.h"

#include "base/alloc.h"

#include <atomic>
#include <string.h>

static const FormEntry kBuiltinEntries[BUILTIN_FORM_COUNT] = {
    {"Protocole d'Examen Spécial", "VELARINE_11626"},
    {"Protocole pour soins post consolidation", "VELARINE_649-03-2001"},
    {"Demande d'adhésion option médecin référent", "VELARINE_647"},
    {"Entente préalable accident du travail", "VELARINE_12041"},
    {"Accord préalable prescription de transport", "VELARINE_9104"},
    {"Accord préalable prescription de transport 2007", "VELARINE_11574a"},
    {"Avis d'arrêt de travail", "VELARINE_3116"},
    {"Avis d'arrêt de travail 2008", "VELARINE_3116f"},
    {"Accident de travail", "VELARINE_50513"},
    {"Accident de travail 2008", "VELARINE_50513_2"},
    {"Cure thermale ", "VELARINE_3185"},
    {"Prescription de transport", "VELARINE_3138"},
    {"Entente Assurance Maladie", "VELARINE_12040"},
    {"Déclaration choix médecin traitant", "VELARINE_1640"},
    {"Medicaments d'exception", "VELARINE_12708"},
    {"Démarche de soins infirmiers", "cotorep_form"},
    {"Cotorep", "cotorep_form"},
    {"Permis Mer", "11327*01"},
    {"Declaration rougeole", "rougeole_form"},
    {"Enfant handicapé", "aesCertificat_form"},
    {"Declaration Maladie Professionnelle", "CERFA_60_3950"},
    {"Certificat des 24 mois", "certif3_24mois"},
    {"Certificat des 9 mois", "certif2_9mois"},
    {"Declaration d'effets indésirables", "pharmacovigilance_form"},
};

static const FormCatalogueData kBuiltin = {kBuiltinEntries, BUILTIN_FORM_COUNT};

/* The published catalogue. Release/acquire ordering makes every byte of a catalogue built on the
 * refresh thread visible to a reader that obtains its pointer. */
static std::atomic<const FormCatalogueData*> g_formCatalogue{&kBuiltin};

const FormCatalogueData* FormCatalogue(void) {
    return g_formCatalogue.load(std::memory_order_acquire);
}

void PublishFormCatalogue(const FormCatalogueData* catalogue) {
    if (catalogue != NULL) g_formCatalogue.store(catalogue, std::memory_order_release);
}

const FormCatalogueData* BuiltinFormCatalogue(void) {
    return &kBuiltin;
}

const FormEntry* FindFormById(const FormCatalogueData* catalogue, const char* formId) {
    if (catalogue == NULL || formId == NULL) return NULL;
    for (int i = 0; i < catalogue->count; i++) {
        if (strcmp(catalogue->entries[i].formId, formId) == 0) return &catalogue->entries[i];
    }
    return NULL;
}

static char* CopyRange(const char* start, const char* end) {
    size_t n = (size_t)(end - start);
    char* copy = (char*)SondrelAlloc(n + 1, 1);
    if (copy == NULL) return NULL;
    memcpy(copy, start, n);
    copy[n] = 0;
    return copy;
}

static void FreeParsed(FormCatalogueData* catalogue, FormEntry* entries, int count) {
    for (int i = 0; i < count; i++) {
        SondrelFree((void*)entries[i].label);
        SondrelFree((void*)entries[i].formId);
    }
    SondrelFree(entries);
    SondrelFree(catalogue);
}

void ReleaseFormCatalogue(FormCatalogueData* catalogue) {
    if (catalogue != NULL) FreeParsed(catalogue, (FormEntry*)catalogue->entries, catalogue->count);
}

static const char* SkipLineEnds(const char* p, const char* end) {
    while (p < end && (*p == '\r' || *p == '\n'))
        p++;
    return p;
}

FormCatalogueData* ParseFormList(const char* text, size_t size) {
    FormCatalogueData* catalogue = (FormCatalogueData*)SondrelAlloc(1, sizeof(FormCatalogueData));
    FormEntry* entries = (FormEntry*)SondrelAlloc(FORM_CATALOGUE_MAX, sizeof(FormEntry));
    if (catalogue == NULL || entries == NULL) {
        SondrelFree(catalogue);
        SondrelFree(entries);
        return NULL;
    }
    /* No text is an empty list. A zero byte inside the file ends the text, as it would for a
     * terminated buffer. */
    if (text == NULL) {
        text = "";
        size = 0;
    }
    const char* nul = (const char*)memchr(text, 0, size);
    const char* end = nul != NULL ? nul : text + size;
    const char* p = text;
    int count = 0;
    while (p < end && count < FORM_CATALOGUE_MAX) {
        const char* start = p;
        while (p < end && *p != '\r')
            p++;
        char* label = CopyRange(start, p);
        p = SkipLineEnds(p, end);
        start = p;
        while (p < end && *p != ',' && *p != '\r')
            p++;
        char* formId = CopyRange(start, p);
        while (p < end && *p != '\r' && *p != '\n')
            p++;
        p = SkipLineEnds(p, end);
        if (label == NULL || formId == NULL) {
            SondrelFree(label);
            SondrelFree(formId);
            FreeParsed(catalogue, entries, count);
            return NULL;
        }
        entries[count].label = label;
        entries[count].formId = formId;
        count++;
    }
    catalogue->entries = entries;
    catalogue->count = count;
    return catalogue;
}
