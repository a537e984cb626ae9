// The result list on the real main window over the stand-in host: the columns set up at
// initialisation, and FillResultList over a hit table filled by hand from a hand-written cabinet
// (rows in patient order, every cell, the insurance scheme at both host levels and with every kind
// of scheme file, a patient the host does not know, the summary).
#include "searchrun_fixture.h"
#include "host_table_support.h"

#include "search/result_format.h"
#include "results/sort.h"
#include "search/result_list.h"
#include "base/alloc.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>

namespace {

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// Whether an allocation of `bytes` is a scheme table's block (whole stored values).
bool IsSchemeTableBlock(size_t bytes) {
    return bytes % sizeof(SchemeValue) == 0 && bytes >= sizeof(SchemeValue);
}

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
    // `work` on a thread of its own, this thread serving the window until it is done, after
    // `quietMs` milliseconds in which it serves nothing and then does `meanwhile`.
    void OnWorker(std::function<void()> work, DWORD quietMs = 0, std::function<void()> meanwhile = nullptr) {
        std::atomic<bool> done(false);
        std::thread worker([&] {
            work();
            done = true;
        });
        Sleep(quietMs);
        if (meanwhile) meanwhile();
        DWORD start = GetTickCount();
        while (!done && GetTickCount() - start < 20000) {
            Pump();
            Sleep(1);
        }
        if (!done) {
            /* The worker is stuck (waiting for this thread, say): joining it would hang the suite. */
            fprintf(stderr, "%s: the worker did not end within 20 s\n",
                    ::testing::UnitTest::GetInstance()->current_test_info()->name());
            fflush(stderr);
            abort();
        }
        worker.join();
    }
    // Patient 20 (MARTIN Paul) left out of FillTable's rows: not listed, released, counted out.
    void ExpectMartinLeftOut() {
        EXPECT_EQ(Column(0), (std::vector<std::string>{"10", "30", "40"}));
        EXPECT_EQ(Column(1), (std::vector<std::string>{"DUPONT Élodie", "PETIT Léa", " "}));
        EXPECT_EQ(Results.PatientHitsTable[20], nullptr);
        EXPECT_EQ(Results.PatientsWithHits, 3);
        EXPECT_EQ(Results.OccurrenceTotal, 5);
        EXPECT_TRUE(StartsWith(StatusText(dialog_, 2), "5 occ. - 3 Patients (en ")) << StatusText(dialog_, 2);
    }
    std::vector<std::string> Column(int column) {
        std::vector<std::string> cells;
        for (int r = 0; r < RowCount(); r++)
            cells.push_back(Cell(r, column));
        return cells;
    }
};

using Cells = std::vector<std::string>;

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
    HWND dialog = dialog_;
    OnWorker([&] { FillResultList(dialog, p, s, x, GetTickCount()); });
    ASSERT_EQ(RowCount(), 4);
    EXPECT_EQ(Column(1), (Cells{"DUPONT Élodie", "MARTIN Paul", "PETIT Léa", " "}));
    EXPECT_EQ(Column(8), (Cells{"Régime général", "", "", ""}));
    EXPECT_EQ(RowRecord(3), Results.PatientHitsTable[40]);
    EXPECT_TRUE(StartsWith(StatusText(dialog_, 2), "6 occ. - 4 Patients (en ")) << StatusText(dialog_, 2);

    /* The rows now own the records: the table lets go of them, and the release frees them. */
    ClearHitTable();
    OnWorker([&] { ReleaseListedRecords(dialog); });
    EXPECT_EQ(RowCount(), 0);
}

