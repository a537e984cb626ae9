// Layout of the real dialog 201 for given window sizes, the status bar's parts, and minimising,
// maximising and restoring.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>

#include "app/layout.h"
#include "app/layout_win.h"
#include "host/cabinet.h"
#include "resources/ids.h"
#include "support/mainwin_support.h"

namespace {

class MainLayoutTest : public ::testing::Test {
  protected:
    HWND dialog = NULL;
    void SetUp() override {
        InstallRecorders();
        dialog = CreateMainWindow();
        ASSERT_NE(dialog, (HWND)NULL);
    }
    void TearDown() override {
        DestroyMainWindow(dialog);
        UninstallRecorders();
    }
    SIZE WindowSize(int id) {
        RECT r;
        GetWindowRect(GetDlgItem(dialog, id), &r);
        return {r.right - r.left, r.bottom - r.top};
    }
    void Resize(int width, int height) {
        SetWindowPos(dialog, NULL, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
        PumpMessages(dialog, 20);
    }
    // Checks every moved control against the rules, from the sizes the controls have now.
    void ExpectLaidOut(const char* when) {
        SCOPED_TRACE(when);
        RECT client;
        GetClientRect(dialog, &client);
        const int W = client.right, H = client.bottom;
        SIZE launch = WindowSize(IDC_LAUNCH), exp = WindowSize(IDC_EXPORT), open = WindowSize(IDC_OPEN);
        SIZE bar = WindowSize(IDC_STATUS_BAR);
        RECT r = ClientRectOf(dialog, IDC_LAUNCH);
        EXPECT_EQ(r.left, W - 3 * launch.cx / 2 - 5);
        EXPECT_EQ(r.top, 10);
        r = ClientRectOf(dialog, IDC_EXPORT);
        EXPECT_EQ(r.left, W - launch.cx - 5);
        EXPECT_EQ(r.top, 10 + launch.cy);
        r = ClientRectOf(dialog, IDC_IMPORT);
        EXPECT_EQ(r.left, W - 2 * exp.cx - 5);
        EXPECT_EQ(r.top, 10 + launch.cy);
        r = ClientRectOf(dialog, IDC_OPEN);
        EXPECT_EQ(r.left, W - 3 * exp.cx / 2 - 5);
        const int openTop = 10 + launch.cy + exp.cy;
        EXPECT_EQ(r.top, openTop);
        r = ClientRectOf(dialog, IDC_PROGRESS);
        const int progressTop = openTop + open.cy + 10;
        EXPECT_EQ(r.left, 5);
        EXPECT_EQ(r.top, progressTop);
        EXPECT_EQ(r.right, W - 5);
        EXPECT_EQ(r.bottom - r.top, 10);
        r = ClientRectOf(dialog, IDC_RESULT_LIST);
        EXPECT_EQ(r.left, 5);
        EXPECT_EQ(r.top, progressTop + 10 + 5);
        EXPECT_EQ(r.right, W - 5);
        EXPECT_EQ(r.bottom, H - bar.cy - 3);
        EXPECT_EQ(WindowSize(IDC_FORM_CHOOSER).cx, W - 310);
        // The status bar along the bottom, its last part ending at its right edge.
        r = ClientRectOf(dialog, IDC_STATUS_BAR);
        EXPECT_EQ(r.left, 0);
        EXPECT_EQ(r.right, W);
        EXPECT_EQ(r.bottom, H);
        int edges[4] = {0, 0, 0, 0};
        ASSERT_EQ(SendMessageA(GetDlgItem(dialog, IDC_STATUS_BAR), SB_GETPARTS, 4, (LPARAM)edges), 4);
        EXPECT_EQ(edges[3], W);
        EXPECT_EQ(edges[3] - edges[2], Layout.StatusPartWidths[3]);
        if (Layout.StatusPartWidths[0] + Layout.StatusPartWidths[1] + Layout.StatusPartWidths[3] <= W) {
            EXPECT_EQ(edges[0], Layout.StatusPartWidths[0]);
            EXPECT_EQ(edges[1], Layout.StatusPartWidths[0] + Layout.StatusPartWidths[1]);
        } else { // too narrow: the cabinet and path parts are cut short before the version
            EXPECT_EQ(Layout.StatusPartWidths[2], 0);
            EXPECT_LE(edges[0], edges[1]);
            EXPECT_EQ(edges[1], edges[2]);
        }
    }
};

TEST_F(MainLayoutTest, FirstLayoutAtTemplateSize) {
    ExpectLaidOut("template size");
    // The controls that are not moved keep their template places: the edit at x 119 dialog units.
    RECT unit = {119, 25, 0, 0};
    MapDialogRect(dialog, &unit);
    RECT edit = ClientRectOf(dialog, IDC_SEARCH_TEXT);
    EXPECT_EQ(edit.left, unit.left);
    EXPECT_EQ(edit.top, unit.top);
}

TEST_F(MainLayoutTest, ResizesFollowTheWindow) {
    const SIZE sizes[] = {{900, 600}, {1200, 900}, {600, 260}, {1000, 400}};
    for (const SIZE& s : sizes) {
        Resize(s.cx, s.cy);
        ExpectLaidOut(("resize " + std::to_string(s.cx) + "x" + std::to_string(s.cy)).c_str());
    }
}

TEST_F(MainLayoutTest, ChooserKeepsItsOpenedListHeight) {
    HWND chooser = GetDlgItem(dialog, IDC_FORM_CHOOSER);
    RECT before;
    SendMessageA(chooser, CB_GETDROPPEDCONTROLRECT, 0, (LPARAM)&before);
    // The template gives the opened list most of 351 dialog units.
    RECT unit = {0, 0, 176, 351};
    MapDialogRect(dialog, &unit);
    EXPECT_GT(before.bottom - before.top, unit.bottom * 3 / 4);
    Resize(1100, 700);
    Resize(700, 500);
    RECT after;
    SendMessageA(chooser, CB_GETDROPPEDCONTROLRECT, 0, (LPARAM)&after);
    EXPECT_EQ(after.bottom - after.top, before.bottom - before.top);
}

TEST_F(MainLayoutTest, StatusPartsAreMeasuredTextPlusMargin) {
    Resize(1200, 500); // room for every part
    HWND bar = GetDlgItem(dialog, IDC_STATUS_BAR);
    HDC dc = GetDC(bar);
    int dpi = GetDeviceCaps(dc, LOGPIXELSX);
    auto measure = [&](const std::string& text) {
        SIZE size = {0, 0};
        GetTextExtentPoint32A(dc, text.c_str(), (int)text.size(), &size);
        return size.cx * 96 / dpi;
    };
    const int w0 = measure(std::string("Chemin : ") + Host.CabinetsRoot) + 10;
    const int w1 = measure(std::string("Cabinet : ") + Host.CabinetName) + 10;
    const int w3 = measure("v 4.0") + 30;
    ReleaseDC(bar, dc);
    EXPECT_EQ(Layout.StatusPartWidths[0], w0);
    EXPECT_EQ(Layout.StatusPartWidths[1], w1);
    EXPECT_EQ(Layout.StatusPartWidths[3], w3);
    int edges[4];
    SendMessageA(bar, SB_GETPARTS, 4, (LPARAM)edges);
    EXPECT_EQ(edges[0], w0);
    EXPECT_EQ(edges[1], w0 + w1);
    RECT r;
    GetWindowRect(bar, &r);
    EXPECT_EQ(edges[2], (r.right - r.left) - w3);
    // A resize changes only the progress part.
    Resize(1150, 500);
    SendMessageA(bar, SB_GETPARTS, 4, (LPARAM)edges);
    EXPECT_EQ(edges[1], w0 + w1);
    EXPECT_EQ(edges[3], 1150 - (1200 - (r.right - r.left)));
    EXPECT_EQ(Layout.StatusPartWidths[0], w0);
    EXPECT_EQ(Layout.StatusPartWidths[1], w1);
    EXPECT_EQ(Layout.StatusPartWidths[3], w3);
    EXPECT_EQ(StatusText(dialog, 3), "v 4.0");
    EXPECT_EQ(StatusText(dialog, 0), std::string("Chemin : ") + Host.CabinetsRoot);
}

TEST_F(MainLayoutTest, MinimiseRestoreAndMaximise) {
    Resize(800, 500);
    RECT listBefore = ClientRectOf(dialog, IDC_RESULT_LIST);
    ShowWindow(dialog, SW_MINIMIZE);
    PumpMessages(dialog, 50);
    EXPECT_TRUE(IsIconic(dialog));
    // Nothing was laid out for the 0 x 0 client area: the list keeps its size.
    RECT listIconic;
    GetWindowRect(GetDlgItem(dialog, IDC_RESULT_LIST), &listIconic);
    EXPECT_EQ(listIconic.right - listIconic.left, listBefore.right - listBefore.left);
    EXPECT_EQ(listIconic.bottom - listIconic.top, listBefore.bottom - listBefore.top);
    ShowWindow(dialog, SW_RESTORE);
    PumpMessages(dialog, 50);
    ExpectLaidOut("restored");
    ShowWindow(dialog, SW_MAXIMIZE);
    PumpMessages(dialog, 50);
    RECT client;
    GetClientRect(dialog, &client);
    EXPECT_GT(client.right, 800);
    ExpectLaidOut("maximised");
    ShowWindow(dialog, SW_RESTORE);
    PumpMessages(dialog, 50);
    ExpectLaidOut("restored again");
}

TEST_F(MainLayoutTest, LayoutBeforeTheControlsExistChangesNothing) {
    // A bare dialog window of the same class without controls: the layout finds nothing to move.
    HWND bare = CreateWindowExA(0, "#32770", "bare", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, NULL, NULL,
                                GetModuleHandleA(NULL), NULL);
    ASSERT_NE(bare, (HWND)NULL);
    int before[4] = {Layout.StatusPartWidths[0], Layout.StatusPartWidths[1], Layout.StatusPartWidths[2],
                     Layout.StatusPartWidths[3]};
    LayoutMainWindow(bare);
    LayoutStatusBar(bare);
    for (int i = 0; i < 4; i++)
        EXPECT_EQ(Layout.StatusPartWidths[i], before[i]);
    DestroyWindow(bare);
}

} // namespace
