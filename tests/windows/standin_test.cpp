/* Stand-in host under Wine: HDAPI5.DLL through the program's import library, called the way the
 * program calls it. Each test writes its own small cabinet tree into a temporary directory and opens
 * it with HDSetPathCabinet / HDOpenCabinet; the registry values a test changes are put back. Also
 * the HDSV version DLLs and the Formulon.exe stand-in. */
#include "host/hdapi.h"
#include "host/records.h"
#include "support/mainwin_support.h"

#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <string>
#include <thread>
#include <vector>

namespace {

std::string TextOf(HGLOBAL h) {
    if (h == NULL) return "<none>";
    const char* p = (const char*)GlobalLock(h);
    std::string s = p != NULL ? p : "<unlockable>";
    GlobalUnlock(h);
    EXPECT_EQ(GlobalFree(h), (HGLOBAL)NULL);
    return s;
}

const char* kCabinet = "HDCAB 1\r\n"
                       "TODAY 08/12/2026\r\n"
                       "PASS secret\r\n"
                       "P 1234|DUPONT|\xC9lodie|12/03/1961|2 61 03 75 123 456 78\r\n"
                       "P 42|MARTIN|Paul|01/01/2000|\r\n"
                       "S 90001|1234|01\r\n"
                       "X 90002|1234|3\r\n"
                       "E 90003|1234|12\r\n"
                       "D 39|5001|7|1234|15/03/2005|1A2B|Dr Martin\r\n"
                       "<text>Doliprane 1000 mg</text><rtf>{\\rtf1\\ansi Doliprane}</rtf>\r\n"
                       ".\r\n"
                       "D 39|17|6|42|23/05/2011|7DB0517|Dr Lefebvre\r\n"
                       "<text>Cher confr\xE8re,</text>\r\n"
                       "..sign\xE9\r\n"
                       ".\r\n"
                       "D 39|900|6|1234|01/02/2003|0|Dr Un\r\n"
                       "<velarine_data>form</velarine_data>\r\n"
                       ".\r\n"
                       "D 284|77|6|1234|02/02/2002|FF|Dr Martin\r\n"
                       "<TEXT>Lettre fichier\r\n"
                       ".\r\n"
                       "D 282|77|7|42|03/03/2003|1|Dr Ord\r\n"
                       "<text>Ordonnance fichier</text>\r\n"
                       ".\r\n"
                       "D 282|5|7|1234|0|0|Dr Ord\r\n"
                       ".\r\n";

class StandinHost : public ::testing::Test {
  protected:
    void SetUp() override {
        char tmp[MAX_PATH];
        ASSERT_GT(GetTempPathA(sizeof tmp, tmp), 0u);
        static int counter;
        char name[64];
        snprintf(name, sizeof name, "standin-%lu-%d", (unsigned long)GetCurrentProcessId(), ++counter);
        root_ = std::string(tmp) + name;
        ASSERT_TRUE(CreateDirectoryA(root_.c_str(), NULL));
        dirs_.push_back(root_);
        HDOpenSession(1);
        HDSetPathCabinet(root_.c_str());
    }
    void TearDown() override {
        HDCloseCabinet();
        for (auto it = files_.rbegin(); it != files_.rend(); ++it)
            DeleteFileA(it->c_str());
        for (auto it = dirs_.rbegin(); it != dirs_.rend(); ++it)
            RemoveDirectoryA(it->c_str());
    }
    void WriteTreeFile(const std::string& relative, const std::string& bytes) {
        std::string path = root_ + "\\" + relative;
        size_t slash = relative.rfind('\\');
        if (slash != std::string::npos) {
            std::string dir = root_ + "\\" + relative.substr(0, slash);
            if (CreateDirectoryA(dir.c_str(), NULL)) dirs_.push_back(dir);
        }
        FILE* f = fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr) << path;
        fwrite(bytes.data(), 1, bytes.size(), f);
        fclose(f);
        files_.push_back(path);
    }
    int OpenCabinet(const std::string& body, const char* pass = "secret") {
        WriteTreeFile("CAB1\\cabinet.txt", body);
        return HDOpenCabinet(root_.c_str(), "Cabinet Un", "CAB1", pass);
    }
    std::string root_;
    std::vector<std::string> files_;
    std::vector<std::string> dirs_;
};

TEST_F(StandinHost, OpensOnlyWithTheRightPassAndFromAnyDirectoryForm) {
    WriteTreeFile("CAB1\\cabinet.txt", kCabinet);
    EXPECT_EQ(HDOpenCabinet(root_.c_str(), "Cabinet Un", "CAB1", "wrong"), 0);
    EXPECT_EQ(HDNumberOfKey(INDEX_FOLDERS), 0);
    EXPECT_EQ(HDOpenCabinet(root_.c_str(), "Cabinet Un", "CAB1", ""), 0);
    EXPECT_EQ(HDOpenCabinet(root_.c_str(), "Cabinet Un", "CAB1", NULL), 0);
    EXPECT_NE(HDOpenCabinet(root_.c_str(), "Cabinet Un", "CAB1", "secret"), 0);
    EXPECT_EQ(HDNumberOfKey(INDEX_FOLDERS), 6);
    /* The directory is found ignoring case, as the file system does; an absolute one ignores the root. */
    EXPECT_NE(HDOpenCabinet(root_.c_str(), "Cabinet Un", "cab1", "secret"), 0);
    EXPECT_NE(HDOpenCabinet("C:\\nowhere", "Cabinet Un", (root_ + "\\CAB1").c_str(), "secret"), 0);
    EXPECT_NE(HDOpenCabinet((root_ + "\\").c_str(), "Cabinet Un", "CAB1", "secret"), 0);
    /* No root given: the one of HDSetPathCabinet. */
    EXPECT_NE(HDOpenCabinet("", "Cabinet Un", "CAB1", "secret"), 0);
    /* A failed open leaves no cabinet open. */
    EXPECT_EQ(HDOpenCabinet(root_.c_str(), "Cabinet Un", "MISSING", "secret"), 0);
    EXPECT_EQ(HDNumberOfKey(INDEX_FOLDERS), 0);
    EXPECT_EQ(HDOpenCabinet(NULL, NULL, NULL, NULL), 0);
    /* A cabinet without a PASS line takes any pass. */
    WriteTreeFile("OPEN\\cabinet.txt", "HDCAB 1\nE 1|1|12\n");
    EXPECT_NE(HDOpenCabinet(root_.c_str(), "x", "OPEN", "anything"), 0);
    EXPECT_EQ(HDNumberOfKey(INDEX_FOLDERS), 1);
    HDCloseCabinet();
    EXPECT_EQ(HDNumberOfKey(INDEX_FOLDERS), 0);
    /* Not a cabinet. */
    WriteTreeFile("JUNK\\cabinet.txt", "hello\n");
    EXPECT_EQ(HDOpenCabinet(root_.c_str(), "x", "JUNK", ""), 0);
}

