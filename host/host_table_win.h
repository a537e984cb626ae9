/* One way to open, lock and close a host table that hands out a record block.
 *
 * The patient, folder, social-insurance and extensions tables each come as a movable block that
 * the caller locks for the whole use and then unlocks and hands back. Every user of these tables
 * goes through the two operations below, with one policy:
 *   - a table the host does not open has no handle and no record;
 *   - a table whose block cannot be locked, or whose locked block is smaller than the record the
 *     caller will read (`minimumSize`), has no record: the caller reads nothing from it;
 *   - CloseHostTable unlocks what was locked and hands back what was opened, nothing else, and may
 *     be given a table that was never opened (zero-filled) or NULL.
 * The prescription and letter file tables hand out no record and are opened and closed directly. */
#ifndef SONDREL_HOST_HOST_TABLE_WIN_H
#define SONDREL_HOST_HOST_TABLE_WIN_H

#include <windows.h>

#include <stddef.h>

/* The tables that hand out a record block. */
typedef enum HostTableKind {
    HOST_TABLE_PATIENTS,  /* OpenPatients(0) / ClosePatients */
    HOST_TABLE_FOLDERS,   /* OpenDossiers(FOLDER_TABLE_MODE, 0, 0, 0) / CloseDossiers */
    HOST_TABLE_INFOSESAM, /* OpenInfoSesam(0) / CloseInfoSesam */
    HOST_TABLE_EXTENSIONS /* OpenExtensions(0) / CloseExtensions */
} HostTableKind;

/* One open table. */
typedef struct HostTable {
    HostTableKind kind; /* which table, for the matching close */
    HGLOBAL handle;     /* what the host's Open* returned; NULL when it opened nothing */
    void* block;        /* the locked block; NULL when not locked */
    void* record;       /* `block` when it holds the record the caller reads, else NULL */
    size_t size;        /* the locked block's size in bytes; 0 when not locked */
} HostTable;

/* Opens table `kind`, locks its block and returns the record: the block when it holds at least
 * `minimumSize` bytes, else NULL (also when `table` is NULL). `*table` is filled in either way and
 * must be given to CloseHostTable. */
void* OpenHostTable(HostTableKind kind, size_t minimumSize, HostTable* table);

/* Unlocks the block if it was locked, hands the table back if it was opened, and zeroes `*table`.
 * NULL does nothing. */
void CloseHostTable(HostTable* table);

#endif