// The cells are answered from the rows' records: a cell longer than the reader's buffer is cut to
// it and terminated, nothing is written past it, and the sort's and export's way of reading
// (LVM_GETITEMA, which may hand back another pointer) gives the same texts.
TEST_F(ResultListTest, CellsAreCutToTheReadersBufferAndTerminated) {
    WriteCabinet(kCabinet);
    WriteSchemes(kSchemes);
    OpenWindow(2);
    FillTable();
    std::string authors;
    for (int i = 0; authors.size() < 900; i++) {
        std::string author = "Docteur numero " + std::to_string(i);
        AddHit(RecordForPatient(20), 0x07D5030Fu, author.c_str(), 100 + i, 0);
        authors += ";" + author;
    }
    Fill();
    ASSERT_EQ(RowCount(), 4);
    char whole[AUTHORS_TEXT_SIZE + 10] = "";
    LVITEMA all;
    ZeroMemory(&all, sizeof all);
    all.iSubItem = 6;
    all.pszText = whole;
    all.cchTextMax = sizeof whole;
    SendMessageA(List(), LVM_GETITEMTEXTA, 1, (LPARAM)&all);
    EXPECT_EQ(std::string(whole), "Dr B" + authors) << "the whole authors text, beyond 500 bytes";
    ASSERT_GT(strlen(whole), 900u);

    struct Read {
        int row, column, room;
        const char* expected;
    } reads[] = {{0, 1, 4, "DUP"},      {0, 1, 1, ""},   {0, 0, 2, "1"},    {0, 8, 6, "Régim"},
                 {0, 7, 9, "12345678"}, {0, 4, 3, "05"}, {1, 6, 5, "Dr B"}, {0, 2, 14, "1 an 03 m"}};
    for (const Read& r : reads) {
        char buf[32];
        memset(buf, 'x', sizeof buf);
        LVITEMA item;
        ZeroMemory(&item, sizeof item);
        item.iSubItem = r.column;
        item.pszText = buf;
        item.cchTextMax = r.room;
        SendMessageA(List(), LVM_GETITEMTEXTA, r.row, (LPARAM)&item);
        EXPECT_STREQ(buf, r.expected) << r.row << "," << r.column << " in " << r.room;
        /* Wine's list writes a second terminator after a buffer of 1 byte (the answer itself is
         * bounded: see the direct calls below). */
        for (int i = r.room > 1 ? r.room : 2; i < (int)sizeof buf; i++)
            ASSERT_EQ(buf[i], 'x') << "written past the buffer at " << i;

        memset(buf, 'x', sizeof buf);
        ZeroMemory(&item, sizeof item);
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = r.row;
        item.iSubItem = r.column;
        item.pszText = buf;
        item.cchTextMax = r.room;
        ASSERT_TRUE(SendMessageA(List(), LVM_GETITEMA, 0, (LPARAM)&item));
        ASSERT_NE(item.pszText, nullptr);
        ASSERT_NE(item.pszText, LPSTR_TEXTCALLBACKA);
        EXPECT_STREQ(item.pszText, r.expected) << "LVM_GETITEMA " << r.row << "," << r.column;
        EXPECT_EQ((PatientHits*)item.lParam, RowRecord(r.row));
    }
    /* The answer itself, as the list asks for it: never past cchTextMax, always terminated. */
    PatientHits* dupont = RowRecord(0);
    for (int room = 0; room <= 16; room++) {
        for (int column = 0; column < RESULT_COLUMN_COUNT; column++) {
            char buf[24];
            memset(buf, 'x', sizeof buf);
            NMLVDISPINFOA request;
            ZeroMemory(&request, sizeof request);
            request.hdr.hwndFrom = List();
            request.hdr.idFrom = IDC_RESULT_LIST;
            request.hdr.code = LVN_GETDISPINFOA;
            request.item.mask = LVIF_TEXT;
            request.item.iSubItem = column;
            request.item.pszText = buf;
            request.item.cchTextMax = room;
            request.item.lParam = column % 2 ? (LPARAM)dupont : 0; /* 0: the answer reads the row's data */
            AnswerResultCell(&request);
            EXPECT_EQ(request.item.pszText, buf);
            for (int i = room; i < (int)sizeof buf; i++)
                ASSERT_EQ(buf[i], 'x') << "column " << column << " room " << room << " byte " << i;
            if (room == 0) continue;
            std::string whole = Cell(0, column);
            EXPECT_EQ(std::string(buf), whole.substr(0, room - 1)) << "column " << column << " room " << room;
        }
    }

    char untouched[4] = {'x', 'x', 'x', 'x'};
    LVITEMA item;
    ZeroMemory(&item, sizeof item);
    item.iSubItem = 1;
    item.pszText = untouched;
    item.cchTextMax = 0;
    SendMessageA(List(), LVM_GETITEMTEXTA, 0, (LPARAM)&item);
    EXPECT_EQ(std::string(untouched, 4), "xxxx") << "a buffer of no room is not written";
}

// Messages that reach the list by its subclass chain (a subclass over the program's makes the fill
// send them rather than hand them to the list view directly).
struct SeenFill {
    WNDPROC next = NULL;
    int inserts = 0;
    int callbackMarks = 0;
    int texts = 0;
};
SeenFill g_seen;
LRESULT CALLBACK CountingListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == LVM_INSERTITEMA) g_seen.inserts++;
    if (message == LVM_SETITEMA) {
        const LVITEMA* item = (const LVITEMA*)lParam;
        if (item->pszText == LPSTR_TEXTCALLBACKA)
            g_seen.callbackMarks++;
        else
            g_seen.texts++;
    }
    return CallWindowProcA(g_seen.next, list, message, wParam, lParam);
}

