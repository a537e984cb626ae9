/* Host records and dates.
 *
 * The access library fills fixed-layout records in buffers that this program owns or locks. Each
 * field the program reads or writes is reached here by its byte offset from the start of the record,
 * through byte-wise accessors: no struct is laid over the bytes, so no compiler's packing or
 * alignment rules can move a field. Multi-byte values are little-endian 32-bit words, as on the
 * host's platform. Text fields are zero-terminated Windows-1252 strings inside the record; their
 * room (up to the next known field) is given by the *_SIZE values, which the stand-in host honours
 * and which bound every copy.
 *
 * PackedDate: day in bits 0-7, month in bits 8-15, year in bits 16-31; 0 is "no date"; comparing two
 * words as unsigned numbers orders them chronologically. The age word from GetAge holds whole years
 * in bits 16-31 and remaining months in bits 8-15. */
#ifndef SONDREL_HOST_RECORDS_H
#define SONDREL_HOST_RECORDS_H

#include <stddef.h>
#include <stdint.h>

typedef uint32_t PackedDate;

/* Buffer sizes the program reserves for records it hands to the host. */
enum {
    KEY_TEXT_SIZE = 64,             /* key-text buffer of the index walks */
    PATIENT_RECORD_SIZE = 512,      /* locked buffer of OpenPatients */
    FOLDER_RECORD_SIZE = 512,       /* locked buffer of OpenDossiers (document header first) */
    LETTER_HEADER_SIZE = 163,       /* header buffer of the letter reads */
    PRESCRIPTION_HEADER_SIZE = 144, /* header buffer of the prescription reads */
    FILE_HEADER_BUFFER_SIZE = 512,  /* buffer of ReadFileOrdonnances / ReadFileCourriers */
    COMMON_HEADER_SIZE = 45,        /* bytes of a header shared by every document layout */
    PASS_RECORD_SIZE = 512,         /* locked buffer of OpenPasses */
    CABINET_NAME_SIZE = 260,        /* cabinet-name buffer of ReadPasses */
    INFOSESAM_RECORD_SIZE = 256,    /* locked buffer of OpenInfoSesam */
    EXTENSIONS_RECORD_SIZE = 256,   /* locked buffer of OpenExtensions */
    HOST_PATH_SIZE = 260            /* HDGetApplicationInfo output */
};

/* Patient record. */
enum {
    PATIENT_LAST_NAME = 23, /* text, emptied before each read */
    PATIENT_LAST_NAME_SIZE = 21,
    PATIENT_FIRST_NAME = 44, /* text, emptied before each read */
    PATIENT_FIRST_NAME_SIZE = 44,
    PATIENT_BIRTH_DATE = 88, /* PackedDate, handed to GetAge */
    PATIENT_SS_NUMBER = 323, /* social-security number as typed */
    PATIENT_SS_NUMBER_SIZE = 64,
    PATIENT_NUMBER = 477 /* 32-bit, set by the caller before ReadPatients */
};

/* Document header: the first 45 bytes are the same in every layout. */
enum {
    HEADER_TYPE = 10,    /* 8-bit: 6 letter, 7 prescription */
    HEADER_PATIENT = 11, /* 32-bit patient number */
    HEADER_DATE = 15,    /* PackedDate */
    HEADER_STAMP = 19,   /* 32-bit stamp handed to the form editor */
    HEADER_AUTHOR = 23,  /* text, up to 22 bytes with its terminator */
    HEADER_AUTHOR_SIZE = 22
};

/* Document types. */
enum { DOC_TYPE_LETTER = 6, DOC_TYPE_PRESCRIPTION = 7 };

/* Indexes. */
enum { INDEX_FOLDERS = 39, INDEX_PRESCRIPTION_FILES = 282, INDEX_LETTER_FILES = 284 };

