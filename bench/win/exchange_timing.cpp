// Timing tool of the export and import under Wine (not a test: it is built beside the benchmarks,
// never run by the test suite, and asserts only that the work was done). Run it with
//   wine exchange_timing.exe
// from build/<dir>/bin, with the prefix pointing at the small cabinet. It prints one line per figure:
//   - export of a 10,000-row list in each format through ExportResultsToPath (list view read with
//     LVM_GETITEMA cell by cell, WriteFile per piece);
//   - import of a 10,000-line tab-separated file in add mode into empty results (each line's patient
//     read from the host, the list filled again at the end), and the same file subtracted.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <stdio.h>

#include <set>
#include <string>

#include "exchange/export.h"
#include "exchange/export_format.h"
#include "exchange/import.h"
#include "exchange_test_support.h"

using namespace exchange_test;

namespace {

enum { ROWS = 10000, REPEATS = 3 };

double Milliseconds(LARGE_INTEGER a, LARGE_INTEGER b) {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return (double)(b.QuadPart - a.QuadPart) * 1000.0 / (double)f.QuadPart;
}

class ExchangeTiming : public ::testing::Test {
  protected:
    HWND dialog = NULL;
    std::string folder;
    void SetUp() override {
        InstallAnsweringBox();
        dialog = CreateMainWindow();
        ASSERT_NE(dialog, (HWND)NULL);
        ResetResults(dialog);
        folder = TempFolder();
    }
    void TearDown() override {
        ResetResults(dialog);
        DestroyMainWindow(dialog);
        UninstallRecorders();
        RemoveFolder(folder);
    }
};

TEST_F(ExchangeTiming, ExportTenThousandRows) {
    HWND list = GetDlgItem(dialog, IDC_RESULT_LIST);
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    for (int r = 0; r < ROWS; r++) {
        char number[16];
        snprintf(number, sizeof number, "%d", 1000 + r);
        const char* cells[9] = {number,
                                "FERNANDEZ-LEROUX Marie-H\xe9l\xe8ne",
                                "45 ans 11 m",
                                "12",
                                "02/01/2004",
                                "20/11/2026",
                                "Dr Martin;Dr Ga\xeblle H\xe9"
                                "bert;Dr N'Guyen",
                                "261037512345678",
                                "R\xe9gime g\xe9n\xe9ral"};
        LVITEMA item = {};
        item.mask = LVIF_TEXT;
        item.iItem = r;
        item.pszText = (LPSTR)cells[0];
        int row = (int)SendMessageA(list, LVM_INSERTITEMA, 0, (LPARAM)&item);
        for (int c = 1; c < 9; c++) {
            LVITEMA sub = {};
            sub.iSubItem = c;
            sub.pszText = (LPSTR)cells[c];
            SendMessageA(list, LVM_SETITEMTEXTA, row, (LPARAM)&sub);
        }
    }
    ASSERT_EQ(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0), ROWS);
    const char* names[4] = {"", "text", "tab-separated", "HTML"};
    for (int format = EXPORT_TEXT; format <= EXPORT_HTML; format++) {
        for (int i = 0; i < REPEATS; i++) {
            char path[EXPORT_PATH_SIZE];
            snprintf(path, sizeof path, "%stiming", folder.c_str());
            LARGE_INTEGER a, b;
            QueryPerformanceCounter(&a);
            ASSERT_EQ(ExportResultsToPath(dialog, IDC_RESULT_LIST, format, path, sizeof path), EXPORT_DONE);
            QueryPerformanceCounter(&b);
            WIN32_FILE_ATTRIBUTE_DATA data;
            GetFileAttributesExA(path, GetFileExInfoStandard, &data);
            printf("export %d rows, %s: %.1f ms, %lu bytes\n", ROWS, names[format], Milliseconds(a, b),
                   (unsigned long)data.nFileSizeLow);
        }
    }
}

// The patient numbers of the cabinet, from the keys of index 39 ("D%07d...", "S%07d", ...).
std::set<int> CabinetPatients() {
    std::set<int> patients;
    char key[KEY_TEXT_SIZE] = "";
    for (DWORD k = HDFirstKey(INDEX_FOLDERS, key); k != 0; k = HDNextKey(INDEX_FOLDERS, key))
        patients.insert(atoi(std::string(key + 1, 7).c_str()));
    patients.erase(0);
    return patients;
}

TEST_F(ExchangeTiming, ImportTenThousandLines) {
    // One row per patient of the cabinet, exported, then its data lines repeated up to 10,000 lines.
    std::set<int> patients = CabinetPatients();
    ASSERT_GT(patients.size(), 10u);
    for (int n : patients)
        PutRecord(n, 2, Date(2, 1, 2004), Date(20, 11, 2006), "Dr Martin;Dr N'Guyen");
    // The list fill alone, for comparison, with the list drawing after each change (as a search's
    // fill does) only for a small cabinet, since it costs about 14 ms a row under Wine, and with the
    // drawing off (as the import's fill does).
    HWND list = GetDlgItem(dialog, IDC_RESULT_LIST);
    for (int redraw = patients.size() <= 500 ? 1 : 0; redraw >= 0; redraw--) {
        LARGE_INTEGER a, b;
        SendMessageA(list, WM_SETREDRAW, redraw, 0);
        QueryPerformanceCounter(&a);
        FillFromTable(dialog);
        QueryPerformanceCounter(&b);
        SendMessageA(list, WM_SETREDRAW, TRUE, 0);
        printf("list fill of %zu rows from the table, drawing %s: %.1f ms\n", patients.size(),
               redraw ? "on" : "off", Milliseconds(a, b));
    }
    char path[EXPORT_PATH_SIZE];
    snprintf(path, sizeof path, "%ssource.xls", folder.c_str());
    ASSERT_EQ(ExportResultsToPath(dialog, IDC_RESULT_LIST, EXPORT_EXCEL, path, sizeof path), EXPORT_DONE);
    std::string exported = ReadWholeFile(path);
    size_t headerEnd = exported.find("\r\n") + 2;
    std::string header = exported.substr(0, headerEnd), body = exported.substr(headerEnd);
    std::string file = header;
    int lines = 0;
    while (lines < ROWS) {
        for (size_t at = 0; at < body.size() && lines < ROWS; lines++) {
            size_t end = body.find("\r\n", at) + 2;
            file += body.substr(at, end - at);
            at = end;
        }
    }
    std::string big = folder + "dix-mille.xls";
    WriteWholeFile(big, file);
    for (int i = 0; i < REPEATS; i++) {
        ResetResults(dialog);
        LARGE_INTEGER a, b, c;
        QueryPerformanceCounter(&a);
        ASSERT_EQ(ImportResultsFromPath(dialog, IDC_RESULT_LIST, IMPORT_ADD, big.c_str()), IMPORT_DONE);
        QueryPerformanceCounter(&b);
        ASSERT_EQ(Results.PatientsWithHits, (int)patients.size());
        ASSERT_EQ(Results.OccurrenceTotal, 2 * ROWS);
        ASSERT_EQ(ImportResultsFromPath(dialog, IDC_RESULT_LIST, IMPORT_SUBTRACT, big.c_str()), IMPORT_DONE);
        QueryPerformanceCounter(&c);
        ASSERT_EQ(Results.PatientsWithHits, 0);
        printf("import %d lines (%zu bytes, %zu patients): add %.1f ms, subtract %.1f ms\n", ROWS,
               file.size(), patients.size(), Milliseconds(a, b), Milliseconds(b, c));
    }
    EXPECT_TRUE(g_boxes.empty());
}

} // namespace
