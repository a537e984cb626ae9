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

uint8_t RecordU8(const void* record, size_t offset) {
    return ((const unsigned char*)record)[offset];
}

const char* RecordText(const void* record, size_t offset) {
    return (const char*)record + offset;
}

int SetRecordText(void* record, size_t offset, size_t size, const char* text) {
    return StrCopy((char*)record + offset, size, text);
}

/* The birth date PreparePatientRead leaves for the host to overwrite: day 255 of month 255, which
 * no host writes as a date. */
static const uint32_t BirthDateNotRead = 0xFFFFFFFFu;

void PreparePatientRead(void* patientRecord, int32_t patientNumber) {
    if (patientRecord == NULL) return;
    SetRecordU32(patientRecord, PATIENT_NUMBER, (uint32_t)patientNumber);
    SetRecordText(patientRecord, PATIENT_LAST_NAME, PATIENT_LAST_NAME_SIZE, "");
    SetRecordText(patientRecord, PATIENT_FIRST_NAME, PATIENT_FIRST_NAME_SIZE, "");
    SetRecordU32(patientRecord, PATIENT_BIRTH_DATE, BirthDateNotRead);
    SetRecordText(patientRecord, PATIENT_SS_NUMBER, PATIENT_SS_NUMBER_SIZE, "");
}

int PatientWasRead(const void* patientRecord) {
    if (patientRecord == NULL) return 0;
    return RecordU32(patientRecord, PATIENT_BIRTH_DATE) != BirthDateNotRead ||
           RecordText(patientRecord, PATIENT_LAST_NAME)[0] != 0 ||
           RecordText(patientRecord, PATIENT_FIRST_NAME)[0] != 0 ||
           RecordText(patientRecord, PATIENT_SS_NUMBER)[0] != 0;
}

int ComposePatientName(const void* patientRecord, char* out, size_t outSize) {
    if (out == NULL || outSize == 0) return 0;
    const char* last = "";
    const char* first = "";
    size_t lastLength = 0, firstLength = 0;
    if (patientRecord != NULL) {
        last = RecordText(patientRecord, PATIENT_LAST_NAME);
        first = RecordText(patientRecord, PATIENT_FIRST_NAME);
        lastLength = StrLenBounded(last, PATIENT_LAST_NAME_SIZE);
        firstLength = StrLenBounded(first, PATIENT_FIRST_NAME_SIZE);
    }
    size_t n = 0;
    for (size_t i = 0; i < lastLength && n + 1 < outSize; i++)
        out[n++] = last[i];
    if (n + 1 < outSize) out[n++] = ' ';
    for (size_t i = 0; i < firstLength && n + 1 < outSize; i++)
        out[n++] = first[i];
    out[n] = 0;
    return (int)n;
}

int HeaderWasFilled(const void* header) {
    if (header == NULL) return 0;
    const unsigned char* p = (const unsigned char*)header;
    for (size_t i = 0; i < COMMON_HEADER_SIZE; i++)
        if (p[i] != 0) return 1;
    return 0;
}

int HostDocumentType(int returned) {
    return (int)((uint32_t)returned & 0xFFFFu);
}

unsigned DateDay(PackedDate d) {
    return d & 0xFFu;
}
unsigned DateMonth(PackedDate d) {
    return (d >> 8) & 0xFFu;
}
unsigned DateYear(PackedDate d) {
    return (d >> 16) & 0xFFFFu;
}

PackedDate MakePackedDate(unsigned day, unsigned month, unsigned year) {
    return (PackedDate)((year & 0xFFFFu) << 16 | (month & 0xFFu) << 8 | (day & 0xFFu));
}

int FormatPackedDate(char* out, size_t size, PackedDate d) {
    if (out == NULL || size == 0) return 0;
    StrFormat(out, size, "%02d/%02d/%4d", (int)DateDay(d), (int)DateMonth(d), (int)DateYear(d));
    return (int)StrLenBounded(out, size);
}

unsigned AgeYears(uint32_t ageWord) {
    return (ageWord >> 16) & 0xFFFFu;
}
unsigned AgeMonths(uint32_t ageWord) {
    return (ageWord >> 8) & 0xFFu;
}

int FormatAge(char* out, size_t size, uint32_t ageWord) {
    if (out == NULL || size == 0) return 0;
    unsigned years = AgeYears(ageWord);
    StrFormat(out, size, "%d an%s %02d m", (int)years, years > 1 ? "s" : "", (int)AgeMonths(ageWord));
    return (int)StrLenBounded(out, size);
}
