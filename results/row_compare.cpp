/* Comparing two result rows by one column's cell texts (see row_compare.h). */
#include "results/row_compare.h"

#include "base/str.h"

#include <stdint.h>
#include <string.h>

int ColumnCompareRule(int column) {
    switch (column) {
    case COLUMN_AGE:
        return COMPARE_LEADING_DIGITS;
    case COLUMN_COUNT:
        return COMPARE_NUMBER;
    case COLUMN_FIRST_DATE:
    case COLUMN_LAST_DATE:
        return COMPARE_DATE;
    }
    return COMPARE_TEXT;
}

/* The value of the digits at the start of the text (nothing else skipped), as atoi would read the
 * text cut at its first non-digit. */
static int LeadingDigits(const char* s) {
    char digits[SORT_CELL_SIZE];
    size_t n = 0;
    while (n + 1 < sizeof digits && s[n] >= '0' && s[n] <= '9')
        n++;
    StrCopyN(digits, sizeof digits, s, n);
    return StrLeadingInt(digits);
}

/* "dd/mm/yyyy" → "yyyy mm dd"; a text shorter than a date is kept as it is. */
static void DateSortKey(const char* cell, char* key, size_t size) {
    if (StrLenBounded(cell, 10) < 10) {
        StrCopy(key, size, cell);
        return;
    }
    char rewritten[SORT_CELL_SIZE];
    StrCopy(rewritten, sizeof rewritten, cell);
    memcpy(rewritten, cell + 6, 4);
    rewritten[4] = ' ';
    memcpy(rewritten + 5, cell + 3, 2);
    rewritten[7] = ' ';
    memcpy(rewritten + 8, cell, 2);
    StrCopy(key, size, rewritten);
}

int CompareCellTexts(int column, const char* a, const char* b, int descending) {
    int rule = ColumnCompareRule(column);
    if (rule == COMPARE_NUMBER || rule == COMPARE_LEADING_DIGITS) {
        int64_t va = rule == COMPARE_NUMBER ? StrLeadingInt(a) : LeadingDigits(a);
        int64_t vb = rule == COMPARE_NUMBER ? StrLeadingInt(b) : LeadingDigits(b);
        /* The difference is clamped to a sign so that far-apart values cannot overflow. */
        int r = va < vb ? -1 : (va > vb ? 1 : 0);
        return descending ? -r : r;
    }
    int r;
    if (rule == COMPARE_DATE) {
        char ka[SORT_CELL_SIZE], kb[SORT_CELL_SIZE];
        DateSortKey(a, ka, sizeof ka);
        DateSortKey(b, kb, sizeof kb);
        r = StrCompareNoCase(ka, kb);
    } else {
        r = StrCompareNoCase(a, b);
    }
    return descending ? -r : r;
}
