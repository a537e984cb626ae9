/* Message boxes and shell requests, through replaceable function pointers.
 *
 * Every message box of the program is shown with ShowMessageBox, and every request to the desktop
 * shell (the mail link, the form editor) goes through ShellOpen. Each calls a process-wide function
 * pointer that starts out as the system's own function (MessageBoxA, ShellExecuteA). The Windows
 * tests replace the pointers with recorders, so a test can check the owner, text, caption and style
 * of a message box without a person to dismiss it, and see a shell request without starting a mail
 * program. Product code never assigns the pointers and never calls MessageBoxA or ShellExecuteA
 * directly.
 *
 * The pointers are set once, before any thread of the program starts, and only read afterwards;
 * the search and catalogue threads may show message boxes through them too. */
#ifndef SONDREL_BASE_UI_H
#define SONDREL_BASE_UI_H

#include <windows.h>

typedef int(WINAPI* MessageBoxFn)(HWND owner, LPCSTR text, LPCSTR caption, UINT style);
typedef HINSTANCE(WINAPI* ShellExecuteFn)(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters,
                                          LPCSTR directory, INT show);

/* Module instance of the program, used by every resource load and window creation; set once by
 * start-up before the main window exists (the Windows tests set it to their own module). */
extern HINSTANCE g_instance;

/* MessageBoxA unless a test replaced it. */
extern MessageBoxFn g_messageBox;
/* ShellExecuteA unless a test replaced it. */
extern ShellExecuteFn g_shellExecute;

/* Shows a message box: owner (may be NULL), text, caption, MB_* style. Returns the button chosen. */
int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT style);

/* Asks the shell to carry out `verb` on `file`. Returns ShellExecuteA's result. */
HINSTANCE ShellOpen(HWND owner, const char* verb, const char* file, const char* parameters,
                    const char* directory, int show);

/* Reads the text of window `window` (ReadWindowText) or of its control `id` (ReadControlText) into
 * `out`, cut to size - 1 bytes and always terminated, whatever the window answers; an empty text
 * when there is no such window or control. Nothing is written for size 0. Returns the length read. */
size_t ReadWindowText(HWND window, char* out, size_t size);
size_t ReadControlText(HWND window, int id, char* out, size_t size);

#endif
