/* Fold table and FindFolded. The expected table is stated independently of the program's own
 * ranges: as Windows-1252 text typed letter by letter (the compiler turns these literals into
 * 1252 bytes), checked against byte values where it matters. */
#include "search_test_support.h"

#include <stdio.h>
#include <string.h>

#include <set>

namespace {

struct FoldGroup {
    const char* letters; /* every character that folds to `to` */
    size_t count;        /* how many bytes that is, guarding against a wrong execution charset */
    char to;
};

const FoldGroup kFolded[] = {
    {"ÀÁÂÃÄÅàáâãäå", 12, 'a'}, {"Çç", 2, 'c'},  {"ÈÉÊËèéêë", 8, 'e'},
    {"ÌÍÎÏìíîï", 8, 'i'},      {"Ññ", 2, 'n'},  {"ÒÓÔÕÖòóôõö", 10, 'o'},
    {"ÙÚÛÜùúûü", 8, 'u'},      {"Ýýÿ", 3, 'y'},
};

/* Letters that must not fold, and so map to themselves. */
const char kUnfolded[] = "ÆæÐð×÷ØøÞþßŠšŒœŽžŸ";

class FoldTableTest : public SearchTest {};

TEST_F(FoldTableTest, AccentedLettersFoldToTheirPlainSmallLetter) {
    size_t total = 0;
    for (const FoldGroup& g : kFolded) {
        ASSERT_EQ(strlen(g.letters), g.count) << g.to;
        for (size_t i = 0; i < g.count; i++) {
            unsigned char b = (unsigned char)g.letters[i];
            EXPECT_EQ(Folding.FoldTable[b], (unsigned char)g.to) << "byte 0x" << std::hex << (int)b;
        }
        total += g.count;
    }
    EXPECT_EQ(total, 53u);
    /* A few byte values spelled out, in case the literals above were mistranslated. */
    EXPECT_EQ(Folding.FoldTable[0xC9], 'e'); /* É */
    EXPECT_EQ(Folding.FoldTable[0xE9], 'e'); /* é */
    EXPECT_EQ(Folding.FoldTable[0xFF], 'y'); /* ÿ */
    EXPECT_EQ(Folding.FoldTable[0xC7], 'c'); /* Ç */
}

TEST_F(FoldTableTest, UnfoldedLettersMapToThemselves) {
    ASSERT_EQ(strlen(kUnfolded), 18u);
    for (const char* p = kUnfolded; *p; p++) {
        unsigned char b = (unsigned char)*p;
        EXPECT_EQ(Folding.FoldTable[b], b) << "byte 0x" << std::hex << (int)b;
    }
    EXPECT_EQ(Folding.FoldTable[0x9C], 0x9C); /* œ */
    EXPECT_EQ(Folding.FoldTable[0x8C], 0x8C); /* Œ */
    EXPECT_EQ(Folding.FoldTable[0x9F], 0x9F); /* Ÿ */
}

TEST_F(FoldTableTest, OnlyCapitalsAndTheAccentedLettersChange) {
    std::set<int> changing;
    for (int c = 'A'; c <= 'Z'; c++)
        changing.insert(c);
    for (const FoldGroup& g : kFolded)
        for (size_t i = 0; i < g.count; i++)
            changing.insert((unsigned char)g.letters[i]);
    ASSERT_EQ(changing.size(), 26u + 53u);
    for (int b = 0; b < 256; b++) {
        if (b >= 'A' && b <= 'Z') {
            EXPECT_EQ(Folding.FoldTable[b], b - 'A' + 'a');
        } else if (changing.count(b) == 0) {
            EXPECT_EQ(Folding.FoldTable[b], b) << "byte " << b << " must map to itself";
        }
        /* Folded values are plain ASCII small letters or unchanged bytes: folding is idempotent,
         * and only byte 0 folds to 0. */
        EXPECT_EQ(Folding.FoldTable[Folding.FoldTable[b]], Folding.FoldTable[b]) << b;
        if (b != 0) {
            EXPECT_NE(Folding.FoldTable[b], 0) << b;
        }
    }
    for (int b = 0x80; b <= 0xBF; b++)
        EXPECT_EQ(Folding.FoldTable[b], b);
    EXPECT_EQ(Folding.FoldTable[0], 0);
}

TEST_F(FoldTableTest, FoldTextInPlaceFoldsUpToTheTerminator) {
    char text[] = "Été À LA Œuvre\0XYZ";
    FoldTextInPlace(text);
    EXPECT_STREQ(text, "ete a la Œuvre");
    EXPECT_EQ(text[15], 'X'); /* past the terminator: untouched */
    FoldTextInPlace(nullptr);
}

/* The 32-byte scan runs exactly where the processor has AVX2 and the system saves its registers,
 * as the system itself reports it (on Linux, the "avx2" flag of /proc/cpuinfo, which the kernel
 * leaves out where it does not save them); elsewhere the tests of FindFoldedWide below would test
 * the 16-byte scan twice without a word. */
TEST_F(FoldTableTest, TheWideScanRunsExactlyWhereTheSystemReportsAvx2) {
    FILE* cpuinfo = fopen("/proc/cpuinfo", "r");
    if (cpuinfo == nullptr) GTEST_SKIP() << "no /proc/cpuinfo";
    bool avx2 = false;
    char line[4096];
    while (!avx2 && fgets(line, sizeof line, cpuinfo) != nullptr)
        if (strncmp(line, "flags", 5) == 0)
            avx2 = strstr(line, " avx2 ") != nullptr || strstr(line, " avx2\n") != nullptr;
    fclose(cpuinfo);
#if defined(__x86_64__) || defined(__i386__)
    EXPECT_EQ(Folding.wideScan != 0, avx2);
#else
    EXPECT_EQ(Folding.wideScan, 0);
#endif
}

typedef const char* (*FindFunction)(const char* text, const char* pattern);

/* Every FindFolded case runs against each implementation and the one the program calls (the 32-byte
 * scan where this processor runs it, else the 16-byte one again). */
class FindFoldedTest : public SearchTest, public ::testing::WithParamInterface<FindFunction> {
  protected:
    const char* FindIn(const char* text, const char* pattern) { return GetParam()(text, pattern); }
    /* Offset of the match of the (unfolded) search text in the text, or -1. */
    long Find(const std::string& text, const std::string& searchText) {
        std::vector<char> t = ExactText(text);
        std::string pattern = Folded(searchText);
        const char* found = FindIn(t.data(), pattern.c_str());
        return found ? (long)(found - t.data()) : -1;
    }
};

INSTANTIATE_TEST_SUITE_P(Paths, FindFoldedTest,
                         ::testing::Values(FindFolded, FindFoldedPortable, FindFoldedVector, FindFoldedWide));

TEST_P(FindFoldedTest, IgnoresCaseAndAccentsOfFoldedLettersOnly) {
    EXPECT_EQ(Find("un été chaud", "ETE"), 3);
    EXPECT_EQ(Find("Été", "ete"), 0);
    EXPECT_EQ(Find("ête", "ETE"), 0);
    EXPECT_EQ(Find("ETE", "été"), 0);
    EXPECT_EQ(Find("Œuvre", "œuvre"), -1);
    EXPECT_EQ(Find("œuvre", "Œuvre"), -1);
    EXPECT_EQ(Find("chef-d'œuvre", "D'œUVRE"), 5);
    EXPECT_EQ(Find("chef-d'œuvre", "D'ŒUVRE"), -1);
    EXPECT_EQ(Find("straße", "strasse"), -1);
    EXPECT_EQ(Find("strasse", "straße"), -1);
    EXPECT_EQ(Find("STRAßE", "straße"), 0);
    EXPECT_EQ(Find("ÿ", "Y"), 0);
    EXPECT_EQ(Find("Ÿ", "y"), -1);
}

TEST_P(FindFoldedTest, FirstMatchAndPositions) {
    EXPECT_EQ(Find("abcabc", "BC"), 1);
    EXPECT_EQ(Find("aaab", "aab"), 1); /* a failed partial match moves on by one byte only */
    EXPECT_EQ(Find("xyz", "z"), 2);    /* at the very end */
    EXPECT_EQ(Find("xyz", "xyz"), 0);
    EXPECT_EQ(Find("xy", "xyz"), -1); /* pattern longer than what is left */
    EXPECT_EQ(Find("", "a"), -1);
    EXPECT_EQ(Find("Zèbre", "z"), 0);
}

TEST_P(FindFoldedTest, EmptyAbsentAndUnfoldedPatterns) {
    EXPECT_EQ(Find("abc", ""), -1);
    EXPECT_EQ(Find("", ""), -1);
    EXPECT_EQ(FindIn(nullptr, "a"), nullptr);
    EXPECT_EQ(FindIn("abc", nullptr), nullptr);
    /* A pattern must be folded: a capital never equals a folded text byte. */
    EXPECT_EQ(FindIn("ABC", "ABC"), nullptr);
    EXPECT_EQ(FindIn("ABC", "abc") != nullptr, true);
}

TEST_P(FindFoldedTest, HighBytesAreLookedUpAsUnsigned) {
    /* Every byte value 1..255 is a text byte that must find itself folded. */
    for (int b = 1; b < 256; b++) {
        char text[3] = {'x', (char)b, 0};
        char pattern[2] = {(char)Folding.FoldTable[b], 0};
        const char* found = FindIn(text, pattern);
        const char* expected = Folding.FoldTable[b] == 'x' ? text : text + 1;
        EXPECT_EQ(found, expected) << b;
    }
}

/* Plain definition: the first start where every pattern byte equals the folded text byte. */
long Reference(const unsigned char* text, size_t length, const std::string& pattern) {
    if (pattern.empty()) return -1;
    for (size_t start = 0; start + pattern.size() <= length; start++) {
        size_t i = 0;
        while (i < pattern.size() && Folding.FoldTable[text[start + i]] == (unsigned char)pattern[i])
            i++;
        if (i == pattern.size()) return (long)start;
    }
    return -1;
}

TEST_P(FindFoldedTest, LongPatternsAcrossBlockEdgesAndTerminatorsInsideABlock) {
    /* Every start offset against 16- and 32-byte blocks, matches straddling blocks, a terminator right
     * after a partial match, and text bytes after the terminator that must not be found. */
    std::string pattern = Folded("Zelmorin 250 mg, à prendre le matin");
    for (size_t offset = 0; offset < 40; offset++) {
        std::vector<char> t(offset, 'x');
        std::string body = "Le Dr MARTIN prescrit ZELMORIN 250 MG, À PRENDRE LE MATIN.";
        t.insert(t.end(), body.begin(), body.end());
        t.push_back(0);
        ASSERT_EQ(FindIn(t.data(), pattern.c_str()), t.data() + offset + 22) << offset;
        /* Cut one byte before the match's end: not found, although the rest follows the cut. */
        t[offset + 22 + pattern.size() - 1] = 0;
        ASSERT_EQ(FindIn(t.data(), pattern.c_str()), nullptr) << offset;
        /* Searching from inside the text. */
        t[offset + 22 + pattern.size() - 1] = 'n';
        ASSERT_EQ(FindIn(t.data() + offset + 22, pattern.c_str()), t.data() + offset + 22) << offset;
        ASSERT_EQ(FindIn(t.data() + offset + 23, pattern.c_str()), nullptr) << offset;
    }
}

TEST_P(FindFoldedTest, AgreesWithThePlainDefinitionOnRandomFrenchishTexts) {
    /* A small alphabet with every byte that folds to 'e' or 'y' and a few look-alikes (0x45 'E',
     * 0x05, 0xDF ß, 0xFE þ), so candidates, false candidates and near misses are frequent. */
    const unsigned char alphabet[] = {'e',  'E',  0xE9, 0xC9, 0xEB, 'y', 'Y', 0xFF, 0xDD,
                                      0xFD, 0xDF, 0xFE, 0x05, 0x25, 'z', ' ', 'd'};
    const unsigned char patternBytes[] = {'e', 'y', 'z', ' ', 'd', 0xDF, 0xFE, 0x25};
    uint32_t seed = 12345;
    auto next = [&seed]() {
        seed = seed * 1103515245u + 12345u;
        return seed >> 16;
    };
    for (int round = 0; round < 3000; round++) {
        size_t length = next() % 90;
        std::vector<char> t(length + 1);
        for (size_t i = 0; i < length; i++)
            t[i] = (char)alphabet[next() % sizeof alphabet];
        t[length] = 0;
        std::string pattern;
        size_t patternLength = 1 + next() % 20;
        for (size_t i = 0; i < patternLength; i++)
            pattern += (char)patternBytes[next() % sizeof patternBytes];
        /* Often take the pattern from the text, so that it is found. */
        if (length > 0 && next() % 2 == 0) {
            size_t from = next() % length;
            size_t n = 1 + next() % (length - from);
            pattern.assign(t.data() + from, n);
            FoldTextInPlace(&pattern[0]);
        }
        long expected = Reference((const unsigned char*)t.data(), length, pattern);
        const char* found = FindIn(t.data(), pattern.c_str());
        ASSERT_EQ(found ? (long)(found - t.data()) : -1, expected) << round;
    }
}

TEST_P(FindFoldedTest, RunsOfOneLetterAgainstPatternsOfItEndingInAnother) {
    std::vector<char> t(5000, 'e');
    t.push_back(0);
    for (char last : {'z', 'e', 'a'}) {
        std::string pattern(300, 'e');
        pattern += last;
        const char* found = FindIn(t.data(), pattern.c_str());
        EXPECT_EQ(found, last == 'e' ? t.data() : nullptr) << last;
    }
    t[4000] = 'Z';
    std::string pattern(300, 'e');
    pattern += 'z';
    EXPECT_EQ(FindIn(t.data(), pattern.c_str()), t.data() + 4000 - 300);
}

} // namespace

