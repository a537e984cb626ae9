/* HDAPI5.DLL, the stand-in host access library: every operation of host/hdapi.h over a cabinet in
 * the text format of standin/README.md.
 *
 * The library keeps one process-wide state: the cabinets root set by HDSetPathCabinet, the pass
 * table read by OpenPasses, the loaded cabinet (standin/core/cabinet.h) and one walk cursor per
 * index. The program calls it from two threads (the search thread walks and reads while the
 * interface thread may read patients), so every operation that touches that state runs inside one
 * critical section; the table handles are plain movable blocks and need no lock.
 *
 * Every operation tolerates bad arguments: NULL buffers are not written, unknown keys and indexes
 * give 0 and an empty result, and text is always cut to the record field it goes into. Records are
 * written byte by byte at the offsets of host/records.h; no structure is laid over them.
 *
 * Decisions of this stand-in where the caller's contract is silent:
 *   - HDOpenCabinet closes the cabinet that was open, even when the new one fails to open.
 *   - A cabinet's PASS line and the pass handed in are compared on the first PASS_STRING_SIZE - 1
 *     bytes, case-sensitively: that is all a pass record can carry.
 *   - A read by key fills its header with zeros when the key is unknown or of another kind, so no
 *     stale header of an earlier read is ever taken for the answer.
 *   - GetDossiersType answers for the entry at the walk cursor; the key text is not consulted.
 *
 * Test switches. The environment variable SONDREL_STANDIN_QUIRKS, read each time a cabinet is
 * opened, makes the library answer as a host may that still keeps to the caller's contract; without
 * it (the normal case) nothing changes. Its value is a list of words separated by commas or spaces:
 *   type-high       GetDossiersType sets the upper 16 bits of its result (the type is the low half);
 *   read-zero       ReadDossiers2, ReadFileOrdonnances, ReadFileCourriers, ReadInfoSesam and
 *                   ReadPatients return 0 even when they fill the record;
 *   blank-untouched a read by key of an entry whose text is empty (a document without author, an S
 *                   entry without code) writes nothing at all into the caller's header or record;
 *   names-padded    ReadPatients fills each name field to its end with spaces, without terminator. */
#include "host/hdapi.h"
#include "host/records.h"
#include "standin/core/cabinet.h"

#include <intrin.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <atomic>
#include <new>

/* ---- state ------------------------------------------------------------------------------------ */

static CRITICAL_SECTION g_lock;
static Cabinet g_cabinet;
static int g_cabinetOpen;
static char g_root[HOST_PATH_SIZE];
static std::vector<CabPass> g_passes;
static int g_passesLoaded;
/* Walk cursors: walk position of the current entry, -1 before HDFirstKey. */
static long g_cursorFolders = -1;
static long g_cursorPrescriptionFiles = -1;
static long g_cursorLetterFiles = -1;
/* The file index walked last, for GetDossiersType(…, 1). */
static int g_lastFileIndex = INDEX_PRESCRIPTION_FILES;
/* Test switches of SONDREL_STANDIN_QUIRKS (see above), read by HDOpenCabinet. */
enum { QUIRK_TYPE_HIGH = 1, QUIRK_READ_ZERO = 2, QUIRK_BLANK_UNTOUCHED = 4, QUIRK_NAMES_PADDED = 8 };
static unsigned g_quirks;
/* What type-high puts into the upper half of a type. */
static const uint32_t TypeHighBits = 0x5A5A0000u;

/* Faults a test asks for through StandinSetFaults; none at load. */
enum { NO_KEY_COUNT_FAULT = -2147483647 - 1 };
static int g_faultKeyCount = NO_KEY_COUNT_FAULT; /* answer of every HDNumberOfKey, unless none */
static DWORD g_faultUnterminatedKey = 0;         /* key whose text is handed out unterminated */

/* Test-only, not part of the host's interface: makes the stand-in behave as a faulty host.
 * keyCount: what HDNumberOfKey answers for every index (NO_KEY_COUNT_FAULT, INT32_MIN: the true
 * count); unterminatedKey: a key whose key text fills all 64 bytes with no terminator (0: none).
 * A test that sets faults clears them again with (INT32_MIN, 0). */
extern "C" __declspec(dllexport) void StandinSetFaults(int keyCount, DWORD unterminatedKey) {
    g_faultKeyCount = keyCount;
    g_faultUnterminatedKey = unterminatedKey;
}

/* Size of every record block the patient, folder, social-insurance and extensions tables hand
 * out; NO_TABLE_BLOCK_FAULT: each table's true record size. */
enum { NO_TABLE_BLOCK_FAULT = -1 };
static int g_faultTableBlockSize = NO_TABLE_BLOCK_FAULT;

