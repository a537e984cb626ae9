/* Fuzz target of the date and age forms: random 32-bit words as packed dates and age words.
 *
 * Input layout: byte 0 is the size of the output buffer (1 .. 64, as 1 + byte % 64); then 4-byte
 * little-endian words, each taken both as a PackedDate and as an age word; pairs of consecutive
 * words are also compared.
 * Checked: the date and age texts are what snprintf gives for their fields, cut to the buffer and
 * terminated, and the returned length is theirs; a date with a two-digit day and month and a year
 * of four digits reads back through the import's date field, one with a shorter year reads as no
 * date; the date column orders two such dates as their words order them; the age column orders by
 * whole years; nothing is read or written outside its block. */
#include "exchange/import_lines.h"
#include "host/records.h"
#include "results/row_compare.h"

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

namespace {

void Check(bool ok) {
    if (!ok) abort();
}

int Sign(long long v) {
    return v < 0 ? -1 : v > 0 ? 1 : 0;
}

/* Fields that the dd/mm/yyyy text holds at its fixed places. */
bool Regular(PackedDate d) {
    return DateDay(d) < 100 && DateMonth(d) < 100 && DateYear(d) < 10000;
}

std::string DateText(PackedDate d) {
    char text[64];
    snprintf(text, sizeof text, "%02d/%02d/%4d", (int)DateDay(d), (int)DateMonth(d), (int)DateYear(d));
    return text;
}

void CheckWord(uint32_t w, size_t size) {
    Check(MakePackedDate(DateDay(w), DateMonth(w), DateYear(w)) == w);
    char* out = (char*)malloc(size);
    std::string date = DateText(w);
    int n = FormatPackedDate(out, size, w);
    Check(memchr(out, 0, size) != nullptr && date.substr(0, size - 1) == out && n == (int)strlen(out));

    char age[64];
    unsigned years = AgeYears(w);
    snprintf(age, sizeof age, "%d an%s %02d m", (int)years, years > 1 ? "s" : "", (int)AgeMonths(w));
    n = FormatAge(out, size, w);
    Check(memchr(out, 0, size) != nullptr && std::string(age).substr(0, size - 1) == out &&
          n == (int)strlen(out));
    Check(years == (w >> 16) && AgeMonths(w) == ((w >> 8) & 0xFF));
    free(out);

    /* The import reads back what the export wrote. */
    if (Regular(w)) Check(ImportDateField(date.c_str()) == (DateYear(w) >= 1000 ? w : 0u));
}

void CheckPair(uint32_t a, uint32_t b) {
    std::string ta = DateText(a), tb = DateText(b);
    for (int column = 4; column <= 5; column++) {
        int up = CompareCellTexts(column, ta.c_str(), tb.c_str(), 0);
        Check(Sign(up) == -Sign(CompareCellTexts(column, tb.c_str(), ta.c_str(), 0)));
        Check(Sign(CompareCellTexts(column, ta.c_str(), tb.c_str(), 1)) == -Sign(up));
        if (Regular(a) && Regular(b)) Check(Sign(up) == Sign((long long)a - (long long)b));
    }
    char ageA[64], ageB[64];
    FormatAge(ageA, sizeof ageA, a);
    FormatAge(ageB, sizeof ageB, b);
    Check(Sign(CompareCellTexts(2, ageA, ageB, 0)) == Sign((long long)AgeYears(a) - (long long)AgeYears(b)));
}

uint32_t Word(const uint8_t* p) {
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    size_t bufferSize = 1 + data[0] % 64;
    uint32_t previous = 0;
    for (size_t at = 1; at + 4 <= size; at += 4) {
        uint32_t w = Word(data + at);
        CheckWord(w, bufferSize);
        CheckPair(previous, w);
        previous = w;
    }
    return 0;
}
