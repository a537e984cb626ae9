// The three tables a list fill reads, opened and locked through host/host_table_win.h as a run
// opens them, for tests that fill the result list themselves.
#ifndef SONDREL_TESTS_WINDOWS_HOST_TABLE_SUPPORT_H
#define SONDREL_TESTS_WINDOWS_HOST_TABLE_SUPPORT_H

#include <windows.h>

#include "host/host_table_win.h"
#include "host/records.h"
#include "search/result_list.h"

// Open for the object's lifetime; each record is NULL when its table cannot be read.
struct FillTables {
    HostTable patients, sesam, extensions;
    void* patient;
    void* insurance;
    void* extension;
    FillTables() {
        patient = OpenHostTable(HOST_TABLE_PATIENTS, PATIENT_RECORD_SIZE, &patients);
        insurance = OpenHostTable(HOST_TABLE_INFOSESAM, INFOSESAM_RECORD_SIZE, &sesam);
        extension = OpenHostTable(HOST_TABLE_EXTENSIONS, EXTENSIONS_RECORD_SIZE, &extensions);
    }
    ~FillTables() {
        CloseHostTable(&patients);
        CloseHostTable(&sesam);
        CloseHostTable(&extensions);
    }
    FillTables(const FillTables&) = delete;
    FillTables& operator=(const FillTables&) = delete;
};

// StandinSetTableBlockSize of the stand-in HDAPI5.DLL (test-only export): the size of the blocks
// the four record tables hand out, 0 for a block that cannot be locked, -1 for the true size.
// Returns false when the library does not have it.
inline bool StandinTableBlockSize(int size) {
    typedef void (*SetTableBlockSizeFn)(int);
    SetTableBlockSizeFn set = (SetTableBlockSizeFn)(void*)GetProcAddress(GetModuleHandleA("HDAPI5.DLL"),
                                                                         "StandinSetTableBlockSize");
    if (set == NULL) return false;
    set(size);
    return true;
}

// Sets a faulty block size for its lifetime and the true size again at its end.
struct FaultyTableBlocks {
    bool set;
    explicit FaultyTableBlocks(int size) : set(StandinTableBlockSize(size)) {}
    ~FaultyTableBlocks() { StandinTableBlockSize(-1); }
    FaultyTableBlocks(const FaultyTableBlocks&) = delete;
    FaultyTableBlocks& operator=(const FaultyTableBlocks&) = delete;
};

// Fills list 217 from the hit table as a run ends; the summary counts its time from `startTick`.
inline void FillWithHostTables(HWND dialog, DWORD startTick = GetTickCount()) {
    FillTables tables;
    FillResultList(dialog, tables.patient, tables.insurance, tables.extension, startTick);
}

#endif
