// Export of the real main window's result list: the three formats byte for byte for a known list
// (at the starting column widths and after the user resized columns), the display order, the
// extension rule on real paths, the failures told to the user, the file dialog's settings, and the
// real save dialog answered by a helper thread.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <string.h>

#include "exchange/export.h"
#include "exchange/export_format.h"
#include "exchange_test_support.h"

using namespace exchange_test;

namespace {

class ExportTest : public ::testing::Test {
  protected:
    HWND dialog = NULL;
    HWND list = NULL;
    std::string folder;
    void SetUp() override {
        InstallAnsweringBox();
        dialog = CreateMainWindow();
        ASSERT_NE(dialog, (HWND)NULL);
        list = GetDlgItem(dialog, IDC_RESULT_LIST);
        ResetResults(dialog);
        g_boxes.clear();
        folder = TempFolder();
    }
    void TearDown() override {
        ResetResults(dialog);
        DestroyMainWindow(dialog);
        UninstallRecorders();
        RemoveFolder(folder);
    }
    // Inserts a row at `index` with the nine cells given (no item data: the export reads text only).
    void InsertRow(int index, const std::vector<std::string>& cells) {
        LVITEMA item = {};
        item.mask = LVIF_TEXT;
        item.iItem = index;
        item.pszText = (LPSTR)cells[0].c_str();
        int row = (int)SendMessageA(list, LVM_INSERTITEMA, 0, (LPARAM)&item);
        ASSERT_GE(row, 0);
        for (int c = 1; c < (int)cells.size(); c++) {
            LVITEMA sub = {};
            sub.iSubItem = c;
            sub.pszText = (LPSTR)cells[c].c_str();
            SendMessageA(list, LVM_SETITEMTEXTA, row, (LPARAM)&sub);
        }
    }
    // The known list: the second row is inserted above the first, so display order is 42, then 1.
    void FillKnownList() {
        InsertRow(0, {"1", "DUPONT \xc9lodie", "65 ans 08 m", "3", "02/01/2004", "20/11/2006", "Dr A;Dr B",
                      "261037512345678", "R\xe9gime g\xe9n\xe9ral"});
        InsertRow(0, {"42", "O'BRIEN <Zo\xe9> & \"Co\"", "0 an 05 m", "12", "00/00/   0", "01/01/2010", "",
                      "", ""});
    }
    std::string Export(int format, const std::string& name, int* result = nullptr) {
        char path[EXPORT_PATH_SIZE];
        snprintf(path, sizeof path, "%s%s", folder.c_str(), name.c_str());
        int r = ExportResultsToPath(dialog, IDC_RESULT_LIST, format, path, sizeof path);
        if (result != nullptr) *result = r;
        return ReadWholeFile(path);
    }
};

std::string Spaces(int n) {
    return std::string(n, ' ');
}

const std::string kTabHeader = "N\xb0 dossier\tNom Patient\tAge\tNombre d'occurences\tPremi\xe8re occurence\t"
                               "Derni\xe8re occurence\tM\xe9"
                               "decin\tN\xb0 SS\tR\xe9gime\t\r\n";

TEST_F(ExportTest, TabSeparatedFileByteForByteInDisplayOrder) {
    FillKnownList();
    int result = -1;
    std::string bytes = Export(EXPORT_EXCEL, "liste", &result);
    EXPECT_EQ(result, EXPORT_DONE);
    EXPECT_EQ(bytes,
              kTabHeader +
                  "42\tO'BRIEN <Zo\xe9> & \"Co\"\t0 an 05 m\t12\t00/00/   0\t01/01/2010\t\t\t\t\r\n"
                  "1\tDUPONT \xc9lodie\t65 ans 08 m\t3\t02/01/2004\t20/11/2006\tDr A;Dr B\t261037512345678\t"
                  "R\xe9gime g\xe9n\xe9ral\t\r\n");
    EXPECT_TRUE(FileExists(folder + "liste.xls"));
    EXPECT_TRUE(g_boxes.empty()) << g_boxes[0].text; // a complete export says nothing
    // The list is left as it was.
    EXPECT_EQ(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0), 2);
}