/* Pass record, social-insurance record, extensions field. */
enum {
    PASS_STRING = 0,
    PASS_STRING_SIZE = 13,
    PASS_DIRECTORY = 13,
    PASS_DIRECTORY_SIZE = 260,
    INFOSESAM_SCHEME_CODE = 73,
    INFOSESAM_SCHEME_CODE_SIZE = 16,
    EXTENSIONS_SCHEME_FIELD = 218
};

uint32_t RecordU32(const void* record, size_t offset);
void SetRecordU32(void* record, size_t offset, uint32_t value);
uint8_t RecordU8(const void* record, size_t offset);
/* The text at offset; always terminated within `size` bytes by the caller's buffer layout. */
const char* RecordText(const void* record, size_t offset);
/* Copies `text` into the field, cut to size-1 bytes and terminated. Returns 0 if it was cut. */
int SetRecordText(void* record, size_t offset, size_t size, const char* text);

/* Reading a patient and composing the name.
 *
 * The list, the viewer's caption and the import's check of a line all show or compare the name the
 * host gives a patient, and must agree byte for byte (the import rejects a line whose name differs
 * from the list's own export). So every one of them prepares the record with PreparePatientRead,
 * has the host read it, and composes the name with ComposePatientName, and nothing else reads the
 * name fields.
 *
 * PreparePatientRead sets the patient number, empties both name fields and the social-security
 * field, and puts a mark into the birth date that no host writes (0xFFFFFFFF: day and month 255).
 * A host that does not know the patient leaves the record as it found it, so after the read
 * PatientWasRead tells a known patient from an unknown one by the record's contents alone (the
 * value ReadPatients returns is not part of the host's contract): the patient is known when the
 * host wrote the birth date (0 included) or any of the texts. A known patient whose names are empty
 * and whose birth date is 0 is thus still known and gets an age. A host that writes zeros over an
 * unknown patient's record cannot be told from one that knows a patient with no data at all.
 *
 * ComposePatientName writes "%s %s" of the last and the first name into out (cut to outSize - 1
 * characters, always terminated when outSize > 0) and returns the length written. Each name is read
 * within its own field only, up to PATIENT_LAST_NAME_SIZE or PATIENT_FIRST_NAME_SIZE bytes, whether
 * or not the host terminated it inside the field. A patient the host left untouched, or a NULL
 * record, composes as one space. PATIENT_NAME_TEXT_SIZE holds any composed name. */
enum { PATIENT_NAME_TEXT_SIZE = PATIENT_LAST_NAME_SIZE + 1 + PATIENT_FIRST_NAME_SIZE + 1 };

void PreparePatientRead(void* patientRecord, int32_t patientNumber);
int PatientWasRead(const void* patientRecord);
int ComposePatientName(const void* patientRecord, char* out, size_t outSize);

/* A document header the host has filled: the caller empties its common bytes before the read, and
 * the read is judged by what it left there, since the read operations define no result. 1 when any
 * of the first COMMON_HEADER_SIZE bytes is not zero. */
int HeaderWasFilled(const void* header);

/* GetDossiersType gives a 16-bit type in a 32-bit register; only its low half is the type. */
int HostDocumentType(int returned);

unsigned DateDay(PackedDate d);
unsigned DateMonth(PackedDate d);
unsigned DateYear(PackedDate d);
PackedDate MakePackedDate(unsigned day, unsigned month, unsigned year);
/* "%02d/%02d/%4d": 11 bytes with terminator (more for a year above 9999), cut to size - 1 bytes.
 * Returns the length written; with no buffer or a size of 0 nothing is written and it returns 0. */
int FormatPackedDate(char* out, size_t size, PackedDate d);

unsigned AgeYears(uint32_t ageWord);
unsigned AgeMonths(uint32_t ageWord);
/* "%d an%s %02d m": "s" when the years exceed 1, cut to size - 1 bytes. Returns the length written;
 * with no buffer or a size of 0 nothing is written and it returns 0. */
int FormatAge(char* out, size_t size, uint32_t ageWord);

#endif
