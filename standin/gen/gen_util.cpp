/* Generator basics: the splitmix64 random numbers, the growable write buffer and calendar
 * arithmetic (days since 1970-01-01 and back, after the well-known "civil from days" method), all in
 * integer arithmetic so that every machine computes the same values. */
#include "standin/gen/gen_internal.h"

#include <stdlib.h>
#include <string.h>

void RngSeed(Rng* rng, uint64_t seed, uint64_t stream) {
    rng->state = seed ^ (stream * 0xD1B54A32D192ED03ull) ^ 0x5DEECE66Dull;
    (void)RngNext(rng);
}

uint64_t RngNext(Rng* rng) {
    uint64_t z = (rng->state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

uint32_t RngBelow(Rng* rng, uint32_t n) {
    return (uint32_t)(((RngNext(rng) >> 32) * (uint64_t)n) >> 32);
}

int RngRange(Rng* rng, int lo, int hi) {
    if (hi <= lo) return lo;
    return lo + (int)RngBelow(rng, (uint32_t)(hi - lo + 1));
}

int RngChance(Rng* rng, uint32_t perMille) {
    return RngBelow(rng, 1000) < perMille;
}

void BufFree(Buf* b) {
    free(b->data);
    b->data = NULL;
    b->len = b->cap = 0;
}

void BufReserve(Buf* b, size_t extra) {
    if (b->len + extra <= b->cap) return;
    size_t cap = b->cap ? b->cap : 4096;
    while (cap < b->len + extra)
        cap *= 2;
    char* p = (char*)realloc(b->data, cap);
    if (!p) {
        /* Out of memory: the generator cannot go on; the caller sees `failed` and stops. */
        b->failed = 1;
        abort();
    }
    b->data = p;
    b->cap = cap;
}

void BufPutN(Buf* b, const char* s, size_t n) {
    BufReserve(b, n);
    memcpy(b->data + b->len, s, n);
    b->len += n;
}

void BufPut(Buf* b, const char* s) {
    BufPutN(b, s, strlen(s));
}

void BufPutC(Buf* b, char c) {
    if (b->len == b->cap) BufReserve(b, 1);
    b->data[b->len++] = c;
}

void BufPutUW(Buf* b, uint64_t v, int width) {
    char tmp[24];
    int n = 0;
    do {
        tmp[n++] = (char)('0' + v % 10);
        v /= 10;
    } while (v);
    while (n < width && n < (int)sizeof tmp)
        tmp[n++] = '0';
    BufReserve(b, (size_t)n);
    while (n)
        b->data[b->len++] = tmp[--n];
}

void BufPutU(Buf* b, uint64_t v) {
    BufPutUW(b, v, 1);
}

void BufPutHex(Buf* b, uint32_t v) {
    static const char digits[] = "0123456789ABCDEF";
    char tmp[8];
    int n = 0;
    do {
        tmp[n++] = digits[v & 15];
        v >>= 4;
    } while (v);
    BufReserve(b, (size_t)n);
    while (n)
        b->data[b->len++] = tmp[--n];
}

void BufCrLf(Buf* b) {
    BufPutN(b, "\r\n", 2);
}

void BufFlush(Buf* b) {
    if (!b->file || !b->len) return;
    if (fwrite(b->data, 1, b->len, b->file) != b->len) b->failed = 1;
    b->written += b->len;
    b->len = 0;
}

void BufFlushIfFull(Buf* b) {
    if (b->file && b->len >= GEN_FLUSH_AT) BufFlush(b);
}

long DaysFromCivil(GenDate d) {
    long y = d.year - (d.month <= 2 ? 1 : 0);
    long era = (y >= 0 ? y : y - 399) / 400;
    long yoe = y - era * 400;
    long mp = (d.month + 9) % 12;
    long doy = (153 * mp + 2) / 5 + d.day - 1;
    long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

GenDate CivilFromDays(long z) {
    z += 719468;
    long era = (z >= 0 ? z : z - 146096) / 146097;
    long doe = z - era * 146097;
    long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    long mp = (5 * doy + 2) / 153;
    GenDate d;
    d.day = (int)(doy - (153 * mp + 2) / 5 + 1);
    d.month = (int)(mp < 10 ? mp + 3 : mp - 9);
    d.year = (int)(yoe + era * 400 + (d.month <= 2 ? 1 : 0));
    return d;
}

void BufPutDate(Buf* b, GenDate d) {
    if (d.year == 0) {
        BufPutC(b, '0');
        return;
    }
    BufPutUW(b, (uint64_t)d.day, 2);
    BufPutC(b, '/');
    BufPutUW(b, (uint64_t)d.month, 2);
    BufPutC(b, '/');
    BufPutUW(b, (uint64_t)d.year, 4);
}

void AgeAt(GenDate birth, GenDate today, int* years, int* months) {
    int total = (today.year - birth.year) * 12 + (today.month - birth.month);
    if (today.day < birth.day) total--;
    if (total < 0) total = 0;
    *years = total / 12;
    *months = total % 12;
}
