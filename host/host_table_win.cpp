/* Opening, locking and closing a host table (see host_table_win.h). */
#include "host/host_table_win.h"

#include "host/hdapi.h"

static HGLOBAL OpenTableOfKind(HostTableKind kind) {
    switch (kind) {
    case HOST_TABLE_PATIENTS:
        return OpenPatients(0);
    case HOST_TABLE_FOLDERS:
        return OpenDossiers(FOLDER_TABLE_MODE, 0, 0, 0);
    case HOST_TABLE_INFOSESAM:
        return OpenInfoSesam(0);
    case HOST_TABLE_EXTENSIONS:
        return OpenExtensions(0);
    }
    return NULL;
}

static void CloseTableOfKind(HostTableKind kind, HGLOBAL handle) {
    switch (kind) {
    case HOST_TABLE_PATIENTS:
        ClosePatients(handle);
        break;
    case HOST_TABLE_FOLDERS:
        CloseDossiers(handle);
        break;
    case HOST_TABLE_INFOSESAM:
        CloseInfoSesam(handle);
        break;
    case HOST_TABLE_EXTENSIONS:
        CloseExtensions(handle);
        break;
    }
}

void* OpenHostTable(HostTableKind kind, size_t minimumSize, HostTable* table) {
    if (table == NULL) return NULL;
    ZeroMemory(table, sizeof *table);
    table->kind = kind;
    table->handle = OpenTableOfKind(kind);
    if (table->handle == NULL) return NULL;
    table->block = GlobalLock(table->handle);
    if (table->block == NULL) return NULL;
    table->size = GlobalSize(table->handle);
    if (table->size < minimumSize) return NULL;
    table->record = table->block;
    return table->record;
}

void CloseHostTable(HostTable* table) {
    if (table == NULL) return;
    if (table->block != NULL) GlobalUnlock(table->handle);
    if (table->handle != NULL) CloseTableOfKind(table->kind, table->handle);
    ZeroMemory(table, sizeof *table);
}
