/* Host records and dates: byte-offset accessors and the date and age forms (see records.h). */
#include "host/records.h"

#include "base/str.h"

#include <string.h>

uint32_t RecordU32(const void* record, size_t offset) {
    const unsigned char* p = (const unsigned char*)record + offset;
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

void SetRecordU32(void* record, size_t offset, uint32_t value) {
    unsigned char* p = (unsigned char*)record + offset;
    p[0] = (unsigned char)(value & 0xFF);
    p[1] = (unsigned char)((value >> 8) & 0xFF);
    p[2] = (unsigned char)((value >> 16) & 0xFF);
    p[3] = (unsigned char)((value >> 24) & 0xFF);
}

uint8_t RecordU8(const void* record, size_t offset) { return ((const unsigned char*)record)[offset]; }

const char* RecordText(const void* record, size_t offset) { return (const char*)record + offset; }

char* RecordTextMut(void* record, size_t offset) { return (char*)record + offset; }

int SetRecordText(void* record, size_t offset, size_t size, const char* text) {
    return StrCopy((char*)record + offset, size, text);
}

unsigned DateDay(PackedDate d) { return d & 0xFFu; }
unsigned DateMonth(PackedDate d) { return (d >> 8) & 0xFFu; }
unsigned DateYear(PackedDate d) { return (d >> 16) & 0xFFFFu; }

PackedDate MakePackedDate(unsigned day, unsigned month, unsigned year) {
    return (PackedDate)((year & 0xFFFFu) << 16 | (month & 0xFFu) << 8 | (day & 0xFFu));
}

int FormatPackedDate(char* out, size_t size, PackedDate d) {
    if (out == NULL || size == 0) return 0;
    StrFormat(out, size, "%02d/%02d/%4d", (int)DateDay(d), (int)DateMonth(d), (int)DateYear(d));
    return (int)StrLenBounded(out, size);
}

unsigned AgeYears(uint32_t ageWord) { return (ageWord >> 16) & 0xFFFFu; }
unsigned AgeMonths(uint32_t ageWord) { return (ageWord >> 8) & 0xFFu; }

int FormatAge(char* out, size_t size, uint32_t ageWord) {
    if (out == NULL || size == 0) return 0;
    unsigned years = AgeYears(ageWord);
    StrFormat(out, size, "%d an%s %02d m", (int)years, years > 1 ? "s" : "", (int)AgeMonths(ageWord));
    return (int)StrLenBounded(out, size);
}
