/* The main window: dialog 201 and its message procedure. */
#ifndef SONDREL_APP_MAIN_DIALOG_H
#define SONDREL_APP_MAIN_DIALOG_H

#include <windows.h>

/* Module instance of the program, used by every resource load. */
extern HINSTANCE g_instance;

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

#endif