/* Test-only, not part of the host's interface: with `blockSize` > 0, those four tables hand out
 * blocks of that many bytes (smaller than their record, for a faulty host); with 0, a discarded
 * block that cannot be locked; with -1 (NO_TABLE_BLOCK_FAULT), their true blocks again. */
extern "C" __declspec(dllexport) void StandinSetTableBlockSize(int blockSize) {
    g_faultTableBlockSize = blockSize < 0 ? NO_TABLE_BLOCK_FAULT : blockSize;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)instance;
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        InitializeCriticalSection(&g_lock);
        CabInit(&g_cabinet);
    } else if (reason == DLL_PROCESS_DETACH) {
        CabFree(&g_cabinet);
        DeleteCriticalSection(&g_lock);
    }
    return TRUE;
}

/* The time spent inside the library's operations, for benchmarks that set a caller's own work
 * against the host's in one and the same run. Off at load. An operation that touches the library's
 * state does all its work inside the critical section (the memory blocks it hands out are allocated
 * and filled in there), so the clock runs from the outermost Lock's call, before the section is
 * entered, to the outermost Unlock, just before the section is left (leaving it, a few nanoseconds,
 * counts as the caller's). The section guards the depth, the start and the sums. The operations
 * that touch no state (making a key text, an age, XGetInt) take the lock too while the clock runs,
 * so that they are timed alike; opening and closing a table handle (six of each a search) do not,
 * and count as their caller's. The processor's time-stamp counter is read, about ten times cheaper
 * under Wine than the performance counter, since a search makes well over a million operations; it
 * is converted to seconds against the performance counter over the timed span.
 *
 * Reading the counter twice an operation costs about as much again as a short operation itself,
 * and how that cost falls between the operation and its caller cannot be known. So the clock can
 * time a sample instead: with StandinTimeCalls(n), n > 1, each operation is timed with chance 1/n,
 * drawn from a linear congruential sequence independent of what the operations are, and the time
 * of all of them is estimated as the sampled time times all operations over the sampled ones. Every
 * operation is still counted. The sequence's state is an atomic word read and written without a
 * lock: two threads may now and then draw the same number, which leaves the choice unbiased. */
static std::atomic<int> g_timing;           /* 0 off; n > 0 between StandinTimeCalls(n) and (0) */
static std::atomic<uint32_t> g_sampleState; /* the sequence that chooses the sampled operations */
static std::atomic<uint32_t> g_sampleBelow; /* an operation is sampled when its draw is below this */
static int g_lockDepth;                     /* nesting of Lock on the thread inside the section */
static int g_counting;                      /* the outermost operation inside the section is counted */
static unsigned long long g_timedSince;     /* stamp at the outermost Lock; 0: not timed */
static unsigned long long g_timedStamps;    /* stamps inside the sampled operations since the start */
static long g_timedCalls;                   /* operations counted since the start */
static long g_sampledCalls;                 /* of which timed */
static LARGE_INTEGER g_timingCounter;       /* performance counter at the start */
static unsigned long long g_timingStamp;    /* time-stamp counter at the start */

/* Test-only, not part of the host's interface: clears the sums, and then `n` 1 starts timing every
 * operation, n > 1 a sample of about one in n, 0 (or less) stops. */
extern "C" __declspec(dllexport) void StandinTimeCalls(int n) {
    EnterCriticalSection(&g_lock);
    g_timedStamps = 0;
    g_timedCalls = 0;
    g_sampledCalls = 0;
    g_sampleState.store(0x2545F491u);
    g_sampleBelow.store(n > 1 ? (uint32_t)(0xFFFFFFFFu / (unsigned)n) : 0xFFFFFFFFu);
    QueryPerformanceCounter(&g_timingCounter);
    g_timingStamp = __rdtsc();
    g_timing.store(n > 0 ? n : 0);
    LeaveCriticalSection(&g_lock);
}

/* Test-only: the seconds spent inside the operations since StandinTimeCalls(n) (estimated from the
 * sample when n > 1), and how many operations were counted; `stampSeconds`, when not NULL, gets the
 * cost of one clock read (a timed operation takes two). */
