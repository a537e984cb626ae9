/* Deterministic cabinet generator.
 *
 * Writes a complete stand-in host tree (see standin/README.md): the pass table and one cabinet.txt
 * per cabinet under <out>/Cabinets, and the insurance scheme file <out>/Programmes/caisses.hdc. The
 * main cabinet comes first in the pass table and has the requested numbers of patients and
 * documents; two small extra cabinets follow. Every byte written depends only on the seed and the
 * counts: the generator has its own random number generator, never reads the clock or the locale,
 * and writes Windows-1252 text with CR LF line ends. The command-line tool (gencab_main.cpp) and the
 * native tests call the same entry point. */
#ifndef SONDREL_STANDIN_GENCAB_H
#define SONDREL_STANDIN_GENCAB_H

#include <stddef.h>
#include <stdint.h>

/* The fixed "today" of every generated cabinet, so that ages never depend on the day of the run. */
enum { GEN_TODAY_DAY = 8, GEN_TODAY_MONTH = 12, GEN_TODAY_YEAR = 2026 };
/* Highest patient number the program can hold (its hit table has 2^20 slots). */
enum { GEN_MAX_PATIENT = 1048575 };
/* Upper bounds accepted for the counts. */
enum { GEN_MAX_PATIENTS = 1000000, GEN_MAX_DOCUMENTS = 20000000 };

typedef struct GenTreeOptions {
    uint64_t seed; /* any value; the same seed and counts give the same bytes */
    int patients;  /* patients of the main cabinet, 1 .. GEN_MAX_PATIENTS */
    int documents; /* documents (D lines) of the main cabinet, 0 .. GEN_MAX_DOCUMENTS */
} GenTreeOptions;

typedef struct GenStats {
    uint64_t bytes;      /* bytes written to all files */
    int cabinets;        /* cabinets written */
    long long patients;  /* P lines, all cabinets */
    long long documents; /* D lines, all cabinets */
    long long entries;   /* S, X and E lines, all cabinets */
} GenStats;

/* Counts of a named size: "small", "demo" or "large". Returns 1, or 0 for an unknown name. */
int GenSizeCounts(const char* size, int* patients, int* documents);

/* Writes the tree under outDir (created if missing; existing files are replaced). Returns 1 on
 * success; on failure returns 0 with a message in error. */
int GenerateTree(const char* outDir, const GenTreeOptions* options, GenStats* stats, char* error,
                 size_t errorSize);

#endif
