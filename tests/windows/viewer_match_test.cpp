// The occurrences of the search text marked in a real viewer on documents served by the stand-in
// host: which characters carry the mark (read back with EM_GETCHARFORMAT on selections), which one
// is selected, F3 and Shift+F3 posted through the dialog's own modal loop, and the next document
// starting unmarked.
#include "results/viewer_match.h"

#include <richedit.h>

#include "base/alloc.h"
#include "results/viewer.h"
#include "search/fold.h"
#include "search/search_run.h"
#include "sortview_test_support.h"
#include "viewer_test_support.h"

#include <string>
#include <vector>

using namespace sortview;
using namespace viewertest;

namespace {

std::string CabinetText(std::initializer_list<const char*> lines) {
    std::string s;
    for (const char* l : lines)
        s += std::string(l) + "\r\n";
    return s;
}

std::string ManyOccurrences() {
    std::string rtf = R"(<rtf>{\rtf1\ansi )";
    for (int i = 0; i < VIEWER_MAX_OCCURRENCES + 5; i++)
        rtf += "xe";
    return rtf + "}</rtf>";
}

const std::string kCabinet = CabinetText(
    {"HDCAB 1", "TODAY 08/12/2026", "P 1234|DUPONT|Jean|12/03/1961|",
     // Five occurrences over three paragraphs, one of them half bold in the source.
     "D 39|5001|6|1234|23/05/2011|1|Dr A",
     R"(<text>zelmorin</text><rtf>{\rtf1\ansi\deff0 Zelmorin 10 mg. Prendre Zel{\b mor}in le soir.\par)"
     R"( Second paragraphe: ZELMORIN et zelmorin.\par\par Fin: Z\'c9LMORIN}</rtf>)",
     ".",
     // The search text only in the hidden plain-text section.
     "D 39|5002|6|1234|24/05/2011|2|Dr A", R"(<text>zelmorin</text><rtf>{\rtf1\ansi Rien ici, rien.}</rtf>)",
     ".",
     // Accents and case.
     "D 39|5003|6|1234|25/05/2011|3|Dr A",
     R"(<rtf>{\rtf1\ansi L'\'e9t\'e9,\par l'\'c9T\'c9 et une t\'eate}</rtf>)", ".",
     // Overlapping occurrences.
     "D 39|5004|6|1234|26/05/2011|4|Dr A", R"(<rtf>{\rtf1\ansi baaab}</rtf>)", ".",
     // More occurrences than are kept: 10,005 "xe" in one paragraph.
     "D 39|5005|6|1234|27/05/2011|5|Dr A", ManyOccurrences().c_str(), "."});

HWND Rich(HWND viewer) {
    return RichText(viewer);
}

std::string Range(HWND rich, LONG first, LONG last) {
    std::vector<char> buf((size_t)(last - first) + 2, 0);
    TEXTRANGEA range = {{first, last}, buf.data()};
    SendMessageA(rich, EM_GETTEXTRANGE, 0, (LPARAM)&range);
    return buf.data();
}

CHARRANGE Selection(HWND rich) {
    CHARRANGE range = {-1, -1};
    SendMessageA(rich, EM_EXGETSEL, 0, (LPARAM)&range);
    return range;
}

// Whether every character of [first, last) carries the mark: the background colour, or the mark's
// text colour in bold. Leaves the selection where it was.
bool Marked(HWND rich, LONG first, LONG last) {
    CHARRANGE saved = Selection(rich);
    CHARRANGE range = {first, last};
    SendMessageA(rich, EM_EXSETSEL, 0, (LPARAM)&range);
    CHARFORMAT2A f = {};
    f.cbSize = sizeof f;
    SendMessageA(rich, EM_GETCHARFORMAT, SCF_SELECTION, (LPARAM)&f);
    SendMessageA(rich, EM_EXSETSEL, 0, (LPARAM)&saved);
    bool background = (f.dwMask & CFM_BACKCOLOR) && !(f.dwEffects & CFE_AUTOBACKCOLOR) &&
                      f.crBackColor == VIEWER_MARK_BACKGROUND;
    bool colour = (f.dwMask & CFM_BOLD) && (f.dwEffects & CFE_BOLD) && (f.dwMask & CFM_COLOR) &&
                  !(f.dwEffects & CFE_AUTOCOLOR) && f.crTextColor == VIEWER_MARK_TEXT_COLOUR;
    return background || colour;
}

// Positions of every character that carries the mark, one by one.
std::vector<LONG> MarkedCharacters(HWND rich) {
    std::vector<LONG> marked;
    LONG length = (LONG)SendMessageA(rich, WM_GETTEXTLENGTH, 0, 0);
    for (LONG i = 0; i < length; i++)
        if (Marked(rich, i, i + 1)) marked.push_back(i);
    return marked;
}

// Case-insensitive (ASCII) positions of `word` in the control's text, found here independently.
std::vector<LONG> AsciiPositions(HWND rich, const std::string& word) {
    LONG length = (LONG)SendMessageA(rich, WM_GETTEXTLENGTH, 0, 0);
    std::string text = Range(rich, 0, length);
    for (char& c : text)
        c = (char)tolower((unsigned char)c);
    std::vector<LONG> found;
    for (size_t p = text.find(word); p != std::string::npos; p = text.find(word, p + 1))
        found.push_back((LONG)p);
    return found;
}

void PressF3(HWND target, bool shift) {
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_SHIFT] = shift ? 0x80 : 0;
    SetKeyboardState(keys);
    PostMessageA(target, WM_KEYDOWN, VK_F3, 0x003D0001);
}