extern "C" __declspec(dllexport) double StandinTimedCalls(long* calls, double* stampSeconds) {
    /* A read's cost is found outside the section, so that asking does not hold up an operation:
     * the fastest of 20 rounds of 100 reads, since a round that the thread was switched out of says
     * nothing about a read. */
    unsigned long long fastest = ~0ull;
    if (stampSeconds != NULL) {
        for (int round = 0; round < 20; round++) {
            unsigned long long t = __rdtsc();
            for (int i = 0; i < 100; i++)
                (void)__rdtsc();
            unsigned long long spent = __rdtsc() - t;
            if (spent < fastest) fastest = spent;
        }
    }
    EnterCriticalSection(&g_lock);
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    unsigned long long stamps = __rdtsc() - g_timingStamp;
    double seconds = (double)(now.QuadPart - g_timingCounter.QuadPart) / (double)frequency.QuadPart;
    double perStamp = stamps > 0 ? seconds / (double)stamps : 0.0;
    if (stampSeconds != NULL) *stampSeconds = (double)fastest / 100.0 * perStamp;
    if (calls != NULL) *calls = g_timedCalls;
    double timed = g_sampledCalls > 0
                       ? (double)g_timedStamps * perStamp * (double)g_timedCalls / (double)g_sampledCalls
                       : 0.0;
    LeaveCriticalSection(&g_lock);
    return timed;
}

/* Whether the operation starting now is timed: always when every one is, else by the next draw. */
static int SampledNow(int timing) {
    if (timing == 1) return 1;
    uint32_t next = g_sampleState.load(std::memory_order_relaxed) * 1664525u + 1013904223u;
    g_sampleState.store(next, std::memory_order_relaxed);
    return next < g_sampleBelow.load(std::memory_order_relaxed);
}

/* The stamp is read before the section is entered (waiting for it counts as the operation's), and
 * kept once inside only if the clock is still on and it was not read before the clock's start. */
static void Lock(void) {
    int timing = g_timing.load(std::memory_order_relaxed);
    unsigned long long now = timing != 0 && SampledNow(timing) ? __rdtsc() : 0;
    EnterCriticalSection(&g_lock);
    if (g_lockDepth++ == 0) {
        g_counting = g_timing.load() != 0;
        g_timedSince = now != 0 && g_counting ? now : 0;
        if (g_timedSince != 0 && g_timedSince < g_timingStamp) g_timedSince = g_timingStamp;
    }
}

static void Unlock(void) {
    if (--g_lockDepth == 0 && g_counting) {
        if (g_timedSince != 0) {
            g_timedStamps += __rdtsc() - g_timedSince;
            g_sampledCalls++;
        }
        g_timedCalls++;
    }
    LeaveCriticalSection(&g_lock);
}

/* For the operations that touch no state: the lock only while the clock runs, so that they are
 * timed like the others without being serialised otherwise. Returns what ClockOnlyUnlock needs. */
static int ClockOnlyLock(void) {
    if (!g_timing.load()) return 0;
    Lock();
    return 1;
}

static void ClockOnlyUnlock(int locked) {
    if (locked) Unlock();
}

/* ---- record helpers ----------------------------------------------------------------------------- */

static void PutU32(void* record, size_t offset, uint32_t value) {
    unsigned char* p = (unsigned char*)record + offset;
    p[0] = (unsigned char)(value & 0xFF);
    p[1] = (unsigned char)((value >> 8) & 0xFF);
    p[2] = (unsigned char)((value >> 16) & 0xFF);
    p[3] = (unsigned char)((value >> 24) & 0xFF);
}

static uint32_t GetU32(const void* record, size_t offset) {
    const unsigned char* p = (const unsigned char*)record + offset;
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

static void PutText(void* record, size_t offset, size_t size, const char* text) {
    CabCopyText((char*)record + offset, size, text, size);
}

/* The common 45-byte document header; a NULL entry gives an all-zero header. */
static void PutHeader(void* header, const CabEntry* entry) {
    memset(header, 0, COMMON_HEADER_SIZE);
    if (entry == NULL) return;
    ((unsigned char*)header)[HEADER_TYPE] = (unsigned char)(entry->type & 0xFF);
    PutU32(header, HEADER_PATIENT, (uint32_t)entry->patient);
    PutU32(header, HEADER_DATE, entry->date);
    PutU32(header, HEADER_STAMP, entry->stamp);
    PutText(header, HEADER_AUTHOR, HEADER_AUTHOR_SIZE, entry->text);
}

static HGLOBAL NewBlock(size_t size) {
    return GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
}

/* A movable block holding text and its terminator; NULL when memory is short. */
static HGLOBAL NewTextBlock(const char* text, size_t length) {
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, length + 1);
    if (h == NULL) return NULL;
    char* p = (char*)GlobalLock(h);
    if (p == NULL) {
        GlobalFree(h);
        return NULL;
    }
    memcpy(p, text, length);
    p[length] = 0;
    GlobalUnlock(h);
    return h;
}

/* ---- test switches ------------------------------------------------------------------------------- */

static int QuirkWordIs(const char* word, size_t n, const char* name) {
    return strlen(name) == n && strncmp(word, name, n) == 0;
}

