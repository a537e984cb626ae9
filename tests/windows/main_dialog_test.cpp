// The real dialog 201 run by MainDialogProc, modeless, driven with messages: initial state, radio
// buttons, deferred closing, the "Ouvrir" refusals, list notifications, label colours, the
// contact link and the minimum size.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/main_dialog.h"
#include "host/cabinet.h"
#include "resources/ids.h"
#include "search/hits.h"
#include "search/search_state.h"
#include "support/mainwin_support.h"

namespace {

class MainWindowTest : public ::testing::Test {
  protected:
    HWND dialog = NULL;
    void SetUp() override {
        InstallRecorders();
        dialog = CreateMainWindow();
        ASSERT_NE(dialog, (HWND)NULL) << "dialog 201 could not be created, error " << GetLastError();
    }
    void TearDown() override {
        DestroyMainWindow(dialog);
        UninstallRecorders();
        SearchShared.SearchControl.running.store(0);
        SearchShared.SearchControl.cancelRequest.store(0);
        SearchShared.SearchControl.starting.store(0);
    }
    std::string Text(int id) {
        char buf[260] = "";
        GetDlgItemTextA(dialog, id, buf, sizeof buf);
        return buf;
    }
    bool Visible(int id) { return IsWindowVisible(GetDlgItem(dialog, id)) != 0; }
    INT_PTR Proc(UINT message, WPARAM wParam, LPARAM lParam) {
        return MainDialogProc(dialog, message, wParam, lParam);
    }
};

TEST_F(MainWindowTest, OpensWithItsInitialState) {
    EXPECT_EQ(Text(IDC_SEARCH_TEXT), "Zelmorin");
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_RADIO_PRESCRIPTIONS), (UINT)BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_RADIO_LETTERS), (UINT)BST_UNCHECKED);
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_RADIO_FORMS), (UINT)BST_UNCHECKED);
    EXPECT_FALSE(Visible(IDC_FORM_CHOOSER));
    EXPECT_TRUE(Visible(IDC_SEARCH_TEXT));
    char caption[64] = "";
    GetWindowTextA(dialog, caption, sizeof caption);
    EXPECT_STREQ(caption, "Sondrel");
    EXPECT_EQ(Text(IDC_LAUNCH), "Lancer");

    HWND bar = GetDlgItem(dialog, IDC_STATUS_BAR);
    ASSERT_NE(bar, (HWND)NULL);
    EXPECT_EQ(GetParent(bar), dialog);
    EXPECT_TRUE(IsWindowVisible(bar));
    ASSERT_NE(Host.CabinetsRoot[0], 0) << "the prefix's registry names no cabinets root";
    ASSERT_NE(Host.CabinetName[0], 0);
    EXPECT_EQ(StatusText(dialog, 0), std::string("Chemin : ") + Host.CabinetsRoot);
    EXPECT_EQ(StatusText(dialog, 1), std::string("Cabinet : ") + Host.CabinetName);
    EXPECT_EQ(StatusText(dialog, 2), "");
    EXPECT_EQ(StatusText(dialog, 3), "v 4.0");
    EXPECT_EQ(SendMessageA(bar, SB_GETPARTS, 0, 0), 4);

    // The prefix holds a known host version and a cabinet that opens: no message at all.
    EXPECT_EQ(Host.HostApiLevel, 2);
    for (const RecordedBox& b : g_boxes)
        ADD_FAILURE() << "unexpected message: " << b.text;

    // The dialog's icons were set and the focus went to "Lancer".
    EXPECT_EQ(GetDlgCtrlID(GetFocus()), IDC_LAUNCH);
}

TEST_F(MainWindowTest, RadioButtonsSwitchBetweenTextAndChooser) {
    SendDlgItemMessageA(dialog, IDC_RADIO_FORMS, BM_CLICK, 0, 0);
    PumpMessages(dialog);
    EXPECT_TRUE(Visible(IDC_FORM_CHOOSER));
    EXPECT_FALSE(Visible(IDC_SEARCH_TEXT));
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_RADIO_FORMS), (UINT)BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_RADIO_PRESCRIPTIONS), (UINT)BST_UNCHECKED);

    const int others[] = {IDC_RADIO_FORM_TEXT, IDC_RADIO_LETTERS, IDC_RADIO_PRESCRIPTIONS};
    for (int id : others) {
        SendDlgItemMessageA(dialog, IDC_RADIO_FORMS, BM_CLICK, 0, 0);
        SendDlgItemMessageA(dialog, id, BM_CLICK, 0, 0);
        PumpMessages(dialog);
        EXPECT_FALSE(Visible(IDC_FORM_CHOOSER)) << id;
        EXPECT_TRUE(Visible(IDC_SEARCH_TEXT)) << id;
        EXPECT_EQ(IsDlgButtonChecked(dialog, id), (UINT)BST_CHECKED) << id;
    }
    // Any notification code switches: the high word is not examined.
    Proc(WM_COMMAND, MAKEWPARAM(IDC_RADIO_FORMS, BN_SETFOCUS), 0);
    EXPECT_TRUE(Visible(IDC_FORM_CHOOSER));
    // The search text is kept while hidden.
    EXPECT_EQ(Text(IDC_SEARCH_TEXT), "Zelmorin");
}

