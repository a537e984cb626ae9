/* Main window layout, status bar and contact link.
 *
 * LayoutMainWindow reads the client area and the present sizes of the controls it moves, lets
 * ComputeMainLayout (layout.cpp) work out the places, and applies them in one deferred batch
 * without touching the z order, then repaints the whole client area once. A control's size is its
 * window rectangle: for the buttons and the status bar that is their client area; the progress bar
 * draws a static edge, and its window height is the 10 pixels the previous layout gave it, so the
 * list stays 5 pixels below it. The form chooser is a drop-down list: its window is the closed
 * field, and giving it that same height again changes only its width, leaving the height of its
 * opened list as the template set it (a drop-down combo takes a greater height as a new opened-list
 * height, and keeps the old one otherwise).
 *
 * Nothing is laid out while the window is minimised (client area 0 x 0): restoring it sends a new
 * size. A layout that runs before the controls or the status bar exist (a resize during the
 * dialog's creation) finds them missing and changes nothing.
 *
 * The status bar's part widths are measured once, at creation, on the bar's own device context as
 * obtained (no font selected) and brought back to 96 pixels per inch; only the progress part's
 * width follows later resizes (layout.h says what happens when it would be negative). */
#include "app/layout_win.h"

#include <commctrl.h>

#include "app/layout.h"
#include "app/main_dialog.h"
#include "base/str.h"
#include "base/ui.h"
#include "host/cabinet.h"
#include "resources/ids.h"

enum { STATUS_TEXT_SIZE = 260, WORKING_DIRECTORY_SIZE = 260 };

/* Window-rectangle size of a control. */
static void ControlSize(HWND control, int* width, int* height) {
    RECT r = {0, 0, 0, 0};
    GetWindowRect(control, &r);
    *width = r.right - r.left;
    *height = r.bottom - r.top;
}

/* Client size of the main window, and whether it is to be laid out at all. */
static int ClientToLayOut(HWND mainWindow, int* width, int* height) {
    RECT client = {0, 0, 0, 0};
    GetClientRect(mainWindow, &client);
    *width = client.right - client.left;
    *height = client.bottom - client.top;
    return ShouldLayOut(*width, *height, IsIconic(mainWindow) ? 1 : 0);
}

static HDWP DeferMove(HDWP batch, HWND control, const LayoutRect* r) {
    if (batch == NULL) return NULL;
    return DeferWindowPos(batch, control, NULL, r->x, r->y, 0, 0, SWP_NOZORDER | SWP_NOSIZE);
}

static HDWP DeferPlace(HDWP batch, HWND control, const LayoutRect* r) {
    if (batch == NULL) return NULL;
    return DeferWindowPos(batch, control, NULL, r->x, r->y, r->width, r->height, SWP_NOZORDER);
}

void LayoutMainWindow(HWND mainWindow) {
    HWND launch = GetDlgItem(mainWindow, IDC_LAUNCH);
    HWND exportButton = GetDlgItem(mainWindow, IDC_EXPORT);
    HWND import = GetDlgItem(mainWindow, IDC_IMPORT);
    HWND open = GetDlgItem(mainWindow, IDC_OPEN);
    HWND chooser = GetDlgItem(mainWindow, IDC_FORM_CHOOSER);
    HWND progress = GetDlgItem(mainWindow, IDC_PROGRESS);
    HWND list = GetDlgItem(mainWindow, IDC_RESULT_LIST);
    HWND status = GetDlgItem(mainWindow, IDC_STATUS_BAR);
    if (!launch || !exportButton || !import || !open || !chooser || !progress || !list || !status) return;

    MainLayoutInput in;
    if (!ClientToLayOut(mainWindow, &in.clientWidth, &in.clientHeight)) return;
    int unused;
    ControlSize(launch, &in.launchWidth, &in.launchHeight);
    ControlSize(exportButton, &in.exportWidth, &in.exportHeight);
    ControlSize(open, &unused, &in.openHeight);
    ControlSize(chooser, &unused, &in.chooserHeight);
    ControlSize(progress, &unused, &in.progressHeight);
    ControlSize(status, &unused, &in.statusHeight);

    MainLayout out;
    ComputeMainLayout(&in, &out);

    HDWP batch = BeginDeferWindowPos(10);
    batch = DeferMove(batch, launch, &out.launch);
    batch = DeferMove(batch, exportButton, &out.exportButton);
    if (batch)
        batch = DeferWindowPos(batch, chooser, NULL, 0, 0, out.chooser.width, out.chooser.height,
                               SWP_NOZORDER | SWP_NOMOVE);
    batch = DeferMove(batch, import, &out.import);
    batch = DeferMove(batch, open, &out.open);
    batch = DeferPlace(batch, progress, &out.progress);
    batch = DeferPlace(batch, list, &out.list);
    if (batch) EndDeferWindowPos(batch);
    InvalidateRect(mainWindow, NULL, TRUE);
}

