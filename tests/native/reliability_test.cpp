// The allocation seam and every portable allocation site under injected failure; the helpers that
// must hold their contracts for any argument; the import reader's read errors and the tab-separated
// cells that must come back through the import. Under AddressSanitizer and LeakSanitizer: a crash
// or a leak on any failure path fails the run, and the seam's block count checks each site's
// release at once.
#include "base/alloc.h"
#include "catalogue/form_catalogue.h"
#include "exchange/export_format.h"
#include "exchange/import_apply.h"
#include "exchange/import_lines.h"
#include "host/cabinet.h"
#include "host/records.h"
#include "search/hits.h"
#include "search/result_format.h"

#include <gtest/gtest.h>

#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

void ReleaseWholeTable() {
    for (int i = 0; i < PATIENT_TABLE_SLOTS; i++) {
        ReleasePatientHits(Results.PatientHitsTable[i]);
        Results.PatientHitsTable[i] = nullptr;
    }
    ClearHitTable();
}

class Reliability : public ::testing::Test {
  protected:
    void SetUp() override {
        ReleaseWholeTable();
        SondrelFailAllocationAt(0);
        g_reportAllocationFailure = CountAllocationFailure;
        g_allocationFailureReports = 0;
        liveBefore_ = SondrelLiveBlocks();
    }
    void TearDown() override {
        SondrelFailAllocationAt(0);
        ReleaseWholeTable();
        EXPECT_EQ(SondrelLiveBlocks(), liveBefore_) << "blocks left allocated";
    }
    // Allocation calls that `operation` makes when nothing fails.
    template <class F> long CallsOf(F operation) {
        long before = SondrelAllocationCalls();
        operation();
        return SondrelAllocationCalls() - before;
    }
    long liveBefore_ = 0;
};

// ---- the seam ------------------------------------------------------------------------------------

TEST_F(Reliability, SeamRefusesOverflowingAndOversizedRequests) {
    EXPECT_EQ(SondrelAlloc(SIZE_MAX / 2, 4), nullptr);
    EXPECT_EQ(SondrelAlloc(SONDREL_ALLOC_LIMIT + 1, 1), nullptr);
    EXPECT_EQ(SondrelAlloc((size_t)INT32_MAX, 4), nullptr); // a host key count of 2^31 - 1
    EXPECT_EQ(SondrelRealloc(nullptr, SIZE_MAX, 2), nullptr);
    void* block = SondrelAlloc(4, 4);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(SondrelRealloc(block, SIZE_MAX / 8, 16), nullptr); // refused: the block stays ours
    SondrelFree(block);
}

TEST_F(Reliability, SeamGivesZeroFilledBlocksEvenForEmptyRequests) {
    unsigned char* block = (unsigned char*)SondrelAlloc(100, 3);
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 300; i++)
        ASSERT_EQ(block[i], 0) << i;
    void* empty = SondrelAlloc(0, 4); // NULL only ever means failure
    EXPECT_NE(empty, nullptr);
    EXPECT_EQ(SondrelLiveBlocks(), liveBefore_ + 2);
    SondrelFree(block);
    SondrelFree(empty);
    SondrelFree(nullptr);
}

TEST_F(Reliability, SwitchFailsExactlyTheNthCallOnce) {
    SondrelFailAllocationAt(3);
    void* a = SondrelAlloc(1, 8);
    void* b = SondrelRealloc(nullptr, 1, 8);
    void* c = SondrelAlloc(1, 8);
    void* d = SondrelAlloc(1, 8);
    EXPECT_NE(a, nullptr);
    EXPECT_NE(b, nullptr);
    EXPECT_EQ(c, nullptr);
    EXPECT_NE(d, nullptr);
    // A failed growth leaves the block as it was.
    memcpy(a, "abcdefg", 8);
    SondrelFailAllocationAt(1);
    EXPECT_EQ(SondrelRealloc(a, 1000, 1), nullptr);
    EXPECT_STREQ((const char*)a, "abcdefg");
    void* grown = SondrelRealloc(a, 1000, 1);
    ASSERT_NE(grown, nullptr);
    EXPECT_STREQ((const char*)grown, "abcdefg");
    SondrelFree(grown);
    SondrelFree(b);
    SondrelFree(d);
}

