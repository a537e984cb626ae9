/* The per-patient document viewer (see viewer.h).
 *
 * OpenDocumentViewer loads the rich-text library, opens the host tables the viewer reads (the
 * patients and the patient folders with their locked records, the prescription and letter file
 * tables), runs dialog 300 modally and closes everything again when the dialog ends. The viewer
 * state below is process-wide and valid only while the dialog is open; one viewer at a time (a
 * second request while one is open, e.g. a double-click posted before the first viewer came up, is
 * ignored rather than let it overwrite the state of the open one).
 *
 * Entry i of combo 301 stands for hit i of the record. Only the hits the record really stores are
 * listed: the occurrence count, which an import may have changed, is bounded by the array's size.
 * The first document is shown as soon as the dialog appears, because the dialog gives the keyboard
 * focus to the combo and the combo's focus notification reaches ShowSelectedDocument while
 * lastShownIndex is still -1. A document's rich text is streamed into the control straight from the
 * locked host text: the part between "<rtf>" and "</rtf>" is cut off in place with a zero byte and
 * handed over chunk by chunk as the control asks, the zero included.
 *
 * Decisions of our own:
 *   - Wine's RichEdit 1.0 starts with a bold system font, so rich text without "\plain" would all
 *     show bold; the control gets the default GUI font before anything is streamed in.
 *   - When the rich-text library cannot be loaded, or the control cannot be created, the viewer
 *     still opens and lists the documents; there is no text area and choosing loads nothing.
 *   - A host table that gives no record (host/host_table_win.h: not opened, not locked, or a block
 *     smaller than the record) is replaced by a zero-filled scratch record of the viewer's own, which
 *     the host reads into: nothing is overrun.
 *   - A document text is read within its memory block: a text without a terminator inside its block
 *     is cut one byte short, where the terminator goes.
 *   - The title (a downloaded form label can be long) and the caption are cut to 259 characters.
 *   - The form editor is started only with a complete executable path and a complete parameter
 *     line: nothing is launched when HKCU "Software\Formulon" or its value "rep_Formulon" is missing,
 *     empty or not a text, when the directory is too long to take "\Formulon.exe" within 260 bytes,
 *     or when the parameters do not fit in 260 bytes (a line cut short would name another document).
 *   - A document header that the host cannot read is not handed to the editor either: the folder
 *     record would still hold the date and stamp of another document. The header bytes are emptied
 *     before each read and a header the host left all zero counts as not read; the read's return
 *     value is not consulted (a host may well return 0 on success). In the list such a document
 *     shows the zero date.
 *
 * Each letter or prescription shown has the occurrences of the search text marked in it, and F3 and
 * Shift+F3 go from one to the next (viewer_match.h).
 *
 * Everything runs on the interface thread inside the dialog's modal loop. */
#include "results/viewer.h"

#include <richedit.h>
#include <string.h>

#include "base/str.h"
#include "base/ui.h"
#include "catalogue/form_catalogue.h"
#include "host/cabinet.h"
#include "host/hdapi.h"
#include "host/host_table_win.h"
#include "host/records.h"
#include "host/records_win.h"
#include "resources/ids.h"
#include "results/rich_text.h"
#include "results/viewer_match.h"
#include "search/search_run.h"

const char* g_richEditLibrary = "RICHED32.DLL";

enum { VIEWER_DEFER_WINDOWS = 10, VIEWER_MARGIN = 3, VIEWER_COMBO_HEIGHT = 15, VIEWER_BOTTOM_MARGIN = 2 };

/* The open viewer. */
typedef struct ViewerState {
    PatientHits* record;          /* the patient shown; NULL while no viewer is open */
    int32_t searchMode;           /* SearchMode of the search that found the hits */
    HMODULE richEditLibrary;      /* RICHED32.DLL, or NULL when it could not be loaded */
    HWND richEdit;                /* the text area, or NULL */
    HostTable patients;           /* the patient table */
    HostTable dossiers;           /* the folder table */
    HGLOBAL prescriptionFiles;    /* OpenFileOrdonnances handle */
    HGLOBAL letterFiles;          /* OpenFileCourriers handle */
    unsigned char* patientRecord; /* patient record: the locked block or the scratch one */
    unsigned char* folderRecord;  /* folder record (document header): locked block or scratch */
    int32_t lastShownIndex;       /* combo entry shown last; -1 when none */
    const char* streamPosition;   /* next rich-text byte to hand to the control */
} ViewerState;

