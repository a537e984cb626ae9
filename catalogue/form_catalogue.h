/* The form catalogue: the form types offered for form searches.
 *
 * A form search looks for a form identifier inside the form-data sections of letters; the user picks
 * it by label in the form chooser. The catalogue starts as the built-in table of 24 entries and may
 * be replaced once per run by a list downloaded in the background. The replacement is built
 * completely on the downloading thread, then published in one step by swapping a single pointer to
 * a record that holds both the entry array and its count: a reader always sees a whole catalogue
 * whose count never exceeds the entries stored. Catalogues are never released (a reader may still
 * hold the previous one); they live until the process ends. */
#ifndef SONDREL_CATALOGUE_FORM_CATALOGUE_H
#define SONDREL_CATALOGUE_FORM_CATALOGUE_H

#include <stddef.h>

/* One form type. */
typedef struct FormEntry {
    const char* label;  /* shown in the form chooser */
    const char* formId; /* searched for in form mode */
} FormEntry;

/* A complete catalogue, as published. */
typedef struct FormCatalogueData {
    const FormEntry* entries; /* entry i is entry i of the form chooser */
    int count;                /* number of entries stored, 0 to FORM_CATALOGUE_MAX */
} FormCatalogueData;

enum { FORM_CATALOGUE_MAX = 1000, BUILTIN_FORM_COUNT = 24 };

/* The catalogue in use: the built-in one until a refresh publishes another. Safe from any thread. */
const FormCatalogueData* FormCatalogue(void);
/* Publishes a complete catalogue in one step. */
void PublishFormCatalogue(const FormCatalogueData* catalogue);
/* The built-in catalogue. */
const FormCatalogueData* BuiltinFormCatalogue(void);
/* The first entry whose form id equals formId byte for byte, or NULL. */
const FormEntry* FindFormById(const FormCatalogueData* catalogue, const char* formId);

/* Parses a downloaded list file (text of `size` bytes, need not be terminated) into a new catalogue:
 * pairs of a label line (up to the first CR) and an id line (up to the first ",", CR or the end),
 * runs of CR and LF between them skipped; at most FORM_CATALOGUE_MAX entries are kept. Every text is
 * its own exact-length allocation. A NULL text is an empty list, whatever the size. Returns NULL
 * only when memory runs out (nothing is leaked). */
FormCatalogueData* ParseFormList(const char* text, size_t size);
/* Frees a parsed catalogue that was never published (or that no thread can still be reading). */
void ReleaseFormCatalogue(FormCatalogueData* catalogue);

#endif
