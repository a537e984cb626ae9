/* Fuzz target of the patient name: any record bytes as the host may leave them, any output size.
 *
 * Input layout (every part may be short or missing):
 *   bytes 0-1   the output size, little-endian, taken modulo 601 (0 to 600);
 *   byte 2      bit 0: compose from a NULL record instead;
 *   the rest    the patient record, PATIENT_RECORD_SIZE bytes; a short input is padded with 'A', so
 *               short inputs still leave both name fields without a terminator.
 * Checked: ComposePatientName writes within outSize bytes, always terminated when outSize > 0, and
 * returns the length written; the text equals the plain "%s %s" of the two fields, each cut at its
 * first zero or at its field size, cut to outSize - 1; it reads nothing of the record outside the two
 * name fields (the rest of the record is poisoned for AddressSanitizer during the call).
 * PreparePatientRead sets the number, the mark and empty texts, touches no other byte, and leaves a
 * record that PatientWasRead calls unknown and that composes as one space; PatientWasRead on the raw
 * bytes equals the plain rule (birth date not the mark, or any text field not empty). */
#include "host/records.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#if defined(__SANITIZE_ADDRESS__)
#define NAME_FUZZ_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define NAME_FUZZ_ASAN 1
#endif
#endif
#ifdef NAME_FUZZ_ASAN
#include <sanitizer/asan_interface.h>
#define POISON(p, n) ASAN_POISON_MEMORY_REGION((p), (n))
#define UNPOISON(p, n) ASAN_UNPOISON_MEMORY_REGION((p), (n))
#else
#define POISON(p, n) ((void)(p), (void)(n))
#define UNPOISON(p, n) ((void)(p), (void)(n))
#endif

namespace {

void Check(bool ok) {
    if (!ok) abort();
}

const unsigned char Sentinel = 0xA5;

/* The field's text: up to its first zero, at most `size` bytes. */
std::string Field(const unsigned char* record, size_t offset, size_t size) {
    std::string text;
    for (size_t i = 0; i < size && record[offset + i] != 0; i++)
        text.push_back((char)record[offset + i]);
    return text;
}

std::string Expected(const unsigned char* record, size_t outSize) {
    std::string name = record == nullptr ? std::string(" ")
                                         : Field(record, PATIENT_LAST_NAME, PATIENT_LAST_NAME_SIZE) + " " +
                                               Field(record, PATIENT_FIRST_NAME, PATIENT_FIRST_NAME_SIZE);
    return outSize == 0 ? std::string() : name.substr(0, outSize - 1);
}

/* Composes into a block of exactly outSize bytes and checks it against the model. */
void CheckCompose(const unsigned char* record, size_t outSize) {
    char* out = (char*)malloc(outSize == 0 ? 1 : outSize);
    memset(out, Sentinel, outSize == 0 ? 1 : outSize);
    std::string want = Expected(record, outSize);
    int n = ComposePatientName(record, out, outSize);
    Check(n >= 0 && (size_t)n == want.size());
    if (outSize == 0) {
        Check((unsigned char)out[0] == Sentinel);
    } else {
        Check(memcmp(out, want.data(), want.size()) == 0 && out[n] == 0);
        for (size_t i = (size_t)n + 1; i < outSize; i++)
            Check((unsigned char)out[i] == Sentinel); /* nothing written past the terminator */
    }
    free(out);
}

bool PlainWasRead(const unsigned char* r) {
    uint32_t birth = (uint32_t)r[PATIENT_BIRTH_DATE] | (uint32_t)r[PATIENT_BIRTH_DATE + 1] << 8 |
                     (uint32_t)r[PATIENT_BIRTH_DATE + 2] << 16 | (uint32_t)r[PATIENT_BIRTH_DATE + 3] << 24;
    return birth != 0xFFFFFFFFu || r[PATIENT_LAST_NAME] != 0 || r[PATIENT_FIRST_NAME] != 0 ||
           r[PATIENT_SS_NUMBER] != 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    size_t outSize = size >= 2 ? (size_t)(data[0] | data[1] << 8) % 601 : 0;
    bool nullRecord = size >= 3 && (data[2] & 1) != 0;
    const uint8_t* bytes = size > 3 ? data + 3 : data + size;
    size_t have = size > 3 ? size - 3 : 0;

    unsigned char* record = (unsigned char*)malloc(PATIENT_RECORD_SIZE);
    memset(record, 'A', PATIENT_RECORD_SIZE);
    memcpy(record, bytes, have < (size_t)PATIENT_RECORD_SIZE ? have : (size_t)PATIENT_RECORD_SIZE);

    if (nullRecord) {
        CheckCompose(nullptr, outSize);
        Check(ComposePatientName(nullptr, nullptr, outSize) == 0);
        Check(!PatientWasRead(nullptr));
        free(record);
        return 0;
    }

    Check((PatientWasRead(record) != 0) == PlainWasRead(record));

    /* Only the two name fields may be read while composing. */
    POISON(record, PATIENT_LAST_NAME);
    POISON(record + PATIENT_LAST_NAME + PATIENT_LAST_NAME_SIZE,
           PATIENT_FIRST_NAME - (PATIENT_LAST_NAME + PATIENT_LAST_NAME_SIZE));
    POISON(record + PATIENT_FIRST_NAME + PATIENT_FIRST_NAME_SIZE,
           PATIENT_RECORD_SIZE - (PATIENT_FIRST_NAME + PATIENT_FIRST_NAME_SIZE));
    CheckCompose(record, outSize);
    UNPOISON(record, PATIENT_RECORD_SIZE);
    Check(ComposePatientName(record, nullptr, outSize) == 0);

    /* Preparing: the number, the mark and three empty texts, and nothing else. */
    unsigned char before[PATIENT_RECORD_SIZE];
    memcpy(before, record, sizeof before);
    int32_t number = (int32_t)((uint32_t)before[0] | (uint32_t)before[1] << 8 | (uint32_t)before[2] << 16 |
                               (uint32_t)before[3] << 24);
    PreparePatientRead(record, number);
    Check(RecordU32(record, PATIENT_NUMBER) == (uint32_t)number);
    Check(RecordU32(record, PATIENT_BIRTH_DATE) == 0xFFFFFFFFu);
    Check(record[PATIENT_LAST_NAME] == 0 && record[PATIENT_FIRST_NAME] == 0 &&
          record[PATIENT_SS_NUMBER] == 0);
    for (size_t i = 0; i < PATIENT_RECORD_SIZE; i++) {
        bool set = (i >= PATIENT_NUMBER && i < PATIENT_NUMBER + 4) ||
                   (i >= PATIENT_BIRTH_DATE && i < PATIENT_BIRTH_DATE + 4) ||
                   (i >= PATIENT_LAST_NAME && i < PATIENT_LAST_NAME + PATIENT_LAST_NAME_SIZE) ||
                   (i >= PATIENT_FIRST_NAME && i < PATIENT_FIRST_NAME + PATIENT_FIRST_NAME_SIZE) ||
                   (i >= PATIENT_SS_NUMBER && i < PATIENT_SS_NUMBER + PATIENT_SS_NUMBER_SIZE);
        if (!set) Check(record[i] == before[i]);
    }
    Check(!PatientWasRead(record));
    CheckCompose(record, outSize);
    Check(Expected(record, PATIENT_NAME_TEXT_SIZE) == " ");
    free(record);
    return 0;
}
