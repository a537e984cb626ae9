// Sorting the result list by a header click: the real dialog 201 with its nine columns
// (CreateResultColumns) and header images (InitListImages), rows filled either cell by cell with exact
// texts or by FillResultList from a cabinet, then SortByColumn as the main window calls it.
#include "results/sort.h"

#include "resources/ids.h"
#include "results/row_compare.h"
#include "search/hits.h"
#include "search/result_list.h"
#include "sortview_test_support.h"

#include <algorithm>
#include <memory>
#include <random>

using namespace sortview;

namespace {

// The main window's list and what it needs of the window: its columns, and the answers to the
// list's requests for the cells of rows that FillResultList inserted.
INT_PTR CALLBACK ColumnsOnlyProc(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        CreateResultColumns(dialog);
        InitListImages(dialog);
        return TRUE;
    }
    if (message == WM_NOTIFY && ((NMHDR*)lParam)->code == (UINT)LVN_GETDISPINFOA)
        AnswerResultCell((NMLVDISPINFOA*)lParam);
    return FALSE;
}

using Row = std::vector<std::string>;

class SortList : public ::testing::Test {
  protected:
    void SetUp() override {
        EnsureUserInterface();
        dialog_ = CreateDialogParamA(g_instance, MAKEINTRESOURCEA(IDD_MAIN), NULL, ColumnsOnlyProc, 0);
        ASSERT_NE(dialog_, (HWND)NULL);
        list_ = GetDlgItem(dialog_, IDC_RESULT_LIST);
        ASSERT_NE(list_, (HWND)NULL);
        ASSERT_NE(Sort.SortDirections, nullptr);
        Sort.LastSortColumn = 0;
    }
    void TearDown() override {
        SendMessageA(list_, LVM_DELETEALLITEMS, 0, 0);
        DestroyWindow(dialog_);
        Pump(0);
    }
    // Appends a row with these nine cells and a record of its own as item data.
    PatientHits* AddRow(const Row& cells, bool withRecord = true) {
        PatientHits* record = nullptr;
        if (withRecord) {
            records_.emplace_back(new PatientHits());
            record = records_.back().get();
            record->rowIndex = -5;
        }
        int row = RowCount(list_);
        LVITEMA item = {};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = row;
        item.pszText = (LPSTR)cells[0].c_str();
        item.lParam = (LPARAM)record;
        EXPECT_EQ(SendMessageA(list_, LVM_INSERTITEMA, 0, (LPARAM)&item), row);
        for (int column = 1; column < (int)cells.size(); column++) {
            LVITEMA cell = {};
            cell.mask = LVIF_TEXT;
            cell.iItem = row;
            cell.iSubItem = column;
            cell.pszText = (LPSTR)cells[column].c_str();
            SendMessageA(list_, LVM_SETITEMA, 0, (LPARAM)&cell);
        }
        return record;
    }
    // A row whose only non-empty cell is `column`.
    PatientHits* AddCell(int column, const std::string& text) {
        Row cells(9, "");
        cells[0] = column == 0 ? text : "0";
        cells[column] = text;
        return AddRow(cells);
    }
    void Click(int column) {
        SortByColumn(dialog_, IDC_RESULT_LIST, Sort.SortDirections, &Sort.LastSortColumn, column);
    }
    std::vector<int> Images() {
        std::vector<int> images;
        for (int c = 0; c < 9; c++)
            images.push_back(ColumnImage(list_, c));
        return images;
    }

    HWND dialog_ = NULL;
    HWND list_ = NULL;
    std::vector<std::unique_ptr<PatientHits>> records_;
};

using V = std::vector<std::string>;

