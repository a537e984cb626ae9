// e2e_driver.exe: looks at and pokes the windows of a running Sondrel from another process under the
// same wineserver, for the end-to-end scripts (tests/e2e/lib.sh).
//
//   e2e_driver.exe COMMAND ARGS...
//
// A window is named by its exact caption (Windows-1252 after Wine's argument conversion, so UTF-8
// from the shell works). Several top-level windows may share a caption ("Sondrel" is both the main
// window and every message box); commands that need a control pick the visible window that has it,
// and the main window is the one that has the result list 217. Texts are printed in UTF-8 (or as hex
// bytes with text-hex), one result per line, lines ending in "\n" only. Exit status: 0 done, 1 not
// found or timed out, 2 usage.
//
// List-view cells and status-bar texts are not marshalled between processes by Wine, so those commands
// put their request and buffer into memory allocated inside the target process. Buttons are clicked
// by posting BM_CLICK, so a click that opens a modal dialog does not block the driver.
#include <windows.h>
#include <commctrl.h>

#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

const int kResultList = 217;
const int kStatusBar = 11714;

struct Found {
    const char* caption;
    int needId; // a control the window must have, 0 for any
    bool wantMain;
    bool wantMessageBox;
    HWND hwnd;
};

std::string ClassOf(HWND w) {
    char name[128] = {0};
    GetClassNameA(w, name, sizeof name);
    return name;
}

std::string TextOf(HWND w) {
    // WM_GETTEXT is marshalled with the ANSI bytes intact.
    std::vector<char> buf(65536);
    LRESULT n = SendMessageA(w, WM_GETTEXT, buf.size(), (LPARAM)buf.data());
    if (n < 0) n = 0;
    return std::string(buf.data(), strnlen(buf.data(), buf.size()));
}

bool IsMessageBox(HWND w) {
    // A message box is a dialog with the text control 0xFFFF and no result list.
    return ClassOf(w) == "#32770" && GetDlgItem(w, 0xFFFF) != NULL && GetDlgItem(w, kResultList) == NULL;
}

BOOL CALLBACK FindProc(HWND w, LPARAM param) {
    Found* f = (Found*)param;
    if (!IsWindowVisible(w)) return TRUE;
    if (TextOf(w) != f->caption) return TRUE;
    if (f->needId != 0 && GetDlgItem(w, f->needId) == NULL) return TRUE;
    if (f->wantMain && GetDlgItem(w, kResultList) == NULL) return TRUE;
    if (f->wantMessageBox && !IsMessageBox(w)) return TRUE;
    f->hwnd = w;
    return FALSE;
}

HWND FindTop(const char* caption, int needId, bool wantMain = false, bool wantMessageBox = false) {
    Found f = {caption, needId, wantMain, wantMessageBox, NULL};
    EnumWindows(FindProc, (LPARAM)&f);
    return f.hwnd;
}

// A popup menu (a tracked one included) is a visible top-level window of the class "#32768".
BOOL CALLBACK MenuProc(HWND w, LPARAM param) {
    if (!IsWindowVisible(w) || ClassOf(w) != "#32768") return TRUE;
    *(HWND*)param = w;
    return FALSE;
}

bool PopupMenuShown() {
    HWND menu = NULL;
    EnumWindows(MenuProc, (LPARAM)&menu);
    return menu != NULL;
}

// The edit control inside the window that has the keyboard focus of the window's thread, or NULL: a
// dialog that has come up and is ready for typing has one.
HWND FocusedEdit(HWND top) {
    if (top == NULL) return NULL;
    GUITHREADINFO info;
    ZeroMemory(&info, sizeof info);
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(top, NULL), &info) || info.hwndFocus == NULL) return NULL;
    return IsChild(top, info.hwndFocus) && ClassOf(info.hwndFocus) == "Edit" ? info.hwndFocus : NULL;
}

// Polls READY every 50 ms for at most LIMIT ms: 0 when it came true, 1 when the time ran out.
template <class Ready> int PollFor(DWORD limit, Ready ready) {
    DWORD start = GetTickCount();
    for (;;) {
        if (ready()) return 0;
        if (GetTickCount() - start >= limit) return 1;
        Sleep(50);
    }
}

// The window named by caption: the main window when there is one, else any window of that caption.
HWND FindWindowNamed(const char* caption) {
    HWND w = FindTop(caption, 0, true);
    return w != NULL ? w : FindTop(caption, 0);
}

