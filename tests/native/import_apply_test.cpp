// Adding and subtracting results-file lines to and from the hit table.
#include "exchange/import_apply.h"
#include "search/hits.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

// The host's names for a few patients; the others are unknown (empty names: " ").
std::map<int, std::string> g_names = {{12, "DUPONT \xc9lodie"}, {7, "MARTIN Jean"}, {1048575, "TOP Last"}};

void Name(void*, int patient, char* name, size_t size) {
    auto it = g_names.find(patient);
    snprintf(name, size, "%s", it == g_names.end() ? " " : it->second.c_str());
}

class ImportApply : public ::testing::Test {
  protected:
    void SetUp() override { Reset(); }
    void TearDown() override { Reset(); }
    static void Reset() {
        for (int i = 0; i < PATIENT_TABLE_SLOTS; i++) {
            if (Results.PatientHitsTable[i] != nullptr) ReleasePatientHits(Results.PatientHitsTable[i]);
        }
        ClearHitTable();
    }
    int Apply(const std::string& line, int mode = IMPORT_ADD) {
        return ApplyImportLine(line.data(), (int)line.size(), 0, mode, &Name, nullptr);
    }
};

const char* kLine12 =
    "12\tDUPONT \xc9lodie\t45 ans 11 m\t3\t02/01/2004\t20/11/2006\tDr A;Dr B\t1234\tR\xe9gime\t";

TEST_F(ImportApply, AddCreatesTheRecordAsExported) {
    EXPECT_EQ(Apply(kLine12), IMPORT_LINE_APPLIED);
    PatientHits* r = Results.PatientHitsTable[12];
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->occurrenceCount, 3);
    EXPECT_EQ(r->firstDate, (2004u << 16) | (1u << 8) | 2u);
    EXPECT_EQ(r->lastDate, (2006u << 16) | (11u << 8) | 20u);
    EXPECT_STREQ(r->authors, "Dr A;Dr B");
    EXPECT_EQ(r->hits, nullptr);
    EXPECT_EQ(Results.OccurrenceTotal, 3);
    EXPECT_EQ(Results.PatientsWithHits, 1);
    // The same line again doubles the count and keeps dates and the authors item.
    EXPECT_EQ(Apply(kLine12), IMPORT_LINE_APPLIED);
    EXPECT_EQ(r->occurrenceCount, 6);
    EXPECT_STREQ(r->authors, "Dr A;Dr B");
    EXPECT_EQ(r->firstDate, (2004u << 16) | (1u << 8) | 2u);
    // Subtracting it twice empties the table.
    EXPECT_EQ(Apply(kLine12, IMPORT_SUBTRACT), IMPORT_LINE_APPLIED);
    EXPECT_STREQ(r->authors, "N.A.");
    EXPECT_EQ(Apply(kLine12, IMPORT_SUBTRACT), IMPORT_LINE_APPLIED);
    EXPECT_EQ(Results.PatientHitsTable[12], nullptr);
    EXPECT_EQ(Results.PatientsWithHits, 0);
    EXPECT_EQ(Results.OccurrenceTotal, 0);
}

TEST_F(ImportApply, AddMergesIntoSearchResultsAndDropsTheirHits) {
    PatientHits* r = RecordForPatient(7);
    AddHit(r, (2010u << 16) | (5u << 8) | 1u, "A", 99, 0);
    Results.OccurrenceTotal = 1;
    EXPECT_EQ(Apply("7\tmartin JEAN\tx\t2\t00/00/   0\t01/01/2011\tA;B\tss\t"), IMPORT_LINE_APPLIED);
    EXPECT_EQ(r->occurrenceCount, 3);
    EXPECT_STREQ(r->authors, "A;A;B"); // the cell is one item
    EXPECT_EQ(r->firstDate, 0u);       // a zero first date in the file: no date known
    EXPECT_EQ(r->lastDate, (2011u << 16) | (1u << 8) | 1u);
    EXPECT_EQ(r->hits, nullptr);
    EXPECT_EQ(Results.OccurrenceTotal, 3);
}

TEST_F(ImportApply, SubtractForAPatientWithoutRecord) {
    EXPECT_EQ(Apply("7\tMARTIN Jean\tx\t4\t02/01/2004\t20/11/2006\tA\tss", IMPORT_SUBTRACT),
              IMPORT_LINE_APPLIED);
    PatientHits* r = Results.PatientHitsTable[7];
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->occurrenceCount, -4);
    EXPECT_EQ(r->firstDate, 0u);
    EXPECT_EQ(r->lastDate, (2004u << 16) | (1u << 8) | 2u); // the line's first date
    EXPECT_EQ(Results.OccurrenceTotal, -4);
}

