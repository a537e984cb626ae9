/* The result list: columns, rows and the summary (Win32 side of search/result_list.h).
 *
 * A fill visits all 1,048,576 slots of Results.PatientHitsTable in patient-number order, so the rows come
 * out in ascending patient number. For each patient it reads the identity from the host (patient
 * record, then the insurance scheme through the social-insurance record at host level 1 or the
 * extensions XML at level 2), inserts the row with the PatientHits record as its item data, and
 * sets the eight other cells one by one. Texts go through one 500-byte cell buffer; the authors
 * cell is given the record's own text.
 *
 * The scheme file is read once per fill into a SchemeTable and every row is looked up in it: the
 * file cannot change under a fill, so this gives what reading it for every row would, without
 * reopening an INI file ten thousand times.
 *
 * A patient the host does not know. The patient is read with ReadPatientRecord (host/records_win.h),
 * which empties the names and the social-security field and marks the birth date before the read,
 * so the previous patient's identity never shows on the row. Column 1 is always the composed name
 * of ComposePatientName, the very text the viewer's caption and the import's check compose: one
 * space for a patient the host left untouched, so that the list's own export imports again. A
 * patient the host did not read at all gets an empty age and an empty social-security number; a
 * known patient whose birth date is 0 gets the host's age for that, as any other known patient.
 *
 * A row the list refuses to insert is not listed: its record is released and its slot emptied,
 * and the two counters drop it (its patient and its occurrences), so that the summary counts what
 * the list shows and no record is left that no row will ever release.
 *
 * The scheme code. The social-insurance record's code field is emptied before each ReadInfoSesam,
 * so a read that fills nothing cannot show the previous patient's scheme: it is looked up as the
 * empty code text, which reads as code 0.
 *
 * Which thread fills. The search run calls FillResultList on its own thread, and every change to
 * the list is a message that the interface thread carries out. Sent one by one, the ten messages
 * of each row each cost a thread switch (and, under Wine, a server round trip): 10,000 rows took
 * close to a minute, against about a second when the same messages are handled on the list's own
 * thread. So CreateResultColumns subclasses the list, and FillResultList called from another
 * thread sends the list a single private message that carries out the whole fill on the interface
 * thread, while the caller waits in SendMessage exactly as it would for each row; the host is not
 * called by two threads at once, since the caller is blocked meanwhile. Called on the interface
 * thread (the import), or for a list that is not subclassed, it fills directly. The list is not
 * redrawn while its rows go in, then invalidated once. On the list's thread the row messages are
 * handed straight to the list view's procedure (ListChannel below). ReleaseListedRecords, the run's release
 * of the previous results (one LVM_GETITEMA per row), is handed over the same way. */
#include "search/result_list.h"

#include <commctrl.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "base/alloc.h"
#include "base/str.h"
#include "host/cabinet.h"
#include "host/hdapi.h"
#include "host/records.h"
#include "host/records_win.h"
#include "resources/ids.h"
#include "search/hits.h"
#include "search/search_state.h"

/* Column table: title, width in pixels, alignment. */
typedef struct ResultColumn {
    const char* title; /* header text */
    int width;         /* pixels */
    int format;        /* LVCFMT_LEFT or LVCFMT_RIGHT */
} ResultColumn;

static const ResultColumn Columns[RESULT_COLUMN_COUNT] = {
    {"N° dossier", 50, LVCFMT_RIGHT},
    {"Nom Patient", 200, LVCFMT_LEFT},
    {"Age", 80, LVCFMT_RIGHT},
    {"Nombre d'occurences", 40, LVCFMT_RIGHT},
    {"Première occurence", 80, LVCFMT_RIGHT},
    {"Dernière occurence", 80, LVCFMT_RIGHT},
    {"Médecin", 80, LVCFMT_LEFT},
    {"N° SS", 110, LVCFMT_RIGHT},
    {"Régime", 250, LVCFMT_LEFT},
};

static const char SchemeFileName[] = "caisses.hdc";
static const char SchemeSection[] = "Régimes";

/* Private messages of the list's subclass, carried out on the list's own thread: fill the rows;
 * release the records of the rows and delete them. */
enum { WM_RESULT_LIST_FILL = WM_APP + 217, WM_RESULT_LIST_RELEASE = WM_APP + 218 };

/* What a fill handed to the list's thread works with. */
typedef struct FillRequest {
    HWND mainWindow;     /* the main window */
    void* patientRecord; /* locked host records of the caller, as FillResultList received them */
    void* infoSesamRecord;
    void* extensionsRecord;
    DWORD SearchStartTick; /* as FillResultList received it */
} FillRequest;

