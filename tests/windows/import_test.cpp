// Import into the real main window against the stand-in host's small cabinet: round trips through
// exported files (add into empty results, add again, subtract), the prompt for faulty lines and its
// answers, malformed files of every kind, the refusal while a search is starting or running, and
// the real open dialog.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "exchange/export.h"
#include "exchange/export_format.h"
#include "exchange/import.h"
#include "exchange_test_support.h"

using namespace exchange_test;

namespace {

const std::string kHeader = "N\xb0 dossier\tNom Patient\tAge\tNombre d'occurences\tPremi\xe8re occurence\t"
                            "Derni\xe8re occurence\tM\xe9"
                            "decin\tN\xb0 SS\tR\xe9gime\t\r\n";
// Patient 1 of the generated cabinet, as the host names him.
const std::string kName1 = "DUPONT \xc9lodie";

std::string Prompt(const std::string& line) {
    return "Ligne erron\xe9"
           "e trouv\xe9"
           "e : \n" +
           line + "\nContinuer ?";
}

class ImportTest : public ::testing::Test {
  protected:
    HWND dialog = NULL;
    std::string folder;
    void SetUp() override {
        InstallAnsweringBox();
        dialog = CreateMainWindow();
        ASSERT_NE(dialog, (HWND)NULL);
        ResetResults(dialog);
        g_boxes.clear();
        folder = TempFolder();
    }
    void TearDown() override {
        SearchShared.SearchControl.running.store(0);
        SearchShared.SearchControl.starting.store(0);
        ResetResults(dialog);
        DestroyMainWindow(dialog);
        UninstallRecorders();
        RemoveFolder(folder);
    }
    std::string ExportTo(const std::string& name) {
        char path[EXPORT_PATH_SIZE];
        snprintf(path, sizeof path, "%s%s", folder.c_str(), name.c_str());
        EXPECT_EQ(ExportResultsToPath(dialog, IDC_RESULT_LIST, EXPORT_EXCEL, path, sizeof path), EXPORT_DONE);
        return path;
    }
    int Import(int mode, const std::string& path) {
        return ImportResultsFromPath(dialog, IDC_RESULT_LIST, mode, path.c_str());
    }
    // Writes `bytes` to a file of the folder and imports it.
    int ImportBytes(int mode, const std::string& bytes) {
        std::string path = folder + "lignes.xls";
        WriteWholeFile(path, bytes);
        return Import(mode, path);
    }
    // Four patients as a search would leave them, listed.
    void SearchLikeResults() {
        PutRecord(1, 3, Date(2, 1, 2004), Date(20, 11, 2006), "Dr A;Dr B");
        PutRecord(96, 1, 0, 0, "");
        PutRecord(337, 2, Date(1, 1, 2010), Date(1, 1, 2010), "Dr \xdcller;Dr \xc9mile");
        PutRecord(1048575, 5, Date(31, 12, 1999), Date(1, 1, 2000), "Dr X");
        FillFromTable(dialog);
    }
    std::string Status() { return StatusText(dialog, 2); }
};

TEST_F(ImportTest, RoundTripsThroughAnExportedFile) {
    SearchLikeResults();
    Rows searched = ListRows(dialog);
    ASSERT_EQ(searched.size(), 4u);
    EXPECT_EQ(searched[0][1], kName1);
    std::string exported = ExportTo("resultats");

    // Into empty results: the same rows, counts, dates and authors.
    ResetResults(dialog);
    EXPECT_EQ(Import(IMPORT_ADD, exported), IMPORT_DONE);
    EXPECT_EQ(ListRows(dialog), searched);
    EXPECT_EQ(Results.OccurrenceTotal, 11);
    EXPECT_EQ(Results.PatientsWithHits, 4);
    EXPECT_EQ(Status().substr(0, 26), "11 occ. - 4 Patients (en 0");
    for (const RecordedBox& b : g_boxes)
        ADD_FAILURE() << "unexpected box: " << b.text;
    // The imported records have no documents to show.
    EXPECT_EQ(Results.PatientHitsTable[1]->hits, nullptr);

    // Again: every count doubles, dates and authors stay (an authors cell is found as a whole item).
    EXPECT_EQ(Import(IMPORT_ADD, exported), IMPORT_DONE);
    Rows doubled = ListRows(dialog);
    ASSERT_EQ(doubled.size(), searched.size());
    for (size_t r = 0; r < doubled.size(); r++) {
        for (int c = 0; c < RESULT_COLUMN_COUNT; c++) {
            if (c == 3)
                EXPECT_EQ(atoi(doubled[r][c].c_str()), 2 * atoi(searched[r][c].c_str())) << r;
            else
                EXPECT_EQ(doubled[r][c], searched[r][c]) << r << "," << c;
        }
    }
    EXPECT_EQ(Results.OccurrenceTotal, 22);

    // Subtracting a file exported from the current results empties the list.
    std::string current = ExportTo("courants.xls");
    EXPECT_EQ(Import(IMPORT_SUBTRACT, current), IMPORT_DONE);
    EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_RESULT_LIST, LVM_GETITEMCOUNT, 0, 0), 0);
    EXPECT_EQ(Results.PatientsWithHits, 0);
    EXPECT_EQ(Results.OccurrenceTotal, 0);
    for (int n : {1, 96, 337, 1048575})
        EXPECT_EQ(Results.PatientHitsTable[n], nullptr) << n;
    EXPECT_EQ(Status().substr(0, 25), "0 occ. - 0 Patient (en 0.");
    EXPECT_TRUE(g_boxes.empty());
}

