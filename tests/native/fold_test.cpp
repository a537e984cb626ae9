/* Fold table and FindFolded. The expected table is stated independently of the program's own
 * ranges: as Windows-1252 text typed letter by letter (the compiler turns these literals into
 * 1252 bytes), checked against byte values where it matters. */
#include "search_test_support.h"

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
            EXPECT_EQ(FoldTable[b], (unsigned char)g.to) << "byte 0x" << std::hex << (int)b;
        }
        total += g.count;
    }
    EXPECT_EQ(total, 53u);
    /* A few byte values spelled out, in case the literals above were mistranslated. */
    EXPECT_EQ(FoldTable[0xC9], 'e'); /* É */
    EXPECT_EQ(FoldTable[0xE9], 'e'); /* é */
    EXPECT_EQ(FoldTable[0xFF], 'y'); /* ÿ */
    EXPECT_EQ(FoldTable[0xC7], 'c'); /* Ç */
}

TEST_F(FoldTableTest, UnfoldedLettersMapToThemselves) {
    ASSERT_EQ(strlen(kUnfolded), 18u);
    for (const char* p = kUnfolded; *p; p++) {
        unsigned char b = (unsigned char)*p;
        EXPECT_EQ(FoldTable[b], b) << "byte 0x" << std::hex << (int)b;
    }
    EXPECT_EQ(FoldTable[0x9C], 0x9C); /* œ */
    EXPECT_EQ(FoldTable[0x8C], 0x8C); /* Œ */
    EXPECT_EQ(FoldTable[0x9F], 0x9F); /* Ÿ */
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
            EXPECT_EQ(FoldTable[b], b - 'A' + 'a');
        } else if (changing.count(b) == 0) {
            EXPECT_EQ(FoldTable[b], b) << "byte " << b << " must map to itself";
        }
        /* Folded values are plain ASCII small letters or unchanged bytes: folding is idempotent,
         * and only byte 0 folds to 0. */
        EXPECT_EQ(FoldTable[FoldTable[b]], FoldTable[b]) << b;
        if (b != 0) {
            EXPECT_NE(FoldTable[b], 0) << b;
        }
    }
    for (int b = 0x80; b <= 0xBF; b++)
        EXPECT_EQ(FoldTable[b], b);
    EXPECT_EQ(FoldTable[0], 0);
}

TEST_F(FoldTableTest, FoldTextInPlaceFoldsUpToTheTerminator) {
    char text[] = "Été À LA Œuvre\0XYZ";
    FoldTextInPlace(text);
    EXPECT_STREQ(text, "ete a la Œuvre");
    EXPECT_EQ(text[15], 'X'); /* past the terminator: untouched */
    FoldTextInPlace(nullptr);
}

class FindFoldedTest : public SearchTest {
  protected:
    /* Offset of the match of the (unfolded) search text in the text, or -1. */
    long Find(const std::string& text, const std::string& searchText) {
        std::vector<char> t = ExactText(text);
        std::string pattern = Folded(searchText);
        const char* found = FindFolded(t.data(), pattern.c_str());
        return found ? (long)(found - t.data()) : -1;
    }
};

TEST_F(FindFoldedTest, IgnoresCaseAndAccentsOfFoldedLettersOnly) {
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

TEST_F(FindFoldedTest, FirstMatchAndPositions) {
    EXPECT_EQ(Find("abcabc", "BC"), 1);
    EXPECT_EQ(Find("aaab", "aab"), 1); /* a failed partial match moves on by one byte only */
    EXPECT_EQ(Find("xyz", "z"), 2);    /* at the very end */
    EXPECT_EQ(Find("xyz", "xyz"), 0);
    EXPECT_EQ(Find("xy", "xyz"), -1); /* pattern longer than what is left */
    EXPECT_EQ(Find("", "a"), -1);
    EXPECT_EQ(Find("Zèbre", "z"), 0);
}

TEST_F(FindFoldedTest, EmptyAbsentAndUnfoldedPatterns) {
    EXPECT_EQ(Find("abc", ""), -1);
    EXPECT_EQ(Find("", ""), -1);
    EXPECT_EQ(FindFolded(nullptr, "a"), nullptr);
    EXPECT_EQ(FindFolded("abc", nullptr), nullptr);
    /* A pattern must be folded: a capital never equals a folded text byte. */
    EXPECT_EQ(FindFolded("ABC", "ABC"), nullptr);
    EXPECT_EQ(FindFolded("ABC", "abc") != nullptr, true);
}

TEST_F(FindFoldedTest, HighBytesAreLookedUpAsUnsigned) {
    /* Every byte value 1..255 is a text byte that must find itself folded. */
    for (int b = 1; b < 256; b++) {
        char text[3] = {'x', (char)b, 0};
        char pattern[2] = {(char)FoldTable[b], 0};
        const char* found = FindFolded(text, pattern);
        const char* expected = FoldTable[b] == 'x' ? text : text + 1;
        EXPECT_EQ(found, expected) << b;
    }
}

} // namespace