TEST_F(SortList, ColumnsStartWithTheBlankImageAndTheListHasItsStyles) {
    EXPECT_EQ(Images(), std::vector<int>(9, SORT_IMAGE_NONE));
    DWORD styles = (DWORD)SendMessageA(list_, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0);
    EXPECT_TRUE(styles & LVS_EX_FULLROWSELECT);
    EXPECT_TRUE(styles & LVS_EX_GRIDLINES);
    HIMAGELIST images = (HIMAGELIST)SendMessageA(list_, LVM_GETIMAGELIST, LVSIL_SMALL, 0);
    ASSERT_NE(images, (HIMAGELIST)NULL);
    EXPECT_EQ(ImageList_GetImageCount(images), 4);
    int cx = 0, cy = 0;
    ImageList_GetIconSize(images, &cx, &cy);
    EXPECT_EQ(cx, 16);
    EXPECT_EQ(cy, 12);
}

TEST_F(SortList, AClickOnAnEmptyListChangesNothing) {
    Sort.SortDirections[4] = 1;
    Sort.LastSortColumn = 6;
    for (int c = 0; c < 9; c++)
        Click(c);
    EXPECT_EQ(Images(), std::vector<int>(9, SORT_IMAGE_NONE));
    for (int c = 0; c < 9; c++)
        EXPECT_EQ(Sort.SortDirections[c], c == 4 ? 1 : 0) << c;
    EXPECT_EQ(Sort.LastSortColumn, 6);
}

TEST_F(SortList, ColumnsOutsideTheNineAndAMissingTableAreIgnored) {
    AddCell(0, "2");
    AddCell(0, "1");
    Click(-1);
    Click(9);
    Click(1000);
    SortByColumn(dialog_, IDC_RESULT_LIST, NULL, &Sort.LastSortColumn, 0);
    SortByColumn(dialog_, IDC_RESULT_LIST, Sort.SortDirections, NULL, 0);
    EXPECT_EQ(ColumnTexts(list_, 0), (V{"2", "1"}));
    EXPECT_EQ(Images(), std::vector<int>(9, SORT_IMAGE_NONE));
    EXPECT_EQ(Sort.LastSortColumn, 0);
}

TEST_F(SortList, PatientNumbersSortAsTextAndEachClickFlipsTheDirection) {
    for (const char* n : {"20", "3", "100", "1234", "7"})
        AddCell(0, n);
    Click(0);
    EXPECT_EQ(ColumnTexts(list_, 0), (V{"100", "1234", "20", "3", "7"}));
    EXPECT_EQ(ColumnImage(list_, 0), SORT_IMAGE_ASCENDING);
    EXPECT_EQ(Sort.SortDirections[0], 1);
    EXPECT_EQ(Sort.LastSortColumn, 0);
    Click(0);
    EXPECT_EQ(ColumnTexts(list_, 0), (V{"7", "3", "20", "1234", "100"}));
    EXPECT_EQ(ColumnImage(list_, 0), SORT_IMAGE_DESCENDING);
    EXPECT_EQ(Sort.SortDirections[0], 0);
    Click(0);
    EXPECT_EQ(ColumnTexts(list_, 0), (V{"100", "1234", "20", "3", "7"}));
    EXPECT_EQ(ColumnImage(list_, 0), SORT_IMAGE_ASCENDING);
    // Any non-zero byte means descending, and is then set back to 0.
    Sort.SortDirections[0] = 0x80;
    Click(0);
    EXPECT_EQ(ColumnTexts(list_, 0), (V{"7", "3", "20", "1234", "100"}));
    EXPECT_EQ(Sort.SortDirections[0], 0);
}

TEST_F(SortList, RowsKeepTheirRecordsAndRecordsLearnTheirRowBeforeTheSort) {
    PatientHits* b = AddCell(1, "b");
    PatientHits* c = AddCell(1, "c");
    PatientHits* a = AddCell(1, "a");
    Click(1);
    EXPECT_EQ(ColumnTexts(list_, 1), (V{"a", "b", "c"}));
    EXPECT_EQ(RowData(list_, 0), (LPARAM)a);
    EXPECT_EQ(RowData(list_, 1), (LPARAM)b);
    EXPECT_EQ(RowData(list_, 2), (LPARAM)c);
    // The row indexes are the rows the records had when the sort began.
    EXPECT_EQ(b->rowIndex, 0);
    EXPECT_EQ(c->rowIndex, 1);
    EXPECT_EQ(a->rowIndex, 2);
}

