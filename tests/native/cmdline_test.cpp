// Finding the arguments after the program name on the command line.
#include <gtest/gtest.h>

#include <string>

#include "app/cmdline.h"

namespace {

std::string Rest(const char* line) {
    return SkipProgramName(line);
}

TEST(SkipProgramName, QuotedNameWithSpacesInside) {
    EXPECT_EQ(Rest("\"C:\\Program Files\\Sondrel\\sondrel.exe\" foo bar"), "foo bar");
    EXPECT_EQ(Rest("\"C:\\x y\\sondrel.exe\"   \"bar baz\" "), "\"bar baz\" ");
}

TEST(SkipProgramName, QuotedNameFollowedDirectlyByText) {
    // The closing quote ends the name even without a space after it.
    EXPECT_EQ(Rest("\"sondrel.exe\"foo"), "foo");
}

TEST(SkipProgramName, UnquotedNameStopsAtFirstSpace) {
    EXPECT_EQ(Rest("sondrel.exe foo \"bar baz\""), "foo \"bar baz\"");
    EXPECT_EQ(Rest("C:\\sondrel.exe     a"), "a");
    // A quote inside an unquoted name is an ordinary character.
    EXPECT_EQ(Rest("son\"drel.exe x"), "x");
}

TEST(SkipProgramName, OnlyTheName) {
    EXPECT_EQ(Rest("sondrel.exe"), "");
    EXPECT_EQ(Rest("\"C:\\a b\\sondrel.exe\""), "");
    EXPECT_EQ(Rest("sondrel.exe    "), "");
    EXPECT_EQ(Rest("\"sondrel.exe\"   "), "");
}

TEST(SkipProgramName, MissingClosingQuoteTakesTheWholeLine) {
    const char* line = "\"C:\\a b\\sondrel.exe foo bar";
    const char* rest = SkipProgramName(line);
    EXPECT_STREQ(rest, "");
    EXPECT_EQ(rest, line + std::char_traits<char>::length(line)); // on the terminator, not past it
}

TEST(SkipProgramName, EmptyAndNullLines) {
    const char* empty = "";
    EXPECT_EQ(SkipProgramName(empty), empty);
    EXPECT_STREQ(SkipProgramName(nullptr), "");
    EXPECT_EQ(Rest("\""), "");
    EXPECT_EQ(Rest("\"\""), "");
    EXPECT_EQ(Rest("\"\" x"), "x");
}

TEST(SkipProgramName, OnlySpacesSeparate) {
    // Tabs belong to the name or to the arguments; leading spaces make an empty name.
    EXPECT_EQ(Rest("sondrel.exe\tfoo bar"), "bar");
    EXPECT_EQ(Rest("   foo"), "foo");
    EXPECT_EQ(Rest("sondrel.exe \tfoo"), "\tfoo");
}

TEST(SkipProgramName, ReturnsPointerIntoTheLine) {
    const char line[] = "\"a b\" c";
    EXPECT_EQ(SkipProgramName(line), line + 6);
}

} // namespace
