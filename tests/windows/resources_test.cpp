// The program's resources as Windows loads them: dialog 201 built from its template (controls,
// texts in Windows-1252, styles, tab order and groups), dialog 300, the two popup menus, the sort
// images, the link cursor, the icons and the version block. The resources are linked into this test
// executable from the same resource script as sondrel.exe; the version block is also read from
// sondrel.exe itself when it has been built beside the tests.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "ids.h"

namespace {

HINSTANCE Module() {
    return GetModuleHandleA(NULL);
}

INT_PTR CALLBACK QuietProc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

void RegisterCommonControls() {
    INITCOMMONCONTROLSEX controls = {sizeof controls,
                                     ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS | ICC_BAR_CLASSES};
    ASSERT_TRUE(InitCommonControlsEx(&controls));
}

std::string Text(HWND w) {
    char buf[512] = {0};
    GetWindowTextA(w, buf, sizeof buf);
    return buf;
}

std::string ClassName(HWND w) {
    char buf[128] = {0};
    GetClassNameA(w, buf, sizeof buf);
    return buf;
}

LONG Style(HWND w) {
    return GetWindowLongA(w, GWL_STYLE);
}

// Controls of a dialog in template order (the z order of its children).
std::vector<int> ChildIds(HWND dialog) {
    std::vector<int> ids;
    for (HWND c = GetWindow(dialog, GW_CHILD); c != NULL; c = GetWindow(c, GW_HWNDNEXT))
        ids.push_back(GetDlgCtrlID(c));
    return ids;
}

// The template's rectangle of a control, in dialog units, converted as the dialog manager does:
// the place and the size each on their own.
RECT PixelsOf(HWND dialog, int x, int y, int w, int h) {
    RECT r = {x, y, w, h};
    MapDialogRect(dialog, &r);
    RECT out = {r.left, r.top, r.left + r.right, r.top + r.bottom};
    return out;
}

// A border asked for in the template: the edit and the list view turn WS_BORDER into a sunken client
// edge when they are created.
bool HasBorder(HWND w) {
    return (GetWindowLongA(w, GWL_STYLE) & WS_BORDER) != 0 ||
           (GetWindowLongA(w, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) != 0;
}

HWND ComboList(HWND combo);

// Whether a combo box's opened list shows a vertical scroll bar once it holds more entries than fit.
bool ListScrollsWhenFull(HWND combo) {
    for (int i = 0; i < 80; ++i)
        SendMessageA(combo, CB_ADDSTRING, 0, (LPARAM) "entry");
    SendMessageA(combo, CB_SHOWDROPDOWN, TRUE, 0);
    bool scrolls = (GetWindowLongA(ComboList(combo), GWL_STYLE) & WS_VSCROLL) != 0;
    SendMessageA(combo, CB_SHOWDROPDOWN, FALSE, 0);
    SendMessageA(combo, CB_RESETCONTENT, 0, 0);
    return scrolls;
}

// The drop-down list window of a combo box.
HWND ComboList(HWND combo) {
    COMBOBOXINFO info;
    memset(&info, 0, sizeof info);
    info.cbSize = sizeof info;
    return GetComboBoxInfo(combo, &info) ? info.hwndList : NULL;
}

RECT ClientRectOf(HWND dialog, HWND control) {
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(NULL, dialog, (POINT*)&r, 2);
    return r;
}

class MainDialogTemplate : public ::testing::Test {
  protected:
    void SetUp() override {
        RegisterCommonControls();
        dialog_ = CreateDialogParamA(Module(), MAKEINTRESOURCEA(IDD_MAIN), NULL, QuietProc, 0);
        ASSERT_NE(dialog_, (HWND)NULL) << "error " << GetLastError();
    }
    void TearDown() override {
        if (dialog_ != NULL) DestroyWindow(dialog_);
    }
    HWND Item(int id) { return GetDlgItem(dialog_, id); }
    HWND dialog_ = NULL;
};

TEST_F(MainDialogTemplate, WindowCaptionStyleAndPlace) {
    EXPECT_EQ(Text(dialog_), "Sondrel");
    DWORD style = (DWORD)Style(dialog_);
    for (DWORD s : std::vector<DWORD>{WS_POPUP, WS_VISIBLE, WS_CAPTION, WS_SYSMENU, WS_THICKFRAME,
                                      WS_MINIMIZEBOX, WS_MAXIMIZEBOX})
        EXPECT_EQ(style & s, s) << std::hex << s;
    EXPECT_EQ(GetMenu(dialog_), (HMENU)NULL);
    // The template's font: MS Sans Serif at 8 points (11 pixels high at 96 dpi).
    HFONT font = (HFONT)SendMessageA(dialog_, WM_GETFONT, 0, 0);
    ASSERT_NE(font, (HFONT)NULL);
    LOGFONTA lf;
    ASSERT_EQ(GetObjectA(font, sizeof lf, &lf), (int)sizeof lf);
    EXPECT_STREQ(lf.lfFaceName, "MS Sans Serif");
    HDC dc = GetDC(dialog_);
    EXPECT_EQ(-lf.lfHeight, MulDiv(8, GetDeviceCaps(dc, LOGPIXELSY), 72));
    ReleaseDC(dialog_, dc);
    // Placed at (36, 12) dialog units from the screen's top-left corner, client 389 x 226 units.
    RECT place = PixelsOf(dialog_, 36, 12, 389, 226);
    RECT window, client;
    GetWindowRect(dialog_, &window);
    GetClientRect(dialog_, &client);
    POINT origin = {0, 0};
    ClientToScreen(dialog_, &origin);
    // The template places the client area; a window pushed above the screen's top is moved down.
    EXPECT_EQ(origin.x, place.left);
    EXPECT_GE(origin.y, place.top);
    EXPECT_LT(window.left, origin.x);
    EXPECT_EQ(client.right, place.right - place.left);
    EXPECT_EQ(client.bottom, place.bottom - place.top);
}

TEST_F(MainDialogTemplate, ControlsInTemplateOrderWithClassesAndTexts) {
    const std::vector<int> order = {219, 232, 235, 217, 215, 6,   218, 236,
                                    234, 239, 240, 241, 242, 244, 245, 246};
    EXPECT_EQ(ChildIds(dialog_), order);
    struct Expected {
        int id;
        const char* cls;
        const char* text;
    };
    const Expected expected[] = {
        {219, "Button", "Lancer"},
        {232, "msctls_progress32", ""},
        {235, "Edit", ""},
        {217, "SysListView32", ""},
        {215, "Static", "La recherche ne tient pas compte de la casse"},
        {6, "Static", "sondrel@example.org"},
        {218, "Button", "Exporter"},
        {236, "Static", "Texte \xe0 rechercher"},
        {234, "Button", "Courriers"},
        {239, "Button", "Rechercher"},
        {240, "Button", "Ordonnances"},
        {241, "Button", "Formulon"},
        {242, "Button", "Formulon texte brut"},
        {244, "ComboBox", ""},
        {245, "Button", "Ouvrir"},
        {246, "Button", "Importer"},
    };
    for (const Expected& e : expected) {
        HWND c = Item(e.id);
        ASSERT_NE(c, (HWND)NULL) << e.id;
        EXPECT_STRCASEEQ(ClassName(c).c_str(), e.cls) << e.id;
        EXPECT_EQ(Text(c), e.text) << e.id;
        EXPECT_TRUE(Style(c) & WS_VISIBLE) << e.id;
    }
}

TEST_F(MainDialogTemplate, AccentedLabelIsWindows1252) {
    char buf[64] = {0};
    ASSERT_EQ(GetDlgItemTextA(dialog_, 236, buf, sizeof buf), 18u);
    EXPECT_EQ((unsigned char)buf[6], 0xE0);
    EXPECT_EQ(std::string(buf), "Texte \xe0 rechercher");
}

TEST_F(MainDialogTemplate, ControlStyles) {
    LONG launch = Style(Item(219));
    EXPECT_EQ(launch & BS_TYPEMASK, BS_DEFPUSHBUTTON);
    EXPECT_TRUE(launch & WS_TABSTOP);
    EXPECT_EQ(LOWORD(SendMessageA(dialog_, DM_GETDEFID, 0, 0)), 219);
    for (int id : {218, 245, 246}) {
        EXPECT_EQ(Style(Item(id)) & BS_TYPEMASK, BS_PUSHBUTTON) << id;
        EXPECT_TRUE(Style(Item(id)) & WS_TABSTOP) << id;
    }

    LONG edit = Style(Item(235));
    EXPECT_TRUE(HasBorder(Item(235)));
    EXPECT_TRUE(edit & WS_TABSTOP);
    EXPECT_TRUE(edit & ES_AUTOHSCROLL);
    EXPECT_FALSE(edit & ES_MULTILINE);

    LONG list = Style(Item(217));
    EXPECT_EQ(list & LVS_TYPEMASK, LVS_REPORT);
    EXPECT_FALSE(list & LVS_SINGLESEL);
    EXPECT_TRUE(list & LVS_SHOWSELALWAYS);
    EXPECT_TRUE(list & LVS_SHAREIMAGELISTS);
    EXPECT_TRUE(list & LVS_EDITLABELS);
    EXPECT_TRUE(HasBorder(Item(217)));
    EXPECT_FALSE(list & WS_TABSTOP);

    LONG link = Style(Item(6));
    EXPECT_EQ(link & SS_TYPEMASK, SS_CENTER);
    EXPECT_TRUE(link & SS_SUNKEN);
    EXPECT_FALSE(link & SS_NOTIFY); // mouse messages over the link must reach the main window
    EXPECT_EQ(Style(Item(215)) & SS_TYPEMASK, SS_LEFT);
    EXPECT_FALSE(Style(Item(215)) & SS_NOTIFY);

    for (int id : {234, 240, 241, 242}) {
        EXPECT_EQ(Style(Item(id)) & BS_TYPEMASK, BS_AUTORADIOBUTTON) << id;
        EXPECT_FALSE(Style(Item(id)) & WS_TABSTOP) << id;
    }
    EXPECT_EQ(Style(Item(239)) & BS_TYPEMASK, BS_GROUPBOX);

    LONG combo = Style(Item(244));
    EXPECT_EQ(combo & 3, CBS_DROPDOWNLIST);
    ASSERT_NE(ComboList(Item(244)), (HWND)NULL);
    EXPECT_TRUE(ListScrollsWhenFull(Item(244))); // WS_VSCROLL is handed to its list
    EXPECT_TRUE(combo & WS_TABSTOP);
    EXPECT_FALSE(Style(Item(232)) & WS_TABSTOP);
}

TEST_F(MainDialogTemplate, GroupsStartOnlyAt215And6And236) {
    for (int id : ChildIds(dialog_)) {
        bool group = (Style(Item(id)) & WS_GROUP) != 0;
        EXPECT_EQ(group, id == 215 || id == 6 || id == 236) << id;
    }
    // The four radio buttons are one group: checking one with the keyboard-free click unchecks the
    // others, and the group walk from any of them reaches all four.
    SendMessageA(Item(240), BM_CLICK, 0, 0);
    EXPECT_EQ(IsDlgButtonChecked(dialog_, 240), (UINT)BST_CHECKED);
    SendMessageA(Item(242), BM_CLICK, 0, 0);
    EXPECT_EQ(IsDlgButtonChecked(dialog_, 242), (UINT)BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(dialog_, 240), (UINT)BST_UNCHECKED);
    SendMessageA(Item(234), BM_CLICK, 0, 0);
    EXPECT_EQ(IsDlgButtonChecked(dialog_, 234), (UINT)BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(dialog_, 242), (UINT)BST_UNCHECKED);
    EXPECT_EQ(IsDlgButtonChecked(dialog_, 241), (UINT)BST_UNCHECKED);
    EXPECT_EQ(IsDlgButtonChecked(dialog_, 240), (UINT)BST_UNCHECKED);
    std::vector<int> group;
    HWND c = Item(234);
    do {
        group.push_back(GetDlgCtrlID(c));
        c = GetNextDlgGroupItem(dialog_, c, FALSE);
    } while (c != NULL && c != Item(234) && group.size() < 32);
    for (int id : {240, 241, 242})
        EXPECT_NE(std::find(group.begin(), group.end(), id), group.end()) << id;
}

TEST_F(MainDialogTemplate, TabOrder) {
    // The tab stops in template order: Lancer, the edit, Exporter, the combo, Ouvrir, Importer. The
    // combo and the edit are both visible in the bare template (the window hides one of them).
    const std::vector<int> expected = {219, 235, 218, 244, 245, 246};
    std::vector<int> seen;
    HWND c = Item(219);
    for (size_t i = 0; i < expected.size(); ++i) {
        seen.push_back(GetDlgCtrlID(c));
        c = GetNextDlgTabItem(dialog_, c, FALSE);
    }
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(c, Item(219)); // and round again
    // A hidden control is skipped.
    ShowWindow(Item(244), SW_HIDE);
    EXPECT_EQ(GetNextDlgTabItem(dialog_, Item(218), FALSE), Item(245));
}

TEST_F(MainDialogTemplate, ControlRectangles) {
    struct Place {
        int id, x, y, w, h;
    };
    const Place places[] = {
        {219, 324, 24, 40, 14}, {232, 4, 53, 364, 6},   {235, 119, 25, 175, 12}, {217, 4, 65, 363, 156},
        {215, 10, 40, 149, 10}, {6, 186, 38, 108, 11},  {218, 324, 38, 40, 14},  {236, 9, 26, 83, 9},
        {234, 20, 11, 42, 10},  {239, 13, 2, 274, 21},  {240, 81, 11, 60, 10},   {241, 148, 11, 47, 10},
        {242, 202, 11, 79, 10}, {245, 324, 10, 40, 14}, {246, 295, 35, 40, 14},
    };
    for (const Place& p : places) {
        RECT want = PixelsOf(dialog_, p.x, p.y, p.w, p.h);
        RECT got = ClientRectOf(dialog_, Item(p.id));
        EXPECT_EQ(got.left, want.left) << p.id;
        EXPECT_EQ(got.top, want.top) << p.id;
        EXPECT_EQ(got.right, want.right) << p.id;
        EXPECT_EQ(got.bottom, want.bottom) << p.id;
    }
    // The combo's template height (351 units) is the height of its opened list; its own window is
    // only the selection field, placed at (119, 25) and 176 units wide.
    RECT want = PixelsOf(dialog_, 119, 25, 176, 351);
    RECT got = ClientRectOf(dialog_, Item(244));
    EXPECT_EQ(got.left, want.left);
    EXPECT_EQ(got.top, want.top);
    EXPECT_EQ(got.right, want.right);
    // The opened list reaches down to about the bottom of the template's rectangle (Wine takes a few
    // pixels of frame and field off it).
    RECT field, dropped;
    GetWindowRect(Item(244), &field);
    SendMessageA(Item(244), CB_GETDROPPEDCONTROLRECT, 0, (LPARAM)&dropped);
    EXPECT_GE(dropped.bottom - field.top, (want.bottom - want.top) * 9 / 10);
    EXPECT_LE(dropped.bottom - field.top, (want.bottom - want.top) + 2);
}

TEST(ViewerDialogTemplate, ControlsAndStyles) {
    RegisterCommonControls();
    HWND dialog = CreateDialogParamA(Module(), MAKEINTRESOURCEA(IDD_VIEWER), NULL, QuietProc, 0);
    ASSERT_NE(dialog, (HWND)NULL) << GetLastError();
    EXPECT_EQ(Text(dialog), "Dialog Title");
    DWORD style = (DWORD)Style(dialog);
    for (DWORD s :
         std::vector<DWORD>{WS_POPUP, WS_CAPTION, WS_SYSMENU, WS_THICKFRAME, WS_MINIMIZEBOX, WS_MAXIMIZEBOX})
        EXPECT_EQ(style & s, s) << std::hex << s;
    EXPECT_EQ(ChildIds(dialog), (std::vector<int>{301, 219}));

    HWND combo = GetDlgItem(dialog, 301);
    EXPECT_STRCASEEQ(ClassName(combo).c_str(), "ComboBox");
    EXPECT_EQ(Style(combo) & 3, CBS_DROPDOWNLIST);
    EXPECT_TRUE(Style(combo) & WS_VISIBLE);
    ASSERT_NE(ComboList(combo), (HWND)NULL);
    EXPECT_TRUE(ListScrollsWhenFull(combo));
    EXPECT_TRUE(Style(combo) & WS_TABSTOP);

    HWND button = GetDlgItem(dialog, 219);
    EXPECT_EQ(Text(button), "Lancer Formulon");
    EXPECT_EQ(Style(button) & BS_TYPEMASK, BS_PUSHBUTTON);
    EXPECT_TRUE(Style(button) & WS_TABSTOP);
    EXPECT_FALSE(Style(button) & WS_VISIBLE); // shown only for form documents
    RECT want = PixelsOf(dialog, 3, 23, 76, 14);
    RECT got = ClientRectOf(dialog, button);
    EXPECT_EQ(got.left, want.left);
    EXPECT_EQ(got.top, want.top);
    EXPECT_EQ(got.right, want.right);
    EXPECT_EQ(got.bottom, want.bottom);
    RECT client;
    GetClientRect(dialog, &client);
    RECT size = PixelsOf(dialog, 0, 0, 273, 136);
    EXPECT_EQ(client.right, size.right);
    EXPECT_EQ(client.bottom, size.bottom);
    DestroyWindow(dialog);
}

struct MenuItem {
    UINT id;
    const char* text;
};

void ExpectPopup(int menuId, const std::vector<MenuItem>& items) {
    HMENU menu = LoadMenuA(Module(), MAKEINTRESOURCEA(menuId));
    ASSERT_NE(menu, (HMENU)NULL);
    ASSERT_EQ(GetMenuItemCount(menu), 1);
    char title[64] = {0};
    GetMenuStringA(menu, 0, title, sizeof title, MF_BYPOSITION);
    EXPECT_STREQ(title, "&File");
    HMENU popup = GetSubMenu(menu, 0);
    ASSERT_NE(popup, (HMENU)NULL);
    ASSERT_EQ(GetMenuItemCount(popup), (int)items.size());
    for (size_t i = 0; i < items.size(); ++i) {
        EXPECT_EQ(GetMenuItemID(popup, (int)i), items[i].id) << i;
        char text[64] = {0};
        GetMenuStringA(popup, (UINT)i, text, sizeof text, MF_BYPOSITION);
        EXPECT_STREQ(text, items[i].text);
    }
    DestroyMenu(menu);
}

TEST(MenuResources, ExportPopup) {
    ExpectPopup(IDM_EXPORT, {{13285, "&Fichier texte"}, {13601, "&Fichier Excel"}, {13602, "&Fichier HTML"}});
}

TEST(MenuResources, ImportPopup) {
    ExpectPopup(IDM_IMPORT, {{1011, "&Ajouter fichier XLS"}, {1021, "&Soustraire fichier XLS"}});
}

TEST(PictureResources, SortImagesStrip) {
    HBITMAP plain = (HBITMAP)LoadImageA(Module(), MAKEINTRESOURCEA(IDB_SORT_ARROWS), IMAGE_BITMAP, 0, 0,
                                        LR_CREATEDIBSECTION);
    ASSERT_NE(plain, (HBITMAP)NULL);
    DIBSECTION dib;
    ASSERT_EQ(GetObjectA(plain, sizeof dib, &dib), (int)sizeof dib);
    EXPECT_EQ(dib.dsBm.bmWidth, 64);
    EXPECT_EQ(dib.dsBm.bmHeight, 16);
    EXPECT_EQ(dib.dsBmih.biBitCount, 4);

    // Pixels through a 32-bit copy: image 0 white, image 3 light grey everywhere, images 1 and 2
    // a darker triangle on the grey; with LR_LOADMAP3DCOLORS the grey becomes the 3-D face colour.
    auto pixels = [](HBITMAP bmp) {
        std::vector<DWORD> px(64 * 16);
        BITMAPINFO bi = {};
        bi.bmiHeader.biSize = sizeof bi.bmiHeader;
        bi.bmiHeader.biWidth = 64;
        bi.bmiHeader.biHeight = -16;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        HDC dc = GetDC(NULL);
        int rows = GetDIBits(dc, bmp, 0, 16, px.data(), &bi, DIB_RGB_COLORS);
        ReleaseDC(NULL, dc);
        EXPECT_EQ(rows, 16);
        return px;
    };
    std::vector<DWORD> px = pixels(plain);
    auto at = [&](const std::vector<DWORD>& p, int x, int y) { return p[y * 64 + x] & 0xFFFFFF; };
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            ASSERT_EQ(at(px, x, y), 0xFFFFFFu) << x << "," << y;
    for (int y = 0; y < 16; ++y)
        for (int x = 48; x < 64; ++x)
            ASSERT_EQ(at(px, x, y), 0xC0C0C0u) << x << "," << y;
    int darkUp = 0, darkDown = 0;
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 16; ++x) {
            darkUp += at(px, 16 + x, y) == 0x808080;
            darkDown += at(px, 32 + x, y) == 0x808080;
        }
    EXPECT_GT(darkUp, 10);
    EXPECT_GT(darkDown, 10);
    for (int y = 12; y < 16; ++y) // the header image list is 12 rows high: nothing below
        for (int x = 16; x < 48; ++x)
            EXPECT_EQ(at(px, x, y), 0xC0C0C0u) << x << "," << y;
    // The upward triangle is wider at the bottom, the downward one at the top.
    auto widthOfRow = [&](int x0, int y) {
        int n = 0;
        for (int x = x0; x < x0 + 16; ++x)
            n += at(px, x, y) != 0xC0C0C0;
        return n;
    };
    EXPECT_LT(widthOfRow(16, 3), widthOfRow(16, 7));
    EXPECT_GT(widthOfRow(32, 3), widthOfRow(32, 7));
    DeleteObject(plain);

    HBITMAP mapped = (HBITMAP)LoadImageA(Module(), MAKEINTRESOURCEA(IDB_SORT_ARROWS), IMAGE_BITMAP, 0, 0,
                                         LR_LOADMAP3DCOLORS | LR_CREATEDIBSECTION);
    ASSERT_NE(mapped, (HBITMAP)NULL);
    std::vector<DWORD> mp = pixels(mapped);
    COLORREF face = GetSysColor(COLOR_3DFACE);
    DWORD faceRgb = (GetRValue(face) << 16) | (GetGValue(face) << 8) | GetBValue(face);
    EXPECT_EQ(at(mp, 56, 8), faceRgb);
    EXPECT_EQ(at(mp, 8, 8), 0xFFFFFFu);
    DeleteObject(mapped);
}

TEST(PictureResources, LinkCursorHotSpotAndSize) {
    HCURSOR cursor = LoadCursorA(Module(), MAKEINTRESOURCEA(IDC_LINK_CURSOR));
    ASSERT_NE(cursor, (HCURSOR)NULL);
    ICONINFO info;
    ASSERT_TRUE(GetIconInfo(cursor, &info));
    EXPECT_FALSE(info.fIcon);
    EXPECT_EQ(info.xHotspot, 13u);
    EXPECT_EQ(info.yHotspot, 9u);
    // A two-colour cursor comes as one monochrome bitmap holding the AND and XOR masks: 32 x 64.
    EXPECT_EQ(info.hbmColor, (HBITMAP)NULL);
    BITMAP mask;
    ASSERT_TRUE(GetObjectA(info.hbmMask, sizeof mask, &mask));
    EXPECT_EQ(mask.bmWidth, 32);
    EXPECT_EQ(mask.bmHeight, 64);
    EXPECT_EQ(mask.bmBitsPixel, 1);
    DeleteObject(info.hbmMask);
}

TEST(PictureResources, IconsInBothSizes) {
    for (int id : {IDI_MAIN, IDI_VIEWER}) {
        for (int size : {32, 16}) {
            HICON icon = (HICON)LoadImageA(Module(), MAKEINTRESOURCEA(id), IMAGE_ICON, size, size, 0);
            ASSERT_NE(icon, (HICON)NULL) << id << " " << size;
            ICONINFO info;
            ASSERT_TRUE(GetIconInfo(icon, &info));
            EXPECT_TRUE(info.fIcon);
            BITMAP colour;
            ASSERT_NE(info.hbmColor, (HBITMAP)NULL);
            GetObjectA(info.hbmColor, sizeof colour, &colour);
            EXPECT_EQ(colour.bmWidth, size);
            EXPECT_EQ(colour.bmHeight, size);
            DeleteObject(info.hbmColor);
            DeleteObject(info.hbmMask);
            DestroyIcon(icon);
        }
        EXPECT_NE(LoadIconA(Module(), MAKEINTRESOURCEA(id)), (HICON)NULL) << id;
    }
}

TEST(PictureResources, ResourcesAreFrench) {
    for (auto kind : {RT_DIALOG, RT_MENU}) {
        for (int id : kind == RT_DIALOG ? std::vector<int>{IDD_MAIN, IDD_VIEWER}
                                        : std::vector<int>{IDM_EXPORT, IDM_IMPORT}) {
            EXPECT_NE(FindResourceExA(Module(), kind, MAKEINTRESOURCEA(id),
                                      MAKELANGID(LANG_FRENCH, SUBLANG_FRENCH)),
                      (HRSRC)NULL)
                << id;
        }
    }
    EXPECT_NE(FindResourceExA(Module(), RT_VERSION, MAKEINTRESOURCEA(1), 1036), (HRSRC)NULL);
    EXPECT_NE(FindResourceExA(Module(), RT_BITMAP, MAKEINTRESOURCEA(IDB_SORT_ARROWS), 1036), (HRSRC)NULL);
    EXPECT_NE(FindResourceExA(Module(), RT_GROUP_CURSOR, MAKEINTRESOURCEA(IDC_LINK_CURSOR), 1036),
              (HRSRC)NULL);
    EXPECT_NE(FindResourceExA(Module(), RT_GROUP_ICON, MAKEINTRESOURCEA(IDI_MAIN), 1036), (HRSRC)NULL);
}

// The version block of a file: fixed part and the strings of block 040C04E4.
void ExpectVersion(const char* path) {
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(path, &ignored);
    ASSERT_GT(size, 0u) << path;
    std::vector<char> data(size);
    ASSERT_TRUE(GetFileVersionInfoA(path, 0, size, data.data()));
    VS_FIXEDFILEINFO* fixed = NULL;
    UINT len = 0;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\", (void**)&fixed, &len));
    EXPECT_EQ(fixed->dwFileVersionMS, (DWORD)MAKELONG(0, 4));
    EXPECT_EQ(fixed->dwFileVersionLS, (DWORD)MAKELONG(0, 733));
    EXPECT_EQ(fixed->dwProductVersionMS, (DWORD)MAKELONG(0, 4));
    EXPECT_EQ(fixed->dwProductVersionLS, (DWORD)MAKELONG(0, 733));
    WORD* translation = NULL;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", (void**)&translation, &len));
    ASSERT_GE(len, 4u);
    EXPECT_EQ(translation[0], 0x040C);
    EXPECT_EQ(translation[1], 1252);
    const char* names[][2] = {{"FileVersion", "4.0.733"},
                              {"ProductVersion", "4.0.733"},
                              {"FileDescription", "Sondrel"},
                              {"ProductName", "Sondrel"}};
    for (auto& nv : names) {
        std::string key = std::string("\\StringFileInfo\\040C04E4\\") + nv[0];
        char* value = NULL;
        ASSERT_TRUE(VerQueryValueA(data.data(), key.c_str(), (void**)&value, &len)) << key;
        EXPECT_STREQ(value, nv[1]) << key;
    }
}

TEST(VersionResource, OfThisExecutable) {
    char path[MAX_PATH] = {0};
    GetModuleFileNameA(NULL, path, sizeof path);
    ExpectVersion(path);
}

TEST(VersionResource, OfSondrelExe) {
    // The tests run in the folder where sondrel.exe is built.
    if (GetFileAttributesA("sondrel.exe") == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "sondrel.exe not built here";
    ExpectVersion("sondrel.exe");
}

} // namespace
