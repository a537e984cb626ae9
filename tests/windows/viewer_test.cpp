// The document viewer under Wine: dialog 300 run modally by OpenDocumentViewer over a cabinet served
// by the stand-in host, driven from inside its own modal loop by a thread timer that finds the
// viewer, runs the test's steps one per tick (reading the caption, the document list and the rich
// text, choosing entries, pressing "Lancer Formulon"), then posts WM_CLOSE.
#include "results/viewer.h"

#include <richedit.h>
#include <shellapi.h>

#include "base/ui.h"
#include "catalogue/form_catalogue.h"
#include "host/cabinet.h"
#include "host/records.h"
#include "host_table_support.h"
#include "resources/ids.h"
#include "search/search_run.h"
#include "sortview_test_support.h"
#include "viewer_test_support.h"

#include <string>
#include <vector>

using namespace sortview;
using namespace viewertest;

namespace {

bool BoldAt(HWND viewer, int first, int last) {
    HWND rich = RichText(viewer);
    CHARRANGE range = {first, last};
    SendMessageA(rich, EM_EXSETSEL, 0, (LPARAM)&range);
    CHARFORMATA format = {};
    format.cbSize = sizeof format;
    SendMessageA(rich, EM_GETCHARFORMAT, SCF_SELECTION, (LPARAM)&format);
    return (format.dwMask & CFM_BOLD) && (format.dwEffects & CFE_BOLD);
}

std::string Lines(std::initializer_list<const char*> lines) {
    std::string s;
    for (const char* l : lines)
        s += std::string(l) + "\r\n";
    return s;
}

const std::string kCabinet = Lines(
    {"HDCAB 1", "TODAY 08/12/2026", "P 1234|DUPONT|\xC9lodie|12/03/1961|", "P 42|MARTIN|Paul|01/01/2000|",
     // letters: folder table and letter file table
     "D 39|5001|6|1234|23/05/2011|1A2B|Dr Martin",
     R"(<text>confrere</text><rtf>{\rtf1\ansi\deff0 Cher {\b confr\'e8re}, lettre un}</rtf><text>after</text>)",
     ".", "D 284|77|6|1234|02/02/2002|FF|Dr Martin",
     R"(<TEXT>x</TEXT><rtf>{\rtf1\ansi Lettre du fichier}</rtf>)", ".",
     // prescriptions: folder table and prescription file table
     "D 39|6001|7|1234|05/03/2010|10|Dr Ord",
     R"(<text>Doliprane</text><rtf>{\rtf1\ansi Doliprane 1000 mg}</rtf>)", ".",
     "D 282|88|7|1234|01/02/999|20|Dr Ord", R"(<rtf>{\rtf1\ansi Ordonnance ancienne}</rtf>)", ".",
     // a letter without rich text, and one whose rich text has no end mark
     "D 39|5002|6|1234|01/01/2001|0|Dr X", "<text>pas de rtf ici</text>", ".",
     "D 39|5003|6|1234|02/01/2001|0|Dr X", R"(<text>a</text><rtf>{\rtf1\ansi Sans fin})", ".",
     // form documents (letters with form data)
     "D 39|9001|6|1234|23/05/2011|1A2B|Dr Form", "<velarine_data>cotorep_form</velarine_data>", ".",
     "D 284|99|6|1234|04/04/2004|ABCDEF01|Dr Form", "<velarine_data>x</velarine_data>", "."});

struct ShellCall {
    std::string verb, file, parameters;
    bool directoryGiven;
    int show;
    HWND owner;
};
std::vector<ShellCall> g_shell;

HINSTANCE WINAPI RecordShell(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory,
                             INT show) {
    g_shell.push_back({verb ? verb : "<null>", file ? file : "<null>", parameters ? parameters : "<null>",
                       directory != NULL, show, owner});
    return (HINSTANCE)33;
}

class Viewer : public ::testing::Test {
  protected:
    void SetUp() override {
        EnsureUserInterface();
        ASSERT_TRUE(cabinet_.Open(kCabinet));
        snprintf(savedName_, sizeof savedName_, "%s", Host.CabinetName);
        snprintf(savedDirectory_, sizeof savedDirectory_, "%s", Host.CabinetDirectory);
        snprintf(savedSearch_, sizeof savedSearch_, "%s", SearchShared.LastSearchText);
        snprintf(Host.CabinetName, sizeof Host.CabinetName, "CAB1");
        snprintf(Host.CabinetDirectory, sizeof Host.CabinetDirectory, "DIR1");
        g_shell.clear();
        g_shellExecute = RecordShell;
    }
    void TearDown() override {
        g_shellExecute = ShellExecuteA;
        g_richEditLibrary = "RICHED32.DLL";
        PublishFormCatalogue(BuiltinFormCatalogue());
        snprintf(Host.CabinetName, sizeof Host.CabinetName, "%s", savedName_);
        snprintf(Host.CabinetDirectory, sizeof Host.CabinetDirectory, "%s", savedDirectory_);
        snprintf(SearchShared.LastSearchText, sizeof SearchShared.LastSearchText, "%s", savedSearch_);
    }
    // A record of patient 1234 holding these hits.
    PatientHits* Record(std::vector<HitRef> hits, int patient = 1234) {
        hits_ = hits;
        record_ = PatientHits();
        record_.patientNumber = patient;
        record_.hits = hits_.empty() ? nullptr : hits_.data();
        record_.hitCapacity = (int32_t)hits_.size();
        record_.occurrenceCount = (int32_t)hits_.size();
        return &record_;
    }
    void Search(const char* text) {
        snprintf(SearchShared.LastSearchText, sizeof SearchShared.LastSearchText, "%s", text);
    }