TEST_F(StandinHost, PassTableHandsOutItsLinesInOrder) {
    WriteTreeFile("passes.txt",
                  "# directory|pass|name\r\nCab1|secret|Cabinet Un\r\nDEUX|pw2|Caf\xE9 du coin\r\n");
    HGLOBAL h = OpenPasses();
    ASSERT_NE(h, (HGLOBAL)NULL);
    unsigned char* record = (unsigned char*)GlobalLock(h);
    ASSERT_NE(record, nullptr);
    EXPECT_GE(GlobalSize(h), (SIZE_T)PASS_RECORD_SIZE);
    char name[CABINET_NAME_SIZE];
    EXPECT_NE(ReadPasses(1, record, name), 0);
    EXPECT_STREQ((char*)record + PASS_STRING, "secret");
    EXPECT_STREQ((char*)record + PASS_DIRECTORY,
                 "Cab1"); /* as written: matching case is the caller's affair */
    EXPECT_STREQ(name, "Cabinet Un");
    EXPECT_NE(ReadPasses(2, record, name), 0);
    EXPECT_STREQ((char*)record + PASS_STRING, "pw2");
    EXPECT_STREQ((char*)record + PASS_DIRECTORY, "DEUX");
    EXPECT_STREQ(name, "Caf\xE9 du coin");
    EXPECT_EQ(ReadPasses(3, record, name), 0);
    EXPECT_STREQ((char*)record + PASS_STRING, "");
    EXPECT_STREQ((char*)record + PASS_DIRECTORY, "");
    EXPECT_STREQ(name, "");
    EXPECT_EQ(ReadPasses(0, record, name), 0);
    EXPECT_EQ(ReadPasses(-5, record, name), 0);
    EXPECT_NE(ReadPasses(1, NULL, NULL), 0);
    GlobalUnlock(h);
    ClosePasses(h);
    /* A root without a pass table has no passes. */
    HDSetPathCabinet((root_ + "\\nothing").c_str());
    h = OpenPasses();
    record = (unsigned char*)GlobalLock(h);
    EXPECT_EQ(ReadPasses(1, record, name), 0);
    GlobalUnlock(h);
    ClosePasses(h);
}

TEST_F(StandinHost, FolderIndexWalksInKeyTextOrderWithEachEntryType) {
    ASSERT_NE(OpenCabinet(kCabinet), 0);
    ASSERT_EQ(HDNumberOfKey(INDEX_FOLDERS), 6);
    struct Step {
        DWORD key;
        const char* text;
        int type;
    };
    const Step expected[] = {
        {17, "D00000420000000017", 6},     {900, "D00012340000000900", 6}, {5001, "D00012340000005001", 7},
        {90003, "D00012340000090003", 12}, {90001, "S0001234", 30},        {90002, "X0001234", 31},
    };
    char keyText[KEY_TEXT_SIZE];
    memset(keyText, 'z', sizeof keyText);
    DWORD key = HDFirstKey(INDEX_FOLDERS, keyText);
    for (const Step& step : expected) {
        EXPECT_EQ(key, step.key);
        EXPECT_STREQ(keyText, step.text);
        EXPECT_EQ(GetDossiersType(keyText, 0), step.type) << step.key;
        key = HDNextKey(INDEX_FOLDERS, keyText);
    }
    EXPECT_EQ(key, 0u);
    EXPECT_STREQ(keyText, "");
    EXPECT_EQ(HDNextKey(INDEX_FOLDERS, keyText), 0u);
    EXPECT_EQ(GetDossiersType(keyText, 0), 0);
    /* HDFirstKey starts over. */
    EXPECT_EQ(HDFirstKey(INDEX_FOLDERS, keyText), 17u);
    EXPECT_EQ(HDFirstKey(INDEX_FOLDERS, NULL), 17u);
    EXPECT_EQ(HDNextKey(INDEX_FOLDERS, NULL), 900u);
}

