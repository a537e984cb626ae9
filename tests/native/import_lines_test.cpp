// The import's line reader over chunked input, its field rule and its date fields.
#include "exchange/import_lines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Source {
    std::string data;
    size_t pos = 0;
    int maxRead = IMPORT_CHUNK_SIZE; // smaller reads exercise chunk boundaries everywhere
    static int Read(void* ctx, char* buf, int size) {
        Source* s = (Source*)ctx;
        int n = (int)std::min<size_t>({(size_t)size, (size_t)s->maxRead, s->data.size() - s->pos});
        memcpy(buf, s->data.data() + s->pos, (size_t)n);
        s->pos += (size_t)n;
        return n;
    }
};

// Every line the reader returns, as "text" or "<empty>", "<long:N>", until -1.
std::vector<std::string> ReadAll(const std::string& data, int maxRead = IMPORT_CHUNK_SIZE) {
    Source src{data, 0, maxRead};
    ImportLineReader* reader = new ImportLineReader;
    ImportReaderStart(reader, &Source::Read, &src);
    std::vector<std::string> lines;
    char buf[IMPORT_LINE_SIZE];
    for (int guard = 0; guard < 100000; guard++) {
        int tooLong = 0;
        int n = ReadImportLine(reader, buf, sizeof buf, &tooLong);
        if (n < 0) break;
        EXPECT_EQ(buf[n], 0); // always terminated right after the line
        if (tooLong)
            lines.push_back("<long:" + std::to_string(n) + ">");
        else
            lines.push_back(n == 0 ? "<empty>" : std::string(buf, (size_t)n));
    }
    delete reader;
    return lines;
}

using V = std::vector<std::string>;

TEST(ImportLineReader, CrLfLinesAndTheirEnds) {
    EXPECT_EQ(ReadAll("H\r\nA\tB\r\nC\r\n"), (V{"H", "A\tB", "C"}));
    EXPECT_EQ(ReadAll(""), V{});
    EXPECT_EQ(ReadAll("\r\n"), V{});                                // an empty last line ends the reading
    EXPECT_EQ(ReadAll("H\r\nA\r\n\r\n"), (V{"H", "A"}));            // trailing empty line: no prompt
    EXPECT_EQ(ReadAll("H\r\n\r\nA\r\n"), (V{"H", "<empty>", "A"})); // empty line in the middle
    EXPECT_EQ(ReadAll("H\r\nlast"), (V{"H", "last"}));              // last line without CR LF is kept
    EXPECT_EQ(ReadAll("H\r\nlast\r"), (V{"H", "last"}));
    EXPECT_EQ(ReadAll("a\nb\nc\r\n"), (V{"a\nb\nc"})); // LF alone does not end a line
    EXPECT_EQ(ReadAll("a\rb\rc"), (V{"a", "b", "c"})); // CR alone: nothing of the next line lost
}

TEST(ImportLineReader, ChunkBoundariesFallAnywhere) {
    std::string data;
    V expected;
    for (int i = 0; i < 300; i++) {
        std::string line = std::to_string(i) + "\t" + std::string((size_t)(i * 37 % 90), 'x');
        data += line + "\r\n";
        expected.push_back(line);
    }
    for (int maxRead : {1, 2, 3, 7, 64, 4999, 5000}) {
        EXPECT_EQ(ReadAll(data, maxRead), expected) << "reads of " << maxRead;
    }
}

TEST(ImportLineReader, OverlongLinesAreFlaggedNotSplit) {
    std::string big(10 * 1000 * 1000, 'q'); // a 10 MB line
    V lines = ReadAll("H\r\n" + big + "\r\nnext\r\n", 4096);
    EXPECT_EQ(lines, (V{"H", "<long:4999>", "next"}));
    EXPECT_EQ(ReadAll(std::string(4999, 'a') + "\r\n").at(0), std::string(4999, 'a'));
    EXPECT_EQ(ReadAll(std::string(5000, 'a') + "\r\n"), (V{"<long:4999>"}));
    EXPECT_EQ(ReadAll(std::string(6000, 'a')), (V{"<long:4999>"})); // overlong last line without CR
}