bool UnderWine() {
    return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != NULL;
}

// A list that asks for sub-items never set on a callback row gets one message per row; one that
// does not (forced here through the switch) gets the eight sub-items marked. Both show the same cells.
TEST_F(ResultListTest, RowsWithOrWithoutMarkedSubItemsShowTheSameCells) {
    WriteCabinet(kCabinet);
    WriteSchemes(kSchemes);
    OpenWindow(2);
    FillTable();
    g_seen = SeenFill();
    g_seen.next = (WNDPROC)SetWindowLongPtrA(List(), GWLP_WNDPROC, (LONG_PTR)CountingListProc);
    Fill();
    std::vector<Cells> probed;
    for (int c = 0; c < RESULT_COLUMN_COUNT; c++)
        probed.push_back(Column(c));
    EXPECT_EQ(g_seen.inserts, 4);
    EXPECT_EQ(g_seen.texts, 0) << "no cell text is stored in the list";
    EXPECT_TRUE(g_seen.callbackMarks == 0 || g_seen.callbackMarks == 32) << g_seen.callbackMarks;
    if (UnderWine()) {
        EXPECT_EQ(g_seen.callbackMarks, 0) << "Wine asks for never-set sub-items: one message a row";
    }

    g_seen.inserts = g_seen.callbackMarks = g_seen.texts = 0;
    MarkResultSubItemsAlways(1);
    Fill();
    MarkResultSubItemsAlways(0);
    EXPECT_EQ(g_seen.inserts, 4);
    EXPECT_EQ(g_seen.callbackMarks, 32) << "eight sub-items marked on each row";
    EXPECT_EQ(g_seen.texts, 0);
    for (int c = 0; c < RESULT_COLUMN_COUNT; c++)
        EXPECT_EQ(Column(c), probed[c]) << "column " << c;
    EXPECT_EQ(probed[1], (Cells{"DUPONT Élodie", "MARTIN Paul", "PETIT Léa", " "}));
    EXPECT_EQ(probed[8], (Cells{"Régime général", "", "", ""}));
    SetWindowLongPtrA(List(), GWLP_WNDPROC, (LONG_PTR)g_seen.next);
}

// Which allocation calls a fill makes, by size, in order.
std::vector<size_t> g_allocSizes;
int RecordAllocation(int, size_t bytes) {
    g_allocSizes.push_back(bytes);
    return 0;
}

// A row whose host texts cannot be kept is not listed: its record is released and both counters
// drop it, as for a row the list refuses.
TEST_F(ResultListTest, ARowWhoseTextsCannotBeKeptIsLeftOutAndCountedOut) {
    WriteCabinet(kCabinet);
    WriteSchemes(kSchemes);
    OpenWindow(2);
    FillTable();
    g_allocSizes.clear();
    SondrelObserveAllocations(RecordAllocation);
    Fill();
    SondrelObserveAllocations(NULL);
    /* Patient 20's texts: "MARTIN Paul", "45 ans 11 m", "28101", "" and their terminators. */
    const size_t martin = 12 + 12 + 6 + 1;
    long at = -1;
    for (size_t i = 0; i < g_allocSizes.size(); i++)
        if (g_allocSizes[i] == martin) at = (long)i;
    ASSERT_GE(at, 0) << "the second row's texts are allocated";

    ClearHitTable();
    ReleaseListedRecords(dialog_);
    FillTable();
    ForgetSchemeTable(); /* the fill reads the scheme file again, as the first one did */
    long live = SondrelLiveBlocks();
    SondrelFailAllocationAt(at + 1);
    Fill();
    SondrelFailAllocationAt(0);
    ForgetSchemeTable();
    ExpectMartinLeftOut();
    EXPECT_EQ(SondrelLiveBlocks(), live - 2 + 3) << "20's record and hits released; three rows' texts kept";
}