static ViewerState Viewer;
static unsigned char ScratchPatientRecord[PATIENT_RECORD_SIZE];
static unsigned char ScratchFolderRecord[FOLDER_RECORD_SIZE];

/* ---- host records ------------------------------------------------------------------------------ */

/* Opens a table and gives its record, or the zero-filled scratch record when it has none. */
static unsigned char* OpenRecord(HostTableKind kind, size_t size, HostTable* table, unsigned char* scratch) {
    memset(scratch, 0, size);
    unsigned char* record = (unsigned char*)OpenHostTable(kind, size, table);
    return record != NULL ? record : scratch;
}

/* Hits the record stores: its occurrence count, bounded by the array. */
static int StoredHits(const PatientHits* record) {
    if (record == NULL || record->hits == NULL || record->occurrenceCount <= 0) return 0;
    return record->occurrenceCount < record->hitCapacity ? record->occurrenceCount : record->hitCapacity;
}

/* Reads the header of a hit into the folder record: from the folder table, or from a file table
 * (the prescription one when `prescriptionFile`, else the letter one) whose first 45 bytes are
 * copied over the folder record. The header bytes are emptied before the read, and the read is
 * judged by what the host left in them (HeaderWasFilled), not by the value the read operation
 * returns, which the host does not define. Returns 1 when the host filled the header. */
static int ReadHitHeader(const HitRef* hit, int prescriptionFile) {
    memset(Viewer.folderRecord, 0, COMMON_HEADER_SIZE);
    if (hit->fromFileTable == 0) {
        ReadDossiers2(hit->key, Viewer.folderRecord);
    } else {
        unsigned char buffer[FILE_HEADER_BUFFER_SIZE];
        memset(buffer, 0, sizeof buffer);
        if (prescriptionFile)
            ReadFileOrdonnances(hit->key, buffer, 0);
        else
            ReadFileCourriers(hit->key, buffer, 0);
        memcpy(Viewer.folderRecord, buffer, COMMON_HEADER_SIZE);
    }
    return HeaderWasFilled(Viewer.folderRecord);
}

/* ---- opening and closing ----------------------------------------------------------------------- */

void OpenDocumentViewer(HWND owner, PatientHits* hits, int32_t searchMode) {
    if (hits == NULL || Viewer.record != NULL) return;
    ZeroMemory(&Viewer, sizeof Viewer);
    Viewer.record = hits;
    Viewer.searchMode = searchMode;
    Viewer.richEditLibrary = LoadLibraryA(g_richEditLibrary);
    Viewer.patientRecord =
        OpenRecord(HOST_TABLE_PATIENTS, PATIENT_RECORD_SIZE, &Viewer.patients, ScratchPatientRecord);
    Viewer.folderRecord =
        OpenRecord(HOST_TABLE_FOLDERS, FOLDER_RECORD_SIZE, &Viewer.dossiers, ScratchFolderRecord);
    Viewer.prescriptionFiles = OpenFileOrdonnances(0);
    Viewer.letterFiles = OpenFileCourriers(0);
    Viewer.lastShownIndex = -1;

    DialogBoxParamA(g_instance, MAKEINTRESOURCEA(IDD_VIEWER), owner, ViewerDialogProc, 0);
    StopOccurrenceKeys();

    CloseHostTable(&Viewer.patients);
    CloseHostTable(&Viewer.dossiers);
    if (Viewer.letterFiles != NULL) CloseFileCourriers(Viewer.letterFiles);
    if (Viewer.prescriptionFiles != NULL) CloseFileOrdonnances(Viewer.prescriptionFiles);
    if (Viewer.richEditLibrary != NULL) FreeLibrary(Viewer.richEditLibrary);
    ZeroMemory(&Viewer, sizeof Viewer);
}

