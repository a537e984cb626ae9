/* The result list (list view 217 of the main window): its columns, its rows and the summary.
 *
 * CreateResultColumns inserts the list's nine columns. Called once while the main window
 * initialises.
 *
 * FillResultList rebuilds every row from Results.PatientHitsTable, in ascending patient number, one row per
 * patient with results; each row carries its patient's PatientHits record as item data. It reads
 * each patient's identity through the three locked host records its caller opened, and ends by
 * writing the summary into part 2 of the status bar. Called on the search thread at the end of a
 * run and on the interface thread after an import; it touches the list only through messages. */
#ifndef SONDREL_SEARCH_RESULT_LIST_H
#define SONDREL_SEARCH_RESULT_LIST_H

#include <stddef.h>
#include <windows.h>

#include "search/result_format.h"

enum { RESULT_CELL_SIZE = 500 };

void CreateResultColumns(HWND mainWindow);

/* Rebuilds the rows of list 217 and writes the summary. The three records are the locked buffers of
 * the patient, social-insurance and extensions tables (host/host_table_win.h); a NULL one is not read
 * (its columns stay empty). SearchStartTick is the tick count (GetTickCount, ms) at the start of the
 * search run or import that filled the hit table; the summary's elapsed time is measured from it. */
void FillResultList(HWND mainWindow, void* patientRecord, void* infoSesamRecord, void* extensionsRecord,
                    DWORD SearchStartTick);

/* Releases the PatientHits record that each row of list 217 carries (with its hits), from row 0 up,
 * then deletes every row. The search run calls it, after emptying Results.PatientHitsTable, before it reads
 * any document. */
void ReleaseListedRecords(HWND mainWindow);

/* The scheme name for `code` as the scheme file gives it, or an empty output. Reads the file. */
void LookupSchemeName(char* output, size_t size, int code);

#endif
