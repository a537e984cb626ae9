/* The search run (see search_run.h).
 *
 * One run, on the thread the main window created for it: read the mode and the text from the
 * window, clear the previous results, open the host tables, collect and sort the keys of every
 * document of the wanted kind, read and match each document (first the patient-folder index, then
 * the file index of the family), report progress, fill the result list and close everything. The
 * run changes controls only by sending them messages, which the interface thread carries out in
 * the run's order; it reaches the window otherwise only by posting WM_CLOSE when the window asked
 * to be closed during the run. `cancelRequest` is read before every document.
 *
 * Decisions of this implementation:
 *   - Progress reports do not wait for the controls to redraw: the position and the running status
 *     are sent with SendNotifyMessageA, which delivers them as sent messages on the interface thread
 *     but returns at once (Wine's progress bar redraws itself within PBM_SETPOS, about 1.6 ms a
 *     report, which the run used to wait for). A thread handles the messages sent to it in the
 *     order they came, on Windows and under Wine alike (the documentation does not promise it), so
 *     they keep the run's order. Each report's status text has its own buffer in the run
 *     (reportTexts), since the text is read when the interface thread gets to it; the run's next
 *     waiting messages to that thread (the final position, the fill, the relabelling) return only
 *     once every earlier one has been handled, so the buffers outlive their use. Beyond the buffers
 *     (a run makes at most 49 reports) and wherever an asynchronous send fails, a report waits as
 *     before. The bar's range and first position, set before the scan, are sent the same way.
 *   - A report is one message, not two: on a main window whose progress bar PrepareRunReports has
 *     subclassed, the run sends the bar WM_RUN_REPORT with the position and the status text, and
 *     the bar's subclass, on the interface thread, sends the bar its PBM_SETPOS and the status bar
 *     its SB_SETTEXTA, in that order, as the run would have. Each message to another thread goes
 *     through the Wine server, which the interface thread keeps busy while it draws: the two sends
 *     of a report and the two control look-ups before them took the run about 0.6 ms. A bar that is
 *     not subclassed gets the two messages as before.
 *   - The previous results are released without waiting: the release goes to the list's thread as
 *     a sent message that the run does not wait for (StartReleasingListedRecords), and the run opens
 *     the tables and collects its keys while the interface thread frees the old records and deletes
 *     their rows (about 0.045 s under Wine for 12,000 rows). It is carried out before the run's next
 *     message to that thread, as the reports are; the old records are reachable only from the rows
 *     once the table is emptied, and only the release frees them.
 *   - The scheme table is read ahead in the same way: once the keys are collected, the interface
 *     thread reads the scheme file while the run scans (StartReadingSchemeTable), so the fill finds
 *     the table ready when the file has not changed meanwhile (about 0.04 s under Wine for 120
 *     names). A run that ends before its scan (no key list) asks for none.
 *   - The progress bar gets a 32-bit range (PBM_SETRANGE32), so more than 65,535 documents still
 *     show true progress instead of a range wrapped modulo 65,536.
 *   - A form search whose form chooser has no valid selection (an empty catalogue: CB_ERR, or an
 *     index beyond the catalogue) searches for the empty text: it matches nothing and lists no
 *     patient. The edit keeps its text, and no entry outside the catalogue is ever read.
 *   - A key list that cannot be allocated ends the run early: the allocation-failure box is shown,
 *     part 2 of the status bar reads "Annulé !", the tables are closed, `running` lowered, the
 *     button relabelled and a pending close carried out, as at any other end. A key count that
 *     no memory can hold (a faulty host reporting hundreds of millions of keys) takes the same
 *     path, since the allocation refuses it; a negative count is taken as 0.
 *   - A run whose own working block cannot be allocated shows the same box and does not start:
 *     the previous results and the list stay as they were.
 *   - A key text that the host leaves without a terminator in the 64-byte buffer is skipped: its
 *     key does not enter the list and its type is not asked for, since the text the host would be
 *     asked about is not the one it meant.
 *   - The folder record's type byte is cleared before each ReadDossiers2, so a key the host no longer
 *     knows reads no document instead of being taken for the previous document's type. Every read
 *     that returns no document is simply no match.
 *   - The letter and prescription headers are emptied before each text read too: a host that hands
 *     out a text without filling the header must not have the match counted for the patient, date
 *     and author of the document read before it.
 *   - GetDossiersType gives a 16-bit type: only the low half of what it returns is compared, so a
 *     host that leaves anything in the upper half of the register still has its documents found.
 *   - A table whose handle cannot be locked, or whose block is smaller than its record, is not read
 *     (host/host_table_win.h): with no folder record the first scan reads nothing; FillResultList
 *     leaves the columns of a missing record empty. */