TEST_F(ExportTest, FixedWidthTextAtStartingAndResizedWidths) {
    FillKnownList();
    std::string header = "N\xb0 doss|"
                         "Nom Patient" +
                         Spaces(17) +
                         "|"
                         "Age" +
                         Spaces(8) +
                         "|"
                         "Nombr|"
                         "Premi\xe8re oc|"
                         "Derni\xe8re oc|"
                         "M\xe9"
                         "decin" +
                         Spaces(4) +
                         "|"
                         "N\xb0 SS" +
                         Spaces(10) +
                         "|"
                         "R\xe9gime" +
                         Spaces(29) + "|\r\n";
    std::string row42 = "42" + Spaces(5) +
                        "|"
                        "O'BRIEN <Zo\xe9> & \"Co\"" +
                        Spaces(8) +
                        "|"
                        "0 an 05 m  |"
                        "12   |"
                        "00/00/   0 |"
                        "01/01/2010 |" +
                        Spaces(11) + "|" + Spaces(15) + "|" + Spaces(35) + "|\r\n";
    std::string row1 = "1" + Spaces(6) +
                       "|"
                       "DUPONT \xc9lodie" +
                       Spaces(15) +
                       "|"
                       "65 ans 08 m|"
                       "3    |"
                       "02/01/2004 |"
                       "20/11/2006 |"
                       "Dr A;Dr B  |"
                       "261037512345678|"
                       "R\xe9gime g\xe9n\xe9ral" +
                       Spaces(21) + "|\r\n";
    EXPECT_EQ(Export(EXPORT_TEXT, "largeurs.txt"), header + row42 + row1);

    // The user drags columns: 0 wider (100 characters), 1 narrower (10), 8 below 7 pixels (bar only).
    SendMessageA(list, LVM_SETCOLUMNWIDTH, 0, 700);
    SendMessageA(list, LVM_SETCOLUMNWIDTH, 1, 76);
    SendMessageA(list, LVM_SETCOLUMNWIDTH, 8, 3);
    std::string bytes = Export(EXPORT_TEXT, "largeurs2.txt");
    std::string header2 = "N\xb0 dossier" + Spaces(90) +
                          "|"
                          "Nom Patien|"
                          "Age" +
                          Spaces(8) +
                          "|"
                          "Nombr|"
                          "Premi\xe8re oc|"
                          "Derni\xe8re oc|"
                          "M\xe9"
                          "decin" +
                          Spaces(4) +
                          "|"
                          "N\xb0 SS" +
                          Spaces(10) + "||\r\n";
    std::string row42b = "42" + Spaces(98) +
                         "|"
                         "O'BRIEN <Z|"
                         "0 an 05 m  |"
                         "12   |"
                         "00/00/   0 |"
                         "01/01/2010 |" +
                         Spaces(11) + "|" + Spaces(15) + "||\r\n";
    std::string row1b = "1" + Spaces(99) +
                        "|"
                        "DUPONT \xc9lo|"
                        "65 ans 08 m|"
                        "3    |"
                        "02/01/2004 |"
                        "20/11/2006 |"
                        "Dr A;Dr B  |"
                        "261037512345678||\r\n";
    EXPECT_EQ(bytes, header2 + row42b + row1b);
}

