// The always-terminating text reads of base/ui.h against real controls: a text longer than the
// buffer is cut and terminated, a missing control or window reads as empty, a zero-sized buffer is
// never written.
#include "base/ui.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

class ControlText : public ::testing::Test {
  protected:
    void SetUp() override {
        parent_ = CreateWindowExA(0, "STATIC", "Fen\xeatre principale", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                                  NULL, NULL, GetModuleHandleA(NULL), NULL);
        ASSERT_NE(parent_, nullptr);
        edit_ = CreateWindowExA(0, "EDIT", "", WS_CHILD | ES_AUTOHSCROLL, 0, 0, 100, 20, parent_,
                                (HMENU)(INT_PTR)kEditId, GetModuleHandleA(NULL), NULL);
        ASSERT_NE(edit_, nullptr);
    }
    void TearDown() override {
        if (parent_ != NULL) DestroyWindow(parent_);
    }
    static const int kEditId = 4242;
    HWND parent_ = NULL;
    HWND edit_ = NULL;
};

TEST_F(ControlText, FittingTextIsReadWholeAndLongTextIsCutAndTerminated) {
    ASSERT_TRUE(SetWindowTextA(edit_, "\xe9t\xe9 2024"));
    char out[16];
    EXPECT_EQ(ReadControlText(parent_, kEditId, out, sizeof out), 8u);
    EXPECT_STREQ(out, "\xe9t\xe9 2024");

    std::string longText(300, 'x');
    ASSERT_TRUE(SetWindowTextA(edit_, longText.c_str()));
    char small[8];
    std::memset(small, 'z', sizeof small);
    EXPECT_EQ(ReadControlText(parent_, kEditId, small, sizeof small), 7u);
    EXPECT_STREQ(small, "xxxxxxx");
    char one[1] = {'z'}; // room for the terminator only
    EXPECT_EQ(ReadControlText(parent_, kEditId, one, sizeof one), 0u);
    EXPECT_EQ(one[0], 0);
}

TEST_F(ControlText, MissingControlOrWindowReadsEmptyAndZeroSizeWritesNothing) {
    char out[8];
    std::memset(out, 'z', sizeof out);
    EXPECT_EQ(ReadControlText(parent_, kEditId + 1, out, sizeof out), 0u);
    EXPECT_STREQ(out, "");
    std::memset(out, 'z', sizeof out);
    EXPECT_EQ(ReadControlText(NULL, kEditId, out, sizeof out), 0u);
    EXPECT_STREQ(out, "");
    std::memset(out, 'z', sizeof out);
    EXPECT_EQ(ReadWindowText(NULL, out, sizeof out), 0u);
    EXPECT_STREQ(out, "");
    std::memset(out, 'z', sizeof out);
    EXPECT_EQ(ReadControlText(parent_, kEditId, out, 0), 0u);
    EXPECT_EQ(out[0], 'z');
    EXPECT_EQ(ReadControlText(parent_, kEditId, nullptr, 8), 0u);
}

TEST_F(ControlText, WindowCaptionIsReadLikeAControl) {
    char out[64];
    EXPECT_EQ(ReadWindowText(parent_, out, sizeof out), std::strlen("Fen\xeatre principale"));
    EXPECT_STREQ(out, "Fen\xeatre principale");
}

} // namespace
