// The result list on the real main window over the stand-in host: the columns set up at
// initialisation, and FillResultList over a hit table filled by hand from a hand-written cabinet
// (rows in patient order, every cell, the insurance scheme at both host levels and with every kind
// of scheme file, a patient the host does not know, the summary).
#include "searchrun_fixture.h"
#include "host_table_support.h"

#include "search/result_format.h"
#include "results/sort.h"
#include "search/result_list.h"

#include <string.h>

#include <atomic>
#include <thread>

namespace {

using searchrun::SearchRunFixture;

const char kCabinet[] = "HDCAB 1\r\n"
                        "TODAY 08/12/2026\r\n"
                        "P 10|DUPONT|Élodie|08/09/2025|1 23 45 67 890 123 45\r\n"
                        "P 20|MARTIN|Paul|01/01/1981|2-81-01\r\n"
                        "P 30|PETIT|Léa|01/07/2026|\r\n"
                        "S 90001|10|01\r\n"
                        "S 90002|20|2\r\n"
                        "S 90003|30|3\r\n"
                        "X 91001|10|1\r\n"
                        "X 91002|20|2\r\n"
                        "E 92000|10|12\r\n";

const char kSchemes[] = "[Régimes]\r\n"
                        "1=01;Régime général;\r\n"
                        "2=02;Régime agricole\r\n";

class ResultListTest : public SearchRunFixture {
  protected:
    // Patients 30, 10, 40 (unknown to the host) and 20 get hits, in that order.
    void FillTable() {
        ReleaseTable();
        AddHit(RecordForPatient(30), 0x07E90102u /* 02/01/2025 */, "Dr C", 1, 0);
        AddHit(RecordForPatient(10), 0x07D70304u /* 04/03/2007 */, "Dr A", 2, 0);
        AddHit(RecordForPatient(10), 0x07D80101u /* 01/01/2008 */, "Dr B", 3, 1);
        AddHit(RecordForPatient(10), 0x07D60505u /* 05/05/2006 */, "Dr A", 4, 0);
        AddHit(RecordForPatient(40), 0, "Dr D", 5, 0);
        AddHit(RecordForPatient(20), 0x07D5030Fu /* 15/03/2005 */, "Dr B", 6, 1);
        Results.OccurrenceTotal = 6;
    }
    // Fills the list with the tables opened and locked as a run does.
    void Fill(DWORD startTick = GetTickCount()) { FillWithHostTables(dialog_, startTick); }
    std::vector<std::string> Column(int column) {
        std::vector<std::string> cells;
        for (int r = 0; r < RowCount(); r++)
            cells.push_back(Cell(r, column));
        return cells;
    }
};

using Cells = std::vector<std::string>;

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

TEST_F(ResultListTest, ColumnsIconsAndSortBytesAreSetUpAtInitialisation) {
    WriteCabinet(kCabinet);
    OpenWindow(2);
    const struct {
        const char* title;
        int width;
        int align;
    } expected[] = {{"N° dossier", 50, LVCFMT_RIGHT},
                    {"Nom Patient", 200, LVCFMT_LEFT},
                    {"Age", 80, LVCFMT_RIGHT},
                    {"Nombre d'occurences", 40, LVCFMT_RIGHT},
                    {"Première occurence", 80, LVCFMT_RIGHT},
                    {"Dernière occurence", 80, LVCFMT_RIGHT},
                    {"Médecin", 80, LVCFMT_LEFT},
                    {"N° SS", 110, LVCFMT_RIGHT},
                    {"Régime", 250, LVCFMT_LEFT}};
    for (int i = 0; i < 9; i++) {
        char title[100] = "";
        LVCOLUMNA column;
        ZeroMemory(&column, sizeof column);
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_IMAGE;
        column.pszText = title;
        column.cchTextMax = sizeof title;
        ASSERT_TRUE(SendMessageA(List(), LVM_GETCOLUMNA, i, (LPARAM)&column)) << i;
        EXPECT_STREQ(title, expected[i].title) << i;
        EXPECT_EQ(column.cx, expected[i].width) << i;
        EXPECT_EQ(column.iImage, 3) << i;
        EXPECT_TRUE(column.fmt & LVCFMT_IMAGE) << i;
        /* The list view keeps column 0 left-aligned whatever it is given. */
        if (i > 0) {
            EXPECT_EQ(column.fmt & LVCFMT_JUSTIFYMASK, expected[i].align) << i;
        }
    }
    LVCOLUMNA extra;
    ZeroMemory(&extra, sizeof extra);
    extra.mask = LVCF_WIDTH;
    EXPECT_FALSE(SendMessageA(List(), LVM_GETCOLUMNA, 9, (LPARAM)&extra)) << "a tenth column";
    EXPECT_TRUE(SendMessageA(List(), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_FULLROWSELECT);
    EXPECT_NE(SendMessageA(dialog_, WM_GETICON, ICON_SMALL, 0), 0);
    EXPECT_NE(SendMessageA(dialog_, WM_GETICON, ICON_BIG, 0), 0);
    ASSERT_NE(Sort.SortDirections, nullptr);
    for (int i = 0; i < 9; i++)
        EXPECT_EQ(Sort.SortDirections[i], 0) << i;
}

TEST_F(ResultListTest, RowsComeInPatientOrderWithEveryCellFormatted) {
    WriteCabinet(kCabinet);
    WriteSchemes(kSchemes);
    OpenWindow(2);
    FillTable();
    Fill();
    ASSERT_EQ(RowCount(), 4);
    EXPECT_EQ(Column(0), (Cells{"10", "20", "30", "40"}));
    for (int r = 0; r < 4; r++) {
        ASSERT_NE(RowRecord(r), nullptr);
        EXPECT_EQ(RowRecord(r), Results.PatientHitsTable[atoi(Cell(r, 0).c_str())]) << r;
        EXPECT_EQ(RowRecord(r)->patientNumber, atoi(Cell(r, 0).c_str()));
    }
    /* Patient 40 is unknown to the host: empty names (the cell is "%s %s" of them, one space), empty
     * age and number, even right after patient 30. */
    EXPECT_EQ(Column(1), (Cells{"DUPONT Élodie", "MARTIN Paul", "PETIT Léa", " "}));
    EXPECT_EQ(Column(2), (Cells{"1 an 03 m", "45 ans 11 m", "0 an 05 m", ""}));
    EXPECT_EQ(Column(3), (Cells{"3", "1", "1", "1"}));
    EXPECT_EQ(Column(4), (Cells{"05/05/2006", "15/03/2005", "02/01/2025", "00/00/   0"}));
    EXPECT_EQ(Column(5), (Cells{"01/01/2008", "15/03/2005", "02/01/2025", "00/00/   0"}));
    EXPECT_EQ(Column(6), (Cells{"Dr A;Dr B", "Dr B", "Dr C", "Dr D"}));
    EXPECT_EQ(Column(7), (Cells{"123456789012345", "28101", "", ""}));
    /* Level 2, extensions: code 1 named; code 2's line has no ";" after the name; 30 and 40 have none. */
    EXPECT_EQ(Column(8), (Cells{"Régime général", "", "", ""}));
}

TEST_F(ResultListTest, SchemeComesFromTheSocialInsuranceRecordAtLevelOne) {
    WriteCabinet(kCabinet);
    WriteSchemes(kSchemes);
    OpenWindow(1);
    FillTable();
    Fill();
    /* 10: "01" -> 1, named. 20: code 2, no ";" after its name. 30: code 3, not in the file.
     * 40: no social-insurance key at all. */
    EXPECT_EQ(Column(8), (Cells{"Régime général", "", "", ""}));
    Host.HostApiLevel = 0;
    Fill();
    EXPECT_EQ(Column(8), (Cells{"", "", "", ""})) << "an unknown host level reads no scheme";
    ASSERT_EQ(RowCount(), 4) << "a second fill replaces the rows";
}

TEST_F(ResultListTest, SchemeColumnIsEmptyWithoutASchemeFile) {
    WriteCabinet(kCabinet);
    OpenWindow(2);
    FillTable();
    Fill();
    EXPECT_EQ(Column(8), (Cells{"", "", "", ""}));
    EXPECT_EQ(Column(1)[0], "DUPONT Élodie");
}

TEST_F(ResultListTest, SchemeNamesAreLookedUpInTheProgramsDirectory) {
    WriteCabinet(kCabinet);
    WriteSchemes("[Régimes]\r\n1=01;Régime général;\r\n2=02;Régime agricole\r\n3=7;MSA;x;\r\n"
                 "5=9;Après un trou;\r\n[Autre]\r\n4=9;Ailleurs;\r\n");
    OpenWindow(2);
    char name[260];
    LookupSchemeName(name, sizeof name, 1);
    EXPECT_STREQ(name, "Régime général");
    LookupSchemeName(name, sizeof name, 2);
    EXPECT_STREQ(name, "");
    LookupSchemeName(name, sizeof name, 7);
    EXPECT_STREQ(name, "MSA");
    LookupSchemeName(name, sizeof name, 9);
    EXPECT_STREQ(name, "") << "key 4 is missing from the section: the sequence ends at key 3";
    LookupSchemeName(name, sizeof name, 3);
    EXPECT_STREQ(name, "");
    char small[4];
    LookupSchemeName(small, sizeof small, 1);
    EXPECT_STREQ(small, "Rég") << "cut to its buffer";
    PointProgramsAt(root_ + "\\Empty");
    LookupSchemeName(name, sizeof name, 1);
    EXPECT_STREQ(name, "") << "no scheme file";
    PointProgramsAt(std::string(300, 'x'));
    LookupSchemeName(name, sizeof name, 1);
    EXPECT_STREQ(name, "") << "programs directory too long for a path";
}

TEST_F(ResultListTest, SummaryCountsRowsAndTimeOrSaysCancelled) {
    WriteCabinet(kCabinet);
    OpenWindow(2);
    ReleaseTable();
    AddHit(RecordForPatient(10), 0x07D70304u, "Dr A", 1, 0);
    AddHit(RecordForPatient(10), 0x07D70304u, "Dr A", 2, 0);
    AddHit(RecordForPatient(10), 0x07D70304u, "Dr A", 3, 0);
    Results.OccurrenceTotal = 3;
    Fill(GetTickCount() - 2345);
    std::string text = StatusText(dialog_, 2);
    ASSERT_TRUE(StartsWith(text, "3 occ. - 1 Patient (en 2.")) << text;
    int ms = atoi(text.c_str() + strlen("3 occ. - 1 Patient (en 2."));
    EXPECT_GE(ms, 345) << text;
    EXPECT_LT(ms, 999) << text;
    EXPECT_EQ(text.substr(text.size() - 3), " s)");

    AddHit(RecordForPatient(20), 0x07D70304u, "Dr A", 4, 0);
    Results.OccurrenceTotal = 4;
    Fill();
    text = StatusText(dialog_, 2);
    EXPECT_TRUE(StartsWith(text, "4 occ. - 2 Patients (en 0.0")) << text;

    SearchShared.SearchControl.cancelRequest.store(1);
    Fill();
    EXPECT_EQ(StatusText(dialog_, 2), "Annulé !");
    EXPECT_EQ(RowCount(), 2) << "a cancelled fill still lists the patients";
    SearchShared.SearchControl.cancelRequest.store(0);

    ReleaseTable();
    Fill();
    EXPECT_EQ(RowCount(), 0);
    EXPECT_TRUE(StartsWith(StatusText(dialog_, 2), "0 occ. - 0 Patient (en 0.")) << StatusText(dialog_, 2);
}

TEST_F(ResultListTest, MissingRecordsLeaveTheirColumnsEmpty) {
    WriteCabinet(kCabinet);
    WriteSchemes(kSchemes);
    OpenWindow(1);
    FillTable();
    FillResultList(dialog_, NULL, NULL, NULL, GetTickCount());
    ASSERT_EQ(RowCount(), 4);
    EXPECT_EQ(Column(1), (Cells{" ", " ", " ", " "})) << "no patient record: both names empty";
    EXPECT_EQ(Column(8), (Cells{"", "", "", ""}));
    EXPECT_EQ(Column(3), (Cells{"3", "1", "1", "1"}));
}

// From another thread (as the search run calls them) the fill and the release are carried out on
// the list's own thread while the caller waits; this thread serves the window meanwhile.
TEST_F(ResultListTest, FillAndReleaseFromAnotherThreadWorkThroughTheListsThread) {
    WriteCabinet(kCabinet);
    WriteSchemes(kSchemes);
    OpenWindow(2);
    FillTable();
    FillTables tables;
    void* p = tables.patient;
    void* s = tables.insurance;
    void* x = tables.extension;
    auto onWorker = [this](std::function<void()> work) {
        std::atomic<bool> done(false);
        std::thread worker([&] {
            work();
            done = true;
        });
        DWORD start = GetTickCount();
        while (!done && GetTickCount() - start < 10000) {
            Pump();
            Sleep(1);
        }
        worker.join();
        ASSERT_TRUE(done);
    };
    HWND dialog = dialog_;
    onWorker([&] { FillResultList(dialog, p, s, x, GetTickCount()); });
    ASSERT_EQ(RowCount(), 4);
    EXPECT_EQ(Column(1), (Cells{"DUPONT Élodie", "MARTIN Paul", "PETIT Léa", " "}));
    EXPECT_EQ(Column(8), (Cells{"Régime général", "", "", ""}));
    EXPECT_EQ(RowRecord(3), Results.PatientHitsTable[40]);
    EXPECT_TRUE(StartsWith(StatusText(dialog_, 2), "6 occ. - 4 Patients (en ")) << StatusText(dialog_, 2);

    /* The rows now own the records: the table lets go of them, and the release frees them. */
    ClearHitTable();
    onWorker([&] { ReleaseListedRecords(dialog); });
    EXPECT_EQ(RowCount(), 0);
}

} // namespace