TEST_F(ExportTest, HtmlTableWithTheCaptionAsTitleAndEscapedCells) {
    FillKnownList();
    SetWindowTextA(dialog, "Sondrel <r\xe9sultats>");
    std::string bytes = Export(EXPORT_HTML, "page");
    std::string expected =
        "<html><head><title>Sondrel &lt;r\xe9sultats&gt;</title>"
        "<meta http-equiv=\"content-type\" content=\"text/html; charset=windows-1252\">"
        "</head><body bgcolor=\"#E0FFFF\" text=\"#000000\" link=\"#000080\">"
        "<table border=\"1\" cellpadding=\"1\" cellspacing=\"0\"><tr>"
        "<td>N\xb0 dossier</td><td>Nom Patient</td><td>Age</td><td>Nombre d'occurences</td>"
        "<td>Premi\xe8re occurence</td><td>Derni\xe8re occurence</td><td>M\xe9"
        "decin</td><td>N\xb0 SS</td>"
        "<td>R\xe9gime</td></tr>"
        "<tr><td>42</td><td>O'BRIEN &lt;Zo\xe9&gt; &amp; &quot;Co&quot;</td><td>0 an 05 m</td><td>12</td>"
        "<td>00/00/   0</td><td>01/01/2010</td><td></td><td></td><td></td></tr>"
        "<tr><td>1</td><td>DUPONT \xc9lodie</td><td>65 ans 08 m</td><td>3</td><td>02/01/2004</td>"
        "<td>20/11/2006</td><td>Dr A;Dr B</td><td>261037512345678</td><td>R\xe9gime g\xe9n\xe9ral</td></tr>"
        "</table>";
    EXPECT_EQ(bytes, expected);
    EXPECT_EQ(bytes.find('\n'), std::string::npos);
    EXPECT_TRUE(FileExists(folder + "page.html"));
}

TEST_F(ExportTest, EmptyListGivesTheHeaderAlone) {
    EXPECT_EQ(Export(EXPORT_EXCEL, "vide.xls"), kTabHeader);
    std::string text = Export(EXPORT_TEXT, "vide.txt");
    EXPECT_EQ(text.size(), 7u + 28 + 11 + 5 + 11 + 11 + 11 + 15 + 35 + 9 + 2);
    EXPECT_EQ(text.find("\r\n"), text.size() - 2);
    std::string html = Export(EXPORT_HTML, "vide.html");
    EXPECT_EQ(html.substr(html.size() - 28), "<td>R\xe9gime</td></tr></table>");
    EXPECT_TRUE(g_boxes.empty());
}

TEST_F(ExportTest, LongCellsAreCutAtTheCellBuffer) {
    std::string huge(8000, 'x');
    InsertRow(0, {"7", huge, "", "", "", "", huge, "", ""});
    std::string bytes = Export(EXPORT_EXCEL, "long.xls");
    // Each long cell arrives as at most 4999 characters and is still followed by its TAB.
    size_t rowStart = kTabHeader.size();
    std::string row = bytes.substr(rowStart);
    EXPECT_EQ(row, "7\t" + std::string(4999, 'x') + "\t\t\t\t\t" + std::string(4999, 'x') + "\t\t\t\r\n");
    // A column wider than the cell buffer: the fixed-width cell stops at 4998 characters and its bar.
    SendMessageA(list, LVM_SETCOLUMNWIDTH, 1, 7 * 6000);
    std::string text = Export(EXPORT_TEXT, "long.txt");
    EXPECT_NE(text.find(std::string(4998, 'x') + "|"), std::string::npos);
    EXPECT_EQ(text.find(std::string(4999, 'x')), std::string::npos);
}

