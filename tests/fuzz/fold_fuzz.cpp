/* Fuzz target of the folded search: the 16- and 32-byte vector scans, the portable scan and
 * FindFolded against the plain definition, on any bytes.
 *
 * Input layout (every part may be short or missing):
 *   byte 0      pattern length L (taken modulo 64);
 *   byte 1      bit 0: fold the pattern first (as a search does); bits 3-7: how many bytes (0..31)
 *               the text is placed after the start of its block;
 *   L bytes     the pattern (it ends at its first zero byte, if any);
 *   the rest    the text, placed in a block that ends with its terminator, so AddressSanitizer sees
 *               a read past it (the vector scan's aligned block reads are exempt by design).
 * Checked: the four agree with the definition, and FindTextByte with strchr for the pattern's first
 * byte, on the text up to its first zero byte, and again
 * from every one of the first 32 positions of the text. */
#include "search/fold.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>

namespace {

/* The first start where every pattern byte equals the folded text byte; -1 when there is none. */
long Definition(const unsigned char* text, const std::string& pattern) {
    if (pattern.empty()) return -1;
    for (size_t start = 0; text[start] != 0; start++) {
        size_t i = 0;
        while (i < pattern.size() && text[start + i] != 0 &&
               Folding.FoldTable[text[start + i]] == (unsigned char)pattern[i])
            i++;
        if (i == pattern.size()) return (long)start;
    }
    return -1;
}

long Offset(const char* found, const char* text) {
    return found == nullptr ? -1 : (long)(found - text);
}

void Check(bool ok) {
    if (!ok) abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool ready = false;
    if (!ready) {
        BuildFoldTable();
        ready = true;
    }
    size_t patternLen = size > 0 ? data[0] % 64 : 0;
    uint8_t flags = size > 1 ? data[1] : 0;
    size_t at = size < 2 ? size : 2;
    if (patternLen > size - at) patternLen = size - at;
    std::string pattern((const char*)data + at, patternLen);
    pattern = pattern.c_str();
    if (flags & 1) FoldTextInPlace(&pattern[0]);
    at += patternLen;

    size_t textLen = size - at;
    size_t shift = flags >> 3;
    /* malloc returns 16-byte aligned blocks on the platforms we fuzz on, so the text starts at each
     * of the 32 places of a 32-byte block as `shift` goes through 0..31; its terminator is the
     * block's last byte. */
    char* block = (char*)malloc(shift + textLen + 1);
    char* text = block + shift;
    memset(block, 'e', shift);
    if (textLen > 0) memcpy(text, data + at, textLen);
    text[textLen] = 0;

    size_t starts = textLen < 32 ? textLen : 32;
    for (size_t from = 0; from <= starts; from++) {
        const char* t = text + from;
        long expected = Definition((const unsigned char*)t, pattern);
        Check(Offset(FindFoldedPortable(t, pattern.c_str()), t) == expected);
        Check(Offset(FindFoldedVector(t, pattern.c_str()), t) == expected);
        Check(Offset(FindFoldedWide(t, pattern.c_str()), t) == expected);
        Check(Offset(FindFolded(t, pattern.c_str()), t) == expected);
        char byte = pattern.empty() ? '<' : pattern[0];
        Check(FindTextByte(t, byte) == strchr(t, byte));
        if (text[from] == 0) break;
    }
    free(block);
    return 0;
}
