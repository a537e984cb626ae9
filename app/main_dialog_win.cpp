/* The main window: dialog 201 and its message procedure.
 *
 * MainDialogProc only dispatches: each message it handles, and each command, is handed to one named
 * operation below; every other message returns FALSE for the dialog manager's default processing.
 * The window initialises every part of the program that needs it, routes the buttons, radio
 * buttons, popup-menu commands and list notifications, colours two labels, turns the e-mail label
 * (control 6, which has no notify style, so its mouse messages reach this window) into a contact
 * link, and defers closing while a search runs.
 *
 * The window shares SearchShared.SearchControl and SearchShared.lastSearchMode with the search run
 * (search/search_state.h); the decisions on "Lancer" and on closing are taken there, including the guard for
 * the moment between "Lancer" and the run raising `running`. During that moment a close is retried by posting
 * WM_CLOSE again, with a 1 ms pause per retry so the loop does not spin; the search thread's sent
 * messages are served in between, so the run comes up and the retry becomes an ordinary deferred
 * close.
 *
 * The contact link's rectangle is taken once at initialisation: the layout never moves control 6. */
#include "app/main_dialog.h"

#include <commctrl.h>

#include "app/layout.h"
#include "app/layout_win.h"
#include "base/ui.h"
#include "catalogue/catalogue.h"
#include "exchange/export.h"
#include "exchange/import.h"
#include "host/cabinet_win.h"
#include "host/hdapi.h"
#include "resources/ids.h"
#include "results/sort.h"
#include "results/viewer.h"
#include "search/fold.h"
#include "search/match_win.h"
#include "search/result_list.h"
#include "search/search_run.h"
#include "search/search_state.h"

/* The contact link's values, in one record: Link. Written while the main window initialises and
 * read on each WM_SETCURSOR, on the interface thread only. They stay in this file, apart from the
 * app's other record (Layout, app/layout.h), because that one is portable and the cursor is a
 * Win32 handle; nothing else reads them. */
typedef struct ContactLink {
    HCURSOR LinkCursor;    /* the link cursor (resource 103), loaded once at initialisation */
    LinkRect LinkTable[1]; /* the contact link's rectangle in client coordinates; one entry */
    int LinkCount;         /* entries of LinkTable filled: 0 until the link is placed, then 1 */
} ContactLink;

static ContactLink Link;

enum { MENU_POINTER_OFFSET = 10, MINIMUM_TRACK_WIDTH = 580, MINIMUM_TRACK_HEIGHT = 200 };

/* Fills the link table from control 6's screen rectangle. */
static void FillLinkTable(HWND dialog) {
    Link.LinkCount = 0;
    HWND link = GetDlgItem(dialog, IDC_CONTACT_LINK);
    if (link == NULL) return;
    RECT r;
    GetWindowRect(link, &r);
    MapWindowPoints(NULL, dialog, (POINT*)&r, 2);
    Link.LinkTable[0].left = r.left;
    Link.LinkTable[0].top = r.top;
    Link.LinkTable[0].right = r.right;
    Link.LinkTable[0].bottom = r.bottom;
    Link.LinkCount = 1;
}

/* The main window's icon (resource 101), big and small. */
static void SetMainWindowIcon(HWND dialog) {
    HICON icon = LoadIconA(g_instance, MAKEINTRESOURCEA(IDI_MAIN));
    SendMessageA(dialog, WM_SETICON, ICON_SMALL, (LPARAM)icon);
    SendMessageA(dialog, WM_SETICON, ICON_BIG, (LPARAM)icon);
}

/* WM_INITDIALOG, in this order. */
static void InitMainWindow(HWND dialog) {
    InstallAllocationFailureBox();
    SetMainWindowIcon(dialog);
    CreateResultColumns(dialog);
    PrepareRunReports(dialog);
    InitListImages(dialog); /* allocates Sort.SortDirections: first, before the cabinet's own blocks */
    BuildFoldTable();
    OpenCurrentCabinet(dialog);
    Link.LinkCursor = LoadCursorA(g_instance, MAKEINTRESOURCEA(IDC_LINK_CURSOR));
    FillLinkTable(dialog);
    CreateStatusBar(dialog);
    SetDlgItemTextA(dialog, IDC_SEARCH_TEXT, "Zelmorin");
    CheckDlgButton(dialog, IDC_RADIO_PRESCRIPTIONS, BST_CHECKED);
    ShowWindow(GetDlgItem(dialog, IDC_FORM_CHOOSER), SW_HIDE);
    FillFormCombo(dialog);
    PostMessageA(dialog, WM_SIZE, 0, 0);
    InvalidateRect(GetDlgItem(dialog, IDC_RESULT_LIST), NULL, TRUE);
    SetWindowTextA(dialog, "Sondrel");
}