TEST_F(MainWindowTest, EscapeAndIdleCommandsDoNotClose) {
    Proc(WM_COMMAND, IDCANCEL, 0);
    Proc(WM_COMMAND, IDOK, 0);
    Proc(WM_COMMAND, IDC_SEARCH_TEXT, 0);
    Proc(WM_COMMAND, 243, 0);
    // The Escape key through the dialog manager.
    SetFocus(GetDlgItem(dialog, IDC_LAUNCH));
    MSG msg = {dialog, WM_KEYDOWN, VK_ESCAPE, 0, 0, {0, 0}};
    msg.hwnd = GetFocus();
    IsDialogMessageA(dialog, &msg);
    PumpMessages(dialog, 30);
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_TRUE(g_boxes.empty());
}

TEST_F(MainWindowTest, CloseIsDeferredWhileASearchRuns) {
    SearchShared.SearchControl.running.store(1);
    EXPECT_EQ(Proc(WM_CLOSE, 0, 0), TRUE);
    EXPECT_EQ(SearchShared.SearchControl.cancelRequest.load(), CANCEL_AND_CLOSE);
    PumpMessages(dialog, 30);
    EXPECT_TRUE(IsWindowVisible(dialog));
    // "Annuler" before the run stops turns the close into a plain cancel.
    Proc(WM_COMMAND, IDC_LAUNCH, 0);
    EXPECT_EQ(SearchShared.SearchControl.cancelRequest.load(), CANCEL_STOP);
    EXPECT_TRUE(IsWindowVisible(dialog));
    // The close box path (WM_SYSCOMMAND SC_CLOSE) defers the same way.
    SendMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    PumpMessages(dialog, 30);
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_EQ(SearchShared.SearchControl.cancelRequest.load(), CANCEL_AND_CLOSE);
    // The run ends and posts WM_CLOSE, which now finds the window idle.
    EXPECT_EQ(SearchRunFinish(), 1);
    PostMessageA(dialog, WM_CLOSE, 0, 0);
    PumpMessages(dialog, 30);
    EXPECT_FALSE(IsWindowVisible(dialog));
}

TEST_F(MainWindowTest, CloseDuringTheLaunchIntervalWaitsForTheRun) {
    SearchShared.SearchControl.starting.store(1);
    EXPECT_EQ(Proc(WM_CLOSE, 0, 0), TRUE);
    PumpMessages(dialog, 20); // the retries go round
    EXPECT_TRUE(IsWindowVisible(dialog));
    // A second "Lancer" in the interval starts nothing.
    Proc(WM_COMMAND, IDC_LAUNCH, 0);
    EXPECT_EQ(SearchShared.SearchControl.starting.load(), 1);
    EXPECT_EQ(SearchShared.SearchControl.running.load(), 0);
    // The run comes up: the retried close becomes a deferred one.
    SearchRunBegin();
    PumpMessages(dialog, 20);
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_EQ(SearchShared.SearchControl.cancelRequest.load(), CANCEL_AND_CLOSE);
    EXPECT_EQ(SearchRunFinish(), 1);
    PostMessageA(dialog, WM_CLOSE, 0, 0);
    PumpMessages(dialog, 20);
    EXPECT_FALSE(IsWindowVisible(dialog));
}

TEST_F(MainWindowTest, IdleCloseEndsTheWindow) {
    EXPECT_EQ(Proc(WM_CLOSE, 0, 0), FALSE);
    PumpMessages(dialog, 20);
    EXPECT_FALSE(IsWindowVisible(dialog));
}

