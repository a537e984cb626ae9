/* The result list: columns, rows and the summary (Win32 side of search/result_list.h).
 *
 * A fill visits all 1,048,576 slots of Results.PatientHitsTable in patient-number order, so the rows come
 * out in ascending patient number. For each patient it reads the identity from the host (patient
 * record, then the insurance scheme through the social-insurance record at host level 1 or the
 * extensions XML at level 2) and keeps the four cells it gives (name, age, social-security digits,
 * scheme: ReadRowTexts) with the patient's PatientHits record, then inserts the row with that record
 * as its item data and LPSTR_TEXTCALLBACKA as its text. The cells are given on request
 * (AnswerResultCell, on the main window's LVN_GETDISPINFOA): the four kept texts, the others
 * formatted from the record (number, count, dates, authors). So a row costs the list one message
 * instead of nine (about 2 us against 15 us under Wine), where the list asks for sub-items that were
 * never set (see ListAsksForSubItems); the list stays a normal list with its item data and order,
 * which the sort, the viewer, the export, the import and the release rely on.
 *
 * A row's record can be released while the row still exists: the import releases the records whose
 * count falls to 0 before it fills the list again, and ReleaseRows releases them one by one before
 * deleting the rows. From either moment to the next fill (DetachResultRows, ReleaseRows) the rows are
 * answered with empty cells, never from their records.
 *
 * The scheme file is read into a SchemeTable and every row is looked up in it: the file cannot
 * change under a fill, so this gives what reading it for every row would, without reopening an INI
 * file ten thousand times. The table is kept for the next fill while the file keeps its path, time
 * and size (CurrentSchemeTable), so a changed file is read again at the next fill.
 *
 * A patient the host does not know. The patient is read with ReadPatientRecord (host/records_win.h),
 * which empties the names and the social-security field and marks the birth date before the read,
 * so the previous patient's identity never shows on the row. Column 1 is always the composed name
 * of ComposePatientName, the very text the viewer's caption and the import's check compose: one
 * space for a patient the host left untouched, so that the list's own export imports again. A
 * patient the host did not read at all gets an empty age and an empty social-security number; a
 * known patient whose birth date is 0 gets the host's age for that, as any other known patient.
 *
 * A row the list refuses to insert, or whose texts cannot be kept for want of memory, is not listed
 * (no report: a fill of thousands of rows must not show a box per row; the summary counts only the
 * listed rows): its record is released and its slot emptied, and the two counters drop it (its patient and
 * its occurrences), so that the summary counts what the list shows and no record is left that no row will
 * ever release.
 *
 * The scheme code. The social-insurance record's code field is emptied before each ReadInfoSesam,
 * so a read that fills nothing cannot show the previous patient's scheme: it is looked up as the
 * empty code text, which reads as code 0.
 *
 * Which thread fills. The search run calls FillResultList on its own thread, and every change to
 * the list is a message that the interface thread carries out. Sent one by one, the messages of
 * each row (ten, when every cell was set) each cost a thread switch (and, under Wine, a server round trip):
 * 10,000 rows took close to a minute, against about a second when the same messages are handled on the list's
 * own thread. So CreateResultColumns subclasses the list, and FillResultList called from another thread
 * shares the fill with the interface thread (FillAlongside): the caller reads the rows' cells from the host
 * and queues their records, while the interface thread, inside one private message, inserts the queued rows;
 * the caller returns once every row is in (the list is drawn and summed up next). Where that cannot be set up
 * it sends the list a single private message that carries out the whole fill on the interface thread, while
 * the caller waits in SendMessage exactly as it would for each row; either way the host is called by one
 * thread at a time. Called on the interface thread (the import), or for a list that is not subclassed, it
 * fills directly. The list is hidden and kept from drawing while its rows go in, then drawn once (ListBatch).
 * On the list's thread the row messages are handed straight to the list view's procedure (ListChannel below).
 * ReleaseListedRecords, the release of the previous results (one LVM_GETITEMA per row), is handed over the
 * same way; the run hands it over without waiting (StartReleasingListedRecords), so the interface thread
 * frees the old records and deletes their rows while the run opens the tables and collects its keys. */
#include "search/result_list.h"

#include <commctrl.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <atomic>

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
 * release the records of the rows and delete them; insert the rows another thread queues (a fill
 * shared by the two threads, see FillAlongside); bring the scheme table up to date for the next fill
 * (StartReadingSchemeTable). */
enum {
    WM_RESULT_LIST_FILL = WM_APP + 217,
    WM_RESULT_LIST_RELEASE = WM_APP + 218,
    WM_RESULT_LIST_FILL_QUEUED = WM_APP + 219,
    WM_RESULT_LIST_READ_SCHEMES = WM_APP + 220
};