/* "Lancer": starts a search on a new thread, or asks the running one to stop. */
static void LaunchOrCancel(HWND dialog) {
    if (LaunchDecision() != LAUNCH_START) return;
    HANDLE thread = CreateThread(NULL, 0, RunSearch, (LPVOID)dialog, 0, NULL);
    if (thread == NULL) {
        LaunchFailed();
        return;
    }
    CloseHandle(thread); /* the window learns of the end through `running` */
}

/* "Exporter" and "Importer": the first popup of menu resource `menuId`, 10 pixels below the
 * pointer. A chosen item comes back as WM_COMMAND. */
static void ShowCommandMenu(HWND dialog, int menuId) {
    HMENU menu = LoadMenuA(g_instance, MAKEINTRESOURCEA(menuId));
    if (menu == NULL) return;
    HMENU popup = GetSubMenu(menu, 0);
    POINT pointer = {0, 0};
    GetCursorPos(&pointer);
    if (popup != NULL)
        TrackPopupMenuEx(popup, TPM_VERTICAL, pointer.x, pointer.y + MENU_POINTER_OFFSET, dialog, NULL);
    DestroyMenu(menu);
}

static void WarnRefused(HWND dialog, const char* text) {
    ShowMessageBox(dialog, text, "Sondrel", MB_OK | MB_ICONWARNING);
}

/* "Ouvrir": the viewer for the topmost selected row. Refused while a search is starting or
 * running, since the run releases the records the rows point to. */
static void OpenSelectedRow(HWND dialog) {
    if (SearchActive()) {
        WarnRefused(dialog, "La recherche doit être terminée pour visualiser les éléments");
        return;
    }
    HWND list = GetDlgItem(dialog, IDC_RESULT_LIST);
    int row = (int)SendMessageA(list, LVM_GETNEXTITEM, (WPARAM)-1, MAKELPARAM(LVNI_SELECTED, 0));
    if (row < 0) {
        WarnRefused(dialog, "Aucun élément n'est sélectionné");
        return;
    }
    LVITEMA item;
    ZeroMemory(&item, sizeof item);
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (!SendMessageA(list, LVM_GETITEMA, 0, (LPARAM)&item) || item.lParam == 0) return;
    OpenDocumentViewer(dialog, (PatientHits*)item.lParam, SearchShared.lastSearchMode.load());
}

/* Radio buttons: the form chooser for 241, the search text for the three others. */
static void SwitchSearchInput(HWND dialog, int radioId) {
    int forms = radioId == IDC_RADIO_FORMS;
    ShowWindow(GetDlgItem(dialog, IDC_FORM_CHOOSER), forms ? SW_SHOWNORMAL : SW_HIDE);
    ShowWindow(GetDlgItem(dialog, IDC_SEARCH_TEXT), forms ? SW_HIDE : SW_SHOWNORMAL);
}

/* WM_COMMAND, by the low word of wParam; the notification code is not examined. */
static void RouteCommand(HWND dialog, int id) {
    switch (id) {
    case IDC_LAUNCH:
        LaunchOrCancel(dialog);
        break;
    case IDC_EXPORT:
        ShowCommandMenu(dialog, IDM_EXPORT);
        break;
    case IDC_IMPORT:
        ShowCommandMenu(dialog, IDM_IMPORT);
        break;
    case IDM_EXPORT_TEXT:
        ExportResults(dialog, IDC_RESULT_LIST, EXPORT_TEXT);
        break;
    case IDM_EXPORT_EXCEL:
        ExportResults(dialog, IDC_RESULT_LIST, EXPORT_EXCEL);
        break;
    case IDM_EXPORT_HTML:
        ExportResults(dialog, IDC_RESULT_LIST, EXPORT_HTML);
        break;
    case IDM_IMPORT_ADD:
        ImportResults(dialog, IDC_RESULT_LIST, IMPORT_ADD);
        break;
    case IDM_IMPORT_SUBTRACT:
        ImportResults(dialog, IDC_RESULT_LIST, IMPORT_SUBTRACT);
        break;
    case IDC_OPEN:
        OpenSelectedRow(dialog);
        break;
    case IDC_RADIO_LETTERS:
    case IDC_RADIO_PRESCRIPTIONS:
    case IDC_RADIO_FORMS:
    case IDC_RADIO_FORM_TEXT:
        SwitchSearchInput(dialog, id);
        break;
    case IDCMD_CATALOGUE_READY:
        FillFormCombo(dialog);
        break;
    default:
        break; /* IDOK, IDCANCEL (Escape), 235, 243, 244...: nothing */
    }
}

