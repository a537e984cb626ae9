// MatchDocument over real movable memory handles: the handle is always released (matching or not,
// locked or not), the text is matched and recorded, a text without terminator stays inside its
// block, and a dropped result shows the error box with no owner.
//
// A freed handle is recognised in two ways: GlobalFlags answers GMEM_INVALID_HANDLE for it, and the
// next GlobalAlloc hands out the same handle value again (the freed slot is reused first). Each test
// checks first that a live handle answers otherwise, so the checks can fail.
#include <windows.h>

#include <gtest/gtest.h>

#include <string.h>
#include <string>
#include <vector>

#include "base/alloc.h"
#include "base/ui.h"
#include "host/records.h"
#include "search/fold.h"
#include "search/hits.h"
#include "search/match_win.h"

namespace {

struct Box {
    HWND owner;
    std::string text;
    std::string caption;
    UINT style;
};
std::vector<Box> g_searchBoxes;

int WINAPI RecordBox(HWND owner, LPCSTR text, LPCSTR caption, UINT style) {
    g_searchBoxes.push_back(Box{owner, text ? text : "", caption ? caption : "", style});
    return IDOK;
}

// Fails every new block the size of a record.
int FailingRecordAllocator(int grow, size_t bytes) {
    return !grow && bytes == sizeof(PatientHits);
}

void ReleaseWholeTable() {
    for (int i = 0; i < PATIENT_TABLE_SLOTS; i++) {
        ReleasePatientHits(Results.PatientHitsTable[i]);
        Results.PatientHitsTable[i] = NULL;
    }
    ClearHitTable();
}

// A movable block holding exactly `bytes` (no terminator added).
HGLOBAL MovableBlock(const std::string& bytes) {
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    char* p = (char*)GlobalLock(h);
    memcpy(p, bytes.data(), bytes.size());
    GlobalUnlock(h);
    return h;
}

// A movable block holding the text and its terminator.
HGLOBAL MovableText(const char* text) {
    return MovableBlock(std::string(text, strlen(text) + 1));
}

std::vector<unsigned char> Header(uint32_t patient, const char* author) {
    std::vector<unsigned char> h(LETTER_HEADER_SIZE, 0);
    SetRecordU32(h.data(), HEADER_PATIENT, patient);
    SetRecordU32(h.data(), HEADER_DATE, MakePackedDate(15, 3, 2005));
    SetRecordText(h.data(), HEADER_AUTHOR, HEADER_AUTHOR_SIZE, author);
    return h;
}

bool IsFreed(HGLOBAL h) {
    return GlobalFlags(h) == GMEM_INVALID_HANDLE;
}

// True when the next movable allocation reuses the handle value `h` (so `h` had been freed).
bool SlotReused(HGLOBAL h) {
    HGLOBAL next = GlobalAlloc(GMEM_MOVEABLE, 16);
    bool same = next == h;
    GlobalFree(next);
    return same;
}

class MatchDocumentTest : public ::testing::Test {
  protected:
    void SetUp() override {
        BuildFoldTable();
        ReleaseWholeTable();
        g_searchBoxes.clear();
        g_messageBox = RecordBox;
        SondrelObserveAllocations(NULL);
        InstallAllocationFailureBox();
    }
    void TearDown() override {
        ReleaseWholeTable();
        g_messageBox = MessageBoxA;
        SondrelObserveAllocations(NULL);
        g_reportAllocationFailure = CountAllocationFailure;
    }
};

TEST_F(MatchDocumentTest, TheChecksTellALiveHandleFromAFreedOne) {
    HGLOBAL live = MovableText("abc");
    EXPECT_FALSE(IsFreed(live));
    EXPECT_FALSE(SlotReused(live));
    GlobalFree(live);
    EXPECT_TRUE(IsFreed(live));
    EXPECT_TRUE(SlotReused(live));
}

TEST_F(MatchDocumentTest, MatchingDocumentIsRecordedAndItsHandleFreed) {
    auto header = Header(1234, "Dr Martin");
    HGLOBAL doc = MovableText("<TEXT>Vacances d'été</TEXT><rtf>été</rtf>");
    ASSERT_FALSE(IsFreed(doc));
    MatchDocument(doc, "ete", header.data(), 5001, 1, 0);
    EXPECT_TRUE(IsFreed(doc));
    EXPECT_EQ(Results.OccurrenceTotal, 1);
    EXPECT_EQ(Results.PatientsWithHits, 1);
    PatientHits* r = Results.PatientHitsTable[1234];
    ASSERT_NE(r, (PatientHits*)NULL);
    EXPECT_EQ(r->occurrenceCount, 1);
    EXPECT_EQ(r->hits[0].key, 5001u);
    EXPECT_EQ(r->hits[0].fromFileTable, 1);
    EXPECT_STREQ(r->authors, "Dr Martin");
    EXPECT_EQ(r->firstDate, MakePackedDate(15, 3, 2005));
}

TEST_F(MatchDocumentTest, DocumentThatDoesNotMatchIsFreedToo) {
    auto header = Header(7, "Dr A");
    HGLOBAL doc = MovableText("<text>Aspirine</text><velarine_data>FORM</velarine_data>");
    MatchDocument(doc, "aspirine", header.data(), 1, 0, 1); // form data only: no match
    EXPECT_TRUE(IsFreed(doc));
    EXPECT_EQ(Results.OccurrenceTotal, 0);
    EXPECT_EQ(Results.PatientHitsTable[7], (PatientHits*)NULL);
}

TEST_F(MatchDocumentTest, HandleThatCannotBeLockedIsStillFreed) {
    auto header = Header(7, "Dr A");
    HGLOBAL doc = GlobalAlloc(GMEM_MOVEABLE | GMEM_DISCARDABLE, 64);
    ASSERT_NE(doc, (HGLOBAL)NULL);
    GlobalDiscard(doc);
    ASSERT_EQ(GlobalLock(doc), (void*)NULL);
    MatchDocument(doc, "a", header.data(), 1, 0, 0);
    EXPECT_TRUE(SlotReused(doc));
    EXPECT_EQ(Results.OccurrenceTotal, 0);
}

TEST_F(MatchDocumentTest, NullHandleIsIgnored) {
    auto header = Header(7, "Dr A");
    MatchDocument(NULL, "a", header.data(), 1, 0, 0);
    EXPECT_EQ(Results.OccurrenceTotal, 0);
    EXPECT_TRUE(g_searchBoxes.empty());
}

TEST_F(MatchDocumentTest, TextWithoutTerminatorEndsInsideItsBlock) {
    auto header = Header(8, "Dr A");
    std::string bytes = "<text>" + std::string(100, 'a') + "xyZ"; // no terminator in the block
    HGLOBAL doc = MovableBlock(bytes);
    ASSERT_EQ(GlobalSize(doc), bytes.size());
    MatchDocument(doc, "xy", header.data(), 1, 0, 0);
    EXPECT_TRUE(IsFreed(doc));
    EXPECT_EQ(Results.OccurrenceTotal, 1);
    // The last byte of the block becomes the terminator, so "xyz" is not found.
    doc = MovableBlock(bytes);
    MatchDocument(doc, "xyz", header.data(), 2, 0, 0);
    EXPECT_TRUE(IsFreed(doc));
    EXPECT_EQ(Results.OccurrenceTotal, 1);
}

TEST_F(MatchDocumentTest, DroppedResultShowsTheErrorBoxAndTheRunGoesOn) {
    auto header = Header(9, "Dr A");
    SondrelObserveAllocations(FailingRecordAllocator);
    HGLOBAL doc = MovableText("<text>abc</text>");
    MatchDocument(doc, "abc", header.data(), 1, 0, 0);
    EXPECT_TRUE(IsFreed(doc));
    ASSERT_EQ(g_searchBoxes.size(), 1u);
    EXPECT_EQ(g_searchBoxes[0].owner, (HWND)NULL);
    EXPECT_EQ(g_searchBoxes[0].text, "Erreur d'allocation m\xe9moire, r\xe9sultat ignor\xe9");
    EXPECT_EQ(g_searchBoxes[0].caption, "Sondrel");
    EXPECT_EQ(g_searchBoxes[0].style, (UINT)MB_ICONERROR);
    EXPECT_EQ(Results.OccurrenceTotal, 1);
    EXPECT_EQ(Results.PatientHitsTable[9], (PatientHits*)NULL);

    SondrelObserveAllocations(NULL);
    doc = MovableText("<text>abc</text>");
    MatchDocument(doc, "abc", header.data(), 2, 0, 0);
    EXPECT_EQ(Results.OccurrenceTotal, 2);
    ASSERT_NE(Results.PatientHitsTable[9], (PatientHits*)NULL);
    EXPECT_EQ(Results.PatientHitsTable[9]->hits[0].key, 2u);
    EXPECT_EQ(g_searchBoxes.size(), 1u);
}

} // namespace
