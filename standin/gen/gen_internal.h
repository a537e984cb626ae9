/* Generator internals shared by the cabinet writer (gen_cabinet.cpp) and the document texts
 * (gen_text.cpp).
 *
 * Rng is splitmix64: a 64-bit state stepped by a constant and mixed; it gives the same numbers on
 * every machine and compiler, which no standard-library distribution promises. Every random choice
 * goes through RngBelow, a multiply-shift reduction of the upper 32 bits (the tiny bias is harmless
 * here and, above all, deterministic).
 *
 * Buf is a growable byte buffer used both for a document being composed and, with a file behind it,
 * as the big write buffer of a cabinet file (flushed when it passes GEN_FLUSH_AT). */
#ifndef SONDREL_STANDIN_GEN_INTERNAL_H
#define SONDREL_STANDIN_GEN_INTERNAL_H

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

typedef struct Rng {
    uint64_t state; /* splitmix64 state */
} Rng;

void RngSeed(Rng* rng, uint64_t seed, uint64_t stream);
uint64_t RngNext(Rng* rng);
/* 0 .. n-1; 0 when n is 0. */
uint32_t RngBelow(Rng* rng, uint32_t n);
/* lo .. hi inclusive. */
int RngRange(Rng* rng, int lo, int hi);
/* 1 with probability perMille / 1000. */
int RngChance(Rng* rng, uint32_t perMille);
#define RNG_PICK(rng, array) ((array)[RngBelow((rng), (uint32_t)(sizeof(array) / sizeof((array)[0])))])

enum { GEN_FLUSH_AT = 8u << 20 };

typedef struct Buf {
    char* data;       /* malloc'ed bytes */
    size_t len;       /* bytes in use */
    size_t cap;       /* bytes allocated */
    FILE* file;       /* when set, BufFlushIfFull writes the bytes out */
    uint64_t written; /* bytes written to file so far */
    int failed;       /* allocation or write failure */
} Buf;

void BufFree(Buf* b);
void BufReserve(Buf* b, size_t extra);
void BufPutN(Buf* b, const char* s, size_t n);
void BufPut(Buf* b, const char* s);
void BufPutC(Buf* b, char c);
void BufPutU(Buf* b, uint64_t v);
/* Decimal with at least width digits (leading zeros). */
void BufPutUW(Buf* b, uint64_t v, int width);
/* Upper-case hexadecimal without leading zeros. */
void BufPutHex(Buf* b, uint32_t v);
void BufCrLf(Buf* b);
/* Writes everything buffered to the file. */
void BufFlush(Buf* b);
void BufFlushIfFull(Buf* b);

/* Calendar dates. A date of year 0 is "no date". */
typedef struct GenDate {
    int year, month, day;
} GenDate;

long DaysFromCivil(GenDate d);
GenDate CivilFromDays(long days);
/* "dd/mm/yyyy", or "0" for no date. */
void BufPutDate(Buf* b, GenDate d);
/* Whole years and remaining months from birth to the fixed today. */
void AgeAt(GenDate birth, GenDate today, int* years, int* months);

/* What a document text needs to know about its patient and itself. */
typedef struct GenPatientInfo {
    const char* last;  /* last name as stored */
    const char* first; /* first name as stored */
    int female;        /* 1 for a woman or girl */
    GenDate birth;     /* year 0 when unknown */
    const char* ss;    /* social-security number as typed */
} GenPatientInfo;

enum GenDocKind {
    GEN_KIND_PRESCRIPTION, /* "<text>"/"<rtf>" prescription */
    GEN_KIND_LETTER,       /* letter to or from a colleague, certificate, report */
    GEN_KIND_FORM,         /* letter carrying Formulon form data ("<velarine_data>") */
    GEN_KIND_NOTE          /* short note of another document type */
};

typedef struct GenDocInfo {
    int kind;           /* GenDocKind */
    GenDate date;       /* year 0 when the document has no date */
    const char* author; /* author line as stored in the header */
    int zelmorin;       /* 1: the text must mention Zelmorin (the program's default search text) */
    int formIndex;      /* GEN_KIND_FORM: index in GenFormIds, or -1 for a random one */
} GenDocInfo;

/* The form ids of the program's built-in catalogue and their labels. */
extern const char* const GenFormIds[];
extern const char* const GenFormLabels[];
extern const int GenFormCount;

/* Appends the body of one document (its text as the library hands it out, CR LF line ends, not yet
 * dot-stuffed) to out. */
void GenDocumentBody(Rng* rng, const GenPatientInfo* patient, const GenDocInfo* doc, Buf* out);

#endif