    TempCabinet cabinet_;
    PatientHits record_;
    std::vector<HitRef> hits_;
    char savedName_[CABINET_TEXT_SIZE], savedDirectory_[CABINET_TEXT_SIZE], savedSearch_[SEARCH_TEXT_SIZE];
};

using V = std::vector<std::string>;

TEST_F(Viewer, LettersFromTheFolderAndFileTablesAreListedAndShownAsRichText) {
    Search("confr\xE8re");
    RunViewer(Record({{5001, 0}, {77, 1}}), 0,
              {[](HWND v) {
                   EXPECT_EQ(Caption(v), "DUPONT \xC9lodie - 2 occurences - confr\xE8re");
                   EXPECT_EQ(Entries(v), (V{"Courrier du 23/05/2011", "Courrier du 02/02/2002"}));
                   EXPECT_EQ(SendMessageA(Combo(v), CB_GETCURSEL, 0, 0), 0);
                   // The first document is there at once, formatted; the plain text is not bold.
                   EXPECT_EQ(ShownText(v).substr(0, 24), "Cher confr\xE8re, lettre un");
                   EXPECT_TRUE(BoldAt(v, 5, 13));
                   EXPECT_FALSE(BoldAt(v, 0, 4));
                   EXPECT_FALSE(BoldAt(v, 15, 20));
                   EXPECT_EQ(ShownText(v).find("after"), std::string::npos);
               },
               [](HWND v) {
                   Choose(v, 1);
                   EXPECT_EQ(ShownText(v).substr(0, 17), "Lettre du fichier");
               },
               [](HWND v) {
                   // The same entry again is not reloaded: an edit made in the text area stays.
                   SetWindowTextA(RichText(v), "edited");
                   Choose(v, 1);
                   EXPECT_EQ(ShownText(v), "edited");
                   // Another entry and back reloads.
                   Choose(v, 0);
                   Choose(v, 1);
                   EXPECT_EQ(ShownText(v).substr(0, 17), "Lettre du fichier");
               }});
}

TEST_F(Viewer, PrescriptionsFromTheFolderAndFileTables) {
    Search("Doliprane");
    RunViewer(Record({{6001, 0}, {88, 1}}), 1,
              {[](HWND v) {
                   EXPECT_EQ(Caption(v), "DUPONT \xC9lodie - 2 occurences - Doliprane");
                   // A year below 1000 is padded with spaces to four places.
                   EXPECT_EQ(Entries(v), (V{"Ordonnance du 05/03/2010", "Ordonnance du 01/02/ 999"}));
                   EXPECT_EQ(ShownText(v).substr(0, 17), "Doliprane 1000 mg");
                   EXPECT_TRUE(HasVisibleStyle(RichText(v)));
                   EXPECT_FALSE(HasVisibleStyle(GetDlgItem(v, IDC_VIEWER_FORMULON)));
               },
               [](HWND v) {
                   Choose(v, 1);
                   EXPECT_EQ(ShownText(v).substr(0, 20), "Ordonnance ancienne");
               }});
}

TEST_F(Viewer, TextWithoutRichTextEmptiesTheAreaAndAnUnendedOneIsStreamedToTheEnd) {
    Search("x");
    RunViewer(Record({{5001, 0}, {5002, 0}, {5003, 0}, {424242, 0}}), 0,
              {[](HWND v) { EXPECT_EQ(ShownText(v).substr(0, 4), "Cher"); },
               [](HWND v) {
                   Choose(v, 1);
                   EXPECT_EQ(ShownText(v), "");
               },
               [](HWND v) {
                   Choose(v, 2);
                   EXPECT_EQ(ShownText(v).substr(0, 8), "Sans fin");
               },
               [](HWND v) {
                   // A document the host cannot read leaves the area as it was; it lists with the zero date.
                   EXPECT_EQ(Entries(v)[3], "Courrier du 00/00/   0");
                   Choose(v, 3);
                   EXPECT_EQ(ShownText(v).substr(0, 8), "Sans fin");
               }});
}

TEST_F(Viewer, OneOccurrenceHasNoPluralAndARecordWithoutHitsListsNothing) {
    Search("seul");
    RunViewer(Record({{77, 1}}), 0,
              {[](HWND v) { EXPECT_EQ(Caption(v), "DUPONT \xC9lodie - 1 occurence - seul"); }});
    // An import dropped the array but the count says 3.
    PatientHits* record = Record({});
    record->occurrenceCount = 3;
    RunViewer(record, 0, {[](HWND v) {
                  EXPECT_EQ(Caption(v), "DUPONT \xC9lodie - 3 occurences - seul");
                  EXPECT_EQ(Entries(v), V{});
                  EXPECT_EQ(ShownText(v), "");
              }});
    RunViewer(record, 2, {[](HWND v) {
                  SendMessageA(v, WM_COMMAND, MAKEWPARAM(IDC_VIEWER_FORMULON, BN_CLICKED), 0);
                  EXPECT_TRUE(g_shell.empty());
              }});
    // A count beyond the array lists only the stored hits; an unknown patient has an empty name.
    record = Record({{5001, 0}}, 42424);
    record->occurrenceCount = 5;
    RunViewer(record, 0, {[](HWND v) {
                  EXPECT_EQ(Caption(v), "  - 5 occurences - seul");
                  EXPECT_EQ(Entries(v), (V{"Courrier du 23/05/2011"}));
              }});
}

TEST_F(Viewer, FormSearchesShowTheFormLabelHideTheTextAndStartTheEditor) {
    SavedRegistryValue formulon("Software\\Formulon", "rep_Formulon");
    formulon.Set("C:\\Programmes\\Formulon");
    Search("cotorep_form");
    RunViewer(Record({{9001, 0}, {99, 1}}), 2,
              {[](HWND v) {
                   // The first catalogue entry with that id, never the second ("Cotorep").
                   EXPECT_EQ(Caption(v), "DUPONT \xC9lodie - 2 occurences - D\xE9marche de soins infirmiers");
                   EXPECT_EQ(Entries(v), (V{"Formulon du 23/05/2011", "Formulon du 04/04/2004"}));
                   EXPECT_FALSE(HasVisibleStyle(RichText(v)));
                   EXPECT_TRUE(HasVisibleStyle(GetDlgItem(v, IDC_VIEWER_FORMULON)));
                   EXPECT_EQ(ShownText(v), "");
                   SendMessageA(v, WM_COMMAND, MAKEWPARAM(IDC_VIEWER_FORMULON, BN_CLICKED), 0);
                   ASSERT_EQ(g_shell.size(), 1u);
                   EXPECT_EQ(g_shell[0].verb, "open");
                   EXPECT_EQ(g_shell[0].file, "C:\\Programmes\\Formulon\\Formulon.exe");
                   EXPECT_EQ(g_shell[0].parameters, ":M/CAB1/DIR1//1234///7DB0517/1A2B");
                   EXPECT_FALSE(g_shell[0].directoryGiven);
                   EXPECT_EQ(g_shell[0].show, SW_SHOW);
                   EXPECT_EQ(g_shell[0].owner, (HWND)NULL);
               },
               [](HWND v) {
                   // Choosing loads nothing; the button acts on the choice (a letter-file document here).
                   Choose(v, 1);
                   EXPECT_EQ(ShownText(v), "");
                   SendMessageA(v, WM_COMMAND, MAKEWPARAM(IDC_VIEWER_FORMULON, BN_CLICKED), 0);
                   ASSERT_EQ(g_shell.size(), 2u);
                   EXPECT_EQ(g_shell[1].parameters, ":M/CAB1/DIR1//1234///7D40404/ABCDEF01");
               }});
    // A form id the catalogue lacks shows itself; form text searches show the text as typed.
    Search("VELARINE_99999");
    RunViewer(Record({{9001, 0}}), 2,
              {[](HWND v) { EXPECT_EQ(Caption(v), "DUPONT \xC9lodie - 1 occurence - VELARINE_99999"); }});
    Search("cotorep_form");
    RunViewer(Record({{9001, 0}}), 3, {[](HWND v) {
                  EXPECT_EQ(Caption(v), "DUPONT \xC9lodie - 1 occurence - cotorep_form");
                  EXPECT_EQ(Entries(v), (V{"Formulon du 23/05/2011"}));
                  EXPECT_FALSE(HasVisibleStyle(RichText(v)));
              }});
}

TEST_F(Viewer, TheEditorIsStartedOnlyWithACompletePathAndParameterLine) {
    SavedRegistryValue formulon("Software\\Formulon", "rep_Formulon");
    Search("cotorep_form");
    auto press = [](HWND v) { SendMessageA(v, WM_COMMAND, MAKEWPARAM(IDC_VIEWER_FORMULON, BN_CLICKED), 0); };
    // Value missing, empty, not a text.
    formulon.Remove();
    RunViewer(Record({{9001, 0}}), 2, {press});
    formulon.Set("");
    RunViewer(Record({{9001, 0}}), 2, {press});
    DWORD number = 5;
    formulon.SetRaw(REG_DWORD, &number, sizeof number);
    RunViewer(Record({{9001, 0}}), 2, {press});
    EXPECT_TRUE(g_shell.empty());
    // 246 characters + "\Formulon.exe" (13) = 259: fits exactly; one more does not.
    std::string dir = "C:\\" + std::string(243, 'd');
    formulon.Set(dir);
    RunViewer(Record({{9001, 0}}), 2, {press});
    ASSERT_EQ(g_shell.size(), 1u);
    EXPECT_EQ(g_shell[0].file, dir + "\\Formulon.exe");
    char path[VIEWER_TEXT_SIZE];
    EXPECT_EQ(GetFormulonPath(path, sizeof path), 1);
    formulon.Set(dir + "d");
    RunViewer(Record({{9001, 0}}), 2, {press});
    EXPECT_EQ(g_shell.size(), 1u);
    EXPECT_EQ(GetFormulonPath(path, sizeof path), 0);
    EXPECT_STREQ(path, "");
    // A value longer than the buffer is not cut into another directory.
    formulon.Set("C:\\" + std::string(400, 'e'));
    RunViewer(Record({{9001, 0}}), 2, {press});
    EXPECT_EQ(g_shell.size(), 1u);
    // A parameter line that does not fit in 260 bytes launches nothing.
    formulon.Set("C:\\F");
    snprintf(Host.CabinetName, sizeof Host.CabinetName, "%s", std::string(240, 'n').c_str());
    RunViewer(Record({{9001, 0}}), 2, {press});
    EXPECT_EQ(g_shell.size(), 1u);
    // A document the host cannot find is not handed over with another document's date and stamp.
    snprintf(Host.CabinetName, sizeof Host.CabinetName, "CAB1");
    RunViewer(Record({{9001, 0}, {31337, 0}}), 2, {[&](HWND v) {
                  Choose(v, 1);
                  press(v);
                  EXPECT_EQ(g_shell.size(), 1u);
                  Choose(v, 0);
                  press(v);
                  EXPECT_EQ(g_shell.size(), 2u);
              }});
}

TEST_F(Viewer, TheStandInEditorReceivesTheExactParameterLine) {
    char exe[MAX_PATH];
    DWORD n = GetModuleFileNameA(NULL, exe, sizeof exe);
    ASSERT_GT(n, 0u);
    std::string bin(exe, n);
    bin = bin.substr(0, bin.rfind('\\'));
    std::string dir = cabinet_.root + "\\Formulon";
    ASSERT_TRUE(CreateDirectoryA(dir.c_str(), NULL));
    cabinet_.dirs.push_back(dir);
    ASSERT_TRUE(CopyFileA((bin + "\\Formulon.exe").c_str(), (dir + "\\Formulon.exe").c_str(), FALSE));
    cabinet_.files.push_back(dir + "\\Formulon.exe");
    cabinet_.files.push_back(dir + "\\Formulon.log");
    SavedRegistryValue formulon("Software\\Formulon", "rep_Formulon");
    formulon.Set(dir);
    g_shellExecute = ShellExecuteA;
    snprintf(Host.CabinetName, sizeof Host.CabinetName, "Cabinet Un");
    snprintf(Host.CabinetDirectory, sizeof Host.CabinetDirectory, "cab1");
    Search("cotorep_form");
    RunViewer(Record({{9001, 0}}), 2,
              {[](HWND v) { SendMessageA(v, WM_COMMAND, MAKEWPARAM(IDC_VIEWER_FORMULON, BN_CLICKED), 0); }});
    std::string log;
    for (int i = 0; i < 200 && log.find("\r\n") == std::string::npos; i++) {
        Sleep(50);
        FILE* f = fopen((dir + "\\Formulon.log").c_str(), "rb");
        if (f == NULL) continue;
        char buf[1024];
        size_t got = fread(buf, 1, sizeof buf, f);
        fclose(f);
        log.assign(buf, got);
    }
    const std::string expected = " :M/Cabinet Un/cab1//1234///7DB0517/1A2B\r\n";
    ASSERT_GE(log.size(), expected.size()) << log;
    EXPECT_EQ(log.substr(log.size() - expected.size()), expected) << log;
    EXPECT_NE(log.find("Formulon.exe"), std::string::npos) << log;
}

TEST_F(Viewer, ALongFormLabelIsCutToTheCaptionBuffer) {
    static std::string label = "Formulaire " + std::string(400, 'L');
    static FormEntry entries[] = {{"Autre", "autre_form"}, {label.c_str(), "long_form"}};
    static FormCatalogueData catalogue = {entries, 2};
    PublishFormCatalogue(&catalogue);
    Search("long_form");
    RunViewer(Record({{9001, 0}}), 2, {[](HWND v) {
                  std::string caption = Caption(v);
                  EXPECT_EQ(caption.size(), 259u);
                  EXPECT_EQ(caption.substr(0, 46), "DUPONT \xC9lodie - 1 occurence - Formulaire LLLLL");
              }});
}

TEST_F(Viewer, WithoutTheRichTextLibraryTheDocumentsAreStillListed) {
    g_richEditLibrary = "NOSUCHRICHEDIT.DLL";
    Search("confr\xE8re");
    RunViewer(Record({{5001, 0}, {77, 1}}), 0,
              {[](HWND v) {
                   EXPECT_EQ(Caption(v), "DUPONT \xC9lodie - 2 occurences - confr\xE8re");
                   EXPECT_EQ(Entries(v), (V{"Courrier du 23/05/2011", "Courrier du 02/02/2002"}));
                   EXPECT_EQ(RichText(v), (HWND)NULL);
               },
               [](HWND v) {
                   Choose(v, 1);
                   PostMessageA(v, WM_SIZE, 0, 0);
               }});
}

TEST_F(Viewer, TablesWithoutARecordAreReadIntoTheViewersOwnRecords) {
    Search("confr\xE8re");
    for (int size : {16, 0}) { // blocks smaller than a record; blocks that cannot be locked
        FaultyTableBlocks faulty(size);
        ASSERT_TRUE(faulty.set);
        // The patient and the headers are read into the viewer's own records, not the host's block.
        RunViewer(Record({{5001, 0}, {77, 1}}), 0, {[](HWND v) {
                      EXPECT_EQ(Caption(v), "DUPONT \xC9lodie - 2 occurences - confr\xE8re");
                      EXPECT_EQ(Entries(v), (V{"Courrier du 23/05/2011", "Courrier du 02/02/2002"}));
                  }});
    }
}

TEST_F(Viewer, LayoutMinimumSizeAndOnlyTheCloseBoxCloses) {
    Search("x");
    RunViewer(Record({{5001, 0}}), 0,
              {[](HWND v) {
                   MINMAXINFO info = {};
                   SendMessageA(v, WM_GETMINMAXINFO, 0, (LPARAM)&info);
                   EXPECT_EQ(info.ptMinTrackSize.x, 340);
                   EXPECT_EQ(info.ptMinTrackSize.y, 200);
                   SetWindowPos(v, NULL, 0, 0, 100, 50, SWP_NOZORDER | SWP_NOMOVE);
               },
               [](HWND v) {
                   RECT window;
                   GetWindowRect(v, &window);
                   EXPECT_GE(window.right - window.left, 340);
                   EXPECT_GE(window.bottom - window.top, 200);
                   SetWindowPos(v, NULL, 0, 0, 640, 480, SWP_NOZORDER | SWP_NOMOVE);
               },
               [](HWND v) {
                   RECT client, rich, combo, field;
                   GetClientRect(v, &client);
                   GetWindowRect(RichText(v), &rich);
                   MapWindowPoints(NULL, v, (POINT*)&rich, 2);
                   GetWindowRect(Combo(v), &combo);
                   MapWindowPoints(NULL, v, (POINT*)&combo, 2);
                   GetClientRect(Combo(v), &field);
                   EXPECT_EQ(combo.left, 3);
                   EXPECT_EQ(combo.top, 0);
                   EXPECT_EQ(combo.right, client.right - 3);
                   EXPECT_EQ(rich.left, 3);
                   EXPECT_EQ(rich.right, client.right - 3);
                   EXPECT_EQ(rich.top, field.bottom + 3);
                   EXPECT_EQ(rich.bottom, client.bottom - 2);
                   // Enter, Escape and any other command leave the viewer open.
                   SendMessageA(v, WM_COMMAND, IDOK, 0);
                   SendMessageA(v, WM_COMMAND, IDCANCEL, 0);
                   SendMessageA(v, WM_COMMAND, 4711, 0);
                   EXPECT_TRUE(IsWindow(v));
               },
               [](HWND v) {
                   EXPECT_TRUE(IsWindow(v));
                   // A second viewer asked for while this one is open is not opened.
                   PatientHits other = {};
                   other.patientNumber = 42;
                   OpenDocumentViewer(v, &other, 0);
                   EXPECT_EQ(Caption(v).substr(0, 6), "DUPONT");
               }});
    // A NULL record opens nothing.
    OpenDocumentViewer(NULL, NULL, 0);
}

// The editor launch judges the header by what the host wrote into it, not by the read's return
// value: a host that returns 0 on success still starts the editor with the document's date and
// stamp; a host that returns success but writes nothing (document 9002 has no author, which the
// stand-in's blank-untouched switch leaves unread) starts nothing.
TEST_F(Viewer, TheEditorLaunchJudgesTheHeaderByItsContents) {
    SavedRegistryValue formulon("Software\\Formulon", "rep_Formulon");
    formulon.Set("C:\\F");
    Search("cotorep_form");
    auto press = [](HWND v) { SendMessageA(v, WM_COMMAND, MAKEWPARAM(IDC_VIEWER_FORMULON, BN_CLICKED), 0); };
    const std::string cabinet =
        kCabinet + Lines({"D 39|9002|6|1234|01/06/2012|77|", "<velarine_data>y</velarine_data>", ".",
                          "D 284|98|6|1234|02/06/2012|78|", "<velarine_data>z</velarine_data>", "."});
    struct ClearQuirks {
        ~ClearQuirks() { SetEnvironmentVariableA("SONDREL_STANDIN_QUIRKS", NULL); }
    } clearQuirks;
    SetEnvironmentVariableA("SONDREL_STANDIN_QUIRKS", "read-zero");
    ASSERT_TRUE(cabinet_.Open(cabinet));
    RunViewer(Record({{9001, 0}, {99, 1}}), 2, {[&](HWND v) {
                  press(v);
                  Choose(v, 1);
                  press(v);
              }});
    ASSERT_EQ(g_shell.size(), 2u);
    EXPECT_EQ(g_shell[0].parameters, ":M/CAB1/DIR1//1234///7DB0517/1A2B");
    EXPECT_EQ(g_shell[1].parameters, ":M/CAB1/DIR1//1234///7D40404/ABCDEF01");

    SetEnvironmentVariableA("SONDREL_STANDIN_QUIRKS", "blank-untouched");
    ASSERT_TRUE(cabinet_.Open(cabinet));
    SetEnvironmentVariableA("SONDREL_STANDIN_QUIRKS", NULL);
    RunViewer(Record({{9002, 0}, {98, 1}, {9001, 0}}), 2, {[&](HWND v) {
                  EXPECT_EQ(Entries(v), (V{"Formulon du 00/00/   0", "Formulon du 00/00/   0",
                                           "Formulon du 23/05/2011"}));
                  press(v);
                  Choose(v, 1);
                  press(v);
                  EXPECT_EQ(g_shell.size(), 2u) << "a header the host did not write is not handed over";
                  Choose(v, 2);
                  press(v);
              }});
    ASSERT_EQ(g_shell.size(), 3u);
    EXPECT_EQ(g_shell[2].parameters, ":M/CAB1/DIR1//1234///7DB0517/1A2B");
    ASSERT_TRUE(cabinet_.Open(kCabinet));
}

// The stream callback on its own: chunks no larger than asked for, the terminator included, then the end.
TEST(ViewerStream, HandsOutChunksUpToTheEndAddress) {
    char text[] = "0123456789";
    // Nothing is streamed without a position (no document being loaded).
    BYTE out[8];
    LONG given = 99;
    EXPECT_EQ(StreamRtfChunk((DWORD_PTR)(text + 11), out, sizeof out, &given), 1u);
    EXPECT_EQ(given, 0);
}

} // namespace
