/* MatchDocumentText (the sections searched) and the recording of a matching document. */
#include "search/match.h"

#include "search_test_support.h"

namespace {

class MatchTextTest : public SearchTest {
  protected:
    bool Match(const std::string& document, const std::string& searchText, int formDataOnly = 0) {
        std::vector<char> text = ExactText(document);
        std::string pattern = Folded(searchText);
        return MatchDocumentText(text.data(), pattern.c_str(), formDataOnly) != 0;
    }
};

TEST_F(MatchTextTest, AccentsAndCaseInTheTextSection) {
    EXPECT_TRUE(Match("<text>Vacances d'été</text>", "ETE"));
    EXPECT_TRUE(Match("<text>Été 2005</text>", "ete"));
    EXPECT_TRUE(Match("<text>une ête</text>", "ÉTÉ"));
    EXPECT_FALSE(Match("<text>Œuvre</text>", "œuvre"));
    EXPECT_TRUE(Match("<text>œuvre</text>", "œuvre"));
    EXPECT_FALSE(Match("<text>straße</text>", "strasse"));
    EXPECT_FALSE(Match("<text>strasse</text>", "straße"));
}

TEST_F(MatchTextTest, OnlyTheMarkedSectionsAreSearched) {
    EXPECT_FALSE(Match("Doliprane <text>rien</text> Doliprane", "doliprane"));
    EXPECT_FALSE(Match("Doliprane sans section", "doliprane"));
    EXPECT_TRUE(Match("x<rtf>{\\rtf1 Doliprane}</rtf>", "doliprane"));
    EXPECT_FALSE(Match("<text>a</text>Doliprane<rtf>b</rtf>", "doliprane"));
    /* A closing marker without its opening marker opens nothing. */
    EXPECT_FALSE(Match("Doliprane</text></rtf>", "doliprane"));
}

/* The section cutting as first written: each marker looked for with its own scan from the start
 * of the text (the opening ones) or from the opening marker (the closing ones), all four before a
 * terminator is written. The one-pass marker search must cut the same regions and write the same
 * terminators. */
int MatchBySeparateScans(char* text, const char* pattern, int formDataOnly) {
    auto find = [](char* from, const char* p) -> char* {
        const char* f = FindFoldedPortable(from, p);
        return f ? from + (f - from) : nullptr;
    };
    char* first = nullptr;
    char* second = nullptr;
    if (formDataOnly) {
        first = find(text, "<velarine_data>");
        char* firstEnd = first ? find(first, "</velarine_data>") : nullptr;
        if (firstEnd) *firstEnd = 0;
    } else {
        first = find(text, "<text>");
        char* firstEnd = first ? find(first, "</text>") : nullptr;
        second = find(text, "<rtf>");
        char* secondEnd = second ? find(second, "</rtf>") : nullptr;
        if (firstEnd) *firstEnd = 0;
        if (secondEnd) *secondEnd = 0;
    }
    if (first && FindFoldedPortable(first, pattern)) return 1;
    if (second && FindFoldedPortable(second, pattern)) return 1;
    return 0;
}

TEST_F(MatchTextTest, SameRegionsAndTerminatorsAsSeparateScansForEachMarker) {
    /* Documents assembled from markers in any order and case, doubled, nested, cut short, and
     * words that are or are not the pattern. */
    const char* const pieces[] = {
        "<text>", "</text>", "<rtf>",           "</rtf>",           "<TEXT>", "</Rtf>",
        "<tèxt>", "</TÉXT>", "<velarine_data>", "</velarine_data>", "<",      "</",
        "<rt",    "x",       "Zelmorin ",       "zèlmorin",         "<<",     "{\\rtf1 ",
        "é"};
    uint32_t seed = 777;
    auto next = [&seed]() {
        seed = seed * 1103515245u + 12345u;
        return seed >> 16;
    };
    std::string pattern = Folded("zelmorin");
    for (int round = 0; round < 4000; round++) {
        std::string document;
        int n = (int)(next() % 12);
        for (int i = 0; i < n; i++)
            document += pieces[next() % (sizeof pieces / sizeof pieces[0])];
        int formDataOnly = (int)(next() % 2);
        std::vector<char> ours = ExactText(document);
        std::vector<char> theirs = ExactText(document);
        int matched = MatchDocumentText(ours.data(), pattern.c_str(), formDataOnly);
        ASSERT_EQ(matched, MatchBySeparateScans(theirs.data(), pattern.c_str(), formDataOnly))
            << document << " form data " << formDataOnly;
        /* A text that holds the pattern nowhere is settled before its markers are looked for and
         * is left as it was; any other gets the terminators of the separate scans. */
        std::vector<char> original = ExactText(document);
        if (FindFoldedPortable(original.data(), pattern.c_str()) != nullptr)
            ASSERT_EQ(ours, theirs) << document << " form data " << formDataOnly;
        else
            ASSERT_EQ(ours, original) << document << " form data " << formDataOnly;
    }
}

TEST_F(MatchTextTest, MarkersInAnyCase) {
    EXPECT_TRUE(Match("<TEXT>Aspirine</TEXT>", "aspirine"));
    EXPECT_TRUE(Match("<Text>Aspirine</Text>", "aspirine"));
    EXPECT_TRUE(Match("<RTF>Aspirine</Rtf>", "aspirine"));
    /* The closing marker in capitals still closes the region. */
    EXPECT_FALSE(Match("<text>a</TEXT>Aspirine", "aspirine"));
    EXPECT_FALSE(Match("<rtf>a</RTF>Aspirine", "aspirine"));
}

TEST_F(MatchTextTest, RtfSectionAfterAClosedTextSectionIsStillFound) {
    /* "<rtf>" is looked for before the terminator goes over "</text>"; otherwise it would be hidden. */
    EXPECT_TRUE(Match("<text>a</text><rtf>Aspirine</rtf>", "aspirine"));
    EXPECT_TRUE(Match("<TEXT>a</TEXT>suite<RTF>Aspirine</RTF>", "aspirine"));
}

TEST_F(MatchTextTest, MissingClosingMarkerRunsToTheNextTerminator) {
    /* "<text>" without "</text>": up to the terminator written over "</rtf>". */
    EXPECT_TRUE(Match("<text>alpha <rtf>beta</rtf> gamma", "alpha"));
    EXPECT_TRUE(Match("<text>alpha <rtf>beta</rtf> gamma", "beta"));
    EXPECT_FALSE(Match("<text>alpha <rtf>beta</rtf> gamma", "gamma"));
    /* ... or to the end of the document. */
    EXPECT_TRUE(Match("<rtf>r</rtf> <text>jusqu'au bout", "bout"));
    EXPECT_FALSE(Match("<rtf>r</rtf> avant <text>jusqu'au bout", "avant"));
    EXPECT_TRUE(Match("<rtf>sans fin", "fin"));

    std::vector<char> text = ExactText("<text>alpha <rtf>beta</rtf> gamma");
    std::string pattern = Folded("gamma");
    MatchDocumentText(text.data(), pattern.c_str(), 0);
    EXPECT_EQ(text[21], 0) << "the terminator goes over \"</rtf>\"";
    EXPECT_STREQ(text.data(), "<text>alpha <rtf>beta");
}

TEST_F(MatchTextTest, RegionsThatOverlap) {
    /* "</rtf>" inside the text section ends the text region too: the rest is not searched. */
    EXPECT_FALSE(Match("<text>a<rtf>b</rtf>Aspirine</text>", "aspirine"));
    EXPECT_TRUE(Match("<text>a<rtf>Aspirine</rtf>c</text>", "aspirine"));
}

TEST_F(MatchTextTest, FormDataOnlyMode) {
    const char* doc = "<text>Aspirine</text><velarine_data>FORM-42 Aspirine</velarine_data>";
    EXPECT_TRUE(Match(doc, "form-42", 1));
    EXPECT_TRUE(Match(doc, "aspirine", 1));
    EXPECT_FALSE(Match("<text>Aspirine</text><rtf>Aspirine</rtf>", "aspirine", 1));
    EXPECT_FALSE(Match("<text>Aspirine</text><velarine_data>autre</velarine_data>", "aspirine", 1));
    EXPECT_FALSE(Match("<velarine_data>a</velarine_data>Aspirine", "aspirine", 1));
    EXPECT_TRUE(Match("<VELARINE_DATA>Aspirine", "aspirine", 1));
    /* In the other modes, form data counts only inside one of the two regions. */
    EXPECT_FALSE(Match("<velarine_data>FORM-42</velarine_data>", "form-42", 0));
    EXPECT_TRUE(Match("<text><velarine_data>FORM-42</velarine_data></text>", "form-42", 0));
}

TEST_F(MatchTextTest, PatternsEqualToAMarkerMatchTheirSection) {
    EXPECT_TRUE(Match("<text></text>", "text"));
    EXPECT_TRUE(Match("<TEXT></TEXT>", "TEXT"));
    EXPECT_TRUE(Match("<rtf></rtf>", "rtf"));
    EXPECT_FALSE(Match("<rtf></rtf>", "text"));
    EXPECT_FALSE(Match("<text></text>", "rtf"));
    EXPECT_TRUE(Match("<velarine_data></velarine_data>", "velarine", 1));
    EXPECT_FALSE(Match("<text></text>", "</text>")); /* the closing marker is not in the region */
}

TEST_F(MatchTextTest, OneLetterAndEmptyPatterns) {
    EXPECT_TRUE(Match("<text>Xylocaïne</text>", "x"));
    EXPECT_TRUE(Match("<text>Xylocaïne</text>", "Ï"));
    EXPECT_TRUE(Match("<text>É</text>", "e"));
    EXPECT_FALSE(Match("<text>abc</text>z", "z"));
    EXPECT_FALSE(Match("<text>abc</text><rtf>abc</rtf>", ""));
    EXPECT_FALSE(Match("", "a"));
    EXPECT_EQ(MatchDocumentText(nullptr, "a", 0), 0);
}

TEST_F(MatchTextTest, PatternAtTheVeryEnd) {
    EXPECT_TRUE(Match("<text>Doliprane", "doliprane"));
    EXPECT_TRUE(Match("<text>Doliprane</text>", "doliprane"));
    EXPECT_FALSE(Match("<text>Doliprane</text>", "doliprane<"));
    EXPECT_FALSE(Match("<text>Dolipran", "doliprane"));
}

class RecordTest : public SearchTest {
  protected:
    bool MatchAndRecord(const std::string& document, const std::string& searchText,
                        const std::vector<unsigned char>& header, uint32_t key, int fromFileTable = 0,
                        int formDataOnly = 0) {
        std::vector<char> text = ExactText(document);
        std::string pattern = Folded(searchText);
        return MatchAndRecordDocument(text.data(), pattern.c_str(), header.data(), key, fromFileTable,
                                      formDataOnly) != 0;
    }
};

TEST_F(RecordTest, ADocumentCountsOnceHoweverOftenItMatches) {
    auto header = MakeHeader(1234, MakePackedDate(15, 3, 2005), "Dr Martin");
    EXPECT_TRUE(MatchAndRecord("<text>ete Été ÉTÉ</text><rtf>été ête</rtf>", "été", header, 5001, 1));
    EXPECT_EQ(Results.OccurrenceTotal, 1);
    EXPECT_EQ(Results.PatientsWithHits, 1);
    PatientHits* r = Results.PatientHitsTable[1234];
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->patientNumber, 1234);
    EXPECT_EQ(r->occurrenceCount, 1);
    EXPECT_EQ(r->hits[0].key, 5001u);
    EXPECT_EQ(r->hits[0].fromFileTable, 1);
    EXPECT_EQ(r->firstDate, MakePackedDate(15, 3, 2005));
    EXPECT_EQ(r->lastDate, MakePackedDate(15, 3, 2005));
    EXPECT_STREQ(r->authors, "Dr Martin");
}