void ReleaseShift() {
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);
}

void ExpectSelected(HWND rich, LONG first, LONG length) {
    CHARRANGE s = Selection(rich);
    EXPECT_EQ(s.cpMin, first);
    EXPECT_EQ(s.cpMax, first + length);
}

class ViewerMatch : public ::testing::Test {
  protected:
    void SetUp() override {
        EnsureUserInterface();
        BuildFoldTable();
        ASSERT_TRUE(cabinet_.Open(kCabinet));
        snprintf(saved_, sizeof saved_, "%s", SearchShared.LastSearchText);
    }
    void TearDown() override {
        ReleaseShift();
        snprintf(SearchShared.LastSearchText, sizeof SearchShared.LastSearchText, "%s", saved_);
    }
    PatientHits* Record(std::vector<HitRef> hits) {
        hits_ = hits;
        record_ = PatientHits();
        record_.patientNumber = 1234;
        record_.hits = hits_.data();
        record_.hitCapacity = record_.occurrenceCount = (int32_t)hits_.size();
        return &record_;
    }
    void Search(const char* text) {
        snprintf(SearchShared.LastSearchText, sizeof SearchShared.LastSearchText, "%s", text);
    }

    TempCabinet cabinet_;
    PatientHits record_;
    std::vector<HitRef> hits_;
    char saved_[SEARCH_TEXT_SIZE];
};

