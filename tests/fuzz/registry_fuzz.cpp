/* Fuzz target of the registry texts: random bytes as what a registry read left in its buffer, and
 * as the directory names and the version compared with them.
 *
 * Input layout (every part may be short or missing):
 *   bytes 0-1   buffer size, little-endian, modulo 600 (0 included);
 *   byte 2      bit 0: the read succeeded and the value is a string;
 *   bytes 3-4   the byte count the read reported, little-endian (may exceed the buffer);
 *   bytes 5-6   a host version, major and minor;
 *   byte 7      bound of the directory-name comparison (1 .. 256);
 *   the rest    the buffer's content as the read left it (the rest of the buffer is filled with a
 *               non-zero byte); it is also the first directory name, and the second is the same
 *               bytes with the letters' case changed wherever bit 0 of the byte says so.
 * Checked: the buffer always ends up holding a terminated text; a failed or too long read gives an
 * empty text, an accepted one the value's bytes up to its terminator; StrEqualNoCase1252N is
 * symmetric, reflexive, blind to the case of letters in Windows-1252 and agrees with a plain
 * comparison over the bound; only 5.0, 5.1 (level 1) and 5.5, 5.51, 5.55, 5.60 (level 2) are known;
 * nothing is read or written outside its block. */
#include "base/str.h"
#include "host/cabinet.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>

namespace {

void Check(bool ok) {
    if (!ok) abort();
}

unsigned char Lower(unsigned char c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return (unsigned char)(c + 32);
    if (c == 0x8A || c == 0x8C || c == 0x8E) return (unsigned char)(c + 0x10);
    if (c == 0x9F) return 0xFF;
    return c;
}

unsigned char Upper(unsigned char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) return (unsigned char)(c - 32);
    if (c == 0x9A || c == 0x9C || c == 0x9E) return (unsigned char)(c - 0x10);
    if (c == 0xFF) return 0x9F;
    return c;
}

/* Equal over at most max bytes, letters without case, up to the first terminator. */
bool PlainSame(const char* a, const char* b, size_t max) {
    if (max == 0) return false;
    for (size_t i = 0; i < max; i++) {
        if (Lower((unsigned char)a[i]) != Lower((unsigned char)b[i])) return false;
        if (a[i] == 0) return true;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 8) return 0;
    size_t bufSize = (size_t)(data[0] | data[1] << 8) % 600;
    int ok = data[2] & 1;
    size_t length = (size_t)(data[3] | data[4] << 8);
    size_t bound = 1 + data[7];
    std::string content((const char*)data + 8, size - 8);

    char* buf = (char*)malloc(bufSize == 0 ? 1 : bufSize);
    if (bufSize > 0) memset(buf, 'Q', bufSize);
    memcpy(buf, content.data(), content.size() < bufSize ? content.size() : bufSize);
    std::string before(buf, bufSize);
    AcceptRegistryText(buf, bufSize, ok, length);
    if (bufSize > 0) {
        Check(memchr(buf, 0, bufSize) != nullptr);
        bool accepted =
            ok && length > 0 && length <= bufSize && (before[length - 1] == 0 || length < bufSize);
        if (!accepted) {
            Check(buf[0] == 0);
        } else {
            std::string value = before.substr(0, length);
            Check(value.c_str() == std::string(buf));
        }
    }
    free(buf);

    /* Directory names: the content (terminated) against a copy in other case. */
    std::string a = content, b = content;
    for (size_t i = 0; i < b.size(); i++)
        if ((unsigned char)b[i] & 1) b[i] = (char)Upper((unsigned char)b[i]);
    char* na = (char*)malloc(a.size() + 1);
    char* nb = (char*)malloc(b.size() + 1);
    memcpy(na, a.c_str(), a.size() + 1);
    memcpy(nb, b.c_str(), b.size() + 1);
    size_t limit = bound < a.size() + 1 ? bound : a.size() + 1; /* never past the terminated texts */
    /* A bound of 0 compares nothing and answers "not equal". */
    Check(StrEqualNoCase1252N(na, nb, limit) == (limit > 0 ? 1 : 0));
    Check(StrEqualNoCase1252N(na, na, limit) == (limit > 0 ? 1 : 0));
    if (!a.empty()) {
        nb[a.size() / 2] = (char)(nb[a.size() / 2] ^ 0x40);
        int same = StrEqualNoCase1252N(na, nb, limit);
        Check(same == StrEqualNoCase1252N(nb, na, limit));
        Check(same == (PlainSame(na, nb, limit) ? 1 : 0));
    }
    free(na);
    free(nb);

    unsigned major = data[5], minor = data[6];
    int level = HostLevelFromVersion(major, minor);
    int want = major != 5                                                  ? 0
               : (minor == 0 || minor == 1)                                ? 1
               : (minor == 5 || minor == 51 || minor == 55 || minor == 60) ? 2
                                                                           : 0;
    Check(level == want);
    return 0;
}