TEST_F(RecordTest, NoMatchRecordsNothing) {
    auto header = MakeHeader(7, MakePackedDate(1, 1, 2000), "Dr A");
    EXPECT_FALSE(MatchAndRecord("<text>rien</text>", "tout", header, 1));
    EXPECT_FALSE(MatchAndRecord("<text>tout</text>", "tout", header, 2, 0, 1));
    EXPECT_EQ(Results.OccurrenceTotal, 0);
    EXPECT_EQ(Results.PatientsWithHits, 0);
    EXPECT_EQ(Results.PatientHitsTable[7], nullptr);
    EXPECT_TRUE(g_allocLog.calls.empty());
}

TEST_F(RecordTest, SeveralDocumentsOfOnePatientAndOfTwo) {
    auto a = MakeHeader(10, MakePackedDate(2, 1, 2004), "Dr A");
    auto b = MakeHeader(10, MakePackedDate(3, 1, 2004), "Dr B");
    auto c = MakeHeader(11, MakePackedDate(4, 1, 2004), "Dr A");
    EXPECT_TRUE(MatchAndRecord("<text>x</text>", "x", a, 1));
    EXPECT_TRUE(MatchAndRecord("<rtf>x</rtf>", "x", b, 2));
    EXPECT_TRUE(MatchAndRecord("<text>x", "x", c, 3, 1));
    EXPECT_EQ(Results.OccurrenceTotal, 3);
    EXPECT_EQ(Results.PatientsWithHits, 2);
    EXPECT_EQ(Results.PatientHitsTable[10]->occurrenceCount, 2);
    EXPECT_STREQ(Results.PatientHitsTable[10]->authors, "Dr A;Dr B");
    EXPECT_EQ(Results.PatientHitsTable[10]->hits[1].key, 2u);
    EXPECT_EQ(Results.PatientHitsTable[11]->hits[0].fromFileTable, 1);
}