TEST_F(StandinHost, FileIndexesWalkAndReadTheirOwnDocuments) {
    ASSERT_NE(OpenCabinet(kCabinet), 0);
    EXPECT_EQ(HDNumberOfKey(INDEX_PRESCRIPTION_FILES), 2);
    EXPECT_EQ(HDNumberOfKey(INDEX_LETTER_FILES), 1);
    char keyText[KEY_TEXT_SIZE];
    /* 282: patient 42 before patient 1234, whatever the keys. */
    EXPECT_EQ(HDFirstKey(INDEX_PRESCRIPTION_FILES, keyText), 77u);
    EXPECT_STREQ(keyText, "00000420000000077");
    EXPECT_EQ(GetDossiersType(keyText, 1), 7);
    EXPECT_EQ(HDFirstKey(INDEX_LETTER_FILES, keyText), 77u);
    EXPECT_EQ(GetDossiersType(keyText, 1), 6); /* the file index walked last */
    EXPECT_EQ(HDNextKey(INDEX_PRESCRIPTION_FILES, keyText), 5u);
    EXPECT_EQ(GetDossiersType(keyText, 1), 7);
    EXPECT_EQ(HDNextKey(INDEX_PRESCRIPTION_FILES, keyText), 0u);

    unsigned char buffer[FILE_HEADER_BUFFER_SIZE];
    memset(buffer, 0xAA, sizeof buffer);
    EXPECT_NE(ReadFileOrdonnances(77, buffer, 0), 0);
    EXPECT_EQ(RecordU8(buffer, HEADER_TYPE), 7);
    EXPECT_EQ(RecordU32(buffer, HEADER_PATIENT), 42u);
    EXPECT_EQ(RecordU32(buffer, HEADER_DATE), MakePackedDate(3, 3, 2003));
    EXPECT_EQ(RecordU32(buffer, HEADER_STAMP), 1u);
    EXPECT_STREQ(RecordText(buffer, HEADER_AUTHOR), "Dr Ord");
    EXPECT_EQ(buffer[FILE_HEADER_BUFFER_SIZE - 1], 0);
    EXPECT_NE(ReadFileCourriers(77, buffer, 0), 0);
    EXPECT_EQ(RecordU8(buffer, HEADER_TYPE), 6);
    EXPECT_EQ(RecordU32(buffer, HEADER_STAMP), 0xFFu);
    EXPECT_EQ(ReadFileCourriers(5, buffer, 0), 0);
    EXPECT_EQ(RecordU8(buffer, HEADER_TYPE), 0);
    EXPECT_EQ(ReadFileOrdonnances(5001, buffer, 0), 0); /* an index-39 key */

    unsigned char header[LETTER_HEADER_SIZE];
    EXPECT_EQ(TextOf(ReadXMLFileOrdonnances(77, header)), "<text>Ordonnance fichier</text>");
    EXPECT_EQ(RecordU32(header, HEADER_PATIENT), 42u);
    EXPECT_EQ(TextOf(ReadXMLFileCourriers(77, header)), "<TEXT>Lettre fichier");
    EXPECT_EQ(TextOf(ReadXMLFileOrdonnances(5, header)), ""); /* an empty body is a text */
    EXPECT_EQ(TextOf(ReadXMLFileCourriers(5, header)), "<none>");
    EXPECT_EQ(TextOf(ReadXMLFileCourriers(17, header)), "<none>");
    EXPECT_EQ(TextOf(ReadXMLFileOrdonnances(5001, header)), "<none>");
}

TEST_F(StandinHost, FolderReadsGiveHeadersAndTextsOfTheRightType) {
    ASSERT_NE(OpenCabinet(kCabinet), 0);
    HGLOBAL table = OpenDossiers(FOLDER_TABLE_MODE, 0, 0, 0);
    unsigned char* folder = (unsigned char*)GlobalLock(table);
    ASSERT_NE(folder, nullptr);
    EXPECT_NE(ReadDossiers2(17, folder), 0);
    EXPECT_EQ(RecordU8(folder, HEADER_TYPE), 6);
    EXPECT_EQ(RecordU32(folder, HEADER_PATIENT), 42u);
    EXPECT_EQ(RecordU32(folder, HEADER_DATE), MakePackedDate(23, 5, 2011));
    EXPECT_EQ(RecordU32(folder, HEADER_STAMP), 0x7DB0517u);
    EXPECT_STREQ(RecordText(folder, HEADER_AUTHOR), "Dr Lefebvre");
    EXPECT_NE(ReadDossiers2(90001, folder), 0);
    EXPECT_EQ(RecordU8(folder, HEADER_TYPE), 30);
    EXPECT_EQ(RecordU32(folder, HEADER_PATIENT), 1234u);
    EXPECT_EQ(ReadDossiers2(424242, folder), 0);
    EXPECT_EQ(RecordU8(folder, HEADER_TYPE), 0);
    EXPECT_EQ(ReadDossiers2(77, folder), 0); /* a file-table key */
    EXPECT_EQ(ReadDossiers2(17, NULL), 0);
    GlobalUnlock(table);
    CloseDossiers(table);

    unsigned char header[LETTER_HEADER_SIZE];
    memset(header, 0xAA, sizeof header);
    EXPECT_EQ(TextOf(ReadXMLCourriers(17, header, 0)), "<text>Cher confr\xE8re,</text>\r\n.sign\xE9");
    EXPECT_EQ(RecordU8(header, HEADER_TYPE), 6);
    EXPECT_EQ(RecordU32(header, HEADER_DATE), MakePackedDate(23, 5, 2011));
    for (int i = COMMON_HEADER_SIZE; i < PRESCRIPTION_HEADER_SIZE; i++)
        ASSERT_EQ(header[i], 0) << i;
    EXPECT_EQ(header[PRESCRIPTION_HEADER_SIZE], 0xAA); /* nothing beyond the smaller header size */
    EXPECT_EQ(TextOf(ReadXMLOrdonnances(5001, header, 0)),
              "<text>Doliprane 1000 mg</text><rtf>{\\rtf1\\ansi Doliprane}</rtf>");
    EXPECT_STREQ(RecordText(header, HEADER_AUTHOR), "Dr Martin");
    /* Wrong type, entry without text, unknown key, file-table key: no document, zeroed type. */
    EXPECT_EQ(TextOf(ReadXMLOrdonnances(17, header, 0)), "<none>");
    EXPECT_EQ(RecordU8(header, HEADER_TYPE), 0);
    EXPECT_EQ(TextOf(ReadXMLCourriers(5001, header, 0)), "<none>");
    EXPECT_EQ(TextOf(ReadXMLCourriers(90003, header, 0)), "<none>");
    EXPECT_EQ(TextOf(ReadXMLCourriers(90001, header, 0)), "<none>");
    EXPECT_EQ(TextOf(ReadXMLCourriers(0, header, 0)), "<none>");
    EXPECT_EQ(TextOf(ReadXMLCourriers(77, header, 0)), "<none>");
    /* A NULL header still gives the text. */
    EXPECT_EQ(TextOf(ReadXMLCourriers(900, NULL, 0)), "<velarine_data>form</velarine_data>");
}

