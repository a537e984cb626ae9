/* listfill_bench.exe: what a result-list row costs the list view under Wine, by how it is filled.
 *
 *   listfill_bench [ROWS [REPEATS]]      (defaults 10000 and 3)
 *
 * A plain window with a report list of nine columns, drawing off (WM_SETREDRAW) as the fill does;
 * for each of REPEATS passes, ROWS rows filled three ways and the list emptied between them:
 *   cells      one LVM_INSERTITEMA and eight LVM_SETITEMA with texts, as FillResultList does now;
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

static int InsertRow(HWND list, int row, LPSTR text) {
    LVITEMA item;
    ZeroMemory(&item, sizeof item);
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = row;
    item.pszText = text;
    item.lParam = row;
    return (int)SendMessageA(list, LVM_INSERTITEMA, 0, (LPARAM)&item);
}

static void SetSubItems(HWND list, int row, LPSTR text) {
    for (int column = 1; column < 9; column++) {
        LVITEMA item;
        ZeroMemory(&item, sizeof item);
        item.mask = LVIF_TEXT;
        item.iItem = row;
        item.iSubItem = column;
        item.pszText = text;
        SendMessageA(list, LVM_SETITEMA, 0, (LPARAM)&item);
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
    for (int pass = 0; pass < repeats; pass++) {
        DWORD times[3];
        for (int way = 0; way < 3; way++) {
            DWORD start = GetTickCount();
            for (int row = 0; row < rows; row++) {
                char cell[16];
                StrFormat(cell, sizeof cell, "%d", row);
                int index = InsertRow(list, row, way == 0 ? cell : LPSTR_TEXTCALLBACKA);
                if (way == 0) SetSubItems(list, index, cell);
                if (way == 2) SetSubItems(list, index, LPSTR_TEXTCALLBACKA);
            }
            times[way] = GetTickCount() - start;
            SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
        }
        printf("%d rows: cells %lu ms, callback %lu ms, callback8 %lu ms\n", rows, (unsigned long)times[0],
               (unsigned long)times[1], (unsigned long)times[2]);
    }
    DestroyWindow(parent);
    return 0;
}
