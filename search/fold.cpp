/* Fold table and folded substring search (see fold.h).
 *
 * The accented letters are listed once, as the byte ranges of the Windows-1252 code page that fold
 * to each plain letter; capitals and small letters of the same accent family sit exactly 0x20 apart
 * in that code page, but the list names both explicitly so that the table reads like the code page
 * chart and the unfolded gaps (0xC6, 0xD0, 0xD7, 0xD8, 0xDE, 0xDF and their small forms, 0xFE)
 * are plainly left out. */
#include "search/fold.h"

#include <stddef.h>

unsigned char FoldTable[256];

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

void BuildFoldTable(void) {
    for (int b = 0; b < 256; b++)
        FoldTable[b] = (unsigned char)b;
    for (int b = 'A'; b <= 'Z'; b++)
        FoldTable[b] = (unsigned char)(b - 'A' + 'a');
    for (size_t i = 0; i < sizeof kAccentedLetters / sizeof kAccentedLetters[0]; i++) {
        const FoldRange* r = &kAccentedLetters[i];
        for (int b = r->first; b <= r->last; b++)
            FoldTable[b] = (unsigned char)r->folded;
    }
}

void FoldTextInPlace(char* text) {
    if (text == NULL) return;
    for (unsigned char* p = (unsigned char*)text; *p != 0; p++)
        *p = FoldTable[*p];
}

const char* FindFolded(const char* text, const char* pattern) {
    if (text == NULL || pattern == NULL || pattern[0] == 0) return NULL;
    const unsigned char* pat = (const unsigned char*)pattern;
    const unsigned char first = pat[0];
    for (const unsigned char* start = (const unsigned char*)text;; start++) {
        unsigned char c = *start;
        if (c == 0) return NULL;
        if (FoldTable[c] != first) continue;
        /* The text's terminator folds to 0, which equals no pattern byte: the comparison stops on
         * it at the latest, so it never reads past the end of the text. */
        size_t i = 1;
        while (pat[i] != 0 && FoldTable[start[i]] == pat[i])
            i++;
        if (pat[i] == 0) return (const char*)start;
    }
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
        if (FoldTable[t[start]] != first) continue;
        size_t i = 1;
        while (i < n && FoldTable[t[start + i]] == pat[i])
            i++;
        if (i < n) continue;
        if (found < capacity && positions != NULL) positions[found] = start;
        found++;
    }
    return found;
}