TEST_F(StandinHost, TextHandlesAreMovableAndBelongToTheCaller) {
    std::string big(1 << 20, 'x');
    for (size_t i = 0; i < big.size(); i += 100)
        big[i] = '\n';
    big += "end";
    std::string body = big; /* no line starts with "." */
    ASSERT_NE(OpenCabinet("HDCAB 1\nD 39|1|6|1|0|0|a\n" + body + "\n.\n", ""), 0);
    HGLOBAL h = ReadXMLCourriers(1, NULL, 0);
    ASSERT_NE(h, (HGLOBAL)NULL);
    EXPECT_EQ(GlobalFlags(h) & GMEM_LOCKCOUNT, 0u);
    void* p = GlobalLock(h);
    ASSERT_NE(p, nullptr);
    EXPECT_NE(p, (void*)h); /* a movable block's handle is not its address */
    EXPECT_EQ(GlobalFlags(h) & GMEM_LOCKCOUNT, 1u);
    EXPECT_EQ(strlen((const char*)p), body.size());
    EXPECT_EQ(memcmp(p, body.data(), body.size()), 0);
    GlobalUnlock(h);
    EXPECT_EQ(GlobalFree(h), (HGLOBAL)NULL);
    /* Each read hands out a fresh handle. */
    HGLOBAL a = ReadXMLCourriers(1, NULL, 0);
    HGLOBAL b = ReadXMLCourriers(1, NULL, 0);
    EXPECT_NE(a, b);
    GlobalFree(a);
    GlobalFree(b);
}

TEST_F(StandinHost, PatientsInsuranceAndExtensions) {
    ASSERT_NE(OpenCabinet(kCabinet), 0);
    HGLOBAL table = OpenPatients(0);
    unsigned char* patient = (unsigned char*)GlobalLock(table);
    ASSERT_NE(patient, nullptr);
    EXPECT_GE(GlobalSize(table), (SIZE_T)PATIENT_RECORD_SIZE);
    SetRecordU32(patient, PATIENT_NUMBER, 1234);
    EXPECT_NE(ReadPatients(patient, 1), 0);
    EXPECT_STREQ(RecordText(patient, PATIENT_LAST_NAME), "DUPONT");
    EXPECT_STREQ(RecordText(patient, PATIENT_FIRST_NAME), "\xC9lodie");
    EXPECT_EQ(RecordU32(patient, PATIENT_BIRTH_DATE), MakePackedDate(12, 3, 1961));
    EXPECT_STREQ(RecordText(patient, PATIENT_SS_NUMBER), "2 61 03 75 123 456 78");
    EXPECT_EQ(RecordU32(patient, PATIENT_NUMBER), 1234u);
    /* An unknown patient: 0, and the record as the caller left it. */
    SetRecordU32(patient, PATIENT_NUMBER, 999);
    SetRecordText(patient, PATIENT_LAST_NAME, PATIENT_LAST_NAME_SIZE, "");
    EXPECT_EQ(ReadPatients(patient, 1), 0);
    EXPECT_STREQ(RecordText(patient, PATIENT_LAST_NAME), "");
    EXPECT_STREQ(RecordText(patient, PATIENT_SS_NUMBER), "2 61 03 75 123 456 78");
    EXPECT_EQ(ReadPatients(NULL, 1), 0);
    GlobalUnlock(table);
    ClosePatients(table);

    char keyText[KEY_TEXT_SIZE];
    MakeInfoSesamKey(keyText, 1234);
    EXPECT_STREQ(keyText, "S0001234");
    DWORD key = HDFindKey(INDEX_FOLDERS, keyText);
    EXPECT_EQ(key, 90001u);
    HGLOBAL sesamTable = OpenInfoSesam(0);
    unsigned char* sesam = (unsigned char*)GlobalLock(sesamTable);
    EXPECT_NE(ReadInfoSesam(key, sesam), 0);
    EXPECT_STREQ(RecordText(sesam, INFOSESAM_SCHEME_CODE), "01");
    EXPECT_EQ(ReadInfoSesam(90002, sesam), 0);
    EXPECT_STREQ(RecordText(sesam, INFOSESAM_SCHEME_CODE), "");
    EXPECT_EQ(ReadInfoSesam(90001, NULL), 0);
    GlobalUnlock(sesamTable);
    CloseInfoSesam(sesamTable);
    MakeInfoSesamKey(keyText, 42);
    EXPECT_EQ(HDFindKey(INDEX_FOLDERS, keyText), 0u);

    MakeExtensionsKey(keyText, 1234);
    EXPECT_STREQ(keyText, "X0001234");
    key = HDFindKey(INDEX_FOLDERS, keyText);
    EXPECT_EQ(key, 90002u);
    HGLOBAL extTable = OpenExtensions(0);
    void* ext = GlobalLock(extTable);
    HGLOBAL xml = ReadXMLExtensions(key, ext);
    ASSERT_NE(xml, (HGLOBAL)NULL);
    EXPECT_EQ(XGetInt(xml, EXTENSIONS_SCHEME_FIELD), 3);
    EXPECT_EQ(XGetInt(xml, 219), 0);
    EXPECT_EQ(GlobalFree(xml), (HGLOBAL)NULL);
    EXPECT_EQ(ReadXMLExtensions(0, ext), (HGLOBAL)NULL);
    EXPECT_EQ(ReadXMLExtensions(90001, ext), (HGLOBAL)NULL);
    EXPECT_EQ(XGetInt(NULL, EXTENSIONS_SCHEME_FIELD), 0);
    GlobalUnlock(extTable);
    CloseExtensions(extTable);

    /* Other key texts found by HDFindKey, in every index. */
    EXPECT_EQ(HDFindKey(INDEX_FOLDERS, "D00000420000000017"), 17u);
    EXPECT_EQ(HDFindKey(INDEX_PRESCRIPTION_FILES, "00012340000000005"), 5u);
    EXPECT_EQ(HDFindKey(INDEX_LETTER_FILES, "00012340000000005"), 0u);
    EXPECT_EQ(HDFindKey(INDEX_FOLDERS, ""), 0u);
    EXPECT_EQ(HDFindKey(INDEX_FOLDERS, NULL), 0u);
    EXPECT_EQ(HDFindKey(12, "S0001234"), 0u);
}

