/* The occurrences of the search text in the viewer (see viewer_match.h).
 *
 * The displayed text is read back from the control with EM_GETTEXTRANGE over its whole length, so
 * the positions FindFoldedAll returns are the control's own character positions, whatever it counts
 * for a paragraph end (CR LF in a RichEdit 1.0 control, CR in later ones): no mapping from the
 * rich-text source is needed, and an occurrence that straddles a change of formatting in the source
 * is found whole.
 *
 * How an occurrence is marked depends on the control: a background colour (CHARFORMAT2) where it
 * keeps one, which is checked by reading the first mark back; otherwise, as with the RichEdit 1.0
 * of Windows, which refuses CHARFORMAT2, a text colour and bold. The marking is done with the
 * control's redrawing off, and its undo buffer and modification flag are cleared afterwards, so
 * that Ctrl+Z cannot take the marks off one by one and the shown text counts as unedited.
 *
 * Decisions of our own:
 *   - The current occurrence is shown by the selection itself (the control keeps it visible without
 *     the focus). Which one of how many is not shown: the viewer has no control where "1/3" would
 *     fit without changing the caption or the document list.
 *   - The keys are caught by a WH_MSGFILTER hook of the viewer's thread: the dialog's modal loop
 *     hands it every message (MSGF_DIALOGBOX) before the dialog manager and the focused control see
 *     it, so F3 works whether the document list or the text area has the focus, without
 *     subclassing either. Only F3 in the viewer or one of its child windows is taken.
 *   - The user may edit the shown text; the marks then stay where they were put, and F3 goes on
 *     selecting the positions found when the document was loaded.
 *   - When the text cannot be read back (no memory for a 50,000,000-character copy), nothing is
 *     marked and the document shows as it would without a search.
 *
 * Everything runs on the interface thread. */
#include "results/viewer_match.h"

#include <richedit.h>

#include "base/alloc.h"
#include "base/str.h"
#include "search/fold.h"
#include "search/search_run.h"

/* The one process-wide anchor of the viewer's keys. A WH_MSGFILTER hook procedure is called with
 * the message only, without any value of the caller's, so it must find the open viewer's
 * occurrences somewhere every call can reach: here, the hook's handle and a pointer into the
 * ViewerState of the viewer that has the keys (its state lives on the stack of the call that opens
 * the viewer, and StopOccurrenceKeys clears the pointer before that call returns). Written and
 * read on the interface thread only. */
typedef struct OccurrenceKeys {
    HHOOK keyHook;                /* the WH_MSGFILTER hook, or NULL */
    OccurrenceState* occurrences; /* the occurrences F3 steps through; NULL while no viewer has the keys */
} OccurrenceKeys;

static OccurrenceKeys Keys;

static void SelectCharacters(HWND richEdit, size_t first, size_t length) {
    CHARRANGE range;
    range.cpMin = (LONG)first;
    range.cpMax = (LONG)(first + length);
    SendMessageA(richEdit, EM_EXSETSEL, 0, (LPARAM)&range);
}

/* Puts a background colour on the selection; 1 when the control kept it. */
static int MarkWithBackground(HWND richEdit) {
    CHARFORMAT2A format;
    ZeroMemory(&format, sizeof format);
    format.cbSize = sizeof format;
    format.dwMask = CFM_BACKCOLOR;
    format.crBackColor = VIEWER_MARK_BACKGROUND;
    if (SendMessageA(richEdit, EM_SETCHARFORMAT, SCF_SELECTION, (LPARAM)&format) == 0) return 0;
    CHARFORMAT2A kept;
    ZeroMemory(&kept, sizeof kept);
    kept.cbSize = sizeof kept;
    SendMessageA(richEdit, EM_GETCHARFORMAT, SCF_SELECTION, (LPARAM)&kept);
    return (kept.dwMask & CFM_BACKCOLOR) != 0 && (kept.dwEffects & CFE_AUTOBACKCOLOR) == 0 &&
           kept.crBackColor == VIEWER_MARK_BACKGROUND;
}

static void MarkWithColourAndBold(HWND richEdit) {
    CHARFORMATA format;
    ZeroMemory(&format, sizeof format);
    format.cbSize = sizeof format;
    format.dwMask = CFM_COLOR | CFM_BOLD;
    format.dwEffects = CFE_BOLD;
    format.crTextColor = VIEWER_MARK_TEXT_COLOUR;
    SendMessageA(richEdit, EM_SETCHARFORMAT, SCF_SELECTION, (LPARAM)&format);
}

/* Formats the first occurrences found as marks, at most VIEWER_MAX_MARKS of them and no more than
 * VIEWER_MARK_BUDGET_MS allow, with the control's redrawing off. */
