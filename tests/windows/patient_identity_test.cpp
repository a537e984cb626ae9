// What the program makes of the host's answers, on the real main window over the stand-in host:
// the name cell of an unknown patient and of a known one with empty names, and its round trip
// through the list's own tab-separated export; name fields filled to their end (list, viewer caption
// and import agree); a document type with its upper half set; reads that fill nothing (the scheme
// code, the search run's headers); a row the list refuses; a cancel request left over from a run.
//
// Hosts that answer differently from the normal stand-in are made with its test switches
// (SONDREL_STANDIN_QUIRKS, read when the main window opens the cabinet).
#include "searchrun_fixture.h"
#include "host_table_support.h"

#include "exchange/export.h"
#include "exchange/export_format.h"
#include "exchange/import.h"
#include "host/records.h"
#include "results/viewer.h"
#include "search/result_list.h"

#include <string.h>

#include <string>
#include <vector>

namespace {

using searchrun::SearchRunFixture;
using Cells = std::vector<std::string>;
using Rows = std::vector<Cells>;

// Patient 10 is an ordinary patient, 20 a known patient whose names are empty and birth date 0,
// 30 one without first name; 40 is unknown to the host.
const char kCabinet[] = "HDCAB 1\r\n"
                        "TODAY 08/12/2026\r\n"
                        "P 10|DUPONT|\xc9lodie|08/09/2025|1 23 45\r\n"
                        "P 20|||0|\r\n"
                        "P 30|PETIT||01/07/2026|2 81\r\n"
                        "S 90001|10|01\r\n"
                        "S 90002|20|\r\n"
                        "D 284|11|6|10|02/02/2002|1|Dr A\r\n<text>aspirine</text>\r\n.\r\n"
                        "D 284|21|6|20|03/03/2003|2|\r\n<text>aspirine</text>\r\n.\r\n"
                        "D 284|31|6|30|04/04/2004|3|Dr C\r\n<text>aspirine</text>\r\n.\r\n";

const char kSchemes[] = "[R\xe9gimes]\r\n1=01;R\xe9gime g\xe9n\xe9ral;\r\n";

// Sets the stand-in's test switches for the windows opened from now on; cleared on destruction.
struct Quirks {
    explicit Quirks(const char* words) { SetEnvironmentVariableA("SONDREL_STANDIN_QUIRKS", words); }
    ~Quirks() { SetEnvironmentVariableA("SONDREL_STANDIN_QUIRKS", NULL); }
};

class PatientIdentityTest : public SearchRunFixture {
  protected:
    void TearDown() override {
        SetEnvironmentVariableA("SONDREL_STANDIN_QUIRKS", NULL);
        SearchRunFixture::TearDown();
    }
    void PutHits() {
        ReleaseTable();
        AddHit(RecordForPatient(10), 0x07D20202u, "Dr A", 11, 1);
        AddHit(RecordForPatient(20), 0x07D30303u, "Dr B", 21, 1);
        AddHit(RecordForPatient(20), 0x07D30404u, "Dr B", 22, 1);
        AddHit(RecordForPatient(30), 0x07D40404u, "Dr C", 31, 1);
        AddHit(RecordForPatient(40), 0, "", 41, 1);
        Results.OccurrenceTotal = 5;
    }
    // Fills the list with the tables opened and locked, as a run ends.
    void Fill() { FillWithHostTables(dialog_); }
    Rows AllRows() const {
        Rows rows;
        for (int r = 0; r < RowCount(); r++) {
            Cells cells;
            for (int c = 0; c < RESULT_COLUMN_COUNT; c++)
                cells.push_back(Cell(r, c));
            rows.push_back(cells);
        }
        return rows;
    }
    Cells Column(int column) const {
        Cells cells;
        for (int r = 0; r < RowCount(); r++)
            cells.push_back(Cell(r, column));
        return cells;
    }
    // Exports the list as tab-separated, empties the results, imports the file back in add mode.
    void ExportAndImportIntoEmptyResults() {
        std::string path = root_ + "\\export.xls";
        char buffer[EXPORT_PATH_SIZE];
        snprintf(buffer, sizeof buffer, "%s", path.c_str());
        ASSERT_EQ(ExportResultsToPath(dialog_, IDC_RESULT_LIST, EXPORT_EXCEL, buffer, sizeof buffer),
                  EXPORT_DONE);
        files_.push_back(path);
        ReleaseListedRecords(dialog_);
        ClearHitTable();
        ASSERT_EQ(RowCount(), 0);
        g_boxes.clear();
        EXPECT_EQ(ImportResultsFromPath(dialog_, IDC_RESULT_LIST, IMPORT_ADD, path.c_str()), IMPORT_DONE);
        for (const RecordedBox& box : g_boxes)
            ADD_FAILURE() << "box: " << box.text;
    }
    static std::string AgeOfBirthDateZero() {
        char age[64];
        FormatAge(age, sizeof age, GetAge(0, Today()));
        return age;
    }
};

TEST_F(PatientIdentityTest, UnknownAndEmptyNamedPatientsShowOneSpaceAndComeBackFromTheExport) {
    WriteCabinet(kCabinet);
    WriteSchemes(kSchemes);
    OpenWindow(1);
    PutHits();
    Fill();
    ASSERT_EQ(RowCount(), 4);
    EXPECT_EQ(Column(0), (Cells{"10", "20", "30", "40"}));
    EXPECT_EQ(Column(1), (Cells{"DUPONT \xc9lodie", " ", "PETIT ", " "}));
    // The known patient with birth date 0 gets the age of that date; the unknown one none.
    EXPECT_EQ(Column(2), (Cells{"1 an 03 m", AgeOfBirthDateZero(), "0 an 05 m", ""}));
    EXPECT_NE(AgeOfBirthDateZero(), "");
    EXPECT_EQ(Column(7), (Cells{"12345", "", "281", ""}));

    Rows shown = AllRows();
    ExportAndImportIntoEmptyResults();
    EXPECT_EQ(AllRows(), shown);
    EXPECT_EQ(Results.PatientsWithHits, 4);
    EXPECT_EQ(Results.OccurrenceTotal, 5);
}

// A host that fills the name fields to their last byte, without terminator: the list, the viewer's
// caption and the import's check read the same bytes, so the list's export imports again.
std::string g_caption;
BOOL CALLBACK FindViewerWindow(HWND window, LPARAM found) {
    if (GetDlgItem(window, IDC_VIEWER_DOCUMENTS) == NULL) return TRUE;
    *(HWND*)found = window;
    return FALSE;
}
VOID CALLBACK ReadCaptionAndClose(HWND, UINT, UINT_PTR, DWORD) {
    HWND viewer = NULL;
    EnumThreadWindows(GetCurrentThreadId(), FindViewerWindow, (LPARAM)&viewer);
    if (viewer == NULL) return;
    char caption[VIEWER_TEXT_SIZE + 1] = "";
    GetWindowTextA(viewer, caption, sizeof caption);
    g_caption = caption;
    PostMessageA(viewer, WM_CLOSE, 0, 0);
}

TEST_F(PatientIdentityTest, NamesFillingTheirFieldsAgreeInTheListTheViewerAndTheImport) {
    Quirks quirks("names-padded");
    WriteCabinet(kCabinet);
    OpenWindow(1);
    PutHits();
    Fill();
    std::string padded = std::string("DUPONT") + std::string(PATIENT_LAST_NAME_SIZE - 6, ' ') + " \xc9lodie" +
                         std::string(PATIENT_FIRST_NAME_SIZE - 6, ' ');
    ASSERT_EQ(RowCount(), 4);
    EXPECT_EQ(Cell(0, 1), padded);
    EXPECT_EQ(Cell(1, 1), std::string(PATIENT_LAST_NAME_SIZE + 1 + PATIENT_FIRST_NAME_SIZE, ' '));
    EXPECT_EQ(Cell(3, 1), " ") << "the unknown patient's record is not touched by the host";

    g_caption = "<no viewer>";
    snprintf(SearchShared.LastSearchText, sizeof SearchShared.LastSearchText, "aspirine");
    UINT_PTR timer = SetTimer(NULL, 0, 50, ReadCaptionAndClose);
    OpenDocumentViewer(dialog_, Results.PatientHitsTable[10], 0);
    KillTimer(NULL, timer);
    EXPECT_EQ(g_caption, padded + " - 1 occurence - aspirine");

    Rows shown = AllRows();
    ExportAndImportIntoEmptyResults();
    EXPECT_EQ(AllRows(), shown);
}

TEST_F(PatientIdentityTest, DocumentTypesAreComparedOnTheirLowSixteenBits) {
    Quirks quirks("type-high");
    WriteCabinet(kCabinet);
    OpenWindow(2);
    ChooseMode(IDC_RADIO_LETTERS);
    SetDlgItemTextA(dialog_, IDC_SEARCH_TEXT, "aspirine");
    RunAndWait();
    EXPECT_EQ(Column(0), (Cells{"10", "20", "30"}));
    EXPECT_EQ(Results.OccurrenceTotal, 3);
}

TEST_F(PatientIdentityTest, ReadsThatFillNothingLeaveNoValueOfThePreviousRead) {
    Quirks quirks("blank-untouched");
    WriteCabinet(kCabinet);
    WriteSchemes(kSchemes);
    OpenWindow(1);
    // The scheme: patient 20's social-insurance entry has no code, and the host writes nothing.
    PutHits();
    Fill();
    EXPECT_EQ(Column(8), (Cells{"R\xe9gime g\xe9n\xe9ral", "", "", ""}));

    // The search run's letter header: document 21 has no author and the host hands out its text
    // without filling the header; its match must not be counted for patient 10, read just before.
    ChooseMode(IDC_RADIO_LETTERS);
    SetDlgItemTextA(dialog_, IDC_SEARCH_TEXT, "aspirine");
    RunAndWait();
    ASSERT_NE(Results.PatientHitsTable[10], nullptr);
    EXPECT_EQ(Results.PatientHitsTable[10]->occurrenceCount, 1);
    ASSERT_NE(Results.PatientHitsTable[30], nullptr);
    EXPECT_EQ(Results.PatientHitsTable[30]->occurrenceCount, 1);
    EXPECT_EQ(Results.PatientHitsTable[20], nullptr) << "its header was never read";
}

// Refuses the insertion of the row that carries one record; everything else goes to the list.
WNDPROC g_listProc;
LPARAM g_refusedRecord;
LRESULT CALLBACK RefusingListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == LVM_INSERTITEMA && lParam != 0 && ((const LVITEMA*)lParam)->lParam == g_refusedRecord)
        return -1;
    return CallWindowProcA(g_listProc, list, message, wParam, lParam);
}