TEST_F(SortList, AgesCompareByWholeYearsAndEqualRowsKeepTheirOrder) {
    PatientHits* r45a = AddCell(2, "45 ans 11 m");
    PatientHits* r1 = AddCell(2, "1 an 03 m");
    PatientHits* r45b = AddCell(2, "45 ans 02 m");
    PatientHits* r100 = AddCell(2, "100 ans 00 m");
    PatientHits* r0 = AddCell(2, "0 an 05 m");
    PatientHits* empty = AddCell(2, "");
    Click(2);
    // "" and "0 an 05 m" both count 0 years: equal, so they keep their order too.
    EXPECT_EQ(ColumnTexts(list_, 2),
              (V{"0 an 05 m", "", "1 an 03 m", "45 ans 11 m", "45 ans 02 m", "100 ans 00 m"}));
    Click(2);
    // Descending: the two 45-year-olds still in the order they had.
    EXPECT_EQ(ColumnTexts(list_, 2),
              (V{"100 ans 00 m", "45 ans 11 m", "45 ans 02 m", "1 an 03 m", "0 an 05 m", ""}));
    EXPECT_EQ(CompareCellTexts(2, "45 ans 11 m", "45 ans 02 m", 0), 0);
    (void)r45a, (void)r1, (void)r45b, (void)r100, (void)r0, (void)empty;
}

TEST_F(SortList, OccurrenceCountsSortAsNumbers) {
    for (const char* n : {"12", "3", "100", "-4", "3"})
        AddCell(3, n);
    Click(3);
    EXPECT_EQ(ColumnTexts(list_, 3), (V{"-4", "3", "3", "12", "100"}));
    Click(3);
    EXPECT_EQ(ColumnTexts(list_, 3), (V{"100", "12", "3", "3", "-4"}));
}

TEST_F(SortList, DatesSortChronologicallyWithTheZeroDateFirst) {
    for (int column : {4, 5}) {
        SendMessageA(list_, LVM_DELETEALLITEMS, 0, 0);
        for (const char* d :
             {"01/01/2000", "23/05/2011", "00/00/   0", "31/12/1999", "15/06/1850", "02/01/2000"})
            AddCell(column, d);
        Click(column);
        EXPECT_EQ(ColumnTexts(list_, column),
                  (V{"00/00/   0", "15/06/1850", "31/12/1999", "01/01/2000", "02/01/2000", "23/05/2011"}))
            << column;
        Click(column);
        EXPECT_EQ(ColumnTexts(list_, column),
                  (V{"23/05/2011", "02/01/2000", "01/01/2000", "31/12/1999", "15/06/1850", "00/00/   0"}))
            << column;
    }
}

TEST_F(SortList, TextColumnsIgnoreAsciiCaseOnly) {
    for (int column : {1, 6, 7, 8}) {
        SendMessageA(list_, LVM_DELETEALLITEMS, 0, 0);
        for (const char* t : {"martin", "\xC9mile", "DUPONT", "Dupond", "emile", "Martin"})
            AddCell(column, t);
        Click(column);
        // "martin" and "Martin" are equal and keep their order; É (0xC9) sorts after every ASCII letter.
        EXPECT_EQ(ColumnTexts(list_, column),
                  (V{"Dupond", "DUPONT", "emile", "martin", "Martin", "\xC9mile"}))
            << column;
    }
}

