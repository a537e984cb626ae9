/* Fold table and folded substring search (see fold.h).
 *
 * The accented letters are listed once, as the byte ranges of the Windows-1252 code page that fold
 * to each plain letter; capitals and small letters of the same accent family sit exactly 0x20 apart
 * in that code page, but the list names both explicitly so that the table reads like the code page
 * chart and the unfolded gaps (0xC6, 0xD0, 0xD7, 0xD8, 0xDE, 0xDF and their small forms, 0xFE)
 * are plainly left out. */
#include "search/fold.h"

#include <stddef.h>
#include <stdint.h>

/* The vector scan needs SSE2. It is the baseline of x86-64, every x86 processor sold since about
 * 2004 has it and Windows 8 and later do not install without it, so the 32-bit build assumes it
 * rather than asking cpuid (a processor without it would stop on the first search with an invalid
 * instruction): MinGW compiles this file with -msse2 (see cmake/windows.cmake), MSVC targets SSE2
 * by default (_M_IX86_FP 2). Builds for other processors keep the portable scan. A 32-byte AVX2
 * variant was left out: the scan already runs at more than half the speed of a plain read of the
 * text (docs/performance.md), and it would need a run-time check and a second code path. */
#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#define FOLD_VECTOR_SSE2 1
#include <emmintrin.h>
#endif

/* The vector scan reads whole aligned blocks, partly outside the text's bytes (see
 * FindFoldedVector); AddressSanitizer would report those reads although they can never fault, so it
 * does not instrument that function. */
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

unsigned char FoldTable[256];

/* How common each folded byte is in the practice's texts (French letters and prescriptions, their
 * RTF renderings), most common first, after a rough count over letters and prescriptions; bytes not
 * listed are rarer than all of these. The vector scan looks for the pattern's rarest byte by this
 * order, so a search for "tramadol" looks for 'm' and one for "zelmorin" for 'z'. */
static const char kCommonBytes[] = " eastinrulodcmp\\\r\n'v.,0123456789qfbgh/-:jx;yz<>{}wk()";

/* Filled by BuildFoldTable: the rank of each folded byte, 0 for the most common, higher for rarer. */
static unsigned char g_rarity[256];

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

static FoldFilter g_filters[256];

/* One run of consecutive byte values that fold to the same plain letter. */
typedef struct FoldRange {
    unsigned char first; /* first byte value of the run */
    unsigned char last;  /* last byte value of the run, inclusive */
    char folded;         /* the plain small letter they fold to */
} FoldRange;

static const FoldRange kAccentedLetters[] = {
    {0xC0, 0xC5, 'a'}, /* À Á Â Ã Ä Å */
    {0xE0, 0xE5, 'a'}, /* à á â ã ä å */
    {0xC7, 0xC7, 'c'}, /* Ç */
    {0xE7, 0xE7, 'c'}, /* ç */
    {0xC8, 0xCB, 'e'}, /* È É Ê Ë */
    {0xE8, 0xEB, 'e'}, /* è é ê ë */
    {0xCC, 0xCF, 'i'}, /* Ì Í Î Ï */
    {0xEC, 0xEF, 'i'}, /* ì í î ï */
    {0xD1, 0xD1, 'n'}, /* Ñ */
    {0xF1, 0xF1, 'n'}, /* ñ */
    {0xD2, 0xD6, 'o'}, /* Ò Ó Ô Õ Ö */
    {0xF2, 0xF6, 'o'}, /* ò ó ô õ ö */
    {0xD9, 0xDC, 'u'}, /* Ù Ú Û Ü */
    {0xF9, 0xFC, 'u'}, /* ù ú û ü */
    {0xDD, 0xDD, 'y'}, /* Ý */
    {0xFD, 0xFD, 'y'}, /* ý */
    {0xFF, 0xFF, 'y'}, /* ÿ */
};

/* The filter of one folded value: the values x | 0x20 of the bytes x != 0 that fold to it, as
 * runs, the closest runs merged until two are left. */