TEST_F(ViewerMatch, EveryOccurrenceInTheShownTextIsMarkedAndF3GoesRoundThem) {
    Search("zelmorin");
    static std::vector<LONG> at;
    RunViewer(Record({{5001, 0}, {5002, 0}}), 0,
              {[](HWND v) {
                   HWND rich = Rich(v);
                   ASSERT_NE(rich, (HWND)NULL);
                   // The word made of a plain and a bold part shows whole, and is marked whole.
                   EXPECT_NE(ShownText(v).find("Prendre Zelmorin le soir."), std::string::npos)
                       << ShownText(v);
                   at = AsciiPositions(rich, "zelmorin");
                   ASSERT_EQ(at.size(), 4u) << ShownText(v); // Z\xC9LMORIN is found by folding only
                   std::vector<LONG> expected;
                   for (LONG p : at)
                       for (LONG i = 0; i < 8; i++)
                           expected.push_back(p + i);
                   // The fifth, after two paragraph ends: the accented capital folds to e.
                   LONG length = (LONG)SendMessageA(rich, WM_GETTEXTLENGTH, 0, 0);
                   std::string text = Range(rich, 0, length);
                   LONG fifth = (LONG)text.find("Z\xC9LMORIN");
                   ASSERT_GT(fifth, at.back());
                   at.push_back(fifth);
                   for (LONG i = 0; i < 8; i++)
                       expected.push_back(fifth + i);
                   EXPECT_EQ(MarkedCharacters(rich), expected);
                   // Each mark covers exactly the word, in the control's own positions.
                   EXPECT_EQ(Range(rich, at[1], at[1] + 8), "Zelmorin");
                   EXPECT_EQ(Range(rich, at[2], at[2] + 8), "ZELMORIN");
                   EXPECT_EQ(Range(rich, fifth, fifth + 8), "Z\xC9LMORIN");
                   // The first is selected; marking left nothing to undo and no edit.
                   ExpectSelected(rich, at[0], 8);
                   EXPECT_EQ(SendMessageA(rich, EM_CANUNDO, 0, 0), 0);
                   EXPECT_EQ(SendMessageA(rich, EM_GETMODIFY, 0, 0), 0);
                   PressF3(rich, false);
               },
               [](HWND v) {
                   ExpectSelected(Rich(v), at[1], 8);
                   // F3 reaches the viewer when the document list has the focus, too.
                   PressF3(Combo(v), false);
               },
               [](HWND v) {
                   ExpectSelected(Rich(v), at[2], 8);
                   PressF3(Rich(v), false);
               },
               [](HWND v) { PressF3(Rich(v), false); },
               [](HWND v) {
                   ExpectSelected(Rich(v), at[4], 8);
                   PressF3(Rich(v), false); // wraps to the first
               },
               [](HWND v) {
                   ExpectSelected(Rich(v), at[0], 8);
                   PressF3(Rich(v), true); // Shift+F3 wraps back to the last
               },
               [](HWND v) {
                   ExpectSelected(Rich(v), at[4], 8);
                   PressF3(Rich(v), true);
               },
               [](HWND v) {
                   ReleaseShift();
                   ExpectSelected(Rich(v), at[3], 8);
                   // The next document, whose shown text lacks the word, starts unmarked and
                   // unselected; F3 there does nothing.
                   Choose(v, 1);
                   EXPECT_EQ(ShownText(v).substr(0, 8), "Rien ici");
                   EXPECT_EQ(MarkedCharacters(Rich(v)), std::vector<LONG>{});
                   ExpectSelected(Rich(v), 0, 0);
                   PressF3(Rich(v), false);
               },
               [](HWND v) {
                   ExpectSelected(Rich(v), 0, 0);
                   // Back to the first: marked again, the first selected again.
                   Choose(v, 0);
                   EXPECT_EQ(MarkedCharacters(Rich(v)).size(), 40u);
                   ExpectSelected(Rich(v), at[0], 8);
                   // In a form search mode nothing is marked, and F3 keeps the selection.
                   EXPECT_EQ(MarkOccurrences(Rich(v), 2, "zelmorin"), 0);
                   EXPECT_EQ(MarkOccurrences(Rich(v), 3, "zelmorin"), 0);
                   PressF3(Rich(v), false);
               },
               [](HWND v) { ExpectSelected(Rich(v), at[0], 8); }});
}

TEST_F(ViewerMatch, AccentsCaseAndOverlappingOccurrences) {
    Search("ETE");
    RunViewer(Record({{5003, 0}, {5004, 0}}), 0,
              {[](HWND v) {
                   HWND rich = Rich(v);
                   LONG length = (LONG)SendMessageA(rich, WM_GETTEXTLENGTH, 0, 0);
                   std::string text = Range(rich, 0, length);
                   LONG a = (LONG)text.find("\xE9t\xE9"), b = (LONG)text.find("\xC9T\xC9"),
                        c = (LONG)text.find("\xEAte");
                   ASSERT_GE(a, 0);
                   ASSERT_GT(b, a);
                   ASSERT_GT(c, b);
                   EXPECT_EQ(MarkedCharacters(rich),
                             (std::vector<LONG>{a, a + 1, a + 2, b, b + 1, b + 2, c + 0, c + 1, c + 2}));
                   ExpectSelected(rich, a, 3);
                   PressF3(rich, false);
               },
               [](HWND v) {
                   LONG length = (LONG)SendMessageA(Rich(v), WM_GETTEXTLENGTH, 0, 0);
                   LONG b = (LONG)Range(Rich(v), 0, length).find("\xC9T\xC9");
                   ExpectSelected(Rich(v), b, 3); // across the paragraph end
                   snprintf(SearchShared.LastSearchText, sizeof SearchShared.LastSearchText, "AA");
                   Choose(v, 1);
                   // "baaab": "aa" at 1 and 2; the marks overlap and cover 1..3.
                   EXPECT_EQ(MarkedCharacters(Rich(v)), (std::vector<LONG>{1, 2, 3}));
                   ExpectSelected(Rich(v), 1, 2);
                   PressF3(Rich(v), false);
               },
               [](HWND v) { ExpectSelected(Rich(v), 2, 2); }});
}

