/* Main window layout, status bar and contact link (Win32 side of app/layout.h). */
#ifndef SONDREL_APP_LAYOUT_WIN_H
#define SONDREL_APP_LAYOUT_WIN_H

#include <windows.h>

/* Places the buttons, progress bar, result list and form chooser for the present client area. */
void LayoutMainWindow(HWND mainWindow);
/* Creates status bar 11714 with its four parts and texts; once, after the cabinet is open. */
void CreateStatusBar(HWND mainWindow);
/* Re-places the status bar along the bottom edge and recomputes its progress part. */
void LayoutStatusBar(HWND mainWindow);
/* Opens a new mail message to the maker through the shell's "mailto:" handler. */
void OpenContactLink(void);

#endif