/* What a fill handed to the list's thread works with. */
typedef struct FillRequest {
    HWND mainWindow;     /* the main window */
    void* patientRecord; /* locked host records of the caller, as FillResultList received them */
    void* infoSesamRecord;
    void* extensionsRecord;
    DWORD SearchStartTick; /* as FillResultList received it */
} FillRequest;

/* A scheme table kept from one fill to the next (CurrentSchemeTable), with what its file was. */
typedef struct SchemeCache {
    SchemeTable table;   /* the values read; empty when none */
    int kept;            /* 1 when the table is whole and the fields below describe its file */
    char path[MAX_PATH]; /* the file read */
    FILETIME written;    /* its last-write time then */
    DWORD sizeLow;       /* its size then, low and high halves */
    DWORD sizeHigh;
} SchemeCache;

/* The result list's process-wide values, in one record. The subclass and the fill write them on the
 * list's thread; AnswerResultCell reads them on the same thread (the list asks for its cells there),
 * and the import and the release, also on that thread, detach the rows. The scheme table is the
 * exception: it is used by the thread that reads the rows' cells (the filling thread of a shared
 * fill) and by the list's thread when a run asks it to read the table ahead; the two uses never
 * overlap, since a shared fill that follows a read ahead first waits for the list's thread to have
 * handled it (FillAlongside), and fills never run at once. The atomics are the values other threads
 * set (a test's, the filling thread's).
 * The program has one result list, so one record serves it. */
typedef struct ResultListValues {
    WNDPROC listViewProc;          /* the list view's own window procedure, behind the subclass below */
    HWND probedList;               /* the list whose sub-item behaviour was probed (ListAsksForSubItems) */
    int probedListAsks;            /* 1 when that list asks for sub-items never set on a callback item */
    std::atomic<int> subItemProbe; /* 0 idle, 1 probing, 2 asked for sub-item 1 while probing */
    std::atomic<int> markSubItemsAlways; /* test switch: mark the sub-items whatever the probe says */
    std::atomic<int> rowsDetached;       /* 1 from a release, an import's changes or the start of a shared
                                            fill to the next fill's first row: the rows' records may be
                                            freed or their texts replaced, cells are answered empty */
    std::atomic<int> readAheadAsked;     /* 1 from StartReadingSchemeTable to the next shared fill */
    SchemeCache schemeCache; /* the scheme table of the last fill, kept while its file is unchanged */
    /* The scheme file a read ahead reads (StartReadingSchemeTable): written by the run before it
     * asks, read by the list's thread when it gets to the request. */
    char readAheadPath[MAX_PATH];
} ResultListValues;

static ResultListValues ListValues;
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

/* The scheme file's path (caisses.hdc in the host programs directory); 0 when the directory is too
 * long for a path, which would name another file: no scheme names then. */
static int SchemeFilePath(char* path, size_t size) {
    char programs[HOST_PATH_SIZE + 1];
    ZeroMemory(programs, sizeof programs);
    HDGetApplicationInfo("Chemins", "Programmes", programs);
    programs[HOST_PATH_SIZE - 1] = 0;
    return StrFormat(path, size, "%s\\%s", programs, SchemeFileName);
}

/* Reads the scheme file at `path` (section "Régimes") into the table: the values of keys 1, 2,
 * 3, ... up to the first missing or empty one. A missing file gives an empty table. Returns 0 when
 * the table was cut short for want of memory. Free it with SchemeTableFree. */
static int LoadSchemeTableFrom(SchemeTable* table, const char* path) {
    table->values = NULL;
    table->count = 0;
    table->capacity = 0;
    for (int n = 1;; n++) {
        char key[16];
        char value[SCHEME_VALUE_SIZE];
        StrFormat(key, sizeof key, "%d", n);
        value[0] = 0;
        GetPrivateProfileStringA(SchemeSection, key, "", value, sizeof value, path);
        value[sizeof value - 1] = 0;
        if (value[0] == 0) return 1;
        if (!SchemeTableAdd(table, value)) return 0;
    }
}

/* The scheme table a fill looks its rows up in. Reading the file costs one GetPrivateProfileStringA
 * per key, about 0.4 ms each under Wine, 0.045 s for a file of 120 schemes: a third of a fill of
 * 10,000 rows. So the table read for one fill is kept for the next while the file stays the same:
 * same path, same last-write time and same size. A file that cannot be looked at (missing), or a
 * table cut short for want of memory, is not kept: the next fill reads again, as every fill did. The
 * kept table lives until the program ends, or until ForgetSchemeTable. `named` 0: no file can be
 * named, no table. */
