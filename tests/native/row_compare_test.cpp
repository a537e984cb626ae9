// Row comparison rules of the result list's sort.
#include "results/row_compare.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Sorted(int column, std::vector<std::string> cells, int descending = 0) {
    std::stable_sort(cells.begin(), cells.end(), [&](const std::string& a, const std::string& b) {
        return CompareCellTexts(column, a.c_str(), b.c_str(), descending) < 0;
    });
    return cells;
}

using V = std::vector<std::string>;

TEST(RowCompare, PatientNumbersSortAsText) {
    EXPECT_EQ(Sorted(0, {"3", "20", "100"}), (V{"100", "20", "3"}));
    EXPECT_EQ(Sorted(0, {"3", "20", "100"}, 1), (V{"3", "20", "100"}));
}

TEST(RowCompare, TextIgnoresAsciiCaseOnly) {
    EXPECT_EQ(CompareCellTexts(1, "DUPONT Jean", "dupont JEAN", 0), 0);
    EXPECT_NE(CompareCellTexts(1, "\xc9lodie", "\xe9lodie", 0), 0); // É and é differ
    EXPECT_NE(CompareCellTexts(1, "Elodie", "\xe9lodie", 0), 0);
    EXPECT_LT(CompareCellTexts(1, "Zoe", "\xc9mile", 0), 0); // bytes above 127 sort after ASCII
    EXPECT_LT(CompareCellTexts(1, "", "a", 0), 0);
}

TEST(RowCompare, CountsAsNumbersAgesByYears) {
    EXPECT_EQ(Sorted(3, {"10", "9", "100", "-1", "x"}), (V{"-1", "x", "9", "10", "100"}));
    EXPECT_EQ(CompareCellTexts(2, "45 ans 11 m", "45 ans 01 m", 0), 0);
    EXPECT_LT(CompareCellTexts(2, "9 ans 11 m", "10 ans 01 m", 0), 0);
    EXPECT_GT(CompareCellTexts(2, "9 ans 11 m", "10 ans 01 m", 1), 0);
    EXPECT_EQ(CompareCellTexts(2, "", " 5 ans", 0), 0);                // no leading digit: value 0
    EXPECT_LT(CompareCellTexts(3, "-2147483648", "2147483647", 0), 0); // no overflow
    EXPECT_LT(CompareCellTexts(2, "0 an 05 m", "99999999999999 ans", 0), 0);
}

TEST(RowCompare, DatesChronologicallyZeroFirst) {
    EXPECT_EQ(Sorted(4, {"01/01/2000", "31/12/1999", "00/00/   0", "15/03/2005", "02/01/2004"}),
              (V{"00/00/   0", "31/12/1999", "01/01/2000", "02/01/2004", "15/03/2005"}));
    EXPECT_EQ(Sorted(5, {"01/01/2000", "31/12/1999", "00/00/   0"}, 1),
              (V{"01/01/2000", "31/12/1999", "00/00/   0"}));
    EXPECT_EQ(CompareCellTexts(4, "01/01/2000", "01/01/2000", 0), 0);
    EXPECT_GT(CompareCellTexts(4, "short", "01/01/2000", 0), 0); // a malformed cell compares as it is
}

} // namespace