#include "search/search_run.h"

#include <commctrl.h>
#include <stdint.h>
#include <string.h>

#include <atomic>

#include "base/alloc.h"
#include "base/str.h"
#include "base/ui.h"
#include "catalogue/form_catalogue.h"
#include "host/hdapi.h"
#include "host/host_table_win.h"
#include "host/records.h"
#include "resources/ids.h"
#include "search/fold.h"
#include "search/hits.h"
#include "search/match_win.h"
#include "search/result_format.h"
#include "search/result_list.h"
#include "search/search_run_plan.h"
#include "search/search_state.h"

/* Running status texts kept for reports sent without waiting: one per report of a run (at most 49). */
enum { REPORT_TEXTS = 50 };

/* One progress report to a subclassed progress bar: wParam the position, lParam the status text. */
enum { WM_RUN_REPORT = WM_APP + 232 };

/* What one run works with. */
typedef struct SearchRun {
    HWND window;                                    /* the main window */
    int family;                                     /* FAMILY_* */
    int fileIndex;                                  /* 282 or 284 */
    char pattern[SEARCH_TEXT_SIZE];                 /* the search text, folded */
    char display[SEARCH_TEXT_SIZE];                 /* the search text as typed, for the running status */
    HostTable patients, folders, sesam, extensions; /* tables with a record block */
    HGLOBAL fileOrdonnances, fileCourriers;         /* file table handles */
    void* patientRecord; /* the records of the tables above; NULL when one cannot be read */
    void* folderRecord;  /* (see host/host_table_win.h) */
    void* sesamRecord;
    void* extensionsRecord;
    KeyLists keys;               /* sorted keys of the wanted type from both indexes */
    char keyText[KEY_TEXT_SIZE]; /* key text of every index walk */
    unsigned char letterHeader[LETTER_HEADER_SIZE];
    unsigned char prescriptionHeader[PRESCRIPTION_HEADER_SIZE];
    ProgressCounter progress;
    HWND progressBar;                                 /* control 232, looked up once */
    int oneMessageReports;                            /* the bar takes WM_RUN_REPORT (PrepareRunReports) */
    int reports;                                      /* progress reports made so far */
    char reportTexts[REPORT_TEXTS][RESULT_CELL_SIZE]; /* each report's running status, until shown */
    DWORD SearchStartTick; /* GetTickCount at the start; the summary gives the time since */
} SearchRun;

static LRESULT SendToControl(HWND window, int id, UINT message, WPARAM wParam, LPARAM lParam) {
    return SendMessageA(GetDlgItem(window, id), message, wParam, lParam);
}

static int IsChecked(HWND window, int id) {
    return (SendToControl(window, id, BM_GETCHECK, 0, 0) & 1) != 0;
}