TEST_F(ImportApply, RejectedLinesLeaveNoRecordBehind) {
    EXPECT_EQ(Apply(""), IMPORT_LINE_REJECTED);
    EXPECT_EQ(Apply("0\tX"), IMPORT_LINE_REJECTED);
    EXPECT_EQ(Apply("1048576\tX\ta\t1\t01/01/2000\t01/01/2000\tA\tB"), IMPORT_LINE_REJECTED);
    EXPECT_EQ(Apply("-5\tX\ta\t1\t01/01/2000\t01/01/2000\tA\tB"), IMPORT_LINE_REJECTED);
    EXPECT_EQ(Apply("99999999999999\tX\ta\t1\t01/01/2000\t01/01/2000\tA\tB"), IMPORT_LINE_REJECTED);
    EXPECT_EQ(Apply("12"), IMPORT_LINE_REJECTED);                                  // no name field
    EXPECT_EQ(Apply("12\tDUPONT Elodie\tx\t1\ta\tb\tc\td"), IMPORT_LINE_REJECTED); // É is not é/E
    for (int missing = 3; missing <= 7; missing++) {
        std::string line = "12\tDUPONT \xc9lodie";
        for (int f = 3; f < missing; f++)
            line += "\t1";
        EXPECT_EQ(Apply(line), IMPORT_LINE_REJECTED) << "field " << missing << " missing";
    }
    EXPECT_EQ(Results.PatientsWithHits, 0);
    EXPECT_EQ(Results.OccurrenceTotal, 0);
    for (int i : {0, 7, 12})
        EXPECT_EQ(Results.PatientHitsTable[i], nullptr);
    // A line tied to another patient's number is rejected and leaves the existing record alone.
    PatientHits* r = RecordForPatient(7);
    AddHit(r, 5, "A", 1, 0);
    EXPECT_EQ(Apply("7\tDUPONT \xc9lodie\tx\t1\t01/01/2000\t01/01/2000\tA\tB"), IMPORT_LINE_REJECTED);
    EXPECT_EQ(Results.PatientHitsTable[7], r);
    EXPECT_EQ(r->occurrenceCount, 1);
}

TEST_F(ImportApply, MissingEighthFieldIsRejectedAfterApplying) {
    EXPECT_EQ(Apply("12\tDUPONT \xc9lodie\tx\t2\t01/01/2000\t01/01/2001\tDr A"), IMPORT_LINE_REJECTED);
    ASSERT_NE(Results.PatientHitsTable[12], nullptr);
    EXPECT_EQ(Results.PatientHitsTable[12]->occurrenceCount, 2);
    EXPECT_EQ(Apply("12\tDUPONT \xc9lodie\tx\t2\t01/01/2000\t01/01/2001\tDr A\t"), IMPORT_LINE_REJECTED);
    EXPECT_EQ(Results.PatientHitsTable[12]->occurrenceCount, 4);
    // A zero or empty count for a new patient creates nothing.
    EXPECT_EQ(Apply("7\tMARTIN Jean\tx\t\t01/01/2000\t01/01/2001\tA\tB"), IMPORT_LINE_APPLIED);
    EXPECT_EQ(Results.PatientHitsTable[7], nullptr);
    EXPECT_EQ(Results.PatientsWithHits, 1);
}

TEST_F(ImportApply, OversizedInputNeverOverruns) {
    // An overlong line is rejected whole.
    std::string line(4999, 'x');
    EXPECT_EQ(ApplyImportLine(line.data(), (int)line.size(), 1, IMPORT_ADD, &Name, nullptr),
              IMPORT_LINE_REJECTED);
    // An authors field beyond its buffer is not merged; the rest applies.
    std::string big = "7\tMARTIN Jean\tx\t1\t01/01/2000\t01/01/2001\t" + std::string(2500, 'a') + "\tss";
    EXPECT_EQ(Apply(big), IMPORT_LINE_APPLIED);
    EXPECT_STREQ(Results.PatientHitsTable[7]->authors, "");
    EXPECT_EQ(Results.PatientHitsTable[7]->occurrenceCount, 1);
    // Authors that would pass 999 characters are not merged.
    std::string a900 = "7\tMARTIN Jean\tx\t1\t01/01/2000\t01/01/2001\t" + std::string(900, 'b') + "\tss";
    std::string a200 = "7\tMARTIN Jean\tx\t1\t01/01/2000\t01/01/2001\t" + std::string(200, 'c') + "\tss";
    EXPECT_EQ(Apply(a900), IMPORT_LINE_APPLIED);
    EXPECT_EQ(Apply(a200), IMPORT_LINE_APPLIED);
    EXPECT_EQ(strlen(Results.PatientHitsTable[7]->authors), 900u);
    // Counts saturate instead of overflowing.
    EXPECT_EQ(Apply("1048575\tTOP Last\tx\t2147483647\t01/01/2000\t01/01/2001\tA\tB"), IMPORT_LINE_APPLIED);
    EXPECT_EQ(Apply("1048575\tTOP Last\tx\t2147483647\t01/01/2000\t01/01/2001\tA\tB"), IMPORT_LINE_APPLIED);
    EXPECT_EQ(Results.PatientHitsTable[1048575]->occurrenceCount, 2147483647);
    EXPECT_EQ(Results.OccurrenceTotal, 2147483647);
}

} // namespace
