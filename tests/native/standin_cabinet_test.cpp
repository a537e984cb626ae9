/* Stand-in host: the cabinet reader on small hand-written cabinets. Each test writes its files into
 * a fresh temporary directory and loads them with the same code the stand-in DLL uses. */
#include "standin/core/cabinet.h"

#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

class StandinCabinet : public ::testing::Test {
  protected:
    void SetUp() override {
        char tmpl[] = "/tmp/standin-cab-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        CabInit(&cab_);
    }
    void TearDown() override {
        CabFree(&cab_);
        for (const std::string& f : files_)
            unlink(f.c_str());
        rmdir(dir_.c_str());
    }
    std::string Write(const char* name, const std::string& bytes) {
        std::string path = dir_ + "/" + name;
        FILE* f = fopen(path.c_str(), "wb");
        EXPECT_NE(f, nullptr);
        if (f != nullptr) {
            fwrite(bytes.data(), 1, bytes.size(), f);
            fclose(f);
        }
        files_.push_back(path);
        return path;
    }
    int Load(const std::string& bytes) { return CabLoad(&cab_, Write("cabinet.txt", bytes).c_str()); }
    std::string Text(int index, uint32_t key) {
        const CabEntry* e = CabFindEntry(&cab_, index, key);
        if (e == nullptr) return "<none>";
        std::vector<char> buf(e->bodyLength + 1);
        long n = CabReadText(&cab_, e, buf.data());
        if (n < 0) return "<error>";
        EXPECT_EQ(strlen(buf.data()), (size_t)n);
        return std::string(buf.data(), (size_t)n);
    }
    std::vector<uint32_t> WalkKeys(int index) {
        std::vector<uint32_t> keys;
        for (long i = 0;; i++) {
            const CabEntry* e = CabWalkEntry(&cab_, index, i);
            if (e == nullptr) break;
            keys.push_back(e->key);
        }
        return keys;
    }
    std::string dir_;
    std::vector<std::string> files_;
    Cabinet cab_;
};

const char* kSmall = "HDCAB 1\n"
                     "# a comment\n"
                     "\n"
                     "TODAY 08/12/2026\n"
                     "PASS secret\n"
                     "P 1234|DUPONT|\xC9lodie|12/03/1961|2 61 03 75 123 456 78\n"
                     "P 77|MARTIN|Paul|0|\n"
                     "S 90001|1234|01\n"
                     "X 90002|1234|3\n"
                     "E 90003|1234|12\n"
                     "D 39|5001|7|1234|15/03/2005|1A2B|Dr Martin\n"
                     "<text>Doliprane 1000 mg</text><rtf>{\\rtf1\\ansi Doliprane}</rtf>\n"
                     ".\n"
                     "D 284|77|6|1234|0|0|Dr Martin\n"
                     "<TEXT>Cher confr\xE8re\n"
                     "..signature\n"
                     ".\n"
                     "D 282|78|7|77|01/01/2000|ffffffff|Dr Who\n"
                     ".\n";

