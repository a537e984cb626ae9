// A patient's name as the host gives it: the record prepared for a read, the known / unknown rule,
// the composed "%s %s" bounded by the record fields, and the round trip of the name cell through a
// tab-separated export line and the import's check. Also the two host-result rules: a header judged
// by its bytes and the 16-bit document type.
#include "exchange/export_format.h"
#include "exchange/import_apply.h"
#include "host/records.h"
#include "search/hits.h"

#include <gtest/gtest.h>

#include <string.h>
#include <string>
#include <vector>

namespace {

// A patient record as a host leaves it: each field written as given, or not at all.
struct HostPatient {
    const char* last;  // nullptr: left untouched
    const char* first; // nullptr: left untouched
    bool writesBirth;
    uint32_t birth;
    const char* ss; // nullptr: left untouched
};

void HostRead(unsigned char* record, const HostPatient& p) {
    if (p.last != nullptr) SetRecordText(record, PATIENT_LAST_NAME, PATIENT_LAST_NAME_SIZE, p.last);
    if (p.first != nullptr) SetRecordText(record, PATIENT_FIRST_NAME, PATIENT_FIRST_NAME_SIZE, p.first);
    if (p.writesBirth) SetRecordU32(record, PATIENT_BIRTH_DATE, p.birth);
    if (p.ss != nullptr) SetRecordText(record, PATIENT_SS_NUMBER, PATIENT_SS_NUMBER_SIZE, p.ss);
}

std::string Composed(const void* record, size_t size = PATIENT_NAME_TEXT_SIZE) {
    std::vector<char> out(size + 1, '#');
    int n = ComposePatientName(record, out.data(), size);
    if (size == 0) {
        EXPECT_EQ(n, 0);
        EXPECT_EQ(out[0], '#') << "nothing is written into an empty buffer";
        return "";
    }
    EXPECT_EQ((size_t)n, strlen(out.data()));
    EXPECT_EQ(out[size], '#') << "written past the buffer";
    return out.data();
}

TEST(PatientName, PreparedRecordTellsKnownFromUnknownPatients) {
    unsigned char record[PATIENT_RECORD_SIZE];
    // The previous patient's identity must never survive the preparation.
    memset(record, 'Z', sizeof record);
    PreparePatientRead(record, 4242);
    EXPECT_EQ(RecordU32(record, PATIENT_NUMBER), 4242u);
    EXPECT_STREQ(RecordText(record, PATIENT_LAST_NAME), "");
    EXPECT_STREQ(RecordText(record, PATIENT_FIRST_NAME), "");
    EXPECT_STREQ(RecordText(record, PATIENT_SS_NUMBER), "");
    EXPECT_FALSE(PatientWasRead(record)) << "a host that writes nothing: unknown";
    EXPECT_EQ(Composed(record), " ");

    struct Case {
        HostPatient host;
        bool known;
        const char* name;
    } cases[] = {
        {{"DUPONT", "\xc9lodie", true, 0x07A9030Cu, "1 61"}, true, "DUPONT \xc9lodie"},
        // Known, every field empty and birth date 0: known all the same (it gets an age).
        {{"", "", true, 0, ""}, true, " "},
        {{nullptr, nullptr, true, 0, nullptr}, true, " "},
        {{"SEUL", nullptr, false, 0, nullptr}, true, "SEUL "},
        {{nullptr, "Prenom", false, 0, nullptr}, true, " Prenom"},
        {{nullptr, nullptr, false, 0, "123"}, true, " "},
        {{nullptr, nullptr, false, 0, nullptr}, false, " "},
    };
    for (const Case& c : cases) {
        memset(record, 'Z', sizeof record);
        PreparePatientRead(record, 7);
        HostRead(record, c.host);
        EXPECT_EQ(PatientWasRead(record) != 0, c.known) << c.name;
        EXPECT_EQ(Composed(record), c.name);
    }
    EXPECT_FALSE(PatientWasRead(nullptr));
    EXPECT_EQ(Composed(nullptr), " ") << "no patient record: both names empty";
}

TEST(PatientName, NamesFillingTheirFieldsAreReadWithinTheFieldsOnly) {
    unsigned char record[PATIENT_RECORD_SIZE];
    PreparePatientRead(record, 1);
    // Both fields filled to their last byte without terminator, the bytes after them not zero.
    memset(record + PATIENT_LAST_NAME, 'L', PATIENT_LAST_NAME_SIZE);
    memset(record + PATIENT_FIRST_NAME, 'F', PATIENT_FIRST_NAME_SIZE);
    SetRecordU32(record, PATIENT_BIRTH_DATE, 0x41414141u);
    std::string expected =
        std::string(PATIENT_LAST_NAME_SIZE, 'L') + " " + std::string(PATIENT_FIRST_NAME_SIZE, 'F');
    EXPECT_EQ(Composed(record), expected);
    EXPECT_EQ(expected.size() + 1, (size_t)PATIENT_NAME_TEXT_SIZE) << "the largest name fits exactly";
    // A smaller buffer cuts the name and terminates it, never overruns: every size down to 0.
    for (size_t size = PATIENT_NAME_TEXT_SIZE; size-- > 0;) {
        std::string cut = Composed(record, size);
        if (size > 0) {
            EXPECT_EQ(cut, expected.substr(0, size - 1)) << size;
        }
    }
    // A record whose name fields end exactly at the end of a block (read under ASan: no byte past
    // the first-name field may be touched).
    std::vector<unsigned char> tight(PATIENT_FIRST_NAME + PATIENT_FIRST_NAME_SIZE);
    memset(tight.data(), 'x', tight.size());
    EXPECT_EQ(Composed(tight.data()),
              std::string(PATIENT_LAST_NAME_SIZE, 'x') + " " + std::string(PATIENT_FIRST_NAME_SIZE, 'x'));
}

TEST(HostResults, HeaderIsJudgedByItsBytesAndTheTypeByItsLowHalf) {
    unsigned char header[FOLDER_RECORD_SIZE];
    memset(header, 0, sizeof header);
    EXPECT_FALSE(HeaderWasFilled(header)) << "left as cleared: not read";
    header[COMMON_HEADER_SIZE] = 1;
    EXPECT_FALSE(HeaderWasFilled(header)) << "bytes past the common header do not count";
    for (size_t i = 0; i < COMMON_HEADER_SIZE; i++) {
        memset(header, 0, sizeof header);
        header[i] = 0x80;
        EXPECT_TRUE(HeaderWasFilled(header)) << i;
    }
    EXPECT_FALSE(HeaderWasFilled(nullptr));

    EXPECT_EQ(HostDocumentType(6), 6);
    EXPECT_EQ(HostDocumentType((int)0x5A5A0007u), 7);
    EXPECT_EQ(HostDocumentType(-1), 0xFFFF);
    EXPECT_EQ(HostDocumentType((int)0xFFFF0000u), 0);
}

// The name cell as the list shows it goes into a tab-separated line as the export writes it, and the
// import's check composes the host's name from the same record: every row comes back.
class NameRoundTrip : public ::testing::Test {
  protected:
    void SetUp() override { Reset(); }
    void TearDown() override { Reset(); }
    static void Reset() {
        for (int i = 0; i < PATIENT_TABLE_SLOTS; i++) {
            if (Results.PatientHitsTable[i] != nullptr) ReleasePatientHits(Results.PatientHitsTable[i]);
        }
        ClearHitTable();
    }
};

// The host of this test: one record per patient number, read into the caller's record.
struct FakeHost {
    std::vector<std::pair<int, HostPatient>> patients;
    unsigned char record[PATIENT_RECORD_SIZE];
    void Read(int number) {
        memset(record, 'Z', sizeof record);
        PreparePatientRead(record, number);
        for (const auto& p : patients)
            if (p.first == number) HostRead(record, p.second);
    }
};

void HostName(void* context, int patient, char* name, size_t size) {
    FakeHost* host = (FakeHost*)context;
    host->Read(patient);
    ComposePatientName(host->record, name, size);
}

int CollectBytes(void* context, const char* bytes, size_t n) {
    ((std::string*)context)->append(bytes, n);
    return 1;
}

TEST_F(NameRoundTrip, UnknownAndEmptyNamedPatientsComeBackFromTheExport) {
    FakeHost host;
    host.patients = {{5, {"DUPONT", "\xc9lodie", true, 0, "1"}},
                     {6, {"", "", true, 0, ""}},               // known, names empty, birth date 0
                     {8, {"SEUL", "", true, 0x07D00101u, ""}}, // first name empty
                     {9, {"", "Prenom", true, 0, ""}}};        // last name empty
    const int numbers[] = {5, 6, 7 /* unknown to the host */, 8, 9};
    std::string file;
    ExportSink sink = {CollectBytes, &file, 0};
    for (int n : numbers) {
        host.Read(n);
        char cells[3][EXPORT_CELL_SIZE];
        snprintf(cells[0], sizeof cells[0], "%d", n);
        ComposePatientName(host.record, cells[1], sizeof cells[1]);
        snprintf(cells[2], sizeof cells[2], "%d", n); // the count
        for (char* cell : {cells[0], cells[1]})
            WriteExportCell(&sink, cell, EXPORT_EXCEL, 100);
        char age[EXPORT_CELL_SIZE] = "";
        WriteExportCell(&sink, age, EXPORT_EXCEL, 80);
        WriteExportCell(&sink, cells[2], EXPORT_EXCEL, 40);
        char rest[5][EXPORT_CELL_SIZE] = {"01/02/2003", "04/05/2006", "Dr A", "", ""};
        for (char* cell : rest)
            WriteExportCell(&sink, cell, EXPORT_EXCEL, 80);
        WriteExportRowEnd(&sink, EXPORT_EXCEL);
    }
    EXPECT_NE(file.find("7\t \t"), std::string::npos) << "the unknown patient's name cell is one space";
    EXPECT_NE(file.find("6\t \t"), std::string::npos);

    size_t start = 0;
    int lines = 0;
    while (start < file.size()) {
        size_t end = file.find("\r\n", start);
        ASSERT_NE(end, std::string::npos);
        std::string line = file.substr(start, end - start);
        EXPECT_EQ(ApplyImportLine(line.data(), (int)line.size(), 0, IMPORT_ADD, HostName, &host),
                  IMPORT_LINE_APPLIED)
            << line;
        start = end + 2;
        lines++;
    }
    EXPECT_EQ(lines, 5);
    EXPECT_EQ(Results.PatientsWithHits, 5);
    for (int n : numbers) {
        ASSERT_NE(Results.PatientHitsTable[n], nullptr) << n;
        EXPECT_EQ(Results.PatientHitsTable[n]->occurrenceCount, n);
        EXPECT_STREQ(Results.PatientHitsTable[n]->authors, "Dr A");
    }
    // The check still refuses another patient's name, and an empty cell for the unknown patient.
    std::string wrong = "7\t\t\t1\t01/02/2003\t04/05/2006\tDr A\t\t\t";
    EXPECT_EQ(ApplyImportLine(wrong.data(), (int)wrong.size(), 0, IMPORT_ADD, HostName, &host),
              IMPORT_LINE_REJECTED);
    wrong = "6\tDUPONT \xc9lodie\t\t1\t01/02/2003\t04/05/2006\tDr A\t\t\t";
    EXPECT_EQ(ApplyImportLine(wrong.data(), (int)wrong.size(), 0, IMPORT_ADD, HostName, &host),
              IMPORT_LINE_REJECTED);
}

} // namespace
