// Opening, locking and closing a host table (host/host_table_win.h) against the stand-in host, whose
// test switch hands out blocks smaller than a record or blocks that cannot be locked; and the search
// run over such tables. The viewer's and the import's cases are with their own tests.
#include <windows.h>

#include <gtest/gtest.h>

#include <string.h>

#include "host/host_table_win.h"
#include "host/records.h"
#include "host_table_support.h"
#include "searchrun_fixture.h"

using searchrun::SearchRunFixture;

namespace {

const HostTableKind kKinds[] = {HOST_TABLE_PATIENTS, HOST_TABLE_FOLDERS, HOST_TABLE_INFOSESAM,
                                HOST_TABLE_EXTENSIONS};
const size_t kRecordSizes[] = {PATIENT_RECORD_SIZE, FOLDER_RECORD_SIZE, INFOSESAM_RECORD_SIZE,
                               EXTENSIONS_RECORD_SIZE};

bool IsZero(const HostTable& table) {
    HostTable zero;
    memset(&zero, 0, sizeof zero);
    return memcmp(&table, &zero, sizeof table) == 0;
}

TEST(HostTable, EveryTableGivesItsLockedRecordAndClosesUnlocked) {
    for (int i = 0; i < 4; i++) {
        HostTable table;
        void* record = OpenHostTable(kKinds[i], kRecordSizes[i], &table);
        ASSERT_NE(record, (void*)NULL) << i;
        EXPECT_EQ(record, table.record);
        EXPECT_EQ(record, table.block);
        EXPECT_EQ(table.kind, kKinds[i]);
        EXPECT_GE(table.size, kRecordSizes[i]);
        EXPECT_EQ(GlobalFlags(table.handle) & GMEM_LOCKCOUNT, 1u) << i;
        memset(record, 0xA5, kRecordSizes[i]); // the whole record is the caller's to write
        CloseHostTable(&table);
        EXPECT_TRUE(IsZero(table)) << i;
    }
}

TEST(HostTable, ABlockSmallerThanTheRecordGivesNoRecordButIsStillUnlockedAndClosed) {
    FaultyTableBlocks faulty(16);
    ASSERT_TRUE(faulty.set) << "the stand-in HDAPI5.DLL exports StandinSetTableBlockSize";
    for (int i = 0; i < 4; i++) {
        HostTable table;
        EXPECT_EQ(OpenHostTable(kKinds[i], kRecordSizes[i], &table), (void*)NULL) << i;
        EXPECT_EQ(table.record, (void*)NULL);
        ASSERT_NE(table.handle, (HGLOBAL)NULL);
        EXPECT_NE(table.block, (void*)NULL);
        EXPECT_EQ(table.size, 16u);
        EXPECT_EQ(GlobalFlags(table.handle) & GMEM_LOCKCOUNT, 1u) << i;
        CloseHostTable(&table);
        EXPECT_TRUE(IsZero(table)) << i;
    }
    // Exactly the record's size is enough; one byte less is not.
    StandinTableBlockSize(PATIENT_RECORD_SIZE);
    HostTable table;
    EXPECT_NE(OpenHostTable(HOST_TABLE_PATIENTS, PATIENT_RECORD_SIZE, &table), (void*)NULL);
    CloseHostTable(&table);
    StandinTableBlockSize(PATIENT_RECORD_SIZE - 1);
    EXPECT_EQ(OpenHostTable(HOST_TABLE_PATIENTS, PATIENT_RECORD_SIZE, &table), (void*)NULL);
    CloseHostTable(&table);
}

TEST(HostTable, ABlockThatCannotBeLockedGivesNoRecord) {
    FaultyTableBlocks faulty(0);
    ASSERT_TRUE(faulty.set);
    for (int i = 0; i < 4; i++) {
        HostTable table;
        EXPECT_EQ(OpenHostTable(kKinds[i], kRecordSizes[i], &table), (void*)NULL) << i;
        ASSERT_NE(table.handle, (HGLOBAL)NULL);
        EXPECT_EQ(table.block, (void*)NULL);
        EXPECT_EQ(table.record, (void*)NULL);
        EXPECT_EQ(table.size, 0u);
        CloseHostTable(&table);
        EXPECT_TRUE(IsZero(table));
    }
}

TEST(HostTable, NullAndNeverOpenedTablesAreSafe) {
    EXPECT_EQ(OpenHostTable(HOST_TABLE_PATIENTS, PATIENT_RECORD_SIZE, NULL), (void*)NULL);
    CloseHostTable(NULL);
    HostTable never;
    memset(&never, 0, sizeof never);
    CloseHostTable(&never);
    EXPECT_TRUE(IsZero(never));
    // Closing twice: the second close finds nothing to do.
    HostTable table;
    ASSERT_NE(OpenHostTable(HOST_TABLE_FOLDERS, FOLDER_RECORD_SIZE, &table), (void*)NULL);
    CloseHostTable(&table);
    CloseHostTable(&table);
    EXPECT_TRUE(IsZero(table));
}

// A letter in the patient folders (patient 10) and one in the letter file index (patient 20).
const char kCabinet[] = "HDCAB 1\r\n"
                        "TODAY 08/12/2026\r\n"
                        "P 10|DUPONT|Jean|08/09/1975|1 23\r\n"
                        "P 20|MARTIN|Paul|01/01/1981|2 81\r\n"
                        "S 90001|10|01\r\n"
                        "D 39|500|6|10|15/03/2005|1|Dr A\r\n<text>Zelmorin</text>\r\n.\r\n"
                        "D 284|60|6|20|05/05/2005|1|Dr G\r\n<text>Zelmorin fichier</text>\r\n.\r\n";
const char kSchemes[] = "[Régimes]\r\n1=01;Régime général;\r\n";

class SearchOverFaultyTables : public SearchRunFixture {
  protected:
    void SetUp() override {
        SearchRunFixture::SetUp();
        WriteCabinet(kCabinet);
        WriteSchemes(kSchemes);
        OpenWindow(1);
        ChooseMode(IDC_RADIO_LETTERS);
        SetDlgItemTextA(dialog_, IDC_SEARCH_TEXT, "zelmorin");
    }
    void TearDown() override {
        StandinTableBlockSize(-1);
        SearchRunFixture::TearDown();
    }
    std::string Rows() {
        std::string rows;
        for (int r = 0; r < RowCount(); r++)
            rows += Cell(r, 0) + "|" + Cell(r, 1) + "|" + Cell(r, 8) + ";";
        return rows;
    }
};

TEST_F(SearchOverFaultyTables, RecordsThatCannotBeReadLeaveTheirDocumentsAndColumnsOut) {
    RunAndWait();
    EXPECT_EQ(Rows(), "10|DUPONT Jean|Régime général;20|MARTIN Paul|;");
    for (int size : {16, 0}) {
        ASSERT_TRUE(StandinTableBlockSize(size));
        RunAndWait();
        // No folder record: the patient folders are not read; the file index still is. No patient
        // or social-insurance record: the names and the scheme stay empty.
        EXPECT_EQ(Rows(), "20| |;") << size;
        EXPECT_EQ(SearchShared.SearchControl.running.load(), 0);
        EXPECT_EQ(ControlText(IDC_LAUNCH), "Lancer");
    }
    StandinTableBlockSize(-1);
    RunAndWait();
    EXPECT_EQ(Rows(), "10|DUPONT Jean|Régime général;20|MARTIN Paul|;");
}

} // namespace
