// The bounded text helpers and the case-insensitive comparisons of base/str.h.
#include "base/str.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(StrBounded, CopyAppendFormatAlwaysTerminateAndReportCuts) {
    char b[8];
    memset(b, 'z', sizeof b);
    EXPECT_EQ(StrCopy(b, sizeof b, "abc"), 1);
    EXPECT_STREQ(b, "abc");
    EXPECT_EQ(StrAppend(b, sizeof b, "defg"), 1);
    EXPECT_STREQ(b, "abcdefg");
    EXPECT_EQ(StrAppend(b, sizeof b, "h"), 0);
    EXPECT_STREQ(b, "abcdefg");
    EXPECT_EQ(StrCopy(b, sizeof b, "0123456789"), 0);
    EXPECT_STREQ(b, "0123456");
    EXPECT_EQ(StrFormat(b, sizeof b, "%d-%s", 42, "xy"), 1);
    EXPECT_STREQ(b, "42-xy");
    EXPECT_EQ(StrFormat(b, sizeof b, "%d", 123456789), 0);
    EXPECT_STREQ(b, "1234567");
    EXPECT_EQ(StrCopyN(b, sizeof b, "abcdef", 3), 1);
    EXPECT_STREQ(b, "abc");
    EXPECT_EQ(StrCopyN(b, sizeof b, "abcdefghijk", 10), 0);
    EXPECT_STREQ(b, "abcdefg");
    EXPECT_EQ(StrCopy(b, sizeof b, nullptr), 1);
    EXPECT_STREQ(b, "");
    // Zero-sized destinations are never written.
    EXPECT_EQ(StrCopy(b, 0, "x"), 0);
    EXPECT_EQ(StrAppend(b, 0, "x"), 0);
    EXPECT_EQ(StrFormat(b, 0, "x"), 0);
    // An unterminated destination is terminated at its last byte instead of being overrun.
    char u[4] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(StrAppend(u, sizeof u, "e"), 0);
    EXPECT_EQ(u[3], 0);
    // Overlapping copy inside one buffer.
    char o[16] = "hello world";
    StrCopy(o, sizeof o, o + 6);
    EXPECT_STREQ(o, "world");
}

TEST(StrNoCase, CompareFoldsOnlyAsciiCapitals) {
    EXPECT_EQ(StrCompareNoCase("DUPONT Jean", "dupont JEAN"), 0);
    EXPECT_EQ(StrCompareNoCase("abc", "ABD"), 'c' - 'd');
    EXPECT_EQ(StrCompareNoCase("", ""), 0);
    EXPECT_LT(StrCompareNoCase("", "a"), 0);
    EXPECT_GT(StrCompareNoCase("ab", "A"), 0);
    EXPECT_NE(StrCompareNoCase("\xc9lodie", "\xe9lodie"), 0); // É and é differ
    // Bytes above 127 compare unsigned, after every ASCII letter.
    EXPECT_GT(StrCompareNoCase("\xc9", "z"), 0);
    // '@' is not '`', '[' is not '{': only letters fold, and a capital folds to its small letter
    // ("_" 0x5F sorts after "a" 0x61 folded, not before "A").
    EXPECT_NE(StrCompareNoCase("@", "`"), 0);
    EXPECT_NE(StrCompareNoCase("[", "{"), 0);
    EXPECT_LT(StrCompareNoCase("_", "A"), 0);
    EXPECT_EQ(StrCompareNoCase(nullptr, ""), 0);
    EXPECT_LT(StrCompareNoCase(nullptr, "a"), 0);
}

TEST(StrNoCase, FindFoldsOnlyAsciiCapitals) {
    const char* text = "C:\\Rapports\\exports.XLS\\liste";
    EXPECT_EQ(StrFindNoCase(text, ".xls"), text + 19);
    EXPECT_EQ(StrFindNoCase(text, "C:"), text);
    EXPECT_EQ(StrFindNoCase(text, "LISTE"), text + 24);
    EXPECT_EQ(StrFindNoCase(text, ""), text);
    EXPECT_EQ(StrFindNoCase(text, ".txt"), nullptr);
    EXPECT_EQ(StrFindNoCase("\xc9T\xc9", "\xe9t\xe9"), nullptr); // accented letters are not folded
    EXPECT_EQ(StrFindNoCase("ab", "abc"), nullptr);              // the pattern runs past the text
    const char* restart = "aab"; // a partial match at 0 must not hide the match at 1
    EXPECT_EQ(StrFindNoCase(restart, "AB"), restart + 1);
    const char* empty = "";
    EXPECT_EQ(StrFindNoCase(empty, ""), empty);
    EXPECT_EQ(StrFindNoCase("", "a"), nullptr);
    EXPECT_EQ(StrFindNoCase(nullptr, "a"), nullptr);
    EXPECT_EQ(StrFindNoCase("a", nullptr), nullptr);
}