// Pumps until the condition holds or `ms` have passed; returns whether it holds.
template <typename Condition> bool PumpUntil(HWND dialog, int ms, Condition done) {
    DWORD start = GetTickCount();
    while (!done()) {
        if ((int)(GetTickCount() - start) > ms) return false;
        PumpMessages(dialog, 10);
    }
    return true;
}

TEST_F(MainWindowTest, LancerStartsOneRunAndASecondPressCancelsIt) {
    Proc(WM_COMMAND, IDC_LAUNCH, 0);
    // Pressed again at once: in the launch interval it starts nothing; once the run is up it is a
    // cancel request. Either way one run only.
    Proc(WM_COMMAND, IDC_LAUNCH, 0);
    ASSERT_TRUE(PumpUntil(dialog, 30000, [] { return SearchShared.SearchControl.starting.load() == 0; }));
    // The run ends (completed, or cancelled by the second press) and lowers `running` and the
    // button's label.
    ASSERT_TRUE(PumpUntil(dialog, 60000, [] { return SearchShared.SearchControl.running.load() == 0; }))
        << "the search did not end";
    PumpMessages(dialog, 50);
    EXPECT_EQ(Text(IDC_LAUNCH), "Lancer");
    EXPECT_EQ(SearchShared.SearchControl.cancelRequest.load(), 0);
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_EQ(SearchShared.lastSearchMode.load(), SEARCH_MODE_PRESCRIPTIONS);
}

TEST_F(MainWindowTest, CloseDuringARealRunClosesWhenItEnds) {
    Proc(WM_COMMAND, IDC_LAUNCH, 0);
    ASSERT_TRUE(PumpUntil(dialog, 30000, [] { return SearchShared.SearchControl.starting.load() == 0; }));
    SendMessageA(dialog, WM_CLOSE, 0, 0); // deferred (or immediate, if the run was already over)
    ASSERT_TRUE(PumpUntil(dialog, 60000, [&] { return !IsWindowVisible(dialog); }))
        << "the window did not close after the run";
    EXPECT_EQ(SearchShared.SearchControl.running.load(), 0);
    EXPECT_TRUE(g_boxes.empty());
}

TEST_F(MainWindowTest, OuvrirIsRefusedDuringASearchAndWithoutASelection) {
    const std::string searching = "La recherche doit \xEAtre termin\xE9"
                                  "e pour visualiser les \xE9l\xE9ments";
    const std::string nothing = "Aucun \xE9l\xE9ment n'est s\xE9lectionn\xE9";
    SearchShared.SearchControl.running.store(1);
    Proc(WM_COMMAND, IDC_OPEN, 0);
    SearchShared.SearchControl.running.store(0);
    Proc(WM_COMMAND, IDC_OPEN, 0);
    // The launch interval counts as a search.
    SearchShared.SearchControl.starting.store(1);
    Proc(WM_COMMAND, IDC_OPEN, 0);
    SearchShared.SearchControl.starting.store(0);
    ASSERT_EQ(g_boxes.size(), 3u);
    EXPECT_EQ(g_boxes[0].text, searching);
    EXPECT_EQ(g_boxes[1].text, nothing);
    EXPECT_EQ(g_boxes[2].text, searching);
    for (const RecordedBox& b : g_boxes) {
        EXPECT_EQ(b.caption, "Sondrel");
        EXPECT_EQ(b.style, (UINT)(MB_OK | MB_ICONWARNING));
        EXPECT_EQ(b.style, 0x30u);
        EXPECT_EQ(b.owner, dialog);
    }
}

// Captions of the viewers that came up, each closed at once by a timer.
std::vector<std::string> g_viewerCaptions;
HWND g_viewerOwner;

BOOL CALLBACK FindViewer(HWND window, LPARAM found) {
    if (GetDlgItem(window, IDC_VIEWER_DOCUMENTS) != NULL && GetWindow(window, GW_OWNER) == g_viewerOwner) {
        *(HWND*)found = window;
        return FALSE;
    }
    return TRUE;
}

VOID CALLBACK CloseViewer(HWND, UINT, UINT_PTR, DWORD) {
    HWND viewer = NULL;
    EnumThreadWindows(GetCurrentThreadId(), FindViewer, (LPARAM)&viewer);
    if (viewer == NULL) return;
    char caption[600] = "";
    GetWindowTextA(viewer, caption, sizeof caption);
    g_viewerCaptions.push_back(caption);
    PostMessageA(viewer, WM_CLOSE, 0, 0);
}

