/* listfill_bench.exe: what a result-list row costs the list view under Wine, by how it is filled.
 *
 *   listfill_bench [ROWS [REPEATS]]      (defaults 10000 and 3)
 *
 * A plain window with a report list of nine columns, full-row selection and an ANSI subclass that
 * passes every message on with CallWindowProcA, as the result list has; drawing off (WM_SETREDRAW)
 * as the fill does. For each of REPEATS passes, ROWS rows filled these ways and the list emptied
 * between them:
 *   cells      one LVM_INSERTITEMA and eight LVM_SETITEMA with texts, each sent (SendMessageA), so
 *              through the subclass, as FillResultList did before;
 *   direct     the same nine messages handed straight to the list view's own procedure
 *              (CallWindowProcA), as FillResultList does on the list's thread now;
 *   insert     the LVM_INSERTITEMA with a text alone, sent: the list's share of a row without cells;
 *   callback   one LVM_INSERTITEMA with LPSTR_TEXTCALLBACKA and nothing else;
 *   callback8  the same plus eight LVM_SETITEMA marking each sub-item LPSTR_TEXTCALLBACKA.
 * It first checks whether a sub-item never set on a callback item is asked of the parent window
 * (LVN_GETDISPINFOA) when its text is read with LVM_GETITEMTEXTA, and prints what came back. No
 * cabinet is needed; nothing here is part of the program. */
#include <windows.h>

#include <commctrl.h>
#include <stdio.h>
#include <stdlib.h>

#include "base/str.h"

static int g_requests;

static LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NOTIFY && ((NMHDR*)lParam)->code == LVN_GETDISPINFOA) {
        NMLVDISPINFOA* info = (NMLVDISPINFOA*)lParam;
        g_requests++;
        if (info->item.mask & LVIF_TEXT)
            StrFormat(info->item.pszText, (size_t)info->item.cchTextMax, "row %d cell %d", info->item.iItem,
                      info->item.iSubItem);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

static WNDPROC g_listProc;
static int g_direct;

static LRESULT CALLBACK SubclassProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
    return CallWindowProcA(g_listProc, list, message, wParam, lParam);
}

/* One message to the list: sent, or straight to the list view's procedure. */
static LRESULT ToList(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
    if (g_direct) return CallWindowProcA(g_listProc, list, message, wParam, lParam);
    return SendMessageA(list, message, wParam, lParam);
}

static int InsertRow(HWND list, int row, LPSTR text) {
    LVITEMA item;
    ZeroMemory(&item, sizeof item);
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = row;
    item.pszText = text;
    item.lParam = row;
    return (int)ToList(list, LVM_INSERTITEMA, 0, (LPARAM)&item);
}

static void SetSubItems(HWND list, int row, LPSTR text) {
    for (int column = 1; column < 9; column++) {
        LVITEMA item;
        ZeroMemory(&item, sizeof item);
        item.mask = LVIF_TEXT;
        item.iItem = row;
        item.iSubItem = column;
        item.pszText = text;
        ToList(list, LVM_SETITEMA, 0, (LPARAM)&item);
    }
}

int main(int argc, char** argv) {
    int rows = argc > 1 ? atoi(argv[1]) : 10000;
    int repeats = argc > 2 ? atoi(argv[2]) : 3;
    InitCommonControls();
    WNDCLASSA windowClass;
    ZeroMemory(&windowClass, sizeof windowClass);
    windowClass.lpfnWndProc = ParentProc;
    windowClass.hInstance = GetModuleHandleA(NULL);
    windowClass.lpszClassName = "ListFillBench";
    RegisterClassA(&windowClass);
    HWND parent = CreateWindowA("ListFillBench", "listfill_bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                800, 600, NULL, NULL, windowClass.hInstance, NULL);
    HWND list = CreateWindowA(WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | LVS_REPORT, 0, 0, 780, 560, parent,
                              (HMENU)(INT_PTR)1, windowClass.hInstance, NULL);
    for (int i = 0; i < 9; i++) {
        LVCOLUMNA column;
        ZeroMemory(&column, sizeof column);
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.cx = 80;
        column.pszText = (LPSTR) "c";
        column.iSubItem = i;
        SendMessageA(list, LVM_INSERTCOLUMNA, (WPARAM)i, (LPARAM)&column);
    }
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    g_listProc = (WNDPROC)SetWindowLongPtrA(list, GWLP_WNDPROC, (LONG_PTR)SubclassProc);
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);

    InsertRow(list, 0, LPSTR_TEXTCALLBACKA);
    char text[64] = "(unchanged)";
    LVITEMA get;
    ZeroMemory(&get, sizeof get);
    get.iSubItem = 3;
    get.pszText = text;
    get.cchTextMax = sizeof text;
    SendMessageA(list, LVM_GETITEMTEXTA, 0, (LPARAM)&get);
    printf("callback item, sub-item 3 never set: \"%s\" (%d LVN_GETDISPINFOA)\n", text, g_requests);
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);

    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    static const char* const kWays[] = {"cells", "direct", "insert", "callback", "callback8"};
    const int ways = (int)(sizeof kWays / sizeof kWays[0]);
    for (int pass = 0; pass < repeats; pass++) {
        printf("%d rows:", rows);
        for (int way = 0; way < ways; way++) {
            g_direct = way == 1;
            LARGE_INTEGER start, end;
            QueryPerformanceCounter(&start);
            for (int row = 0; row < rows; row++) {
                char cell[16];
                StrFormat(cell, sizeof cell, "%d", row);
                int index = InsertRow(list, row, way <= 2 ? cell : LPSTR_TEXTCALLBACKA);
                if (way <= 1) SetSubItems(list, index, cell);
                if (way == 4) SetSubItems(list, index, LPSTR_TEXTCALLBACKA);
            }
            QueryPerformanceCounter(&end);
            g_direct = 0;
            SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
            printf(" %s %.1f ms%s", kWays[way],
                   1000.0 * (double)(end.QuadPart - start.QuadPart) / (double)frequency.QuadPart,
                   way + 1 < ways ? "," : "\n");
        }
    }
    DestroyWindow(parent);
    return 0;
}