TEST_F(ExportTest, ExtensionRuleOnRealPaths) {
    FillKnownList();
    Export(EXPORT_TEXT, "rapport.TXT");
    EXPECT_TRUE(FileExists(folder + "rapport.TXT"));
    EXPECT_FALSE(FileExists(folder + "rapport.TXT.txt"));
    Export(EXPORT_TEXT, "rapport.txt.bak");
    EXPECT_TRUE(FileExists(folder + "rapport.txt.bak"));
    Export(EXPORT_HTML, "page.htm");
    EXPECT_TRUE(FileExists(folder + "page.htm.html"));
    EXPECT_FALSE(FileExists(folder + "page.htm"));
    ASSERT_TRUE(CreateDirectoryA((folder + "exports.xls").c_str(), NULL));
    Export(EXPORT_EXCEL, "exports.xls\\liste");
    EXPECT_TRUE(FileExists(folder + "exports.xls\\liste"));
    EXPECT_FALSE(FileExists(folder + "exports.xls\\liste.xls"));
    // An existing file is replaced, not appended to.
    WriteWholeFile(folder + "ancien.xls", std::string(100000, 'z'));
    EXPECT_EQ(Export(EXPORT_EXCEL, "ancien.xls").find('z'), std::string::npos);
    EXPECT_TRUE(g_boxes.empty());
}

TEST_F(ExportTest, ANameWithNoRoomForTheExtensionWritesNothingAndSaysSo) {
    FillKnownList();
    // 259 characters in all: the extension cannot be added within the 260-byte path.
    std::string name = folder + "n";
    name += std::string(259 - name.size() - 4, 'a') + ".htm";
    ASSERT_EQ(name.size(), 259u);
    char path[EXPORT_PATH_SIZE];
    snprintf(path, sizeof path, "%s", name.c_str());
    EXPECT_EQ(ExportResultsToPath(dialog, IDC_RESULT_LIST, EXPORT_HTML, path, sizeof path),
              EXPORT_PATH_TOO_LONG);
    EXPECT_STREQ(path, name.c_str()); // the buffer is not overrun nor changed
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0].text, "Le nom du fichier est trop long : " + name);
    EXPECT_EQ(g_boxes[0].caption, "Sondrel");
    EXPECT_EQ(g_boxes[0].style, (UINT)(MB_OK | MB_ICONERROR));
    EXPECT_EQ(g_boxes[0].owner, dialog);
    // Nothing was created under either name (the folder holds no file at all).
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "n*").c_str(), &found);
    EXPECT_EQ(search, INVALID_HANDLE_VALUE);
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
}

TEST_F(ExportTest, AFileThatCannotBeCreatedIsReported) {
    FillKnownList();
    int result = -1;
    Export(EXPORT_EXCEL, "absent\\liste", &result);
    EXPECT_EQ(result, EXPORT_CREATE_FAILED);
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0].text, "Impossible de cr\xe9"
                               "er le fichier " +
                                   folder + "absent\\liste.xls");
    EXPECT_EQ(g_boxes[0].caption, "Sondrel");
    EXPECT_EQ(g_boxes[0].style, (UINT)(MB_OK | MB_ICONERROR));
    EXPECT_EQ(g_boxes[0].owner, dialog);
    EXPECT_FALSE(FileExists(folder + "absent"));
}

TEST_F(ExportTest, AFailedWriteIsReported) {
    // The Unix device that answers every write with "disk full", reached through Wine's Z: drive.
    // The name goes through a folder called ".xls" that the path collapses away, so that the
    // extension rule finds ".xls" and adds nothing: the file written is /dev/full itself.
    char path[EXPORT_PATH_SIZE] = "Z:\\dev\\.xls\\..\\full";
    HANDLE probe = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (probe == INVALID_HANDLE_VALUE) GTEST_SKIP() << "no /dev/full through Z:";
    CloseHandle(probe);
    FillKnownList();
    EXPECT_EQ(ExportResultsToPath(dialog, IDC_RESULT_LIST, EXPORT_EXCEL, path, sizeof path),
              EXPORT_WRITE_FAILED);
    EXPECT_STREQ(path, "Z:\\dev\\.xls\\..\\full");
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0].text, std::string("Impossible d'\xe9") + "crire le fichier Z:\\dev\\.xls\\..\\full");
    EXPECT_EQ(g_boxes[0].caption, "Sondrel");
    EXPECT_EQ(g_boxes[0].style, (UINT)(MB_OK | MB_ICONERROR));
    EXPECT_EQ(g_boxes[0].owner, dialog);
}