/* The list view's own window procedure, behind the subclass below. */
static WNDPROC ListViewProc;
static LRESULT CALLBACK ResultListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam);
static void SubclassResultList(HWND list);

void CreateResultColumns(HWND mainWindow) {
    HWND list = GetDlgItem(mainWindow, IDC_RESULT_LIST);
    int inserted = 0;
    for (int i = 0; i < RESULT_COLUMN_COUNT; i++) {
        LVCOLUMNA column;
        ZeroMemory(&column, sizeof column);
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM | LVCF_IMAGE;
        /* LVCFMT_IMAGE gives the header item its image flag, without which Wine stores the header
         * image but does not draw it. */
        column.fmt = Columns[i].format | LVCFMT_IMAGE;
        column.cx = Columns[i].width;
        column.pszText = (LPSTR)Columns[i].title;
        column.iSubItem = i;
        column.iImage = SORT_IMAGE_NONE;
        if (SendMessageA(list, LVM_INSERTCOLUMNA, (WPARAM)i, (LPARAM)&column) >= 0) inserted++;
    }
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    SubclassResultList(list);
    (void)inserted;
}

/* Reads the scheme file (caisses.hdc in the host programs directory, section "Régimes") into the
 * table: the values of keys 1, 2, 3, ... up to the first missing or empty one. A missing file, or a
 * programs directory too long for a path, gives an empty table. Free it with SchemeTableFree. */
static void LoadSchemeTable(SchemeTable* table) {
    table->values = NULL;
    table->count = 0;
    table->capacity = 0;
    char programs[HOST_PATH_SIZE + 1];
    ZeroMemory(programs, sizeof programs);
    HDGetApplicationInfo("Chemins", "Programmes", programs);
    programs[HOST_PATH_SIZE - 1] = 0;
    char path[MAX_PATH];
    /* A directory too long for the path would name another file: no scheme names then. */
    if (!StrFormat(path, sizeof path, "%s\\%s", programs, SchemeFileName)) return;
    for (int n = 1;; n++) {
        char key[16];
        char value[SCHEME_VALUE_SIZE];
        StrFormat(key, sizeof key, "%d", n);
        value[0] = 0;
        GetPrivateProfileStringA(SchemeSection, key, "", value, sizeof value, path);
        value[sizeof value - 1] = 0;
        if (!SchemeTableAdd(table, value)) break;
    }
}

void LookupSchemeName(char* output, size_t size, int code) {
    if (size > 0) output[0] = 0;
    SchemeTable table;
    LoadSchemeTable(&table);
    LookupSchemeInTable(&table, code, output, size);
    SchemeTableFree(&table);
}

/* How a fill's row messages reach the list. On the list's own thread, with the list subclassed by
 * ResultListProc, each message goes straight to the list view's procedure, exactly where the
 * subclass would pass it (it keeps only its two private messages), without a SendMessage per row
 * and cell; otherwise (another thread, or a list that is not subclassed) it is sent. */
typedef struct ListChannel {
    HWND list;
    WNDPROC proc; /* the list view's own procedure, or NULL: send */
} ListChannel;

static ListChannel OpenListChannel(HWND list) {
    ListChannel channel = {list, NULL};
    if (list != NULL && ListViewProc != NULL &&
        GetWindowThreadProcessId(list, NULL) == GetCurrentThreadId() &&
        GetWindowLongPtrA(list, GWLP_WNDPROC) == (LONG_PTR)ResultListProc)
        channel.proc = ListViewProc;
    return channel;
}

static LRESULT ToList(const ListChannel* channel, UINT message, WPARAM wParam, LPARAM lParam) {
    if (channel->proc != NULL) return CallWindowProcA(channel->proc, channel->list, message, wParam, lParam);
    return SendMessageA(channel->list, message, wParam, lParam);
}

/* Sets one cell of `row` (text only). */
static void SetCell(const ListChannel* list, int row, int column, const char* text) {
    LVITEMA item;
    ZeroMemory(&item, sizeof item);
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.iSubItem = column;
    item.pszText = (LPSTR)text;
    ToList(list, LVM_SETITEMA, 0, (LPARAM)&item);
}

/* A record text field copied out, bounded by its room whether or not the host terminated it. */
static void FieldText(char* out, size_t size, const void* record, size_t offset, size_t room) {
    StrCopyN(out, size, RecordText(record, offset), StrLenBounded(RecordText(record, offset), room));
}