// A second fill of the same records replaces their texts; the release frees records, hits and texts.
// Detached rows (an import under way) are answered empty until the next fill.
TEST_F(ResultListTest, RefillKeepsOneTextBlockPerRecordAndReleaseFreesThemAll) {
    WriteCabinet(kCabinet);
    WriteSchemes(kSchemes);
    OpenWindow(2);
    ReleaseTable();
    long live = SondrelLiveBlocks();
    FillTable();
    EXPECT_EQ(SondrelLiveBlocks(), live + 8) << "four records and their hits arrays";
    Fill();
    EXPECT_EQ(SondrelLiveBlocks(), live + 13) << "and four text blocks, and the scheme table kept";
    Fill();
    EXPECT_EQ(SondrelLiveBlocks(), live + 13) << "the refill released the texts it replaced";
    EXPECT_EQ(Column(1), (Cells{"DUPONT Élodie", "MARTIN Paul", "PETIT Léa", " "}));

    DetachResultRows();
    EXPECT_EQ(Column(1), (Cells{"", "", "", ""}));
    EXPECT_EQ(Column(0), (Cells{"", "", "", ""}));
    Fill();
    EXPECT_EQ(Column(0), (Cells{"10", "20", "30", "40"}));

    ClearHitTable();
    ReleaseListedRecords(dialog_);
    EXPECT_EQ(RowCount(), 0);
    ForgetSchemeTable();
    EXPECT_EQ(SondrelLiveBlocks(), live);
}

// The run's release is not waited for: started from another thread while this thread serves no
// message, it returns at once with the rows and their records still there; the next message that
// thread sends here is handled after it, so it finds no row and every record freed. Started on the
// list's own thread it releases at once.
TEST_F(ResultListTest, AReleaseStartedElsewhereIsNotWaitedForAndComesBeforeTheNextMessage) {
    WriteCabinet(kCabinet);
    WriteSchemes(kSchemes);
    OpenWindow(2);
    ReleaseTable();
    FillTable();
    Fill();
    ForgetSchemeTable();
    ASSERT_EQ(RowCount(), 4);
    long withRows = SondrelLiveBlocks();
    ClearHitTable();

    HWND dialog = dialog_;
    HWND list = List();
    std::atomic<int> started(0);
    std::atomic<long> rowsSeen(-1);
    std::thread worker([&] {
        StartReleasingListedRecords(dialog);
        started = 1;
        rowsSeen = (long)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
    });
    DWORD start = GetTickCount();
    while (!started && GetTickCount() - start < 10000)
        Sleep(1); /* serves no message */
    EXPECT_EQ(started.load(), 1) << "the release waited for the list's thread";
    EXPECT_EQ(RowCount(), 4) << "released before the list's thread served its messages";
    EXPECT_EQ(SondrelLiveBlocks(), withRows);
    start = GetTickCount();
    while (rowsSeen.load() < 0 && GetTickCount() - start < 10000) {
        Pump();
        Sleep(1);
    }
    worker.join();
    EXPECT_EQ(rowsSeen.load(), 0) << "the worker's next message came before the release";
    EXPECT_EQ(RowCount(), 0);
    EXPECT_EQ(SondrelLiveBlocks(), withRows - 12) << "four records, their hits arrays and row texts";

    FillTable();
    Fill();
    ClearHitTable();
    StartReleasingListedRecords(dialog_);
    EXPECT_EQ(RowCount(), 0) << "on the list's own thread";
}

// What the list and the main window see of a fill and a release: how often the list is hidden and
// shown, and how many row deletions the list notifies.
struct ListSightings {
    int hidden = 0, shown = 0, rowDeletions = 0;
};
ListSightings* g_sightings;
WNDPROC g_sightedListProc, g_sightedDialogProc;

LRESULT CALLBACK SightedList(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_SHOWWINDOW && g_sightings != NULL) (wp ? g_sightings->shown : g_sightings->hidden)++;
    return CallWindowProcA(g_sightedListProc, w, m, wp, lp);
}

LRESULT CALLBACK SightedDialog(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_NOTIFY && g_sightings != NULL && ((NMHDR*)lp)->code == (UINT)LVN_DELETEITEM)
        g_sightings->rowDeletions++;
    return CallWindowProcA(g_sightedDialogProc, w, m, wp, lp);
}

