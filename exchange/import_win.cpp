/* Import of a results file: the open dialog, the file under the line reader, the host tables and
 * the prompt for faulty lines.
 *
 * ImportResults, in order: refuse while a search is starting or running; open and lock the patient,
 * social-insurance and extensions tables; ask for the file (cancel: close the tables, nothing else
 * happens); then ImportFromOpenTables: take the start tick, which FillResultList is given so
 * that its summary gives the import's duration; open the file, skip its first line (the header, whatever it
 * holds), apply every further line; close the file; fill the list again with the three locked
 * records; finally unlock and close the tables. ImportResultsFromPath is the same without the
 * dialog.
 *
 * Each line is applied by ApplyImportLine, which checks the line's name against the host's: the
 * name callback reads the patient into the locked record and composes its name with the functions
 * the result list uses (host/records.h), so a row the list showed always passes the check, an
 * unknown patient's " " included. A rejected line asks "Ligne erronée trouvée : ... Continuer ?"
 * (Yes / No, question icon, owned by the main window); No stops the reading, and what earlier lines
 * changed stays. The line is shown as read, cut to its first IMPORT_PROMPT_LINE_CHARS characters
 * and "…" when longer, so that a long or garbled line (a binary file, a file with LF-only line ends
 * read as one line) still gives a box that fits the screen with its buttons. A line dropped for
 * want of memory has already been reported by the hit table and is passed over without a prompt.
 * A file that cannot be opened is reported with an error box (see ReportOpenFailure); the list is
 * filled again all the same. So is a file that fails to be read part-way (a removed medium, a
 * network share gone): the reading stops at the error, the lines applied before it stay, the line
 * cut by it is not applied, and an error box says the file could not be read to its end
 * (ReportReadFailure).
 *
 * The refusal during a search. The search thread writes Results.PatientHitsTable and its two counters
 * without a lock, and releases the records shown in the list when a run starts; an import at the
 * same time would corrupt both. The import therefore runs only while no search is starting or
 * running (SearchActive), the same rule as "Ouvrir", and says so with a warning box in the same
 * style. The check is made before the tables are opened and again after the dialog; the dialog
 * and the prompts are modal to the main window, which stays disabled while they are up, so
 * "Lancer" cannot start a search while the import reads its file. */
#include "exchange/import.h"

#include "base/str.h"
#include "base/ui.h"
#include "exchange/export.h"
#include "exchange/import_apply.h"
#include "exchange/import_lines.h"
#include "host/hdapi.h"
#include "host/host_table_win.h"
#include "host/records.h"
#include "host/records_win.h"
#include "search/result_list.h"
#include "search/search_state.h"

enum { IMPORT_PATH_SIZE = 260, IMPORT_PROMPT_SIZE = IMPORT_PROMPT_LINE_CHARS + 64 };

/* The file an import reads and its line reader; a local of the import. */
typedef struct ImportSource {
    HANDLE file;             /* the open file */
    ImportLineReader reader; /* reads it in chunks through g_importChunkRead */
} ImportSource;

/* The three host tables, each handle locked for the whole import. */
typedef struct ImportTables {
    HostTable patients;   /* the patient table */
    HostTable infoSesam;  /* the social-insurance table */
    HostTable extensions; /* the extensions table */
    void* patient;        /* locked patient record; the names are read into it */
    void* insurance;      /* locked social-insurance record, for FillResultList; NULL if none */
    void* extension;      /* locked extensions record, for FillResultList; NULL if none */
} ImportTables;

int ChooseOpenFile(HWND owner, const char* filter, char* path, int pathSize) {
    OPENFILENAMEA dialog;
    PrepareFileDialog(&dialog, owner, filter, path, pathSize);
    return GetOpenFileNameA(&dialog) ? 1 : 0;
}

/* ImportReadFn over the open file: a failed read is an error, not the end of the file. */
static int ReadFromFile(void* context, char* buf, int size) {
    DWORD got = 0;
    if (!ReadFile((HANDLE)context, buf, (DWORD)size, &got, NULL)) return -1;
    return (int)got;
}

ImportReadFn g_importChunkRead = ReadFromFile;

/* Opens the file for reading (a missing one is created empty, as the dialog does not require it to
 * exist) and reads its first chunk. Returns 0 when it cannot be opened. */
static int OpenImportFile(ImportSource* source, const char* path) {
    source->file =
        CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (source->file == INVALID_HANDLE_VALUE) return 0;
    ImportReaderStart(&source->reader, g_importChunkRead, (void*)source->file);
    return 1;
}

/* Opens and locks the three tables. The patient record is required (the names are read into it);
 * the other two only feed the scheme column, which FillResultList leaves empty without them. 0 when
 * the patient table cannot be had: the host then has no cabinet open, which the opening of the
 * cabinet has already told the user, so the import quietly does nothing. */
static int OpenImportTables(ImportTables* tables) {
    ZeroMemory(tables, sizeof *tables);
    tables->patient = OpenHostTable(HOST_TABLE_PATIENTS, PATIENT_RECORD_SIZE, &tables->patients);
    tables->insurance = OpenHostTable(HOST_TABLE_INFOSESAM, INFOSESAM_RECORD_SIZE, &tables->infoSesam);
    tables->extension = OpenHostTable(HOST_TABLE_EXTENSIONS, EXTENSIONS_RECORD_SIZE, &tables->extensions);
    return tables->patient != NULL;
}

/* Unlocks each table and hands it back. */
static void CloseImportTables(ImportTables* tables) {
    CloseHostTable(&tables->patients);
    CloseHostTable(&tables->infoSesam);
    CloseHostTable(&tables->extensions);
    ZeroMemory(tables, sizeof *tables);
}