static void ReadQuirksLocked(void) {
    char value[256];
    g_quirks = 0;
    DWORD n = GetEnvironmentVariableA("SONDREL_STANDIN_QUIRKS", value, sizeof value);
    if (n == 0 || n >= sizeof value) return;
    const char* p = value;
    while (*p != 0) {
        while (*p == ',' || *p == ' ')
            p++;
        const char* word = p;
        while (*p != 0 && *p != ',' && *p != ' ')
            p++;
        size_t len = (size_t)(p - word);
        if (QuirkWordIs(word, len, "type-high")) g_quirks |= QUIRK_TYPE_HIGH;
        if (QuirkWordIs(word, len, "read-zero")) g_quirks |= QUIRK_READ_ZERO;
        if (QuirkWordIs(word, len, "blank-untouched")) g_quirks |= QUIRK_BLANK_UNTOUCHED;
        if (QuirkWordIs(word, len, "names-padded")) g_quirks |= QUIRK_NAMES_PADDED;
    }
}

/* What a read that found its record returns: 1, or 0 under read-zero. */
static int FoundResult(int found) {
    return found && (g_quirks & QUIRK_READ_ZERO) == 0;
}

/* Under blank-untouched, an entry with an empty text is read without writing anything. */
static int LeavesUntouched(const CabEntry* e) {
    return (g_quirks & QUIRK_BLANK_UNTOUCHED) != 0 && e != NULL && e->text[0] == 0;
}

/* ---- session and cabinet ------------------------------------------------------------------------- */

static void ResetCursors(void) {
    g_cursorFolders = -1;
    g_cursorPrescriptionFiles = -1;
    g_cursorLetterFiles = -1;
    g_lastFileIndex = INDEX_PRESCRIPTION_FILES;
}

static void CloseCabinetLocked(void) {
    CabFree(&g_cabinet);
    g_cabinetOpen = 0;
    ResetCursors();
}

HDAPI_DECL int HDAPI_CALL HDOpenSession(int mode) {
    (void)mode;
    return 1;
}

HDAPI_DECL void HDAPI_CALL HDCloseSession(void) {
    Lock();
    CloseCabinetLocked();
    std::vector<CabPass>().swap(g_passes);
    g_passesLoaded = 0;
    Unlock();
}

HDAPI_DECL int HDAPI_CALL HDSetPathCabinet(const char* cabinetsRoot) {
    Lock();
    CabCopyText(g_root, sizeof g_root, cabinetsRoot, sizeof g_root);
    g_passesLoaded = 0; /* the pass table of the new root is read afresh */
    Unlock();
    return cabinetsRoot != NULL;
}

static int IsAbsolutePath(const char* p) {
    if (p[0] == '\\' || p[0] == '/') return 1;
    return ((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z')) && p[1] == ':';
}

/* root\file, without doubling a separator; 0 when it does not fit. */
static int JoinPath(char* out, size_t size, const char* root, const char* name) {
    size_t n = strlen(root);
    const char* sep = n > 0 && root[n - 1] != '\\' && root[n - 1] != '/' ? "\\" : "";
    int len = snprintf(out, size, "%s%s%s", root, sep, name);
    return len >= 0 && (size_t)len < size;
}

HDAPI_DECL int HDAPI_CALL HDOpenCabinet(const char* cabinetsRoot, const char* cabinetName,
                                        const char* cabinetDirectory, const char* pass) {
    (void)cabinetName;
    char dir[CAB_PATH_SIZE];
    char path[CAB_PATH_SIZE];
    int ok = 0;
    Lock();
    CloseCabinetLocked();
    ReadQuirksLocked();
    const char* root = cabinetsRoot != NULL && cabinetsRoot[0] != 0 ? cabinetsRoot : g_root;
    const char* directory = cabinetDirectory != NULL ? cabinetDirectory : "";
    if (IsAbsolutePath(directory))
        ok = snprintf(dir, sizeof dir, "%s", directory) < (int)sizeof dir;
    else
        ok = JoinPath(dir, sizeof dir, root, directory);
    if (ok) ok = JoinPath(path, sizeof path, dir, "cabinet.txt");
    if (ok) {
        try {
            ok = CabLoad(&g_cabinet, path);
        } catch (const std::bad_alloc&) {
            ok = 0; /* a cabinet too large for the address space does not open */
        }
    }
    if (ok && g_cabinet.hasPass &&
        strncmp(g_cabinet.pass, pass != NULL ? pass : "", PASS_STRING_SIZE - 1) != 0)
        ok = 0;
    if (!ok) CabFree(&g_cabinet);
    g_cabinetOpen = ok;
    Unlock();
    return ok;
}

HDAPI_DECL void HDAPI_CALL HDCloseCabinet(void) {
    Lock();
    CloseCabinetLocked();
    Unlock();
}

/* Reads HKCU\Software\IMAGINE Editions\HelloDOC\<section>, value <key>. A value longer than the
 * 260-byte buffer is cut, never left unterminated. */
HDAPI_DECL int HDAPI_CALL HDGetApplicationInfo(const char* section, const char* key, char* buffer) {
    if (buffer == NULL) return 0;
    buffer[0] = 0;
    if (section == NULL || key == NULL) return 0;
    char path[512];
    if (snprintf(path, sizeof path, "Software\\IMAGINE Editions\\HelloDOC\\%s", section) >= (int)sizeof path)
        return 0;
    HKEY hkey;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_QUERY_VALUE, &hkey) != ERROR_SUCCESS) return 0;
    int ok = 0;
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(hkey, key, NULL, &type, NULL, &size) == ERROR_SUCCESS &&
        (type == REG_SZ || type == REG_EXPAND_SZ)) {
        HGLOBAL h = GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, size + 1);
        char* value = (char*)h;
        DWORD got = size;
        if (value != NULL && RegQueryValueExA(hkey, key, NULL, &type, (BYTE*)value, &got) == ERROR_SUCCESS) {
            CabCopyText(buffer, HOST_PATH_SIZE, value, got);
            ok = 1;
        }
        if (h != NULL) GlobalFree(h);
    }
    RegCloseKey(hkey);
    return ok;
}

