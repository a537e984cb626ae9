/* The main window: dialog 201 and its message procedure (main_dialog_win.cpp). */
#ifndef SONDREL_APP_MAIN_DIALOG_H
#define SONDREL_APP_MAIN_DIALOG_H

#include <windows.h>

/* Runs dialog 201; start-up shows it modally with no owner. */
INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

#endif
