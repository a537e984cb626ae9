// The export formats byte for byte, the extension rule and write failures.
#include "exchange/export_format.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Out {
    std::string bytes;
    int failAfter = -1; // number of successful writes before writes start failing
    int writes = 0;
    static int Write(void* ctx, const char* b, size_t n) {
        Out* o = (Out*)ctx;
        if (o->failAfter >= 0 && o->writes >= o->failAfter) return 0;
        o->writes++;
        o->bytes.append(b, n);
        return 1;
    }
};

const int kWidths[9] = {50, 200, 80, 40, 80, 80, 80, 110, 250};
const char* kTitles[9] = {"N\xb0 dossier",
                          "Nom Patient",
                          "Age",
                          "Nombre d'occurences",
                          "Premi\xe8re occurence",
                          "Derni\xe8re occurence",
                          "M\xe9"
                          "decin",
                          "N\xb0 SS",
                          "R\xe9gime"};
const char* kRow[9] = {"12",
                       "DUPONT <\xc9lodie> & \"Co\"",
                       "45 ans 11 m",
                       "3",
                       "02/01/2004",
                       "00/00/   0",
                       "Dr A;Dr B",
                       "123456789012345",
                       ""};

std::string Export(int format, const int* widths, int rows) {
    Out out;
    ExportSink sink = {&Out::Write, &out, 0};
    if (format == EXPORT_HTML) WriteHtmlPrologue(&sink, "Sondrel");
    char cell[EXPORT_CELL_SIZE];
    for (int c = 0; c < 9; c++) {
        snprintf(cell, sizeof cell, "%s", kTitles[c]);
        WriteExportCell(&sink, cell, format, widths[c]);
    }
    WriteExportRowEnd(&sink, format);
    for (int r = 0; r < rows; r++) {
        WriteExportRowStart(&sink, format);
        for (int c = 0; c < 9; c++) {
            snprintf(cell, sizeof cell, "%s", kRow[c]);
            WriteExportCell(&sink, cell, format, widths[c]);
        }
        WriteExportRowEnd(&sink, format);
    }
    WriteExportEnd(&sink, format);
    EXPECT_EQ(sink.failed, 0);
    return out.bytes;
}

TEST(ExportFormats, FixedWidthTextWithTheStartingWidths) {
    std::string header =
        "N\xb0 doss|Nom Patient                 |Age        |Nombr|Premi\xe8re oc|Derni\xe8re oc|M\xe9"
        "decin    "
        "|N\xb0 SS          |R\xe9gime                             |\r\n";
    EXPECT_EQ(Export(EXPORT_TEXT, kWidths, 0), header);
    std::string row =
        "12     |DUPONT <\xc9lodie> & \"Co\"      |45 ans 11 m|3    |02/01/2004 |00/00/   0 |Dr A;Dr B  |"
        "123456789012345|                                   |\r\n";
    EXPECT_EQ(Export(EXPORT_TEXT, kWidths, 1), header + row);
    // Cell widths 7, 28, 11, 5, 11, 11, 11, 15, 35 before their bars.
    std::string written = Export(EXPORT_TEXT, kWidths, 0);
    size_t pos = 0;
    for (int w : {7, 28, 11, 5, 11, 11, 11, 15, 35}) {
        size_t bar = written.find('|', pos);
        EXPECT_EQ(bar - pos, (size_t)w);
        pos = bar + 1;
    }
}

TEST(ExportFormats, NarrowAndHugeColumns) {
    int widths[9] = {6, 0, 7, 13, 14, 80, 80, 80, 80};
    std::string text = Export(EXPORT_TEXT, widths, 1);
    EXPECT_EQ(text.substr(0, 12), "||A|N|Pr|Der"); // <7 px: the bar alone; 7 px: one character
    // A column wider than the cell buffer is cut to the buffer, never overrun.
    char cell[EXPORT_CELL_SIZE];
    snprintf(cell, sizeof cell, "abc");
    Out out;
    ExportSink sink = {&Out::Write, &out, 0};
    WriteExportCell(&sink, cell, EXPORT_TEXT, 100000);
    ASSERT_EQ(out.bytes.size(), (size_t)EXPORT_CELL_SIZE - 1);
    EXPECT_EQ(out.bytes.back(), '|');
    EXPECT_EQ(out.bytes.substr(0, 4), "abc ");
}

