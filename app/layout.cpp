/* Main window layout arithmetic: see layout.h. All arithmetic is done in 64 bits and brought back
 * into int range, so absurd sizes read from controls cannot overflow. */
#include "app/layout.h"

#include <stddef.h>

#include "base/str.h"

LayoutValues Layout = {{0, 1, 2, 3}};

static int ClampInt(long long v) {
    if (v > 2147483647LL) return 2147483647;
    if (v < -2147483647LL - 1) return (int)(-2147483647LL - 1);
    return (int)v;
}

static int NonNegative(long long v) {
    return v < 0 ? 0 : ClampInt(v);
}

static void SetRect4(LayoutRect* r, long long x, long long y, long long width, long long height) {
    r->x = ClampInt(x);
    r->y = ClampInt(y);
    r->width = NonNegative(width);
    r->height = NonNegative(height);
}

int ShouldLayOut(int clientWidth, int clientHeight, int iconic) {
    if (iconic) return 0;
    return !(clientWidth <= 0 && clientHeight <= 0);
}

void ComputeMainLayout(const MainLayoutInput* in, MainLayout* out) {
    long long W = in->clientWidth, H = in->clientHeight;
    long long wLaunch = in->launchWidth, wExport = in->exportWidth;

    SetRect4(&out->launch, W - (3 * wLaunch) / 2 - 5, 10, wLaunch, in->launchHeight);
    long long y = 10 + (long long)in->launchHeight;
    /* "Exporter" is placed by the width of "Lancer", "Importer" by its own. */
    SetRect4(&out->exportButton, W - wLaunch - 5, y, wExport, in->exportHeight);
    SetRect4(&out->chooser, 0, 0, W - 310, in->chooserHeight);
    SetRect4(&out->import, W - 2 * wExport - 5, y, wExport, in->exportHeight);
    y += in->exportHeight;
    SetRect4(&out->open, W - (3 * wExport) / 2 - 5, y, wExport, in->openHeight);
    y += (long long)in->openHeight + 10;
    SetRect4(&out->progress, 5, y, W - 10, LAYOUT_PROGRESS_HEIGHT);
    y += (long long)in->progressHeight + 5;
    SetRect4(&out->list, 5, y, W - 10, H - in->statusHeight - 3 - y);
}

int32_t StatusPartWidth(int cx, int dpi, int margin) {
    if (dpi <= 0) dpi = 96;
    if (cx < 0) cx = 0;
    return ClampInt((long long)cx * 96 / dpi + margin);
}

void ComputeStatusWidths(int barWidth, int32_t widths[STATUS_PART_COUNT]) {
    long long w2 = (long long)barWidth - ((long long)widths[3] + widths[0] + widths[1]);
    widths[2] = NonNegative(w2);
}

void StatusPartEdges(const int32_t widths[STATUS_PART_COUNT], int barWidth, int edges[STATUS_PART_COUNT]) {
    long long e[STATUS_PART_COUNT];
    long long sum = 0;
    for (int i = 0; i < STATUS_PART_COUNT; i++) {
        sum += widths[i];
        e[i] = sum;
    }
    if (e[3] > barWidth) {
        long long right = barWidth < 0 ? 0 : barWidth;
        e[3] = right;
        e[2] = right - widths[3] < 0 ? 0 : right - widths[3];
        if (e[1] > e[2]) e[1] = e[2];
        if (e[0] > e[1]) e[0] = e[1];
    }
    for (int i = 0; i < STATUS_PART_COUNT; i++)
        edges[i] = ClampInt(e[i]);
}

int LinkHitTest(const LinkRect* links, int count, int x, int y) {
    if (links == NULL) return -1;
    for (int i = 0; i < count; i++) {
        const LinkRect* r = &links[i];
        if (r->left < x && x < r->right && r->top < y && y < r->bottom) return i;
    }
    return -1;
}

int FormatContactLink(char* out, size_t size, int major, int minor) {
    return StrFormat(out, size, "mailto:%s?Subject=%s v %d.%02d", SONDREL_CONTACT_ADDRESS, "Sondrel", major,
                     minor);
}