TEST_F(ImportTest, AddingMergesIntoSearchResults) {
    SearchLikeResults();
    // Patient 1 with authors "Dr A" in the file: one more item; a new patient 16 appears.
    std::string file = kHeader + "1\t" + kName1 + "\t\t4\t01/01/2003\t01/01/2008\tDr C\t\t\t\r\n" +
                       "16\tJULIEN Ma\xeblle\t\t1\t05/05/2005\t05/05/2005\tDr A\tx\r\n";
    EXPECT_EQ(ImportBytes(IMPORT_ADD, file), IMPORT_DONE);
    Rows rows = ListRows(dialog);
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"1", kName1, rows[0][2], "7", "01/01/2003", "01/01/2008",
                                                 "Dr A;Dr B;Dr C", rows[0][7], rows[0][8]}));
    EXPECT_EQ(rows[1][0], "16");
    EXPECT_EQ(rows[1][3], "1");
    EXPECT_EQ(Results.OccurrenceTotal, 11 + 5);
    EXPECT_TRUE(g_boxes.empty());
}

TEST_F(ImportTest, FaultyLinesArePromptedAndYesGoesOn) {
    std::string good = "1\t" + kName1 + "\t\t2\t01/02/2003\t04/05/2006\tDr A\tss\t";
    std::vector<std::string> bad = {
        "",                                               // an empty line in the middle
        "0\t" + kName1 + "\t\t2\t\t\tA\tss\t",            // number below 1
        "-7\t" + kName1 + "\t\t2\t\t\tA\tss\t",           // negative
        "1048576\tX\t\t2\t\t\tA\tss\t",                   // beyond the table
        "99999999999\tX\t\t2\t\t\tA\tss\t",               // beyond 32 bits
        "96\tDURAND Marie-Therese\t\t2\t\t\tA\tss\t",     // an accent missing: another name
        "1\tdupont \xe9lodie\t\t2\t\t\tA\tss\t",          // only ASCII letters may differ in case
        "1",                                              // field 2 missing
        "1\t",                                            // a TAB with nothing after it
        "1\t" + kName1,                                   // field 3 missing
        "1\t" + kName1 + "\t\t",                          // field 4 missing (a TAB with nothing after it)
        "1\t" + kName1 + "\t\t2",                         // field 5 missing
        "1\t" + kName1 + "\t\t2\t01/01/2001\t",           // field 6 missing
        "1\t" + kName1 + "\t\t2\t01/01/2001\t01/01/2002", // field 7 missing
    };
    std::string file = kHeader;
    for (const std::string& line : bad)
        file += line + "\r\n";
    file += good + "\r\n";
    EXPECT_EQ(ImportBytes(IMPORT_ADD, file), IMPORT_DONE);
    ASSERT_EQ(g_boxes.size(), bad.size());
    for (size_t i = 0; i < bad.size(); i++) {
        EXPECT_EQ(g_boxes[i].text, Prompt(bad[i])) << i;
        EXPECT_EQ(g_boxes[i].caption, "Sondrel");
        EXPECT_EQ(g_boxes[i].style, (UINT)(MB_YESNO | MB_ICONQUESTION));
        EXPECT_EQ(g_boxes[i].owner, dialog);
    }
    // Only the good line changed anything; rejected lines left no record behind.
    EXPECT_EQ(Results.PatientsWithHits, 1);
    EXPECT_EQ(Results.OccurrenceTotal, 2);
    EXPECT_EQ(Results.PatientHitsTable[96], nullptr);
    Rows rows = ListRows(dialog);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][3], "2");
    EXPECT_EQ(rows[0][4], "01/02/2003");
    EXPECT_EQ(rows[0][6], "Dr A");
    // ASCII case alone may differ.
    g_boxes.clear();
    EXPECT_EQ(ImportBytes(IMPORT_ADD, kHeader + "1\tdupont \xc9LODIE\t\t1\t\t\tDr A\tss\t\r\n"), IMPORT_DONE);
    EXPECT_TRUE(g_boxes.empty());
    EXPECT_EQ(Results.PatientHitsTable[1]->occurrenceCount, 3);
}