static const SchemeTable* SchemeTableAt(const char* path, int named) {
    WIN32_FILE_ATTRIBUTE_DATA file;
    ZeroMemory(&file, sizeof file);
    int stamped = named && GetFileAttributesExA(path, GetFileExInfoStandard, &file);
    SchemeCache* cache = &ListValues.schemeCache;
    if (cache->kept && stamped && strcmp(cache->path, path) == 0 &&
        CompareFileTime(&cache->written, &file.ftLastWriteTime) == 0 && cache->sizeLow == file.nFileSizeLow &&
        cache->sizeHigh == file.nFileSizeHigh)
        return &cache->table;
    ForgetSchemeTable();
    if (!named) return &cache->table;
    int whole = LoadSchemeTableFrom(&cache->table, path);
    if (stamped && whole) {
        StrCopy(cache->path, sizeof cache->path, path);
        cache->written = file.ftLastWriteTime;
        cache->sizeLow = file.nFileSizeLow;
        cache->sizeHigh = file.nFileSizeHigh;
        cache->kept = 1;
    }
    return &cache->table;
}

/* The same for the scheme file the host names now. */
static const SchemeTable* CurrentSchemeTable(void) {
    char path[MAX_PATH];
    int named = SchemeFilePath(path, sizeof path);
    return SchemeTableAt(path, named);
}

void ForgetSchemeTable(void) {
    SchemeTableFree(&ListValues.schemeCache.table);
    ListValues.schemeCache.kept = 0;
}

void LookupSchemeName(char* output, size_t size, int code) {
    if (size > 0) output[0] = 0;
    char path[MAX_PATH];
    if (!SchemeFilePath(path, sizeof path)) return;
    SchemeTable table;
    LoadSchemeTableFrom(&table, path);
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
    if (list != NULL && ListValues.listViewProc != NULL &&
        GetWindowThreadProcessId(list, NULL) == GetCurrentThreadId() &&
        GetWindowLongPtrA(list, GWLP_WNDPROC) == (LONG_PTR)ResultListProc)
        channel.proc = ListValues.listViewProc;
    return channel;
}