// ---- the hit table: record, first array, growth --------------------------------------------------

// Every allocation of 250 hits of one patient fails in turn: each failure drops exactly one hit
// and is reported once, the entries kept are the ones counted, in order, and nothing leaks.
TEST_F(Reliability, HitTableSurvivesAFailureAtEveryAllocation) {
    auto addAll = [] {
        for (uint32_t i = 0; i < 250; i++)
            AddHit(RecordForPatient(77), MakePackedDate(1, 1, 2000 + (i % 10)), "Dr A", i, 0);
    };
    long calls = CallsOf(addAll);
    ReleaseWholeTable();
    ASSERT_EQ(calls, 4); // record, first array, two growths
    for (long n = 1; n <= calls; n++) {
        g_allocationFailureReports = 0;
        SondrelFailAllocationAt(n);
        addAll();
        EXPECT_EQ(g_allocationFailureReports, 1) << n;
        PatientHits* r = Results.PatientHitsTable[77];
        ASSERT_NE(r, nullptr) << n;
        EXPECT_EQ(r->occurrenceCount, 249) << n;
        ASSERT_NE(r->hits, nullptr);
        ASSERT_GE(r->hitCapacity, r->occurrenceCount);
        uint32_t previous = r->hits[0].key;
        for (int i = 1; i < r->occurrenceCount; i++) {
            ASSERT_GT(r->hits[i].key, previous) << n;
            previous = r->hits[i].key;
        }
        EXPECT_EQ(Results.PatientsWithHits, 1);
        ReleaseWholeTable();
    }
}

// ---- the import's record -------------------------------------------------------------------------

void HostName(void*, int patient, char* name, size_t size) {
    snprintf(name, size, "%s", patient == 12 ? "DUPONT \xc9lodie" : " ");
}

TEST_F(Reliability, ImportLineWhoseRecordCannotBeAllocatedIsDroppedAndTheResultsStay) {
    PatientHits* kept = RecordForPatient(7);
    ASSERT_NE(kept, nullptr);
    kept->occurrenceCount = 2;
    Results.OccurrenceTotal = 2;
    std::string line = "12\tDUPONT \xc9lodie\t\t3\t02/01/2004\t20/11/2006\tDr A\t1\t\t";
    SondrelFailAllocationAt(1);
    EXPECT_EQ(ApplyImportLine(line.data(), (int)line.size(), 0, IMPORT_ADD, HostName, nullptr),
              IMPORT_LINE_DROPPED);
    EXPECT_EQ(g_allocationFailureReports, 1);
    EXPECT_EQ(Results.PatientHitsTable[12], nullptr);
    EXPECT_EQ(Results.PatientHitsTable[7], kept);
    EXPECT_EQ(Results.OccurrenceTotal, 2);
    EXPECT_EQ(Results.PatientsWithHits, 1);
    // The next line gets its record again.
    EXPECT_EQ(ApplyImportLine(line.data(), (int)line.size(), 0, IMPORT_ADD, HostName, nullptr),
              IMPORT_LINE_APPLIED);
    ASSERT_NE(Results.PatientHitsTable[12], nullptr);
    EXPECT_EQ(Results.PatientHitsTable[12]->occurrenceCount, 3);
}

// ---- the scheme table ----------------------------------------------------------------------------

TEST_F(Reliability, SchemeTableThatCannotGrowEndsWhereItStoppedAndStillAnswers) {
    SchemeTable table = {nullptr, 0, 0};
    char value[32];
    for (int i = 1; i <= 64; i++) { // the first block holds 64 values
        snprintf(value, sizeof value, "%02d;Caisse %d;", i, i);
        ASSERT_EQ(SchemeTableAdd(&table, value), 1);
    }
    SondrelFailAllocationAt(1);
    EXPECT_EQ(SchemeTableAdd(&table, "65;Trop;"), 0); // the growth fails: the sequence ends here
    EXPECT_EQ(table.count, 64);
    char name[64];
    LookupSchemeInTable(&table, 64, name, sizeof name);
    EXPECT_STREQ(name, "Caisse 64");
    LookupSchemeInTable(&table, 65, name, sizeof name);
    EXPECT_STREQ(name, "");
    SchemeTableFree(&table);

    SchemeTable empty = {nullptr, 0, 0};
    SondrelFailAllocationAt(1);
    EXPECT_EQ(SchemeTableAdd(&empty, "01;A;"), 0); // no first block: an empty table, no names
    LookupSchemeInTable(&empty, 1, name, sizeof name);
    EXPECT_STREQ(name, "");
    SchemeTableFree(&empty);
}