TEST_F(ViewerMatch, AFewFirstOccurrencesAreMarkedAndTheFirstTenThousandVisited) {
    // 10,005 occurrences in one paragraph of 20,010 characters: marking stops at its bounds (a time
    // budget, the control being slow with many marks in one long paragraph), F3 visits 10,000.
    Search("E");
    static DWORD shown;
    DWORD start = GetTickCount();
    RunViewer(Record({{5005, 0}}), 0,
              {[start](HWND v) {
                   shown = GetTickCount() - start;
                   HWND rich = Rich(v);
                   // "xexe...": occurrence i at 2i + 1.
                   EXPECT_TRUE(Marked(rich, 1, 2));
                   EXPECT_FALSE(Marked(rich, 0, 1));
                   EXPECT_FALSE(Marked(rich, 2 * VIEWER_MAX_MARKS + 1, 2 * VIEWER_MAX_MARKS + 2));
                   EXPECT_FALSE(Marked(rich, 2 * (VIEWER_MAX_OCCURRENCES - 1) + 1,
                                       2 * (VIEWER_MAX_OCCURRENCES - 1) + 2));
                   ExpectSelected(rich, 1, 1);
                   PressF3(rich, true);
               },
               [](HWND v) {
                   // Shift+F3 from the first goes round to the last one kept, unmarked.
                   ReleaseShift();
                   ExpectSelected(Rich(v), 2 * (VIEWER_MAX_OCCURRENCES - 1) + 1, 1);
                   PressF3(Rich(v), false);
               },
               [](HWND v) { ExpectSelected(Rich(v), 1, 1); }});
    // Not a limit, a figure for the log: the time until the viewer showed the marked document.
    printf("viewer with %d occurrences in one paragraph shown after %lu ms\n",
           (int)VIEWER_MAX_OCCURRENCES + 5, (unsigned long)shown);
}

TEST_F(ViewerMatch, NothingIsMarkedWithoutASearchTextOrInAFormSearch) {
    Search("");
    RunViewer(Record({{5001, 0}}), 0, {[](HWND v) {
                  EXPECT_EQ(MarkedCharacters(Rich(v)), std::vector<LONG>{});
                  ExpectSelected(Rich(v), 0, 0);
              }});
    Search("zelmorin");
    RunViewer(Record({{5001, 0}}), 2,
              {[](HWND v) {
                   EXPECT_EQ(ShownText(v), "");
                   PressF3(Combo(v), false);
               },
               [](HWND v) { EXPECT_TRUE(IsWindow(v)); }});
    // Outside a viewer the keys and the marks are inert.
    StepOccurrence(1);
    EXPECT_EQ(MarkOccurrences(NULL, 0, "zelmorin"), 0);
}

} // namespace

TEST_F(ViewerMatch, WithoutMemoryForTheShownTextTheDocumentShowsUnmarked) {
    Search("zelmorin");
    long live = SondrelLiveBlocks();
    SondrelObserveAllocations([](int, size_t) { return 1; });
    RunViewer(Record({{5001, 0}}), 0, {[](HWND v) {
                  HWND rich = Rich(v);
                  EXPECT_GT(SendMessageA(rich, WM_GETTEXTLENGTH, 0, 0), 0);
                  EXPECT_TRUE(MarkedCharacters(rich).empty());
              }});
    SondrelObserveAllocations(NULL);
    EXPECT_EQ(SondrelLiveBlocks(), live);
}
