/* The per-patient document viewer (dialog 300).
 *
 * The viewer lists one patient's matching documents in combo 301, one line per hit ("Courrier du
 * dd/mm/yyyy", "Ordonnance du ...", "Formulon du ..."), and shows the chosen letter or prescription
 * as rich text in a RichEdit 1.0 control created at run time. For form documents (search modes 2 and
 * 3) the text area is hidden and button 219 "Lancer Formulon" hands the chosen document to the form
 * editor. Its caption reads "<last name> <first name> - <n> occurence(s) - <search text>", the form
 * label standing for the form id in mode 2. The dialog is modal and closes only through WM_CLOSE. */
#ifndef SONDREL_RESULTS_VIEWER_H
#define SONDREL_RESULTS_VIEWER_H

#include <stddef.h>
#include <stdint.h>
#include <windows.h>

#include "host/host_table_win.h"
#include "host/records.h"
#include "results/viewer_match.h"
#include "search/hits.h"

enum {
    VIEWER_TEXT_SIZE = 260, /* title, caption, editor path and parameter buffers */
    VIEWER_MIN_WIDTH = 340, /* smallest tracking size, pixels */
    VIEWER_MIN_HEIGHT = 200,
    VIEWER_TEXT_LIMIT = 50000000, /* characters the rich-text control accepts */
    VIEWER_EDIT_OPTIONS =
        0x1141 /* auto word selection, auto vertical scroll, no hidden selection, want return */
};

/* The rich-text library the viewer loads for the life of the dialog: "RICHED32.DLL". Tests may name
 * another (a missing one) before opening the viewer. */
extern const char* g_richEditLibrary;

/* One open viewer: everything it reads and shows, from the opening to the closing of its dialog.
 * OpenDocumentViewer keeps it on its own stack and hands it to the dialog with DialogBoxParamA; the
 * dialog keeps its address in its user data (GWLP_USERDATA) from WM_INITDIALOG on, and every
 * operation below is given it. Nothing of one viewer outlives it or is seen by another. */
typedef struct ViewerState {
    HWND dialog;                  /* dialog 300; NULL until WM_INITDIALOG */
    PatientHits* record;          /* the patient shown */
    int32_t searchMode;           /* SearchMode of the search that found the hits */
    HMODULE richEditLibrary;      /* RICHED32.DLL, or NULL when it could not be loaded */
    HWND richEdit;                /* the text area, or NULL */
    HostTable patients;           /* the patient table */
    HostTable dossiers;           /* the folder table */
    HGLOBAL prescriptionFiles;    /* OpenFileOrdonnances handle */
    HGLOBAL letterFiles;          /* OpenFileCourriers handle */
    unsigned char* patientRecord; /* patient record: the locked block or scratchPatient */
    unsigned char* folderRecord;  /* folder record (document header): locked block or scratchFolder */
    int32_t lastShownIndex;       /* combo entry shown last; -1 when none */
    OccurrenceState occurrences;  /* the search text's occurrences in the document shown */
    /* Zero-filled records the host reads into when its table gives none (host_table_win.h). */
    unsigned char scratchPatient[PATIENT_RECORD_SIZE];
    unsigned char scratchFolder[FOLDER_RECORD_SIZE];
} ViewerState;

/* Shows the viewer, modal to `owner`, for one patient's matching documents; `searchMode` is the
 * SearchMode of the search that found them. Returns when the viewer has closed. Does nothing for a
 * NULL record or while another viewer of this thread is open. */
void OpenDocumentViewer(HWND owner, PatientHits* hits, int32_t searchMode);

/* The state of the viewer whose dialog is `dialog`; NULL for any other window, or before its
 * WM_INITDIALOG. */
ViewerState* ViewerStateOf(HWND dialog);

/* The dialog procedure of dialog 300; it only dispatches. */
INT_PTR CALLBACK ViewerDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

/* WM_INITDIALOG's work: the rich-text control, the patient, the caption and the document list. */
void InitViewer(ViewerState* viewer);
/* Places the combo across the top and the text area below it, from the client size. */
void LayoutViewer(ViewerState* viewer);
/* Loads the chosen letter or prescription into the text area, unless it is the one shown already. */
void ShowSelectedDocument(ViewerState* viewer);
/* Starts the form editor on the chosen document (button 219). */
void LaunchFormulon(ViewerState* viewer);

/* A rich text being streamed into the control: the next byte to hand over and the end (one past
 * the text's terminator). EM_STREAMIN's cookie is its address. */
typedef struct RtfStream {
    const char* position;
    const char* end;
} RtfStream;

/* EM_STREAMIN callback: hands the control the rich text of the RtfStream given as cookie, from its
 * position up to its end, in chunks of at most `wanted` bytes, and moves the position on. 0 to go
 * on, 1 at the end (also for a NULL cookie). */
DWORD CALLBACK StreamRtfChunk(DWORD_PTR cookie, LPBYTE destination, LONG wanted, LONG* given);

/* The form editor's executable: its installation directory (HKCU "Software\Formulon" value
 * "rep_Formulon") followed by "\Formulon.exe". Returns 1 with the path in `path`; 0 with an empty
 * path when the key or value is missing or not a text, or when the path does not fit. */
int GetFormulonPath(char* path, size_t size);

#endif