TEST_F(ImportTest, ALineWithoutItsEighthFieldIsAppliedThenPrompted) {
    std::vector<std::string> lines = {"1\t" + kName1 + "\t\t2\t01/01/2001\t01/01/2002\tDr A",
                                      "1\t" + kName1 + "\t\t3\t01/01/2001\t01/01/2002\tDr B\t"};
    EXPECT_EQ(ImportBytes(IMPORT_ADD, kHeader + lines[0] + "\r\n" + lines[1] + "\r\n"), IMPORT_DONE);
    ASSERT_EQ(g_boxes.size(), 2u);
    EXPECT_EQ(g_boxes[0].text, Prompt(lines[0]));
    EXPECT_EQ(g_boxes[1].text, Prompt(lines[1]));
    ASSERT_NE(Results.PatientHitsTable[1], nullptr);
    EXPECT_EQ(Results.PatientHitsTable[1]->occurrenceCount, 5);
    EXPECT_STREQ(Results.PatientHitsTable[1]->authors, "Dr A;Dr B");
}

TEST_F(ImportTest, NoStopsTheReadingAndKeepsEarlierLines) {
    std::string first = "1\t" + kName1 + "\t\t2\t01/01/2001\t01/01/2002\tDr A\tss\t";
    std::string later = "16\tJULIEN Ma\xeblle\t\t1\t05/05/2005\t05/05/2005\tDr A\tx\t";
    Answers().push_back(IDNO);
    EXPECT_EQ(ImportBytes(IMPORT_ADD, kHeader + first + "\r\nfaux\r\nfaux aussi\r\n" + later + "\r\n"),
              IMPORT_STOPPED);
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0].text, Prompt("faux"));
    EXPECT_NE(Results.PatientHitsTable[1], nullptr);
    EXPECT_EQ(Results.PatientHitsTable[16], nullptr);
    // The list is filled again all the same.
    EXPECT_EQ(ListRows(dialog).size(), 1u);
}