TEST_F(StandinHost, XGetIntReadsNegativeAndHugeValuesWithinTheBlock) {
    const char* texts[] = {"<x><field id=\"218\">-17</field></x>", "<field id=\"218\">99999999999</field>",
                           "<field id=\"2180\">5</field>", "<field id=\"218\">"};
    const int expected[] = {-17, 0x7FFFFFFF, 0, 0};
    for (int i = 0; i < 4; i++) {
        size_t n = strlen(texts[i]);
        HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, n); /* not terminated */
        memcpy(GlobalLock(h), texts[i], n);
        GlobalUnlock(h);
        EXPECT_EQ(XGetInt(h, 218), expected[i]) << texts[i];
        GlobalFree(h);
    }
}

TEST_F(StandinHost, TodayComesFromTheCabinetOrTheClockAndAgesCountMonths) {
    ASSERT_NE(OpenCabinet(kCabinet), 0);
    EXPECT_EQ(Today(), MakePackedDate(8, 12, 2026));
    HDCloseCabinet();
    SYSTEMTIME st;
    GetLocalTime(&st);
    DWORD today = Today();
    GetLocalTime(&st);
    EXPECT_EQ(DateYear(today), st.wYear);
    EXPECT_EQ(DateMonth(today), st.wMonth);
    EXPECT_NEAR((int)DateDay(today), (int)st.wDay, 1); /* midnight may pass between the calls */
    ASSERT_NE(OpenCabinet("HDCAB 1\n", ""), 0);
    EXPECT_EQ(DateYear(Today()), st.wYear);

    EXPECT_EQ(GetAge(MakePackedDate(12, 3, 1961), MakePackedDate(8, 12, 2026)), (65u << 16) | (8u << 8));
    EXPECT_EQ(GetAge(MakePackedDate(8, 9, 2025), MakePackedDate(8, 12, 2026)), (1u << 16) | (3u << 8));
    EXPECT_EQ(GetAge(MakePackedDate(9, 7, 2026), MakePackedDate(8, 12, 2026)), 4u << 8);
    EXPECT_EQ(GetAge(0, MakePackedDate(8, 12, 2026)), 0u);
    EXPECT_EQ(GetAge(MakePackedDate(9, 12, 2026), MakePackedDate(8, 12, 2026)), 0u);
}

TEST_F(StandinHost, BadArgumentsAndNoCabinetNeverCrash) {
    char keyText[KEY_TEXT_SIZE];
    unsigned char buffer[FILE_HEADER_BUFFER_SIZE];
    HDCloseCabinet();
    EXPECT_EQ(HDNumberOfKey(INDEX_FOLDERS), 0);
    EXPECT_EQ(HDFirstKey(INDEX_FOLDERS, keyText), 0u);
    EXPECT_EQ(HDNextKey(INDEX_FOLDERS, keyText), 0u);
    EXPECT_EQ(GetDossiersType(keyText, 0), 0);
    EXPECT_EQ(GetDossiersType(NULL, 1), 0);
    EXPECT_EQ(HDFindKey(INDEX_FOLDERS, "S0001234"), 0u);
    EXPECT_EQ(ReadDossiers2(1, buffer), 0);
    EXPECT_EQ(ReadXMLCourriers(1, buffer, 0), (HGLOBAL)NULL);
    EXPECT_EQ(ReadXMLFileOrdonnances(1, NULL), (HGLOBAL)NULL);
    EXPECT_EQ(ReadFileCourriers(1, NULL, 0), 0);
    SetRecordU32(buffer, PATIENT_NUMBER, 1);
    EXPECT_EQ(ReadPatients(buffer, 1), 0);
    MakeInfoSesamKey(NULL, 1);
    MakeExtensionsKey(NULL, 1);
    ClosePatients(NULL);
    CloseDossiers(NULL);
    CloseFileCourriers(NULL);
    ClosePasses(NULL);

    ASSERT_NE(OpenCabinet(kCabinet), 0);
    for (int index : {0, 1, 38, 40, 283, -1, 100000}) {
        EXPECT_EQ(HDNumberOfKey(index), 0) << index;
        EXPECT_EQ(HDFirstKey(index, keyText), 0u) << index;
        EXPECT_STREQ(keyText, "");
        EXPECT_EQ(HDNextKey(index, keyText), 0u) << index;
    }
    /* HDNextKey before any HDFirstKey starts at the first key. */
    HDCloseCabinet();
    ASSERT_NE(OpenCabinet(kCabinet), 0);
    EXPECT_EQ(HDNextKey(INDEX_FOLDERS, keyText), 17u);
    EXPECT_EQ(GetDossiersType(NULL, 0), 6);
    char small[4] = {0};
    EXPECT_EQ(HDGetApplicationInfo(NULL, "Programmes", small), 0);
    EXPECT_EQ(HDGetApplicationInfo("Chemins", NULL, small), 0);
    EXPECT_EQ(HDGetApplicationInfo("Chemins", "Programmes", NULL), 0);
    char path[HOST_PATH_SIZE] = "stale";
    EXPECT_EQ(HDGetApplicationInfo("No such section", "Programmes", path), 0);
    EXPECT_STREQ(path, "");
}