// A fill, and a release of rows, hide the list while the rows go in or out and show it again once:
// the list is shown afterwards if it was before and stays hidden if it was hidden; a list that has
// the keyboard focus is not hidden, so it keeps the focus. Deleting all rows notifies no single row.
TEST_F(ResultListTest, FillAndReleaseLeaveTheListsVisibilityAndFocusAsTheyWere) {
    WriteCabinet(kCabinet);
    WriteSchemes(kSchemes);
    OpenWindow(2);
    HWND list = List();
    /* The watches stay until the window goes (they outlive the test's locals only as no-ops). */
    static ListSightings seen;
    seen = ListSightings();
    g_sightings = &seen;
    g_sightedListProc = (WNDPROC)SetWindowLongPtrA(list, GWLP_WNDPROC, (LONG_PTR)SightedList);
    g_sightedDialogProc = (WNDPROC)SetWindowLongPtrA(dialog_, GWLP_WNDPROC, (LONG_PTR)SightedDialog);
    auto styleShown = [list] { return (GetWindowLongPtrA(list, GWL_STYLE) & WS_VISIBLE) != 0; };
    ASSERT_TRUE(styleShown());
    SetFocus(GetDlgItem(dialog_, IDC_SEARCH_TEXT));
    ASSERT_EQ(GetFocus(), GetDlgItem(dialog_, IDC_SEARCH_TEXT));

    FillTable();
    Fill();
    EXPECT_EQ(RowCount(), 4);
    EXPECT_EQ(Column(1), (Cells{"DUPONT Élodie", "MARTIN Paul", "PETIT Léa", " "}));
    EXPECT_EQ(seen.hidden, 1);
    EXPECT_EQ(seen.shown, 1);
    EXPECT_TRUE(styleShown());

    /* A refill deletes the four rows first, without a notification per row. */
    Fill();
    EXPECT_EQ(RowCount(), 4);
    EXPECT_EQ(seen.rowDeletions, 0);
    EXPECT_TRUE(styleShown());

    SetFocus(list);
    ASSERT_EQ(GetFocus(), list);
    seen = ListSightings();
    Fill();
    EXPECT_EQ(RowCount(), 4);
    EXPECT_EQ(seen.hidden, 0) << "hiding the list would have taken its focus";
    EXPECT_EQ(GetFocus(), list);
    EXPECT_TRUE(styleShown());

    /* The same while a row's label is being edited: the focus is in the list's edit box. */
    HWND edit = (HWND)SendMessageA(list, LVM_EDITLABELA, 0, 0);
    ASSERT_NE(edit, (HWND)NULL);
    ASSERT_TRUE(IsChild(list, GetFocus()));
    seen = ListSightings();
    Fill();
    EXPECT_EQ(RowCount(), 4);
    EXPECT_EQ(seen.hidden, 0) << "hiding the list would have taken the edit box's focus";
    EXPECT_TRUE(styleShown());

    SetFocus(GetDlgItem(dialog_, IDC_SEARCH_TEXT));
    ShowWindow(list, SW_HIDE);
    seen = ListSightings();
    Fill();
    EXPECT_EQ(RowCount(), 4);
    EXPECT_EQ(seen.shown, 0) << "a hidden list stays hidden";
    EXPECT_FALSE(styleShown());
    ShowWindow(list, SW_SHOWNA);

    /* The release hides the list for its deletion, notifies no row, and leaves an empty list alone. */
    ClearHitTable();
    seen = ListSightings();
    ReleaseListedRecords(dialog_);
    EXPECT_EQ(RowCount(), 0);
    EXPECT_EQ(seen.hidden, 1);
    EXPECT_EQ(seen.shown, 1);
    EXPECT_EQ(seen.rowDeletions, 0);
    EXPECT_TRUE(styleShown());
    seen = ListSightings();
    ReleaseListedRecords(dialog_);
    EXPECT_EQ(seen.hidden + seen.shown, 0);

    SetWindowLongPtrA(dialog_, GWLP_WNDPROC, (LONG_PTR)g_sightedDialogProc);
    SetWindowLongPtrA(list, GWLP_WNDPROC, (LONG_PTR)g_sightedListProc);
    g_sightings = NULL;
}