TEST_F(PatientIdentityTest, ARowTheListRefusesReleasesItsRecordAndIsNotCounted) {
    WriteCabinet(kCabinet);
    OpenWindow(2);
    PutHits();
    g_refusedRecord = (LPARAM)Results.PatientHitsTable[20];
    g_listProc = (WNDPROC)SetWindowLongPtrA(List(), GWLP_WNDPROC, (LONG_PTR)RefusingListProc);
    Fill();
    SetWindowLongPtrA(List(), GWLP_WNDPROC, (LONG_PTR)g_listProc);
    EXPECT_EQ(Column(0), (Cells{"10", "30", "40"}));
    EXPECT_EQ(Results.PatientHitsTable[20], nullptr) << "released with its slot emptied";
    EXPECT_EQ(Results.PatientsWithHits, 3);
    EXPECT_EQ(Results.OccurrenceTotal, 3);
    std::string summary = StatusText(dialog_, 2);
    EXPECT_EQ(summary.substr(0, 21), "3 occ. - 3 Patients (") << summary;
}

TEST_F(PatientIdentityTest, ACancelLeftOverFromAnEndedRunIsNotTheImportsSummary) {
    WriteCabinet(kCabinet);
    OpenWindow(2);
    PutHits();
    Fill();
    std::string path = root_ + "\\stale.xls";
    char buffer[EXPORT_PATH_SIZE];
    snprintf(buffer, sizeof buffer, "%s", path.c_str());
    ASSERT_EQ(ExportResultsToPath(dialog_, IDC_RESULT_LIST, EXPORT_EXCEL, buffer, sizeof buffer),
              EXPORT_DONE);
    files_.push_back(path);
    // "Annuler" pressed as the run ended: the request stays with no run to take it.
    SearchShared.SearchControl.cancelRequest.store(CANCEL_STOP);
    ASSERT_EQ(SearchShared.SearchControl.running.load(), 0);
    EXPECT_EQ(ImportResultsFromPath(dialog_, IDC_RESULT_LIST, IMPORT_ADD, path.c_str()), IMPORT_DONE);
    std::string summary = StatusText(dialog_, 2);
    EXPECT_EQ(summary.substr(0, 22), "10 occ. - 4 Patients (") << summary;
    EXPECT_EQ(SearchShared.SearchControl.cancelRequest.load(), CANCEL_NONE);
}

} // namespace
