/* Case- and accent-folding text matching.
 *
 * Every search ignores letter case and the accents of Latin letters by mapping each byte through one
 * 256-entry table, the Folding.FoldTable. The search text is folded once, in place, when a run starts; a
 * document text is never folded as a whole or copied: FindFolded maps each document byte through
 * the table at the moment it is compared with the (already folded) pattern.
 *
 * The table folds the ASCII capitals and the 53 accented Windows-1252 letters (À..Ý, à..ÿ with
 * their accent) to their plain small letter. Everything else maps to itself, including Æ æ Ð ð × ÷
 * Ø ø Þ þ ß and the whole 0x80..0xBF range (so Œ/œ, Š/š, Ž/ž and Ÿ stay distinct). Byte 0 maps to
 * 0 and only byte 0 does, so the folded value of a text's terminator equals no pattern byte and a
 * comparison never runs past the end of a text.
 *
 * Threads: BuildFoldTable runs once on the interface thread while the main window initialises,
 * before any search thread exists; afterwards the table is only read, without a lock. */
#ifndef SONDREL_SEARCH_FOLD_H
#define SONDREL_SEARCH_FOLD_H

#include <stddef.h>

/* What the vector scan compares to find the text bytes that fold to one value v. Each text byte x
 * is first ORed with 0x20, which maps a capital to its small letter (and À..Þ to à..þ); then
 * x | 0x20 must lie in [low[0], low[0] + span[0]] or [low[1], low[1] + span[1]]. The two ranges
 * cover every byte that folds to v, and may cover a few that do not (0x10 for '0', ß for 'y'):
 * each candidate is confirmed with the table. `none` marks a value that no byte folds to. */
typedef struct FoldFilter {
    unsigned char low[2];
    unsigned char span[2];
    unsigned char none;
} FoldFilter;

/* The folding's one process-wide record, Folding: the Folding.FoldTable and the two tables derived from it
 * for the vector scan. BuildFoldTable fills all three (threads: see above); FindFolded,
 * FindFoldedAll and FoldTextInPlace only read them. */
typedef struct FoldingTables {
    unsigned char FoldTable[256]; /* indexed by the unsigned value of a text byte: its folded value */
    unsigned char rarity[256];    /* rank of each folded byte in the practice's texts: 0 for the most
                                     common, higher for rarer (the vector scan looks for the rarest) */
    FoldFilter filters[256];      /* for each folded value, the byte ranges that fold to it */
    /* For a pattern of one common letter v: letterStops[v][x] is 1 when the text byte x ends the
     * scan, that is when x is the terminator or folds to v (v is never 0). 64 KB. */
    unsigned char letterStops[256][256];
    int wideScan; /* 1 when FindFolded scans 32 bytes at a time (AVX2): the build has that scan and
                     the processor and the system run it */
} FoldingTables;

extern FoldingTables Folding;

/* Fills Folding.FoldTable. Idempotent. */
void BuildFoldTable(void);

/* Replaces each byte of the zero-terminated text, up to its terminator, by its folded value.
 * A NULL text is left alone. */
void FoldTextInPlace(char* text);

/* Position of the first occurrence of the folded pattern in the raw text, comparing the folded
 * value of each text byte; NULL when there is none, when the text is NULL, or when the pattern is
 * NULL or empty. Neither text is changed. The fastest implementation below that the build has. */
const char* FindFolded(const char* text, const char* pattern);

/* Every occurrence of the folded pattern in the raw text[0, length), compared as FindFolded does:
 * the start of each one, in ascending order, overlapping ones included ("aa" occurs twice in
 * "aaa"). The text is a counted run of bytes (a zero byte in it is an ordinary byte that matches
 * nothing) and is not changed. Writes at most `capacity` positions to `positions` (which may be NULL
 * when `capacity` is 0) and returns how many occurrences there are in all, so a caller learns that
 * its array was too small. 0 when the text or pattern is NULL or the pattern is empty. */
size_t FindFoldedAll(const char* text, size_t length, const char* pattern, size_t* positions,
                     size_t capacity);

/* The implementations of FindFolded, with the same results, for the tests and the fuzz target.
 * FindFoldedPortable is the plain left-to-right scan and reads no byte past the text's terminator.
 * FindFoldedVector looks for the pattern's rarest byte 16 text bytes at a time with SSE2 compares
 * and confirms each candidate with the table; it reads whole aligned 16-byte blocks, so it may
 * read up to 15 bytes before the text's start or after its terminator, never outside the memory
 * pages holding the text. In builds for processors without SSE2 it is FindFoldedPortable.
 * FindFoldedWide is the same scan 32 bytes at a time with AVX2 (up to 31 bytes before or after,
 * within the same pages) where Folding.wideScan says it runs, and FindFoldedVector elsewhere; it is
 * what FindFolded calls. */
const char* FindFoldedPortable(const char* text, const char* pattern);
const char* FindFoldedVector(const char* text, const char* pattern);
const char* FindFoldedWide(const char* text, const char* pattern);

/* Position of the first byte equal to `byte` (not 0) in the zero-terminated text, as strchr but
 * reading like FindFoldedVector (SSE2 where the build has it); NULL when there is none or when the
 * text is NULL. For bytes that only fold from themselves, such as '<'. */
const char* FindTextByte(const char* text, char byte);

#endif