static void BuildFilter(int value, FoldFilter* filter) {
    unsigned char set[256] = {0};
    for (int b = 1; b < 256; b++)
        if (Folding.FoldTable[b] == value) set[b | 0x20] = 1;
    unsigned char first[256], last[256];
    int runs = 0;
    for (int y = 0; y < 256; y++) {
        if (!set[y]) continue;
        if (runs > 0 && last[runs - 1] == y - 1) {
            last[runs - 1] = (unsigned char)y;
        } else {
            first[runs] = last[runs] = (unsigned char)y;
            runs++;
        }
    }
    while (runs > 2) {
        int closest = 0;
        for (int i = 1; i + 1 < runs; i++)
            if (first[i + 1] - last[i] < first[closest + 1] - last[closest]) closest = i;
        last[closest] = last[closest + 1];
        for (int i = closest + 1; i + 1 < runs; i++) {
            first[i] = first[i + 1];
            last[i] = last[i + 1];
        }
        runs--;
    }
    filter->none = runs == 0;
    for (int i = 0; i < 2; i++) {
        int from = runs == 0 ? 0 : i < runs ? i : 0;
        filter->low[i] = runs == 0 ? 0 : first[from];
        filter->span[i] = runs == 0 ? 0 : (unsigned char)(last[from] - first[from]);
    }
}

static void BuildVectorTables(void) {
    const size_t listed = sizeof kCommonBytes - 1;
    for (int b = 0; b < 256; b++)
        g_rarity[b] = (unsigned char)listed;
    for (size_t i = 0; i < listed; i++)
        g_rarity[(unsigned char)kCommonBytes[i]] = (unsigned char)i;
    for (int v = 0; v < 256; v++)
        BuildFilter(v, &g_filters[v]);
}

void BuildFoldTable(void) {
    for (int b = 0; b < 256; b++)
        Folding.FoldTable[b] = (unsigned char)b;
    for (int b = 'A'; b <= 'Z'; b++)
        Folding.FoldTable[b] = (unsigned char)(b - 'A' + 'a');
    for (size_t i = 0; i < sizeof kAccentedLetters / sizeof kAccentedLetters[0]; i++) {
        const FoldRange* r = &kAccentedLetters[i];
        for (int b = r->first; b <= r->last; b++)
            Folding.FoldTable[b] = (unsigned char)r->folded;
    }
    BuildVectorTables();
}

void FoldTextInPlace(char* text) {
    if (text == NULL) return;
    for (unsigned char* p = (unsigned char*)text; *p != 0; p++)
        *p = Folding.FoldTable[*p];
}

/* The portable scan's body, also inlined into the vector scan for one common letter. */
static inline const char* ScanPortable(const char* text, const char* pattern) {
    if (text == NULL || pattern == NULL || pattern[0] == 0) return NULL;
    const unsigned char* pat = (const unsigned char*)pattern;
    const unsigned char first = pat[0];
    for (const unsigned char* start = (const unsigned char*)text;; start++) {
        unsigned char c = *start;
        if (c == 0) return NULL;
        if (Folding.FoldTable[c] != first) continue;
        /* The text's terminator folds to 0, which equals no pattern byte: the comparison stops on
         * it at the latest, so it never reads past the end of the text. */
        size_t i = 1;
        while (pat[i] != 0 && Folding.FoldTable[start[i]] == pat[i])
            i++;
        if (pat[i] == 0) return (const char*)start;
    }
}

const char* FindFoldedPortable(const char* text, const char* pattern) {
    return ScanPortable(text, pattern);
}

#if defined(FOLD_VECTOR_SSE2)

/* Index of the lowest set bit of a nonzero mask (a de Bruijn multiplication: no compiler builtin). */
static int LowestBit(uint32_t mask) {
    static const unsigned char kPosition[32] = {0,  1,  28, 2,  29, 14, 24, 3, 30, 22, 20, 15, 25, 17, 4,  8,
                                                31, 27, 13, 23, 21, 19, 16, 7, 26, 12, 18, 6,  11, 5,  10, 9};
    return kPosition[((mask & (0u - mask)) * 0x077CB531u) >> 27];
}

/* Whether the pattern occurs at `start`, whose byte `chosen` is a candidate for pattern[chosen] and
 * whose bytes before it are known not to be a terminator. The comparison starts at the candidate
 * and goes forward, where the text's terminator (folded 0, equal to no pattern byte) stops it at
 * the latest; then it checks the bytes before the candidate. */
static int MatchesAt(const unsigned char* start, const unsigned char* pat, size_t chosen) {
    size_t i = chosen;
    while (pat[i] != 0 && Folding.FoldTable[start[i]] == pat[i])
        i++;
    if (pat[i] != 0) return 0;
    for (i = 0; i < chosen; i++)
        if (Folding.FoldTable[start[i]] != pat[i]) return 0;
    return 1;
}

