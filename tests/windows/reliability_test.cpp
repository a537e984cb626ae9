// Allocation failures of the Win32 glue, each made to happen through the allocation seam on the
// real main window over the stand-in host: the search run's own block and key lists (and every
// other allocation of a run, in turn), the sort's snapshot and the sort directions, the scheme
// table of a fill, the import's records; and the mends: a faulty host's key counts and key texts,
// an import file whose reading fails part-way, a cell holding TAB, CR or LF exported and imported.
// Each checks that nothing crashes, that no block stays allocated, that the user is told exactly
// what the program says about it (or nothing), and that the results the user had are still there.
#include "searchrun_fixture.h"

#include "base/alloc.h"
#include "host/host_table_win.h"
#include "host/records.h"
#include "exchange/export.h"
#include "exchange/export_format.h"
#include "exchange/import.h"
#include "results/sort.h"
#include "search/result_format.h"
#include "search/result_list.h"

#include <limits.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <atomic>

namespace {

using searchrun::SearchRunFixture;

const char kCabinet[] = "HDCAB 1\r\n"
                        "TODAY 08/12/2026\r\n"
                        "P 10|DUPONT|Élodie|08/09/2025|1 23\r\n"
                        "P 20|MARTIN|Paul|01/01/1981|2 81\r\n"
                        "P 30|PETIT|Léa|01/07/2026|\r\n"
                        "P 40|NOUVEAU|Jean|01/01/1990|\r\n"
                        "S 90001|10|01\r\n"
                        "D 39|500|6|10|15/03/2005|1|Dr A\r\n<text>Zelmorin</text>\r\n.\r\n"
                        "D 39|600|6|20|20/11/2006|1|Dr B\r\n<text>zelmorin</text>\r\n.\r\n"
                        "D 39|700|6|30|01/01/2010|1|Dr C\r\n<text>ZELMORIN</text>\r\n.\r\n"
                        "D 39|800|7|30|01/01/2011|1|Dr C\r\n<text>Zelmorin</text>\r\n.\r\n"
                        "D 284|60|6|10|05/05/2005|1|Dr G\r\n<text>Zelmorin fichier</text>\r\n.\r\n";

const char kSchemes[] = "[Régimes]\r\n1=01;Régime général;\r\n";

const char kAllocationBox[] = "Erreur d'allocation m\xe9moire, r\xe9sultat ignor\xe9";

// StandinSetFaults of the stand-in HDAPI5.DLL (test-only export).
typedef void (*SetFaultsFn)(int keyCount, DWORD unterminatedKey);
SetFaultsFn StandinFaults() {
    return (SetFaultsFn)(void*)GetProcAddress(GetModuleHandleA("HDAPI5.DLL"), "StandinSetFaults");
}

class AllocationFailureTest : public SearchRunFixture {
  protected:
    void SetUp() override {
        SearchRunFixture::SetUp();
        SondrelFailAllocationAt(0);
        WriteCabinet(kCabinet);
        WriteSchemes(kSchemes);
        OpenWindow(1);
        ChooseMode(IDC_RADIO_LETTERS);
        SetDlgItemTextA(dialog_, IDC_SEARCH_TEXT, "zelmorin");
    }
    void TearDown() override {
        SondrelFailAllocationAt(0);
        if (StandinFaults() != NULL) StandinFaults()(INT_MIN, 0);
        SearchRunFixture::TearDown();
    }
    // Runs the search with the n-th allocation of the run failing (0: none).
    /* Each run reads the scheme file as the first run of a session does: the table a run keeps for
     * the next is let go after it, so every run makes the same allocations and the block counts
     * below are the results' alone. */
    void RunFailingAt(long n) {
        g_boxes.clear();
        SondrelFailAllocationAt(n);
        RunAndWait();
        SondrelFailAllocationAt(0);
        ForgetSchemeTable();
    }
    long AllocationsOfACleanRun() {
        long before = SondrelAllocationCalls();
        RunFailingAt(0);
        return SondrelAllocationCalls() - before;
    }
    std::vector<std::string> Rows() {
        std::vector<std::string> rows;
        for (int r = 0; r < RowCount(); r++)
            rows.push_back(Cell(r, 0) + "|" + Cell(r, 3) + "|" + Cell(r, 8));
        return rows;
    }
    void ExpectIdle() {
        EXPECT_EQ(SearchShared.SearchControl.running.load(), 0);
        EXPECT_EQ(SearchShared.SearchControl.starting.load(), 0);
        EXPECT_EQ(SearchShared.SearchControl.cancelRequest.load(), 0);
        EXPECT_EQ(ControlText(IDC_LAUNCH), "Lancer");
    }
    void ExpectOneAllocationBox() {
        ASSERT_EQ(g_boxes.size(), 1u);
        EXPECT_EQ(g_boxes[0].owner, (HWND)NULL);
        EXPECT_EQ(g_boxes[0].text, kAllocationBox);
        EXPECT_EQ(g_boxes[0].caption, "Sondrel");
        EXPECT_EQ(g_boxes[0].style, (UINT)MB_ICONERROR);
    }
};

const std::vector<std::string> kFound = {"10|2|Régime général", "20|1|", "30|1|"};

TEST_F(AllocationFailureTest, RunWithoutItsOwnBlockKeepsThePreviousResults) {
    RunFailingAt(0);
    ASSERT_EQ(Rows(), kFound);
    PatientHits* first = RowRecord(0);
    std::string status = StatusText(dialog_, 2);
    long live = SondrelLiveBlocks();

    RunFailingAt(1); // the run's own block
    ExpectOneAllocationBox();
    ExpectIdle();
    EXPECT_EQ(Rows(), kFound);
    EXPECT_EQ(RowRecord(0), first);
    EXPECT_EQ(Results.PatientHitsTable[10], first);
    EXPECT_EQ(StatusText(dialog_, 2), status);
    EXPECT_EQ(SondrelLiveBlocks(), live);
}

TEST_F(AllocationFailureTest, KeyListsThatCannotBeAllocatedEndTheRunCancelled) {
    for (long n : {2L, 3L}) { // the folder key list, then the file key list
        RunFailingAt(0);
        // the results (record, hits array, row texts) go with the run
        long live = SondrelLiveBlocks() - (long)(3 * kFound.size());
        RunFailingAt(n);
        ExpectOneAllocationBox();
        ExpectIdle();
        EXPECT_EQ(RowCount(), 0) << n;
        EXPECT_EQ(Results.PatientsWithHits, 0) << n;
        EXPECT_EQ(StatusText(dialog_, 2), "Annul\xe9 !") << n;
        EXPECT_EQ(SondrelLiveBlocks(), live) << n;
    }
    RunFailingAt(0); // and the next run is whole again
    EXPECT_EQ(Rows(), kFound);
    EXPECT_TRUE(g_boxes.empty());
}

// Every allocation of a run fails in turn: the run always ends idle, tells the user at most once,
// lists every patient it could record, and leaves exactly the blocks of the rows it listed. (The
// scheme table, read ahead by this thread during the scan, comes somewhere among the scan's own
// allocations, so which one the n-th is may differ from run to run; each run still fails exactly
// one, and the scheme table's own failures are the next test's.)
TEST_F(AllocationFailureTest, RunSurvivesAFailureAtEachOfItsAllocations) {
    long calls = AllocationsOfACleanRun();
    // block, key lists, a record and an array per patient, schemes, the texts of each row
    ASSERT_GE(calls, 3 + 2 * 3 + 1 + 3);
    for (long n = 1; n <= calls; n++) {
        ReleaseListedRecords(dialog_);
        ClearHitTable();
        long live = SondrelLiveBlocks();
        RunFailingAt(n);
        ExpectIdle();
        EXPECT_LE(g_boxes.size(), 1u) << n;
        for (const RecordedBox& box : g_boxes)
            EXPECT_EQ(box.text, kAllocationBox) << n;
        EXPECT_LE(RowCount(), 3) << n;
        long blocks = 0;
        for (int r = 0; r < RowCount(); r++) {
            PatientHits* record = RowRecord(r);
            ASSERT_NE(record, nullptr);
            EXPECT_EQ(Results.PatientHitsTable[record->patientNumber], record);
            blocks += (record->hits != NULL ? 2 : 1) + (record->rowTexts != NULL ? 1 : 0);
        }
        EXPECT_EQ(SondrelLiveBlocks(), live + blocks) << n;
    }
    // The last allocations of a run are the fill's queue, then the texts of each row (the scheme
    // table was read ahead during the scan, see below). Without the queue the list is filled whole on
    // the interface thread; without the last row's texts that row is left out and counted out.
    // Nobody is told.
    RunFailingAt(calls - 3);
    EXPECT_TRUE(g_boxes.empty());
    EXPECT_EQ(Rows(), std::vector<std::string>({"10|2|Régime général", "20|1|", "30|1|"}));
    RunFailingAt(calls);
    EXPECT_TRUE(g_boxes.empty());
    EXPECT_EQ(Rows(), std::vector<std::string>({"10|2|Régime général", "20|1|"}));
    EXPECT_EQ(Results.PatientsWithHits, 2);
    EXPECT_EQ(Results.PatientHitsTable[30], nullptr);
}

// The first block of a scheme table (room for 64 values, asked for as a reallocation of none)
// refused, the first g_schemeRefusals times.
std::atomic<int> g_schemeRefusals;
int RefuseSchemeTables(int grow, size_t bytes) {
    if (!grow || bytes != 64 * sizeof(SchemeValue)) return 0;
    return g_schemeRefusals.fetch_sub(1) > 0;
}

// The scheme table is read ahead by the interface thread during the scan. When that read cannot
// keep it, the fill reads the file again and the list is whole; when that fails too, the list is
// whole but for its scheme column. Nobody is told either way.
TEST_F(AllocationFailureTest, ASchemeTableThatCannotBeReadAheadIsReadByTheFill) {
    SondrelObserveAllocations(RefuseSchemeTables);
    g_schemeRefusals = 1;
    RunFailingAt(0);
    EXPECT_EQ(g_schemeRefusals.load(), -1) << "read ahead (refused), then by the fill";
    EXPECT_TRUE(g_boxes.empty());
    EXPECT_EQ(Rows(), std::vector<std::string>({"10|2|Régime général", "20|1|", "30|1|"}));
    g_schemeRefusals = 2;
    RunFailingAt(0);
    SondrelObserveAllocations(NULL);
    EXPECT_EQ(g_schemeRefusals.load(), 0) << "read ahead, then by the fill, both refused";
    EXPECT_TRUE(g_boxes.empty());
    EXPECT_EQ(Rows(), std::vector<std::string>({"10|2|", "20|1|", "30|1|"}));
}

TEST_F(AllocationFailureTest, FaultyHostKeyCountsEndTheRunOrAreTakenAsNone) {
    ASSERT_NE(StandinFaults(), nullptr) << "the stand-in HDAPI5.DLL exports StandinSetFaults";
    // Counts no memory can hold: the key lists fail, the run ends as after any failed allocation.
    for (int count : {INT_MAX, 0x20000000}) {
        StandinFaults()(count, 0);
        long live = SondrelLiveBlocks();
        RunFailingAt(0);
        ExpectOneAllocationBox();
        ExpectIdle();
        EXPECT_EQ(StatusText(dialog_, 2), "Annul\xe9 !");
        EXPECT_EQ(RowCount(), 0);
        EXPECT_EQ(SondrelLiveBlocks(), live);
    }
    // A negative count is taken as 0: the folder walk takes its one key, the file walk none.
    StandinFaults()(-5, 0);
    RunFailingAt(0);
    EXPECT_TRUE(g_boxes.empty());
    ExpectIdle();
    EXPECT_EQ(Rows(), std::vector<std::string>({"10|1|Régime général"}));
    EXPECT_EQ(StatusText(dialog_, 2).substr(0, 18), "1 occ. - 1 Patient");
}

TEST_F(AllocationFailureTest, KeyWithoutATerminatedTextIsSkipped) {
    ASSERT_NE(StandinFaults(), nullptr);
    StandinFaults()(INT_MIN, 600); // patient 20's letter
    RunFailingAt(0);
    EXPECT_TRUE(g_boxes.empty());
    ExpectIdle();
    EXPECT_EQ(Rows(), std::vector<std::string>({"10|2|Régime général", "30|1|"}));
    StandinFaults()(INT_MIN, 60); // the letter file of patient 10
    RunFailingAt(0);
    EXPECT_EQ(Rows(), std::vector<std::string>({"10|1|Régime général", "20|1|", "30|1|"}));
}

// ---- the sort ------------------------------------------------------------------------------------

class SortFailureTest : public AllocationFailureTest {
  protected:
    std::vector<std::string> Order() {
        std::vector<std::string> order;
        for (int r = 0; r < RowCount(); r++)
            order.push_back(Cell(r, 0));
        return order;
    }
    int HeaderImage(int column) {
        LVCOLUMNA header;
        ZeroMemory(&header, sizeof header);
        header.mask = LVCF_IMAGE;
        header.iImage = -7;
        SendMessageA(List(), LVM_GETCOLUMNA, column, (LPARAM)&header);
        return header.iImage;
    }
};

TEST_F(SortFailureTest, SortWithoutItsSnapshotChangesNothing) {
    RunFailingAt(0);
    // Twenty more rows with long texts make the snapshot pool grow past its first block.
    long live = SondrelLiveBlocks() + 20;
    for (int r = 0; r < 20; r++) {
        char number[16];
        snprintf(number, sizeof number, "%d", 100 + r);
        LVITEMA row;
        ZeroMemory(&row, sizeof row);
        row.mask = LVIF_TEXT | LVIF_PARAM;
        row.iItem = RowCount();
        row.pszText = number;
        row.lParam = (LPARAM)RecordForPatient(100 + r); // a row without a record sorts as empty
        int index = (int)SendMessageA(List(), LVM_INSERTITEMA, 0, (LPARAM)&row);
        ASSERT_GE(index, 0);
        std::string authors(300, (char)('a' + r));
        LVITEMA cell;
        ZeroMemory(&cell, sizeof cell);
        cell.iSubItem = 6;
        cell.pszText = (LPSTR)authors.c_str();
        SendMessageA(List(), LVM_SETITEMTEXTA, index, (LPARAM)&cell);
    }
    Sort.LastSortColumn = 0;
    memset(Sort.SortDirections, 0, RESULT_COLUMN_COUNT);
    Sort.SortDirections[6] = 1; // descending
    long calls = SondrelAllocationCalls();
    SortByColumn(dialog_, IDC_RESULT_LIST, Sort.SortDirections, &Sort.LastSortColumn, 6);
    calls = SondrelAllocationCalls() - calls;
    ASSERT_EQ(calls, 3);          // offsets, pool, one growth
    EXPECT_EQ(Cell(0, 0), "119"); // "ttt..." first
    EXPECT_EQ(Sort.LastSortColumn, 6);
    SortByColumn(dialog_, IDC_RESULT_LIST, Sort.SortDirections, &Sort.LastSortColumn,
                 0); // column 6 loses its image
    ASSERT_EQ(HeaderImage(6), SORT_IMAGE_NONE);
    for (long n = 1; n <= calls; n++) {
        std::vector<std::string> before = Order();
        Sort.SortDirections[6] = 1;
        SondrelFailAllocationAt(n);
        SortByColumn(dialog_, IDC_RESULT_LIST, Sort.SortDirections, &Sort.LastSortColumn, 6);
        SondrelFailAllocationAt(0);
        EXPECT_EQ(Order(), before) << n;
        EXPECT_EQ(Sort.SortDirections[6], 1) << n;
        EXPECT_EQ(Sort.LastSortColumn, 0) << n;
        EXPECT_EQ(HeaderImage(6), SORT_IMAGE_NONE) << n;
        EXPECT_EQ(HeaderImage(0), Sort.SortDirections[0] != 0 ? SORT_IMAGE_ASCENDING : SORT_IMAGE_DESCENDING)
            << n;
        EXPECT_EQ(SondrelLiveBlocks(), live) << n;
    }
    EXPECT_TRUE(g_boxes.empty());
}

TEST_F(SortFailureTest, WindowWithoutSortDirectionsSortsNothing) {
    RunFailingAt(0);
    Sort.LastSortColumn = 0;
    unsigned char* saved = Sort.SortDirections;
    Sort.SortDirections = NULL;
    HWND first = dialog_;
    SondrelFailAllocationAt(1); // the sort directions of a new window
    dialog_ = CreateMainWindow();
    SondrelFailAllocationAt(0);
    ASSERT_NE(dialog_, (HWND)NULL);
    EXPECT_EQ(Sort.SortDirections, nullptr);
    EXPECT_TRUE(g_boxes.empty());
    // A header click on the new window's list, filled with the same results: nothing happens.
    {
        HostTable patients;
        FillResultList(dialog_, OpenHostTable(HOST_TABLE_PATIENTS, PATIENT_RECORD_SIZE, &patients), NULL,
                       NULL, GetTickCount());
        CloseHostTable(&patients);
    }
    ASSERT_EQ(RowCount(), 3);
    int image = HeaderImage(3);
    NMLISTVIEW click;
    ZeroMemory(&click, sizeof click);
    click.hdr.hwndFrom = List();
    click.hdr.idFrom = IDC_RESULT_LIST;
    click.hdr.code = LVN_COLUMNCLICK;
    click.iSubItem = 3;
    SendMessageA(dialog_, WM_NOTIFY, IDC_RESULT_LIST, (LPARAM)&click);
    EXPECT_EQ(Order(), std::vector<std::string>({"10", "20", "30"}));
    EXPECT_EQ(Sort.LastSortColumn, 0);
    EXPECT_EQ(HeaderImage(3), image);
    SendDlgItemMessageA(dialog_, IDC_RESULT_LIST, LVM_DELETEALLITEMS, 0, 0);
    DestroyMainWindow(dialog_);
    dialog_ = first;
    Sort.SortDirections = saved;
}

// ---- the import ----------------------------------------------------------------------------------

const char kImportHeader[] = "N\xb0 dossier\tNom Patient\tAge\tNombre d'occurences\tPremi\xe8re occurence\t"
                             "Derni\xe8re occurence\tM\xe9"
                             "decin\tN\xb0 SS\tR\xe9gime\t\r\n";

std::string ImportLine(int patient, const char* name, int count, const char* authors) {
    char line[300];
    snprintf(line, sizeof line, "%d\t%s\t\t%d\t01/02/2003\t04/05/2006\t%s\t\t\t\r\n", patient, name, count,
             authors);
    return line;
}

// The first read hands out the file's first g_firstReadBytes bytes; every later one fails.
int g_firstReadBytes;
int g_reads;
int FirstReadThenFail(void* context, char* buf, int size) {
    if (++g_reads > 1) return -1;
    DWORD got = 0;
    if (!ReadFile((HANDLE)context, buf, (DWORD)(size < g_firstReadBytes ? size : g_firstReadBytes), &got,
                  NULL))
        return -1;
    return (int)got;
}

class ImportFailureTest : public AllocationFailureTest {
  protected:
    void TearDown() override {
        g_importChunkRead = saved_;
        AllocationFailureTest::TearDown();
    }
    std::string Path(const std::string& name) {
        std::string path = root_ + "\\" + name;
        files_.push_back(path);
        return path;
    }
    int Import(const std::string& path) {
        g_boxes.clear();
        return ImportResultsFromPath(dialog_, IDC_RESULT_LIST, IMPORT_ADD, path.c_str());
    }
    ImportReadFn saved_ = g_importChunkRead;
};

TEST_F(ImportFailureTest, ReadErrorStopsTheImportKeepsWhatWasAppliedAndTellsTheUser) {
    RunFailingAt(0);
    std::string line10 = ImportLine(10, "DUPONT \xc9lodie", 4, "Dr Z");
    std::string line20 = ImportLine(20, "MARTIN Paul", 5, "Dr Y");
    std::string bytes = kImportHeader + line10 + line20 +
                        ImportLine(30,
                                   "PETIT L\xe9"
                                   "a",
                                   6, "Dr X");
    std::string path = Path("coupe.xls");
    searchrun::WriteFileBytes(path, bytes);
    g_importChunkRead = FirstReadThenFail;
    g_reads = 0;
    g_firstReadBytes = (int)(strlen(kImportHeader) + line10.size() + 6); // into patient 20's line
    EXPECT_EQ(Import(path), IMPORT_READ_FAILED);
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0].owner, dialog_);
    EXPECT_EQ(g_boxes[0].text, "Impossible de lire le fichier " + path + " jusqu'\xe0 la fin");
    EXPECT_EQ(g_boxes[0].caption, "Sondrel");
    EXPECT_EQ(g_boxes[0].style, (UINT)(MB_OK | MB_ICONERROR));
    // Patient 10's line is applied; patient 20's, cut by the error, is not; the rest is unread.
    EXPECT_EQ(Rows(), std::vector<std::string>({"10|6|Régime général", "20|1|", "30|1|"}));

    // The same file read without error imports every line and says nothing.
    g_importChunkRead = saved_;
    EXPECT_EQ(Import(path), IMPORT_DONE);
    EXPECT_TRUE(g_boxes.empty());
    EXPECT_EQ(Rows(), std::vector<std::string>({"10|10|Régime général", "20|6|", "30|7|"}));
}