void SetString(const char* key, const char* name, const std::string& value) {
    HKEY h;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, NULL, 0, KEY_SET_VALUE, NULL, &h, NULL),
              ERROR_SUCCESS);
    RegSetValueExA(h, name, 0, REG_SZ, (const BYTE*)value.c_str(), (DWORD)value.size() + 1);
    RegCloseKey(h);
}

TEST_F(StandinHost, ApplicationInfoReadsTheProgramsDirectoryCutTo260) {
    const char* key = "Software\\IMAGINE Editions\\HelloDOC\\Chemins";
    SavedRegistryValue saved(key, "Programmes");
    SetString(key, "Programmes",
              "C:\\Donn\xE9"
              "es\\HelloDOC\\Programmes");
    char path[HOST_PATH_SIZE + 8];
    memset(path, 'q', sizeof path);
    EXPECT_NE(HDGetApplicationInfo("Chemins", "Programmes", path), 0);
    EXPECT_STREQ(path, "C:\\Donn\xE9"
                       "es\\HelloDOC\\Programmes");
    SetString(key, "Programmes", std::string(400, 'p'));
    memset(path, 'q', sizeof path);
    EXPECT_NE(HDGetApplicationInfo("Chemins", "Programmes", path), 0);
    EXPECT_EQ(strlen(path), (size_t)HOST_PATH_SIZE - 1);
    EXPECT_EQ(path[HOST_PATH_SIZE], 'q');
    EXPECT_EQ(HDGetApplicationInfo("Chemins", "Absent value", path), 0);
    EXPECT_STREQ(path, "");
}

TEST_F(StandinHost, TwoThreadsReadConcurrentlyWithoutMixingResults) {
    std::string cab = "HDCAB 1\n";
    const int documents = 300;
    for (int i = 1; i <= documents; i++) {
        char line[160];
        snprintf(line, sizeof line,
                 "P %d|NOM%d|Pr\xE9nom%d|01/01/1950|%d\nD 39|%d|%d|%d|01/01/2001|%X|Dr %d\n", i, i, i, i, i,
                 i % 2 == 0 ? 6 : 7, i, i, i);
        cab += line;
        snprintf(line, sizeof line, "<text>document %d</text>\n..line %d\n.\n", i, i);
        cab += line;
    }
    ASSERT_NE(OpenCabinet(cab, ""), 0);
    std::vector<int> failures(2, 0);
    auto reader = [&](int id) {
        unsigned char header[LETTER_HEADER_SIZE];
        unsigned char patient[PATIENT_RECORD_SIZE];
        for (int round = 0; round < 20; round++) {
            for (int k = 1; k <= documents; k++) {
                int key = id == 0 ? k : documents + 1 - k;
                HGLOBAL h =
                    key % 2 == 0 ? ReadXMLCourriers(key, header, 0) : ReadXMLOrdonnances(key, header, 0);
                char expected[64];
                snprintf(expected, sizeof expected, "<text>document %d</text>\n.line %d", key, key);
                if (h == NULL || TextOf(h) != expected || RecordU32(header, HEADER_PATIENT) != (uint32_t)key)
                    failures[id]++;
                memset(patient, 0, sizeof patient);
                SetRecordU32(patient, PATIENT_NUMBER, (uint32_t)key);
                char name[32];
                snprintf(name, sizeof name, "NOM%d", key);
                if (!ReadPatients(patient, 1) || strcmp(RecordText(patient, PATIENT_LAST_NAME), name) != 0)
                    failures[id]++;
            }
        }
    };
    std::thread a(reader, 0), b(reader, 1);
    a.join();
    b.join();
    EXPECT_EQ(failures[0], 0);
    EXPECT_EQ(failures[1], 0);
}

// The stand-in's own clock (test-only exports), which the search benchmark sets against a real run.
typedef void (*TimeCallsFn)(int on);
typedef double (*TimedCallsFn)(long* calls, double* stampSeconds);