/* Start, steps 2 and 3: the mode (tested in the order 240, 241, 242) and the text. */
static void ReadInputs(SearchRun* run) {
    int mode = SEARCH_MODE_LETTERS;
    int noForm = 0;
    if (IsChecked(run->window, IDC_RADIO_PRESCRIPTIONS)) {
        mode = SEARCH_MODE_PRESCRIPTIONS;
    } else if (IsChecked(run->window, IDC_RADIO_FORMS)) {
        mode = SEARCH_MODE_FORM;
        int selection = (int)SendToControl(run->window, IDC_FORM_CHOOSER, CB_GETCURSEL, 0, 0);
        /* The chooser carries each entry's FormEntry as item data (FillFormCombo), so the id is the
         * one of the label the user sees even when a refresh has just published a new catalogue
         * and its refill (command 5436) has not run yet. Catalogues are never released, so the
         * pointer stays valid. A chooser filled without item data falls back to the position in
         * the published catalogue. */
        const char* formId = NULL;
        if (selection >= 0) {
            LRESULT data = SendToControl(run->window, IDC_FORM_CHOOSER, CB_GETITEMDATA, (WPARAM)selection, 0);
            if (data != CB_ERR && data != 0) formId = ((const FormEntry*)data)->formId;
        }
        if (formId == NULL) formId = FormIdAt(FormCatalogue(), selection);
        if (formId != NULL)
            SendToControl(run->window, IDC_SEARCH_TEXT, WM_SETTEXT, 0, (LPARAM)formId);
        else
            noForm = 1;
    } else if (IsChecked(run->window, IDC_RADIO_FORM_TEXT)) {
        mode = SEARCH_MODE_FORM_TEXT;
    }
    SearchShared.lastSearchMode.store(mode);
    run->family = SearchFamilyOf(mode);
    run->fileIndex = FileIndexOf(run->family);

    run->pattern[0] = 0;
    run->display[0] = 0;
    if (!noForm) {
        ReadControlText(run->window, IDC_SEARCH_TEXT, run->pattern, SEARCH_TEXT_SIZE);
        ReadControlText(run->window, IDC_SEARCH_TEXT, run->display, SEARCH_TEXT_SIZE);
    }
}

/* The host is asked in the same order as ever: patients, folders, the two file tables, social
 * insurance, extensions (the folder block is now locked before the file tables are opened, which
 * the host does not see). */
static void OpenTables(SearchRun* run) {
    run->patientRecord = OpenHostTable(HOST_TABLE_PATIENTS, PATIENT_RECORD_SIZE, &run->patients);
    run->folderRecord = OpenHostTable(HOST_TABLE_FOLDERS, FOLDER_RECORD_SIZE, &run->folders);
    run->fileOrdonnances = OpenFileOrdonnances(0);
    run->fileCourriers = OpenFileCourriers(0);
    run->sesamRecord = OpenHostTable(HOST_TABLE_INFOSESAM, INFOSESAM_RECORD_SIZE, &run->sesam);
    run->extensionsRecord = OpenHostTable(HOST_TABLE_EXTENSIONS, EXTENSIONS_RECORD_SIZE, &run->extensions);
}

static void CloseTables(SearchRun* run) {
    CloseHostTable(&run->patients);
    CloseHostTable(&run->folders);
    CloseHostTable(&run->sesam);
    CloseHostTable(&run->extensions);
    CloseFileCourriers(run->fileCourriers);
    CloseFileOrdonnances(run->fileOrdonnances);
    run->patientRecord = run->folderRecord = run->sesamRecord = run->extensionsRecord = NULL;
}

/* The host's side of the key collection (see CollectAllKeys in search_run_plan.h). */
static int HostKeyCount(void*, int index) {
    return HDNumberOfKey(index);
}

static uint32_t HostKey(void*, int index, int first, char* keyText) {
    return (uint32_t)(first ? HDFirstKey(index, keyText) : HDNextKey(index, keyText));
}

static int HostKeyType(void*, char* keyText, int fileIndexFlag) {
    return GetDossiersType(keyText, fileIndexFlag);
}

/* Sizes, allocates, fills and sorts both key lists; 0 when a list cannot be allocated. */
static int CollectRunKeys(SearchRun* run) {
    KeySource host = {HostKeyCount, HostKey, HostKeyType, NULL};
    return CollectAllKeys(&host, run->keyText, run->fileIndex, WantedDocumentType(run->family), &run->keys);
}

/* The test switch of MakeReportsWait; set by a test's thread, read by the run's. */
static std::atomic<int> ReportsWait;

void MakeReportsWait(int wait) {
    ReportsWait.store(wait != 0);
}

/* Sends a report's message to control `id`, without waiting for it to be handled unless `wait` (see
 * the decisions above); waits too when the message cannot be sent so. */
static void SendReport(HWND window, int id, int wait, UINT message, WPARAM wParam, LPARAM lParam) {
    HWND control = GetDlgItem(window, id);
    if (wait || !SendNotifyMessageA(control, message, wParam, lParam))
        SendMessageA(control, message, wParam, lParam);
}