TEST_F(RecordTest, FirstAndLastPatientNumbersHaveTheirOwnSlots) {
    auto first = MakeHeader(0, MakePackedDate(1, 1, 2001), "Dr Zéro");
    auto last = MakeHeader(1048575, MakePackedDate(1, 1, 2002), "Dr Max");
    EXPECT_TRUE(MatchAndRecord("<text>x</text>", "x", first, 1));
    EXPECT_TRUE(MatchAndRecord("<text>x</text>", "x", last, 2));
    ASSERT_NE(Results.PatientHitsTable[0], nullptr);
    ASSERT_NE(Results.PatientHitsTable[1048575], nullptr);
    EXPECT_NE(Results.PatientHitsTable[0], Results.PatientHitsTable[1048575]);
    EXPECT_EQ(Results.PatientHitsTable[0]->patientNumber, 0);
    EXPECT_EQ(Results.PatientHitsTable[1048575]->patientNumber, 1048575);
    EXPECT_STREQ(Results.PatientHitsTable[0]->authors, "Dr Zéro");
    EXPECT_EQ(Results.PatientsWithHits, 2);
    EXPECT_EQ(Results.OccurrenceTotal, 2);
}

TEST_F(RecordTest, PatientNumbersOutsideTheTableAreNeitherRecordedNorCounted) {
    for (uint32_t patient : {0xFFFFFFFFu, 1048576u, 0x80000000u, 0x7FFFFFFFu}) {
        auto header = MakeHeader(patient, MakePackedDate(1, 1, 2001), "Dr A");
        EXPECT_TRUE(MatchAndRecord("<text>x</text>", "x", header, 1)) << patient;
    }
    EXPECT_EQ(Results.OccurrenceTotal, 0);
    EXPECT_EQ(Results.PatientsWithHits, 0);
    EXPECT_TRUE(g_allocLog.calls.empty());
    EXPECT_EQ(g_allocationFailureReports, 0);
}