class MainWindowRowsTest : public MainWindowTest {
  protected:
    PatientHits records[3] = {};
    UINT_PTR timer = 0;
    void SetUp() override {
        MainWindowTest::SetUp();
        HWND list = GetDlgItem(dialog, IDC_RESULT_LIST);
        const int counts[3] = {2, 7, 3};
        for (int i = 0; i < 3; i++) {
            records[i].patientNumber = i + 1;
            records[i].occurrenceCount = counts[i];
            LVITEMA item = {};
            item.mask = LVIF_TEXT | LVIF_PARAM;
            item.iItem = i;
            item.pszText = (char*)"row";
            item.lParam = (LPARAM)&records[i];
            ASSERT_EQ(SendMessageA(list, LVM_INSERTITEMA, 0, (LPARAM)&item), i);
        }
        g_viewerCaptions.clear();
        g_viewerOwner = dialog;
        timer = SetTimer(NULL, 0, 30, CloseViewer);
    }
    void TearDown() override {
        KillTimer(NULL, timer);
        // The rows refer to records of this fixture: remove them before the window goes.
        SendDlgItemMessageA(dialog, IDC_RESULT_LIST, LVM_DELETEALLITEMS, 0, 0);
        MainWindowTest::TearDown();
    }
    void Select(int row) {
        LVITEMA state = {};
        state.stateMask = LVIS_SELECTED;
        state.state = LVIS_SELECTED;
        SendDlgItemMessageA(dialog, IDC_RESULT_LIST, LVM_SETITEMSTATE, row, (LPARAM)&state);
    }
};

TEST_F(MainWindowRowsTest, OuvrirOpensTheTopmostSelectedRow) {
    Select(2);
    Select(1);
    Proc(WM_COMMAND, IDC_OPEN, 0); // returns once the timer has closed the viewer
    EXPECT_TRUE(g_boxes.empty());
    ASSERT_EQ(g_viewerCaptions.size(), 1u);
    EXPECT_NE(g_viewerCaptions[0].find("- 7 occurences"), std::string::npos) << g_viewerCaptions[0];
}

TEST_F(MainWindowRowsTest, DoubleClickOpensLikeOuvrir) {
    Select(2);
    NMHDR fromList = {GetDlgItem(dialog, IDC_RESULT_LIST), IDC_RESULT_LIST, (UINT)NM_DBLCLK};
    Proc(WM_NOTIFY, IDC_RESULT_LIST, (LPARAM)&fromList);
    EXPECT_TRUE(g_viewerCaptions.empty()); // posted, not opened at once
    PumpMessages(dialog, 300);
    ASSERT_EQ(g_viewerCaptions.size(), 1u);
    EXPECT_NE(g_viewerCaptions[0].find("- 3 occurences"), std::string::npos) << g_viewerCaptions[0];
}

TEST_F(MainWindowRowsTest, ASelectedRowDoesNotLiftTheRefusalDuringASearch) {
    Select(0);
    SearchShared.SearchControl.running.store(1);
    Proc(WM_COMMAND, IDC_OPEN, 0);
    SearchShared.SearchControl.running.store(0);
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_NE(g_boxes[0].text.find("La recherche doit"), std::string::npos);
    EXPECT_TRUE(g_viewerCaptions.empty());
}

TEST_F(MainWindowTest, DoubleClickOnTheListRunsOuvrirOthersDoNot) {
    NMHDR fromList = {GetDlgItem(dialog, IDC_RESULT_LIST), IDC_RESULT_LIST, (UINT)NM_DBLCLK};
    EXPECT_EQ(Proc(WM_NOTIFY, IDC_RESULT_LIST, (LPARAM)&fromList), FALSE);
    EXPECT_TRUE(g_boxes.empty()); // posted, not run at once
    PumpMessages(dialog, 20);
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0].text, "Aucun \xE9l\xE9ment n'est s\xE9lectionn\xE9");

    NMHDR fromBar = {GetDlgItem(dialog, IDC_STATUS_BAR), IDC_STATUS_BAR, (UINT)NM_DBLCLK};
    Proc(WM_NOTIFY, IDC_STATUS_BAR, (LPARAM)&fromBar);
    NMLISTVIEW column = {};
    column.hdr = {GetDlgItem(dialog, IDC_RESULT_LIST), IDC_RESULT_LIST, (UINT)LVN_COLUMNCLICK};
    column.iSubItem = 3;
    EXPECT_EQ(Proc(WM_NOTIFY, IDC_RESULT_LIST, (LPARAM)&column), FALSE);
    PumpMessages(dialog, 20);
    EXPECT_EQ(g_boxes.size(), 1u);
}