/* ---- initialisation ---------------------------------------------------------------------------- */

static void CreateTextArea(HWND dialog) {
    Viewer.richEdit = NULL;
    if (Viewer.richEditLibrary == NULL) return;
    DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_BORDER | WS_VSCROLL |
                  WS_HSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL;
    Viewer.richEdit =
        CreateWindowExA(0, "RichEdit", "", style, 10, 10, 50, 50, dialog, NULL, g_instance, NULL);
    if (Viewer.richEdit == NULL) return;
    SendMessageA(Viewer.richEdit, WM_SETFONT, (WPARAM)GetStockObject(DEFAULT_GUI_FONT), 0);
    SendMessageA(Viewer.richEdit, EM_EXLIMITTEXT, 0, VIEWER_TEXT_LIMIT);
    SendMessageA(Viewer.richEdit, EM_SETOPTIONS, ECOOP_SET, VIEWER_EDIT_OPTIONS);
}

/* The search text, or in a form search the label of the first catalogue entry with that form id. */
static void MakeTitle(char* title, size_t size) {
    StrCopyN(title, size, SearchShared.LastSearchText, sizeof SearchShared.LastSearchText - 1);
    if (Viewer.searchMode != 2) return;
    const FormEntry* entry = FindFormById(FormCatalogue(), title);
    if (entry != NULL && entry->label != NULL) StrCopy(title, size, entry->label);
}

/* The caption's "%s %s" of the last and first names is the composed name of the list's column 1. */
static void SetViewerCaption(HWND dialog) {
    char name[PATIENT_NAME_TEXT_SIZE];
    ReadPatientRecord(Viewer.patientRecord, Viewer.record->patientNumber);
    ComposePatientName(Viewer.patientRecord, name, sizeof name);
    char title[VIEWER_TEXT_SIZE], caption[VIEWER_TEXT_SIZE];
    MakeTitle(title, sizeof title);
    int count = Viewer.record->occurrenceCount;
    StrFormat(caption, sizeof caption, "%s - %d occurence%s - %s", name, count, count > 1 ? "s" : "", title);
    SendMessageA(dialog, WM_SETTEXT, 0, (LPARAM)caption);
}

static const char* DocumentTypeWord(int32_t searchMode) {
    switch (searchMode) {
    case 0:
        return "Courrier";
    case 1:
        return "Ordonnance";
    }
    return "Formulon";
}

static void FillDocumentList(HWND dialog) {
    HWND combo = GetDlgItem(dialog, IDC_VIEWER_DOCUMENTS);
    const char* word = DocumentTypeWord(Viewer.searchMode);
    int entries = StoredHits(Viewer.record);
    for (int i = 0; i < entries; i++) {
        ReadHitHeader(&Viewer.record->hits[i], Viewer.searchMode == 1);
        PackedDate date = RecordU32(Viewer.folderRecord, HEADER_DATE);
        char line[VIEWER_TEXT_SIZE];
        StrFormat(line, sizeof line, "%s du %02d/%02d/%4d", word, (int)DateDay(date), (int)DateMonth(date),
                  (int)DateYear(date));
        SendMessageA(combo, CB_ADDSTRING, 0, (LPARAM)line);
    }
    SendMessageA(combo, CB_SETCURSEL, 0, 0);
}

void InitViewer(HWND dialog) {
    CreateTextArea(dialog);
    SetViewerCaption(dialog);
    FillDocumentList(dialog);
}

/* WM_INITDIALOG. */
static void StartViewer(HWND dialog) {
    InitViewer(dialog);
    StartOccurrenceKeys(dialog);
    HICON icon = LoadIconA(g_instance, MAKEINTRESOURCEA(IDI_VIEWER));
    SendMessageA(dialog, WM_SETICON, ICON_SMALL, (LPARAM)icon);
    SendMessageA(dialog, WM_SETICON, ICON_BIG, (LPARAM)icon);
    PostMessageA(dialog, WM_SIZE, 0, 0);
    if (Viewer.searchMode == 2 || Viewer.searchMode == 3) {
        if (Viewer.richEdit != NULL) ShowWindow(Viewer.richEdit, SW_HIDE);
        ShowWindow(GetDlgItem(dialog, IDC_VIEWER_FORMULON), SW_SHOWNORMAL);
    }
}