TEST_F(RecordTest, AuthorWithoutTerminatorIsCutToItsField) {
    auto header = MakeHeader(5, MakePackedDate(1, 1, 2001), "");
    /* Fill the author field and everything after it with letters: no terminator in the field. */
    for (size_t i = HEADER_AUTHOR; i < header.size(); i++)
        header[i] = 'M';
    EXPECT_TRUE(MatchAndRecord("<text>x</text>", "x", header, 1));
    EXPECT_EQ(std::string(Results.PatientHitsTable[5]->authors), std::string(HEADER_AUTHOR_SIZE - 1, 'M'));
}

TEST_F(RecordTest, RecordThatCannotBeAllocatedDropsTheHitAndTheRunGoesOn) {
    FailAllocation(HIT_ALLOC_RECORD, 1);
    auto header = MakeHeader(42, MakePackedDate(1, 1, 2001), "Dr A");
    EXPECT_TRUE(MatchAndRecord("<text>x</text>", "x", header, 1));
    EXPECT_EQ(g_allocationFailureReports, 1);
    EXPECT_EQ(Results.PatientHitsTable[42], nullptr);
    EXPECT_EQ(Results.PatientsWithHits, 0);
    EXPECT_EQ(Results.OccurrenceTotal, 1); /* counted by the match, as when a hits array cannot grow */
    /* The next document of the same patient is recorded normally. */
    EXPECT_TRUE(MatchAndRecord("<text>x</text>", "x", header, 2));
    ASSERT_NE(Results.PatientHitsTable[42], nullptr);
    EXPECT_EQ(Results.PatientHitsTable[42]->occurrenceCount, 1);
    EXPECT_EQ(Results.PatientHitsTable[42]->hits[0].key, 2u);
    EXPECT_EQ(Results.PatientsWithHits, 1);
    EXPECT_EQ(Results.OccurrenceTotal, 2);
}

} // namespace
