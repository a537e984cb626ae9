/* The search run: one complete search on its own thread.
 *
 * The main window starts RunSearch with CreateThread when "Lancer" is pressed and no search runs,
 * passing itself as the only argument; the thread returns 0 when the run is over. The run follows
 * the launch guard of search/search_state.h: SearchRunBegin once it has read its inputs (or
 * SearchRunAbandon if it ends before), SearchRunFinish at its end. */
#ifndef SONDREL_SEARCH_SEARCH_RUN_H
#define SONDREL_SEARCH_SEARCH_RUN_H

#include <windows.h>

#include "search/search_state.h"

/* SEARCH_TEXT_SIZE and the last search text (SearchShared.LastSearchText) are in search_state.h. */

/* Thread procedure; `mainWindow` is the main window's HWND. */
DWORD WINAPI RunSearch(LPVOID mainWindow);

/* Lets the runs report their progress to the main window in one message each instead of two: the
 * progress bar (control 232) is subclassed to take a report and pass its parts on to itself and to
 * the status bar. Called once, on the interface thread, when the main window is set up; a window
 * that never had it called gets the two messages. */
void PrepareRunReports(HWND mainWindow);

/* Test switch: non-zero makes each progress report wait until the interface thread has handled
 * it, as the run's other messages do, so that a test acting at a report (a cancel, a close) acts
 * at an exact document. 0, the default: reports do not wait for the window to redraw. */
void MakeReportsWait(int wait);

#endif
