/* The per-patient hit table: records, hits-array growth and its failures, dates and authors. */
#include "search_test_support.h"

#include <stdint.h>

namespace {

class HitsTest : public SearchTest {
  protected:
    PatientHits* NewRecord(int32_t patient = 77) {
        PatientHits* r = RecordForPatient(patient);
        EXPECT_NE(r, nullptr);
        return r;
    }
};

TEST_F(HitsTest, RecordsAreCreatedZeroFilledOncePerSlot) {
    PatientHits* r = NewRecord(77);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(Results.PatientsWithHits, 1);
    EXPECT_EQ(r->patientNumber, 77);
    EXPECT_EQ(r->occurrenceCount, 0);
    EXPECT_EQ(r->firstDate, 0u);
    EXPECT_EQ(r->lastDate, 0u);
    EXPECT_EQ(r->hits, nullptr);
    EXPECT_STREQ(r->authors, "");
    EXPECT_EQ(RecordForPatient(77), r);
    EXPECT_EQ(Results.PatientsWithHits, 1);
    EXPECT_EQ(Results.OccurrenceTotal, 0); /* only matching counts documents */
}

TEST_F(HitsTest, SlotsAtBothEndsAndOutside) {
    PatientHits* low = RecordForPatient(0);
    PatientHits* high = RecordForPatient(1048575);
    ASSERT_NE(low, nullptr);
    ASSERT_NE(high, nullptr);
    EXPECT_NE(low, high);
    EXPECT_EQ(Results.PatientHitsTable[0], low);
    EXPECT_EQ(Results.PatientHitsTable[1048575], high);
    EXPECT_EQ(high->patientNumber, 1048575);
    EXPECT_EQ(RecordForPatient(-1), nullptr);
    EXPECT_EQ(RecordForPatient(1048576), nullptr);
    EXPECT_EQ(RecordForPatient(INT32_MIN), nullptr);
    EXPECT_EQ(Results.PatientsWithHits, 2);
    EXPECT_EQ(g_allocationFailureReports, 0);
}

TEST_F(HitsTest, ClearHitTableEmptiesSlotsAndCounters) {
    PatientHits* a = RecordForPatient(3);
    PatientHits* b = RecordForPatient(1048575);
    Results.OccurrenceTotal = 9;
    ClearHitTable();
    EXPECT_EQ(Results.PatientHitsTable[3], nullptr);
    EXPECT_EQ(Results.PatientHitsTable[1048575], nullptr);
    EXPECT_EQ(Results.OccurrenceTotal, 0);
    EXPECT_EQ(Results.PatientsWithHits, 0);
    /* Clearing releases nothing: the records are released separately, as the run does. */
    ReleasePatientHits(a);
    ReleasePatientHits(b);
    ReleasePatientHits(nullptr);
}

TEST_F(HitsTest, ArrayGrowsAt100And200To300) {
    PatientHits* r = NewRecord();
    for (uint32_t i = 0; i < 99; i++)
        AddHit(r, 0, "", 1000 + i, 0);
    EXPECT_EQ(ArraySizes(), std::vector<size_t>({100}));
    AddHit(r, 0, "", 1099, 1); /* entry 99: the array grows before it is stored */
    EXPECT_EQ(ArraySizes(), std::vector<size_t>({100, 200}));
    for (uint32_t i = 100; i < 250; i++)
        AddHit(r, 0, "", 1000 + i, (int)(i & 1));
    EXPECT_EQ(ArraySizes(), std::vector<size_t>({100, 200, 300}));
    EXPECT_EQ(r->occurrenceCount, 250);
    EXPECT_EQ(r->hitCapacity, 300);
    for (uint32_t i = 0; i < 250; i++) {
        ASSERT_EQ(r->hits[i].key, 1000 + i) << i;
        ASSERT_EQ(r->hits[i].fromFileTable, i < 99 ? 0 : (int)(i & 1)) << i;
    }
    for (const AllocCall& c : g_allocLog.calls) {
        if (c.kind != HIT_ALLOC_RECORD) {
            EXPECT_EQ(c.size, sizeof(HitRef));
        }
    }
    EXPECT_EQ(g_allocLog.calls[1].kind, HIT_ALLOC_FIRST);
    EXPECT_EQ(g_allocLog.calls[2].kind, HIT_ALLOC_GROW);
    EXPECT_EQ(g_allocationFailureReports, 0);
}

TEST_F(HitsTest, SecondGrowthFailureDropsOnlyThatHit) {
    PatientHits* r = NewRecord();
    FailAllocation(HIT_ALLOC_GROW, 2);
    for (uint32_t i = 0; i < 199; i++)
        AddHit(r, MakePackedDate(1, 1, 2000), "Dr A", i, 0);
    EXPECT_EQ(r->occurrenceCount, 199);
    HitRef* before = r->hits;
    /* Entry 199 needs the second growth, which fails: nothing of this hit is kept. */
    AddHit(r, MakePackedDate(1, 1, 2010), "Dr Perdu", 9999, 1);
    EXPECT_EQ(g_allocationFailureReports, 1);
    EXPECT_EQ(r->occurrenceCount, 199);
    EXPECT_EQ(r->hits, before);
    EXPECT_EQ(r->hitCapacity, 200);
    EXPECT_EQ(r->lastDate, MakePackedDate(1, 1, 2000));
    EXPECT_STREQ(r->authors, "Dr A");
    /* The run goes on: the next hit tries the growth again and is stored at entry 199. */
    AddHit(r, MakePackedDate(2, 1, 2000), "Dr B", 5000, 0);
    EXPECT_EQ(ArraySizes(), std::vector<size_t>({100, 200, 300, 300}));
    EXPECT_TRUE(g_allocLog.calls[3].failed);
    EXPECT_EQ(r->occurrenceCount, 200);
    EXPECT_EQ(r->hitCapacity, 300);
    for (uint32_t i = 0; i < 199; i++)
        ASSERT_EQ(r->hits[i].key, i);
    EXPECT_EQ(r->hits[199].key, 5000u);
    EXPECT_STREQ(r->authors, "Dr A;Dr B");
}

TEST_F(HitsTest, FirstArrayFailureLeavesTheRecordEmpty) {
    PatientHits* r = NewRecord();
    FailAllocation(HIT_ALLOC_FIRST, 1);
    AddHit(r, MakePackedDate(5, 5, 2005), "Dr A", 1, 0);
    EXPECT_EQ(g_allocationFailureReports, 1);
    EXPECT_EQ(r->occurrenceCount, 0);
    EXPECT_EQ(r->hits, nullptr);
    EXPECT_EQ(r->firstDate, 0u);
    EXPECT_EQ(r->lastDate, 0u);
    EXPECT_STREQ(r->authors, "");
    AddHit(r, MakePackedDate(6, 6, 2006), "Dr B", 2, 1);
    EXPECT_EQ(r->occurrenceCount, 1);
    EXPECT_EQ(r->hits[0].key, 2u);
    EXPECT_STREQ(r->authors, "Dr B");
    EXPECT_EQ(g_allocationFailureReports, 1);
}

TEST_F(HitsTest, RecordWhoseArrayTheImportDroppedKeepsCounting) {
    PatientHits* r = NewRecord();
    r->occurrenceCount = 5; /* as the import leaves it: a count without entries */
    AddHit(r, MakePackedDate(1, 2, 2003), "Dr A", 1, 0);
    EXPECT_EQ(r->occurrenceCount, 6);
    EXPECT_EQ(r->hits, nullptr);
    EXPECT_EQ(ArraySizes().size(), 0u);
    EXPECT_EQ(r->lastDate, MakePackedDate(1, 2, 2003));
    r->occurrenceCount = -3;
    AddHit(r, 0, "Dr A", 2, 0);
    EXPECT_EQ(r->occurrenceCount, -2);
    EXPECT_EQ(r->hits, nullptr);
    /* Reaching 99 through the import does not make an array of garbage entries. */
    r->occurrenceCount = 99;
    AddHit(r, 0, "Dr A", 3, 0);
    EXPECT_EQ(r->hits, nullptr);
    EXPECT_EQ(r->occurrenceCount, 100);
    AddHit(nullptr, 0, "Dr A", 3, 0);
}

TEST_F(HitsTest, DatesFirstAndLast) {
    PatientHits* r = NewRecord();
    AddHit(r, MakePackedDate(15, 3, 2005), "Dr A", 1, 0);
    AddHit(r, MakePackedDate(2, 1, 2004), "Dr A", 2, 0);
    AddHit(r, MakePackedDate(20, 11, 2006), "Dr A", 3, 0);
    EXPECT_EQ(r->firstDate, MakePackedDate(2, 1, 2004));
    EXPECT_EQ(r->lastDate, MakePackedDate(20, 11, 2006));
    /* Ordered as unsigned words: 31/12/1999 is before 01/01/2000. */
    AddHit(r, MakePackedDate(31, 12, 1999), "Dr A", 4, 0);
    EXPECT_EQ(r->firstDate, MakePackedDate(31, 12, 1999));
}

TEST_F(HitsTest, ZeroDates) {
    PatientHits* r = NewRecord();
    AddHit(r, 0, "Dr A", 1, 0);
    EXPECT_EQ(r->firstDate, 0u);
    EXPECT_EQ(r->lastDate, 0u);
    AddHit(r, MakePackedDate(10, 10, 2010), "Dr A", 2, 0);
    EXPECT_EQ(r->firstDate, MakePackedDate(10, 10, 2010)); /* a first date of 0 counts as unknown */
    EXPECT_EQ(r->lastDate, MakePackedDate(10, 10, 2010));
    AddHit(r, 0, "Dr A", 3, 0); /* a dateless document after dated ones clears the first date */
    EXPECT_EQ(r->firstDate, 0u);
    EXPECT_EQ(r->lastDate, MakePackedDate(10, 10, 2010));
    AddHit(r, MakePackedDate(1, 1, 2011), "Dr A", 4, 0);
    EXPECT_EQ(r->firstDate, MakePackedDate(1, 1, 2011));
    EXPECT_EQ(r->lastDate, MakePackedDate(1, 1, 2011));
}

std::string Merge(std::string authors, const char* author, int* result = nullptr) {
    char buffer[AUTHORS_TEXT_SIZE];
    StrCopy(buffer, sizeof buffer, authors.c_str());
    int r = MergeAuthor(buffer, author);
    if (result) *result = r;
    return buffer;
}

TEST(MergeAuthor, WholeItemsOnly) {
    EXPECT_EQ(Merge("Dr A;Dr AB", "Dr AB"), "Dr A;Dr AB");
    EXPECT_EQ(Merge("Dr A;Dr AB", "Dr A"), "Dr A;Dr AB");
    EXPECT_EQ(Merge("Dr A;Dr AB", "Dr B"), "Dr A;Dr AB;Dr B");
    EXPECT_EQ(Merge("Dr AB", "Dr A"), "Dr AB;Dr A");
    EXPECT_EQ(Merge(Merge("Dr AB", "Dr A"), "Dr A"), "Dr AB;Dr A");
    EXPECT_EQ(Merge("Dr AB;Dr A", "Dr A"), "Dr AB;Dr A");
    EXPECT_EQ(Merge("Dr BA;Dr A", "A"), "Dr BA;Dr A;A"); /* a tail of an item is not the item */
    EXPECT_EQ(Merge("Dr A;Dr AB;Dr B", "AB;Dr"), "Dr A;Dr AB;Dr B;AB;Dr");
    EXPECT_EQ(Merge("Dr A;Dr B", "Dr A;Dr B"), "Dr A;Dr B"); /* one item holding a ";" */
    EXPECT_EQ(Merge("dr a", "Dr A"), "dr a;Dr A");           /* case-sensitive */
    EXPECT_EQ(Merge("", "Dr A"), "Dr A");
}

TEST(MergeAuthor, EmptyAuthors) {
    EXPECT_EQ(Merge("", ""), "");
    EXPECT_EQ(Merge("Dr A", ""), "Dr A;");
    EXPECT_EQ(Merge("Dr A;", ""), "Dr A;");
    EXPECT_EQ(Merge(";Dr A", ""), ";Dr A");
    EXPECT_EQ(Merge("Dr A;", "Dr B"), "Dr A;;Dr B");
    EXPECT_EQ(Merge("Dr A", nullptr), "Dr A;");
}

TEST(MergeAuthor, NeverBeyond999Characters) {
    std::string full(995, 'x');
    int result = -1;
    EXPECT_EQ(Merge(full, "abcd", &result), full); /* 995 + ";" + 4 = 1000: does not fit */
    EXPECT_EQ(result, 0);
    EXPECT_EQ(Merge(full, "abc", &result), full + ";abc"); /* exactly 999 */
    EXPECT_EQ(result, 1);
    EXPECT_EQ(Merge("", std::string(999, 'y').c_str(), &result), std::string(999, 'y'));
    EXPECT_EQ(Merge("", std::string(1000, 'y').c_str(), &result), "");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(Merge(std::string(999, 'x'), "", &result), std::string(999, 'x'));
    EXPECT_EQ(result, 0);
    /* An author that is already there is found even when the text is full. */
    EXPECT_EQ(Merge(full + ";abc", "abc", &result), full + ";abc");
    EXPECT_EQ(result, 1);
}

TEST_F(HitsTest, AuthorThatDoesNotFitStillCountsTheHit) {
    PatientHits* r = NewRecord();
    std::string item(20, 'D');
    int appended = 0;
    for (int i = 0; i < 60; i++) {
        std::string author = item + std::to_string(i);
        AddHit(r, MakePackedDate(1, 1, 2000), author.c_str(), (uint32_t)i, 0);
        if (strstr(r->authors, author.c_str())) appended++;
        ASSERT_LT(strlen(r->authors), (size_t)AUTHORS_TEXT_SIZE);
    }
    EXPECT_EQ(r->occurrenceCount, 60);
    EXPECT_LT(appended, 60);
    EXPECT_GT(appended, 40);
    EXPECT_LE(strlen(r->authors), 999u);
}

} // namespace