TEST_F(StandinCabinet, LoadsEveryKindOfLine) {
    ASSERT_EQ(Load(kSmall), 1);
    EXPECT_EQ(cab_.today, MakePackedDate(8, 12, 2026));
    EXPECT_EQ(cab_.hasPass, 1);
    EXPECT_STREQ(cab_.pass, "secret");
    EXPECT_EQ(cab_.linesSkipped, 0u);

    const CabPatient* p = CabFindPatient(&cab_, 1234);
    ASSERT_NE(p, nullptr);
    EXPECT_STREQ(p->lastName, "DUPONT");
    EXPECT_STREQ(p->firstName, "\xC9lodie");
    EXPECT_EQ(p->birth, MakePackedDate(12, 3, 1961));
    EXPECT_STREQ(p->ssNumber, "2 61 03 75 123 456 78");
    ASSERT_NE(CabFindPatient(&cab_, 77), nullptr);
    EXPECT_EQ(CabFindPatient(&cab_, 77)->birth, 0u);
    EXPECT_EQ(CabFindPatient(&cab_, 78), nullptr);

    const CabEntry* s = CabFindEntry(&cab_, 39, 90001);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->kind, 'S');
    EXPECT_EQ(s->type, 30);
    EXPECT_STREQ(s->text, "01");
    const CabEntry* x = CabFindEntry(&cab_, 39, 90002);
    ASSERT_NE(x, nullptr);
    EXPECT_EQ(x->type, 31);
    EXPECT_EQ(x->code, 3);
    ASSERT_NE(CabFindEntry(&cab_, 39, 90003), nullptr);
    EXPECT_EQ(CabFindEntry(&cab_, 39, 90003)->type, 12);

    const CabEntry* d = CabFindEntry(&cab_, 39, 5001);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->type, 7);
    EXPECT_EQ(d->patient, 1234);
    EXPECT_EQ(d->date, MakePackedDate(15, 3, 2005));
    EXPECT_EQ(d->stamp, 0x1A2Bu);
    EXPECT_STREQ(d->text, "Dr Martin");
    EXPECT_EQ(Text(39, 5001), "<text>Doliprane 1000 mg</text><rtf>{\\rtf1\\ansi Doliprane}</rtf>");
    EXPECT_EQ(Text(284, 77), "<TEXT>Cher confr\xE8re\n.signature");
    EXPECT_EQ(Text(282, 78), "");
    EXPECT_EQ(CabFindEntry(&cab_, 282, 78)->stamp, 0xFFFFFFFFu);

    /* Keys belong to their own index only. */
    EXPECT_EQ(CabFindEntry(&cab_, 39, 77), nullptr);
    EXPECT_EQ(CabFindEntry(&cab_, 282, 77), nullptr);
    EXPECT_EQ(CabFindEntry(&cab_, 40, 5001), nullptr);
    EXPECT_EQ(CabFindEntry(&cab_, 39, 0), nullptr);
}

TEST_F(StandinCabinet, CrLfAndLfFilesGiveTheSameRecordsAndKeepBodyLineEnds) {
    std::string crlf;
    for (const char* c = kSmall; *c; c++) {
        if (*c == '\n') crlf += '\r';
        crlf += *c;
    }
    ASSERT_EQ(Load(crlf), 1);
    EXPECT_EQ(cab_.linesSkipped, 0u);
    EXPECT_STREQ(cab_.pass, "secret");
    EXPECT_STREQ(CabFindPatient(&cab_, 1234)->ssNumber, "2 61 03 75 123 456 78");
    EXPECT_STREQ(CabFindEntry(&cab_, 39, 5001)->text, "Dr Martin");
    /* The body keeps its own CR LF, without the one before the final ".". */
    EXPECT_EQ(Text(284, 77), "<TEXT>Cher confr\xE8re\r\n.signature");
    EXPECT_EQ(Text(39, 5001), "<text>Doliprane 1000 mg</text><rtf>{\\rtf1\\ansi Doliprane}</rtf>");
}

TEST_F(StandinCabinet, BodyKeepsRecordLookingLinesBlankLinesAndStuffedDots) {
    ASSERT_EQ(Load("HDCAB 1\n"
                   "D 39|1|6|5|0|0|a\n"
                   "P 99|NOT|A PATIENT|0|\n"
                   "# not a comment\n"
                   "\n"
                   "...\n"
                   ". \n"
                   "..\n"
                   "\n"
                   ".\n"
                   "D 39|2|6|5|0|0|b\n"
                   "x.\n"
                   ".\r\n"),
              1);
    EXPECT_EQ(CabFindPatient(&cab_, 99), nullptr);
    EXPECT_EQ(Text(39, 1), "P 99|NOT|A PATIENT|0|\n# not a comment\n\n..\n \n.\n");
    EXPECT_EQ(Text(39, 2), "x.");
    EXPECT_EQ(cab_.linesSkipped, 0u);
}

TEST_F(StandinCabinet, MissingFinalDotEndsTheBodyAtEndOfFile) {
    ASSERT_EQ(Load("HDCAB 1\nD 39|1|6|5|0|0|a\nline one\nline two\n"), 1);
    EXPECT_EQ(Text(39, 1), "line one\nline two");
    ASSERT_EQ(Load("HDCAB 1\nD 39|1|6|5|0|0|a\nno line end"), 1);
    EXPECT_EQ(Text(39, 1), "no line end");
    ASSERT_EQ(Load("HDCAB 1\r\nD 284|9|6|5|0|0|a"), 1);
    EXPECT_EQ(Text(284, 9), "");
}