/* ---- pass table --------------------------------------------------------------------------------- */

static void LoadPassesLocked(void) {
    char path[CAB_PATH_SIZE];
    g_passes.clear();
    if (JoinPath(path, sizeof path, g_root, "passes.txt")) {
        try {
            CabLoadPasses(path, &g_passes);
        } catch (const std::bad_alloc&) {
            g_passes.clear();
        }
    }
    g_passesLoaded = 1;
}

HDAPI_DECL HGLOBAL HDAPI_CALL OpenPasses(void) {
    Lock();
    LoadPassesLocked();
    Unlock();
    return NewBlock(PASS_RECORD_SIZE);
}

HDAPI_DECL void HDAPI_CALL ClosePasses(HGLOBAL passes) {
    if (passes != NULL) GlobalFree(passes);
}

HDAPI_DECL int HDAPI_CALL ReadPasses(int index, void* passRecord, char* cabinetName) {
    int found = 0;
    Lock();
    if (!g_passesLoaded) LoadPassesLocked();
    const CabPass* p = index >= 1 && (size_t)index <= g_passes.size() ? &g_passes[(size_t)index - 1] : NULL;
    if (passRecord != NULL) {
        PutText(passRecord, PASS_STRING, PASS_STRING_SIZE, p != NULL ? p->pass : "");
        PutText(passRecord, PASS_DIRECTORY, PASS_DIRECTORY_SIZE, p != NULL ? p->directory : "");
    }
    if (cabinetName != NULL)
        CabCopyText(cabinetName, CABINET_NAME_SIZE, p != NULL ? p->name : "", CABINET_NAME_SIZE);
    found = p != NULL;
    Unlock();
    return found;
}

/* ---- tables ------------------------------------------------------------------------------------- */

/* The record block of a table: `recordSize` bytes, unless a test asked for another block. */
static HGLOBAL NewTableBlock(size_t recordSize) {
    if (g_faultTableBlockSize == NO_TABLE_BLOCK_FAULT) return NewBlock(recordSize);
    if (g_faultTableBlockSize > 0) return NewBlock((size_t)g_faultTableBlockSize);
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_DISCARDABLE, 64);
    if (h != NULL) GlobalDiscard(h);
    return h;
}

