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
 * by default (_M_IX86_FP 2). Builds for other processors keep the portable scan. The 32-byte AVX2
 * scan (fold_wide.cpp) is not assumed: BuildFoldTable asks the processor and the system once, and
 * FindFolded takes it where both run it; it nearly doubles the rate of a scan for a rare word. */
#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#define FOLD_VECTOR_SSE2 1
#include <emmintrin.h>
#endif
#if defined(_MSC_VER) && (defined(_M_IX86) || defined(_M_X64))
#include <intrin.h>
#include <immintrin.h>
#endif

#include "search/fold_scan.h"

FoldingTables Folding;

/* How common each folded byte is in the practice's texts (French letters and prescriptions, their
 * RTF renderings), most common first, after a rough count over letters and prescriptions; bytes not
 * listed are rarer than all of these. The vector scan looks for the pattern's rarest byte by this
 * order, so a search for "tramadol" looks for 'm' and one for "zelmorin" for 'z'. */
static const char kCommonBytes[] = " eastinrulodcmp\\\r\n'v.,0123456789qfbgh/-:jx;yz<>{}wk()";

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
        Folding.rarity[b] = (unsigned char)listed;
    for (size_t i = 0; i < listed; i++)
        Folding.rarity[(unsigned char)kCommonBytes[i]] = (unsigned char)i;
    for (int v = 0; v < 256; v++)
        BuildFilter(v, &Folding.filters[v]);
    for (int v = 0; v < 256; v++)
        for (int x = 0; x < 256; x++)
            Folding.letterStops[v][x] = (unsigned char)(x == 0 || (v != 0 && Folding.FoldTable[x] == v));
}

/* Whether the processor has AVX2 and the system saves its registers across thread switches (without
 * that, a processor with AVX2 still faults on its first instruction). */
#if defined(_MSC_VER) && (defined(_M_IX86) || defined(_M_X64))
static int ProcessorRunsWideScan(void) {
    int info[4];
    __cpuid(info, 0);
    if (info[0] < 7) return 0;
    __cpuid(info, 1);
    const int systemSaves = 1 << 27, avx = 1 << 28; /* OSXSAVE, AVX */
    if ((info[2] & (systemSaves | avx)) != (systemSaves | avx)) return 0;
    if ((_xgetbv(0) & 6) != 6) return 0; /* the 16- and 32-byte register halves are saved */
    __cpuidex(info, 7, 0);
    return (info[1] & (1 << 5)) != 0; /* AVX2 */
}
#elif (defined(__GNUC__) || defined(__clang__)) && (defined(__i386__) || defined(__x86_64__))
static int ProcessorRunsWideScan(void) {
    /* The compiler's own check asks the processor and the system's saved-register mask alike. */
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
}
#else
static int ProcessorRunsWideScan(void) {
    return 0;
}
#endif

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
    /* The processor first: WideScanBuilt lives in the file compiled for AVX2. */
    Folding.wideScan = ProcessorRunsWideScan() && WideScanBuilt();
}

void FoldTextInPlace(char* text) {
    if (text == NULL) return;
    for (unsigned char* p = (unsigned char*)text; *p != 0; p++)
        *p = Folding.FoldTable[*p];
}

/* The portable scan: the first byte of the pattern by the table, then the rest. */
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

/* A one-byte pattern: the first text byte that stops the scan by `stops` (a row of
 * Folding.letterStops), or NULL when that byte is the terminator. One table look-up and one branch per
 * byte, four bytes per turn: a common letter occurs every few bytes, so the scan restarts often and
 * most of its time is the few bytes before each occurrence, where vector compares do not pay their
 * set-up. Each byte is read only after the one before it was found not to stop the scan, so
 * nothing after the terminator is read. */
