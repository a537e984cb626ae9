// Host records by byte offset, packed dates and ages, bounded text helpers.
#include "base/str.h"
#include "host/records.h"

#include <gtest/gtest.h>

#include <string.h>
#include <string>
#include <vector>

namespace {

TEST(Records, WordsAreLittleEndianAtAnyOffset) {
    unsigned char rec[PATIENT_RECORD_SIZE];
    memset(rec, 0xAA, sizeof rec);
    SetRecordU32(rec, PATIENT_NUMBER, 0x000F1234u);
    EXPECT_EQ(rec[477], 0x34);
    EXPECT_EQ(rec[478], 0x12);
    EXPECT_EQ(rec[479], 0x0F);
    EXPECT_EQ(rec[480], 0x00);
    EXPECT_EQ(rec[476], 0xAA); // neighbours untouched
    EXPECT_EQ(rec[481], 0xAA);
    EXPECT_EQ(RecordU32(rec, PATIENT_NUMBER), 0x000F1234u);
    // An odd offset (the header's patient number at 11, date at 15) works without alignment.
    unsigned char hdr[LETTER_HEADER_SIZE] = {0};
    SetRecordU32(hdr, HEADER_DATE, 0x07DB0517u);
    hdr[HEADER_TYPE] = DOC_TYPE_PRESCRIPTION;
    EXPECT_EQ(RecordU32(hdr, HEADER_DATE), 0x07DB0517u);
    EXPECT_EQ(RecordU8(hdr, HEADER_TYPE), 7);
    EXPECT_EQ(RecordU32(hdr, HEADER_PATIENT), 0u);
}

TEST(Records, TextFieldsAreCutToTheirRoom) {
    unsigned char hdr[LETTER_HEADER_SIZE];
    memset(hdr, 'x', sizeof hdr);
    EXPECT_EQ(SetRecordText(hdr, HEADER_AUTHOR, HEADER_AUTHOR_SIZE, "Dr Lef\xe8vre"), 1);
    EXPECT_STREQ(RecordText(hdr, HEADER_AUTHOR), "Dr Lef\xe8vre");
    EXPECT_EQ(SetRecordText(hdr, HEADER_AUTHOR, HEADER_AUTHOR_SIZE, "Dr Quelqu'un de beaucoup trop long"), 0);
    EXPECT_EQ(strlen(RecordText(hdr, HEADER_AUTHOR)), (size_t)HEADER_AUTHOR_SIZE - 1);
    EXPECT_EQ(hdr[HEADER_AUTHOR + HEADER_AUTHOR_SIZE], 'x'); // the byte after the field is not touched
    EXPECT_EQ(HEADER_AUTHOR + HEADER_AUTHOR_SIZE, (int)COMMON_HEADER_SIZE);
}

TEST(PackedDates, OrderAsUnsignedWordsAndFormat) {
    PackedDate a = MakePackedDate(31, 12, 1999), b = MakePackedDate(1, 1, 2000);
    EXPECT_LT(a, b);
    EXPECT_LT(0u, a); // no date sorts before every real date
    EXPECT_EQ(MakePackedDate(23, 5, 2011), 0x07DB0517u);
    EXPECT_EQ(DateDay(0x07DB0517u), 23u);
    EXPECT_EQ(DateMonth(0x07DB0517u), 5u);
    EXPECT_EQ(DateYear(0x07DB0517u), 2011u);
    char buf[32];
    FormatPackedDate(buf, sizeof buf, MakePackedDate(4, 3, 2007));
    EXPECT_STREQ(buf, "04/03/2007");
    FormatPackedDate(buf, sizeof buf, 0);
    EXPECT_STREQ(buf, "00/00/   0");
    FormatPackedDate(buf, sizeof buf, MakePackedDate(5, 3, 999));
    EXPECT_STREQ(buf, "05/03/ 999");
    FormatPackedDate(buf, sizeof buf, 0xFFFFFFFFu); // garbage from a host record stays bounded
    EXPECT_STREQ(buf, "255/255/65535");
    char small[6];
    FormatPackedDate(small, sizeof small, MakePackedDate(4, 3, 2007));
    EXPECT_STREQ(small, "04/03");
}

TEST(Ages, YearsAndMonthsWithTheirForms) {
    char buf[32];
    FormatAge(buf, sizeof buf, (1u << 16) | (3u << 8));
    EXPECT_STREQ(buf, "1 an 03 m");
    FormatAge(buf, sizeof buf, (45u << 16) | (11u << 8));
    EXPECT_STREQ(buf, "45 ans 11 m");
    FormatAge(buf, sizeof buf, (0u << 16) | (5u << 8));
    EXPECT_STREQ(buf, "0 an 05 m");
    FormatAge(buf, sizeof buf, (2u << 16) | 0xFFu); // the low byte is not part of the age
    EXPECT_STREQ(buf, "2 ans 00 m");
}

} // namespace