TEST_F(ImportTest, FilesWithoutDataLinesChangeNothing) {
    SearchLikeResults();
    Rows before = ListRows(dialog);
    std::string lfOnly =
        "N\xb0 dossier\tNom\n1\t" + kName1 + "\t\t2\t\t\tA\tss\t\n" + std::string(20000, 'y') + "\n";
    for (const std::string& bytes : {std::string(), std::string("header only"), kHeader, kHeader + "\r\n",
                                     lfOnly, std::string(12000, '\t') + "\r\n"}) {
        EXPECT_EQ(ImportBytes(IMPORT_ADD, bytes), IMPORT_DONE) << bytes.size();
        EXPECT_EQ(ListRows(dialog), before) << bytes.size();
    }
    // A name that does not exist is created empty (the dialog does not require it) and gives nothing.
    EXPECT_EQ(Import(IMPORT_ADD, folder + "nouveau.xls"), IMPORT_DONE);
    EXPECT_TRUE(FileExists(folder + "nouveau.xls"));
    EXPECT_EQ(ReadWholeFile(folder + "nouveau.xls"), "");
    EXPECT_TRUE(g_boxes.empty());
    // A file that cannot be opened: nothing is read, the user is told, the list is filled again.
    EXPECT_EQ(Import(IMPORT_ADD, folder + "absent\\x.xls"), IMPORT_NOT_OPENED);
    EXPECT_EQ(ListRows(dialog), before);
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0].text, "Impossible d'ouvrir le fichier " + folder + "absent\\x.xls");
    EXPECT_EQ(g_boxes[0].caption, "Sondrel");
    EXPECT_EQ(g_boxes[0].style, (UINT)(MB_OK | MB_ICONERROR));
    EXPECT_EQ(g_boxes[0].owner, dialog);
    EXPECT_FALSE(FileExists(folder + "absent"));
    g_boxes.clear();
    // A first line with data is skipped like a header; a last line without CR LF is still read.
    EXPECT_EQ(ImportBytes(IMPORT_ADD,
                          "1\t" + kName1 + "\t\t9\t\t\tA\tss\t\r\n16\tJULIEN Ma\xeblle\t\t1\t\t\tA\tss"),
              IMPORT_DONE);
    EXPECT_EQ(Results.PatientHitsTable[1]->occurrenceCount, 3);
    ASSERT_NE(Results.PatientHitsTable[16], nullptr);
    EXPECT_EQ(Results.PatientHitsTable[16]->occurrenceCount, 1);
    EXPECT_TRUE(g_boxes.empty());
}

TEST_F(ImportTest, LongLinesAndGarbageArePromptedWithABoundedExcerpt) {
    std::string good = "1\t" + kName1 + "\t\t2\t01/01/2001\t01/01/2002\tDr A\tss\t";
    std::string huge(10 * 1024 * 1024, 'x');
    EXPECT_EQ(ImportBytes(IMPORT_ADD, kHeader + huge + "\r\n" + good + "\r\n"), IMPORT_DONE);
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0].text, Prompt(std::string(200, 'x') + "\x85"));
    EXPECT_EQ(Results.PatientHitsTable[1]->occurrenceCount, 2); // the line after the long one is read whole

    // A line of exactly 4999 characters that looks valid but is padded: whole, so it is applied
    // or rejected on its fields alone; one character more and it is rejected as too long.
    ResetResults(dialog);
    g_boxes.clear();
    std::string padded = good + std::string(4999 - good.size(), 'p');
    std::string overlong = padded + "p";
    EXPECT_EQ(ImportBytes(IMPORT_ADD, kHeader + padded + "\r\n" + overlong + "\r\n"), IMPORT_DONE);
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0].text, Prompt(overlong.substr(0, 200) + "\x85"));
    EXPECT_EQ(Results.PatientHitsTable[1]->occurrenceCount, 2);

    // Binary garbage with CRs, LFs, TABs and zero bytes: every prompt is well formed and bounded.
    ResetResults(dialog);
    g_boxes.clear();
    std::string garbage;
    unsigned seed = 12345;
    for (int i = 0; i < 200000; i++) {
        seed = seed * 1103515245u + 12345u;
        unsigned char c = (unsigned char)(seed >> 16);
        if (c % 17 == 0)
            c = '\r';
        else if (c % 19 == 0)
            c = '\t';
        garbage += (char)c;
    }
    EXPECT_EQ(ImportBytes(IMPORT_ADD, garbage), IMPORT_DONE);
    EXPECT_GT(g_boxes.size(), 10u);
    const std::string head = "Ligne erron\xe9"
                             "e trouv\xe9"
                             "e : \n",
                      tail = "\nContinuer ?";
    for (const RecordedBox& b : g_boxes) {
        ASSERT_EQ(b.text.compare(0, head.size(), head), 0);
        ASSERT_EQ(b.text.compare(b.text.size() - tail.size(), tail.size(), tail), 0);
        EXPECT_LE(b.text.size(), head.size() + 201 + tail.size());
        EXPECT_EQ(b.style, (UINT)(MB_YESNO | MB_ICONQUESTION));
    }
    EXPECT_EQ(Results.PatientsWithHits, 0);
}