TEST_F(MainWindowTest, LabelColours) {
    HDC dc = CreateCompatibleDC(NULL);
    ASSERT_NE(dc, (HDC)NULL);
    const COLORREF before = RGB(1, 2, 3);
    struct Case {
        int id;
        COLORREF colour;
    } cases[] = {
        {IDC_CONTACT_LINK, RGB(0, 0, 255)}, {IDC_HINT_LABEL, RGB(119, 119, 115)}, {IDC_SEARCH_LABEL, before}};
    for (const Case& c : cases) {
        SetTextColor(dc, before);
        SetBkMode(dc, OPAQUE);
        INT_PTR brush = Proc(WM_CTLCOLORSTATIC, (WPARAM)dc, (LPARAM)GetDlgItem(dialog, c.id));
        EXPECT_EQ(brush, (INT_PTR)GetSysColorBrush(COLOR_BTNFACE)) << c.id;
        EXPECT_EQ(GetTextColor(dc), c.colour) << c.id;
        EXPECT_EQ(GetBkMode(dc), TRANSPARENT) << c.id;
    }
    DeleteDC(dc);
}

TEST_F(MainWindowTest, ContactLinkBordersAreOutside) {
    RECT link = ClientRectOf(dialog, IDC_CONTACT_LINK);
    ASSERT_GT(link.right - link.left, 2);
    int midY = (link.top + link.bottom) / 2, midX = (link.left + link.right) / 2;
    SetCursor(LoadCursor(NULL, IDC_ARROW));
    EXPECT_EQ(Proc(WM_MOUSEMOVE, 0, MAKELPARAM(link.left, midY)), FALSE);
    EXPECT_EQ(Proc(WM_MOUSEMOVE, 0, MAKELPARAM(link.right, midY)), FALSE);
    EXPECT_EQ(Proc(WM_MOUSEMOVE, 0, MAKELPARAM(midX, link.top)), FALSE);
    EXPECT_EQ(Proc(WM_MOUSEMOVE, 0, MAKELPARAM(midX, link.bottom)), FALSE);
    EXPECT_EQ(GetCursor(), LoadCursor(NULL, IDC_ARROW)); // left alone outside
    EXPECT_EQ(Proc(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(link.left, midY)), FALSE);
    EXPECT_TRUE(g_shellCalls.empty());

    EXPECT_EQ(Proc(WM_MOUSEMOVE, 0, MAKELPARAM(link.left + 1, link.top + 1)), TRUE);
    HCURSOR linkCursor = LoadCursorA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDC_LINK_CURSOR));
    ASSERT_NE(linkCursor, (HCURSOR)NULL);
    EXPECT_EQ(GetCursor(), linkCursor);
    EXPECT_TRUE(g_shellCalls.empty()); // moving does not open the link

    EXPECT_EQ(Proc(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(link.right - 1, link.bottom - 1)), TRUE);
    ASSERT_EQ(g_shellCalls.size(), 1u);
    EXPECT_EQ(g_shellCalls[0].verb, "open");
    EXPECT_EQ(g_shellCalls[0].file, "mailto:sondrel@example.org?Subject=Sondrel v 4.00");
    EXPECT_EQ(g_shellCalls[0].parameters, "");
    EXPECT_EQ(g_shellCalls[0].show, SW_SHOW);
    char dir[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof dir, dir);
    EXPECT_TRUE(g_shellCalls[0].directoryGiven);
    EXPECT_EQ(g_shellCalls[0].directory, dir);
    // Coordinates are unsigned 16-bit values: a "negative" x is far to the right.
    EXPECT_EQ(Proc(WM_MOUSEMOVE, 0, MAKELPARAM((WORD)-5, midY)), FALSE);
    // The label carries the same address.
    char text[64] = "";
    GetDlgItemTextA(dialog, IDC_CONTACT_LINK, text, sizeof text);
    EXPECT_STREQ(text, "sondrel@example.org");
}