/* A FoldFilter as vectors. y = x | 0x20 lies in [low, low + span] when (y + 0x80 - low) as a
 * signed byte is below span - 127: the addition moves the range to start at -128. (A span never
 * reaches 255: byte 0 folds to no pattern byte.) */
typedef struct VectorFilter {
    __m128i shift0, limit0, shift1, limit1;
} VectorFilter;

static VectorFilter MakeVectorFilter(const FoldFilter* filter) {
    VectorFilter v;
    v.shift0 = _mm_set1_epi8((char)(unsigned char)(0x80 - filter->low[0]));
    v.limit0 = _mm_set1_epi8((char)(signed char)(filter->span[0] - 127));
    v.shift1 = _mm_set1_epi8((char)(unsigned char)(0x80 - filter->low[1]));
    v.limit1 = _mm_set1_epi8((char)(signed char)(filter->span[1] - 127));
    return v;
}

/* 0xFF for each of the 16 bytes whose folded value may be the filter's, 0 for the others. */
static __m128i MayFoldTo(__m128i bytes, const VectorFilter* f) {
    __m128i y = _mm_or_si128(bytes, _mm_set1_epi8(0x20));
    __m128i in0 = _mm_cmplt_epi8(_mm_add_epi8(y, f->shift0), f->limit0);
    __m128i in1 = _mm_cmplt_epi8(_mm_add_epi8(y, f->shift1), f->limit1);
    return _mm_or_si128(in0, in1);
}

/* Which two pattern bytes the scan looks for: `first`, the rarest byte other than the pattern's
 * last one (the last of equally rare ones), and `second`, the rarest of the up to 15 bytes that
 * follow it. A text position is a candidate when both bytes are there at their distance, which
 * common letters rarely are: "tramadol" is looked for as 'm' with 'd' two bytes later. Choosing the
 * first byte before the pattern's end also bounds the worst case of the plain scan: a long run of
 * one letter searched with a pattern of that letter ending in another yields no candidate at all.
 * A one-byte pattern has no second byte (`second` equals `first`). */
static void ChooseBytes(const unsigned char* pat, size_t* first, size_t* second) {
    size_t f = 0;
    for (size_t i = 1; pat[i] != 0 && pat[i + 1] != 0; i++)
        if (g_rarity[pat[i]] >= g_rarity[pat[f]]) f = i;
    size_t s = f;
    for (size_t i = f + 1; i <= f + 15 && pat[i] != 0; i++)
        if (s == f || g_rarity[pat[i]] >= g_rarity[pat[s]]) s = i;
    *first = f;
    *second = s;
}

/* How many starts FindFoldedVector tries one by one before it scans with vectors. */
static const size_t kScalarStarts = 16;
/* The bytes counted as common for that: the first ones of kCommonBytes, " eastinrulodcmp". */
static const unsigned char kCommonRanks = 15;

/* Reading whole aligned blocks is safe: memory is mapped in pages of 4,096 bytes (a multiple of
 * 16), so a 16-byte block at an address that is a multiple of 16 lies inside one page. Every block
 * read holds at least one byte of the text up to and including its terminator (the first block
 * holds text[first], each later one follows a block without terminator), so its page is mapped.
 * The second byte is looked for with an unaligned load 1..15 bytes further on, which reaches into
 * the next block; that is done only for a block without terminator, whose next block therefore
 * holds text bytes too. In the block with the terminator only the first byte is compared. The
 * bytes of a block outside the text are masked off before they are looked at; they may belong to
 * other data, even data that another thread is writing, and their values never matter. */