TEST_F(ImportTest, APatientTableWithoutARecordImportsNothing) {
    SearchLikeResults();
    Rows before = ListRows(dialog);
    std::string exported = ExportTo("resultats");
    for (int size : {16, 0}) { // a block smaller than the record; a block that cannot be locked
        FaultyTableBlocks faulty(size);
        ASSERT_TRUE(faulty.set);
        EXPECT_EQ(Import(IMPORT_ADD, exported), IMPORT_NO_TABLES) << size;
        EXPECT_EQ(ListRows(dialog), before);
        EXPECT_EQ(Results.OccurrenceTotal, 11);
    }
    EXPECT_EQ(Import(IMPORT_ADD, exported), IMPORT_DONE);
    EXPECT_EQ(Results.OccurrenceTotal, 22);
    EXPECT_TRUE(g_boxes.empty());
}

TEST_F(ImportTest, RefusedWhileASearchIsStartingOrRunning) {
    SearchLikeResults();
    Rows before = ListRows(dialog);
    std::string path = folder + "pendant.xls";
    WriteWholeFile(path, kHeader + "16\tJULIEN Ma\xeblle\t\t1\t05/05/2005\t05/05/2005\tDr A\tx\t\r\n");
    for (int which = 0; which < 2; which++) {
        g_boxes.clear();
        (which == 0 ? SearchShared.SearchControl.running : SearchShared.SearchControl.starting).store(1);
        EXPECT_EQ(Import(IMPORT_ADD, path), IMPORT_REFUSED);
        EXPECT_EQ(Import(IMPORT_SUBTRACT, folder + "jamais.xls"), IMPORT_REFUSED);
        // Through the menu command, as a person would choose it: refused before any dialog.
        SendMessageA(dialog, WM_COMMAND, IDM_IMPORT_ADD, 0);
        (which == 0 ? SearchShared.SearchControl.running : SearchShared.SearchControl.starting).store(0);
        ASSERT_EQ(g_boxes.size(), 3u);
        for (const RecordedBox& b : g_boxes) {
            EXPECT_EQ(b.text, "La recherche doit \xea"
                              "tre termin\xe9"
                              "e pour importer un fichier");
            EXPECT_EQ(b.caption, "Sondrel");
            EXPECT_EQ(b.style, (UINT)(MB_OK | MB_ICONWARNING));
            EXPECT_EQ(b.owner, dialog);
        }
        EXPECT_EQ(Results.PatientHitsTable[16], nullptr);
        EXPECT_EQ(Results.PatientsWithHits, 4);
        EXPECT_EQ(Results.OccurrenceTotal, 11);
        EXPECT_EQ(ListRows(dialog), before);
        EXPECT_FALSE(FileExists(folder + "jamais.xls"));
    }
    // Once the search is over the same file goes in.
    g_boxes.clear();
    EXPECT_EQ(Import(IMPORT_ADD, path), IMPORT_DONE);
    EXPECT_NE(Results.PatientHitsTable[16], nullptr);
    EXPECT_TRUE(g_boxes.empty());
}

TEST_F(ImportTest, TheRealOpenDialogImportsTheNameTyped) {
    SearchLikeResults();
    std::string exported = ExportTo("dialogue.xls");
    ResetResults(dialog);
    {
        DialogAnswerer answer(exported);
        ImportResults(dialog, IDC_RESULT_LIST, IMPORT_ADD);
        answer.thread.join();
        ASSERT_TRUE(answer.seen) << "no open dialog came up";
        EXPECT_EQ(answer.owner.load(), dialog);
    }
    EXPECT_EQ(Results.PatientsWithHits, 4);
    {
        DialogAnswerer answer(exported);
        ImportResults(dialog, IDC_RESULT_LIST, IMPORT_SUBTRACT);
        answer.thread.join();
    }
    EXPECT_EQ(Results.PatientsWithHits, 0);
    // Cancel: nothing changes, the list is not even filled again.
    PutRecord(1, 1, 0, 0, "");
    {
        DialogAnswerer cancel("");
        ImportResults(dialog, IDC_RESULT_LIST, IMPORT_ADD);
        cancel.thread.join();
        ASSERT_TRUE(cancel.seen);
    }
    EXPECT_EQ(Results.PatientsWithHits, 1);
    EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_RESULT_LIST, LVM_GETITEMCOUNT, 0, 0), 0);
    EXPECT_TRUE(g_boxes.empty());
}

} // namespace
