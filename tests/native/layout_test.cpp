// Main window layout arithmetic, status-bar part widths and the contact-link hit test.
#include "app/layout.h"

#include <gtest/gtest.h>

namespace {

// Sizes of the controls of dialog 201 at 96 dpi with the 8-point template font (1 dialog unit is
// 1.5 pixels across and about 1.625 down): buttons 60 x 23, chooser field 24 high.
MainLayoutInput TemplateInput(int w, int h) {
    MainLayoutInput in = {};
    in.clientWidth = w;
    in.clientHeight = h;
    in.launchWidth = 60;
    in.launchHeight = 23;
    in.exportWidth = 60;
    in.exportHeight = 23;
    in.openHeight = 23;
    in.chooserHeight = 24;
    in.progressHeight = 10;
    in.statusHeight = 20;
    return in;
}

TEST(MainLayout, TemplateSizeGivesTheButtonBlockAtTheRightEdge) {
    MainLayoutInput in = TemplateInput(583, 367);
    MainLayout out;
    ComputeMainLayout(&in, &out);
    EXPECT_EQ(out.launch.x, 583 - 90 - 5);
    EXPECT_EQ(out.launch.y, 10);
    EXPECT_EQ(out.exportButton.x, 583 - 60 - 5);
    EXPECT_EQ(out.exportButton.y, 33);
    EXPECT_EQ(out.import.x, 583 - 120 - 5);
    EXPECT_EQ(out.import.y, 33);
    EXPECT_EQ(out.open.x, 583 - 90 - 5);
    EXPECT_EQ(out.open.y, 56);
    // "Lancer" and "Ouvrir" are centred over the line where "Importer" and "Exporter" meet.
    EXPECT_EQ(out.launch.x + out.launch.width / 2, out.exportButton.x);
    EXPECT_EQ(out.import.x + out.import.width, out.exportButton.x);
    EXPECT_EQ(out.exportButton.x + out.exportButton.width, 583 - 5);
    EXPECT_EQ(out.chooser.width, 583 - 310);
    EXPECT_EQ(out.chooser.height, 24);
    EXPECT_EQ(out.progress.x, 5);
    EXPECT_EQ(out.progress.y, 56 + 23 + 10);
    EXPECT_EQ(out.progress.width, 573);
    EXPECT_EQ(out.progress.height, 10);
    EXPECT_EQ(out.list.x, 5);
    EXPECT_EQ(out.list.y, 89 + 10 + 5);
    EXPECT_EQ(out.list.width, 573);
    EXPECT_EQ(out.list.y + out.list.height, 367 - 20 - 3);
}

TEST(MainLayout, ProgressHeightIsTheOneReadBeforeTheLayout) {
    // Before the first layout the progress bar still has its template height; the list is placed
    // below that height, not below the 10 pixels the same layout gives the bar.
    MainLayoutInput in = TemplateInput(800, 600);
    in.progressHeight = 9;
    MainLayout out;
    ComputeMainLayout(&in, &out);
    EXPECT_EQ(out.progress.height, 10);
    EXPECT_EQ(out.list.y, out.progress.y + 9 + 5);
}

TEST(MainLayout, UnequalButtonsFollowTheirOwnWidths) {
    MainLayoutInput in = TemplateInput(1000, 700);
    in.launchWidth = 81; // odd: 3 * 81 / 2 = 121.5 truncates to 121
    in.exportWidth = 51; // 3 * 51 / 2 = 76.5 -> 76
    in.launchHeight = 25;
    in.exportHeight = 21;
    in.openHeight = 30;
    MainLayout out;
    ComputeMainLayout(&in, &out);
    EXPECT_EQ(out.launch.x, 1000 - 121 - 5);
    EXPECT_EQ(out.exportButton.x, 1000 - 81 - 5); // placed by the width of "Lancer"
    EXPECT_EQ(out.import.x, 1000 - 102 - 5);
    EXPECT_EQ(out.open.x, 1000 - 76 - 5);
    EXPECT_EQ(out.exportButton.y, 35);
    EXPECT_EQ(out.open.y, 56);
    EXPECT_EQ(out.progress.y, 96);
}

TEST(MainLayout, BigWindowStretchesListAndChooser) {
    MainLayoutInput in = TemplateInput(1920, 1080);
    MainLayout out;
    ComputeMainLayout(&in, &out);
    EXPECT_EQ(out.list.width, 1910);
    EXPECT_EQ(out.list.height, 1080 - 20 - 3 - 104);
    EXPECT_EQ(out.chooser.width, 1610);
    EXPECT_EQ(out.launch.x, 1825);
}

TEST(MainLayout, SmallWindowClampsSizesButKeepsPositions) {
    // Narrower than the button block and shorter than the list's top: positions go negative or
    // past the bottom, sizes never below 0.
    MainLayoutInput in = TemplateInput(40, 50);
    MainLayout out;
    ComputeMainLayout(&in, &out);
    EXPECT_EQ(out.launch.x, 40 - 95);
    EXPECT_EQ(out.chooser.width, 0);
    EXPECT_EQ(out.progress.width, 30);
    EXPECT_EQ(out.list.height, 0);
    EXPECT_EQ(out.list.width, 30);
    in.clientWidth = 4;
    ComputeMainLayout(&in, &out);
    EXPECT_EQ(out.progress.width, 0);
    EXPECT_EQ(out.list.width, 0);
}

TEST(MainLayout, MinimisedWindowIsNotLaidOut) {
    EXPECT_FALSE(ShouldLayOut(0, 0, 0));
    EXPECT_FALSE(ShouldLayOut(800, 600, 1)); // iconic, whatever size it reports
    EXPECT_TRUE(ShouldLayOut(800, 600, 0));
    EXPECT_TRUE(ShouldLayOut(0, 10, 0));
    // Had it been laid out, the 0 x 0 client area would have produced negative sizes.
    MainLayoutInput in = TemplateInput(0, 0);
    MainLayout out;
    ComputeMainLayout(&in, &out);
    EXPECT_EQ(out.list.height, 0);
    EXPECT_EQ(out.progress.width, 0);
    EXPECT_LT(out.launch.x, 0);
}

TEST(MainLayout, HugeSizesDoNotOverflow) {
    MainLayoutInput in = TemplateInput(2147483647, -2147483647 - 1);
    in.launchWidth = 2147483647;
    in.statusHeight = 2147483647;
    MainLayout out;
    ComputeMainLayout(&in, &out);
    EXPECT_EQ(out.list.height, 0);
    EXPECT_GE(out.list.width, 0);
}

TEST(StatusBar, PartWidthAt96DpiIsTextPlusMargin) {
    EXPECT_EQ(StatusPartWidth(37, 96, STATUS_MARGIN_VERSION), 67);
    EXPECT_EQ(StatusPartWidth(211, 96, STATUS_MARGIN_PATH), 221);
    EXPECT_EQ(StatusPartWidth(0, 96, STATUS_MARGIN_CABINET), 10);
}

TEST(StatusBar, PartWidthAt120DpiTruncatesBeforeTheMargin) {
    EXPECT_EQ(StatusPartWidth(46, 120, 30), 36 + 30);  // 46 * 0.8 = 36.8 -> 36
    EXPECT_EQ(StatusPartWidth(49, 120, 10), 39 + 10);  // 39.2 -> 39
    EXPECT_EQ(StatusPartWidth(50, 120, 10), 40 + 10);  // exact
    EXPECT_EQ(StatusPartWidth(1, 120, 10), 0 + 10);    // 0.8 -> 0
    EXPECT_EQ(StatusPartWidth(100, 144, 10), 66 + 10); // 66.67 -> 66
}

TEST(StatusBar, PartWidthWithoutAUsableDpiCountsAs96) {
    EXPECT_EQ(StatusPartWidth(40, 0, 10), 50);
    EXPECT_EQ(StatusPartWidth(40, -5, 10), 50);
    EXPECT_EQ(StatusPartWidth(-7, 96, 10), 10);
}

TEST(StatusBar, EdgesEndAtTheBarsRightEdge) {
    int32_t w[STATUS_PART_COUNT] = {150, 120, 2, 67};
    ComputeStatusWidths(800, w);
    EXPECT_EQ(w[2], 800 - 150 - 120 - 67);
    int e[STATUS_PART_COUNT];
    StatusPartEdges(w, 800, e);
    EXPECT_EQ(e[0], 150);
    EXPECT_EQ(e[1], 270);
    EXPECT_EQ(e[2], 800 - 67);
    EXPECT_EQ(e[3], 800);
    // Resizing changes w2 only.
    ComputeStatusWidths(1920, w);
    StatusPartEdges(w, 1920, e);
    EXPECT_EQ(w[0], 150);
    EXPECT_EQ(w[1], 120);
    EXPECT_EQ(w[3], 67);
    EXPECT_EQ(e[3], 1920);
}

TEST(StatusBar, NegativeW2KeepsTheVersionAtTheRightEdge) {
    // Path and cabinet parts wider than the bar: the progress part is empty, the version part
    // keeps its width at the right edge, and the cabinet part is cut short before it.
    int32_t w[STATUS_PART_COUNT] = {400, 300, 2, 67};
    ComputeStatusWidths(600, w);
    EXPECT_EQ(w[2], 0);
    EXPECT_EQ(w[0], 400); // the table keeps the measured widths
    EXPECT_EQ(w[1], 300);
    int e[STATUS_PART_COUNT];
    StatusPartEdges(w, 600, e);
    EXPECT_EQ(e[0], 400);
    EXPECT_EQ(e[1], 533);
    EXPECT_EQ(e[2], 533); // empty progress part
    EXPECT_EQ(e[3], 600);
    // Narrower still: the path part is cut as well.
    StatusPartEdges(w, 300, e);
    EXPECT_EQ(e[0], 233);
    EXPECT_EQ(e[1], 233);
    EXPECT_EQ(e[2], 233);
    EXPECT_EQ(e[3], 300);
    // Narrower than the version part alone.
    StatusPartEdges(w, 50, e);
    EXPECT_EQ(e[0], 0);
    EXPECT_EQ(e[2], 0);
    EXPECT_EQ(e[3], 50);
    // A bar of width 0 or less (not placed): every edge at 0.
    StatusPartEdges(w, -10, e);
    for (int i = 0; i < STATUS_PART_COUNT; i++)
        EXPECT_EQ(e[i], 0);
}

TEST(StatusBar, ExactFitAndOneMore) {
    int32_t x[STATUS_PART_COUNT] = {100, 100, 9, 100};
    ComputeStatusWidths(300, x);
    EXPECT_EQ(x[2], 0);
    int e[STATUS_PART_COUNT];
    StatusPartEdges(x, 300, e);
    EXPECT_EQ(e[1], 200);
    EXPECT_EQ(e[3], 300);
    ComputeStatusWidths(301, x);
    EXPECT_EQ(x[2], 1);
    StatusPartEdges(x, 301, e);
    EXPECT_EQ(e[2], 201);
    EXPECT_EQ(e[3], 301);
    ComputeStatusWidths(299, x);
    EXPECT_EQ(x[2], 0);
    StatusPartEdges(x, 299, e);
    EXPECT_EQ(e[1], 199);
    EXPECT_EQ(e[3], 299);
}

TEST(ContactLink, BordersAreOutside) {
    LinkRect link[1] = {{279, 62, 441, 80}};
    EXPECT_EQ(LinkHitTest(link, 1, 300, 70), 0);
    EXPECT_EQ(LinkHitTest(link, 1, 280, 63), 0);
    EXPECT_EQ(LinkHitTest(link, 1, 440, 79), 0);
    EXPECT_EQ(LinkHitTest(link, 1, 279, 70), -1); // left border
    EXPECT_EQ(LinkHitTest(link, 1, 441, 70), -1); // right border
    EXPECT_EQ(LinkHitTest(link, 1, 300, 62), -1); // top border
    EXPECT_EQ(LinkHitTest(link, 1, 300, 80), -1); // bottom border
    EXPECT_EQ(LinkHitTest(link, 1, 65535, 65535), -1);
    EXPECT_EQ(LinkHitTest(link, 0, 300, 70), -1);
    EXPECT_EQ(LinkHitTest(nullptr, 1, 300, 70), -1);
}

TEST(ContactLink, FirstHoldingEntryWins) {
    LinkRect links[3] = {{0, 0, 10, 10}, {5, 5, 50, 50}, {0, 0, 100, 100}};
    EXPECT_EQ(LinkHitTest(links, 3, 7, 7), 0);
    EXPECT_EQ(LinkHitTest(links, 3, 20, 20), 1);
    EXPECT_EQ(LinkHitTest(links, 3, 70, 70), 2);
    EXPECT_EQ(LinkHitTest(links, 3, 10, 3), 2); // on the first entry's right border
}

} // namespace

namespace {

TEST(ContactLink, MailLinkCarriesTheVersionWithTwoDigits) {
    char link[CONTACT_LINK_SIZE];
    EXPECT_EQ(FormatContactLink(link, sizeof link, 4, 0), 1);
    EXPECT_STREQ(link, "mailto:sondrel@example.org?Subject=Sondrel v 4.00");
    FormatContactLink(link, sizeof link, 12, 7);
    EXPECT_STREQ(link, "mailto:sondrel@example.org?Subject=Sondrel v 12.07");
}

TEST(ContactLink, ShortBufferCutsTheLink) {
    char link[16];
    EXPECT_EQ(FormatContactLink(link, sizeof link, 4, 0), 0);
    EXPECT_STREQ(link, "mailto:sondrel@");
}

TEST(StatusBar, WidthsTableStartsAsItsIndexes) {
    // Checked before any test changes it: nothing in the native suite writes the table.
    EXPECT_EQ(Layout.StatusPartWidths[0], 0);
    EXPECT_EQ(Layout.StatusPartWidths[1], 1);
    EXPECT_EQ(Layout.StatusPartWidths[2], 2);
    EXPECT_EQ(Layout.StatusPartWidths[3], 3);
}

} // namespace