TEST_F(StandinCabinet, MalformedLinesAreSkippedAndBrokenHeadersSwallowTheirBody) {
    ASSERT_EQ(Load("HDCAB 1\n"
                   "P abc|X|Y|0|\n"        /* number */
                   "P 5|X|Y|31/02|\n"      /* date */
                   "P 6|X|Y\n"             /* fields */
                   "P 7|X|Y|32/01/2000|\n" /* day */
                   "P 8|X|Y|01/13/2000|\n" /* month */
                   "S 0|1|01\n"            /* key 0 */
                   "S 4294967296|1|01\n"   /* key over 32 bits */
                   "X 3|1|three\n"         /* code */
                   "E 4|1|70000\n"         /* type */
                   "Q something\n"         /* unknown */
                   "TODAY yesterday\n"
                   "D 40|1|6|5|0|0|bad index\n"
                   "P 100|INSIDE|BODY|0|\n"
                   ".\n"
                   "D 39|2|6|5|0|xyz|bad stamp\n"
                   "S 11|5|01\n"
                   ".\n"
                   "D 39|3|6|5|1/2/3|0|short date\n"
                   "body\n"
                   ".\n"
                   "P 9|GOOD|ONE|0|\n"),
              1);
    EXPECT_EQ(cab_.linesSkipped, 13u);
    EXPECT_EQ(cab_.today, 0u);
    EXPECT_EQ(CabFindPatient(&cab_, 100), nullptr);
    EXPECT_EQ(CabFindEntry(&cab_, 39, 11), nullptr);
    EXPECT_EQ(CabFindEntry(&cab_, 39, 2), nullptr);
    ASSERT_NE(CabFindEntry(&cab_, 39, 3), nullptr);
    EXPECT_EQ(CabFindEntry(&cab_, 39, 3)->date, MakePackedDate(1, 2, 3));
    EXPECT_EQ(Text(39, 3), "body");
    ASSERT_NE(CabFindPatient(&cab_, 9), nullptr);
    EXPECT_EQ(cab_.patients.size(), 1u);
    EXPECT_EQ(cab_.folders.walk.size(), 1u);
}

TEST_F(StandinCabinet, RejectsFilesThatAreNotCabinets) {
    EXPECT_EQ(Load(""), 0);
    EXPECT_EQ(Load("HDCAB 2\nP 1|A|B|0|\n"), 0);
    EXPECT_EQ(Load("P 1|A|B|0|\nHDCAB 1\n"), 0);
    EXPECT_EQ(cab_.patients.size(), 0u);
    EXPECT_EQ(CabLoad(&cab_, (dir_ + "/missing.txt").c_str()), 0);
    EXPECT_EQ(CabLoad(&cab_, nullptr), 0);
    /* Comments and blank lines may come before the first line; no PASS line means no pass. */
    ASSERT_EQ(Load("# generated\n\r\nHDCAB 1\r\n"), 1);
    EXPECT_EQ(cab_.hasPass, 0);
    EXPECT_EQ(CabWalkEntry(&cab_, 39, 0), nullptr);
}

TEST_F(StandinCabinet, OversizedFieldsAreCutToTheRecordFields) {
    std::string longName(300, 'N'), longSs(300, '9'), longAuthor(100, 'A'), longCode(40, '7');
    ASSERT_EQ(Load("HDCAB 1\nP 1|" + longName + "|" + longName + "|0|" + longSs + "\nS 2|1|" + longCode +
                   "\nD 39|3|6|1|0|0|" + longAuthor + "\n.\n"),
              1);
    const CabPatient* p = CabFindPatient(&cab_, 1);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(strlen(p->lastName), (size_t)PATIENT_LAST_NAME_SIZE - 1);
    EXPECT_EQ(strlen(p->firstName), (size_t)PATIENT_FIRST_NAME_SIZE - 1);
    EXPECT_EQ(strlen(p->ssNumber), (size_t)PATIENT_SS_NUMBER_SIZE - 1);
    EXPECT_EQ(strlen(CabFindEntry(&cab_, 39, 2)->text), (size_t)INFOSESAM_SCHEME_CODE_SIZE - 1);
    EXPECT_EQ(strlen(CabFindEntry(&cab_, 39, 3)->text), (size_t)HEADER_AUTHOR_SIZE - 1);
    /* The author is the rest of the line, "|" included. */
    ASSERT_EQ(Load("HDCAB 1\nD 39|3|6|1|0|0|Dr A|B\n.\n"), 1);
    EXPECT_STREQ(CabFindEntry(&cab_, 39, 3)->text, "Dr A|B");
}