TEST_F(SortList, EachColumnKeepsItsOwnDirectionAndOnlyTheLastSortedShowsATriangle) {
    AddRow({"1", "b", "2 ans 00 m", "5", "01/01/2001", "03/03/2003", "x", "1", "r"});
    AddRow({"2", "a", "9 ans 00 m", "9", "02/02/2002", "01/01/2001", "y", "2", "s"});
    Click(3);
    EXPECT_EQ(ColumnTexts(list_, 3), (V{"5", "9"}));
    EXPECT_EQ(ColumnImage(list_, 3), SORT_IMAGE_ASCENDING);
    EXPECT_EQ(Sort.LastSortColumn, 3);
    Click(5);
    EXPECT_EQ(ColumnTexts(list_, 5), (V{"01/01/2001", "03/03/2003"}));
    EXPECT_EQ(ColumnImage(list_, 3), SORT_IMAGE_NONE);
    EXPECT_EQ(ColumnImage(list_, 5), SORT_IMAGE_ASCENDING);
    EXPECT_EQ(Sort.LastSortColumn, 5);
    // Column 3 goes on with its own direction: descending now.
    Click(3);
    EXPECT_EQ(ColumnTexts(list_, 3), (V{"9", "5"}));
    EXPECT_EQ(ColumnImage(list_, 3), SORT_IMAGE_DESCENDING);
    EXPECT_EQ(ColumnImage(list_, 5), SORT_IMAGE_NONE);
    EXPECT_EQ(Sort.SortDirections[3], 0);
    EXPECT_EQ(Sort.SortDirections[5], 1);
    std::vector<int> expected(9, SORT_IMAGE_NONE);
    expected[3] = SORT_IMAGE_DESCENDING;
    EXPECT_EQ(Images(), expected);
    // The header control itself carries the image and draws it.
    bool drawn = false;
    EXPECT_EQ(HeaderItemImage(list_, 3, &drawn), SORT_IMAGE_DESCENDING);
    EXPECT_TRUE(drawn);
    EXPECT_EQ(HeaderItemImage(list_, 5, &drawn), SORT_IMAGE_NONE);
}

TEST_F(SortList, ALastSortColumnOutOfRangeIsNotTouched) {
    AddCell(1, "b");
    AddCell(1, "a");
    Sort.LastSortColumn = 77;
    Click(1);
    EXPECT_EQ(ColumnTexts(list_, 1), (V{"a", "b"}));
    EXPECT_EQ(Sort.LastSortColumn, 1);
}

TEST_F(SortList, RowsWithoutARecordSortAsEmptyTexts) {
    AddRow({"5", "b", "", "", "", "", "", "", ""});
    AddRow({"6", "zzz", "", "", "", "", "", "", ""}, false);
    AddRow({"7", "a", "", "", "", "", "", "", ""});
    Click(1);
    EXPECT_EQ(ColumnTexts(list_, 1), (V{"zzz", "a", "b"}));
    EXPECT_EQ(RowData(list_, 0), (LPARAM)0);
}

