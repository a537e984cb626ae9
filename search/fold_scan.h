/* What the two block scans of the folded search share (search/fold.cpp, search/fold_wide.cpp).
 *
 * The 16-byte scan (SSE2) lives in fold.cpp, the 32-byte one (AVX2) in fold_wide.cpp, which alone is
 * compiled for AVX2 and is only called once the processor and the system are known to run it. The
 * helpers below are static, so each file gets its own copy compiled for its own instruction set:
 * an inline function shared by name could be taken by the linker from the AVX2 file for a caller
 * on a processor without it. Included by those two files only. */
#ifndef SONDREL_SEARCH_FOLD_SCAN_H
#define SONDREL_SEARCH_FOLD_SCAN_H

#include "search/fold.h"

#include <stddef.h>
#include <stdint.h>

/* The block scans read whole aligned blocks, partly outside the text's bytes (see FindFoldedVector
 * in fold.h); AddressSanitizer would report those reads although they can never fault, so it does
 * not instrument those functions. */
#if defined(__SANITIZE_ADDRESS__)
#define FOLD_NO_ASAN __attribute__((no_sanitize_address))
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define FOLD_NO_ASAN __attribute__((no_sanitize_address))
#endif
#endif
#ifndef FOLD_NO_ASAN
#define FOLD_NO_ASAN
#endif

/* Index of the lowest set bit of a nonzero mask (a de Bruijn multiplication: no compiler builtin). */
static inline int LowestBit(uint32_t mask) {
    static const unsigned char kPosition[32] = {0,  1,  28, 2,  29, 14, 24, 3, 30, 22, 20, 15, 25, 17, 4,  8,
                                                31, 27, 13, 23, 21, 19, 16, 7, 26, 12, 18, 6,  11, 5,  10, 9};
    return kPosition[((mask & (0u - mask)) * 0x077CB531u) >> 27];
}

/* Whether the pattern occurs at `start`, whose byte `chosen` is a candidate for pattern[chosen] and
 * whose bytes before it are known not to be a terminator. The comparison starts at the candidate
 * and goes forward, where the text's terminator (folded 0, equal to no pattern byte) stops it at
 * the latest; then it checks the bytes before the candidate. */
static inline int MatchesAt(const unsigned char* start, const unsigned char* pat, size_t chosen) {
    size_t i = chosen;
    while (pat[i] != 0 && Folding.FoldTable[start[i]] == pat[i])
        i++;
    if (pat[i] != 0) return 0;
    for (i = 0; i < chosen; i++)
        if (Folding.FoldTable[start[i]] != pat[i]) return 0;
    return 1;
}

/* The 32-byte block scan (fold_wide.cpp), with the arguments and the result of the 16-byte one in
 * fold.cpp: the text, the folded pattern, and the two pattern bytes chosen to look for (`first`, and
 * `second` 0..15 bytes after it), whose filters both name a value some byte folds to; the text
 * holds at least `first` bytes before its terminator. Call it only where Folding.wideScan says so. */
const char* ScanBlocksWide(const unsigned char* text, const unsigned char* pat, size_t first, size_t second);

/* 1 when this build has the 32-byte scan (FOLD_WIDE_SCAN below). */
int WideScanBuilt(void);

#endif
