/* Main window layout arithmetic, status-bar part widths and the contact-link hit test.
 *
 * Everything here is plain integer arithmetic on pixel sizes that the window glue (layout_win.cpp,
 * main_dialog_win.cpp) reads from the controls and then applies; nothing here touches a window, so
 * the numbers are tested natively.
 *
 * The main window keeps a block of four buttons 5 pixels in from its right edge ("Lancer" on top,
 * "Importer" and "Exporter" side by side below it, "Ouvrir" below them), then a progress bar and the
 * result list spanning the width with 5-pixel margins, the list ending 3 pixels above the status
 * bar; the form chooser's width follows the window. Positions may come out negative for a window
 * narrower than the button block; widths and heights are clamped at 0, so a too small client area
 * collapses controls instead of handing negative sizes to the window placement. A minimised window
 * (client area 0 x 0) is not laid out at all: ShouldLayOut says so, and restoring the window sends
 * a new size that lays everything out again. */
#ifndef SONDREL_APP_LAYOUT_H
#define SONDREL_APP_LAYOUT_H

#include <stddef.h>
#include <stdint.h>

struct LayoutRect {
    int x;      /* left, in the main window's client coordinates */
    int y;      /* top */
    int width;  /* never negative */
    int height; /* never negative */
};

/* Sizes read before the layout: the client area and the controls' present sizes. */
struct MainLayoutInput {
    int clientWidth;  /* W */
    int clientHeight; /* H */
    int launchWidth;  /* "Lancer" 219 */
    int launchHeight;
    int exportWidth; /* "Exporter" 218 */
    int exportHeight;
    int openHeight;     /* "Ouvrir" 245 */
    int chooserHeight;  /* form chooser 244, its present height (kept) */
    int progressHeight; /* progress bar 232, as read before the layout is applied */
    int statusHeight;   /* status bar 11714 */
};

/* Where each moved control goes. Buttons keep their size: only x and y of their rectangles are
 * meant to be applied; the chooser keeps its place: only width and height are. */
struct MainLayout {
    LayoutRect launch;       /* 219 */
    LayoutRect exportButton; /* 218 */
    LayoutRect import;       /* 246 */
    LayoutRect open;         /* 245 */
    LayoutRect chooser;      /* 244: x and y are 0, not applied */
    LayoutRect progress;     /* 232 */
    LayoutRect list;         /* 217 */
};

/* Height given to the progress bar by every layout. */
enum { LAYOUT_PROGRESS_HEIGHT = 10 };

/* 1 when a window with this client area is laid out: not when minimised (0 x 0). */
int ShouldLayOut(int clientWidth, int clientHeight, int iconic);

void ComputeMainLayout(const MainLayoutInput* in, MainLayout* out);

/* Status bar. The widths table w0..w3 (32-bit each) starts as 0, 1, 2, 3. */
enum { STATUS_PART_COUNT = 4 };
enum { STATUS_MARGIN_PATH = 10, STATUS_MARGIN_CABINET = 10, STATUS_MARGIN_VERSION = 30 };

/* The layout's one process-wide record, Layout, kept for the program's life. Written and read on
 * the interface thread only: the status bar's creation and each resize (layout_win.cpp). */
typedef struct LayoutValues {
    int32_t StatusPartWidths[STATUS_PART_COUNT]; /* w0 (path), w1 (cabinet), w2 (progress), w3 (version):
                                                    w0, w1 and w3 set once when the bar is created, w2
                                                    then and on every resize */
} LayoutValues;

extern LayoutValues Layout;

/* floor(cx * 96 / dpi) + margin: a text's measured width brought back to 96 pixels per inch. A dpi
 * of 0 or less (no device) counts as 96. */
int32_t StatusPartWidth(int cx, int dpi, int margin);

/* w2 = barWidth - (w3 + w0 + w1), clamped at 0: when the other three parts are wider than the bar,
 * the progress part is empty. Writes w2 into widths[2]. */
void ComputeStatusWidths(int barWidth, int32_t widths[STATUS_PART_COUNT]);

/* Right edges e0..e3 of the parts for a bar `barWidth` wide: the running sums of w0..w3, which end
 * at the bar's right edge whenever w2 did not have to be clamped. When parts 0, 1 and 3 together
 * are wider than the bar, the version part still ends at the right edge with its whole width (as
 * far as the bar has room), and the cabinet and path parts before it are cut short from the right:
 * the edges never decrease and never pass the bar's width. */
void StatusPartEdges(const int32_t widths[STATUS_PART_COUNT], int barWidth, int edges[STATUS_PART_COUNT]);

/* The maker's contact address: the text of control 6 and the mail link's recipient. */
#define SONDREL_CONTACT_ADDRESS "sondrel@example.org"
/* Size of the mail-link buffer. */
enum { CONTACT_LINK_SIZE = 5000 };

/* "mailto:%s?Subject=%s v %d.%02d" with the address, "Sondrel" and the version (4.00): the subject
 * goes in unchanged, spaces included. Returns 0 if the link was cut short to fit `size`. */
int FormatContactLink(char* out, size_t size, int major, int minor);

/* Contact-link table entry, client coordinates. */
struct LinkRect {
    int left;
    int top;
    int right;
    int bottom;
};

/* Index of the first entry holding (x, y) with strict comparisons on all four sides (a point on the
 * border is outside), or -1. */
int LinkHitTest(const LinkRect* links, int count, int x, int y);

#endif