TEST_F(StandinHost, ClockTimesEachOperationOnceOnlyWhileOnAndFromBothThreadsOrASample) {
    HMODULE host = GetModuleHandleA("HDAPI5.DLL");
    ASSERT_NE(host, nullptr);
    TimeCallsFn timeCalls = (TimeCallsFn)(void*)GetProcAddress(host, "StandinTimeCalls");
    TimedCallsFn timedCalls = (TimedCallsFn)(void*)GetProcAddress(host, "StandinTimedCalls");
    ASSERT_NE(timeCalls, nullptr);
    ASSERT_NE(timedCalls, nullptr);
    ASSERT_NE(OpenCabinet(kCabinet), 0);
    unsigned char folder[FOLDER_RECORD_SIZE];
    unsigned char header[PRESCRIPTION_HEADER_SIZE];

    // Off (as at load, and as every test leaves it): operations are not counted.
    long calls = -1;
    for (int i = 0; i < 5; i++)
        ReadDossiers2(5001, folder);
    EXPECT_EQ(timedCalls(&calls, NULL), 0.0);
    EXPECT_EQ(calls, 0);

    // On: each operation once, whatever it does inside; the time lies within the span around them.
    LARGE_INTEGER frequency, before, after;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&before);
    timeCalls(1);
    for (int i = 0; i < 5; i++)
        ReadDossiers2(5001, folder);
    for (int i = 0; i < 3; i++)
        TextOf(ReadXMLOrdonnances(5001, header, 0));
    EXPECT_EQ(ReadXMLOrdonnances(999999, header, 0), (HGLOBAL)NULL);
    // Those that touch no state are timed as well.
    char keyText[KEY_TEXT_SIZE];
    MakeInfoSesamKey(keyText, 1234);
    MakeExtensionsKey(keyText, 1234);
    EXPECT_EQ(XGetInt(NULL, 1), 0);
    GetAge(0x07A90C01u, 0x07EA0C01u);
    Today();
    double stamp = -1;
    double seconds = timedCalls(&calls, &stamp);
    QueryPerformanceCounter(&after);
    EXPECT_EQ(calls, 14);
    EXPECT_GT(seconds, 0.0);
    EXPECT_LT(seconds, (double)(after.QuadPart - before.QuadPart) / (double)frequency.QuadPart);
    EXPECT_GE(stamp, 0.0);
    EXPECT_LT(stamp, 1e-3);

    // Two threads at once: no operation lost from the sums.
    timeCalls(1);
    auto reader = [&]() {
        unsigned char record[FOLDER_RECORD_SIZE];
        for (int i = 0; i < 2000; i++)
            ReadDossiers2(i % 2 == 0 ? 5001 : 17, record);
    };
    std::thread a(reader), b(reader);
    a.join();
    b.join();
    timedCalls(&calls, NULL);
    EXPECT_EQ(calls, 4000);

    // Off again: the sums are cleared and nothing more is added; on again starts from zero.
    timeCalls(0);
    ReadDossiers2(5001, folder);
    EXPECT_EQ(timedCalls(&calls, NULL), 0.0);
    EXPECT_EQ(calls, 0);
    timeCalls(1);
    ReadDossiers2(5001, folder);
    timedCalls(&calls, NULL);
    EXPECT_EQ(calls, 1);

    // A sample: every operation is still counted, and the estimate lies within the span around
    // them (one thread: the time of two threads' operations may add up to more than the span, each
    // waiting for the other's); from two threads no operation is lost from the count. A sample of
    // about one in two billion times none of 4000 operations.
    QueryPerformanceCounter(&before);
    timeCalls(4);
    reader();
    seconds = timedCalls(&calls, NULL);
    QueryPerformanceCounter(&after);
    EXPECT_EQ(calls, 2000);
    EXPECT_GT(seconds, 0.0);
    EXPECT_LT(seconds, (double)(after.QuadPart - before.QuadPart) / (double)frequency.QuadPart);
    timeCalls(4);
    std::thread c(reader), d(reader);
    c.join();
    d.join();
    timedCalls(&calls, NULL);
    EXPECT_EQ(calls, 4000);
    timeCalls(2000000000);
    for (int i = 0; i < 4000; i++)
        ReadDossiers2(5001, folder);
    EXPECT_EQ(timedCalls(&calls, NULL), 0.0);
    EXPECT_EQ(calls, 4000);
    timeCalls(0);
}

TEST_F(StandinHost, TablesAreZeroFilledMovableBlocksOfTheRecordSizes) {
    struct Table {
        HGLOBAL h;
        SIZE_T size;
    };
    Table tables[] = {{OpenPatients(0), PATIENT_RECORD_SIZE},
                      {OpenDossiers(FOLDER_TABLE_MODE, 0, 0, 0), FOLDER_RECORD_SIZE},
                      {OpenInfoSesam(0), INFOSESAM_RECORD_SIZE},
                      {OpenExtensions(0), EXTENSIONS_RECORD_SIZE},
                      {OpenFileOrdonnances(0), 1},
                      {OpenFileCourriers(0), 1},
                      {OpenPasses(), PASS_RECORD_SIZE}};
    for (const Table& t : tables) {
        ASSERT_NE(t.h, (HGLOBAL)NULL);
        EXPECT_GE(GlobalSize(t.h), t.size);
        const unsigned char* p = (const unsigned char*)GlobalLock(t.h);
        ASSERT_NE(p, nullptr);
        EXPECT_NE((const void*)p, (const void*)t.h);
        for (SIZE_T i = 0; i < t.size; i++)
            ASSERT_EQ(p[i], 0);
        GlobalUnlock(t.h);
    }
    ClosePatients(tables[0].h);
    CloseDossiers(tables[1].h);
    CloseInfoSesam(tables[2].h);
    CloseExtensions(tables[3].h);
    CloseFileOrdonnances(tables[4].h);
    CloseFileCourriers(tables[5].h);
    ClosePasses(tables[6].h);
}

/* The version carrier DLLs, read the way the program reads HDSV.DLL. */
void ReadVersion(const char* file, unsigned* major, unsigned* minor, std::string* block) {
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(file, &ignored);
    ASSERT_GT(size, 0u) << file;
    std::vector<char> data(size);
    ASSERT_TRUE(GetFileVersionInfoA(file, 0, size, data.data()));
    VS_FIXEDFILEINFO* info = NULL;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\", (void**)&info, &length));
    *major = HIWORD(info->dwFileVersionMS);
    *minor = LOWORD(info->dwFileVersionMS);
    WORD* translation = NULL;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", (void**)&translation, &length));
    char text[16];
    snprintf(text, sizeof text, "%04X%04X", translation[0], translation[1]);
    *block = text;
    char* value = NULL;
    ASSERT_TRUE(
        VerQueryValueA(data.data(), "\\StringFileInfo\\040C04E4\\OriginalFilename", (void**)&value, &length));
    EXPECT_STREQ(value, "HDSV.DLL");
}

