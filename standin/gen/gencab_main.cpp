/* gencab: command-line front of the cabinet generator.
 *
 *   gencab --size small|demo|large [--seed N] [--patients N] [--documents M] --out DIR
 *
 * Writes DIR/Cabinets/passes.txt, DIR/Cabinets/<dir>/cabinet.txt and DIR/Programmes/caisses.hdc
 * (see gencab.h) and prints what it wrote. --patients and --documents override the counts of the
 * chosen size. */
#include "standin/gen/gencab.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static void Usage(void) {
    fprintf(stderr,
            "usage: gencab --size small|demo|large [--seed N] [--patients N] [--documents M] --out DIR\n");
}

static int ParseCount(const char* text, long long max, long long* value) {
    char* end = NULL;
    long long v = strtoll(text, &end, 10);
    if (!*text || *end || v < 0 || v > max) return 0;
    *value = v;
    return 1;
}

int main(int argc, char** argv) {
    const char* size = NULL;
    const char* out = NULL;
    unsigned long long seed = 1;
    long long patients = -1, documents = -1;
    for (int i = 1; i < argc; i++) {
        const char* a = argv[i];
        const char* v = i + 1 < argc ? argv[i + 1] : NULL;
        if (!v) {
            Usage();
            return 2;
        }
        if (!strcmp(a, "--size")) {
            size = v;
        } else if (!strcmp(a, "--out")) {
            out = v;
        } else if (!strcmp(a, "--seed")) {
            char* end = NULL;
            seed = strtoull(v, &end, 0);
            if (!*v || *end) {
                fprintf(stderr, "gencab: bad seed '%s'\n", v);
                return 2;
            }
        } else if (!strcmp(a, "--patients")) {
            if (!ParseCount(v, GEN_MAX_PATIENTS, &patients) || patients < 1) {
                fprintf(stderr, "gencab: patients must be 1..%d\n", GEN_MAX_PATIENTS);
                return 2;
            }
        } else if (!strcmp(a, "--documents")) {
            if (!ParseCount(v, GEN_MAX_DOCUMENTS, &documents)) {
                fprintf(stderr, "gencab: documents must be 0..%d\n", GEN_MAX_DOCUMENTS);
                return 2;
            }
        } else {
            Usage();
            return 2;
        }
        i++;
    }
    if (!out || (!size && (patients < 0 || documents < 0))) {
        Usage();
        return 2;
    }
    GenTreeOptions options;
    options.seed = seed;
    options.patients = 200;
    options.documents = 2000;
    if (size && !GenSizeCounts(size, &options.patients, &options.documents)) {
        fprintf(stderr, "gencab: unknown size '%s'\n", size);
        return 2;
    }
    if (patients >= 0) options.patients = (int)patients;
    if (documents >= 0) options.documents = (int)documents;

    GenStats stats;
    char error[512];
    if (!GenerateTree(out, &options, &stats, error, sizeof error)) {
        fprintf(stderr, "gencab: %s\n", error);
        return 1;
    }
    printf("gencab: %d cabinets, %lld patients, %lld documents, %lld other entries, %.1f MB in %s\n",
           stats.cabinets, stats.patients, stats.documents, stats.entries, (double)stats.bytes / 1e6, out);
    return 0;
}