static LRESULT ToList(const ListChannel* channel, UINT message, WPARAM wParam, LPARAM lParam) {
    if (channel->proc != NULL) return CallWindowProcA(channel->proc, channel->list, message, wParam, lParam);
    return SendMessageA(channel->list, message, wParam, lParam);
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

/* The four cells read from the host, kept in the record's row texts in this order. */
enum { ROW_TEXT_NAME, ROW_TEXT_AGE, ROW_TEXT_SS_NUMBER, ROW_TEXT_SCHEME, ROW_TEXT_COUNT };

/* Replaces the record's row texts by one block holding the four texts, each terminated. 0 when the
 * block cannot be allocated (the record keeps what it had). */
static int KeepRowTexts(PatientHits* record, const char* const texts[ROW_TEXT_COUNT]) {
    size_t lengths[ROW_TEXT_COUNT];
    size_t total = 0;
    for (int i = 0; i < ROW_TEXT_COUNT; i++) {
        lengths[i] = StrLenBounded(texts[i], RESULT_CELL_SIZE - 1);
        total += lengths[i] + 1;
    }
    char* block = (char*)SondrelAlloc(total, 1);
    if (block == NULL) return 0;
    char* at = block;
    for (int i = 0; i < ROW_TEXT_COUNT; i++) {
        memcpy(at, texts[i], lengths[i]);
        at += lengths[i] + 1; /* the block is zero-filled: the terminator is there */
    }
    SondrelFree(record->rowTexts);
    record->rowTexts = block;
    return 1;
}

/* Text `which` of the record's row texts; empty when the record has none. */
static const char* RowText(const PatientHits* record, int which) {
    const char* text = record->rowTexts;
    if (text == NULL) return "";
    for (int i = 0; i < which; i++)
        text += strlen(text) + 1;
    return text;
}

/* Reads the row's host cells (name, age, social-security digits, scheme) and keeps them with the
 * record; 0 when they cannot be kept. */
static int ReadRowTexts(PatientHits* record, void* patientRecord, void* infoSesamRecord,
                        void* extensionsRecord, const SchemeTable* schemes) {
    char name[RESULT_CELL_SIZE], age[RESULT_CELL_SIZE], ssNumber[RESULT_CELL_SIZE], scheme[RESULT_CELL_SIZE];
    int32_t number = record->patientNumber;
    int known = ReadPatientRecord(patientRecord, number);
    ComposePatientName(patientRecord, name, sizeof name);
    age[0] = 0;
    if (known) FormatAge(age, sizeof age, GetAge(RecordU32(patientRecord, PATIENT_BIRTH_DATE), Today()));
    ssNumber[0] = 0;
    if (known) {
        char typed[PATIENT_SS_NUMBER_SIZE + 1];
        FieldText(typed, sizeof typed, patientRecord, PATIENT_SS_NUMBER, PATIENT_SS_NUMBER_SIZE);
        DigitsOnly(typed, ssNumber, sizeof ssNumber);
    }
    SchemeCell(scheme, sizeof scheme, number, infoSesamRecord, extensionsRecord, schemes);
    const char* const texts[ROW_TEXT_COUNT] = {name, age, ssNumber, scheme};
    return KeepRowTexts(record, texts);
}

/* Cell `column` of the row that carries `record`, cut to `size` bytes: the host's cells from the row
 * texts, the others formatted from the record. */
static void FormatRowCell(const PatientHits* record, int column, char* out, size_t size) {
    char cell[RESULT_CELL_SIZE];
    const char* text = cell;
    cell[0] = 0;
    switch (column) {
    case COLUMN_PATIENT_NUMBER:
        StrFormat(cell, sizeof cell, "%d", (int)record->patientNumber);
        break;
    case COLUMN_NAME:
        text = RowText(record, ROW_TEXT_NAME);
        break;
    case COLUMN_AGE:
        text = RowText(record, ROW_TEXT_AGE);
        break;
    case COLUMN_COUNT:
        StrFormat(cell, sizeof cell, "%d", (int)record->occurrenceCount);
        break;
    case COLUMN_FIRST_DATE:
        FormatPackedDate(cell, sizeof cell, record->firstDate);
        break;
    case COLUMN_LAST_DATE:
        FormatPackedDate(cell, sizeof cell, record->lastDate);
        break;
    case COLUMN_AUTHORS:
        StrCopyN(out, size, record->authors, StrLenBounded(record->authors, AUTHORS_TEXT_SIZE - 1));
        return;
    case COLUMN_SS_NUMBER:
        text = RowText(record, ROW_TEXT_SS_NUMBER);
        break;
    case COLUMN_SCHEME:
        text = RowText(record, ROW_TEXT_SCHEME);
        break;
    default:
        break;
    }
    StrCopy(out, size, text);
}

/* Whether the list asks for the text of a sub-item that was never set on a callback item. The
 * documentation promises LVN_GETDISPINFO only for an item or sub-item set to LPSTR_TEXTCALLBACK;
 * Wine's list view also asks for the sub-items of a callback item that were never set, Windows'
 * may not. A row costs one message where the list asks (the insert, about 2 us under Wine) against
 * nine (about 15 us), so each list is probed once, on its first filled row: its sub-item 1 is read
 * back and AnswerResultCell notes whether it was asked for it. A list that was not asked gets the
 * eight sub-items of every row marked LPSTR_TEXTCALLBACKA, the documented way.
 * The probe's state (in ListValues) is kept for one list at a time (the program has one); fills
 * never run at once. */
void MarkResultSubItemsAlways(int always) {
    ListValues.markSubItemsAlways.store(always != 0);
}

void DetachResultRows(void) {
    ListValues.rowsDetached.store(1);
}

static int ListAsksForSubItems(const ListChannel* list, int row) {
    if (ListValues.probedList == list->list) return ListValues.probedListAsks;
    char probe[8];
    LVITEMA item;
    ZeroMemory(&item, sizeof item);
    item.iSubItem = COLUMN_NAME;
    item.pszText = probe;
    item.cchTextMax = sizeof probe;
    ListValues.subItemProbe.store(1);
    ToList(list, LVM_GETITEMTEXTA, (WPARAM)row, (LPARAM)&item);
    ListValues.probedListAsks = ListValues.subItemProbe.exchange(0) == 2;
    ListValues.probedList = list->list;
    return ListValues.probedListAsks;
}

void AnswerResultCell(NMLVDISPINFOA* request) {
    if (request == NULL) return;
    LVITEMA* item = &request->item;
    if (item->iSubItem == COLUMN_NAME) {
        int probing = 1;
        ListValues.subItemProbe.compare_exchange_strong(probing, 2);
    }
    if (!(item->mask & LVIF_TEXT) || item->pszText == NULL || item->pszText == LPSTR_TEXTCALLBACKA ||
        item->cchTextMax <= 0)
        return;
    item->pszText[0] = 0;
    if (ListValues.rowsDetached.load()) return;
    const PatientHits* record = (const PatientHits*)item->lParam;
    if (record == NULL && request->hdr.hwndFrom != NULL) {
        /* A list that leaves the item data out of the request: read it (no text asked, so no
         * request comes back). */
        LVITEMA data;
        ZeroMemory(&data, sizeof data);
        data.mask = LVIF_PARAM;
        data.iItem = item->iItem;
        if (SendMessageA(request->hdr.hwndFrom, LVM_GETITEMA, 0, (LPARAM)&data))
            record = (const PatientHits*)data.lParam;
    }
    if (record == NULL) return;
    FormatRowCell(record, item->iSubItem, item->pszText, (size_t)item->cchTextMax);
}

/* Makes the record ready for its row: its patient number set, its authors terminated and its host
 * cells read and kept. Returns 0 when the cells could not be kept (the row is then not listed). */
static int ReadyRecordForRow(PatientHits* record, int32_t number, void* patientRecord, void* infoSesamRecord,
                             void* extensionsRecord, const SchemeTable* schemes) {
    record->patientNumber = number;
    record->authors[AUTHORS_TEXT_SIZE - 1] = 0;
    return ReadRowTexts(record, patientRecord, infoSesamRecord, extensionsRecord, schemes);
}

/* Inserts the row of a ready record at `row`, its texts on request; returns the row's index or -1
 * (the list refused the row). */
static int InsertPatientRow(const ListChannel* list, int row, PatientHits* record) {
    LVITEMA item;
    ZeroMemory(&item, sizeof item);
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = row;
    item.pszText = LPSTR_TEXTCALLBACKA;
    item.lParam = (LPARAM)record;
    int index = (int)ToList(list, LVM_INSERTITEMA, 0, (LPARAM)&item);
    if (index < 0) return -1;
    if (!ListValues.markSubItemsAlways.load() && ListAsksForSubItems(list, index)) return index;
    for (int column = 1; column < RESULT_COLUMN_COUNT; column++) {
        LVITEMA cell;
        ZeroMemory(&cell, sizeof cell);
        cell.mask = LVIF_TEXT;
        cell.iItem = index;
        cell.iSubItem = column;
        cell.pszText = LPSTR_TEXTCALLBACKA;
        ToList(list, LVM_SETITEMA, 0, (LPARAM)&cell);
    }
    return index;
}

/* The list out of sight while many rows go in or out (ListBatch). Two things cost under Wine: a list
 * that may draw updates its scroll bar and redraws it with every row, and switching drawing back on
 * (WM_SETREDRAW TRUE) redraws the scroll bar of a shown list at once, about 20 ms, before the paint
 * that follows anyway. So the list is hidden as well as kept from drawing; drawing goes back on while
 * it is still hidden, and it is shown again (without activation) once its rows are in, so it is
 * drawn once, by the paint that showing it asks for.
 * Only a shown list of the calling thread whose keyboard focus is elsewhere is hidden: hiding the
 * list, or its label edit box, would move the focus, and GetFocus sees only the calling thread's
 * focus. Any other list is only kept from drawing. Switching drawing on gives a window WS_VISIBLE
 * where the default procedure handles it, so a list that was hidden before the batch is hidden again
 * if it came back. */
typedef struct ListBatch {
    HWND list;
    int wasShown; /* the list's style had WS_VISIBLE */
    int hidden;   /* the batch hid the list, and shows it again at its end */
} ListBatch;

static int FocusIsOnList(HWND list) {
    HWND focus = GetFocus();
    return focus != NULL && (focus == list || IsChild(list, focus));
}

static ListBatch BeginListBatch(HWND list) {
    ListBatch batch = {list, 0, 0};
    batch.wasShown = list != NULL && (GetWindowLongPtrA(list, GWL_STYLE) & WS_VISIBLE) != 0;
    if (batch.wasShown && GetWindowThreadProcessId(list, NULL) == GetCurrentThreadId() &&
        !FocusIsOnList(list)) {
        ShowWindow(list, SW_HIDE);
        batch.hidden = 1;
    }
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    return batch;
}

static void EndListBatch(const ListBatch* batch) {
    SendMessageA(batch->list, WM_SETREDRAW, TRUE, 0);
    int shownNow = (GetWindowLongPtrA(batch->list, GWL_STYLE) & WS_VISIBLE) != 0;
    if (batch->hidden && !shownNow) ShowWindow(batch->list, SW_SHOWNA);
    if (!batch->wasShown && shownNow) ShowWindow(batch->list, SW_HIDE);
    RedrawWindow(batch->list, NULL, NULL, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

/* A record whose row could not be listed: out of the table and the counters, and released. */
static void DropUnlistedRecord(int32_t number) {
    PatientHits* record = Results.PatientHitsTable[number];
    if (record == NULL) return;
    Results.PatientHitsTable[number] = NULL;
    Results.PatientsWithHits--;
    int64_t total = (int64_t)Results.OccurrenceTotal - record->occurrenceCount;
    Results.OccurrenceTotal = total > INT32_MAX ? INT32_MAX : total < INT32_MIN ? INT32_MIN : (int)total;
    ReleasePatientHits(record);
}

/* The start of every fill, on the list's thread: the list out of sight and emptied, and its rows no
 * longer detached (the new rows' records are whole). */
static ListBatch BeginFill(HWND list) {
    /* No drawing while the rows go in: otherwise the list is redrawn between the messages of
     * every row, which makes a fill of thousands of rows take minutes instead of seconds. */
    ListBatch batch = BeginListBatch(list);
    if (SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) != 0) SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    ListValues.rowsDetached.store(0);
    return batch;
}

/* Lists one ready record as row `row`, or drops it when its cells were not kept or the list refuses
 * it. Returns 1 when it was listed. */
static int ListReadyRecord(const ListChannel* channel, int row, PatientHits* record, int kept) {
    if (kept && InsertPatientRow(channel, row, record) >= 0) return 1;
    DropUnlistedRecord(record->patientNumber);
    return 0;
}

/* The summary of a fill of `rows` rows, composed once its last row is in. */
static void ComposeFillSummary(char* summary, size_t size, int rows, DWORD SearchStartTick) {
    FormatSummary(summary, size, SearchShared.SearchControl.cancelRequest.load() != 0,
                  Results.OccurrenceTotal, rows, (unsigned)(GetTickCount() - SearchStartTick));
}

/* The end of every fill: the list drawn again and the summary written. */
static void EndFill(HWND mainWindow, const ListBatch* batch, const char* summary) {
    EndListBatch(batch);
    SendMessageA(GetDlgItem(mainWindow, IDC_STATUS_BAR), SB_SETTEXTA, 2, (LPARAM)summary);
}

/* The whole fill on the list's own thread, each row's cells read just before it goes in. */
static void FillRows(HWND mainWindow, void* patientRecord, void* infoSesamRecord, void* extensionsRecord,
                     DWORD SearchStartTick) {
    HWND list = GetDlgItem(mainWindow, IDC_RESULT_LIST);
    ListBatch batch = BeginFill(list);
    const SchemeTable* schemes = CurrentSchemeTable();
    ListChannel channel = OpenListChannel(list);
    int rows = 0;
    for (int32_t number = 0; number < PATIENT_TABLE_SLOTS; number++) {
        PatientHits* record = Results.PatientHitsTable[number];
        if (record == NULL) continue;
        int kept =
            ReadyRecordForRow(record, number, patientRecord, infoSesamRecord, extensionsRecord, schemes);
        rows += ListReadyRecord(&channel, rows, record, kept);
    }
    char summary[RESULT_CELL_SIZE];
    ComposeFillSummary(summary, sizeof summary, rows, SearchStartTick);
    EndFill(mainWindow, &batch, summary);
}

/* A fill shared by two threads (FillAlongside). The filling thread reads each row's cells from the
 * host and queues the record; the list's thread, inside one sent message, inserts the queued rows
 * as they come, so the inserts (most of a fill's own time under Wine) are made while the host is
 * read for the next rows instead of after it. The host is still called by the filling thread only.
 *
 * The queue holds one entry per record of the table, in patient order, written once each before
 * `ready` passes it; the list's thread reads only below `ready`. When it has caught up it raises
 * `waiting` and waits for `more`, which the filling thread sets when it sees `waiting` raised, every
 * ROWS_A_SIGNAL rows and once all are queued (`done`); so the two threads meet through the system
 * about once for every ROWS_A_SIGNAL rows at most, not once a row. While it waits the list's thread
 * still serves the messages other threads send it (so nothing the filling thread's calls might send
 * there can block both), but no input and nothing posted: the user cannot sort or export a half
 * list. Records of rows that cannot be listed are dropped by the list's thread, which alone changes
 * the table's slots and counters during the fill; the filling thread reads only slots it has not
 * queued yet. At the end the list's thread composes the summary and sets `finished`, after which it
 * no longer touches the queue (the filling thread frees it), and then draws the list and writes the
 * summary. */
enum { ROWS_A_SIGNAL = 256 };

typedef struct QueuedRow {
    PatientHits* record; /* the row's record, made ready (ReadyRecordForRow) */
    int kept;            /* what ReadyRecordForRow answered: 0 when its cells could not be kept */
} QueuedRow;

typedef struct RowQueue {
    HWND mainWindow;          /* the main window, as FillResultList received it */
    DWORD SearchStartTick;    /* as FillResultList received it */
    QueuedRow* rows;          /* room for every record of the table */
    int room;                 /* entries in rows */
    std::atomic<int> ready;   /* entries written; raised by the filling thread only */
    std::atomic<int> done;    /* 1 once every entry is written (ready is then final) */
    std::atomic<int> waiting; /* 1 while the list's thread waits, or is about to, for more entries */
    std::atomic<int> started; /* 1 once the list's thread has taken the queue: it will set finished */
    HANDLE more;              /* auto-reset: more entries, or done, while the list's thread waited */
    HANDLE finished;          /* manual-reset: set by the list's thread when its part is over */
} RowQueue;

/* On the list's thread: waits until entries beyond `taken` are written or every entry is, serving
 * sent messages meanwhile. */
static void WaitForQueuedRows(RowQueue* queue, int taken) {
    queue->waiting.store(1);
    while (queue->ready.load() == taken && !queue->done.load()) {
        /* What was sent here before the wait is served first, and the wait also ends on a sent
         * message already queued (MWMO_INPUTAVAILABLE), not only on one that arrives during it. */
        MSG message;
        PeekMessageA(&message, NULL, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        if (queue->ready.load() != taken || queue->done.load()) break;
        DWORD woke =
            MsgWaitForMultipleObjectsEx(1, &queue->more, INFINITE, QS_SENDMESSAGE, MWMO_INPUTAVAILABLE);
        if (woke == WAIT_FAILED) Sleep(1); /* look again shortly */
        queue->waiting.store(1);
    }
    queue->waiting.store(0);
}

/* The list's thread's part: every queued record listed or dropped, in queue order. */
static void ListQueuedRows(RowQueue* queue) {
    queue->started.store(1);
    HWND mainWindow = queue->mainWindow;
    HWND list = GetDlgItem(mainWindow, IDC_RESULT_LIST);
    ListBatch batch = BeginFill(list);
    ListChannel channel = OpenListChannel(list);
    int rows = 0;
    int taken = 0;
    for (;;) {
        int ready = queue->ready.load();
        for (; taken < ready; taken++)
            rows += ListReadyRecord(&channel, rows, queue->rows[taken].record, queue->rows[taken].kept);
        if (queue->done.load() && taken == queue->ready.load()) break;
        WaitForQueuedRows(queue, taken);
    }
    /* The summary is composed (with the cancel request as it stands) and the filling thread let go
     * before the list is drawn again: the run can then end (close its tables, relabel its button)
     * while this thread finishes, so its relabelling is usually waiting here before the list's first
     * paint instead of coming after it. The queue is not touched once `finished` is set. */
    char summary[RESULT_CELL_SIZE];
    ComposeFillSummary(summary, sizeof summary, rows, queue->SearchStartTick);
    SetEvent(queue->finished);
    EndFill(mainWindow, &batch, summary);
}

/* Records in the table. */
static int CountListedPatients(void) {
    int count = 0;
    for (int32_t number = 0; number < PATIENT_TABLE_SLOTS; number++)
        count += Results.PatientHitsTable[number] != NULL;
    return count;
}

static void FreeRowQueue(RowQueue* queue) {
    if (queue->more != NULL) CloseHandle(queue->more);
    if (queue->finished != NULL) CloseHandle(queue->finished);
    SondrelFree(queue->rows);
}

/* On the filling thread: the fill shared with `list`'s thread (above). Returns 0, having listed
 * nothing, when it cannot be started (no memory for the queue, no event, the message not sent). */
static int FillAlongside(HWND list, HWND mainWindow, void* patientRecord, void* infoSesamRecord,
                         void* extensionsRecord, DWORD SearchStartTick) {
    RowQueue queue;
    queue.mainWindow = mainWindow;
    queue.SearchStartTick = SearchStartTick;
    queue.room = CountListedPatients();
    queue.rows = (QueuedRow*)SondrelAlloc(queue.room > 0 ? (size_t)queue.room : 1, sizeof(QueuedRow));
    queue.ready.store(0);
    queue.done.store(0);
    queue.waiting.store(0);
    queue.started.store(0);
    queue.more = CreateEventA(NULL, FALSE, FALSE, NULL);
    queue.finished = CreateEventA(NULL, TRUE, FALSE, NULL);
    if (queue.rows == NULL || queue.more == NULL || queue.finished == NULL) {
        FreeRowQueue(&queue);
        return 0;
    }
    /* A read ahead asked for is handled before the table is used here: this waits for it. */
    if (ListValues.readAheadAsked.exchange(0)) SendMessageA(list, WM_NULL, 0, 0);
    const SchemeTable* schemes = CurrentSchemeTable();
    /* The rows still listed may carry the records whose texts are replaced below: until the list's
     * thread has emptied the list they are answered empty. */
    DetachResultRows();
    if (!SendNotifyMessageA(list, WM_RESULT_LIST_FILL_QUEUED, 0, (LPARAM)&queue)) {
        FreeRowQueue(&queue);
        return 0;
    }
    int queued = 0;
    for (int32_t number = 0; number < PATIENT_TABLE_SLOTS && queued < queue.room; number++) {
        PatientHits* record = Results.PatientHitsTable[number];
        if (record == NULL) continue;
        queue.rows[queued].kept =
            ReadyRecordForRow(record, number, patientRecord, infoSesamRecord, extensionsRecord, schemes);
        queue.rows[queued].record = record;
        queue.ready.store(++queued);
        if (queued % ROWS_A_SIGNAL == 0 && queue.waiting.exchange(0)) SetEvent(queue.more);
    }
    queue.done.store(1);
    if (queue.waiting.exchange(0)) SetEvent(queue.more);
    /* A list gone before its thread took the message never sets `finished`; once taken, the list's
     * thread always does. */
    for (;;) {
        DWORD waited = WaitForSingleObject(queue.finished, 200);
        if (waited == WAIT_OBJECT_0 || (!queue.started.load() && !IsWindow(list))) break;
        if (waited != WAIT_TIMEOUT) Sleep(1);
    }
    FreeRowQueue(&queue);
    return 1;
}

/* Releases the record each row carries, from row 0 up, then deletes every row. */
static void ReleaseRows(HWND list) {
    /* From here to the next fill no row is answered from its record, which may be released. */
    ListValues.rowsDetached.store(1);
    ListChannel channel = OpenListChannel(list);
    int rows = (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
    for (int row = 0; row < rows; row++) {
        LVITEMA item;
        ZeroMemory(&item, sizeof item);
        item.mask = LVIF_PARAM;
        item.iItem = row;
        if (ToList(&channel, LVM_GETITEMA, 0, (LPARAM)&item)) ReleasePatientHits((PatientHits*)item.lParam);
    }
    /* An empty list is left as it is: deleting nothing still redraws its scroll bar under Wine. */
    if (rows == 0) return;
    ListBatch batch = BeginListBatch(list);
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    EndListBatch(&batch);
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
    if (message == WM_RESULT_LIST_FILL_QUEUED && lParam != 0) {
        ListQueuedRows((RowQueue*)lParam);
        return 1;
    }
    if (message == WM_RESULT_LIST_RELEASE) {
        ReleaseRows(list);
        return 1;
    }
    if (message == WM_RESULT_LIST_READ_SCHEMES) {
        SchemeTableAt(ListValues.readAheadPath, 1);
        return 1;
    }
    return CallWindowProcA(ListValues.listViewProc, list, message, wParam, lParam);
}

static void SubclassResultList(HWND list) {
    if (list == NULL || GetWindowLongPtrA(list, GWLP_WNDPROC) == (LONG_PTR)ResultListProc) return;
    WNDPROC previous = (WNDPROC)SetWindowLongPtrA(list, GWLP_WNDPROC, (LONG_PTR)ResultListProc);
    if (previous != NULL) ListValues.listViewProc = previous;
}

/* The list, when it lives on another thread and carries our subclass (which carries out a fill or a
 * release sent to it); NULL otherwise. */
static HWND SubclassedListElsewhere(HWND list) {
    if (list != NULL && GetWindowThreadProcessId(list, NULL) != GetCurrentThreadId() &&
        GetWindowLongPtrA(list, GWLP_WNDPROC) == (LONG_PTR)ResultListProc)
        return list;
    return NULL;
}

void FillResultList(HWND mainWindow, void* patientRecord, void* infoSesamRecord, void* extensionsRecord,
                    DWORD SearchStartTick) {
    HWND elsewhere = SubclassedListElsewhere(GetDlgItem(mainWindow, IDC_RESULT_LIST));
    if (elsewhere != NULL) {
        if (FillAlongside(elsewhere, mainWindow, patientRecord, infoSesamRecord, extensionsRecord,
                          SearchStartTick))
            return;
        FillRequest request = {mainWindow, patientRecord, infoSesamRecord, extensionsRecord, SearchStartTick};
        if (SendMessageA(elsewhere, WM_RESULT_LIST_FILL, 0, (LPARAM)&request) != 0) return;
    }
    FillRows(mainWindow, patientRecord, infoSesamRecord, extensionsRecord, SearchStartTick);
}

void ReleaseListedRecords(HWND mainWindow) {
    HWND list = GetDlgItem(mainWindow, IDC_RESULT_LIST);
    if (list == NULL) return;
    HWND elsewhere = SubclassedListElsewhere(list);
    if (elsewhere != NULL && SendMessageA(elsewhere, WM_RESULT_LIST_RELEASE, 0, 0) != 0) return;
    ReleaseRows(list);
}

void StartReleasingListedRecords(HWND mainWindow) {
    HWND list = GetDlgItem(mainWindow, IDC_RESULT_LIST);
    if (list == NULL) return;
    HWND elsewhere = SubclassedListElsewhere(list);
    if (elsewhere != NULL && SendNotifyMessageA(elsewhere, WM_RESULT_LIST_RELEASE, 0, 0)) return;
    ReleaseListedRecords(mainWindow);
}

void StartReadingSchemeTable(HWND mainWindow) {
    HWND elsewhere = SubclassedListElsewhere(GetDlgItem(mainWindow, IDC_RESULT_LIST));
    /* The path is asked of the host here, on the caller's thread, which is the one that calls it. */
    if (elsewhere != NULL && SchemeFilePath(ListValues.readAheadPath, sizeof ListValues.readAheadPath) &&
        SendNotifyMessageA(elsewhere, WM_RESULT_LIST_READ_SCHEMES, 0, 0))
        ListValues.readAheadAsked.store(1);
}
