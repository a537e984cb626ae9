/* Opening the current cabinet and checking the host version.
 *
 * The practice software records in the registry the cabinets root directory and the name of the
 * cabinet it used last, with that cabinet's directory. The pass that opens the cabinet comes from
 * the host's pass table, found by the directory name ignoring case. Before opening, the version of
 * the host's HDSV.DLL decides Host.HostApiLevel. Nothing here stops the main window from opening: every
 * failure ends up as a message box (through base/ui.h) and the window goes on.
 *
 * Registry values are read into 260-byte buffers and checked by AcceptRegistryText: a missing,
 * non-string or too long value leaves its text empty (host/cabinet.h says why). An empty cabinet
 * name is not looked up as a value name, which would read the key's default value.
 *
 * The pass table walk stops at the first record whose directory matches, or after the call that
 * reports the end of the table (that record is still compared once). The walk is also bounded, so
 * a host that never reports the end cannot hang the window.
 *
 * A version resource that no memory can be found for counts as a version that cannot be read: the
 * user is told "Impossible de trouver la version d'HDSV" and the window goes on at level 0. */
#include "host/cabinet_win.h"

#include "base/alloc.h"
#include "base/str.h"
#include "base/ui.h"
#include "host/cabinet.h"
#include "host/hdapi.h"
#include "host/records.h"
#include "resources/ids.h"

enum { MAX_PASS_RECORDS = 65536, MESSAGE_SIZE = 260 };

static const char HOST_PATHS_KEY[] = "Software\\IMAGINE Editions\\HelloDOC\\Chemins";
static const char HOST_CABINETS_KEY[] = "Software\\IMAGINE Editions\\HelloDOC\\Cabinets";

/* Reads string value `name` of an open key (or of no key) into out[CABINET_TEXT_SIZE]. */
static void ReadRegistryText(HKEY key, const char* name, char* out) {
    DWORD type = 0, length = CABINET_TEXT_SIZE;
    LONG rc = ERROR_FILE_NOT_FOUND;
    if (key != NULL) rc = RegQueryValueExA(key, name, NULL, &type, (BYTE*)out, &length);
    int ok = rc == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ);
    AcceptRegistryText(out, CABINET_TEXT_SIZE, ok, ok ? length : 0);
}

static HKEY OpenUserKey(const char* path) {
    HKEY key = NULL;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return NULL;
    return key;
}

/* The cabinets root, the name of the cabinet used last and its directory. */
static void ReadCabinetSettings(void) {
    HKEY paths = OpenUserKey(HOST_PATHS_KEY);
    ReadRegistryText(paths, "Cabinets", Host.CabinetsRoot);
    if (paths) RegCloseKey(paths);

    HKEY cabinets = OpenUserKey(HOST_CABINETS_KEY);
    ReadRegistryText(cabinets, "Dernier", Host.CabinetName);
    if (Host.CabinetName[0] != 0)
        ReadRegistryText(cabinets, Host.CabinetName, Host.CabinetDirectory);
    else
        Host.CabinetDirectory[0] = 0;
    if (cabinets) RegCloseKey(cabinets);
}

/* Walks the pass table for the record of the cabinet directory; fills pass[passSize] (empty when
 * no record matches) and the cabinet-name buffer the host fills on each read. */
static void FindCabinetPass(char* pass, size_t passSize, char* cabinetName) {
    pass[0] = 0;
    cabinetName[0] = 0;
    HGLOBAL passes = OpenPasses();
    if (passes == NULL) return;
    char* record = (char*)GlobalLock(passes);
    SIZE_T recordSize = GlobalSize(passes);
    if (record != NULL && recordSize > PASS_DIRECTORY) {
        size_t directoryRoom = recordSize - PASS_DIRECTORY;
        if (directoryRoom > PASS_DIRECTORY_SIZE) directoryRoom = PASS_DIRECTORY_SIZE;
        for (int index = 1; index <= MAX_PASS_RECORDS; index++) {
            int more = ReadPasses(index, record, cabinetName);
            cabinetName[CABINET_NAME_SIZE - 1] = 0;
            if (StrEqualNoCase1252N(record + PASS_DIRECTORY, Host.CabinetDirectory, directoryRoom)) {
                StrCopyN(pass, passSize, record + PASS_STRING, PASS_STRING_SIZE);
                break;
            }
            if (more == 0) break;
        }
    }
    if (record != NULL) GlobalUnlock(passes);
    ClosePasses(passes);
}

int CheckHostVersion(int32_t* level) {
    char path[MAX_PATH + 16];
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return 0;
    if (path[length - 1] != '\\' && !StrAppend(path, sizeof path, "\\")) return 0;
    if (!StrAppend(path, sizeof path, "HDSV.DLL")) return 0;

    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(path, &ignored);
    if (size == 0) return 0;
    void* data = SondrelAlloc(size, 1);
    if (data == NULL) return 0;
    VS_FIXEDFILEINFO* info = NULL;
    UINT infoLength = 0;
    if (!GetFileVersionInfoA(path, 0, size, data) ||
        !VerQueryValueA(data, "\\", (void**)&info, &infoLength) || info == NULL ||
        infoLength < sizeof *info) {
        SondrelFree(data);
        return 0; /* no usable version resource: no message */
    }
    unsigned major = HIWORD(info->dwFileVersionMS);
    unsigned minor = LOWORD(info->dwFileVersionMS);
    int found = HostLevelFromVersion(major, minor);
    if (found != 0) {
        *level = found;
        SondrelFree(data);
        return 1;
    }
    char text[MESSAGE_SIZE], caption[MESSAGE_SIZE];
    StrFormat(text, sizeof text, "Impossible de trouver la version d'HDSV (%u.%u)", major, minor);
    StrFormat(caption, sizeof caption, "Sondrel %d.%d", SONDREL_VERSION_MAJOR, SONDREL_VERSION_MINOR);
    ShowMessageBox(NULL, text, caption, MB_OK | MB_ICONERROR);
    SondrelFree(data);
    return 0;
}

void OpenCurrentCabinet(HWND owner) {
    ReadCabinetSettings();
    HDSetPathCabinet(Host.CabinetsRoot);
    char pass[CABINET_TEXT_SIZE];
    char cabinetName[CABINET_NAME_SIZE];
    FindCabinetPass(pass, sizeof pass, cabinetName);
    if (!CheckHostVersion(&Host.HostApiLevel))
        ShowMessageBox(owner, "Impossible de trouver la version d'HDSV", "Sondrel", MB_OK | MB_ICONERROR);
    if (HDOpenCabinet(Host.CabinetsRoot, cabinetName, Host.CabinetDirectory, pass) == 0)
        ShowMessageBox(owner, "Impossible d'ouvrir le cabinet par défaut", "Sondrel", MB_OK | MB_ICONERROR);
}