// ---- the catalogue parse -------------------------------------------------------------------------

TEST_F(Reliability, CatalogueParseFailingAtAnyAllocationLeavesNothingBehind) {
    std::string list = "Premier\r\nID_1,x\r\nSecond\r\nID_2\r\n\r\nTroisi\xe8me\r\nID_3\r\n";
    long calls = CallsOf([&] { ReleaseFormCatalogue(ParseFormList(list.data(), list.size())); });
    ASSERT_EQ(calls, 2 + 2 * 3); // the record, the entry array, a label and an id per entry
    for (long n = 1; n <= calls; n++) {
        SondrelFailAllocationAt(n);
        EXPECT_EQ(ParseFormList(list.data(), list.size()), nullptr) << n;
        EXPECT_EQ(SondrelLiveBlocks(), liveBefore_) << n;
    }
    FormCatalogueData* whole = ParseFormList(list.data(), list.size());
    ASSERT_NE(whole, nullptr);
    EXPECT_EQ(whole->count, 3);
    ReleaseFormCatalogue(whole);
}

// ---- helpers for any size ------------------------------------------------------------------------

TEST(HelpersForAnySize, DateAndAgeWithNoRoomWriteNothing) {
    char guard[4] = {'x', 'y', 'z', 0};
    EXPECT_EQ(FormatPackedDate(guard, 0, MakePackedDate(4, 3, 2007)), 0);
    EXPECT_EQ(FormatAge(guard, 0, 45u << 16 | 11u << 8), 0);
    EXPECT_STREQ(guard, "xyz");
    EXPECT_EQ(FormatPackedDate(nullptr, 11, 0), 0);
    EXPECT_EQ(FormatAge(nullptr, 20, 0), 0);
    // A one-byte buffer holds the empty text; a short one the start of the date; a word of any
    // value stays within the buffer.
    char one[1] = {'q'};
    EXPECT_EQ(FormatPackedDate(one, 1, MakePackedDate(4, 3, 2007)), 0);
    EXPECT_EQ(one[0], 0);
    char small[6];
    EXPECT_EQ(FormatPackedDate(small, sizeof small, MakePackedDate(4, 3, 2007)), 5);
    EXPECT_STREQ(small, "04/03");
    EXPECT_EQ(FormatAge(small, sizeof small, 45u << 16 | 11u << 8), 5);
    EXPECT_STREQ(small, "45 an");
    for (uint32_t word : {0u, 1u, 0xFFFFFFFFu, 0x7FFF1F0Cu, 0x80000000u}) {
        std::vector<char> exact(11);
        EXPECT_LE(FormatPackedDate(exact.data(), exact.size(), word), 10);
        EXPECT_LE(FormatAge(exact.data(), exact.size(), word), 10);
    }
}

TEST(HelpersForAnySize, ParseFormListWithoutTextIsAnEmptyCatalogue) {
    for (size_t size : {(size_t)0, (size_t)12}) {
        FormCatalogueData* catalogue = ParseFormList(nullptr, size);
        ASSERT_NE(catalogue, nullptr);
        EXPECT_EQ(catalogue->count, 0);
        ReleaseFormCatalogue(catalogue);
    }
    FormCatalogueData* empty = ParseFormList("", 0);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->count, 0);
    ReleaseFormCatalogue(empty);
}

// ---- mend: a read error part-way through an import file ------------------------------------------

// Hands out `text` in chunks of `chunk` bytes; the read numbered `failAt` (1 = the first) fails.
struct FailingSource {
    std::string text;
    int chunk;
    int failAt;
    size_t pos = 0;
    int reads = 0;
};