FOLD_NO_ASAN const char* FindFoldedVector(const char* text, const char* pattern) {
    if (text == NULL || pattern == NULL || pattern[0] == 0) return NULL;
    const unsigned char* pat = (const unsigned char*)pattern;
    const unsigned char* t = (const unsigned char*)text;
    /* One common letter: found within a few bytes, where the vectors would not pay their set-up. */
    if (pat[1] == 0 && g_rarity[pat[0]] < kCommonRanks) return ScanPortable(text, pattern);
    size_t first, second;
    ChooseBytes(pat, &first, &second);
    /* When even the rarest byte is a common one, the first few starts one by one, as the portable
     * scan does: such a pattern is usually found there, before setting up the vectors would pay (a
     * search for every "e" restarts after each). */
    if (g_rarity[pat[first]] < kCommonRanks) {
        for (size_t i = 0; i < kScalarStarts; i++, t++) {
            if (t[0] == 0) return NULL;
            if (Folding.FoldTable[t[0]] == pat[0] && MatchesAt(t, pat, 0)) return (const char*)t;
        }
    }
    if (g_filters[pat[first]].none || g_filters[pat[second]].none) return NULL; /* nothing folds to it */
    for (size_t i = 0; i < first; i++)
        if (t[i] == 0) return NULL; /* text shorter than the pattern */
    const VectorFilter firstFilter = MakeVectorFilter(&g_filters[pat[first]]);
    const VectorFilter secondFilter = MakeVectorFilter(&g_filters[pat[second]]);
    const size_t distance = second - first; /* 0..15 */

    /* The scan looks at the bytes from text + first on: the candidate at p starts a match at
     * p - first, which lies inside the text. */
    uintptr_t from = (uintptr_t)(t + first);
    const unsigned char* block = (const unsigned char*)(from & ~(uintptr_t)15);
    uint32_t keep = 0xFFFFu << (from & 15); /* the block's bytes at or after text + first */
    const __m128i zero = _mm_setzero_si128();
    for (;;) {
        __m128i bytes = _mm_load_si128((const __m128i*)block);
        uint32_t ends = (uint32_t)_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, zero)) & keep;
        __m128i found = MayFoldTo(bytes, &firstFilter);
        if (ends == 0) {
            __m128i later = _mm_loadu_si128((const __m128i*)(block + distance));
            found = _mm_and_si128(found, MayFoldTo(later, &secondFilter));
        }
        uint32_t candidates = (uint32_t)_mm_movemask_epi8(found) & keep;
        if (ends != 0) candidates &= (ends & (0u - ends)) - 1u; /* before the terminator only */
        while (candidates != 0) {
            const unsigned char* at = block + LowestBit(candidates);
            if (MatchesAt(at - first, pat, first)) return (const char*)(at - first);
            candidates &= candidates - 1u;
        }
        if (ends != 0) return NULL;
        block += 16;
        keep = 0xFFFFu;
    }
}

/* Aligned blocks as in FindFoldedVector, one compare with the byte and one with 0 per block. */
FOLD_NO_ASAN const char* FindTextByte(const char* text, char byte) {
    if (text == NULL || byte == 0) return NULL;
    uintptr_t from = (uintptr_t)text;
    const unsigned char* block = (const unsigned char*)(from & ~(uintptr_t)15);
    uint32_t keep = 0xFFFFu << (from & 15);
    const __m128i zero = _mm_setzero_si128();
    const __m128i wanted = _mm_set1_epi8(byte);
    for (;;) {
        __m128i bytes = _mm_load_si128((const __m128i*)block);
        uint32_t ends = (uint32_t)_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, zero)) & keep;
        uint32_t found = (uint32_t)_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, wanted)) & keep;
        if (ends != 0) found &= (ends & (0u - ends)) - 1u;
        if (found != 0) return (const char*)(block + LowestBit(found));
        if (ends != 0) return NULL;
        block += 16;
        keep = 0xFFFFu;
    }
}

#else

const char* FindFoldedVector(const char* text, const char* pattern) {
    return FindFoldedPortable(text, pattern);
}

const char* FindTextByte(const char* text, char byte) {
    if (text == NULL || byte == 0) return NULL;
    for (; *text != 0; text++)
        if (*text == byte) return text;
    return NULL;
}

#endif

const char* FindFolded(const char* text, const char* pattern) {
    return FindFoldedVector(text, pattern);
}

size_t FindFoldedAll(const char* text, size_t length, const char* pattern, size_t* positions,
                     size_t capacity) {
    if (text == NULL || pattern == NULL || pattern[0] == 0) return 0;
    const unsigned char* t = (const unsigned char*)text;
    const unsigned char* pat = (const unsigned char*)pattern;
    size_t n = 1;
    while (pat[n] != 0)
        n++;
    if (n > length) return 0;
    const unsigned char first = pat[0];
    const size_t lastStart = length - n;
    size_t found = 0;
    for (size_t start = 0; start <= lastStart; start++) {
        if (Folding.FoldTable[t[start]] != first) continue;
        size_t i = 1;
        while (i < n && Folding.FoldTable[t[start + i]] == pat[i])
            i++;
        if (i < n) continue;
        if (found < capacity && positions != NULL) positions[found] = start;
        found++;
    }
    return found;
}
