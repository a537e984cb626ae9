// Result-list texts: social-security digits, scheme lookup, status-bar texts; atoi-like numbers.
#include "base/str.h"
#include "search/result_format.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Table {
    SchemeTable t = {nullptr, 0, 0};
    explicit Table(std::initializer_list<const char*> values) {
        for (const char* v : values) {
            if (!SchemeTableAdd(&t, v)) break;
        }
    }
    ~Table() { SchemeTableFree(&t); }
    std::string Lookup(int code) {
        char name[SCHEME_VALUE_SIZE];
        LookupSchemeInTable(&t, code, name, sizeof name);
        return name;
    }
};

TEST(SchemeLookup, NameBetweenTheFirstTwoSeparators) {
    Table t({"01;R\xe9gime g\xe9n\xe9ral;", "02;R\xe9gime agricole", "3;Mines;x;y"});
    EXPECT_EQ(t.Lookup(1), "R\xe9gime g\xe9n\xe9ral");
    EXPECT_EQ(t.Lookup(2), ""); // no ";" after the name
    EXPECT_EQ(t.Lookup(3), "Mines");
    EXPECT_EQ(t.Lookup(4), ""); // no entry
    EXPECT_EQ(t.Lookup(0), "");
}

TEST(SchemeLookup, SequenceEndsAtTheFirstEmptyOrSeparatorlessValue) {
    Table gap({"1;A;", "", "3;C;"}); // keys must be unbroken: key 3 is never reached
    EXPECT_EQ(gap.t.count, 1);
    EXPECT_EQ(gap.Lookup(3), "");
    Table noSep({"1;A;", "garbage", "3;C;"}); // a value without ";" stops the lookup
    EXPECT_EQ(noSep.Lookup(1), "A");
    EXPECT_EQ(noSep.Lookup(3), "");
    // The code field is read as atoi reads it, up to the separator.
    Table odd({" 7x;Seven;", "+8;Eight;", "-9;Minus;", "99999999999;Big;", ";Empty code;"});
    EXPECT_EQ(odd.Lookup(7), "Seven");
    EXPECT_EQ(odd.Lookup(8), "Eight");
    EXPECT_EQ(odd.Lookup(-9), "Minus");
    EXPECT_EQ(odd.Lookup(2147483647), "Big");
    EXPECT_EQ(odd.Lookup(0), "Empty code");
    // The first value with the code decides, even when it has no name; a value whose separator was
    // cut off with the stored text's end has no code field, and ends the lookup.
    Table twice({"5;First;", "6;No end", "5;Second;", "6;Later;"});
    EXPECT_EQ(twice.Lookup(5), "First");
    EXPECT_EQ(twice.Lookup(6), "");
    std::string longCode = std::string(300, '1') + ";Long;";
    Table cut({"2;B;", longCode.c_str(), "1;A;"});
    EXPECT_EQ(cut.Lookup(2), "B");
    EXPECT_EQ(cut.Lookup(1), "");
}

TEST(SchemeLookup, TableGrowsAndNamesAreCutToTheOutput) {
    SchemeTable t = {nullptr, 0, 0};
    for (int i = 1; i <= 300; i++) {
        std::string v = std::to_string(i) + ";Caisse num\xe9ro " + std::to_string(i) + ";";
        ASSERT_EQ(SchemeTableAdd(&t, v.c_str()), 1);
    }
    char name[8];
    LookupSchemeInTable(&t, 250, name, sizeof name);
    EXPECT_STREQ(name, "Caisse ");
    SchemeTableFree(&t);
    EXPECT_EQ(t.count, 0);
    std::string huge(1000, 'n');
    Table big({("5;" + huge + ";").c_str()});
    EXPECT_EQ(big.Lookup(5), ""); // the stored value is cut at 259 bytes: its second ";" is lost
}

TEST(ResultTexts, DigitsOnlyKeepsDigitsInOrder) {
    char out[64];
    DigitsOnly("1 23 45 67 890 123 45", out, sizeof out);
    EXPECT_STREQ(out, "123456789012345");
    DigitsOnly("2.61-03/75 \xe9 123", out, sizeof out);
    EXPECT_STREQ(out, "26103751"
                      "23");
    DigitsOnly("", out, sizeof out);
    EXPECT_STREQ(out, "");
    char small[4];
    DigitsOnly("123456", small, sizeof small);
    EXPECT_STREQ(small, "123");
}

TEST(ResultTexts, SummaryAndRunningStatus) {
    char out[260];
    FormatSummary(out, sizeof out, 0, 3, 1, 2345);
    EXPECT_STREQ(out, "3 occ. - 1 Patient (en 2.345 s)");
    FormatSummary(out, sizeof out, 0, 10, 2, 5);
    EXPECT_STREQ(out, "10 occ. - 2 Patients (en 0.005 s)");
    FormatSummary(out, sizeof out, 0, 0, 0, 0);
    EXPECT_STREQ(out, "0 occ. - 0 Patient (en 0.000 s)");
    FormatSummary(out, sizeof out, 1, 10, 2, 5);
    EXPECT_STREQ(out, "Annul\xe9 !");
    FormatRunningStatus(out, sizeof out, "Zelmorin", 4, 1);
    EXPECT_STREQ(out, "Total 'Zelmorin': 4 occ. - Patient concern\xe9 : 1");
    FormatRunningStatus(out, sizeof out, "x", 0, 0);
    EXPECT_STREQ(out, "Total 'x': 0 occ. - Patient concern\xe9 : 0");
    FormatRunningStatus(out, sizeof out, "\xe9t\xe9", 9, 2);
    EXPECT_STREQ(out, "Total '\xe9t\xe9': 9 occ. - Patients concern\xe9s : 2");
    std::string longText(400, 'a'); // a 259-byte search text still fits no overrun
    FormatRunningStatus(out, sizeof out, longText.c_str(), 1, 1);
    EXPECT_EQ(std::string(out).size(), sizeof out - 1);
}

} // namespace