static void ApplyMarks(OccurrenceState* occurrences, HWND richEdit) {
    SendMessageA(richEdit, WM_SETREDRAW, FALSE, 0);
    int background = 0;
    int marks = occurrences->count < VIEWER_MAX_MARKS ? occurrences->count : VIEWER_MAX_MARKS;
    DWORD start = GetTickCount();
    for (int i = 0; i < marks && (i == 0 || GetTickCount() - start < VIEWER_MARK_BUDGET_MS); i++) {
        SelectCharacters(richEdit, occurrences->positions[i], occurrences->length);
        if (i == 0)
            background = MarkWithBackground(richEdit);
        else if (background)
            MarkWithBackground(richEdit);
        if (!background) MarkWithColourAndBold(richEdit);
    }
    SendMessageA(richEdit, EM_EMPTYUNDOBUFFER, 0, 0);
    SendMessageA(richEdit, EM_SETMODIFY, FALSE, 0);
    SendMessageA(richEdit, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(richEdit, NULL, TRUE);
}

/* Finds the occurrences of the folded pattern in the control's text; fills `occurrences`. */
static void FindShownOccurrences(OccurrenceState* occurrences, HWND richEdit, const char* pattern) {
    LONG length = (LONG)SendMessageA(richEdit, WM_GETTEXTLENGTH, 0, 0);
    if (length <= 0) return;
    /* Without memory for the copy the document is shown unmarked, as one without occurrences. */
    char* text = (char*)SondrelAlloc((size_t)length + 1, 1);
    if (text == NULL) return;
    TEXTRANGEA range;
    range.chrg.cpMin = 0;
    range.chrg.cpMax = length;
    range.lpstrText = text;
    LONG got = (LONG)SendMessageA(richEdit, EM_GETTEXTRANGE, 0, (LPARAM)&range);
    if (got < 0) got = 0;
    if (got > length) got = length;
    text[got] = 0;
    size_t total = FindFoldedAll(text, (size_t)got, pattern, occurrences->positions, VIEWER_MAX_OCCURRENCES);
    occurrences->count = total < VIEWER_MAX_OCCURRENCES ? (int)total : VIEWER_MAX_OCCURRENCES;
    SondrelFree(text);
}

int MarkOccurrences(OccurrenceState* occurrences, HWND richEdit, int32_t searchMode, const char* searchText) {
    if (occurrences == NULL) return 0;
    occurrences->richEdit = richEdit;
    occurrences->count = 0;
    occurrences->current = -1;
    if (richEdit == NULL || searchText == NULL || (searchMode != 0 && searchMode != 1)) return 0;
    char pattern[SEARCH_TEXT_SIZE];
    StrCopyN(pattern, sizeof pattern, searchText, sizeof pattern - 1);
    FoldTextInPlace(pattern);
    occurrences->length = StrLenBounded(pattern, sizeof pattern);
    if (occurrences->length == 0) return 0;
    FindShownOccurrences(occurrences, richEdit, pattern);
    if (occurrences->count == 0) return 0;
    ApplyMarks(occurrences, richEdit);
    StepOccurrence(occurrences, 1);
    return occurrences->count;
}

void StepOccurrence(OccurrenceState* occurrences, int direction) {
    if (occurrences == NULL) return;
    int count = occurrences->count;
    if (count <= 0 || occurrences->richEdit == NULL || !IsWindow(occurrences->richEdit)) return;
    int next =
        occurrences->current < 0 ? 0 : (occurrences->current + (direction < 0 ? count - 1 : 1)) % count;
    occurrences->current = next;
    /* The caret goes to the start first, then to the end, so that a long line scrolled sideways
     * shows the occurrence from its first letter. */
    SelectCharacters(occurrences->richEdit, occurrences->positions[next], 0);
    SendMessageA(occurrences->richEdit, EM_SCROLLCARET, 0, 0);
    SelectCharacters(occurrences->richEdit, occurrences->positions[next], occurrences->length);
    SendMessageA(occurrences->richEdit, EM_SCROLLCARET, 0, 0);
}

/* F3 and Shift+F3 on their way to the viewer that has the keys or one of its controls. */
static LRESULT CALLBACK OccurrenceKeyHook(int code, WPARAM wParam, LPARAM lParam) {
    const MSG* message = (const MSG*)lParam;
    OccurrenceState* occurrences = Keys.occurrences;
    if (code == MSGF_DIALOGBOX && message != NULL && message->message == WM_KEYDOWN &&
        message->wParam == VK_F3 && occurrences != NULL && occurrences->dialog != NULL &&
        (message->hwnd == occurrences->dialog || IsChild(occurrences->dialog, message->hwnd))) {
        StepOccurrence(occurrences, GetKeyState(VK_SHIFT) < 0 ? -1 : 1);
        return 1;
    }
    return CallNextHookEx(Keys.keyHook, code, wParam, lParam);
}

void StartOccurrenceKeys(OccurrenceState* occurrences, HWND dialog) {
    if (occurrences == NULL) return;
    if (Keys.occurrences != NULL) StopOccurrenceKeys(Keys.occurrences);
    occurrences->dialog = dialog;
    Keys.occurrences = occurrences;
    Keys.keyHook = SetWindowsHookExA(WH_MSGFILTER, OccurrenceKeyHook, NULL, GetCurrentThreadId());
}

void StopOccurrenceKeys(OccurrenceState* occurrences) {
    if (occurrences == NULL) return;
    if (Keys.occurrences == occurrences) {
        if (Keys.keyHook != NULL) UnhookWindowsHookEx(Keys.keyHook);
        Keys.keyHook = NULL;
        Keys.occurrences = NULL;
    }
    occurrences->dialog = NULL;
    occurrences->richEdit = NULL;
    occurrences->count = 0;
    occurrences->current = -1;
}
