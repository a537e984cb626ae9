/* Process start and end.
 *
 * The entry point finds where the arguments would start on the command line (the program takes none
 * and ignores whatever it is given) and runs SondrelMain, which brackets the whole run with a host
 * session: open the session, show the main window as a modal dialog with no owner, close the session,
 * exit with 0. Nothing here checks a result: a session or cabinet that fails shows up later, in the
 * main window's own messages or as empty searches.
 *
 * The common controls of the main window (list view, progress bar, status bar) must be registered
 * before the dialog is created, or the dialog cannot build its list and progress bar and fails. */
#include <windows.h>
#include <commctrl.h>

#include "app/cmdline.h"
#include "app/main_dialog.h"
#include "base/ui.h"
#include "host/hdapi.h"
#include "resources/ids.h"

/* Registers the window classes of the common controls that the main window uses. */
static void RegisterCommonControls(void) {
    INITCOMMONCONTROLSEX controls;
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS | ICC_BAR_CLASSES;
    InitCommonControlsEx(&controls);
}

/* The main routine: one host session around one modal main window. The arguments and the show state
 * are accepted and not used. */
static int SondrelMain(HINSTANCE instance, const char* arguments, int show) {
    (void)arguments;
    (void)show;
    g_instance = instance;
    HDOpenSession(1);
    RegisterCommonControls();
    DialogBoxParamA(g_instance, MAKEINTRESOURCEA(IDD_MAIN), NULL, MainDialogProc, 0);
    HDCloseSession();
    return 0;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR runtimeArguments, int runtimeShow) {
    (void)previous;
    (void)runtimeArguments;
    (void)runtimeShow;
    /* The program's own reading of the command line, not the runtime's. */
    const char* arguments = SkipProgramName(GetCommandLineA());
    return SondrelMain(instance, arguments, SW_SHOWNORMAL);
}