// The scheme table a fill reads is kept for the next fill while the file stays the same (path, time,
// size); a file changed in any of them, or gone, is read again, so the names always follow the file.
TEST_F(ResultListTest, SchemeTableIsKeptWhileItsFileIsUnchanged) {
    WriteCabinet(kCabinet);
    WriteSchemes("[Régimes]\r\n1=01;Régime général;\r\n");
    OpenWindow(2);
    FillTable();
    const std::string path = root_ + "\\Programmes\\caisses.hdc";
    auto schemeReads = [this]() {
        g_allocSizes.clear();
        SondrelObserveAllocations(RecordAllocation);
        Fill();
        SondrelObserveAllocations(NULL);
        long reads = 0;
        for (size_t bytes : g_allocSizes)
            reads += IsSchemeTableBlock(bytes);
        return reads;
    };
    EXPECT_EQ(schemeReads(), 1);
    EXPECT_EQ(Column(8)[0], "Régime général");
    EXPECT_EQ(schemeReads(), 0) << "unchanged: the kept table serves";
    EXPECT_EQ(Column(8)[0], "Régime général");

    /* The same size with other bytes, written later: read again. */
    WriteSchemes("[Régimes]\r\n1=01;Régime agricol;\r\n");
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    FILETIME later;
    GetSystemTimeAsFileTime(&later);
    later.dwHighDateTime += 1; /* about seven minutes on */
    SetFileTime(file, NULL, NULL, &later);
    CloseHandle(file);
    EXPECT_EQ(schemeReads(), 1);
    EXPECT_EQ(Column(8)[0], "Régime agricol");

    /* Another size with the same time: read again. */
    WriteSchemes("[Régimes]\r\n1=01;MSA;\r\n");
    file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    SetFileTime(file, NULL, NULL, &later);
    CloseHandle(file);
    EXPECT_EQ(schemeReads(), 1);
    EXPECT_EQ(Column(8)[0], "MSA");

    /* Gone: no names, and nothing kept. */
    ASSERT_TRUE(DeleteFileA(path.c_str()));
    EXPECT_EQ(schemeReads(), 0);
    EXPECT_EQ(Column(8)[0], "");
    WriteSchemes("[Régimes]\r\n1=01;Régime général;\r\n");
    EXPECT_EQ(schemeReads(), 1);
    EXPECT_EQ(Column(8)[0], "Régime général");

    /* A table cut short for want of memory is used once and not kept. */
    ForgetSchemeTable();
    g_allocSizes.clear();
    SondrelObserveAllocations(RecordAllocation);
    Fill();
    SondrelObserveAllocations(NULL);
    long schemeAt = -1;
    for (size_t i = 0; i < g_allocSizes.size(); i++)
        if (IsSchemeTableBlock(g_allocSizes[i])) schemeAt = (long)i;
    ASSERT_GE(schemeAt, 0);
    ForgetSchemeTable();
    SondrelFailAllocationAt(schemeAt + 1);
    Fill();
    SondrelFailAllocationAt(0);
    EXPECT_EQ(Column(8)[0], "");
    EXPECT_EQ(schemeReads(), 1) << "the next fill reads the file again";
    EXPECT_EQ(Column(8)[0], "Régime général");
}

// A fill called from another thread is shared: that thread reads the cells from the host while this
// one, the list's, inserts the rows already read. What the allocation seam sees of it: each row-text
// block with the thread that asked for it; optionally one message sent to the list from that thread
// as it keeps a row's texts (as a host call might send one), with whether it was served.
struct SharedFillWatch {
    std::mutex lock;
    std::vector<std::pair<size_t, DWORD>> blocks; /* size, thread */
    size_t failSize = 0;                          /* a block of this size is refused */
    HWND sendTo = NULL;                           /* sent LVM_GETITEMCOUNT once, from another thread, */
    size_t sendAtSize = 0;                        /* when a block of this size is asked for */
    std::atomic<int> sent{-1};                    /* -1 not sent, 0 timed out, 1 served */
};
SharedFillWatch* g_sharedFill;
int WatchSharedFill(int, size_t bytes) {
    SharedFillWatch* watch = g_sharedFill;
    std::lock_guard<std::mutex> hold(watch->lock);
    watch->blocks.emplace_back(bytes, GetCurrentThreadId());
    if (watch->sendTo != NULL && bytes == watch->sendAtSize && watch->sent.load() < 0 &&
        GetWindowThreadProcessId(watch->sendTo, NULL) != GetCurrentThreadId()) {
        DWORD_PTR count = 0;
        watch->sent =
            SendMessageTimeoutA(watch->sendTo, LVM_GETITEMCOUNT, 0, 0, SMTO_NORMAL, 5000, &count) != 0;
    }
    return bytes == watch->failSize;
}

class SharedFillTest : public ResultListTest {
  protected:
    void SetUp() override {
        ResultListTest::SetUp();
        g_sharedFill = &watch_;
    }
    void TearDown() override {
        SondrelObserveAllocations(NULL);
        g_sharedFill = NULL;
        ResultListTest::TearDown();
    }
    // FillResultList on a thread of its own, after `before` on that thread, this thread serving the
    // window until it returns.
    void FillOnWorker(std::function<void()> before = nullptr, DWORD quietMs = 0,
                      std::function<void()> meanwhile = nullptr) {
        FillTables tables;
        HWND dialog = dialog_;
        OnWorker(
            [&] {
                workerThread_ = GetCurrentThreadId();
                if (before) before();
                FillResultList(dialog, tables.patient, tables.insurance, tables.extension, GetTickCount());
            },
            quietMs, meanwhile);
    }
    // The threads that asked for a scheme table's block, in order.
    std::vector<DWORD> SchemeTableReaders() {
        std::vector<DWORD> threads;
        for (const auto& block : watch_.blocks)
            if (IsSchemeTableBlock(block.first)) threads.push_back(block.second);
        return threads;
    }
    // The thread that asked for the row texts of `bytes` bytes; 0 when none was asked for.
    DWORD ThreadOfBlock(size_t bytes) {
        for (const auto& block : watch_.blocks)
            if (block.first == bytes) return block.second;
        return 0;
    }
    std::vector<Cells> AllCells() {
        std::vector<Cells> rows;
        for (int r = 0; r < RowCount(); r++) {
            Cells row;
            for (int c = 0; c < RESULT_COLUMN_COUNT; c++)
                row.push_back(Cell(r, c));
            rows.push_back(row);
        }
        return rows;
    }
    SharedFillWatch watch_;
    std::atomic<DWORD> workerThread_{0};
};