TEST_F(StandinCabinet, LinesLongerThanTheReadBufferAreHandled) {
    /* A 9 MB body line spans several read chunks; the record after it still loads. */
    std::string big(9 << 20, 'z');
    big[0] = '.';
    big[1] = '.';
    std::string text = "HDCAB 1\nD 39|1|6|5|0|0|a\nfirst\n" + big + "\r\nlast\n.\nP 3|A|B|0|\n";
    ASSERT_EQ(Load(text), 1);
    const CabEntry* e = CabFindEntry(&cab_, 39, 1);
    ASSERT_NE(e, nullptr);
    std::string body = Text(39, 1);
    ASSERT_EQ(body.size(), 6 + (big.size() - 1) + 2 + 4);
    EXPECT_EQ(body.substr(0, 7), "first\n.");
    EXPECT_EQ(body.substr(body.size() - 7), "z\r\nlast");
    EXPECT_NE(CabFindPatient(&cab_, 3), nullptr);
    /* An over-long record line is skipped, not cut. */
    ASSERT_EQ(Load("HDCAB 1\nP 4|" + std::string(5 << 20, 'n') + "|B|0|\nP 5|A|B|0|\n"), 1);
    EXPECT_EQ(CabFindPatient(&cab_, 4), nullptr);
    EXPECT_NE(CabFindPatient(&cab_, 5), nullptr);
    EXPECT_EQ(cab_.linesSkipped, 1u);
}

TEST_F(StandinCabinet, ClosingAndStuffedLinesAcrossReadChunkBoundaries) {
    /* The reader fills a 4 MB buffer; put the closing ".\r\n" (or a stuffed line) at each position
     * around the end of the first fill. */
    const size_t chunk = 4u << 20;
    const std::string head = "HDCAB 1\nD 39|1|6|5|0|0|a\n";
    for (size_t k = 0; k <= 4; k++) {
        for (int stuffedLast = 0; stuffedLast <= 1; stuffedLast++) {
            size_t fill = chunk - k - head.size();
            std::string filler;
            filler.reserve(fill);
            while (filler.size() + 100 <= fill)
                filler += std::string(99, 'x') + "\n";
            if (filler.size() < fill) filler += std::string(fill - filler.size() - 1, 'y') + "\n";
            ASSERT_EQ(head.size() + filler.size(), chunk - k);
            std::string tail = stuffedLast ? "..z\r\n.\r\nP 3|A|B|0|\n" : ".\r\nP 3|A|B|0|\n";
            ASSERT_EQ(Load(head + filler + tail), 1) << k;
            std::string expected = stuffedLast ? filler + ".z" : filler.substr(0, filler.size() - 1);
            EXPECT_EQ(Text(39, 1) == expected, true) << "k=" << k << " stuffed=" << stuffedLast;
            EXPECT_NE(CabFindPatient(&cab_, 3), nullptr) << k;
            EXPECT_EQ(cab_.linesSkipped, 0u);
        }
    }
}

