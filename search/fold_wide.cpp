/* The folded scan 32 bytes at a time (see fold_scan.h).
 *
 * The same scan as the 16-byte one in fold.cpp (FindFoldedVector), with AVX2 compares: each aligned
 * block is compared with the terminator and with the filter of the pattern's first chosen byte,
 * and, in a block without terminator, an unaligned load `distance` bytes on with the filter of the
 * second; the candidates are confirmed with the fold table. The reads stay inside the text's pages
 * for the same reason: 4,096 is a multiple of 32, so an aligned 32-byte block lies inside one page,
 * every block read holds a byte of the text up to its terminator, and the load further on is made
 * only when the block's text goes on into the next one.
 *
 * This file alone is compiled for AVX2 (cmake/core.cmake); fold.cpp calls it
 * only after asking the processor and the system (BuildFoldTable). Builds for processors without
 * AVX2, or compilers the build does not set up for it, compile an empty scan that is never called. */
#include "search/fold_scan.h"

#if defined(__AVX2__)
#define FOLD_WIDE_SCAN 1
#include <immintrin.h>
#endif

#if defined(FOLD_WIDE_SCAN)

int WideScanBuilt(void) {
    return 1;
}

/* A FoldFilter as 32-byte vectors, read as in fold.cpp's VectorFilter: y = x | 0x20 lies in
 * [low, low + span] when (y + 0x80 - low) as a signed byte is below span - 127. */
typedef struct WideFilter {
    __m256i shift0, limit0, shift1, limit1;
} WideFilter;

static WideFilter MakeWideFilter(const FoldFilter* filter) {
    WideFilter v;
    v.shift0 = _mm256_set1_epi8((char)(unsigned char)(0x80 - filter->low[0]));
    v.limit0 = _mm256_set1_epi8((char)(signed char)(filter->span[0] - 127));
    v.shift1 = _mm256_set1_epi8((char)(unsigned char)(0x80 - filter->low[1]));
    v.limit1 = _mm256_set1_epi8((char)(signed char)(filter->span[1] - 127));
    return v;
}

/* 0xFF for each of the 32 bytes whose folded value may be the filter's, 0 for the others. */
static inline __m256i MayFoldToWide(__m256i bytes, const WideFilter* f) {
    __m256i y = _mm256_or_si256(bytes, _mm256_set1_epi8(0x20));
    __m256i in0 = _mm256_cmpgt_epi8(f->limit0, _mm256_add_epi8(y, f->shift0));
    __m256i in1 = _mm256_cmpgt_epi8(f->limit1, _mm256_add_epi8(y, f->shift1));
    return _mm256_or_si256(in0, in1);
}

FOLD_NO_ASAN const char* ScanBlocksWide(const unsigned char* t, const unsigned char* pat, size_t first,
                                        size_t second) {
    const WideFilter firstFilter = MakeWideFilter(&Folding.filters[pat[first]]);
    const WideFilter secondFilter = MakeWideFilter(&Folding.filters[pat[second]]);
    const size_t distance = second - first; /* 0..15 */

    /* The candidate at p starts a match at p - first, which lies inside the text. */
    uintptr_t from = (uintptr_t)(t + first);
    const unsigned char* block = (const unsigned char*)(from & ~(uintptr_t)31);
    uint32_t keep = 0xFFFFFFFFu << (from & 31); /* the block's bytes at or after text + first */
    const __m256i zero = _mm256_setzero_si256();
    for (;;) {
        __m256i bytes = _mm256_load_si256((const __m256i*)block);
        uint32_t ends = (uint32_t)_mm256_movemask_epi8(_mm256_cmpeq_epi8(bytes, zero)) & keep;
        __m256i found = MayFoldToWide(bytes, &firstFilter);
        if (ends == 0) {
            __m256i later = _mm256_loadu_si256((const __m256i*)(block + distance));
            found = _mm256_and_si256(found, MayFoldToWide(later, &secondFilter));
        }
        uint32_t candidates = (uint32_t)_mm256_movemask_epi8(found) & keep;
        if (ends != 0) candidates &= (ends & (0u - ends)) - 1u; /* before the terminator only */
        while (candidates != 0) {
            const unsigned char* at = block + LowestBit(candidates);
            if (MatchesAt(at - first, pat, first)) return (const char*)(at - first);
            candidates &= candidates - 1u;
        }
        if (ends != 0) return NULL;
        /* Quiet blocks in a loop of their own, as in ScanBlocks (fold.cpp). */
        for (block += 32;; block += 32) {
            __m256i whole = _mm256_load_si256((const __m256i*)block);
            if (_mm256_movemask_epi8(_mm256_cmpeq_epi8(whole, zero)) != 0) break;
            __m256i later = _mm256_loadu_si256((const __m256i*)(block + distance));
            __m256i both =
                _mm256_and_si256(MayFoldToWide(whole, &firstFilter), MayFoldToWide(later, &secondFilter));
            if (_mm256_movemask_epi8(both) != 0) break;
        }
        keep = 0xFFFFFFFFu;
    }
}

#else

int WideScanBuilt(void) {
    return 0;
}

const char* ScanBlocksWide(const unsigned char* t, const unsigned char* pat, size_t first, size_t second) {
    (void)t;
    (void)pat;
    (void)first;
    (void)second;
    return NULL;
}

#endif