static const char* FindOneByte(const unsigned char* p, const unsigned char* stops) {
    for (;; p += 4) {
        if (stops[p[0]]) break;
        if (stops[p[1]]) {
            p += 1;
            break;
        }
        if (stops[p[2]]) {
            p += 2;
            break;
        }
        if (stops[p[3]]) {
            p += 3;
            break;
        }
    }
    return *p != 0 ? (const char*)p : NULL;
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
        if (Folding.rarity[pat[i]] >= Folding.rarity[pat[f]]) f = i;
    size_t s = f;
    for (size_t i = f + 1; i <= f + 15 && pat[i] != 0; i++)
        if (s == f || Folding.rarity[pat[i]] >= Folding.rarity[pat[s]]) s = i;
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
FOLD_NO_ASAN static const char* ScanBlocks(const unsigned char* t, const unsigned char* pat, size_t first,
                                           size_t second) {
    const VectorFilter firstFilter = MakeVectorFilter(&Folding.filters[pat[first]]);
    const VectorFilter secondFilter = MakeVectorFilter(&Folding.filters[pat[second]]);
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
        /* The blocks that follow hold neither a terminator nor a candidate, mostly: they are passed
         * over in a loop of their own, which needs so few registers that the 32-bit build keeps
         * everything in them (in the loop above it kept the block's address in memory, and every
         * block waited for it to be stored and read back). A block that has either is looked at
         * again by the loop above. The second byte's load is made only after the block was found
         * to hold no terminator, as above. */
        for (block += 16;; block += 16) {
            __m128i whole = _mm_load_si128((const __m128i*)block);
            if (_mm_movemask_epi8(_mm_cmpeq_epi8(whole, zero)) != 0) break;
            __m128i later = _mm_loadu_si128((const __m128i*)(block + distance));
            __m128i both = _mm_and_si128(MayFoldTo(whole, &firstFilter), MayFoldTo(later, &secondFilter));
            if (_mm_movemask_epi8(both) != 0) break;
        }
        keep = 0xFFFFu;
    }
}

/* The scan's set-up, then the block scan: the 32-byte one when `wide`, else the 16-byte one. */
static const char* FindFoldedBlocks(const char* text, const char* pattern, int wide) {
    if (text == NULL || pattern == NULL || pattern[0] == 0) return NULL;
    const unsigned char* pat = (const unsigned char*)pattern;
    const unsigned char* t = (const unsigned char*)text;
    /* One common letter: found within a few bytes, where the vectors would not pay their set-up. */
    if (pat[1] == 0 && Folding.rarity[pat[0]] < kCommonRanks)
        return FindOneByte(t, Folding.letterStops[pat[0]]);
    size_t first, second;
    ChooseBytes(pat, &first, &second);
    /* When even the rarest byte is a common one, the first few starts one by one, as the portable
     * scan does: such a pattern is usually found there, before setting up the vectors would pay (a
     * search for every "e" restarts after each). */
    if (Folding.rarity[pat[first]] < kCommonRanks) {
        for (size_t i = 0; i < kScalarStarts; i++, t++) {
            if (t[0] == 0) return NULL;
            if (Folding.FoldTable[t[0]] == pat[0] && MatchesAt(t, pat, 0)) return (const char*)t;
        }
    }
    if (Folding.filters[pat[first]].none || Folding.filters[pat[second]].none)
        return NULL; /* nothing folds to it */
    for (size_t i = 0; i < first; i++)
        if (t[i] == 0) return NULL; /* text shorter than the pattern */
    return wide ? ScanBlocksWide(t, pat, first, second) : ScanBlocks(t, pat, first, second);
}

const char* FindFoldedVector(const char* text, const char* pattern) {
    return FindFoldedBlocks(text, pattern, 0);
}

const char* FindFoldedWide(const char* text, const char* pattern) {
    return FindFoldedBlocks(text, pattern, Folding.wideScan);
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

const char* FindFoldedWide(const char* text, const char* pattern) {
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
    return FindFoldedWide(text, pattern);
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