TEST_F(StandinCabinet, WalkOrderIsKeyTextOrderAndLookupsFindEveryEntry) {
    ASSERT_EQ(Load("HDCAB 1\n"
                   "X 10|2|1\n"
                   "D 39|900|6|2|0|0|a\n.\n"
                   "S 11|2|01\n"
                   "D 39|5|7|10|0|0|a\n.\n"
                   "E 30|1|12\n"
                   "D 39|4000000000|6|2|0|0|a\n.\n"
                   "D 39|7|6|2|0|0|a\n.\n"
                   "S 12|1|02\n"
                   "D 282|50|7|3|0|0|a\n.\n"
                   "D 282|40|7|20|0|0|a\n.\n"
                   "D 282|60|7|3|0|0|a\n.\n"
                   "D 284|50|6|1|0|0|a\n.\n"),
              1);
    /* D0000001.. < D0000002.. (keys as 10-digit text) < D0000010.. < S0000001 < S0000002 < X0000002 */
    EXPECT_EQ(WalkKeys(39), (std::vector<uint32_t>{30, 7, 900, 4000000000u, 5, 12, 11, 10}));
    EXPECT_EQ(WalkKeys(282), (std::vector<uint32_t>{50, 60, 40}));
    EXPECT_EQ(WalkKeys(284), (std::vector<uint32_t>{50}));
    EXPECT_EQ(WalkKeys(283), (std::vector<uint32_t>{}));

    char text[CAB_KEY_TEXT_SIZE];
    CabKeyText(text, sizeof text, CabFindEntry(&cab_, 39, 900));
    EXPECT_STREQ(text, "D00000020000000900");
    CabKeyText(text, sizeof text, CabFindEntry(&cab_, 282, 40));
    EXPECT_STREQ(text, "00000200000000040");
    CabSesamKeyText(text, sizeof text, 1);
    EXPECT_STREQ(text, "S0000001");
    EXPECT_EQ(CabFindKeyText(&cab_, 39, text), 5);
    CabExtensionsKeyText(text, sizeof text, 2);
    EXPECT_STREQ(text, "X0000002");
    EXPECT_EQ(CabFindKeyText(&cab_, 39, text), 7);
    CabExtensionsKeyText(text, sizeof text, 1);
    EXPECT_EQ(CabFindKeyText(&cab_, 39, text), -1);
    EXPECT_EQ(CabFindKeyText(&cab_, 39, "D00000020000000900"), 2);
    EXPECT_EQ(CabFindKeyText(&cab_, 282, "00000200000000040"), 2);
    EXPECT_EQ(CabFindKeyText(&cab_, 39, ""), -1);
    EXPECT_EQ(CabFindKeyText(&cab_, 39, "ZZZ"), -1);
    EXPECT_EQ(CabFindKeyText(&cab_, 39, nullptr), -1);
    EXPECT_EQ(CabFindKeyText(&cab_, 1, "S0000001"), -1);
    for (uint32_t key : WalkKeys(39))
        ASSERT_NE(CabFindEntry(&cab_, 39, key), nullptr) << key;
    EXPECT_EQ(CabWalkEntry(&cab_, 39, -1), nullptr);
    EXPECT_EQ(CabWalkEntry(&cab_, 39, 8), nullptr);
    /* Short key-text buffers are cut, never overrun. */
    char tiny[4] = {'x', 'x', 'x', 'x'};
    CabKeyText(tiny, 3, CabFindEntry(&cab_, 39, 900));
    EXPECT_STREQ(tiny, "D0");
    EXPECT_EQ(tiny[3], 'x');
}

TEST_F(StandinCabinet, PatientNumbersBeyondSevenDigitsStillWalkInKeyTextOrder) {
    ASSERT_EQ(Load("HDCAB 1\n"
                   "D 39|1|6|12345678|0|0|a\n.\n"
                   "D 39|2|6|2|0|0|a\n.\n"
                   "D 39|3|6|-5|0|0|a\n.\n"
                   "S 4|-5|01\n"
                   "D 39|5|6|1000000|0|0|a\n.\n"),
              1);
    /* "D-000005…" < "D0000002…" < "D1000000…" < "D12345678…" < "S-000005" */
    EXPECT_EQ(WalkKeys(39), (std::vector<uint32_t>{3, 2, 5, 1, 4}));
    char text[CAB_KEY_TEXT_SIZE];
    CabKeyText(text, sizeof text, CabFindEntry(&cab_, 39, 1));
    EXPECT_STREQ(text, "D123456780000000001");
    EXPECT_EQ(CabFindKeyText(&cab_, 39, text), 3);
    CabKeyText(text, sizeof text, CabFindEntry(&cab_, 39, 3));
    EXPECT_STREQ(text, "D-0000050000000003");
    EXPECT_EQ(CabFindKeyText(&cab_, 39, text), 0);
    CabSesamKeyText(text, sizeof text, -5);
    EXPECT_EQ(CabFindKeyText(&cab_, 39, text), 4);
}