struct Nested {
    int id;
    HWND hwnd;
};

BOOL CALLBACK NestedProc(HWND w, LPARAM param) {
    Nested* n = (Nested*)param;
    if (!IsWindowVisible(w) || GetDlgCtrlID(w) != n->id) return TRUE;
    n->hwnd = w;
    return FALSE;
}

// Control `id` of the window named by caption: a direct child, or else a visible control of a page
// nested inside it (a set-up program's pages are child dialogs of its window).
HWND FindControl(const char* caption, int id) {
    HWND top = FindTop(caption, id);
    if (top != NULL) return GetDlgItem(top, id);
    top = FindTop(caption, 0);
    if (top == NULL) return NULL;
    Nested n = {id, NULL};
    EnumChildWindows(top, NestedProc, (LPARAM)&n);
    return n.hwnd;
}

std::string WideToUtf8(const std::wstring& w) {
    if (w.empty()) return std::string();
    int m = WideCharToMultiByte(CP_UTF8, 0, w.data(), (int)w.size(), NULL, 0, NULL, NULL);
    std::string out(m, '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), (int)w.size(), &out[0], m, NULL, NULL);
    return out;
}

std::string ToUtf8(const std::string& ansi) {
    if (ansi.empty()) return ansi;
    int n = MultiByteToWideChar(CP_ACP, 0, ansi.data(), (int)ansi.size(), NULL, 0);
    std::wstring w(n, L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), (int)ansi.size(), &w[0], n);
    return WideToUtf8(w);
}

void PrintLine(const std::string& s) {
    fwrite(s.data(), 1, s.size(), stdout);
    fputc('\n', stdout);
}

void PrintHex(const std::string& s) {
    std::string out;
    char b[4];
    for (unsigned char c : s) {
        snprintf(b, sizeof b, "%02x", c);
        out += b;
    }
    PrintLine(out);
}

// Memory inside the process that owns a window, for messages whose buffers Wine does not marshal.
struct Remote {
    HANDLE process;
    char* base;
    SIZE_T size;
};

