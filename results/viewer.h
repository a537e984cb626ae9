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

/* Shows the viewer, modal to `owner`, for one patient's matching documents; `searchMode` is the
 * SearchMode of the search that found them. Returns when the viewer has closed. Does nothing for a
 * NULL record or while another viewer is open. */
void OpenDocumentViewer(HWND owner, PatientHits* hits, int32_t searchMode);

/* The dialog procedure of dialog 300; it only dispatches. */
INT_PTR CALLBACK ViewerDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

/* WM_INITDIALOG's work: the rich-text control, the patient, the caption and the document list. */
void InitViewer(HWND dialog);
/* Places the combo across the top and the text area below it, from the client size. */
void LayoutViewer(HWND dialog);
/* Loads the chosen letter or prescription into the text area, unless it is the one shown already. */
void ShowSelectedDocument(HWND dialog);
/* Starts the form editor on the chosen document (button 219). */
void LaunchFormulon(HWND dialog);

/* EM_STREAMIN callback: hands the control the rich text from the stream position up to the end
 * address given as cookie, in chunks of at most `wanted` bytes. 0 to go on, 1 at the end. */
DWORD CALLBACK StreamRtfChunk(DWORD_PTR cookie, LPBYTE destination, LONG wanted, LONG* given);

/* The form editor's executable: its installation directory (HKCU "Software\Formulon" value
 * "rep_Formulon") followed by "\Formulon.exe". Returns 1 with the path in `path`; 0 with an empty
 * path when the key or value is missing or not a text, or when the path does not fit. */
int GetFormulonPath(char* path, size_t size);

#endif