/* Patient 20's texts: "MARTIN Paul", "45 ans 11 m", "28101", "" and their terminators. */
const size_t kMartinTexts = 12 + 12 + 6 + 1;

// Hundreds of rows, several times the rows between two meetings of the threads: the shared fill
// lists every cell of every row, in patient order, exactly as a fill on the list's own thread does,
// and the cells were read on the filling thread.
TEST_F(SharedFillTest, ListsTheRowsAndCellsOfAFillOnTheListsThread) {
    WriteCabinet(kCabinet);
    WriteSchemes(kSchemes);
    OpenWindow(2);
    FillTable();
    for (int n = 100; n < 700; n++)
        AddHit(RecordForPatient(n), 0x07E00101u + (uint32_t)(n % 28), n % 3 ? "Dr E" : "Dr F", (uint32_t)n,
               n % 2);
    Results.OccurrenceTotal += 600;
    SondrelObserveAllocations(WatchSharedFill);
    FillOnWorker();
    SondrelObserveAllocations(NULL);
    ASSERT_NE(workerThread_.load(), 0u);
    EXPECT_EQ(ThreadOfBlock(kMartinTexts), workerThread_.load())
        << "the host cells are read on the filling thread";
    ASSERT_EQ(RowCount(), 604);
    std::vector<Cells> shared = AllCells();
    EXPECT_EQ(shared[0], (Cells{"10", "DUPONT Élodie", "1 an 03 m", "3", "05/05/2006", "01/01/2008",
                                "Dr A;Dr B", "123456789012345", "Régime général"}));
    EXPECT_EQ(shared[4][0], "100");
    EXPECT_EQ(shared[603][0], "699");
    EXPECT_EQ(RowRecord(603), Results.PatientHitsTable[699]);
    EXPECT_TRUE(StartsWith(StatusText(dialog_, 2), "606 occ. - 604 Patients (en ")) << StatusText(dialog_, 2);

    Fill();
    EXPECT_EQ(AllCells(), shared) << "a fill on the list's thread";
}

// A row whose cells cannot be kept is left out by a shared fill as by any: the rows around it are
// listed, its record is released and the counters no longer count it.
TEST_F(SharedFillTest, LeavesOutARowWhoseTextsCannotBeKept) {
    WriteCabinet(kCabinet);
    WriteSchemes(kSchemes);
    OpenWindow(2);
    FillTable();
    watch_.failSize = kMartinTexts;
    SondrelObserveAllocations(WatchSharedFill);
    FillOnWorker();
    SondrelObserveAllocations(NULL);
    EXPECT_EQ(ThreadOfBlock(kMartinTexts), workerThread_.load());
    ExpectMartinLeftOut();
}

// Rows still listed when a shared fill starts may carry the records whose texts it replaces: until
// the list's thread has emptied the list they are answered empty, never from those texts.
TEST_F(SharedFillTest, RowsStillListedAreAnsweredEmptyUntilTheListIsEmptied) {
    WriteCabinet(kCabinet);
    WriteSchemes(kSchemes);
    OpenWindow(2);
    FillTable();
    Fill();
    ASSERT_EQ(Column(1), (Cells{"DUPONT Élodie", "MARTIN Paul", "PETIT Léa", " "}));
    Cells during;
    FillOnWorker(nullptr, 300, [&] { during = Column(1); });
    EXPECT_EQ(during, (Cells{"", "", "", ""})) << "read while the filling thread replaced the texts";
    EXPECT_EQ(Column(1), (Cells{"DUPONT Élodie", "MARTIN Paul", "PETIT Léa", " "}));
}