/* COLUMN_SCHEME: the insurance scheme's name by the host level, or empty. */
static void SchemeCell(char* cell, size_t size, int32_t patientNumber, void* infoSesamRecord,
                       void* extensionsRecord, const SchemeTable* schemes) {
    char keyText[KEY_TEXT_SIZE];
    ZeroMemory(keyText, sizeof keyText);
    cell[0] = 0;
    if (Host.HostApiLevel == 1) {
        if (infoSesamRecord == NULL) return;
        MakeInfoSesamKey(keyText, patientNumber);
        keyText[KEY_TEXT_SIZE - 1] = 0;
        DWORD key = HDFindKey(INDEX_FOLDERS, keyText);
        if (key == 0) return;
        SetRecordText(infoSesamRecord, INFOSESAM_SCHEME_CODE, INFOSESAM_SCHEME_CODE_SIZE, "");
        ReadInfoSesam(key, infoSesamRecord);
        char code[INFOSESAM_SCHEME_CODE_SIZE];
        FieldText(code, sizeof code, infoSesamRecord, INFOSESAM_SCHEME_CODE, INFOSESAM_SCHEME_CODE_SIZE);
        LookupSchemeInTable(schemes, StrLeadingInt(code), cell, size);
    } else if (Host.HostApiLevel == 2) {
        if (extensionsRecord == NULL) return;
        MakeExtensionsKey(keyText, patientNumber);
        keyText[KEY_TEXT_SIZE - 1] = 0;
        DWORD key = HDFindKey(INDEX_FOLDERS, keyText);
        HGLOBAL xml = ReadXMLExtensions(key, extensionsRecord);
        if (xml == NULL) return;
        LookupSchemeInTable(schemes, XGetInt(xml, EXTENSIONS_SCHEME_FIELD), cell, size);
        GlobalFree(xml);
    }
}

/* Inserts the row of one patient at `row` and sets its cells; returns the row's index or -1. */
static int AddPatientRow(const ListChannel* list, int row, PatientHits* record, void* patientRecord,
                         void* infoSesamRecord, void* extensionsRecord, const SchemeTable* schemes) {
    char cell[RESULT_CELL_SIZE];
    int32_t number = record->patientNumber;
    int known = ReadPatientRecord(patientRecord, number);

    StrFormat(cell, sizeof cell, "%d", (int)number);
    LVITEMA item;
    ZeroMemory(&item, sizeof item);
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = row;
    item.pszText = cell;
    item.lParam = (LPARAM)record;
    int index = (int)ToList(list, LVM_INSERTITEMA, 0, (LPARAM)&item);
    if (index < 0) return -1;

    ComposePatientName(patientRecord, cell, sizeof cell);
    SetCell(list, index, COLUMN_NAME, cell);

    cell[0] = 0;
    if (known) FormatAge(cell, sizeof cell, GetAge(RecordU32(patientRecord, PATIENT_BIRTH_DATE), Today()));
    SetCell(list, index, COLUMN_AGE, cell);

    StrFormat(cell, sizeof cell, "%d", (int)record->occurrenceCount);
    SetCell(list, index, COLUMN_COUNT, cell);
    FormatPackedDate(cell, sizeof cell, record->firstDate);
    SetCell(list, index, COLUMN_FIRST_DATE, cell);
    FormatPackedDate(cell, sizeof cell, record->lastDate);
    SetCell(list, index, COLUMN_LAST_DATE, cell);

    record->authors[AUTHORS_TEXT_SIZE - 1] = 0;
    SetCell(list, index, COLUMN_AUTHORS, record->authors);

    cell[0] = 0;
    if (known) {
        char typed[PATIENT_SS_NUMBER_SIZE + 1];
        FieldText(typed, sizeof typed, patientRecord, PATIENT_SS_NUMBER, PATIENT_SS_NUMBER_SIZE);
        DigitsOnly(typed, cell, sizeof cell);
    }
    SetCell(list, index, COLUMN_SS_NUMBER, cell);

    SchemeCell(cell, sizeof cell, number, infoSesamRecord, extensionsRecord, schemes);
    SetCell(list, index, COLUMN_SCHEME, cell);
    return index;
}

/* A record whose row could not be inserted: out of the table and the counters, and released. */
static void DropUnlistedRecord(int32_t number) {
    PatientHits* record = Results.PatientHitsTable[number];
    if (record == NULL) return;
    Results.PatientHitsTable[number] = NULL;
    Results.PatientsWithHits--;
    int64_t total = (int64_t)Results.OccurrenceTotal - record->occurrenceCount;
    Results.OccurrenceTotal = total > INT32_MAX ? INT32_MAX : total < INT32_MIN ? INT32_MIN : (int)total;
    ReleasePatientHits(record);
}

