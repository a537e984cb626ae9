/* FindFoldedAll: every occurrence of a folded pattern in a counted text, as the viewer marks them. */
#include "search_test_support.h"

namespace {

class FindFoldedAllTest : public SearchTest {
  protected:
    /* All positions of `typed` (folded here, as a search folds its text) in `text`. */
    std::vector<size_t> All(const std::string& text, std::string typed) {
        FoldTextInPlace(&typed[0]);
        std::vector<size_t> positions(text.size() + 1, 999999);
        size_t n = FindFoldedAll(text.data(), text.size(), typed.c_str(), positions.data(), positions.size());
        EXPECT_LE(n, positions.size());
        positions.resize(n);
        return positions;
    }
    using P = std::vector<size_t>;
};

TEST_F(FindFoldedAllTest, AccentsAndCaseFoldLikeTheSearch) {
    /* "ETE" finds été, Été and ête, also inside "tête", but not "et" followed by a space. */
    EXPECT_EQ(All("L'\xE9t\xE9 et l'\xC9t\xE9, une t\xEAte; \xEAte", "ETE"), (P{2, 11, 21, 26}));
    EXPECT_EQ(All("Zelmorin ZELMORIN z\xC9LMORIN", "zelmorin"), (P{0, 9, 18}));
    /* Œ/œ and ß do not fold: each finds only itself. */
    EXPECT_EQ(All("\x8Cuvre \x9Cuvre", "\x9Cuvre"), (P{6}));
    EXPECT_EQ(All("stra\xDF"
                  "e strasse",
                  "strasse"),
              (P{7}));
    /* A typed accented capital is folded too. */
    EXPECT_EQ(All("caf\xE9 CAFE", "CAF\xC9"), (P{0, 5}));
}

TEST_F(FindFoldedAllTest, OverlappingOccurrencesAreEachCounted) {
    EXPECT_EQ(All("aaaa", "aa"), (P{0, 1, 2}));
    EXPECT_EQ(All("\xC0\xE0"
                  "A",
                  "aa"),
              (P{0, 1}));
    EXPECT_EQ(All("abababa", "aba"), (P{0, 2, 4}));
    /* One-letter patterns find every letter in any case and accent. */
    EXPECT_EQ(All("e\xC9x\xE8"
                  "E",
                  "e"),
              (P{0, 1, 3, 4}));
}

TEST_F(FindFoldedAllTest, TheEndsOfTheCountedTextBoundTheSearch) {
    /* A match at the very end is found; one that would run past the length is not, even when the
     * bytes beyond the length would complete it. */
    const char text[] = "xxab"
                        "ab";
    std::string pattern = "ab";
    size_t pos[4];
    EXPECT_EQ(FindFoldedAll(text, 4, pattern.c_str(), pos, 4), 1u);
    EXPECT_EQ(pos[0], 2u);
    EXPECT_EQ(FindFoldedAll(text, 3, pattern.c_str(), pos, 4), 0u);
    EXPECT_EQ(FindFoldedAll(text, 1, "xab", pos, 4), 0u);
    EXPECT_EQ(FindFoldedAll(text, 0, "x", pos, 4), 0u);
    /* A zero byte inside the counted text is an ordinary byte: the search goes on after it. */
    const char withZero[] = {'a', 'b', 0, 'a', 'b'};
    EXPECT_EQ(FindFoldedAll(withZero, sizeof withZero, "ab", pos, 4), 2u);
    EXPECT_EQ(pos[1], 3u);
}

TEST_F(FindFoldedAllTest, ASmallArrayGetsTheFirstPositionsAndTheTotal) {
    std::string text(1000, 'a');
    size_t pos[3] = {7, 7, 7};
    EXPECT_EQ(FindFoldedAll(text.data(), text.size(), "a", pos, 2), 1000u);
    EXPECT_EQ(pos[0], 0u);
    EXPECT_EQ(pos[1], 1u);
    EXPECT_EQ(pos[2], 7u); /* never written past the capacity */
    EXPECT_EQ(FindFoldedAll(text.data(), text.size(), "aa", nullptr, 0), 999u);
}

TEST_F(FindFoldedAllTest, EmptyOrAbsentTextOrPatternFindNothing) {
    size_t pos[2];
    EXPECT_EQ(FindFoldedAll("abc", 3, "", pos, 2), 0u);
    EXPECT_EQ(FindFoldedAll("abc", 3, nullptr, pos, 2), 0u);
    EXPECT_EQ(FindFoldedAll(nullptr, 3, "a", pos, 2), 0u);
    /* An unfolded pattern (capitals) matches nowhere: the text's bytes are compared folded. */
    EXPECT_EQ(FindFoldedAll("ABC", 3, "ABC", pos, 2), 0u);
}

TEST_F(FindFoldedAllTest, RunsOnTheDisplayedTextNotOnTheRichTextSource) {
    /* A word whose middle is bold: the source has the formatting inside the word, the displayed
     * text has the word whole. The viewer searches the displayed text, so the word is found there,
     * at its displayed position, and it would not be found in the source. */
    const std::string source = R"({\rtf1\ansi Prendre Zel{\b MOR}in, puis zelmor{\i in}})";
    const std::string shown = "Prendre ZelMORin, puis zelmorin";
    EXPECT_EQ(All(source, "Zelmorin"), P{});
    EXPECT_EQ(All(shown, "Zelmorin"), (P{8, 23}));
    /* Paragraph ends as the control counts them (CR LF) are ordinary bytes between words. */
    EXPECT_EQ(All("Zelmorin\r\nzelmorin\r\n", "zelmorin"), (P{0, 10}));
    EXPECT_EQ(All("Zel\r\nmorin", "zelmorin"), P{});
}

} // namespace