// A shared fill that cannot be set up (no memory for its queue, its first block) is carried out
// whole on the list's thread, with the same rows.
TEST_F(SharedFillTest, FallsBackToAFillOnTheListsThread) {
    WriteCabinet(kCabinet);
    WriteSchemes(kSchemes);
    OpenWindow(2);
    FillTable();
    long live = SondrelLiveBlocks();
    SondrelObserveAllocations(WatchSharedFill);
    SondrelFailAllocationAt(1);
    FillOnWorker();
    SondrelFailAllocationAt(0);
    SondrelObserveAllocations(NULL);
    EXPECT_EQ(ThreadOfBlock(kMartinTexts), GetCurrentThreadId()) << "read on the list's thread";
    EXPECT_EQ(Column(1), (Cells{"DUPONT Élodie", "MARTIN Paul", "PETIT Léa", " "}));
    EXPECT_EQ(Results.PatientsWithHits, 4);
    EXPECT_EQ(SondrelLiveBlocks(), live + 5) << "four text blocks and the scheme table; no queue left";
}

// While the list's thread waits for rows it still serves what other threads send it: a message sent
// there from the filling thread in the middle of its reads is answered, and the fill goes on.
TEST_F(SharedFillTest, ServesMessagesSentToTheListsThreadWhileItWaits) {
    WriteCabinet(kCabinet);
    WriteSchemes(kSchemes);
    OpenWindow(2);
    FillTable();
    watch_.sendTo = List();
    watch_.sendAtSize = kMartinTexts; /* the second row: the list's thread waits for it */
    SondrelObserveAllocations(WatchSharedFill);
    FillOnWorker();
    SondrelObserveAllocations(NULL);
    EXPECT_EQ(watch_.sent.load(), 1) << "the list's thread did not answer within 5 s";
    EXPECT_EQ(Column(1), (Cells{"DUPONT Élodie", "MARTIN Paul", "PETIT Léa", " "}));
}

// A run has the list's thread read the scheme table ahead of its fill: the file is read there, once,
// before the run's next waiting message to that thread returns, and the fill uses the table without
// reading the file again; a file changed after the read ahead is read again by the fill. On the list's
// own thread the read ahead does nothing.
TEST_F(SharedFillTest, ASchemeTableReadAheadServesTheFillWhileTheFileIsUnchanged) {
    WriteCabinet(kCabinet);
    WriteSchemes(kSchemes);
    OpenWindow(2);
    FillTable();
    HWND dialog = dialog_;
    HWND list = List();
    std::atomic<long> readersBeforeFill(-1);
    SondrelObserveAllocations(WatchSharedFill);
    FillOnWorker([&] {
        StartReadingSchemeTable(dialog);
        SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
        std::lock_guard<std::mutex> hold(watch_.lock);
        readersBeforeFill = (long)SchemeTableReaders().size();
    });
    SondrelObserveAllocations(NULL);
    EXPECT_EQ(readersBeforeFill.load(), 1) << "read before the next waiting message returned";
    EXPECT_EQ(SchemeTableReaders(), std::vector<DWORD>{GetCurrentThreadId()})
        << "read once, on the list's thread";
    EXPECT_EQ(Column(8), (Cells{"Régime général", "", "", ""}));

    watch_.blocks.clear();
    SondrelObserveAllocations(WatchSharedFill);
    FillOnWorker([&] {
        StartReadingSchemeTable(dialog);
        SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
        WriteSchemes("[Régimes]\r\n1=01;MSA;\r\n");
    });
    SondrelObserveAllocations(NULL);
    EXPECT_EQ(SchemeTableReaders(), std::vector<DWORD>{workerThread_.load()})
        << "unchanged up to then; read again by the fill";
    EXPECT_EQ(Column(8), (Cells{"MSA", "", "", ""}));

    watch_.blocks.clear();
    WriteSchemes(kSchemes);
    SondrelObserveAllocations(WatchSharedFill);
    StartReadingSchemeTable(dialog_);
    Pump();
    SondrelObserveAllocations(NULL);
    EXPECT_TRUE(SchemeTableReaders().empty()) << "on the list's own thread";

    /* A fill right after the request, with no other message between, this thread serving nothing
     * for a while: the fill waits for the read ahead instead of reading the table beside it. */
    ForgetSchemeTable();
    watch_.blocks.clear();
    SondrelObserveAllocations(WatchSharedFill);
    FillOnWorker([&] { StartReadingSchemeTable(dialog); }, 300);
    SondrelObserveAllocations(NULL);
    EXPECT_EQ(SchemeTableReaders(), std::vector<DWORD>{GetCurrentThreadId()});
    EXPECT_EQ(Column(8), (Cells{"Régime général", "", "", ""}));
}

} // namespace