/* The progress bar's own procedure, kept by PrepareRunReports; the program has one main window. */
static WNDPROC ProgressBarProc;

/* The bar's subclass: a run's report becomes the bar's position and then part 2 of the status bar;
 * a report without text only answers 1, which tells a run that the bar takes reports (a bar that
 * does not answers 0, as to any message it does not know). Everything else goes to the bar. */
static LRESULT CALLBACK ReportingBarProc(HWND bar, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_RUN_REPORT) {
        if (lParam == 0) return 1;
        SendMessageA(bar, PBM_SETPOS, wParam, 0);
        SendMessageA(GetDlgItem(GetParent(bar), IDC_STATUS_BAR), SB_SETTEXTA, 2, lParam);
        return 1;
    }
    return CallWindowProcA(ProgressBarProc, bar, message, wParam, lParam);
}

void PrepareRunReports(HWND mainWindow) {
    HWND bar = GetDlgItem(mainWindow, IDC_PROGRESS);
    /* A bar that already takes reports keeps its chain, whatever sits above our subclass: taking
     * its procedure as the one beneath ours would make ours call itself. */
    if (bar == NULL || (ProgressBarProc != NULL && SendMessageA(bar, WM_RUN_REPORT, 0, 0) == 1)) return;
    WNDPROC previous = (WNDPROC)SetWindowLongPtrA(bar, GWLP_WNDPROC, (LONG_PTR)ReportingBarProc);
    if (previous != NULL) ProgressBarProc = previous;
}

/* Where the run's reports go, found once per run: the bar is asked whether it takes them, since
 * another subclass may sit above ours. */
static void FindReportControls(SearchRun* run) {
    run->progressBar = GetDlgItem(run->window, IDC_PROGRESS);
    run->oneMessageReports =
        run->progressBar != NULL && SendMessageA(run->progressBar, WM_RUN_REPORT, 0, 0) == 1;
}

/* After each document: counts it, and every (step + 1)-th one reports position and status. */
static void CountAndReport(SearchRun* run) {
    if (!CountDocument(&run->progress)) return;
    int wait = run->reports >= REPORT_TEXTS || ReportsWait.load();
    char waited[RESULT_CELL_SIZE]; /* a waiting report's text is read before the send returns */
    char* status = wait ? waited : run->reportTexts[run->reports++];
    FormatRunningStatus(status, RESULT_CELL_SIZE, run->display, Results.OccurrenceTotal,
                        Results.PatientsWithHits);
    WPARAM position = (WPARAM)run->progress.processed;
    if (run->oneMessageReports) {
        if (wait || !SendNotifyMessageA(run->progressBar, WM_RUN_REPORT, position, (LPARAM)status))
            SendMessageA(run->progressBar, WM_RUN_REPORT, position, (LPARAM)status);
        return;
    }
    SendReport(run->window, IDC_PROGRESS, wait, PBM_SETPOS, position, 0);
    SendReport(run->window, IDC_STATUS_BAR, wait, SB_SETTEXTA, 2, (LPARAM)status);
}

static void ScanFolderKeys(SearchRun* run) {
    if (run->keys.folderCount == 0 || run->folderRecord == NULL) return;
    int forms = run->family == FAMILY_FORMS;
    HDFirstKey(INDEX_FOLDERS, run->keyText);
    for (int i = 0; i < run->keys.folderCount; i++) {
        if (SearchShared.SearchControl.cancelRequest.load() != 0) return;
        DWORD key = run->keys.folderKeys[i];
        ((unsigned char*)run->folderRecord)[HEADER_TYPE] = 0;
        ReadDossiers2(key, run->folderRecord);
        int type = RecordU8(run->folderRecord, HEADER_TYPE);
        if (type == DOC_TYPE_LETTER) {
            memset(run->letterHeader, 0, sizeof run->letterHeader);
            HGLOBAL text = ReadXMLCourriers(key, run->letterHeader, 0);
            if (text != NULL) MatchDocument(text, run->pattern, run->letterHeader, key, 0, forms);
        } else if (type == DOC_TYPE_PRESCRIPTION) {
            memset(run->prescriptionHeader, 0, sizeof run->prescriptionHeader);
            HGLOBAL text = ReadXMLOrdonnances(key, run->prescriptionHeader, 0);
            if (text != NULL) MatchDocument(text, run->pattern, run->prescriptionHeader, key, 0, 0);
        }
        CountAndReport(run);
    }
}