TEST(StrNoCase, FindNeverReadsPastTheTerminator) {
    // A heap text of exactly its length: ASan flags any read past the terminator.
    std::string s(300, 'a');
    s += "XLS";
    char* text = new char[s.size() + 1];
    std::memcpy(text, s.c_str(), s.size() + 1);
    EXPECT_EQ(StrFindNoCase(text, "axls"), text + 299);
    EXPECT_EQ(StrFindNoCase(text, "xlsx"), nullptr);
    delete[] text;
}

TEST(StrNoCase1252, CaseIsIgnored) {
    EXPECT_TRUE(StrEqualNoCase1252N("CABINET1", "cabinet1", 260));
    EXPECT_TRUE(StrEqualNoCase1252N("Cab_Dr-Martin 2", "cab_dr-martin 2", 260));
    EXPECT_TRUE(StrEqualNoCase1252N("", "", 260));
    EXPECT_FALSE(StrEqualNoCase1252N("cabinet1", "cabinet2", 260));
    EXPECT_FALSE(StrEqualNoCase1252N("cabinet", "cabinet1", 260));
    EXPECT_FALSE(StrEqualNoCase1252N("cabinet1", "cabinet", 260));
    EXPECT_FALSE(StrEqualNoCase1252N("", "a", 260));
    // Only letters fold: '@' (0x40) is not '`' (0x60), '[' is not '{'.
    EXPECT_FALSE(StrEqualNoCase1252N("@", "`", 260));
    EXPECT_FALSE(StrEqualNoCase1252N("[", "{", 260));
    EXPECT_TRUE(StrEqualNoCase1252N(nullptr, "", 260));
}

TEST(StrNoCase1252, AccentedLettersOfWindows1252) {
    EXPECT_TRUE(StrEqualNoCase1252N("CABINET \xC9T\xC9", "cabinet \xE9t\xE9", 260)); // ÉTÉ / été
    EXPECT_TRUE(StrEqualNoCase1252N("\x8C\x55VRE", "\x9Cuvre", 260));                // Œ / œ
    EXPECT_TRUE(StrEqualNoCase1252N("\x9F", "\xFF", 260));                           // Ÿ / ÿ
    EXPECT_FALSE(StrEqualNoCase1252N("\xD7", "\xF7", 260)); // × and ÷ are not letters
    EXPECT_FALSE(StrEqualNoCase1252N("\xC9", "E", 260));    // an accent still counts
    EXPECT_FALSE(StrEqualNoCase1252N("\xDF", "\xFF", 260)); // ß has no capital here
}

TEST(StrNoCase1252, UnterminatedFieldsAreReadOnlyUpToTheBound) {
    char a[8], b[8];
    std::memset(a, 'X', sizeof a);
    std::memset(b, 'x', sizeof b);
    EXPECT_TRUE(StrEqualNoCase1252N(a, b, sizeof a)); // ASan would flag a read past 8 bytes
    b[7] = 'y';
    EXPECT_FALSE(StrEqualNoCase1252N(a, b, sizeof a));
}

TEST(StrNoCase1252, BoundZeroIsNeverEqual) {
    EXPECT_FALSE(StrEqualNoCase1252N("CAB1", "CAB2", 0));
    EXPECT_FALSE(StrEqualNoCase1252N("CAB1", "cab1", 0));
    EXPECT_FALSE(StrEqualNoCase1252N(nullptr, nullptr, 0));
    EXPECT_TRUE(StrEqualNoCase1252N("CAB1", "cab1", 1));
    EXPECT_TRUE(StrEqualNoCase1252N(nullptr, nullptr, 1));
}

TEST(StrLeadingInt, ReadsLikeAtoiWithoutOverflow) {
    EXPECT_EQ(StrLeadingInt("42"), 42);
    EXPECT_EQ(StrLeadingInt("  \t\r\n\v\f-17abc"), -17);
    EXPECT_EQ(StrLeadingInt("+5"), 5);
    EXPECT_EQ(StrLeadingInt("abc"), 0);
    EXPECT_EQ(StrLeadingInt(""), 0);
    EXPECT_EQ(StrLeadingInt("- 5"), 0);
    EXPECT_EQ(StrLeadingInt("12 ans 03 m"), 12);
    EXPECT_EQ(StrLeadingInt("2147483647"), 2147483647);
    EXPECT_EQ(StrLeadingInt("2147483648"), 2147483647);
    EXPECT_EQ(StrLeadingInt("-2147483648"), -2147483647 - 1);
    EXPECT_EQ(StrLeadingInt("-99999999999999999999999"), -2147483647 - 1);
    EXPECT_EQ(StrLeadingInt(nullptr), 0);
}

} // namespace