// The whole sort agrees with a stable sort of the texts the rows showed, for every column and both
// directions, on a list large enough for the control to move rows many times while it sorts.
TEST_F(SortList, LargeListsSortAsAStableSortOfTheTextsShown) {
    std::mt19937 random(1234);
    const char* names[] = {"DUPONT", "dupont", "Martin", "LEFEBVRE", "\xC9mile", "Zo\xE9", "bernard", ""};
    const char* schemes[] = {"R\xE9gime g\xE9n\xE9ral", "MSA", "", "RSI", "regime general"};
    auto date = [&](void) {
        if (random() % 10 == 0) return std::string("00/00/   0");
        char buf[16];
        snprintf(buf, sizeof buf, "%02u/%02u/%4u", 1 + random() % 28, 1 + random() % 12,
                 1990 + random() % 30);
        return std::string(buf);
    };
    std::vector<Row> rows;
    for (int i = 0; i < 300; i++) {
        char number[16], age[32], count[16], ss[32];
        snprintf(number, sizeof number, "%u", (unsigned)(random() % 5000));
        unsigned years = random() % 100;
        snprintf(age, sizeof age, "%u an%s %02u m", years, years > 1 ? "s" : "", (unsigned)(random() % 12));
        snprintf(count, sizeof count, "%u", (unsigned)(random() % 300));
        snprintf(ss, sizeof ss, "%u%08u", (unsigned)(1 + random() % 2), (unsigned)(random() % 100000000));
        rows.push_back({number, names[random() % 8], age, count, date(), date(), names[random() % 8], ss,
                        schemes[random() % 5]});
    }
    for (const Row& r : rows)
        AddRow(r);
    auto shownRows = [&]() {
        std::vector<Row> shown;
        for (int row = 0; row < RowCount(list_); row++) {
            Row r;
            for (int c = 0; c < 9; c++)
                r.push_back(CellText(list_, row, c));
            shown.push_back(r);
        }
        return shown;
    };
    std::vector<Row> shown = shownRows();
    for (int column = 0; column < 9; column++) {
        for (int pass = 0; pass < 2; pass++) {
            int descending = Sort.SortDirections[column] != 0;
            std::vector<Row> expected = shown;
            std::stable_sort(expected.begin(), expected.end(), [&](const Row& a, const Row& b) {
                return CompareCellTexts(column, a[column].c_str(), b[column].c_str(), descending) < 0;
            });
            Click(column);
            shown = shownRows();
            ASSERT_EQ(shown, expected) << "column " << column << (descending ? " descending" : " ascending");
        }
    }
}

// The list as FillResultList leaves it after a run, sorted by name and by patient number.
TEST_F(SortList, AListFilledFromTheHitTableSorts) {
    TempCabinet cabinet;
    ASSERT_TRUE(cabinet.Open("HDCAB 1\r\nTODAY 08/12/2026\r\n"
                             "P 3|MARTIN|Paul|01/01/2000|\r\n"
                             "P 20|dupont|Jean|12/03/1961|\r\n"
                             "P 100|Bernard|Anne|05/05/1950|\r\n"));
    ClearHitTable();
    AddHit(RecordForPatient(3), MakePackedDate(1, 1, 2000), "Dr A", 1, 0);
    AddHit(RecordForPatient(20), MakePackedDate(31, 12, 1999), "Dr B", 2, 0);
    AddHit(RecordForPatient(20), MakePackedDate(2, 2, 2002), "Dr B", 3, 0);
    AddHit(RecordForPatient(100), MakePackedDate(5, 5, 2005), "Dr C", 4, 0);
    std::vector<unsigned char> patient(PATIENT_RECORD_SIZE), sesam(INFOSESAM_RECORD_SIZE),
        ext(EXTENSIONS_RECORD_SIZE);
    FillResultList(dialog_, patient.data(), sesam.data(), ext.data(), GetTickCount());
    ASSERT_EQ(ColumnTexts(list_, 0), (V{"3", "20", "100"}));
    Click(1);
    EXPECT_EQ(ColumnTexts(list_, 1), (V{"Bernard Anne", "dupont Jean", "MARTIN Paul"}));
    Click(0);
    EXPECT_EQ(ColumnTexts(list_, 0), (V{"100", "20", "3"}));
    EXPECT_EQ(ColumnImage(list_, 1), SORT_IMAGE_NONE);
    Click(4);
    EXPECT_EQ(ColumnTexts(list_, 4), (V{"31/12/1999", "01/01/2000", "05/05/2005"}));
    for (int row = 0; row < 3; row++) {
        PatientHits* record = (PatientHits*)RowData(list_, row);
        ASSERT_NE(record, nullptr);
        EXPECT_EQ(CellText(list_, row, 0), std::to_string(record->patientNumber));
    }
    SendMessageA(list_, LVM_DELETEALLITEMS, 0, 0);
    for (int n : {3, 20, 100})
        ReleasePatientHits(Results.PatientHitsTable[n]);
    ClearHitTable();
}

} // namespace
