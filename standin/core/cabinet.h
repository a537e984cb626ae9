/* The stand-in host's cabinet reader: passes.txt and cabinet.txt (standin/README.md) in memory.
 *
 * A cabinet is loaded in one sequential pass over its file, read in large chunks and cut into lines
 * with memchr. Every record line (patient, index-39 entry, document header) becomes one fixed-size
 * record in a growing array; document bodies are not kept in memory: each document remembers the
 * file offset and the length of its body as stored on disk, and its text is read back on demand with
 * one seek and one read, then dot-unstuffed in place. This keeps a 500,000-document cabinet of
 * several hundred megabytes loadable by a 32-bit process in a few seconds.
 *
 * After the pass, each of the three indexes (39 patient folders, 282 prescription files, 284 letter
 * files) gets two orderings of its entries: the walk order (ascending key text, as HDFirstKey /
 * HDNextKey hand them out and HDFindKey searches them) and the key order (ascending key, for the
 * reads by key, binary search). Patients are kept sorted by number. A key, or a patient number,
 * that occurs twice keeps its first occurrence; later ones are dropped.
 *
 * Malformed lines are skipped and counted, never fatal: a field that does not parse makes the line
 * malformed, and a malformed document header still swallows its body so that body lines are never
 * read as records. Text fields are cut to the room of the host record fields (host/records.h).
 *
 * Nothing here is thread-safe; the DLL layer serialises every call. No <windows.h>: the same code
 * builds natively for the generator and the unit tests. */
#ifndef SONDREL_STANDIN_CABINET_H
#define SONDREL_STANDIN_CABINET_H

#include "host/records.h"

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <vector>

/* Kinds of index entries, by the letter of their cabinet line. */
enum {
    CAB_KIND_DOCUMENT = 'D',   /* a document with a body, in any of the three indexes */
    CAB_KIND_SESAM = 'S',      /* social-insurance entry of index 39 */
    CAB_KIND_EXTENSIONS = 'X', /* extensions entry of index 39 */
    CAB_KIND_OTHER = 'E'       /* any other index-39 entry, without text */
};

/* Types the host gives the entries that carry no document. */
enum { CAB_TYPE_SESAM = 30, CAB_TYPE_EXTENSIONS = 31 };

enum {
    CAB_KEY_TEXT_SIZE = 24, /* longest key text, "D" + "-2147483648" + 10 digits, with terminator */
    CAB_TEXT_SIZE = 22,     /* author (D) or scheme code (S) of an entry, with terminator */
    CAB_PASS_SIZE = 260,    /* PASS line of a cabinet, with terminator */
    CAB_PATH_SIZE = 1024    /* cabinet file path kept for reopening */
};

/* A patient of the P lines. */
typedef struct CabPatient {
    int32_t number;                          /* patient number */
    PackedDate birth;                        /* 0 when unknown */
    char lastName[PATIENT_LAST_NAME_SIZE];   /* cut to the record field */
    char firstName[PATIENT_FIRST_NAME_SIZE]; /* cut to the record field */
    char ssNumber[PATIENT_SS_NUMBER_SIZE];   /* as typed, cut to the record field */
} CabPatient;

/* One entry of an index: a D, S, X or E line. */
typedef struct CabEntry {
    int64_t bodyOffset;       /* D: file offset of the first body byte */
    uint32_t bodyLength;      /* D: body bytes on disk, dot-stuffed, without the line end before "." */
    uint32_t key;             /* non-zero record number */
    int32_t patient;          /* patient number */
    PackedDate date;          /* D: document date, 0 for none */
    uint32_t stamp;           /* D: document stamp */
    int32_t code;             /* X: insurance scheme code */
    uint16_t index;           /* 39, 282 or 284 */
    uint16_t type;            /* D, E: document type; S 30; X 31 */
    char kind;                /* CAB_KIND_* */
    uint8_t stuffed;          /* D: 1 when some body line starts with "." on disk */
    char text[CAB_TEXT_SIZE]; /* D: author (cut to HEADER_AUTHOR_SIZE); S: scheme code text */
} CabEntry;

/* Orderings of one index: positions into Cabinet::entries. */
typedef struct CabKeyRef {
    uint32_t key;   /* the entry's key */
    uint32_t entry; /* position in Cabinet::entries */
} CabKeyRef;

typedef struct CabIndex {
    std::vector<uint32_t> walk;   /* entries in ascending key text */
    std::vector<CabKeyRef> byKey; /* entries in ascending key */
} CabIndex;

