/* The result list (list view 217 of the main window): its columns, its rows and the summary.
 *
 * CreateResultColumns inserts the list's nine columns. Called once while the main window
 * initialises.
 *
 * FillResultList rebuilds every row from Results.PatientHitsTable, in ascending patient number, one row per
 * patient with results; each row carries its patient's PatientHits record as item data. It reads
 * each patient's identity through the three locked host records its caller opened, and ends by
 * writing the summary into part 2 of the status bar. Called on the search thread at the end of a
 * run and on the interface thread after an import; it touches the list only through messages.
 * Called on another thread than the list's, it reads the host there while the list's thread inserts
 * the rows already read, and returns once every row is in; the list's thread then draws the list
 * and writes the summary before it handles any message this thread sends it afterwards.
 *
 * The rows' texts are not stored in the list: each row is inserted with LPSTR_TEXTCALLBACKA and its
 * cells are answered on request by AnswerResultCell, from the row's PatientHits record (the cells
 * read from the host are kept with the record, see rowTexts in search/hits.h). To anyone who reads
 * the list (LVM_GETITEMA, LVM_GETITEMTEXTA, painting) it gives the texts it would have stored. */
#ifndef SONDREL_SEARCH_RESULT_LIST_H
#define SONDREL_SEARCH_RESULT_LIST_H

#include <stddef.h>
#include <windows.h>

#include <commctrl.h>

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
 * then deletes every row; called from another thread, it waits until the list's thread has done so.
 * The search run starts the same release without waiting (below). */
void ReleaseListedRecords(HWND mainWindow);

/* The same release, not waited for when the list lives on another thread: it is sent there with
 * SendNotifyMessageA and carried out before any message this thread sends the list's thread after
 * it (sent messages are handled in the order they came), so a later fill never meets the old rows
 * and no cell is answered from a released record (the release detaches the rows first). The records
 * stay valid until then: only the release frees them. Elsewhere (the list's own thread, a list
 * without the subclass, a send that fails) it releases at once, as ReleaseListedRecords. The search
 * run calls it after emptying Results.PatientHitsTable. */
void StartReleasingListedRecords(HWND mainWindow);

/* Has the list's thread, when the list lives on another thread, read the scheme table ahead of the
 * next fill, without waiting for it: a run calls it once its keys are collected, so that the file
 * (about 0.4 ms a name under Wine) is read while the run scans instead of at the start of its fill;
 * the fill then only checks that the file is unchanged. The read is carried out before any message this
 * thread later sends the list's thread, as the release is. Elsewhere it does nothing: the fill reads the
 * table. */
void StartReadingSchemeTable(HWND mainWindow);

/* LVN_GETDISPINFOA from list 217, passed on by the main window: writes the asked cell of the row
 * into the request's buffer, cut to its cchTextMax (terminator included) and always terminated. */
void AnswerResultCell(NMLVDISPINFOA* request);

/* Says that the hit table is about to change under rows already listed (the import, before it
 * applies its lines, may release records that rows still carry): until the next fill, rows are
 * answered with empty cells instead of from their records. */
void DetachResultRows(void);

/* Test switch: non-zero marks the eight sub-items of every row LPSTR_TEXTCALLBACKA, as a list that
 * does not ask for never-set sub-items needs, whatever the fill's probe found. 0 (the default): the
 * probe decides. */
void MarkResultSubItemsAlways(int always);

/* Lets go of the scheme table that fills keep while the scheme file is unchanged: the next fill
 * reads the file again. Called when the main window goes, and by tests that count blocks. */
void ForgetSchemeTable(void);

/* The scheme name for `code` as the scheme file gives it, or an empty output. Reads the file. */
void LookupSchemeName(char* output, size_t size, int code);

#endif