TEST_F(StandinCabinet, DuplicateKeysAndPatientsKeepTheFirst) {
    ASSERT_EQ(Load("HDCAB 1\n"
                   "P 1|FIRST|A|0|\n"
                   "P 1|SECOND|B|0|\n"
                   "D 39|5|6|1|0|0|first\nA\n.\n"
                   "E 5|1|9\n"
                   "D 39|5|7|1|0|0|third\nC\n.\n"
                   "D 282|5|7|1|0|0|other index\nD\n.\n"),
              1);
    EXPECT_STREQ(CabFindPatient(&cab_, 1)->lastName, "FIRST");
    EXPECT_EQ(Text(39, 5), "A");
    EXPECT_EQ(CabFindEntry(&cab_, 39, 5)->type, 6);
    EXPECT_EQ(Text(282, 5), "D");
    EXPECT_EQ(WalkKeys(39).size(), 1u);
    EXPECT_EQ(cab_.duplicatesDropped, 3u);
}

TEST_F(StandinCabinet, WrittenBodiesReadBackUnchanged) {
    const std::vector<std::string> texts = {
        "",     "\n",      "plain",       ".",        "..",
        ".\n.", "a\n.\nb", "a\r\n.b\r\n", "line\n\n", "\xE9t\xE9\n.\xE0 la ligne",
    };
    std::string path = dir_ + "/written.txt";
    files_.push_back(path);
    for (int crlf = 0; crlf <= 1; crlf++) {
        FILE* f = fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        fputs("HDCAB 1\n", f);
        for (size_t i = 0; i < texts.size(); i++) {
            fprintf(f, "D 284|%u|6|1|0|0|x\n", (unsigned)(i + 1));
            ASSERT_EQ(CabWriteBody(f, texts[i].data(), texts[i].size(), crlf), 1);
        }
        fclose(f);
        ASSERT_EQ(CabLoad(&cab_, path.c_str()), 1);
        for (size_t i = 0; i < texts.size(); i++)
            EXPECT_EQ(Text(284, (uint32_t)(i + 1)), texts[i]) << i;
    }
}

TEST_F(StandinCabinet, ReadingAfterFreeOrFromAnotherEntryKindFails) {
    ASSERT_EQ(Load("HDCAB 1\nS 1|1|01\nD 39|2|6|1|0|0|a\nbody\n.\n"), 1);
    char buf[64];
    EXPECT_EQ(CabReadText(&cab_, CabFindEntry(&cab_, 39, 1), buf), -1);
    EXPECT_EQ(CabReadText(&cab_, nullptr, buf), -1);
    const CabEntry copy = *CabFindEntry(&cab_, 39, 2);
    CabFree(&cab_);
    EXPECT_EQ(CabReadText(&cab_, &copy, buf), -1);
    CabFree(&cab_); /* twice is harmless */
}

TEST(StandinDates, ParseAndFormat) {
    PackedDate d = 1;
    EXPECT_EQ(CabParseDate("01/01/2000", 10, &d), 1);
    EXPECT_EQ(d, MakePackedDate(1, 1, 2000));
    EXPECT_EQ(CabParseDate("1/2/3", 5, &d), 1);
    EXPECT_EQ(d, MakePackedDate(1, 2, 3));
    EXPECT_EQ(CabParseDate("0", 1, &d), 1);
    EXPECT_EQ(d, 0u);
    d = 5;
    for (const char* bad :
         {"", "00", "00/01/2000", "01/00/2000", "32/01/2000", "01/13/2000", "01/01/0", "01/01/10000",
          "001/01/2000", "01/01", "a1/01/2000", "01/01/2000x", "-1/01/2000", "01//2000", "01/01/"}) {
        EXPECT_EQ(CabParseDate(bad, strlen(bad), &d), 0) << bad;
    }
    EXPECT_EQ(d, 5u);
    /* Only the given length is read. */
    EXPECT_EQ(CabParseDate("01/01/20001", 10, &d), 1);
    EXPECT_EQ(d, MakePackedDate(1, 1, 2000));
    char out[16];
    CabFormatDate(out, sizeof out, MakePackedDate(4, 3, 2007));
    EXPECT_STREQ(out, "04/03/2007");
    CabFormatDate(out, sizeof out, 0);
    EXPECT_STREQ(out, "0");
    /* Chronological order is unsigned order. */
    EXPECT_LT(MakePackedDate(31, 12, 1999), MakePackedDate(1, 1, 2000));
}