int ReadFailing(void* context, char* buf, int size) {
    FailingSource* s = (FailingSource*)context;
    if (++s->reads == s->failAt) return -1;
    size_t n = std::min((size_t)std::min(size, s->chunk), s->text.size() - s->pos);
    memcpy(buf, s->text.data() + s->pos, n);
    s->pos += n;
    return (int)n;
}

std::vector<std::string> ReadAllLines(ImportLineReader* reader) {
    std::vector<std::string> lines;
    char line[IMPORT_LINE_SIZE];
    int tooLong = 0;
    for (int length; (length = ReadImportLine(reader, line, sizeof line, &tooLong)) >= 0;)
        lines.push_back(std::string(line, (size_t)length));
    return lines;
}

TEST(ImportReadError, StopsAtTheErrorAndDropsTheCutLine) {
    // Chunks of 10 bytes: the third read fails after "cc" of the third line.
    FailingSource source{"aaaa\r\nbbbbbbbbbb\r\ncccccccccc\r\ndddd\r\n", 10, 3};
    ImportLineReader* reader = new ImportLineReader;
    ImportReaderStart(reader, ReadFailing, &source);
    EXPECT_EQ(ReadAllLines(reader), std::vector<std::string>({"aaaa", "bbbbbbbbbb"}));
    EXPECT_EQ(reader->failed, 1);
    delete reader;

    // The end of the file is no error: the same file read whole.
    FailingSource whole{source.text, 10, 0};
    reader = new ImportLineReader;
    ImportReaderStart(reader, ReadFailing, &whole);
    EXPECT_EQ(ReadAllLines(reader), std::vector<std::string>({"aaaa", "bbbbbbbbbb", "cccccccccc", "dddd"}));
    EXPECT_EQ(reader->failed, 0);

    // A last line without CR LF is still returned at the end of the file, not after an error.
    FailingSource unended{"aaaa\r\nbbb", 6, 0};
    ImportReaderStart(reader, ReadFailing, &unended);
    EXPECT_EQ(ReadAllLines(reader), std::vector<std::string>({"aaaa", "bbb"}));
    FailingSource cut{"aaaa\r\nbbb", 6, 2};
    ImportReaderStart(reader, ReadFailing, &cut);
    EXPECT_EQ(ReadAllLines(reader), std::vector<std::string>({"aaaa"}));
    EXPECT_EQ(reader->failed, 1);

    // A first read that fails gives no line at all, not even the header.
    FailingSource first{"aaaa\r\n", 10, 1};
    ImportReaderStart(reader, ReadFailing, &first);
    EXPECT_TRUE(ReadAllLines(reader).empty());
    EXPECT_EQ(reader->failed, 1);
    delete reader;
}

// ---- mend: TAB, CR and LF inside a tab-separated cell --------------------------------------------

int AppendToString(void* context, const char* bytes, size_t n) {
    ((std::string*)context)->append(bytes, n);
    return 1;
}

class TabbedCells : public Reliability {};

TEST_F(TabbedCells, ControlBytesInACellAreWrittenAsSpacesAndTheRowComesBack) {
    std::string file;
    ExportSink sink = {AppendToString, &file, 0};
    const char* cells[9] = {"12",           "DUPONT \xc9lodie", "45 ans 11 m",    "3",
                            "02/01/2004",   "20/11/2006",       "Dr\tA;Dr\rB\nC", "1\t23",
                            "R\xe9gime\r\n"};
    for (const char* text : cells) {
        char cell[EXPORT_CELL_SIZE];
        snprintf(cell, sizeof cell, "%s", text);
        WriteExportCell(&sink, cell, EXPORT_EXCEL, 80);
    }
    WriteExportRowEnd(&sink, EXPORT_EXCEL);
    EXPECT_EQ(file, "12\tDUPONT \xc9lodie\t45 ans 11 m\t3\t02/01/2004\t20/11/2006\tDr A;Dr B C\t1 23\t"
                    "R\xe9gime  \t\r\n");

    // Read back as the import reads it: one line, applied whole.
    FailingSource source{file, IMPORT_CHUNK_SIZE, 0};
    ImportLineReader* reader = new ImportLineReader;
    ImportReaderStart(reader, ReadFailing, &source);
    std::vector<std::string> lines = ReadAllLines(reader);
    delete reader;
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(ApplyImportLine(lines[0].data(), (int)lines[0].size(), 0, IMPORT_ADD, HostName, nullptr),
              IMPORT_LINE_APPLIED);
    PatientHits* r = Results.PatientHitsTable[12];
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->occurrenceCount, 3);
    EXPECT_EQ(r->firstDate, MakePackedDate(2, 1, 2004));
    EXPECT_EQ(r->lastDate, MakePackedDate(20, 11, 2006));
    EXPECT_STREQ(r->authors, "Dr A;Dr B C");
}