/* WM_NOTIFY: the result list's cells are answered; a header click sorts; a double-click on the
 * result list opens the row. When the result list deletes all its rows it is told not to notify
 * each row's deletion (nothing here needs it; under Wine that is one notification per row).
 * Returns the dialog procedure's answer. */
static INT_PTR RouteNotification(HWND dialog, NMHDR* header) {
    if (header == NULL) return FALSE;
    if (header->code == (UINT)LVN_DELETEALLITEMS && header->idFrom == IDC_RESULT_LIST) {
        SetWindowLongPtrA(dialog, DWLP_MSGRESULT, TRUE);
        return TRUE;
    }
    if (header->code == (UINT)LVN_GETDISPINFOA && header->idFrom == IDC_RESULT_LIST) {
        AnswerResultCell((NMLVDISPINFOA*)header);
    } else if (header->code == (UINT)LVN_COLUMNCLICK) {
        const NMLISTVIEW* click = (const NMLISTVIEW*)header;
        SortByColumn(dialog, IDC_RESULT_LIST, Sort.SortDirections, &Sort.LastSortColumn, click->iSubItem);
    } else if (header->code == (UINT)NM_DBLCLK && header->idFrom == IDC_RESULT_LIST) {
        PostMessageA(dialog, WM_COMMAND, IDC_OPEN, 0);
    }
    return FALSE;
}

/* WM_CTLCOLORSTATIC: the contact link blue, the hint grey, every label on the dialog's face. */
static INT_PTR ColourLabel(HDC dc, HWND control) {
    int id = GetDlgCtrlID(control);
    if (id == IDC_CONTACT_LINK)
        SetTextColor(dc, RGB(0, 0, 255));
    else if (id == IDC_HINT_LABEL)
        SetTextColor(dc, RGB(119, 119, 115));
    SetBkMode(dc, TRANSPARENT);
    return (INT_PTR)GetSysColorBrush(COLOR_BTNFACE);
}

/* WM_MOUSEMOVE and WM_LBUTTONDOWN: the link cursor over the contact link, and the mail message
 * on a click. Returns TRUE over the link. */
static INT_PTR TrackContactLink(UINT message, LPARAM lParam) {
    int x = (int)(unsigned)LOWORD(lParam);
    int y = (int)(unsigned)HIWORD(lParam);
    if (LinkHitTest(Link.LinkTable, Link.LinkCount, x, y) < 0) return FALSE;
    SetCursor(Link.LinkCursor);
    if (message == WM_LBUTTONDOWN) OpenContactLink();
    return TRUE;
}

/* WM_CLOSE: TRUE while the close is deferred, FALSE once the dialog is ended. */
static INT_PTR CloseMainWindow(HWND dialog) {
    switch (CloseDecision()) {
    case CLOSE_DEFERRED:
        return TRUE;
    case CLOSE_RETRY:
        Sleep(1);
        PostMessageA(dialog, WM_CLOSE, 0, 0);
        return TRUE;
    }
    HDCloseCabinet();
    EndDialog(dialog, 0);
    return FALSE;
}

static void SetMinimumTrackSize(MINMAXINFO* info) {
    if (info == NULL) return;
    info->ptMinTrackSize.x = MINIMUM_TRACK_WIDTH;
    info->ptMinTrackSize.y = MINIMUM_TRACK_HEIGHT;
}

/* WM_SIZE: both read the client area themselves. */
static void LayOutAll(HWND dialog) {
    LayoutMainWindow(dialog);
    LayoutStatusBar(dialog);
}

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        InitMainWindow(dialog);
        return TRUE;
    case WM_COMMAND:
        RouteCommand(dialog, LOWORD(wParam));
        return FALSE;
    case WM_NOTIFY:
        return RouteNotification(dialog, (NMHDR*)lParam);
    case WM_CTLCOLORSTATIC:
        return ColourLabel((HDC)wParam, (HWND)lParam);
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
        return TrackContactLink(message, lParam);
    case WM_CLOSE:
        return CloseMainWindow(dialog);
    case WM_GETMINMAXINFO:
        SetMinimumTrackSize((MINMAXINFO*)lParam);
        return FALSE;
    case WM_SIZE:
        LayOutAll(dialog);
        return FALSE;
    case WM_DESTROY:
        ForgetSchemeTable(); /* the scheme table the fills kept */
        return FALSE;
    }
    return FALSE;
}