static void ScanFileKeys(SearchRun* run) {
    if (run->keys.fileCount == 0) return;
    int forms = run->family == FAMILY_FORMS;
    HDFirstKey(run->fileIndex, run->keyText);
    for (int i = 0; i < run->keys.fileCount; i++) {
        if (SearchShared.SearchControl.cancelRequest.load() != 0) return;
        DWORD key = run->keys.fileKeys[i];
        if (run->family == FAMILY_PRESCRIPTIONS) {
            memset(run->prescriptionHeader, 0, sizeof run->prescriptionHeader);
            HGLOBAL text = ReadXMLFileOrdonnances(key, run->prescriptionHeader);
            if (text != NULL) MatchDocument(text, run->pattern, run->prescriptionHeader, key, 1, 0);
        } else {
            memset(run->letterHeader, 0, sizeof run->letterHeader);
            HGLOBAL text = ReadXMLFileCourriers(key, run->letterHeader);
            if (text != NULL) MatchDocument(text, run->pattern, run->letterHeader, key, 1, forms);
        }
        CountAndReport(run);
    }
}

/* The end of every run once it is up, cancelled or not: close, lower `running`, relabel, close the
 * window when asked, free the key lists. */
static void EndRun(SearchRun* run) {
    CloseTables(run);
    int closeAsked = SearchRunFinish();
    SendToControl(run->window, IDC_LAUNCH, WM_SETTEXT, 0, (LPARAM) "Lancer");
    if (closeAsked) PostMessageA(run->window, WM_CLOSE, 0, 0);
    FreeKeyLists(&run->keys);
}

DWORD WINAPI RunSearch(LPVOID mainWindow) {
    SearchRun* run = (SearchRun*)SondrelAlloc(1, sizeof(SearchRun));
    if (run == NULL) {
        SearchRunAbandon();
        g_reportAllocationFailure();
        return 0;
    }
    run->window = (HWND)mainWindow;

    run->SearchStartTick = GetTickCount();
    ReadInputs(run);
    StrCopy(SearchShared.LastSearchText, sizeof SearchShared.LastSearchText, run->pattern);
    FoldTextInPlace(run->pattern);
    ClearHitTable();
    SearchRunBegin();
    SendToControl(run->window, IDC_LAUNCH, WM_SETTEXT, 0, (LPARAM) "Annuler");
    StartReleasingListedRecords(run->window);

    OpenTables(run);
    if (!CollectRunKeys(run)) {
        g_reportAllocationFailure();
        SendToControl(run->window, IDC_PROGRESS, PBM_SETPOS, 0, 0);
        SendToControl(run->window, IDC_STATUS_BAR, SB_SETTEXTA, 2, (LPARAM) "Annulé !");
        EndRun(run);
        SondrelFree(run);
        return 0;
    }

    int total = run->keys.folderCount + run->keys.fileCount;
    /* Like the reports, these do not wait for the bar to redraw. */
    SendReport(run->window, IDC_PROGRESS, 0, PBM_SETRANGE32, 0, (LPARAM)total);
    SendReport(run->window, IDC_PROGRESS, 0, PBM_SETPOS, 0, 0);
    StartProgress(&run->progress, total);
    FindReportControls(run);
    StartReadingSchemeTable(run->window);

    ScanFolderKeys(run);
    ScanFileKeys(run);

    /* Waits, so every report sent before it has been handled (reportTexts may go after this). */
    SendToControl(run->window, IDC_PROGRESS, PBM_SETPOS, (WPARAM)run->progress.processed, 0);
    FillResultList(run->window, run->patientRecord, run->sesamRecord, run->extensionsRecord,
                   run->SearchStartTick);
    EndRun(run);
    SondrelFree(run);
    return 0;
}