/* ImportPatientNameFn: the host's "%s %s" name of the patient, read into the locked record and
 * composed exactly as the list composes its name column. */
static void ReadPatientName(void* context, int patient, char* name, size_t size) {
    ReadPatientRecord(context, patient);
    ComposePatientName(context, name, size);
}

/* Asks whether to go on after a faulty line; 1 for Yes. */
static int AskToContinue(HWND mainWindow, const char* line) {
    char shown[IMPORT_PROMPT_LINE_CHARS + 2];
    char text[IMPORT_PROMPT_SIZE];
    if (!StrCopy(shown, IMPORT_PROMPT_LINE_CHARS + 1, line)) StrAppend(shown, sizeof shown, "…");
    StrFormat(text, sizeof text, "Ligne erronée trouvée : \n%s\nContinuer ?", shown);
    return ShowMessageBox(mainWindow, text, "Sondrel", MB_YESNO | MB_ICONQUESTION) == IDYES;
}

/* A file that cannot be opened (a folder, a file locked by another program, a folder that does not
 * exist) is told to the user, in the style of the export's failures: without it the list would be
 * filled again and the summary shown as after an import that found nothing. */
static void ReportOpenFailure(HWND mainWindow, const char* path) {
    char text[IMPORT_PATH_SIZE + 64];
    StrFormat(text, sizeof text, "Impossible d'ouvrir le fichier %s", path);
    ShowMessageBox(mainWindow, text, "Sondrel", MB_OK | MB_ICONERROR);
}

/* A file that could not be read to its end: the lines read before the error stay applied, and the
 * user learns that the rest of the file was not. */
static void ReportReadFailure(HWND mainWindow, const char* path) {
    char text[IMPORT_PATH_SIZE + 64];
    StrFormat(text, sizeof text, "Impossible de lire le fichier %s jusqu'à la fin", path);
    ShowMessageBox(mainWindow, text, "Sondrel", MB_OK | MB_ICONERROR);
}

/* Reads the file into the hit table and fills the list again; the tables are open and locked. */
static int ImportFromOpenTables(HWND mainWindow, int listId, int importMode, const char* path,
                                ImportTables* tables) {
    char line[IMPORT_LINE_SIZE];
    int result = IMPORT_NOT_OPENED;
    DWORD SearchStartTick = GetTickCount();
    /* The lines may release records that listed rows still carry (a count brought to 0), and a prompt
     * lets the window paint meanwhile: the rows are neither drawn nor answered from their records
     * until the fill below. The list is filled with its drawing switched off and drawn once at the
     * end: under Wine a list that redraws after every inserted row takes seconds for a few hundred
     * rows. */
    HWND list = GetDlgItem(mainWindow, listId);
    if (list != NULL) SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    DetachResultRows();
    ImportSource source;
    if (OpenImportFile(&source, path)) {
        int tooLong = 0;
        result = IMPORT_DONE;
        ReadImportLine(&source.reader, line, sizeof line, &tooLong); /* the header line */
        for (;;) {
            int length = ReadImportLine(&source.reader, line, sizeof line, &tooLong);
            if (length < 0) break;
            int applied =
                ApplyImportLine(line, length, tooLong, importMode, ReadPatientName, tables->patient);
            if (applied == IMPORT_LINE_REJECTED && !AskToContinue(mainWindow, line)) {
                result = IMPORT_STOPPED;
                break;
            }
        }
        CloseHandle(source.file);
        if (source.reader.failed && result == IMPORT_DONE) {
            ReportReadFailure(mainWindow, path);
            result = IMPORT_READ_FAILED;
        }
    } else {
        ReportOpenFailure(mainWindow, path);
    }
    DropStaleCancel();
    FillResultList(mainWindow, tables->patient, tables->insurance, tables->extension, SearchStartTick);
    if (list != NULL) {
        SendMessageA(list, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(list, NULL, TRUE);
    }
    return result;
}

static void WarnImportRefused(HWND mainWindow) {
    ShowMessageBox(mainWindow, "La recherche doit être terminée pour importer un fichier", "Sondrel",
                   MB_OK | MB_ICONWARNING);
}

int ImportResultsFromPath(HWND mainWindow, int listId, int importMode, const char* path) {
    if (importMode != IMPORT_ADD && importMode != IMPORT_SUBTRACT) return IMPORT_NO_TABLES;
    if (SearchActive()) {
        WarnImportRefused(mainWindow);
        return IMPORT_REFUSED;
    }
    ImportTables tables;
    if (!OpenImportTables(&tables)) {
        CloseImportTables(&tables);
        return IMPORT_NO_TABLES;
    }
    int result = ImportFromOpenTables(mainWindow, listId, importMode, path, &tables);
    CloseImportTables(&tables);
    return result;
}

void ImportResults(HWND mainWindow, int listId, int importMode) {
    if (importMode != IMPORT_ADD && importMode != IMPORT_SUBTRACT) return;
    if (SearchActive()) {
        WarnImportRefused(mainWindow);
        return;
    }
    ImportTables tables;
    if (!OpenImportTables(&tables)) {
        CloseImportTables(&tables);
        return;
    }
    char path[IMPORT_PATH_SIZE];
    if (ChooseOpenFile(mainWindow, "Fichiers Excel\0*.XLS\0Tous les fichiers\0*.*\0", path,
                       (int)sizeof path)) {
        if (SearchActive())
            WarnImportRefused(mainWindow);
        else
            ImportFromOpenTables(mainWindow, listId, importMode, path, &tables);
    }
    CloseImportTables(&tables);
}