bool OpenRemote(HWND w, SIZE_T size, Remote* r) {
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    r->process = OpenProcess(
        PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE | PROCESS_QUERY_INFORMATION, FALSE, pid);
    if (r->process == NULL) return false;
    r->size = size;
    r->base = (char*)VirtualAllocEx(r->process, NULL, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (r->base == NULL) {
        CloseHandle(r->process);
        return false;
    }
    return true;
}

void CloseRemote(Remote* r) {
    VirtualFreeEx(r->process, r->base, 0, MEM_RELEASE);
    CloseHandle(r->process);
}

bool WriteRemote(Remote* r, SIZE_T offset, const void* data, SIZE_T n) {
    SIZE_T done = 0;
    return WriteProcessMemory(r->process, r->base + offset, data, n, &done) && done == n;
}

bool ReadRemote(Remote* r, SIZE_T offset, void* data, SIZE_T n) {
    SIZE_T done = 0;
    return ReadProcessMemory(r->process, r->base + offset, data, n, &done) && done == n;
}

const SIZE_T kTextAt = 512;
const int kTextMax = 8192;

bool ListCell(HWND lv, Remote* r, int row, int col, std::string* out) {
    LVITEMA it;
    memset(&it, 0, sizeof it);
    it.mask = LVIF_TEXT;
    it.iItem = row;
    it.iSubItem = col;
    it.pszText = r->base + kTextAt;
    it.cchTextMax = kTextMax;
    char zero = 0;
    if (!WriteRemote(r, 0, &it, sizeof it) || !WriteRemote(r, kTextAt, &zero, 1)) return false;
    SendMessageA(lv, LVM_GETITEMTEXTA, row, (LPARAM)r->base);
    std::vector<char> buf(kTextMax + 1, 0);
    if (!ReadRemote(r, kTextAt, buf.data(), kTextMax)) return false;
    *out = std::string(buf.data());
    return true;
}

int ListColumnCount(HWND lv) {
    HWND header = (HWND)SendMessageA(lv, LVM_GETHEADER, 0, 0);
    return header != NULL ? (int)SendMessageA(header, HDM_GETITEMCOUNT, 0, 0) : 0;
}

POINT CentreOf(HWND w) {
    RECT rc;
    GetWindowRect(w, &rc);
    POINT p = {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
    return p;
}

// The centre of the caption's close box, found by asking the window what each point of its caption
// row is (WM_NCHITTEST is answered by the window's own process), every second pixel.
bool CloseBox(HWND w, POINT* at) {
    RECT rc;
    GetWindowRect(w, &rc);
    int top = -1, bottom = -1, left = -1, right = -1;
    for (int y = rc.top; y < rc.top + 60 && y < rc.bottom; y += 2) {
        for (int x = rc.right - 1; x > rc.right - 80 && x > rc.left; x -= 2) {
            LRESULT hit = SendMessageA(w, WM_NCHITTEST, 0, MAKELPARAM(x, y));
            if (hit == HTCLOSE) {
                if (top < 0) top = y;
                bottom = y;
                if (right < 0 || x > right) right = x;
                if (left < 0 || x < left) left = x;
            }
        }
    }
    if (top < 0) return false;
    at->x = (left + right) / 2;
    at->y = (top + bottom) / 2;
    return true;
}

struct Containing {
    const char* part;
    std::string caption;
};

BOOL CALLBACK ContainingProc(HWND w, LPARAM param) {
    Containing* c = (Containing*)param;
    if (!IsWindowVisible(w)) return TRUE;
    std::string caption = TextOf(w);
    if (caption.find(c->part) == std::string::npos) return TRUE;
    c->caption = caption;
    return FALSE;
}

BOOL CALLBACK ListProc(HWND w, LPARAM) {
    RECT rc;
    GetWindowRect(w, &rc);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    printf("%p pid=%lu visible=%d class=%s rect=%ld,%ld,%ld,%ld caption=", (void*)w, (unsigned long)pid,
           IsWindowVisible(w) ? 1 : 0, ClassOf(w).c_str(), rc.left, rc.top, rc.right, rc.bottom);
    PrintLine(ToUtf8(TextOf(w)));
    return TRUE;
}

int Usage() {
    fputs("usage: e2e_driver COMMAND ARGS\n"
          "  wait-window CAPTION MS [ID]   wait until a visible window (with control ID) exists\n"
          "  wait-gone CAPTION MS          wait until no visible window has the caption\n"
          "  wait-menu MS                  wait until a popup menu is shown\n"
          "  wait-edit-focus CAPTION MS    wait until the keyboard focus is in an edit inside the window\n"
          "  focus-text CAPTION            text of the edit inside the window that has the focus\n"
          "  exists CAPTION                exit 0 when a visible window has the caption\n"
          "  windows                       list the top-level windows\n"
          "  find TEXT                     full caption of a visible window whose caption contains TEXT\n"
          "  window-rect CAPTION           left top right bottom (screen)\n"
          "  client-size CAPTION           width height of the client area\n"
          "  coords CAPTION ID...          screen centre x y of each control\n"
          "  close-box CAPTION             screen centre x y of the caption's close box\n"
          "  text CAPTION ID               text of a control (ID 0: the window), UTF-8\n"
          "  text-hex CAPTION ID           the same as hex bytes\n"
          "  set-text CAPTION ID TEXT      WM_SETTEXT\n"
          "  click CAPTION ID              post BM_CLICK\n"
          "  command CAPTION ID            post WM_COMMAND ID (a button or a menu item) to the window\n"
          "  close CAPTION                 post WM_CLOSE\n"
          "  state CAPTION ID...           visible enabled checked (0/1 each), one line per control\n"
          "  lv-count CAPTION              rows of list 217\n"
          "  lv-cell CAPTION ROW COL       one cell of list 217\n"
          "  lv-rows CAPTION               every row of list 217, cells separated by tabs\n"
          "  lv-columns CAPTION            column count of list 217\n"
          "  lv-selected CAPTION           indexes of the selected rows\n"
          "  lv-select CAPTION ROW         select one row (and focus it)\n"
          "  lv-row-at CAPTION ROW         screen x y inside the row's second cell\n"
          "  lv-header-at CAPTION COL      screen centre x y of a column header\n"
          "  lv-header-image CAPTION COL   image index of a column header and 1 when it is drawn\n"
          "  rich-text CAPTION             text of the RichEdit control of the window\n"
          "  rich-visible CAPTION          1 when that control is visible, else 0\n"
          "  rich-sel CAPTION              start end of its selection, then the selected text\n"
          "  sb-text CAPTION PART          text of a part of status bar 11714\n"
          "  sb-parts CAPTION              right edges of the status-bar parts\n"
          "  pb-pos CAPTION                position of progress bar 232\n"
          "  cb-count CAPTION ID           items of a combo box\n"
          "  cb-text CAPTION ID INDEX      text of a combo item\n"
          "  cb-sel CAPTION ID             selected item index\n"
          "  msgbox-text CAPTION           text of a message box with that caption\n"
          "  msgbox-press CAPTION ID       press a message box button (1 OK, 2 cancel, 6 yes, 7 no)\n",
          stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    if (argc < 2) return Usage();
    std::string cmd = argv[1];
    auto num = [&](int i) -> int { return i < argc ? atoi(argv[i]) : 0; };

    if (cmd == "windows") {
        EnumWindows(ListProc, 0);
        return 0;
    }
    if (argc < 3) return Usage();
    const char* caption = argv[2];

    if (cmd == "find") {
        Containing c = {caption, std::string()};
        EnumWindows(ContainingProc, (LPARAM)&c);
        if (c.caption.empty()) return 1;
        PrintLine(ToUtf8(c.caption));
        return 0;
    }

    if (cmd == "wait-window" || cmd == "wait-gone") {
        int id = num(4);
        bool gone = cmd == "wait-gone";
        return PollFor((DWORD)num(3), [&] {
            HWND w = FindTop(caption, id);
            return gone ? w == NULL : w != NULL;
        });
    }
    if (cmd == "wait-menu") return PollFor((DWORD)num(2), PopupMenuShown);
    if (cmd == "wait-edit-focus")
        return PollFor((DWORD)num(3), [&] { return FocusedEdit(FindTop(caption, 0)) != NULL; });
    if (cmd == "focus-text") {
        HWND edit = FocusedEdit(FindTop(caption, 0));
        if (edit == NULL) return 1;
        PrintLine(ToUtf8(TextOf(edit)));
        return 0;
    }
    if (cmd == "exists") return FindTop(caption, 0) != NULL ? 0 : 1;

    if (cmd == "msgbox-text" || cmd == "msgbox-press") {
        HWND box = FindTop(caption, 0, false, true);
        if (box == NULL) return 1;
        if (cmd == "msgbox-text") {
            PrintLine(ToUtf8(TextOf(GetDlgItem(box, 0xFFFF))));
            return 0;
        }
        HWND button = GetDlgItem(box, num(3));
        if (button == NULL) return 1;
        PostMessageA(button, BM_CLICK, 0, 0);
        return 0;
    }

    HWND top = FindWindowNamed(caption);
    if (cmd == "window-rect" || cmd == "client-size" || cmd == "close" || cmd == "close-box") {
        if (top == NULL) return 1;
        if (cmd == "window-rect") {
            RECT rc;
            GetWindowRect(top, &rc);
            printf("%ld %ld %ld %ld\n", rc.left, rc.top, rc.right, rc.bottom);
        } else if (cmd == "client-size") {
            RECT rc;
            GetClientRect(top, &rc);
            printf("%ld %ld\n", rc.right - rc.left, rc.bottom - rc.top);
        } else if (cmd == "close") {
            PostMessageA(top, WM_CLOSE, 0, 0);
        } else {
            POINT p;
            if (!CloseBox(top, &p)) return 1;
            printf("%ld %ld\n", p.x, p.y);
        }
        return 0;
    }
    if (cmd == "coords") {
        if (argc < 4) return Usage();
        for (int i = 3; i < argc; ++i) {
            HWND c = atoi(argv[i]) == 0 ? top : FindControl(caption, atoi(argv[i]));
            if (c == NULL) return 1;
            POINT p = CentreOf(c);
            printf("%ld %ld\n", p.x, p.y);
        }
        return 0;
    }
    if (cmd == "command") {
        if (argc < 4) return Usage();
        if (top == NULL) return 1;
        PostMessageA(top, WM_COMMAND, (WPARAM)num(3), 0);
        return 0;
    }
    if (cmd == "text" || cmd == "text-hex" || cmd == "set-text" || cmd == "click" || cmd == "state") {
        if (argc < 4) return Usage();
        int id = num(3);
        HWND c = id == 0 ? top : FindControl(caption, id);
        if (c == NULL) return 1;
        if (cmd == "text") {
            PrintLine(ToUtf8(TextOf(c)));
        } else if (cmd == "text-hex") {
            PrintHex(TextOf(c));
        } else if (cmd == "set-text") {
            if (argc < 5) return Usage();
            SendMessageA(c, WM_SETTEXT, 0, (LPARAM)argv[4]);
        } else if (cmd == "click") {
            PostMessageA(c, BM_CLICK, 0, 0);
        } else {
            for (int i = 3; i < argc; ++i) {
                HWND ci = atoi(argv[i]) == 0 ? top : FindControl(caption, atoi(argv[i]));
                if (ci == NULL) return 1;
                LRESULT checked = SendMessageA(ci, BM_GETCHECK, 0, 0);
                printf("%d %d %d\n", IsWindowVisible(ci) ? 1 : 0, IsWindowEnabled(ci) ? 1 : 0,
                       checked == BST_CHECKED ? 1 : 0);
            }
        }
        return 0;
    }
    if (cmd == "pb-pos") {
        HWND pb = FindControl(caption, 232);
        if (pb == NULL) return 1;
        printf("%ld\n", (long)SendMessageA(pb, PBM_GETPOS, 0, 0));
        return 0;
    }
    if (cmd.compare(0, 3, "cb-") == 0) {
        if (argc < 4) return Usage();
        HWND cb = FindControl(caption, num(3));
        if (cb == NULL) return 1;
        if (cmd == "cb-count") {
            printf("%ld\n", (long)SendMessageA(cb, CB_GETCOUNT, 0, 0));
        } else if (cmd == "cb-sel") {
            printf("%ld\n", (long)SendMessageA(cb, CB_GETCURSEL, 0, 0));
        } else if (cmd == "cb-text") {
            // The ANSI message comes back as UTF-16 across processes under Wine; ask in UTF-16.
            int index = num(4);
            LRESULT len = SendMessageW(cb, CB_GETLBTEXTLEN, index, 0);
            if (len < 0) return 1;
            std::wstring w(len + 1, L'\0');
            SendMessageW(cb, CB_GETLBTEXT, index, (LPARAM)&w[0]);
            w.resize(wcsnlen(w.c_str(), w.size()));
            PrintLine(WideToUtf8(w));
        } else {
            return Usage();
        }
        return 0;
    }
    if (cmd == "rich-text" || cmd == "rich-visible" || cmd == "rich-sel") {
        HWND rich = top != NULL ? FindWindowExA(top, NULL, "RichEdit", NULL) : NULL;
        if (rich == NULL) return 1;
        if (cmd == "rich-text") {
            PrintLine(ToUtf8(TextOf(rich)));
        } else if (cmd == "rich-sel") {
            // EM_GETSEL's return value carries both ends (up to 65535) without a buffer in the other
            // process; the control's text, as WM_GETTEXT gives it, counts characters as the
            // positions do.
            LRESULT sel = SendMessageA(rich, EM_GETSEL, 0, 0);
            if (sel == -1) return 1;
            size_t start = LOWORD(sel), end = HIWORD(sel);
            std::string text = TextOf(rich);
            std::string selected = start <= end && end <= text.size() ? text.substr(start, end - start) : "";
            printf("%u %u ", (unsigned)start, (unsigned)end);
            PrintLine(ToUtf8(selected));
        } else
            printf("%d\n", IsWindowVisible(rich) ? 1 : 0);
        return 0;
    }
    if (cmd.compare(0, 3, "lv-") == 0 || cmd.compare(0, 3, "sb-") == 0) {
        bool status = cmd.compare(0, 3, "sb-") == 0;
        HWND c = FindControl(caption, status ? kStatusBar : kResultList);
        if (c == NULL) return 1;
        if (cmd == "lv-count") {
            printf("%ld\n", (long)SendMessageA(c, LVM_GETITEMCOUNT, 0, 0));
            return 0;
        }
        if (cmd == "lv-columns") {
            printf("%d\n", ListColumnCount(c));
            return 0;
        }
        if (cmd == "lv-selected") {
            int i = -1;
            while ((i = (int)SendMessageA(c, LVM_GETNEXTITEM, i, LVNI_SELECTED)) >= 0)
                printf("%d\n", i);
            return 0;
        }
        Remote r;
        if (!OpenRemote(c, kTextAt + kTextMax + 16, &r)) return 1;
        int rc = 0;
        if (cmd == "lv-cell") {
            std::string s;
            if (argc < 5 || !ListCell(c, &r, num(3), num(4), &s))
                rc = 1;
            else
                PrintLine(ToUtf8(s));
        } else if (cmd == "lv-rows") {
            int rows = (int)SendMessageA(c, LVM_GETITEMCOUNT, 0, 0), cols = ListColumnCount(c);
            for (int i = 0; i < rows && rc == 0; ++i) {
                std::string line;
                for (int j = 0; j < cols; ++j) {
                    std::string s;
                    if (!ListCell(c, &r, i, j, &s)) rc = 1;
                    if (j > 0) line += '\t';
                    line += s;
                }
                PrintLine(ToUtf8(line));
            }
        } else if (cmd == "lv-select") {
            LVITEMA it;
            memset(&it, 0, sizeof it);
            it.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
            it.state = 0;
            WriteRemote(&r, 0, &it, sizeof it);
            SendMessageA(c, LVM_SETITEMSTATE, (WPARAM)-1, (LPARAM)r.base); // clear every row
            it.state = LVIS_SELECTED | LVIS_FOCUSED;
            WriteRemote(&r, 0, &it, sizeof it);
            if (!SendMessageA(c, LVM_SETITEMSTATE, num(3), (LPARAM)r.base)) rc = 1;
        } else if (cmd == "lv-row-at" || cmd == "lv-header-at") {
            // Rectangles in the list's or the header's client coordinates, turned into screen ones.
            bool header = cmd == "lv-header-at";
            HWND owner = header ? (HWND)SendMessageA(c, LVM_GETHEADER, 0, 0) : c;
            RECT box = {LVIR_BOUNDS, 0, 0, 0};
            WriteRemote(&r, 0, &box, sizeof box);
            LRESULT ok = header ? SendMessageA(owner, HDM_GETITEMRECT, num(3), (LPARAM)r.base)
                                : SendMessageA(c, LVM_GETITEMRECT, num(3), (LPARAM)r.base);
            if (argc < 4 || owner == NULL || !ok || !ReadRemote(&r, 0, &box, sizeof box)) {
                CloseRemote(&r);
                return 1;
            }
            POINT p = {header ? (box.left + box.right) / 2 : box.left + 80, (box.top + box.bottom) / 2};
            ClientToScreen(owner, &p);
            printf("%ld %ld\n", p.x, p.y);
        } else if (cmd == "lv-header-image") {
            HWND header = (HWND)SendMessageA(c, LVM_GETHEADER, 0, 0);
            HDITEMA item;
            memset(&item, 0, sizeof item);
            item.mask = HDI_IMAGE | HDI_FORMAT;
            WriteRemote(&r, 0, &item, sizeof item);
            if (argc < 4 || header == NULL || !SendMessageA(header, HDM_GETITEMA, num(3), (LPARAM)r.base) ||
                !ReadRemote(&r, 0, &item, sizeof item))
                rc = 1;
            else
                printf("%d %d\n", item.iImage, (item.fmt & HDF_IMAGE) ? 1 : 0);
        } else if (cmd == "sb-text") {
            int part = num(3);
            std::vector<char> buf(kTextMax + 1, 0);
            LRESULT len = SendMessageA(c, SB_GETTEXTLENGTHA, part, 0);
            if (LOWORD(len) >= kTextMax) {
                rc = 1;
            } else {
                char zero = 0;
                WriteRemote(&r, kTextAt, &zero, 1);
                SendMessageA(c, SB_GETTEXTA, part, (LPARAM)(r.base + kTextAt));
                if (!ReadRemote(&r, kTextAt, buf.data(), kTextMax))
                    rc = 1;
                else
                    PrintLine(ToUtf8(buf.data()));
            }
        } else if (cmd == "sb-parts") {
            int n = (int)SendMessageA(c, SB_GETPARTS, 0, 0);
            if (n > 64) n = 64;
            int edges[64];
            SendMessageA(c, SB_GETPARTS, n, (LPARAM)r.base);
            if (n > 0 && ReadRemote(&r, 0, edges, sizeof(int) * n)) {
                for (int i = 0; i < n; ++i)
                    printf(i ? " %d" : "%d", edges[i]);
                printf("\n");
            } else {
                rc = 1;
            }
        } else {
            rc = Usage();
        }
        CloseRemote(&r);
        return rc;
    }
    return Usage();
}
