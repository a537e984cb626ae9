/* Bounded text helpers: see str.h. */
#include "base/str.h"

#include <stdio.h>
#include <string.h>

size_t StrLenBounded(const char* s, size_t max) {
    /* memchr reads in order and stops at the first match, so it never reads past the terminator. */
    const char* end = max > 0 ? (const char*)memchr(s, 0, max) : NULL;
    return end != NULL ? (size_t)(end - s) : max;
}

int StrCopyN(char* dst, size_t size, const char* src, size_t n) {
    if (size == 0) return 0;
    if (src == NULL) src = "";
    size_t len = StrLenBounded(src, n);
    int whole = 1;
    if (len > size - 1) {
        len = size - 1;
        whole = 0;
    }
    memmove(dst, src, len);
    dst[len] = 0;
    /* A source longer than n but fitting in dst counts as whole: n was the caller's own limit. */
    return whole;
}

int StrCopy(char* dst, size_t size, const char* src) {
    if (src == NULL) src = "";
    return StrCopyN(dst, size, src, strlen(src));
}

int StrAppend(char* dst, size_t size, const char* src) {
    if (size == 0) return 0;
    size_t used = StrLenBounded(dst, size);
    if (used == size) { /* not terminated: terminate at the last byte */
        dst[size - 1] = 0;
        return 0;
    }
    return StrCopy(dst + used, size - used, src);
}

int StrFormatV(char* dst, size_t size, const char* fmt, va_list args) {
    if (size == 0) return 0;
    int n = vsnprintf(dst, size, fmt, args);
    if (n < 0) {
        dst[0] = 0;
        return 0;
    }
    return (size_t)n < size ? 1 : 0;
}

int StrFormat(char* dst, size_t size, const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    int whole = StrFormatV(dst, size, fmt, args);
    va_end(args);
    return whole;
}

int StrLeadingInt(const char* s) {
    if (s == NULL) return 0;
    while (*s == ' ' || *s == '\t' || *s == '\n' || *s == '\v' || *s == '\f' || *s == '\r')
        s++;
    int negative = 0;
    if (*s == '+' || *s == '-') {
        negative = *s == '-';
        s++;
    }
    long long value = 0;
    while (*s >= '0' && *s <= '9') {
        if (value <= 2147483648LL) value = value * 10 + (*s - '0');
        s++;
    }
    if (negative) value = -value;
    if (value > 2147483647LL) return 2147483647;
    if (value < -2147483648LL) return (int)(-2147483647 - 1);
    return (int)value;
}

static unsigned char LowerAscii(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? (unsigned char)(c + 32) : c;
}

int StrCompareNoCase(const char* a, const char* b) {
    if (a == NULL) a = "";
    if (b == NULL) b = "";
    for (;; a++, b++) {
        int x = LowerAscii((unsigned char)*a), y = LowerAscii((unsigned char)*b);
        if (x != y || x == 0) return x - y;
    }
}

const char* StrFindNoCase(const char* text, const char* pattern) {
    if (text == NULL || pattern == NULL) return NULL;
    if (pattern[0] == 0) return text;
    for (const char* start = text; *start != 0; start++) {
        size_t i = 0;
        while (pattern[i] != 0 && start[i] != 0 &&
               LowerAscii((unsigned char)start[i]) == LowerAscii((unsigned char)pattern[i])) {
            i++;
        }
        if (pattern[i] == 0) return start;
    }
    return NULL;
}

/* Windows-1252 capital to small letter; every other byte unchanged. */
static unsigned char LowerCp1252(unsigned char c) {
    if (c >= 'A' && c <= 'Z') return (unsigned char)(c + 32);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return (unsigned char)(c + 32);
    switch (c) {
    case 0x8A:
        return 0x9A; /* Š */
    case 0x8C:
        return 0x9C; /* Œ */
    case 0x8E:
        return 0x9E; /* Ž */
    case 0x9F:
        return 0xFF; /* Ÿ */
    }
    return c;
}

int StrEqualNoCase1252N(const char* a, const char* b, size_t max) {
    if (max == 0) return 0;
    if (a == NULL) a = "";
    if (b == NULL) b = "";
    for (size_t i = 0; i < max; i++) {
        unsigned char ca = LowerCp1252((unsigned char)a[i]);
        unsigned char cb = LowerCp1252((unsigned char)b[i]);
        if (ca != cb) return 0;
        if (ca == 0) return 1;
    }
    return 1; /* equal over the whole bounded length */
}