TEST(StandinDates, AgeCountsWholeYearsAndMonthsByDayOfMonth) {
    auto age = [](unsigned bd, unsigned bm, unsigned by, unsigned td, unsigned tm, unsigned ty) {
        uint32_t w = CabAge(MakePackedDate(bd, bm, by), MakePackedDate(td, tm, ty));
        return std::make_pair(AgeYears(w), AgeMonths(w));
    };
    EXPECT_EQ(age(12, 3, 1961, 8, 12, 2026), std::make_pair(65u, 8u));
    EXPECT_EQ(age(8, 12, 1961, 8, 12, 2026), std::make_pair(65u, 0u));  /* birthday today */
    EXPECT_EQ(age(9, 12, 1961, 8, 12, 2026), std::make_pair(64u, 11u)); /* birthday tomorrow */
    EXPECT_EQ(age(31, 1, 2020, 29, 2, 2020), std::make_pair(0u, 0u));
    EXPECT_EQ(age(31, 1, 2020, 1, 3, 2020), std::make_pair(0u, 1u));
    EXPECT_EQ(age(15, 9, 2025, 8, 3, 2026), std::make_pair(0u, 5u));
    EXPECT_EQ(age(1, 1, 2000, 31, 12, 2000), std::make_pair(0u, 11u));
    EXPECT_EQ(age(29, 2, 2000, 28, 2, 2001), std::make_pair(0u, 11u));
    EXPECT_EQ(age(29, 2, 2000, 1, 3, 2001), std::make_pair(1u, 0u));
    EXPECT_EQ(age(8, 12, 2026, 8, 12, 2026), std::make_pair(0u, 0u));
    /* No birth date, no today, or a birth in the future: 0. */
    EXPECT_EQ(CabAge(0, MakePackedDate(8, 12, 2026)), 0u);
    EXPECT_EQ(CabAge(MakePackedDate(1, 1, 2000), 0), 0u);
    EXPECT_EQ(CabAge(MakePackedDate(9, 12, 2026), MakePackedDate(8, 12, 2026)), 0u);
    /* Words that are not dates still give a bounded month count. */
    EXPECT_LT(AgeMonths(CabAge(MakePackedDate(1, 0, 2000), MakePackedDate(1, 200, 2001))), 12u);
    /* Only bits 8-15 and 16-31 are used. */
    EXPECT_EQ(CabAge(MakePackedDate(1, 1, 1900), MakePackedDate(2, 2, 2000)) & 0xFFu, 0u);
}

TEST_F(StandinCabinet, PassTableLinesAreHandedOutAsWritten) {
    std::string path = Write("passes.txt", "# pass table\n"
                                           "CAB1|secret|Cabinet Un\r\n"
                                           "\n"
                                           "no separator here\n"
                                           "Dir2|pw\n"
                                           "DIR3|waytoolongpassword|Caf\xE9|with bar\n");
    std::vector<CabPass> passes;
    ASSERT_EQ(CabLoadPasses(path.c_str(), &passes), 1);
    ASSERT_EQ(passes.size(), 3u);
    EXPECT_STREQ(passes[0].directory, "CAB1");
    EXPECT_STREQ(passes[0].pass, "secret");
    EXPECT_STREQ(passes[0].name, "Cabinet Un");
    EXPECT_STREQ(passes[1].directory, "Dir2");
    EXPECT_STREQ(passes[1].pass, "pw");
    EXPECT_STREQ(passes[1].name, "");
    EXPECT_STREQ(passes[2].pass, "waytoolongpa"); /* cut to the pass field */
    EXPECT_STREQ(passes[2].name, "Caf\xE9|with bar");
    EXPECT_EQ(CabLoadPasses((dir_ + "/none.txt").c_str(), &passes), 0);
    EXPECT_TRUE(passes.empty());
}

} // namespace
