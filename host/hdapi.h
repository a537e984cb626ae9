/* The practice software's access library, HDAPI5.DLL, as this program calls it.
 *
 * Every operation the program uses is declared here, and nowhere else. The library exports its
 * functions under undecorated names; the calling convention is set by the one macro below, so that
 * matching another build of the library means changing one line. The import library is made from
 * host/HDAPI5.def (keep both in step: the number after "@" is the bytes of arguments, 4 each).
 *
 * Handles returned by the Open* operations and by the text reads are Windows movable-memory handles.
 * A text handle belongs to the caller, who locks it, reads the zero-terminated text, unlocks it and
 * frees it with GlobalFree. Record layouts are in host/records.h. */
#ifndef SONDREL_HOST_HDAPI_H
#define SONDREL_HOST_HDAPI_H

#include <windows.h>

#ifndef HDAPI_CALL
#define HDAPI_CALL __stdcall
#endif

#ifdef SONDREL_BUILDING_HDAPI
#define HDAPI_DECL extern "C" __declspec(dllexport)
#else
#define HDAPI_DECL extern "C" __declspec(dllimport)
#endif

/* Session and cabinet. */
HDAPI_DECL int HDAPI_CALL HDOpenSession(int mode);
HDAPI_DECL void HDAPI_CALL HDCloseSession(void);
HDAPI_DECL int HDAPI_CALL HDSetPathCabinet(const char* cabinetsRoot);
/* Non-zero on success. */
HDAPI_DECL int HDAPI_CALL HDOpenCabinet(const char* cabinetsRoot, const char* cabinetName,
                                        const char* cabinetDirectory, const char* pass);
HDAPI_DECL void HDAPI_CALL HDCloseCabinet(void);
/* section "Chemins", key "Programmes": the host programs directory (buffer of 260 bytes). */
HDAPI_DECL int HDAPI_CALL HDGetApplicationInfo(const char* section, const char* key, char* buffer);

/* Pass table: one locked pass record, read 1-based; ReadPasses gives 0 past the last record. */
HDAPI_DECL HGLOBAL HDAPI_CALL OpenPasses(void);
HDAPI_DECL void HDAPI_CALL ClosePasses(HGLOBAL passes);
HDAPI_DECL int HDAPI_CALL ReadPasses(int index, void* passRecord, char* cabinetName);

/* Tables. The handle is locked by the caller for the whole use, then unlocked and handed back. */
HDAPI_DECL HGLOBAL HDAPI_CALL OpenPatients(int mode);
HDAPI_DECL void HDAPI_CALL ClosePatients(HGLOBAL table);
/* OpenDossiers is given FOLDER_TABLE_MODE, 0, 0, 0 by every caller. */
enum { FOLDER_TABLE_MODE = 1365 };
HDAPI_DECL HGLOBAL HDAPI_CALL OpenDossiers(int a, int b, int c, int d);
HDAPI_DECL void HDAPI_CALL CloseDossiers(HGLOBAL table);
HDAPI_DECL HGLOBAL HDAPI_CALL OpenInfoSesam(int mode);
HDAPI_DECL void HDAPI_CALL CloseInfoSesam(HGLOBAL table);
HDAPI_DECL HGLOBAL HDAPI_CALL OpenExtensions(int mode);
HDAPI_DECL void HDAPI_CALL CloseExtensions(HGLOBAL table);
HDAPI_DECL HGLOBAL HDAPI_CALL OpenFileOrdonnances(int mode);
HDAPI_DECL void HDAPI_CALL CloseFileOrdonnances(HGLOBAL table);
HDAPI_DECL HGLOBAL HDAPI_CALL OpenFileCourriers(int mode);
HDAPI_DECL void HDAPI_CALL CloseFileCourriers(HGLOBAL table);

/* Indexes: 39 patient folders, 282 prescription files, 284 letter files. Key texts are 64 bytes. */
HDAPI_DECL int HDAPI_CALL HDNumberOfKey(int index);
HDAPI_DECL DWORD HDAPI_CALL HDFirstKey(int index, char* keyText);
HDAPI_DECL DWORD HDAPI_CALL HDNextKey(int index, char* keyText);
/* Type of the current entry: fileIndex 0 for index 39, 1 for a file index. */
HDAPI_DECL int HDAPI_CALL GetDossiersType(char* keyText, int fileIndex);
HDAPI_DECL DWORD HDAPI_CALL HDFindKey(int index, const char* keyText);
HDAPI_DECL void HDAPI_CALL MakeInfoSesamKey(char* keyText, int patient);
HDAPI_DECL void HDAPI_CALL MakeExtensionsKey(char* keyText, int patient);

/* Records. */
HDAPI_DECL int HDAPI_CALL ReadPatients(void* patientRecord, int mode);
HDAPI_DECL int HDAPI_CALL ReadDossiers2(DWORD key, void* folderRecord);
HDAPI_DECL int HDAPI_CALL ReadFileOrdonnances(DWORD key, void* buffer, int mode);
HDAPI_DECL int HDAPI_CALL ReadFileCourriers(DWORD key, void* buffer, int mode);
HDAPI_DECL int HDAPI_CALL ReadInfoSesam(DWORD key, void* record);

/* Document and XML texts: a movable-memory handle owned by the caller, 0 if none. */
HDAPI_DECL HGLOBAL HDAPI_CALL ReadXMLOrdonnances(DWORD key, void* header, int mode);
HDAPI_DECL HGLOBAL HDAPI_CALL ReadXMLCourriers(DWORD key, void* header, int mode);
HDAPI_DECL HGLOBAL HDAPI_CALL ReadXMLFileOrdonnances(DWORD key, void* header);
HDAPI_DECL HGLOBAL HDAPI_CALL ReadXMLFileCourriers(DWORD key, void* header);
HDAPI_DECL HGLOBAL HDAPI_CALL ReadXMLExtensions(DWORD key, void* record);
HDAPI_DECL int HDAPI_CALL XGetInt(HGLOBAL xml, int field);

/* Dates: PackedDate words; GetAge gives years*65536 + months*256. */
HDAPI_DECL DWORD HDAPI_CALL Today(void);
HDAPI_DECL DWORD HDAPI_CALL GetAge(DWORD birthDate, DWORD today);

#endif
