/* sortview_sort_bench.exe: times a header-click sort of a large result list under Wine.
 *
 *   sortview_sort_bench [ROWS [REPEATS]]      (defaults 10000 and 5)
 *
 * The tool creates the real dialog 201 with its nine columns (CreateResultColumns) and header images
 * (InitListImages), fills list 217 with ROWS deterministic rows shaped as a search leaves them
 * (patient numbers, names with accents, ages, counts, dates with some zero dates, authors,
 * social-security digits, scheme names), each with its own PatientHits record as item data, then
 * clicks columns through SortByColumn, as the main window does for LVN_COLUMNCLICK: for each of a
 * text column (1, "Nom Patient"), a number column (3, "Nombre d'occurences") and a date column (4,
 * "Première occurence"), REPEATS ascending and REPEATS descending sorts, each starting from the
 * order an untimed sort by the random social-security column left. Every sort is timed whole (snapshot,
 * header images, LVM_SORTITEMS with CompareRows), and the minimum, median and maximum are printed. No cabinet
 * is needed. Nothing here is part of the program; it links the program's own code. */
#include <windows.h>

#include <commctrl.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "app/main_dialog.h"
#include "base/ui.h"
#include "resources/ids.h"
#include "results/sort.h"
#include "search/hits.h"
#include "search/result_list.h"

static LARGE_INTEGER Frequency;

static double Now() {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return (double)t.QuadPart / (double)Frequency.QuadPart;
}

static INT_PTR CALLBACK ColumnsOnly(HWND dialog, UINT message, WPARAM, LPARAM) {
    if (message == WM_INITDIALOG) {
        CreateResultColumns(dialog);
        InitListImages(dialog);
        return TRUE;
    }
    return FALSE;
}

static void SetCell(HWND list, int row, int column, const std::string& text) {
    LVITEMA item = {};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.iSubItem = column;
    item.pszText = (LPSTR)text.c_str();
    SendMessageA(list, LVM_SETITEMA, 0, (LPARAM)&item);
}

static void Fill(HWND list, std::vector<PatientHits>& records) {
    std::mt19937 random(2026);
    const char* lastNames[] = {"DUPONT",    "MARTIN",   "LEF\xC8VRE", "BERNARD", "\xC9TIENNE", "GARNIER",
                               "M\xDCLLER", "ROUSSEAU", "FAURE",      "N'DIAYE", "dupont",     "Bailly"};
    const char* firstNames[] = {"\xC9lodie", "Jean",          "Fran\xE7ois", "Anne",
                                "No\xEBl",   "Th\xE9r\xE8se", "Paul"};
    const char* schemes[] = {"R\xE9gime g\xE9n\xE9ral", "R\xE9gime agricole (MSA)", "", "ENIM (marins)",
                             "RSI"};
    const char* authors[] = {"Dr Martin", "Dr N'Guyen;Dr Dupr\xE9", "Dr Lef\xE8vre",
                             "Dr Remplac\xE7"
                             "ant 01"};
    auto date = [&]() {
        if (random() % 20 == 0) return std::string("00/00/   0");
        char buf[16];
        snprintf(buf, sizeof buf, "%02u/%02u/%4u", 1 + (unsigned)(random() % 28),
                 1 + (unsigned)(random() % 12), 1950 + (unsigned)(random() % 77));
        return std::string(buf);
    };
    for (size_t row = 0; row < records.size(); row++) {
        records[row].patientNumber = (int32_t)(row * 37 % 1048576);
        char number[16], name[80], age[32], count[16], ss[32];
        snprintf(number, sizeof number, "%d", records[row].patientNumber);
        snprintf(name, sizeof name, "%s %s", lastNames[random() % 12], firstNames[random() % 7]);
        unsigned years = (unsigned)(random() % 106);
        snprintf(age, sizeof age, "%u an%s %02u m", years, years > 1 ? "s" : "", (unsigned)(random() % 12));
        snprintf(count, sizeof count, "%u", 1 + (unsigned)(random() % 60));
        snprintf(ss, sizeof ss, "%u%06u%08u", 1 + (unsigned)(random() % 2), (unsigned)(random() % 1000000),
                 (unsigned)(random() % 100000000));
        LVITEMA item = {};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = (int)row;
        item.pszText = number;
        item.lParam = (LPARAM)&records[row];
        SendMessageA(list, LVM_INSERTITEMA, 0, (LPARAM)&item);
        SetCell(list, (int)row, 1, name);
        SetCell(list, (int)row, 2, age);
        SetCell(list, (int)row, 3, count);
        SetCell(list, (int)row, 4, date());
        SetCell(list, (int)row, 5, date());
        SetCell(list, (int)row, 6, authors[random() % 4]);
        SetCell(list, (int)row, 7, ss);
        SetCell(list, (int)row, 8, schemes[random() % 5]);
    }
}

int main(int argc, char** argv) {
    int rows = argc > 1 ? atoi(argv[1]) : 10000;
    int repeats = argc > 2 ? atoi(argv[2]) : 5;
    if (rows < 1 || repeats < 1) {
        fprintf(stderr, "usage: sortview_sort_bench [ROWS [REPEATS]]\n");
        return 2;
    }
    QueryPerformanceFrequency(&Frequency);
    g_instance = GetModuleHandleA(NULL);
    INITCOMMONCONTROLSEX controls = {sizeof controls,
                                     ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    HWND dialog = CreateDialogParamA(g_instance, MAKEINTRESOURCEA(IDD_MAIN), NULL, ColumnsOnly, 0);
    HWND list = GetDlgItem(dialog, IDC_RESULT_LIST);
    if (dialog == NULL || list == NULL || Sort.SortDirections == NULL) {
        fprintf(stderr, "no main window\n");
        return 1;
    }
    std::vector<PatientHits> records((size_t)rows);
    // The rows are inserted with the list's redrawing off: under Wine a visible report list redraws
    // (scroll bars included) on every insertion, which makes filling, not sorting, the slow part.
    double start = Now();
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    Fill(list, records);
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    printf("rows %d filled in %.3f s\n", (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0), Now() - start);

    const struct {
        int column;
        const char* kind;
    } cases[] = {{1, "text   (1 Nom Patient)"},
                 {3, "number (3 Nombre d'occurences)"},
                 {4, "date   (4 Premi\xE8re occurence)"}};
    printf("%-32s %-10s %9s %9s %9s\n", "column", "direction", "min s", "median s", "max s");
    for (const auto& c : cases) {
        for (int direction = 0; direction < 2; direction++) {
            std::vector<double> times;
            for (int i = 0; i < repeats; i++) {
                // Each timed sort starts from an order unrelated to its column: the rows as the
                // random social-security digits put them.
                Sort.SortDirections[7] = 0;
                SortByColumn(dialog, IDC_RESULT_LIST, Sort.SortDirections, &Sort.LastSortColumn, 7);
                Sort.SortDirections[c.column] = (unsigned char)direction;
                double t0 = Now();
                SortByColumn(dialog, IDC_RESULT_LIST, Sort.SortDirections, &Sort.LastSortColumn, c.column);
                times.push_back(Now() - t0);
            }
            std::sort(times.begin(), times.end());
            printf("%-32s %-10s %9.3f %9.3f %9.3f\n", c.kind, direction ? "descending" : "ascending",
                   times.front(), times[times.size() / 2], times.back());
        }
    }
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    DestroyWindow(dialog);
    return 0;
}