TEST_F(ImportFailureTest, RecordThatCannotBeAllocatedDropsItsLineAndKeepsTheResults) {
    RunFailingAt(0);
    std::string path = Path("nouveau.xls");
    searchrun::WriteFileBytes(path, kImportHeader + ImportLine(40, "NOUVEAU Jean", 2, "Dr N") +
                                        ImportLine(10, "DUPONT \xc9lodie", 1, "Dr A"));
    long live = SondrelLiveBlocks();
    SondrelFailAllocationAt(1); // patient 40's new record
    EXPECT_EQ(Import(path), IMPORT_DONE);
    SondrelFailAllocationAt(0);
    ForgetSchemeTable(); // the scheme table the import's fill kept: not a result
    ASSERT_EQ(g_boxes.size(), 1u) << "the allocation box, and no prompt for the dropped line";
    EXPECT_EQ(g_boxes[0].text, kAllocationBox);
    EXPECT_EQ(Rows(), std::vector<std::string>({"10|3|Régime général", "20|1|", "30|1|"}));
    EXPECT_EQ(Results.PatientHitsTable[40], nullptr);
    EXPECT_EQ(SondrelLiveBlocks(), live - 1); // patient 10's hits went with the import, as always
}

TEST_F(ImportFailureTest, CellWithTabOrLineBreaksIsExportedAsOneCellAndComesBack) {
    RunFailingAt(0);
    LVITEMA cell;
    ZeroMemory(&cell, sizeof cell);
    cell.iSubItem = 6;
    cell.pszText = (LPSTR) "Dr\tA\r\nB";
    SendMessageA(List(), LVM_SETITEMTEXTA, 0, (LPARAM)&cell);
    char path[EXPORT_PATH_SIZE];
    snprintf(path, sizeof path, "%s", Path("export.xls").c_str());
    ASSERT_EQ(ExportResultsToPath(dialog_, IDC_RESULT_LIST, EXPORT_EXCEL, path, sizeof path), EXPORT_DONE);
    std::string file = searchrun::ReadFileBytes(path);
    EXPECT_NE(file.find("\tDr A  B\t"), std::string::npos) << file;
    EXPECT_EQ(std::count(file.begin(), file.end(), '\n'), 4); // the header and three rows

    ReleaseListedRecords(dialog_);
    ClearHitTable();
    EXPECT_EQ(Import(path), IMPORT_DONE);
    EXPECT_TRUE(g_boxes.empty());
    EXPECT_EQ(Rows(), kFound);
    EXPECT_EQ(Cell(0, 6), "Dr A  B");
}

} // namespace