static void FillRows(HWND mainWindow, void* patientRecord, void* infoSesamRecord, void* extensionsRecord,
                     DWORD SearchStartTick) {
    HWND list = GetDlgItem(mainWindow, IDC_RESULT_LIST);
    /* No repainting while the rows go in: otherwise the list is redrawn between the messages of
     * every row, which makes a fill of thousands of rows take minutes instead of seconds. */
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    SchemeTable schemes;
    LoadSchemeTable(&schemes);
    ListChannel channel = OpenListChannel(list);
    int rows = 0;
    for (int32_t number = 0; number < PATIENT_TABLE_SLOTS; number++) {
        PatientHits* record = Results.PatientHitsTable[number];
        if (record == NULL) continue;
        record->patientNumber = number;
        if (AddPatientRow(&channel, rows, record, patientRecord, infoSesamRecord, extensionsRecord,
                          &schemes) >= 0)
            rows++;
        else
            DropUnlistedRecord(number);
    }
    SchemeTableFree(&schemes);
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, NULL, TRUE);

    char summary[RESULT_CELL_SIZE];
    FormatSummary(summary, sizeof summary, SearchShared.SearchControl.cancelRequest.load() != 0,
                  Results.OccurrenceTotal, rows, (unsigned)(GetTickCount() - SearchStartTick));
    SendMessageA(GetDlgItem(mainWindow, IDC_STATUS_BAR), SB_SETTEXTA, 2, (LPARAM)summary);
}

/* Releases the record each row carries, from row 0 up, then deletes every row. */
static void ReleaseRows(HWND list) {
    ListChannel channel = OpenListChannel(list);
    int rows = (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
    for (int row = 0; row < rows; row++) {
        LVITEMA item;
        ZeroMemory(&item, sizeof item);
        item.mask = LVIF_PARAM;
        item.iItem = row;
        if (ToList(&channel, LVM_GETITEMA, 0, (LPARAM)&item)) ReleasePatientHits((PatientHits*)item.lParam);
    }
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
}

/* The list's subclass procedure: a fill asked for by another thread is carried out here, on the
 * list's own thread; every other message goes to the list view. */
static LRESULT CALLBACK ResultListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_RESULT_LIST_FILL && lParam != 0) {
        const FillRequest* request = (const FillRequest*)lParam;
        FillRows(request->mainWindow, request->patientRecord, request->infoSesamRecord,
                 request->extensionsRecord, request->SearchStartTick);
        return 1;
    }
    if (message == WM_RESULT_LIST_RELEASE) {
        ReleaseRows(list);
        return 1;
    }
    return CallWindowProcA(ListViewProc, list, message, wParam, lParam);
}

static void SubclassResultList(HWND list) {
    if (list == NULL || GetWindowLongPtrA(list, GWLP_WNDPROC) == (LONG_PTR)ResultListProc) return;
    WNDPROC previous = (WNDPROC)SetWindowLongPtrA(list, GWLP_WNDPROC, (LONG_PTR)ResultListProc);
    if (previous != NULL) ListViewProc = previous;
}

void FillResultList(HWND mainWindow, void* patientRecord, void* infoSesamRecord, void* extensionsRecord,
                    DWORD SearchStartTick) {
    HWND list = GetDlgItem(mainWindow, IDC_RESULT_LIST);
    if (list != NULL && GetWindowThreadProcessId(list, NULL) != GetCurrentThreadId() &&
        GetWindowLongPtrA(list, GWLP_WNDPROC) == (LONG_PTR)ResultListProc) {
        FillRequest request = {mainWindow, patientRecord, infoSesamRecord, extensionsRecord, SearchStartTick};
        if (SendMessageA(list, WM_RESULT_LIST_FILL, 0, (LPARAM)&request) != 0) return;
    }
    FillRows(mainWindow, patientRecord, infoSesamRecord, extensionsRecord, SearchStartTick);
}

void ReleaseListedRecords(HWND mainWindow) {
    HWND list = GetDlgItem(mainWindow, IDC_RESULT_LIST);
    if (list == NULL) return;
    if (GetWindowThreadProcessId(list, NULL) != GetCurrentThreadId() &&
        GetWindowLongPtrA(list, GWLP_WNDPROC) == (LONG_PTR)ResultListProc &&
        SendMessageA(list, WM_RESULT_LIST_RELEASE, 0, 0) != 0)
        return;
    ReleaseRows(list);
}