TEST(ImportLineReader, BinaryGarbageNeverOverruns) {
    std::string junk;
    uint32_t x = 12345;
    for (int i = 0; i < 200000; i++) {
        x = x * 1103515245u + 12345u;
        junk.push_back((char)(x >> 24));
    }
    V lines = ReadAll(junk, 333);
    size_t total = 0;
    for (const std::string& l : lines)
        total += l.size();
    EXPECT_GT(lines.size(), 100u);
    EXPECT_LE(total, junk.size());
}

int Fields(const std::string& line, V* out) {
    ImportFields f;
    ImportFieldsStart(&f, line.data(), (int)line.size());
    char buf[64];
    int n = 0;
    while (ImportNextField(&f, buf, sizeof buf, nullptr)) {
        out->push_back(buf);
        n++;
    }
    return n;
}

TEST(ImportFields, AFieldExistsOnlyAfterATabFollowedByMore) {
    V f;
    EXPECT_EQ(Fields("a\tb\tc", &f), 3);
    EXPECT_EQ(f, (V{"a", "b", "c"}));
    f.clear();
    EXPECT_EQ(Fields("a\tb\t", &f), 2); // a final TAB with nothing after it: no third field
    f.clear();
    EXPECT_EQ(Fields("a\t\tc", &f), 3); // an empty field between two TABs
    EXPECT_EQ(f, (V{"a", "", "c"}));
    f.clear();
    EXPECT_EQ(Fields("a\t\t", &f), 2);
    EXPECT_EQ(f, (V{"a", ""}));
    f.clear();
    EXPECT_EQ(Fields("", &f), 1); // field 1 always exists
    f.clear();
    // A line as the export writes it: nine TAB-ended cells give nine fields.
    EXPECT_EQ(Fields("1\tA B\t1 an 03 m\t2\t01/02/2003\t04/05/2006\tDr X;Dr Y\t123\tR\xe9gime\t", &f), 9);
    EXPECT_EQ(f[6], "Dr X;Dr Y");
}

TEST(ImportFields, LongFieldsAreCutAndReported) {
    std::string line = std::string(3000, 'a') + "\tnext";
    ImportFields f;
    ImportFieldsStart(&f, line.data(), (int)line.size());
    char small[2000];
    int whole = 1;
    ASSERT_TRUE(ImportNextField(&f, small, sizeof small, &whole));
    EXPECT_EQ(whole, 0);
    EXPECT_EQ(strlen(small), sizeof small - 1);
    ASSERT_TRUE(ImportNextField(&f, small, sizeof small, &whole));
    EXPECT_EQ(whole, 1);
    EXPECT_STREQ(small, "next");
}

TEST(ImportDates, FixedPositionsAndNoDate) {
    EXPECT_EQ(ImportDateField("15/03/2005"), (2005u << 16) | (3u << 8) | 15u);
    EXPECT_EQ(ImportDateField("15-03-2005"), (2005u << 16) | (3u << 8) | 15u); // separators not examined
    EXPECT_EQ(ImportDateField("00/00/   0"), 0u); // the export's zero date round-trips
    EXPECT_EQ(ImportDateField("05/03/ 999"), 0u); // a space-padded year is not digits
    EXPECT_EQ(ImportDateField("15/03/200"), 0u);  // shorter than ten characters
    EXPECT_EQ(ImportDateField(""), 0u);
    EXPECT_EQ(ImportDateField("ab/cd/efgh"), 0u);
    EXPECT_EQ(ImportDateField("99/99/9999"), (9999u << 16) | (99u << 8) | 99u);
    EXPECT_EQ(ImportDateField("01/01/2000xyz"), (2000u << 16) | (1u << 8) | 1u);
}

} // namespace
