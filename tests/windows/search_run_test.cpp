// Search runs on the real main window over the stand-in host, started as "Lancer" starts them (the
// launch guard, then RunSearch on its own thread) while this thread serves the window. A
// hand-written cabinet checks each mode, the hits and the end state; the generated cabinet is
// checked against an independent reference: this file cuts the sections out and folds the texts
// with its own simple code, not with the program's. Cancelling and closing are done at the run's
// first progress report, while the run waits in its sent message, so they land at a known document.
#include "searchrun_fixture.h"

#include "catalogue/catalogue.h"
#include "catalogue/form_catalogue.h"
#include "search/result_list.h"

#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <map>

namespace {

using searchrun::SearchRunFixture;

std::string FormId(int entry) {
    return BuiltinFormCatalogue()->entries[entry].formId;
}

// Documents of index 39 (types 6 and 7), of the prescription file table 282 and of the letter file
// table 284, for patients 10, 20, 30 and 40 (40 unknown to the host).
std::string HandCabinet() {
    return "HDCAB 1\r\n"
           "TODAY 08/12/2026\r\n"
           "P 10|DUPONT|Élodie|08/09/2025|1 23 45 67 890 123 45\r\n"
           "P 20|MARTIN|Paul|01/01/1981|2-81-01\r\n"
           "P 30|PETIT|Léa|01/07/2026|\r\n"
           "X 91001|10|1\r\n"
           "E 92000|10|12\r\n"
           "D 39|500|7|10|15/03/2005|1|Dr A\r\n<text>Doliprane 1000</text>\r\n.\r\n"
           "D 39|400|7|10|02/01/2004|1|Dr B\r\n<rtf>{\\rtf1 DOLIPRANE}</rtf>\r\n.\r\n"
           "D 39|600|7|20|20/11/2006|1|Dr A\r\n<text>Zelmorin</text>\r\n.\r\n"
           "D 39|900|7|40|0|0|Dr C\r\n<TEXT>doliprâne</TEXT>\r\n.\r\n"
           "D 39|700|6|20|01/01/2010|1|Dr L\r\n<text>Doliprane lettre</text>\r\n.\r\n"
           "D 39|800|6|30|02/02/2011|1|Dr "
           "L\r\n<velarine_data>doliprane</velarine_data><text>autre</text>\r\n.\r\n"
           "D 39|801|6|20|03/02/2011|1|Dr F\r\n<velarine_data>form=" +
           FormId(1) +
           "</velarine_data>\r\n.\r\n"
           "D 39|802|6|30|04/02/2011|1|Dr F\r\n<text>" +
           FormId(1) +
           "</text>\r\n.\r\n"
           "D 282|50|7|30|03/03/2003|1|Dr F\r\n<text>Doliprane fichier</text>\r\n.\r\n"
           "D 282|51|7|10|04/03/2007|1|Dr F\r\n<TEXT>doliprane sans fin\r\n.\r\n"
           "D 284|60|6|10|05/05/2005|1|Dr G\r\n<text>Doliprane courrier fichier</text>\r\n.\r\n"
           "D 284|61|6|20|06/06/2006|1|Dr G\r\n<velarine_data>doliprane</velarine_data>\r\n.\r\n";
}

struct Expected {
    std::string patient;
    std::string count;
};

class SearchRunTest : public SearchRunFixture {
  protected:
    void Search(int radio, const char* text) {
        ChooseMode(radio);
        SetDlgItemTextA(dialog_, IDC_SEARCH_TEXT, text);
        RunAndWait();
    }
    // A cabinet of `count` documents of one type (6 letter, 7 prescription), one per patient
    // 1..count (keys 1001..), each holding `text`.
    static std::string OneDocumentPerPatient(int count, int type, const char* text) {
        std::string cabinet = "HDCAB 1\r\nTODAY 08/12/2026\r\n";
        for (int i = 1; i <= count; i++) {
            char line[200];
            snprintf(line, sizeof line, "D 39|%d|%d|%d|01/01/2001|0|Dr X\r\n<text>%s</text>\r\n.\r\n",
                     1000 + i, type, i, text);
            cabinet += line;
        }
        return cabinet;
    }
    std::vector<std::pair<std::string, std::string>> Rows() {
        std::vector<std::pair<std::string, std::string>> rows;
        for (int r = 0; r < RowCount(); r++)
            rows.push_back({Cell(r, 0), Cell(r, 3)});
        return rows;
    }
    void ExpectIdleAfterRun() {
        EXPECT_EQ(SearchShared.SearchControl.running.load(), 0);
        EXPECT_EQ(SearchShared.SearchControl.starting.load(), 0);
        EXPECT_EQ(SearchShared.SearchControl.cancelRequest.load(), 0);
        EXPECT_EQ(ControlText(IDC_LAUNCH), "Lancer");
    }
};

using RowPairs = std::vector<std::pair<std::string, std::string>>;

TEST_F(SearchRunTest, PrescriptionSearchFindsFolderAndFileDocumentsIgnoringCaseAndAccents) {
    WriteCabinet(HandCabinet());
    OpenWindow(2);
    Watch();
    Search(IDC_RADIO_PRESCRIPTIONS, "DOLIPRANE");
    ExpectIdleAfterRun();
    EXPECT_EQ(SearchShared.lastSearchMode.load(), SEARCH_MODE_PRESCRIPTIONS);
    EXPECT_STREQ(SearchShared.LastSearchText, "DOLIPRANE") << "kept as typed, not folded";
    EXPECT_EQ(Results.OccurrenceTotal, 5);
    EXPECT_EQ(Results.PatientsWithHits, 3);
    ASSERT_EQ(Rows(), (RowPairs{{"10", "3"}, {"30", "1"}, {"40", "1"}}));
    /* Patient 10: folder keys 400 and 500 (ascending), then file key 51. */
    PatientHits* p10 = RowRecord(0);
    ASSERT_NE(p10, nullptr);
    ASSERT_NE(p10->hits, nullptr);
    EXPECT_EQ(p10->hits[0].key, 400u);
    EXPECT_EQ(p10->hits[0].fromFileTable, 0);
    EXPECT_EQ(p10->hits[1].key, 500u);
    EXPECT_EQ(p10->hits[2].key, 51u);
    EXPECT_EQ(p10->hits[2].fromFileTable, 1);
    EXPECT_EQ(Cell(0, 4), "02/01/2004");
    EXPECT_EQ(Cell(0, 5), "04/03/2007");
    EXPECT_EQ(Cell(0, 6), "Dr B;Dr A;Dr F");
    EXPECT_EQ(Cell(0, 1), "DUPONT Élodie");
    EXPECT_EQ(Cell(0, 8), "") << "no scheme file in this tree";
    EXPECT_EQ(Cell(2, 4), "00/00/   0");
    /* Six documents of the wanted type: step 0, every document reported, position at the total. */
    EXPECT_EQ(ProgressMax(), 6);
    EXPECT_EQ(ProgressPos(), 6);
    EXPECT_EQ(RunningReports(), 6);
    ASSERT_FALSE(watch_->texts.empty());
    EXPECT_EQ(watch_->texts[0], "Total 'DOLIPRANE': 1 occ. - Patient concerné : 1") << "after key 400";
    EXPECT_EQ(watch_->texts[1], "Total 'DOLIPRANE': 2 occ. - Patient concerné : 1");
    EXPECT_EQ(watch_->texts[3], "Total 'DOLIPRANE': 3 occ. - Patients concernés : 2") << "after key 900";
    EXPECT_TRUE(StatusText(dialog_, 2).find("5 occ. - 3 Patients (en ") == 0) << StatusText(dialog_, 2);
    EXPECT_EQ(closesSeen_, 0);
    EXPECT_TRUE(g_boxes.empty());
}

TEST_F(SearchRunTest, LetterSearchReadsOnlyLettersAndFormModesOnlyFormData) {
    WriteCabinet(HandCabinet());
    OpenWindow(2);
    Search(IDC_RADIO_LETTERS, "doliprane");
    ExpectIdleAfterRun();
    EXPECT_EQ(SearchShared.lastSearchMode.load(), SEARCH_MODE_LETTERS);
    /* 700 (folder) and 60 (letter file); 800's form data lies outside its text section. */
    EXPECT_EQ(Rows(), (RowPairs{{"10", "1"}, {"20", "1"}}));
    EXPECT_EQ(ProgressMax(), 4 + 2) << "four letters in index 39, two in table 284";

    Search(IDC_RADIO_FORM_TEXT, "Doliprane");
    EXPECT_EQ(SearchShared.lastSearchMode.load(), SEARCH_MODE_FORM_TEXT);
    /* 800 (folder) and 61 (file): form data only. */
    EXPECT_EQ(Rows(), (RowPairs{{"20", "1"}, {"30", "1"}}));
    EXPECT_EQ(Results.OccurrenceTotal, 2);
    ExpectIdleAfterRun();
}

TEST_F(SearchRunTest, FormSearchPutsTheChosenIdIntoTheEditAndSearchesIt) {
    WriteCabinet(HandCabinet());
    OpenWindow(2);
    HWND combo = GetDlgItem(dialog_, IDC_FORM_CHOOSER);
    SendMessageA(combo, CB_RESETCONTENT, 0, 0);
    for (int i = 0; i < 3; i++)
        SendMessageA(combo, CB_ADDSTRING, 0, (LPARAM)BuiltinFormCatalogue()->entries[i].label);
    SendMessageA(combo, CB_SETCURSEL, 1, 0);
    Search(IDC_RADIO_FORMS, "texte tapé");
    EXPECT_EQ(SearchShared.lastSearchMode.load(), SEARCH_MODE_FORM);
    EXPECT_EQ(ControlText(IDC_SEARCH_TEXT), FormId(1));
    EXPECT_EQ(std::string(SearchShared.LastSearchText), FormId(1));
    /* 801 has the id in its form data; 802 only in its text section. */
    EXPECT_EQ(Rows(), (RowPairs{{"20", "1"}}));
    ExpectIdleAfterRun();
}

TEST_F(SearchRunTest, FormSearchTakesTheIdOfTheLabelShownEvenRightAfterARefresh) {
    WriteCabinet(HandCabinet());
    OpenWindow(2);
    Catalogue.CatalogueRefreshStarted = 1; // no download thread from this fill
    FillFormCombo(dialog_);                // the built-in catalogue
    SendMessageA(GetDlgItem(dialog_, IDC_FORM_CHOOSER), CB_SETCURSEL, 1, 0);
    /* A refresh publishes a catalogue in another order; its refill has not arrived yet. */
    static const FormEntry swapped[2] = {{"Autre", "AUTRE_0"}, {"Autre encore", "AUTRE_1"}};
    static const FormCatalogueData newer = {swapped, 2};
    PublishFormCatalogue(&newer);
    Search(IDC_RADIO_FORMS, "texte tap\xe9");
    PublishFormCatalogue(BuiltinFormCatalogue());
    EXPECT_EQ(ControlText(IDC_SEARCH_TEXT), FormId(1)) << "the id of the label the chooser shows";
    EXPECT_EQ(Rows(), (RowPairs{{"20", "1"}}));
    ExpectIdleAfterRun();
}

TEST_F(SearchRunTest, FormSearchWithoutACatalogueEntrySearchesNothing) {
    WriteCabinet(HandCabinet());
    OpenWindow(2);
    Search(IDC_RADIO_PRESCRIPTIONS, "doliprane");
    ASSERT_EQ(RowCount(), 3);
    HWND combo = GetDlgItem(dialog_, IDC_FORM_CHOOSER);
    /* No selection at all. */
    SendMessageA(combo, CB_RESETCONTENT, 0, 0);
    Search(IDC_RADIO_FORMS, "doliprane");
    EXPECT_EQ(RowCount(), 0) << "the previous rows are gone and nothing was found";
    EXPECT_EQ(Results.OccurrenceTotal, 0);
    EXPECT_EQ(ControlText(IDC_SEARCH_TEXT), "doliprane") << "the edit keeps its text";
    ExpectIdleAfterRun();
    /* A selection beyond an empty catalogue. */
    static const FormCatalogueData empty = {NULL, 0};
    SendMessageA(combo, CB_ADDSTRING, 0, (LPARAM) "ancien");
    SendMessageA(combo, CB_SETCURSEL, 0, 0);
    PublishFormCatalogue(&empty);
    Search(IDC_RADIO_FORMS, "doliprane");
    PublishFormCatalogue(BuiltinFormCatalogue());
    EXPECT_EQ(RowCount(), 0);
    EXPECT_EQ(SearchShared.LastSearchText[0], 0);
    ExpectIdleAfterRun();
}

TEST_F(SearchRunTest, EmptySearchTextMatchesNothingButVisitsEveryDocument) {
    WriteCabinet(HandCabinet());
    OpenWindow(2);
    Search(IDC_RADIO_PRESCRIPTIONS, "");
    EXPECT_EQ(RowCount(), 0);
    EXPECT_EQ(ProgressPos(), 6);
    EXPECT_TRUE(StatusText(dialog_, 2).find("0 occ. - 0 Patient (en ") == 0) << StatusText(dialog_, 2);
}

TEST_F(SearchRunTest, ANewRunReleasesThePreviousRowsAndCountsOnlyItsOwnPatients) {
    WriteCabinet(HandCabinet());
    OpenWindow(2);
    Search(IDC_RADIO_PRESCRIPTIONS, "doliprane");
    ASSERT_EQ(RowCount(), 3);
    Watch();
    Search(IDC_RADIO_PRESCRIPTIONS, "zelmorin");
    EXPECT_EQ(Rows(), (RowPairs{{"20", "1"}}));
    ASSERT_FALSE(watch_->texts.empty());
    EXPECT_EQ(watch_->texts[0], "Total 'zelmorin': 0 occ. - Patient concerné : 0");
    EXPECT_EQ(watch_->texts[2], "Total 'zelmorin': 1 occ. - Patient concerné : 1") << "after key 600";
}

TEST_F(SearchRunTest, CancelAtTheFirstReportStopsBeforeTheNextDocument) {
    std::string cabinet = "HDCAB 1\r\nTODAY 08/12/2026\r\n";
    /* 120 prescriptions of patients 1..120, every one matching: step 2. */
    for (int i = 1; i <= 120; i++) {
        char line[200];
        snprintf(
            line, sizeof line,
            "P %d|NOM%d|Pr|01/01/2000|\r\nD 39|%d|7|%d|01/01/2001|0|Dr X\r\n<text>aspirine</text>\r\n.\r\n",
            i, i, 1000 + i, i);
        cabinet += line;
    }
    WriteCabinet(cabinet);
    OpenWindow(2);
    Watch();
    Search(IDC_RADIO_PRESCRIPTIONS, "aspirine");
    /* Reports after documents 3, 6, ..., 120. */
    EXPECT_EQ(RunningReports(), 40);
    EXPECT_EQ(ProgressMax(), 120);
    EXPECT_EQ(ProgressPos(), 120);
    EXPECT_EQ(RowCount(), 120);

    MakeReportsWait(1);
    Watch([] { SearchShared.SearchControl.cancelRequest.store(CANCEL_STOP); });
    Search(IDC_RADIO_PRESCRIPTIONS, "aspirine");
    EXPECT_EQ(ProgressPos(), 3) << "the scan stopped right after the first report";
    EXPECT_EQ(Results.OccurrenceTotal, 3);
    EXPECT_EQ(RowCount(), 3) << "the patients found so far are listed";
    EXPECT_EQ(Cell(2, 0), "3");
    EXPECT_EQ(StatusText(dialog_, 2), "Annulé !");
    EXPECT_EQ(closesSeen_, 0);
    ExpectIdleAfterRun();
}

// A report does not wait for the window: while the window is still busy with the first one, the run
// goes on and sends the next. Each report keeps its own text, shown in the run's order once the window
// gets to it, and the run's end waits for them all.
TEST_F(SearchRunTest, ReportsDoNotWaitAndEachKeepsItsOwnText) {
    WriteCabinet(OneDocumentPerPatient(120, 7, "aspirine"));
    OpenWindow(2);
    bool nextSent = false;
    /* The window holds on to the first report until another message from the run is waiting. */
    Watch([&nextSent] {
        DWORD start = GetTickCount();
        while (!nextSent && GetTickCount() - start < 10000) {
            nextSent = (HIWORD(GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE) != 0;
            Sleep(2);
        }
    });
    Search(IDC_RADIO_PRESCRIPTIONS, "aspirine");
    EXPECT_TRUE(nextSent) << "the run waited for the window to handle its first report";
    ASSERT_EQ(RunningReports(), 40);
    for (int k = 0; k < 40; k++) {
        int n = 3 * (k + 1);
        char expected[120];
        snprintf(expected, sizeof expected, "Total 'aspirine': %d occ. - Patient%s concerné%s : %d", n,
                 n > 1 ? "s" : "", n > 1 ? "s" : "", n);
        EXPECT_EQ(watch_->texts[k], expected) << "report " << k + 1;
    }
    EXPECT_EQ(ProgressPos(), 120);
    EXPECT_EQ(RowCount(), 120);
    EXPECT_EQ(StatusText(dialog_, 2).rfind("120 occ. - 120 Patients (en ", 0), 0u) << StatusText(dialog_, 2);
    ExpectIdleAfterRun();
}

// Records each position the progress bar is given into the watched texts, so that the bar's and the
// status bar's changes show in one sequence.
static WNDPROC g_barBeneath;
static int g_reportMessages; /* messages with a report (position and text) that reached the bar */
static LRESULT CALLBACK RecordBarPositions(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == PBM_SETPOS && searchrun::CurrentWatch() != NULL)
        searchrun::CurrentWatch()->texts.push_back("pos " + std::to_string((int)wp));
    if (m == WM_APP + 232 && lp != 0) g_reportMessages++;
    return CallWindowProcA(g_barBeneath, w, m, wp, lp);
}

// A report reaches the window as one message where the bar takes reports (the main window's own
// bar, here under another subclass) and as two where it does not; the controls change alike, in the
// run's order: the bar's position, then the running text, report after report.
TEST_F(SearchRunTest, EachReportSetsTheBarThenTheStatusWhetherOrNotTheBarTakesReports) {
    WriteCabinet(OneDocumentPerPatient(120, 7, "aspirine"));
    OpenWindow(2);
    HWND bar = GetDlgItem(dialog_, IDC_PROGRESS);
    std::vector<std::string> expected = {"pos 0"};
    for (int n = 3; n <= 120; n += 3) {
        char text[120];
        snprintf(text, sizeof text, "Total 'aspirine': %d occ. - Patient%s concerné%s : %d", n,
                 n > 1 ? "s" : "", n > 1 ? "s" : "", n);
        expected.push_back("pos " + std::to_string(n));
        expected.push_back(text);
    }
    expected.push_back("pos 120");
    for (int takesReports = 1; takesReports >= 0; takesReports--) {
        if (!takesReports)
            SetWindowLongPtrA(bar, GWLP_WNDPROC, (LONG_PTR)GetClassLongPtrA(bar, GCLP_WNDPROC));
        Watch();
        g_reportMessages = 0;
        g_barBeneath = (WNDPROC)SetWindowLongPtrA(bar, GWLP_WNDPROC, (LONG_PTR)RecordBarPositions);
        Search(IDC_RADIO_PRESCRIPTIONS, "aspirine");
        SetWindowLongPtrA(bar, GWLP_WNDPROC, (LONG_PTR)g_barBeneath);
        EXPECT_EQ(g_reportMessages, takesReports ? 40 : 0) << "one message a report where the bar takes them";
        ASSERT_EQ(watch_->texts.size(), expected.size() + 1) << takesReports;
        EXPECT_EQ(std::vector<std::string>(watch_->texts.begin(), watch_->texts.end() - 1), expected)
            << takesReports;
        EXPECT_EQ(watch_->texts.back().rfind("120 occ. - 120 Patients (en ", 0), 0u) << watch_->texts.back();
        EXPECT_EQ(ProgressPos(), 120);
        EXPECT_EQ(RowCount(), 120);
    }
    ExpectIdleAfterRun();
}

TEST_F(SearchRunTest, CloseDuringARunClosesTheWindowOnceTheRunHasStopped) {
    WriteCabinet(OneDocumentPerPatient(60, 6, "lettre"));
    OpenWindow(2);
    HWND dialog = dialog_;
    /* The close arrives as the user's would: WM_CLOSE to the window while the run is up. */
    MakeReportsWait(1);
    Watch([dialog] { SendMessageA(dialog, WM_CLOSE, 0, 0); });
    Search(IDC_RADIO_LETTERS, "lettre");
    EXPECT_EQ(ProgressPos(), 2) << "60 documents: step 1, stopped after the first report";
    EXPECT_EQ(RowCount(), 2);
    EXPECT_EQ(StatusText(dialog_, 2), "Annulé !");
    EXPECT_EQ(closesSeen_, 1) << "the run posts one WM_CLOSE";
    EXPECT_EQ(runningAtClose_, 0) << "posted once `running` is 0";
    EXPECT_FALSE(IsWindowVisible(dialog_)) << "the window has ended";
    ExpectIdleAfterRun();
}

TEST_F(SearchRunTest, MoreThan65535DocumentsShowTrueProgress) {
    std::string cabinet = "HDCAB 1\r\nTODAY 08/12/2026\r\nP 7|SEPT|Sam|01/01/2000|\r\n";
    cabinet.reserve(70000 * 40);
    char line[100];
    for (int i = 1; i <= 70000; i++) {
        snprintf(line, sizeof line, "D 39|%d|7|7|0|0|\r\n%s\r\n.\r\n", i,
                 i == 69999 ? "<text>rare</text>" : "x");
        cabinet += line;
    }
    WriteCabinet(cabinet);
    OpenWindow(2);
    Watch();
    Search(IDC_RADIO_PRESCRIPTIONS, "RARE");
    PBRANGE range = {0, 0};
    SendMessageA(GetDlgItem(dialog_, IDC_PROGRESS), PBM_GETRANGE, FALSE, (LPARAM)&range);
    EXPECT_EQ(range.iLow, 0);
    EXPECT_EQ(range.iHigh, 70000) << "a 16-bit range would have wrapped to 4464";
    EXPECT_EQ(ProgressPos(), 70000);
    EXPECT_EQ(RunningReports(), 70000 / 1401) << "every 1401st document: 49 reports";
    EXPECT_EQ(Rows(), (RowPairs{{"7", "1"}}));
}

// ---- the generated cabinet against an independent reference -----------------------------------

// Folding written out letter by letter, independent of the program's table.
unsigned char RefFold(unsigned char c) {
    static const struct {
        const char* from;
        char to;
    } groups[] = {{"ÀÁÂÃÄÅàáâãäå", 'a'}, {"Çç", 'c'},         {"ÈÉÊËèéêë", 'e'}, {"ÌÍÎÏìíîï", 'i'},
                  {"Ññ", 'n'},           {"ÒÓÔÕÖòóôõö", 'o'}, {"ÙÚÛÜùúûü", 'u'}, {"Ýýÿ", 'y'}};
    if (c >= 'A' && c <= 'Z') return (unsigned char)(c - 'A' + 'a');
    for (const auto& g : groups)
        if (c != 0 && strchr(g.from, (char)c) != NULL) return (unsigned char)g.to;
    return c;
}
std::string RefFoldText(const std::string& s) {
    std::string f = s;
    for (char& c : f)
        c = (char)RefFold((unsigned char)c);
    return f;
}

struct RefDoc {
    int index;
    uint32_t key;
    int type;
    int patient;
    uint32_t date;
    std::string body;
};

uint32_t RefDate(const std::string& s) {
    int d = 0, m = 0, y = 0;
    if (sscanf(s.c_str(), "%d/%d/%d", &d, &m, &y) != 3) return 0;
    return (uint32_t)y << 16 | (uint32_t)m << 8 | (uint32_t)d;
}

std::vector<RefDoc> RefReadCabinet(const std::string& bytes) {
    std::vector<RefDoc> docs;
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t nl = bytes.find('\n', start);
        if (nl == std::string::npos) nl = bytes.size();
        std::string line = bytes.substr(start, nl - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = nl + 1;
    }
    for (size_t i = 0; i < lines.size(); i++) {
        if (lines[i].compare(0, 2, "D ") != 0) continue;
        std::vector<std::string> f;
        std::string rest = lines[i].substr(2);
        size_t p;
        while ((p = rest.find('|')) != std::string::npos) {
            f.push_back(rest.substr(0, p));
            rest = rest.substr(p + 1);
        }
        f.push_back(rest);
        RefDoc doc = {atoi(f[0].c_str()), (uint32_t)strtoul(f[1].c_str(), NULL, 10),
                      atoi(f[2].c_str()), atoi(f[3].c_str()),
                      RefDate(f[4]),      ""};
        size_t j = i + 1;
        std::string body;
        for (; j < lines.size() && lines[j] != "."; j++) {
            std::string l = lines[j];
            if (!l.empty() && l[0] == '.') l = l.substr(1);
            if (j > i + 1) body += "\r\n";
            body += l;
        }
        doc.body = body;
        docs.push_back(doc);
        i = j;
    }
    return docs;
}

// Does the document match, cutting sections with plain string searches on the folded text?
bool RefMatches(const std::string& body, const std::string& foldedPattern, bool formData) {
    if (foldedPattern.empty()) return false;
    std::string t = RefFoldText(body);
    const size_t none = std::string::npos;
    std::vector<size_t> zeros;
    std::vector<size_t> starts;
    if (formData) {
        size_t open = t.find("<velarine_data>");
        if (open != none) {
            starts.push_back(open);
            size_t close = t.find("</velarine_data>", open);
            if (close != none) zeros.push_back(close);
        }
    } else {
        size_t ot = t.find("<text>"), orr = t.find("<rtf>");
        if (ot != none) {
            starts.push_back(ot);
            size_t ct = t.find("</text>", ot);
            if (ct != none) zeros.push_back(ct);
        }
        if (orr != none) {
            starts.push_back(orr);
            size_t cr = t.find("</rtf>", orr);
            if (cr != none) zeros.push_back(cr);
        }
    }
    for (size_t s : starts) {
        size_t end = t.size();
        for (size_t z : zeros)
            if (z >= s && z < end) end = z;
        if (t.substr(s, end - s).find(foldedPattern) != none) return true;
    }
    return false;
}

struct RefPatient {
    int count = 0;
    uint32_t first = 0, last = 0;
};

std::string RefDateText(uint32_t d) {
    char buf[32];
    snprintf(buf, sizeof buf, "%02u/%02u/%4u", d & 0xFF, (d >> 8) & 0xFF, d >> 16);
    return buf;
}

class GeneratedCabinetTest : public SearchRunFixture {
  protected:
    void SetUp() override {
        SearchRunFixture::SetUp();
        std::string tree = SONDREL_TEST_TREE;
        std::string passes =
            searchrun::ReadFileBytes(searchrun::WinPathOfUnix(tree + "/Cabinets/passes.txt"));
        if (passes.empty()) GTEST_SKIP() << "no generated cabinet tree at " << tree;
        /* The first cabinet of the pass table: dir|pass|name. */
        size_t line = 0;
        while (line < passes.size() && passes[line] == '#')
            line = passes.find('\n', line) + 1;
        std::string first = passes.substr(line, passes.find_first_of("\r\n", line) - line);
        std::string dir = first.substr(0, first.find('|'));
        std::string name = first.substr(first.rfind('|') + 1);
        cabinetDir_.reset(new SavedRegistryValue(kCabinetsKey, name.c_str()));
        saved_[0]->Set(searchrun::WinPathOfUnix(tree + "/Cabinets"));
        saved_[1]->Set(searchrun::WinPathOfUnix(tree + "/Programmes"));
        saved_[2]->Set(name);
        cabinetDir_->Set(dir);
        docs_ = RefReadCabinet(
            searchrun::ReadFileBytes(searchrun::WinPathOfUnix(tree + "/Cabinets/" + dir + "/cabinet.txt")));
        ASSERT_GT(docs_.size(), 100u);
        OpenWindow(2);
    }
    void TearDown() override {
        SearchRunFixture::TearDown();
        cabinetDir_.reset();
    }
    // Expected results of a run: folder documents in ascending key order, then file documents.
    std::map<int, RefPatient> Reference(int mode, const std::string& text, int* total) {
        int family = mode == 1 ? 1 : mode >= 2 ? 2 : 0;
        int wanted = family == 1 ? 7 : 6, fileIndex = family == 1 ? 282 : 284;
        std::vector<const RefDoc*> folder, file;
        for (const RefDoc& d : docs_) {
            if (d.type != wanted) continue;
            if (d.index == 39) folder.push_back(&d);
            if (d.index == fileIndex) file.push_back(&d);
        }
        auto byKey = [](const RefDoc* a, const RefDoc* b) { return a->key < b->key; };
        std::sort(folder.begin(), folder.end(), byKey);
        std::sort(file.begin(), file.end(), byKey);
        folder.insert(folder.end(), file.begin(), file.end());
        std::map<int, RefPatient> patients;
        std::string pattern = RefFoldText(text);
        *total = 0;
        for (const RefDoc* d : folder) {
            if (!RefMatches(d->body, pattern, family == 2)) continue;
            ++*total;
            RefPatient& p = patients[d->patient];
            p.count++;
            if (d->date < p.first || p.first == 0) p.first = d->date;
            if (d->date > p.last) p.last = d->date;
        }
        return patients;
    }
    void Compare(int radio, int mode, const char* text) {
        int total = 0;
        std::map<int, RefPatient> expected = Reference(mode, text, &total);
        ASSERT_GT(total, 0) << "the reference finds nothing for " << text;
        Search(radio, text);
        EXPECT_EQ(Results.OccurrenceTotal, total) << text;
        ASSERT_EQ(RowCount(), (int)expected.size()) << text;
        int row = 0;
        for (const auto& e : expected) {
            EXPECT_EQ(Cell(row, 0), std::to_string(e.first)) << text << " row " << row;
            EXPECT_EQ(Cell(row, 3), std::to_string(e.second.count)) << text << " patient " << e.first;
            EXPECT_EQ(Cell(row, 4), RefDateText(e.second.first)) << text << " patient " << e.first;
            EXPECT_EQ(Cell(row, 5), RefDateText(e.second.last)) << text << " patient " << e.first;
            row++;
        }
        EXPECT_TRUE(g_boxes.empty());
    }
    void Search(int radio, const char* text) {
        ChooseMode(radio);
        SetDlgItemTextA(dialog_, IDC_SEARCH_TEXT, text);
        RunAndWait();
    }
    std::vector<RefDoc> docs_;
    std::unique_ptr<SavedRegistryValue> cabinetDir_;
};

TEST_F(GeneratedCabinetTest, PrescriptionsMatchTheReference) {
    Compare(IDC_RADIO_PRESCRIPTIONS, 1, "ZELMORIN");
    Compare(IDC_RADIO_PRESCRIPTIONS, 1, "doliprane");
    Compare(IDC_RADIO_PRESCRIPTIONS, 1, "gélule");
}

TEST_F(GeneratedCabinetTest, LettersAndFormDataMatchTheReference) {
    Compare(IDC_RADIO_LETTERS, 0, "zelmorin");
    Compare(IDC_RADIO_LETTERS, 0, "CONFRERE");
    Compare(IDC_RADIO_FORM_TEXT, 3, "PROTOCOLE");
    Compare(IDC_RADIO_FORM_TEXT, 3, "éric");
}

} // namespace