HDAPI_DECL HGLOBAL HDAPI_CALL OpenPatients(int mode) {
    (void)mode;
    return NewTableBlock(PATIENT_RECORD_SIZE);
}
HDAPI_DECL void HDAPI_CALL ClosePatients(HGLOBAL table) {
    if (table != NULL) GlobalFree(table);
}
HDAPI_DECL HGLOBAL HDAPI_CALL OpenDossiers(int a, int b, int c, int d) {
    (void)a;
    (void)b;
    (void)c;
    (void)d;
    return NewTableBlock(FOLDER_RECORD_SIZE);
}
HDAPI_DECL void HDAPI_CALL CloseDossiers(HGLOBAL table) {
    if (table != NULL) GlobalFree(table);
}
HDAPI_DECL HGLOBAL HDAPI_CALL OpenInfoSesam(int mode) {
    (void)mode;
    return NewTableBlock(INFOSESAM_RECORD_SIZE);
}
HDAPI_DECL void HDAPI_CALL CloseInfoSesam(HGLOBAL table) {
    if (table != NULL) GlobalFree(table);
}
HDAPI_DECL HGLOBAL HDAPI_CALL OpenExtensions(int mode) {
    (void)mode;
    return NewTableBlock(EXTENSIONS_RECORD_SIZE);
}
HDAPI_DECL void HDAPI_CALL CloseExtensions(HGLOBAL table) {
    if (table != NULL) GlobalFree(table);
}
HDAPI_DECL HGLOBAL HDAPI_CALL OpenFileOrdonnances(int mode) {
    (void)mode;
    return NewBlock(FILE_HEADER_BUFFER_SIZE);
}
HDAPI_DECL void HDAPI_CALL CloseFileOrdonnances(HGLOBAL table) {
    if (table != NULL) GlobalFree(table);
}
HDAPI_DECL HGLOBAL HDAPI_CALL OpenFileCourriers(int mode) {
    (void)mode;
    return NewBlock(FILE_HEADER_BUFFER_SIZE);
}
HDAPI_DECL void HDAPI_CALL CloseFileCourriers(HGLOBAL table) {
    if (table != NULL) GlobalFree(table);
}

/* ---- index walks -------------------------------------------------------------------------------- */

static long* CursorOf(int index) {
    switch (index) {
    case INDEX_FOLDERS:
        return &g_cursorFolders;
    case INDEX_PRESCRIPTION_FILES:
        return &g_cursorPrescriptionFiles;
    case INDEX_LETTER_FILES:
        return &g_cursorLetterFiles;
    default:
        return NULL;
    }
}

HDAPI_DECL int HDAPI_CALL HDNumberOfKey(int index) {
    Lock();
    const CabIndex* ix = CabGetIndex(&g_cabinet, index);
    int n = ix != NULL ? (int)ix->walk.size() : 0;
    if (g_faultKeyCount != NO_KEY_COUNT_FAULT) n = g_faultKeyCount;
    Unlock();
    return n;
}

/* Moves the cursor of the index to pos (first) or one further, and reports the entry there. */
static DWORD WalkLocked(int index, char* keyText, int first) {
    long* cursor = CursorOf(index);
    const CabIndex* ix = CabGetIndex(&g_cabinet, index);
    if (keyText != NULL) keyText[0] = 0;
    if (cursor == NULL || ix == NULL) return 0;
    if (index != INDEX_FOLDERS) g_lastFileIndex = index;
    long size = (long)ix->walk.size();
    if (first)
        *cursor = 0;
    else if (*cursor < size)
        (*cursor)++;
    const CabEntry* e = CabWalkEntry(&g_cabinet, index, *cursor);
    if (e == NULL) {
        *cursor = size;
        return 0;
    }
    if (keyText != NULL) CabKeyText(keyText, KEY_TEXT_SIZE, e);
    if (keyText != NULL && g_faultUnterminatedKey != 0 && e->key == g_faultUnterminatedKey)
        memset(keyText, 'K', KEY_TEXT_SIZE);
    return e->key;
}

HDAPI_DECL DWORD HDAPI_CALL HDFirstKey(int index, char* keyText) {
    Lock();
    DWORD key = WalkLocked(index, keyText, 1);
    Unlock();
    return key;
}

HDAPI_DECL DWORD HDAPI_CALL HDNextKey(int index, char* keyText) {
    Lock();
    DWORD key = WalkLocked(index, keyText, 0);
    Unlock();
    return key;
}

HDAPI_DECL int HDAPI_CALL GetDossiersType(char* keyText, int fileIndex) {
    (void)keyText;
    Lock();
    int index = fileIndex == 0 ? INDEX_FOLDERS : g_lastFileIndex;
    const CabEntry* e = CabWalkEntry(&g_cabinet, index, *CursorOf(index));
    int type = e != NULL ? e->type : 0;
    if (g_quirks & QUIRK_TYPE_HIGH) type = (int)(TypeHighBits | (uint32_t)type);
    Unlock();
    return type;
}

HDAPI_DECL DWORD HDAPI_CALL HDFindKey(int index, const char* keyText) {
    Lock();
    const CabEntry* e = CabWalkEntry(&g_cabinet, index, CabFindKeyText(&g_cabinet, index, keyText));
    DWORD key = e != NULL ? e->key : 0;
    Unlock();
    return key;
}

HDAPI_DECL void HDAPI_CALL MakeInfoSesamKey(char* keyText, int patient) {
    int locked = ClockOnlyLock();
    if (keyText != NULL) CabSesamKeyText(keyText, KEY_TEXT_SIZE, patient);
    ClockOnlyUnlock(locked);
}