/* Gives the bar its parts as right edges. */
static void SetStatusParts(HWND bar, const int edges[STATUS_PART_COUNT]) {
    SendMessageA(bar, SB_SETPARTS, STATUS_PART_COUNT, (LPARAM)edges);
}

void LayoutStatusBar(HWND mainWindow) {
    HWND bar = GetDlgItem(mainWindow, IDC_STATUS_BAR);
    if (bar == NULL) return;
    int width, height;
    if (!ClientToLayOut(mainWindow, &width, &height)) return;
    int barWidth, barHeight;
    ControlSize(bar, &barWidth, &barHeight);
    MoveWindow(bar, 0, height - barHeight, width, barHeight, TRUE);
    ControlSize(bar, &barWidth, &barHeight);
    ComputeStatusWidths(barWidth, Layout.StatusPartWidths);
    int edges[STATUS_PART_COUNT];
    StatusPartEdges(Layout.StatusPartWidths, barWidth, edges);
    SetStatusParts(bar, edges);
}

/* Sets part `part`'s text and returns its width: measured text width at 96 dpi plus `margin`. */
static int32_t SetMeasuredPart(HWND bar, HDC dc, int dpi, int part, const char* text, int margin) {
    SendMessageA(bar, SB_SETTEXTA, (WPARAM)part, (LPARAM)text);
    SIZE extent = {0, 0};
    if (dc == NULL || !GetTextExtentPoint32A(dc, text, (int)StrLenBounded(text, STATUS_TEXT_SIZE), &extent))
        extent.cx = 0;
    return StatusPartWidth(extent.cx, dpi, margin);
}

void CreateStatusBar(HWND mainWindow) {
    HWND bar = CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, mainWindow,
                               (HMENU)(INT_PTR)IDC_STATUS_BAR, g_instance, NULL);
    if (bar == NULL) return;
    /* All four parts exist before their texts are set: the table's values (0, 1, 2, 3 at first)
     * as right edges. */
    int edges[STATUS_PART_COUNT];
    for (int i = 0; i < STATUS_PART_COUNT; i++)
        edges[i] = Layout.StatusPartWidths[i];
    SetStatusParts(bar, edges);

    HDC dc = GetDC(bar);
    int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSX) : 96;
    char text[STATUS_TEXT_SIZE];
    /* Texts too long for 260 bytes are cut short. */
    StrFormat(text, sizeof text, "v %d.%d", SONDREL_VERSION_MAJOR, SONDREL_VERSION_MINOR);
    Layout.StatusPartWidths[3] = SetMeasuredPart(bar, dc, dpi, 3, text, STATUS_MARGIN_VERSION);
    StrFormat(text, sizeof text, "Chemin : %s", Host.CabinetsRoot);
    Layout.StatusPartWidths[0] = SetMeasuredPart(bar, dc, dpi, 0, text, STATUS_MARGIN_PATH);
    StrFormat(text, sizeof text, "Cabinet : %s", Host.CabinetName);
    Layout.StatusPartWidths[1] = SetMeasuredPart(bar, dc, dpi, 1, text, STATUS_MARGIN_CABINET);
    LayoutStatusBar(mainWindow);
    if (dc) ReleaseDC(bar, dc);
}

void OpenContactLink(void) {
    char link[CONTACT_LINK_SIZE];
    FormatContactLink(link, sizeof link, SONDREL_VERSION_MAJOR, SONDREL_VERSION_MINOR);
    /* A working directory longer than the buffer is not passed: the shell then uses the process's
     * own, which is the same directory. */
    char directory[WORKING_DIRECTORY_SIZE];
    DWORD length = GetCurrentDirectoryA(sizeof directory, directory);
    const char* workingDirectory = (length == 0 || length >= sizeof directory) ? NULL : directory;
    /* The outcome is not examined: without a mail handler nothing happens. */
    ShellOpen(NULL, "open", link, "", workingDirectory, SW_SHOW);
}