TEST_F(MainWindowTest, MinimumTrackSize) {
    MINMAXINFO info = {};
    info.ptMinTrackSize = {1, 1};
    info.ptMaxTrackSize = {3000, 3000};
    EXPECT_EQ(Proc(WM_GETMINMAXINFO, 0, (LPARAM)&info), FALSE);
    EXPECT_EQ(info.ptMinTrackSize.x, 580);
    EXPECT_EQ(info.ptMinTrackSize.y, 200);
    EXPECT_EQ(info.ptMaxTrackSize.x, 3000);
    // And the window manager honours it on a resize.
    SetWindowPos(dialog, NULL, 0, 0, 300, 100, SWP_NOMOVE | SWP_NOZORDER);
    RECT r;
    GetWindowRect(dialog, &r);
    EXPECT_GE(r.right - r.left, 580);
    EXPECT_GE(r.bottom - r.top, 200);
}

// What the popup menu showed: its window rectangle and its items; dismissed by the timer.
struct MenuSeen {
    bool seen = false;
    RECT rect = {0, 0, 0, 0};
    std::vector<UINT> ids;
} g_menuSeen;

VOID CALLBACK DismissMenu(HWND, UINT, UINT_PTR, DWORD) {
    HWND menuWindow = FindWindowA("#32768", NULL);
    if (menuWindow == NULL || !IsWindowVisible(menuWindow) || g_menuSeen.seen) return;
    g_menuSeen.seen = true;
    GetWindowRect(menuWindow, &g_menuSeen.rect);
    HMENU menu = (HMENU)SendMessageA(menuWindow, MN_GETHMENU, 0, 0);
    for (int i = 0; menu != NULL && i < GetMenuItemCount(menu); i++)
        g_menuSeen.ids.push_back(GetMenuItemID(menu, i));
    EndMenu(); // dismissed: no command follows
}

TEST_F(MainWindowTest, PopupMenusOpenTenPixelsBelowThePointer) {
    const struct {
        int button;
        std::vector<UINT> ids;
    } cases[] = {{IDC_EXPORT, {IDM_EXPORT_TEXT, IDM_EXPORT_EXCEL, IDM_EXPORT_HTML}},
                 {IDC_IMPORT, {IDM_IMPORT_ADD, IDM_IMPORT_SUBTRACT}}};
    for (const auto& c : cases) {
        g_menuSeen = MenuSeen();
        ASSERT_TRUE(SetCursorPos(300, 200));
        POINT pointer;
        GetCursorPos(&pointer);
        UINT_PTR timer = SetTimer(NULL, 0, 50, DismissMenu);
        Proc(WM_COMMAND, c.button, 0); // returns when the menu is dismissed
        KillTimer(NULL, timer);
        ASSERT_TRUE(g_menuSeen.seen) << c.button;
        EXPECT_EQ(g_menuSeen.rect.left, pointer.x) << c.button;
        EXPECT_EQ(g_menuSeen.rect.top, pointer.y + 10) << c.button;
        EXPECT_EQ(g_menuSeen.ids, c.ids) << c.button;
    }
    // Offered during a search as well.
    SearchShared.SearchControl.running.store(1);
    g_menuSeen = MenuSeen();
    UINT_PTR timer = SetTimer(NULL, 0, 50, DismissMenu);
    Proc(WM_COMMAND, IDC_EXPORT, 0);
    KillTimer(NULL, timer);
    SearchShared.SearchControl.running.store(0);
    EXPECT_TRUE(g_menuSeen.seen);
    PumpMessages(dialog, 20);
    EXPECT_TRUE(g_boxes.empty());
}

TEST_F(MainWindowTest, LabelEditsAreNotAccepted) {
    NMLVDISPINFOA edit = {};
    edit.hdr = {GetDlgItem(dialog, IDC_RESULT_LIST), IDC_RESULT_LIST, (UINT)LVN_ENDLABELEDITA};
    edit.item.pszText = (char*)"new text";
    SetWindowLongPtrA(dialog, DWLP_MSGRESULT, 0);
    EXPECT_EQ(SendMessageA(dialog, WM_NOTIFY, IDC_RESULT_LIST, (LPARAM)&edit), FALSE);
}

TEST_F(MainWindowTest, UnhandledMessagesReturnFalse) {
    EXPECT_EQ(Proc(WM_TIMER, 1, 0), FALSE);
    EXPECT_EQ(Proc(WM_COMMAND, IDCMD_CATALOGUE_READY, 0), FALSE);
    EXPECT_EQ(Proc(WM_SIZE, 0, 0), FALSE);
    EXPECT_EQ(Proc(WM_COMMAND, 4242, 0), FALSE);
    EXPECT_EQ(Proc(WM_LBUTTONUP, 0, 0), FALSE);
}

} // namespace