HDAPI_DECL void HDAPI_CALL MakeExtensionsKey(char* keyText, int patient) {
    int locked = ClockOnlyLock();
    if (keyText != NULL) CabExtensionsKeyText(keyText, KEY_TEXT_SIZE, patient);
    ClockOnlyUnlock(locked);
}

/* ---- records ------------------------------------------------------------------------------------ */

/* A name field: the name and its terminator, or under names-padded the whole field, the name
 * followed by spaces and no terminator. */
static void PutName(void* record, size_t offset, size_t size, const char* name) {
    if ((g_quirks & QUIRK_NAMES_PADDED) == 0) {
        PutText(record, offset, size, name);
        return;
    }
    char* field = (char*)record + offset;
    size_t n = strnlen(name, size);
    memset(field, ' ', size);
    memcpy(field, name, n);
}

/* An unknown patient leaves the record as it is: the caller empties the names beforehand. */
HDAPI_DECL int HDAPI_CALL ReadPatients(void* patientRecord, int mode) {
    (void)mode;
    if (patientRecord == NULL) return 0;
    Lock();
    const CabPatient* p = CabFindPatient(&g_cabinet, (int32_t)GetU32(patientRecord, PATIENT_NUMBER));
    if (p != NULL) {
        PutName(patientRecord, PATIENT_LAST_NAME, PATIENT_LAST_NAME_SIZE, p->lastName);
        PutName(patientRecord, PATIENT_FIRST_NAME, PATIENT_FIRST_NAME_SIZE, p->firstName);
        PutU32(patientRecord, PATIENT_BIRTH_DATE, p->birth);
        PutText(patientRecord, PATIENT_SS_NUMBER, PATIENT_SS_NUMBER_SIZE, p->ssNumber);
    }
    Unlock();
    return FoundResult(p != NULL);
}

HDAPI_DECL int HDAPI_CALL ReadDossiers2(DWORD key, void* folderRecord) {
    Lock();
    const CabEntry* e = CabFindEntry(&g_cabinet, INDEX_FOLDERS, key);
    if (folderRecord != NULL && !LeavesUntouched(e)) PutHeader(folderRecord, e);
    Unlock();
    return FoundResult(e != NULL && folderRecord != NULL);
}

/* A file-table header at the start of the caller's 512-byte buffer. */
static int ReadFileHeader(int index, DWORD key, void* buffer) {
    Lock();
    const CabEntry* e = CabFindEntry(&g_cabinet, index, key);
    if (buffer != NULL && !LeavesUntouched(e)) {
        memset(buffer, 0, FILE_HEADER_BUFFER_SIZE);
        PutHeader(buffer, e);
    }
    Unlock();
    return FoundResult(e != NULL && buffer != NULL);
}

HDAPI_DECL int HDAPI_CALL ReadFileOrdonnances(DWORD key, void* buffer, int mode) {
    (void)mode;
    return ReadFileHeader(INDEX_PRESCRIPTION_FILES, key, buffer);
}

HDAPI_DECL int HDAPI_CALL ReadFileCourriers(DWORD key, void* buffer, int mode) {
    (void)mode;
    return ReadFileHeader(INDEX_LETTER_FILES, key, buffer);
}

HDAPI_DECL int HDAPI_CALL ReadInfoSesam(DWORD key, void* record) {
    if (record == NULL) return 0;
    Lock();
    const CabEntry* e = CabFindEntry(&g_cabinet, INDEX_FOLDERS, key);
    if (e != NULL && e->kind != CAB_KIND_SESAM) e = NULL;
    if (!LeavesUntouched(e))
        PutText(record, INFOSESAM_SCHEME_CODE, INFOSESAM_SCHEME_CODE_SIZE, e != NULL ? e->text : "");
    Unlock();
    return FoundResult(e != NULL);
}

/* ---- texts -------------------------------------------------------------------------------------- */

/* The text of the document with this key in the index, when it is a document of the wanted type.
 * The header gets the document's 45 common bytes, zeros up to the smaller header size. */
static HGLOBAL ReadDocument(int index, DWORD key, int wantedType, void* header) {
    HGLOBAL h = NULL;
    Lock();
    const CabEntry* e = CabFindEntry(&g_cabinet, index, key);
    if (e != NULL && (e->kind != CAB_KIND_DOCUMENT || e->type != wantedType)) e = NULL;
    if (header != NULL && !LeavesUntouched(e)) {
        memset(header, 0, PRESCRIPTION_HEADER_SIZE);
        PutHeader(header, e);
    }
    if (e != NULL) {
        h = GlobalAlloc(GMEM_MOVEABLE, (SIZE_T)e->bodyLength + 1);
        char* text = h != NULL ? (char*)GlobalLock(h) : NULL;
        long n = text != NULL ? CabReadText(&g_cabinet, e, text) : -1;
        if (text != NULL) GlobalUnlock(h);
        if (n < 0 && h != NULL) {
            GlobalFree(h);
            h = NULL;
        }
    }
    Unlock();
    return h;
}

