/* The main window's message procedure. It only dispatches: each message and command is handed to a
 * named operation. */
#include "app/main_dialog.h"

HINSTANCE g_instance;

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_CLOSE:
        EndDialog(dialog, 0);
        return FALSE;
    }
    return FALSE;
}