typedef struct Cabinet {
    FILE* file;                       /* open for the body reads; NULL when nothing is loaded */
    char path[CAB_PATH_SIZE];         /* the cabinet.txt that was loaded */
    PackedDate today;                 /* TODAY line, 0 when absent */
    int hasPass;                      /* 1 when a PASS line was seen */
    char pass[CAB_PASS_SIZE];         /* PASS line text */
    std::vector<CabPatient> patients; /* ascending number, unique */
    std::vector<CabEntry> entries;    /* in file order, duplicates included */
    CabIndex folders;                 /* index 39 */
    CabIndex prescriptionFiles;       /* index 282 */
    CabIndex letterFiles;             /* index 284 */
    size_t linesSkipped;              /* malformed or unknown record lines */
    size_t duplicatesDropped;         /* keys or patient numbers seen again */
} Cabinet;

/* One line of passes.txt. */
typedef struct CabPass {
    char directory[PASS_DIRECTORY_SIZE]; /* cabinet directory name */
    char pass[PASS_STRING_SIZE];         /* pass string */
    char name[CABINET_NAME_SIZE];        /* cabinet name */
} CabPass;

/* Loading. CabLoad returns 1 on success and 0 when the file cannot be read or does not start with
 * "HDCAB 1"; on failure the cabinet is left empty. CabFree releases everything and closes the file;
 * it may be called on an empty or freshly initialised cabinet. */
void CabInit(Cabinet* cab);
int CabLoad(Cabinet* cab, const char* path);
void CabFree(Cabinet* cab);

/* The index record of 39, 282 or 284; NULL for any other number. */
const CabIndex* CabGetIndex(const Cabinet* cab, int index);
/* Entry of the index by key; NULL when absent. */
const CabEntry* CabFindEntry(const Cabinet* cab, int index, uint32_t key);
/* Walk position of the first entry whose key text equals keyText; -1 when absent. */
long CabFindKeyText(const Cabinet* cab, int index, const char* keyText);
/* The entry at walk position pos of the index; NULL when out of range. */
const CabEntry* CabWalkEntry(const Cabinet* cab, int index, long pos);
/* Patient by number; NULL when absent. */
const CabPatient* CabFindPatient(const Cabinet* cab, int32_t number);

/* Document text. CabReadText reads the body of a document entry into dst, which must have room for
 * entry->bodyLength + 1 bytes, undoes the dot-stuffing and terminates it; returns the text length,
 * or -1 when the entry has no body or the file cannot be read. */
long CabReadText(Cabinet* cab, const CabEntry* entry, char* dst);

/* Pass table: loads every well-formed line of passes.txt (at least "directory|pass"). Returns 1 when
 * the file could be read (possibly with no lines), 0 otherwise. */
int CabLoadPasses(const char* path, std::vector<CabPass>* passes);

/* Formats. Key texts: "D%07d%010u" (index-39 documents and E entries), "S%07d", "X%07d",
 * "%07d%010u" (file indexes). Each writes at most size bytes, always terminated. */
void CabKeyText(char* out, size_t size, const CabEntry* entry);
void CabSesamKeyText(char* out, size_t size, int32_t patient);
void CabExtensionsKeyText(char* out, size_t size, int32_t patient);

/* "dd/mm/yyyy" (day and month of one or two digits, year of one to four) or "0" into a PackedDate.
 * Returns 1 on success; 0 for anything else (out untouched). Day 1-31, month 1-12, year 1-9999. */
int CabParseDate(const char* text, size_t length, PackedDate* out);
/* "dd/mm/yyyy", or "0" for no date. */
void CabFormatDate(char* out, size_t size, PackedDate date);
/* Age word of the host: whole years in bits 16-31, remaining months in bits 8-15, counting a month
 * only once its day of month is reached. 0 when either date is 0 or birth is after today. */
uint32_t CabAge(PackedDate birth, PackedDate today);

/* Writing, for the generator and the tests: a document body dot-stuffed and closed by ".". The text
 * keeps its own line ends; the closing line end is "\r\n" when crlf is 1, "\n" otherwise. Returns 1
 * when everything was written. */
int CabWriteBody(FILE* out, const char* text, size_t length, int crlf);

/* Bounded copy of n bytes of src (stopping at a zero byte), always terminated within size. */
void CabCopyText(char* dst, size_t size, const char* src, size_t n);

#endif
