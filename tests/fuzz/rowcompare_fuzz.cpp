/* Fuzz target of the row comparison: random cell texts compared by every column's rule.
 *
 * Input layout: byte 0 the column (taken modulo 9); the rest three cell texts separated by zero
 * bytes, each cut to the cells' 259 characters and held in a block of its exact size.
 * Checked: the comparison is an order the sort can rely on (a text equals itself; swapping the texts
 * or the direction flips the sign; two steps up are one step up); equal texts ignoring ASCII case
 * compare equal in the text columns; the number columns order as a plain reading of the numbers;
 * nothing is read outside its block. */
#include "base/str.h"
#include "results/row_compare.h"
#include "search/result_format.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

void Check(bool ok) {
    if (!ok) abort();
}

int Sign(long long v) {
    return v < 0 ? -1 : v > 0 ? 1 : 0;
}

/* The leading number as the count column reads it (atoi, saturating at 32 bits). */
long long Number(const std::string& s, bool digitsOnly) {
    size_t i = digitsOnly ? 0 : s.find_first_not_of(" \t\n\v\f\r");
    if (i == std::string::npos) return 0;
    bool negative = false;
    if (!digitsOnly && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    long long v = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; i++)
        if (v <= 2147483648LL) v = v * 10 + (s[i] - '0');
    if (negative) v = -v;
    return v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : v;
}

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = (char)(c + 32);
    return s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    int column = data[0] % RESULT_COLUMN_COUNT;
    std::vector<std::string> texts;
    std::string rest((const char*)data + 1, size - 1);
    for (size_t at = 0; texts.size() < 3;) {
        size_t zero = rest.find('\0', at);
        std::string t = rest.substr(at, zero == std::string::npos ? std::string::npos : zero - at);
        texts.push_back(t.substr(0, SORT_CELL_SIZE - 1));
        if (zero == std::string::npos) break;
        at = zero + 1;
    }
    while (texts.size() < 3)
        texts.push_back("");
    std::vector<char*> cells;
    for (const std::string& t : texts) {
        char* cell = (char*)malloc(t.size() + 1);
        memcpy(cell, t.c_str(), t.size() + 1);
        cells.push_back(cell);
    }
    int rule = ColumnCompareRule(column);
    for (int i = 0; i < 3; i++) {
        Check(CompareCellTexts(column, cells[i], cells[i], 0) == 0);
        for (int j = 0; j < 3; j++) {
            int up = Sign(CompareCellTexts(column, cells[i], cells[j], 0));
            Check(up == -Sign(CompareCellTexts(column, cells[j], cells[i], 0)));
            Check(up == -Sign(CompareCellTexts(column, cells[i], cells[j], 1)));
            if (rule == COMPARE_TEXT && Lower(texts[i]) == Lower(texts[j])) Check(up == 0);
            if (rule == COMPARE_TEXT) Check(up == Sign(Lower(texts[i]).compare(Lower(texts[j]))));
            if (rule == COMPARE_NUMBER || rule == COMPARE_LEADING_DIGITS) {
                bool digits = rule == COMPARE_LEADING_DIGITS;
                Check(up == Sign(Number(texts[i], digits) - Number(texts[j], digits)));
            }
            for (int k = 0; k < 3; k++) {
                if (up <= 0 && CompareCellTexts(column, cells[j], cells[k], 0) <= 0)
                    Check(CompareCellTexts(column, cells[i], cells[k], 0) <= 0);
            }
        }
    }
    Check(Sign(StrCompareNoCase(cells[0], cells[1])) == Sign(Lower(texts[0]).compare(Lower(texts[1]))));
    for (char* cell : cells)
        free(cell);
    return 0;
}