TEST_F(ExportTest, FileDialogSettings) {
    char path[EXPORT_PATH_SIZE] = "left over";
    OPENFILENAMEA d;
    memset(&d, 0x5a, sizeof d);
    PrepareFileDialog(&d, dialog, ExportFilter(EXPORT_HTML), path, (int)sizeof path);
    // The Windows NT 4 size: 76 bytes in the 32-bit program, larger on x64, where 76 makes the dialog fail.
    EXPECT_EQ(d.lStructSize, (DWORD)OPENFILENAME_SIZE_VERSION_400A);
    if (sizeof(void*) == 4) {
        EXPECT_EQ(d.lStructSize, 76u);
    }
    EXPECT_EQ(d.hwndOwner, dialog);
    EXPECT_EQ(d.lpstrCustomFilter, nullptr);
    EXPECT_EQ(d.nFilterIndex, 0u);
    EXPECT_EQ(d.lpstrFile, path);
    EXPECT_EQ(path[0], 0); // emptied: no name chosen by the program
    EXPECT_EQ(d.nMaxFile, 260u);
    EXPECT_EQ(d.lpstrFileTitle, nullptr);
    ASSERT_NE(d.lpstrInitialDir, nullptr);
    EXPECT_STREQ(d.lpstrInitialDir, "");
    EXPECT_STREQ(d.lpstrTitle, "Choisissez un fichier");
    EXPECT_EQ(d.Flags, 0x80006u);
    EXPECT_EQ(d.Flags, (DWORD)(OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY));
    ASSERT_NE(d.lpstrDefExt, nullptr);
    EXPECT_STREQ(d.lpstrDefExt, "");
    EXPECT_EQ(d.hInstance, nullptr);
    EXPECT_EQ(d.lpfnHook, nullptr);

    // Each filter: description and pattern pairs, then an empty text.
    auto pairs = [](const char* filter) {
        std::vector<std::string> texts;
        for (const char* p = filter; *p != 0; p += strlen(p) + 1)
            texts.push_back(p);
        return texts;
    };
    EXPECT_EQ(pairs(ExportFilter(EXPORT_TEXT)),
              (std::vector<std::string>{"Fichiers Texte", "*.TXT", "Tous les fichiers", "*.*"}));
    EXPECT_EQ(pairs(ExportFilter(EXPORT_EXCEL)),
              (std::vector<std::string>{"Fichiers Excel", "*.XLS", "Tous les fichiers", "*.*"}));
    EXPECT_EQ(pairs(ExportFilter(EXPORT_HTML)),
              (std::vector<std::string>{"Fichiers HTML", "*.HTML", "Tous les fichiers", "*.*"}));
    EXPECT_EQ(ExportFilter(0), nullptr);
    EXPECT_EQ(ExportFilter(4), nullptr);
}

TEST_F(ExportTest, TheRealSaveDialogWritesTheNameTyped) {
    FillKnownList();
    {
        DialogAnswerer answer(folder + "par-dialogue");
        ExportResults(dialog, IDC_RESULT_LIST, EXPORT_EXCEL);
        answer.thread.join();
        ASSERT_TRUE(answer.seen) << "no save dialog came up";
        EXPECT_EQ(answer.owner.load(), dialog);
    }
    EXPECT_EQ(ReadWholeFile(folder + "par-dialogue.xls").substr(0, kTabHeader.size()), kTabHeader);
    {
        DialogAnswerer cancel("");
        ExportResults(dialog, IDC_RESULT_LIST, EXPORT_TEXT);
        cancel.thread.join();
        ASSERT_TRUE(cancel.seen);
    }
    // Cancelling creates nothing and says nothing.
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*.txt").c_str(), &found);
    EXPECT_EQ(search, INVALID_HANDLE_VALUE);
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
    EXPECT_TRUE(g_boxes.empty());
}

} // namespace