// ---- one seam: no product source reaches the heap another way ------------------------------------

// The product's sources with comments and literals blanked out.
std::string CodeOnly(const std::string& source) {
    std::string code = source;
    enum { CODE, LINE, BLOCK, STRING, CHAR } state = CODE;
    for (size_t i = 0; i < code.size(); i++) {
        char c = code[i], next = i + 1 < code.size() ? code[i + 1] : 0;
        switch (state) {
        case CODE:
            if (c == '/' && next == '/')
                state = LINE;
            else if (c == '/' && next == '*')
                state = BLOCK;
            else if (c == '"')
                state = STRING;
            else if (c == '\'')
                state = CHAR;
            else
                continue;
            code[i] = ' ';
            continue;
        case LINE:
            if (c == '\n') state = CODE;
            break;
        case BLOCK:
            if (c == '*' && next == '/') {
                code[i] = code[i + 1] = ' ';
                i++;
                state = CODE;
                continue;
            }
            break;
        case STRING:
        case CHAR:
            if (c == '\\') {
                code[i] = ' ';
                if (i + 1 < code.size()) code[++i] = ' ';
                continue;
            }
            if (c == (state == STRING ? '"' : '\'')) {
                code[i] = ' ';
                state = CODE;
                continue;
            }
            break;
        }
        if (c != '\n') code[i] = ' ';
    }
    return code;
}

TEST(OneAllocationSeam, NoProductSourceAllocatesOutsideIt) {
    EXPECT_EQ(CodeOnly("a /* malloc( */ b // free(\n\"calloc(\" c"),
              "a               b         \n          c");
    const std::regex forbidden(
        "\\b(malloc|calloc|realloc|free|strdup|_strdup|GlobalAlloc|GlobalReAlloc|LocalAlloc|LocalReAlloc|"
        "LocalFree|HeapAlloc|HeapReAlloc|HeapFree|VirtualAlloc|CoTaskMemAlloc)\\s*\\(|\\bnew\\b|\\bdelete\\b|"
        "std::(vector|string|map|unique_ptr|make_unique|list|deque)\\b");
    const char* folders[] = {"base", "app", "host", "search", "results", "exchange", "catalogue"};
    int scanned = 0;
    for (const char* folder : folders) {
        std::string listing = std::string("ls ") + SONDREL_SOURCE_DIR + "/" + folder + " 2>/dev/null";
        FILE* pipe = popen(listing.c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        char name[256];
        while (fgets(name, sizeof name, pipe) != nullptr) {
            std::string file = name;
            file.erase(file.find_last_not_of("\r\n") + 1);
            bool source = file.size() > 4 && (file.compare(file.size() - 4, 4, ".cpp") == 0 ||
                                              file.compare(file.size() - 2, 2, ".h") == 0);
            if (!source || (std::string(folder) == "base" && file.compare(0, 6, "alloc.") == 0)) continue;
            std::ifstream in(std::string(SONDREL_SOURCE_DIR) + "/" + folder + "/" + file, std::ios::binary);
            std::stringstream text;
            text << in.rdbuf();
            std::string code = CodeOnly(text.str());
            std::smatch found;
            if (std::regex_search(code, found, forbidden)) {
                size_t line = 1 + (size_t)std::count(code.begin(), code.begin() + found.position(0), '\n');
                ADD_FAILURE() << folder << "/" << file << ":" << line << ": " << found.str(0);
            }
            scanned++;
        }
        pclose(pipe);
    }
    EXPECT_GT(scanned, 40);
}

} // namespace