/* ---- layout ------------------------------------------------------------------------------------ */

static int AtLeastZero(int v) {
    return v > 0 ? v : 0;
}

void LayoutViewer(HWND dialog) {
    RECT client;
    if (!GetClientRect(dialog, &client)) return;
    int width = client.right - client.left, height = client.bottom - client.top;
    HWND combo = GetDlgItem(dialog, IDC_VIEWER_DOCUMENTS);
    HDWP batch = BeginDeferWindowPos(VIEWER_DEFER_WINDOWS);
    if (batch != NULL && combo != NULL)
        batch = DeferWindowPos(batch, combo, NULL, VIEWER_MARGIN, 0, AtLeastZero(width - 2 * VIEWER_MARGIN),
                               VIEWER_COMBO_HEIGHT, SWP_NOZORDER);
    RECT field = {0, 0, 0, 0};
    if (combo != NULL) GetClientRect(combo, &field);
    int fieldHeight = field.bottom - field.top;
    if (batch != NULL && Viewer.richEdit != NULL && GetParent(Viewer.richEdit) == dialog)
        batch = DeferWindowPos(batch, Viewer.richEdit, NULL, VIEWER_MARGIN, fieldHeight + VIEWER_MARGIN,
                               AtLeastZero(width - 2 * VIEWER_MARGIN),
                               AtLeastZero(height - fieldHeight - VIEWER_MARGIN - VIEWER_BOTTOM_MARGIN),
                               SWP_NOZORDER);
    if (batch != NULL) EndDeferWindowPos(batch);
}

static void SetMinimumTrackSize(MINMAXINFO* info) {
    if (info == NULL) return;
    info->ptMinTrackSize.x = VIEWER_MIN_WIDTH;
    info->ptMinTrackSize.y = VIEWER_MIN_HEIGHT;
}

/* ---- showing a document ------------------------------------------------------------------------ */

DWORD CALLBACK StreamRtfChunk(DWORD_PTR cookie, LPBYTE destination, LONG wanted, LONG* given) {
    if (given != NULL) *given = 0;
    if (given == NULL || wanted <= 0) return 1;
    size_t n = RichTextChunk(Viewer.streamPosition, (const char*)cookie, (char*)destination, (size_t)wanted);
    if (n == 0) return 1;
    *given = (LONG)n;
    Viewer.streamPosition += n;
    return 0;
}

/* Replaces the text area's content with the rich text of a locked document text of `size` bytes. */
static void LoadRichText(char* text, size_t size) {
    const char* end = NULL;
    char* start = CutRichText(text, size, &end);
    if (start == NULL) {
        SendMessageA(Viewer.richEdit, WM_SETTEXT, 0, (LPARAM) "");
        return;
    }
    Viewer.streamPosition = start;
    EDITSTREAM stream;
    ZeroMemory(&stream, sizeof stream);
    stream.dwCookie = (DWORD_PTR)end;
    stream.pfnCallback = StreamRtfChunk;
    SendMessageA(Viewer.richEdit, EM_STREAMIN, SF_RTF, (LPARAM)&stream);
    Viewer.streamPosition = NULL;
}