/* Texts ending exactly at the end of a readable page, followed by a page that cannot be read, and
 * starting at every offset before it: a read past the terminator would fault. */
#include <sys/mman.h>
#include <unistd.h>

namespace {

TEST_P(FindFoldedTest, NeverReadsIntoAnUnreadablePageAfterTheText) {
    size_t page = (size_t)sysconf(_SC_PAGESIZE);
    char* area = (char*)mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(area, MAP_FAILED);
    ASSERT_EQ(mprotect(area + page, page, PROT_NONE), 0);
    char* end = area + page - 1; /* the terminator, last byte of the readable page */
    /* Up to 200 bytes: the longer texts cross several blocks that hold neither terminator nor
     * candidate before the one that ends the page. */
    for (size_t length = 0; length < 200; length++) {
        char* text = end - length;
        memset(text, 'e', length);
        *end = 0;
        if (length > 0) text[length - 1] = 'Z';
        const char* found = FindIn(text, "ez");
        EXPECT_EQ(found, length >= 2 ? end - 2 : nullptr) << length;
        std::string longPattern = std::string(56, 'e') + "z";
        EXPECT_EQ(FindIn(text, longPattern.c_str()), length >= 57 ? end - 57 : nullptr) << length;
        EXPECT_EQ(FindIn(text, "x"), nullptr) << length;
        /* One common letter: absent (the scan runs to the terminator), and only at the end. */
        EXPECT_EQ(FindIn(text, "a"), nullptr) << length;
        EXPECT_EQ(FindIn(text, "z"), length >= 1 ? end - 1 : nullptr) << length;
        EXPECT_EQ(FindIn(text, "e"), length >= 2 ? text : nullptr) << length;
    }
    /* A text starting at the page's start: the block before it is never read either. */
    ASSERT_EQ(mprotect(area, page, PROT_NONE), 0);
    ASSERT_EQ(mprotect(area + page, page, PROT_READ | PROT_WRITE), 0);
    memcpy(area + page, "ZEBRE\0", 6);
    EXPECT_EQ(FindIn(area + page, "ebre"), area + page + 1);
    EXPECT_EQ(FindIn(area + page, "x"), nullptr);
    EXPECT_EQ(FindIn(area + page, "e"), area + page + 1);
    EXPECT_EQ(FindIn(area + page, "a"), nullptr);
    munmap(area, 2 * page);
}

TEST(FindTextByteTest, FirstByteBeforeTheTerminatorAtEveryOffsetAndPageEnd) {
    size_t page = (size_t)sysconf(_SC_PAGESIZE);
    char* area = (char*)mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(area, MAP_FAILED);
    ASSERT_EQ(mprotect(area + page, page, PROT_NONE), 0);
    char* end = area + page - 1;
    for (size_t length = 0; length < 50; length++) {
        char* text = end - length;
        memset(text, 'a', length);
        *end = 0;
        EXPECT_EQ(FindTextByte(text, '<'), nullptr) << length;
        for (size_t at = 0; at < length; at++) {
            text[at] = '<';
            if (at + 1 < length) text[length - 1] = '<'; /* a later one is not the first */
            ASSERT_EQ(FindTextByte(text, '<'), text + at) << length << " " << at;
            memset(text, 'a', length);
        }
    }
    /* A '<' after the terminator is not found; neither is 0 or anything in a NULL text. */
    memcpy(end - 5, "ab\0<c", 6);
    end[0] = 0;
    EXPECT_EQ(FindTextByte(end - 5, '<'), nullptr);
    EXPECT_EQ(FindTextByte(end - 5, 0), nullptr);
    EXPECT_EQ(FindTextByte(nullptr, '<'), nullptr);
    EXPECT_EQ(FindTextByte(end - 5, 'b'), end - 4);
    munmap(area, 2 * page);
}

} // namespace