HDAPI_DECL HGLOBAL HDAPI_CALL ReadXMLOrdonnances(DWORD key, void* header, int mode) {
    (void)mode;
    return ReadDocument(INDEX_FOLDERS, key, DOC_TYPE_PRESCRIPTION, header);
}

HDAPI_DECL HGLOBAL HDAPI_CALL ReadXMLCourriers(DWORD key, void* header, int mode) {
    (void)mode;
    return ReadDocument(INDEX_FOLDERS, key, DOC_TYPE_LETTER, header);
}

HDAPI_DECL HGLOBAL HDAPI_CALL ReadXMLFileOrdonnances(DWORD key, void* header) {
    return ReadDocument(INDEX_PRESCRIPTION_FILES, key, DOC_TYPE_PRESCRIPTION, header);
}

HDAPI_DECL HGLOBAL HDAPI_CALL ReadXMLFileCourriers(DWORD key, void* header) {
    return ReadDocument(INDEX_LETTER_FILES, key, DOC_TYPE_LETTER, header);
}

/* The extensions of a patient as a small XML text; field 218 holds the insurance scheme code:
 *   <extensions patient="1234"><field id="218">3</field></extensions> */
HDAPI_DECL HGLOBAL HDAPI_CALL ReadXMLExtensions(DWORD key, void* record) {
    (void)record;
    char xml[160];
    int length = -1;
    Lock();
    const CabEntry* e = CabFindEntry(&g_cabinet, INDEX_FOLDERS, key);
    if (e != NULL && e->kind == CAB_KIND_EXTENSIONS)
        length =
            snprintf(xml, sizeof xml, "<extensions patient=\"%d\"><field id=\"%d\">%d</field></extensions>",
                     (int)e->patient, (int)EXTENSIONS_SCHEME_FIELD, (int)e->code);
    Unlock();
    if (length < 0 || length >= (int)sizeof xml) return NULL;
    return NewTextBlock(xml, (size_t)length);
}

/* The integer of <field id="N">…</field> in an XML text handle; 0 when absent. Reads no further than
 * the block's size, terminated or not. */
static int XGetIntOf(HGLOBAL xml, int field) {
    if (xml == NULL) return 0;
    SIZE_T size = GlobalSize(xml);
    const char* text = size > 0 ? (const char*)GlobalLock(xml) : NULL;
    if (text == NULL) return 0;
    size_t length = 0;
    while (length < size && text[length] != 0)
        length++;
    char needle[40];
    int n = snprintf(needle, sizeof needle, "<field id=\"%d\">", field);
    int value = 0;
    for (size_t i = 0; n > 0 && i + (size_t)n <= length; i++) {
        if (memcmp(text + i, needle, (size_t)n) != 0) continue;
        size_t j = i + (size_t)n;
        int negative = j < length && text[j] == '-';
        if (negative) j++;
        long long v = 0;
        while (j < length && text[j] >= '0' && text[j] <= '9' && v < 0x80000000LL)
            v = v * 10 + (text[j++] - '0');
        if (v > 0x7FFFFFFFLL) v = 0x7FFFFFFFLL;
        value = (int)(negative ? -v : v);
        break;
    }
    GlobalUnlock(xml);
    return value;
}

HDAPI_DECL int HDAPI_CALL XGetInt(HGLOBAL xml, int field) {
    int locked = ClockOnlyLock();
    int value = XGetIntOf(xml, field);
    ClockOnlyUnlock(locked);
    return value;
}

/* ---- dates -------------------------------------------------------------------------------------- */

HDAPI_DECL DWORD HDAPI_CALL Today(void) {
    Lock();
    PackedDate today = g_cabinetOpen ? g_cabinet.today : 0;
    if (today == 0) {
        SYSTEMTIME st;
        GetLocalTime(&st);
        today = (PackedDate)st.wYear << 16 | (PackedDate)st.wMonth << 8 | st.wDay;
    }
    Unlock();
    return today;
}

HDAPI_DECL DWORD HDAPI_CALL GetAge(DWORD birthDate, DWORD today) {
    int locked = ClockOnlyLock();
    DWORD age = CabAge(birthDate, today);
    ClockOnlyUnlock(locked);
    return age;
}