void ShowSelectedDocument(HWND dialog) {
    int selected = (int)SendMessageA(GetDlgItem(dialog, IDC_VIEWER_DOCUMENTS), CB_GETCURSEL, 0, 0);
    if (selected == Viewer.lastShownIndex || Viewer.record == NULL || Viewer.record->hits == NULL) return;
    if (selected < 0 || selected >= StoredHits(Viewer.record)) return;
    Viewer.lastShownIndex = selected;
    if (Viewer.richEdit == NULL) return;
    const HitRef* hit = &Viewer.record->hits[selected];
    unsigned char header[FILE_HEADER_BUFFER_SIZE];
    HGLOBAL handle = NULL;
    if (Viewer.searchMode == 0)
        handle = hit->fromFileTable == 0 ? ReadXMLCourriers(hit->key, header, 0)
                                         : ReadXMLFileCourriers(hit->key, header);
    else if (Viewer.searchMode == 1)
        handle = hit->fromFileTable == 0 ? ReadXMLOrdonnances(hit->key, header, 0)
                                         : ReadXMLFileOrdonnances(hit->key, header);
    else
        return;
    if (handle == NULL) return;
    char* text = (char*)GlobalLock(handle);
    size_t size = GlobalSize(handle);
    if (text != NULL) {
        if (size > 0) {
            LoadRichText(text, size);
            MarkOccurrences(Viewer.richEdit, Viewer.searchMode, SearchShared.LastSearchText);
        }
        GlobalUnlock(handle);
    }
    GlobalFree(handle);
}

/* ---- the form editor --------------------------------------------------------------------------- */

int GetFormulonPath(char* path, size_t size) {
    if (path == NULL || size == 0) return 0;
    path[0] = 0;
    HKEY key;
    if (RegOpenKeyA(HKEY_CURRENT_USER, "Software\\Formulon", &key) != ERROR_SUCCESS) return 0;
    char directory[VIEWER_TEXT_SIZE];
    DWORD type = 0, length = sizeof directory;
    LONG read = RegQueryValueExA(key, "rep_Formulon", NULL, &type, (LPBYTE)directory, &length);
    RegCloseKey(key);
    AcceptRegistryText(directory, sizeof directory,
                       read == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ), length);
    if (directory[0] == 0) return 0;
    if (!StrCopy(path, size, directory) || !StrAppend(path, size, "\\Formulon.exe")) {
        path[0] = 0;
        return 0;
    }
    return 1;
}

void LaunchFormulon(HWND dialog) {
    int selected = (int)SendMessageA(GetDlgItem(dialog, IDC_VIEWER_DOCUMENTS), CB_GETCURSEL, 0, 0);
    if (Viewer.record == NULL || selected < 0 || selected >= StoredHits(Viewer.record)) return;
    char executable[VIEWER_TEXT_SIZE];
    if (!GetFormulonPath(executable, sizeof executable)) return;
    if (!ReadHitHeader(&Viewer.record->hits[selected], 0)) return;
    char parameters[VIEWER_TEXT_SIZE];
    if (!StrFormat(parameters, sizeof parameters, ":M/%s/%s//%d///%X/%X", Host.CabinetName,
                   Host.CabinetDirectory, (int)Viewer.record->patientNumber,
                   (unsigned)RecordU32(Viewer.folderRecord, HEADER_DATE),
                   (unsigned)RecordU32(Viewer.folderRecord, HEADER_STAMP)))
        return;
    ShellOpen(NULL, "open", executable, parameters, NULL, SW_SHOW);
}

/* ---- the dialog procedure ---------------------------------------------------------------------- */

/* WM_COMMAND by control id; IDOK (Enter) and IDCANCEL (Escape) do nothing. */
static void RouteViewerCommand(HWND dialog, int id) {
    switch (id) {
    case IDC_VIEWER_DOCUMENTS:
        ShowSelectedDocument(dialog);
        break;
    case IDC_VIEWER_FORMULON:
        LaunchFormulon(dialog);
        break;
    default:
        break;
    }
}

INT_PTR CALLBACK ViewerDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        StartViewer(dialog);
        return TRUE;
    case WM_SIZE:
        LayoutViewer(dialog);
        return FALSE;
    case WM_GETMINMAXINFO:
        SetMinimumTrackSize((MINMAXINFO*)lParam);
        return FALSE;
    case WM_CLOSE:
        EndDialog(dialog, 0);
        return FALSE;
    case WM_COMMAND:
        RouteViewerCommand(dialog, LOWORD(wParam));
        return FALSE;
    }
    return FALSE;
}