TEST(ExportFormats, TabSeparatedCellsEachEndWithATab) {
    std::string expected = std::string(kTitles[0]) + "\t";
    for (int c = 1; c < 9; c++)
        expected += std::string(kTitles[c]) + "\t";
    expected += "\r\n";
    std::string row;
    for (int c = 0; c < 9; c++)
        row += std::string(kRow[c]) + "\t";
    EXPECT_EQ(Export(EXPORT_EXCEL, kWidths, 0), expected);
    EXPECT_EQ(Export(EXPORT_EXCEL, kWidths, 2), expected + row + "\r\n" + row + "\r\n");
}

TEST(ExportFormats, HtmlHasNoLineBreaksAndEscapesEveryCell) {
    std::string html = Export(EXPORT_HTML, kWidths, 1);
    std::string prologue =
        "<html><head><title>Sondrel</title><meta http-equiv=\"content-type\" content=\"text/html; "
        "charset=windows-1252\"></head><body bgcolor=\"#E0FFFF\" text=\"#000000\" link=\"#000080\"><table "
        "border=\"1\" cellpadding=\"1\" cellspacing=\"0\"><tr>";
    EXPECT_EQ(html.substr(0, prologue.size()), prologue);
    EXPECT_EQ(html.find('\n'), std::string::npos);
    EXPECT_EQ(html.find('\r'), std::string::npos);
    EXPECT_NE(html.find("<td>N\xb0 dossier</td><td>Nom Patient</td>"), std::string::npos);
    EXPECT_NE(html.find("</td></tr><tr><td>12</td><td>DUPONT &lt;\xc9lodie&gt; &amp; &quot;Co&quot;</td>"),
              std::string::npos);
    EXPECT_NE(html.find("<td></td></tr></table>"), std::string::npos);
    EXPECT_EQ(html.substr(html.size() - 8), "</table>");
    // The title is escaped too.
    Out out;
    ExportSink sink = {&Out::Write, &out, 0};
    WriteHtmlPrologue(&sink, "a<b>&\"c\"");
    EXPECT_NE(out.bytes.find("<title>a&lt;b&gt;&amp;&quot;c&quot;</title>"), std::string::npos);
    // An empty list: prologue, header row, end.
    std::string empty = Export(EXPORT_HTML, kWidths, 0);
    EXPECT_EQ(empty.substr(empty.size() - 18), "</td></tr></table>");
}

TEST(ExportFormats, FirstFailedWriteIsRemembered) {
    Out out;
    out.failAfter = 3;
    ExportSink sink = {&Out::Write, &out, 0};
    char cell[EXPORT_CELL_SIZE];
    for (int c = 0; c < 9; c++) {
        snprintf(cell, sizeof cell, "%s", kRow[c]);
        WriteExportCell(&sink, cell, EXPORT_EXCEL, 80);
    }
    EXPECT_EQ(sink.failed, 1);
    EXPECT_EQ(out.writes, 3); // nothing more was attempted after the failure
}

TEST(ExportPaths, TheExtensionRule) {
    char path[EXPORT_PATH_SIZE];
    struct Case {
        const char* in;
        int format;
        const char* out;
    } cases[] = {
        {"C:\\rapport.TXT", EXPORT_TEXT, "C:\\rapport.TXT"},
        {"C:\\rapport.txt.bak", EXPORT_TEXT, "C:\\rapport.txt.bak"},
        {"C:\\exports.xls\\liste", EXPORT_EXCEL, "C:\\exports.xls\\liste"},
        {"C:\\page.htm", EXPORT_HTML, "C:\\page.htm.html"},
        {"C:\\liste", EXPORT_EXCEL, "C:\\liste.xls"},
        {"C:\\liste.html", EXPORT_TEXT, "C:\\liste.html.txt"},
    };
    for (const Case& c : cases) {
        snprintf(path, sizeof path, "%s", c.in);
        EXPECT_EQ(AddExportExtension(path, sizeof path, c.format), 1);
        EXPECT_STREQ(path, c.out);
    }
    // A path that leaves no room for the extension is left as it is and reported.
    std::string full(255, 'p');
    snprintf(path, sizeof path, "%s", full.c_str());
    EXPECT_EQ(AddExportExtension(path, sizeof path, EXPORT_HTML), 0);
    EXPECT_EQ(std::string(path), full);
    EXPECT_EQ(AddExportExtension(path, sizeof path, EXPORT_TEXT), 1); // 255 + 4 fits in 259
    EXPECT_EQ(strlen(path), 259u);
}

} // namespace