/* The test switches act only from the next HDOpenCabinet, only as named, and not at all unset. */
TEST_F(StandinHost, TestSwitchesChangeOnlyWhatTheyNameFromTheNextOpen) {
    struct ClearQuirks {
        ~ClearQuirks() { SetEnvironmentVariableA("SONDREL_STANDIN_QUIRKS", NULL); }
    } clearQuirks;
    const std::string cabinet = std::string(kCabinet) + "S 90004|42|\r\nD 39|18|6|42|01/01/2001|1|\r\n.\r\n";
    unsigned char patient[PATIENT_RECORD_SIZE], folder[FOLDER_RECORD_SIZE], sesam[INFOSESAM_RECORD_SIZE];
    char keyText[KEY_TEXT_SIZE];
    SetEnvironmentVariableA("SONDREL_STANDIN_QUIRKS",
                            "type-high,read-zero names-padded,blank-untouched,bogus");
    ASSERT_NE(OpenCabinet(cabinet), 0);
    HDFirstKey(INDEX_FOLDERS, keyText);
    EXPECT_EQ((unsigned)GetDossiersType(keyText, 0), 0x5A5A0000u | 6u);
    memset(patient, 'x', sizeof patient);
    SetRecordU32(patient, PATIENT_NUMBER, 1234);
    EXPECT_EQ(ReadPatients(patient, 1), 0) << "read-zero";
    EXPECT_EQ(std::string((const char*)patient + PATIENT_LAST_NAME,
                          PATIENT_LAST_NAME_SIZE + PATIENT_FIRST_NAME_SIZE),
              "DUPONT" + std::string(15, ' ') + "\xC9lodie" + std::string(38, ' '));
    EXPECT_EQ(RecordU32(patient, PATIENT_BIRTH_DATE), 0x07A9030Cu);
    EXPECT_EQ(ReadDossiers2(5001, folder), 0);
    EXPECT_EQ(RecordU32(folder, HEADER_STAMP), 0x1A2Bu) << "filled all the same";
    memset(folder, 0xEE, sizeof folder);
    EXPECT_EQ(ReadDossiers2(18, folder), 0);
    EXPECT_EQ(folder[HEADER_TYPE], 0xEE) << "blank-untouched: a document without author writes nothing";
    memset(sesam, 'y', sizeof sesam);
    EXPECT_EQ(ReadInfoSesam(90004, sesam), 0);
    EXPECT_EQ(sesam[INFOSESAM_SCHEME_CODE], 'y');
    EXPECT_EQ(ReadInfoSesam(90001, sesam), 0);
    EXPECT_STREQ((const char*)sesam + INFOSESAM_SCHEME_CODE, "01");
    unsigned char header[LETTER_HEADER_SIZE];
    memset(header, 0xEE, sizeof header);
    EXPECT_EQ(TextOf(ReadXMLCourriers(18, header, 0)), "");
    EXPECT_EQ(header[HEADER_TYPE], 0xEE);

    /* Unset: the next open answers normally again. */
    SetEnvironmentVariableA("SONDREL_STANDIN_QUIRKS", NULL);
    EXPECT_EQ((unsigned)GetDossiersType(keyText, 0), 0x5A5A0000u | 6u) << "read only when a cabinet opens";
    ASSERT_NE(OpenCabinet(cabinet), 0);
    HDFirstKey(INDEX_FOLDERS, keyText);
    EXPECT_EQ(GetDossiersType(keyText, 0), 6);
    EXPECT_NE(ReadPatients(patient, 1), 0);
    EXPECT_STREQ((const char*)patient + PATIENT_LAST_NAME, "DUPONT");
    EXPECT_NE(ReadDossiers2(18, folder), 0);
    EXPECT_EQ(folder[HEADER_TYPE], 6);
    EXPECT_NE(ReadInfoSesam(90004, sesam), 0);
    EXPECT_STREQ((const char*)sesam + INFOSESAM_SCHEME_CODE, "");
}

TEST(StandinHdsv, EachVersionDllCarriesItsVersion) {
    struct Expected {
        const char* file;
        unsigned major, minor;
    };
    const Expected all[] = {{"HDSV-5.0.DLL", 5, 0},   {"HDSV-5.1.DLL", 5, 1},   {"HDSV-5.5.DLL", 5, 5},
                            {"HDSV-5.51.DLL", 5, 51}, {"HDSV-5.55.DLL", 5, 55}, {"HDSV-5.60.DLL", 5, 60},
                            {"HDSV-5.2.DLL", 5, 2},   {"HDSV-6.0.DLL", 6, 0}};
    for (const Expected& e : all) {
        unsigned major = 0, minor = 0;
        std::string block;
        ReadVersion(e.file, &major, &minor, &block);
        EXPECT_EQ(major, e.major) << e.file;
        EXPECT_EQ(minor, e.minor) << e.file;
        EXPECT_EQ(block, "040C04E4") << e.file;
    }
}

TEST_F(StandinHost, FormulonAppendsEachCommandLineToItsLog) {
    char exe[MAX_PATH];
    DWORD n = GetModuleFileNameA(NULL, exe, sizeof exe);
    ASSERT_GT(n, 0u);
    std::string bin(exe, n);
    bin = bin.substr(0, bin.rfind('\\'));
    std::string copy = root_ + "\\Formulon.exe";
    ASSERT_TRUE(CopyFileA((bin + "\\Formulon.exe").c_str(), copy.c_str(), FALSE));
    files_.push_back(copy);
    files_.push_back(root_ + "\\Formulon.log");
    const char* params[] = {":M/CAB1/DIR1//1234///7DB0517/1A2B", ":M/Caf\xE9/dir//7///0/0"};
    std::string expected;
    for (const char* p : params) {
        std::string line = "\"" + copy + "\" " + p;
        std::vector<char> cmd(line.begin(), line.end());
        cmd.push_back(0);
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        ASSERT_TRUE(CreateProcessA(copy.c_str(), cmd.data(), NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi));
        ASSERT_EQ(WaitForSingleObject(pi.hProcess, 20000), WAIT_OBJECT_0);
        DWORD code = 1;
        GetExitCodeProcess(pi.hProcess, &code);
        EXPECT_EQ(code, 0u);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
        expected += line + "\r\n";
    }
    FILE* f = fopen((root_ + "\\Formulon.log").c_str(), "rb");
    ASSERT_NE(f, nullptr);
    std::string log;
    char buf[512];
    size_t got;
    while ((got = fread(buf, 1, sizeof buf, f)) > 0)
        log.append(buf, got);
    fclose(f);
    EXPECT_EQ(log, expected);
}

} // namespace
