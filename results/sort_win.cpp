/* Result list sorting (see sort.h).
 *
 * The list control sorts its rows itself (LVM_SORTITEMS) and asks CompareRows about pairs of rows,
 * knowing each row only by its item data, the patient's PatientHits record. Each comparison must
 * see the texts the rows showed when the sort began. Fetching a cell through the list control
 * while it sorts cannot promise that: the control moves rows between calls, so a row number taken
 * before the sort may name another row half-way through. So the texts are taken before the sort
 * starts: SortByColumn walks the rows from the last one up, writes each row's number into its
 * record's row index (which then stays fixed for the whole sort) and copies the row's cell in the
 * sorted column into a snapshot, one packed pool of terminated texts with one offset per row.
 * CompareRows finds a record's text through its row index; a row without a record, or a record whose
 * row index lies outside the snapshot, compares as an empty text. The snapshot is freed as soon as
 * the list has sorted. When it cannot be allocated the click does nothing at all (no header image,
 * no direction flip), as for an empty list: half a sort would be worse than none.
 *
 * Rows that compare equal keep the order they had before the sort, in both directions: CompareRows
 * breaks ties by the row index, so the outcome does not depend on the control's sort algorithm.
 *
 * The sort's context (the directions and the snapshot) is a local of SortByColumn, handed to
 * CompareRows through LVM_SORTITEMS's lParamSort; the column sorted travels in it too.
 *
 * Everything runs on the interface thread. */
#include "results/sort.h"

#include <commctrl.h>
#include <string.h>

#include "base/alloc.h"
#include "base/str.h"
#include "base/ui.h"
#include "resources/ids.h"
#include "results/row_compare.h"
#include "search/hits.h"

/* The sort state the main window keeps between clicks. */
unsigned char* SortDirections = NULL; /* one byte per column: 0 ascending next, non-zero descending */
int32_t LastSortColumn = 0;           /* the column sorted last, whose header shows a triangle */

enum {
    SORT_IMAGE_WIDTH = 16,
    SORT_IMAGE_HEIGHT = 12,
    SORT_IMAGE_INITIAL = 15,
    SORT_IMAGE_GROWTH = 10,
    SNAPSHOT_POOL_START = 4096 /* first size of the text pool; doubled as needed */
};

/* One sort under way, a local of SortByColumn read by CompareRows. */
typedef struct SortContext {
    int column;      /* the column sorted */
    int descending;  /* 1 when the column is sorted in descending order */
    char* texts;     /* snapshot pool: the sorted column's cell texts, each terminated */
    size_t* offsets; /* offsets[r]: start in texts of the text of row r (a row index) */
    int32_t rows;    /* entries of offsets */
} SortContext;

/* One byte per column; the sort indexes it by any of the nine columns, so the block always has nine
 * bytes. A second window (tests) reuses and clears it. Without the block (no memory at start-up) a
 * header click sorts nothing and says nothing, as the sort does whenever it lacks memory; the next
 * window tries again. */
static void ResetSortDirections(void) {
    if (Sort.SortDirections == NULL)
        Sort.SortDirections = (unsigned char*)SondrelAlloc(RESULT_COLUMN_COUNT, 1);
    if (Sort.SortDirections != NULL) memset(Sort.SortDirections, 0, RESULT_COLUMN_COUNT);
}

void InitListImages(HWND mainWindow) {
    ResetSortDirections();
    HWND list = GetDlgItem(mainWindow, IDC_RESULT_LIST);
    HIMAGELIST images = ImageList_Create(SORT_IMAGE_WIDTH, SORT_IMAGE_HEIGHT, ILC_COLOR8, SORT_IMAGE_INITIAL,
                                         SORT_IMAGE_GROWTH);
    HBITMAP strip = (HBITMAP)LoadImageA(g_instance, MAKEINTRESOURCEA(IDB_SORT_ARROWS), IMAGE_BITMAP, 0, 0,
                                        LR_LOADMAP3DCOLORS);
    if (images != NULL && strip != NULL) ImageList_Add(images, strip, NULL);
    if (strip != NULL) DeleteObject(strip);
    if (images != NULL) SendMessageA(list, LVM_SETIMAGELIST, LVSIL_SMALL, (LPARAM)images);
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_GRIDLINES, LVS_EX_GRIDLINES);
}

static void SetHeaderImage(HWND list, int column, int image) {
    LVCOLUMNA header;
    ZeroMemory(&header, sizeof header);
    header.mask = LVCF_IMAGE;
    header.iImage = image;
    SendMessageA(list, LVM_SETCOLUMNA, (WPARAM)column, (LPARAM)&header);
}

static void FreeSnapshot(SortContext* sort) {
    SondrelFree(sort->texts);
    SondrelFree(sort->offsets);
    sort->texts = NULL;
    sort->offsets = NULL;
    sort->rows = 0;
}

/* Appends a terminated text to the pool, growing it; 0 when memory runs out. */
static int AppendSnapshotText(SortContext* sort, size_t* used, size_t* capacity, const char* text) {
    size_t length = StrLenBounded(text, SORT_CELL_SIZE - 1);
    if (*capacity - *used < length + 1) {
        size_t grown = *capacity * 2;
        while (grown - *used < length + 1)
            grown *= 2;
        char* pool = (char*)SondrelRealloc(sort->texts, grown, 1);
        if (pool == NULL) return 0;
        sort->texts = pool;
        *capacity = grown;
    }
    memcpy(sort->texts + *used, text, length);
    sort->texts[*used + length] = 0;
    *used += length + 1;
    return 1;
}

/* Writes each row's number into its record, from the last row up, and copies each row's cell of
 * `column` into the snapshot. Returns 0 (nothing kept) when memory runs out. */
static int TakeSnapshot(SortContext* sort, HWND list, int rows, int column) {
    size_t capacity = SNAPSHOT_POOL_START, used = 0;
    sort->offsets = (size_t*)SondrelAlloc((size_t)rows, sizeof *sort->offsets);
    sort->texts = (char*)SondrelAlloc(capacity, 1);
    if (sort->offsets == NULL || sort->texts == NULL) {
        FreeSnapshot(sort);
        return 0;
    }
    sort->rows = rows;
    for (int row = rows - 1; row >= 0; row--) {
        char cell[SORT_CELL_SIZE];
        cell[0] = 0;
        LVITEMA item;
        ZeroMemory(&item, sizeof item);
        item.mask = LVIF_PARAM | LVIF_TEXT;
        item.iItem = row;
        item.iSubItem = column;
        item.pszText = cell;
        item.cchTextMax = sizeof cell;
        if (!SendMessageA(list, LVM_GETITEMA, 0, (LPARAM)&item)) item.lParam = 0;
        /* The control may hand back its own copy of the text instead of filling the buffer. */
        const char* text = item.pszText != NULL && item.pszText != LPSTR_TEXTCALLBACKA ? item.pszText : "";
        PatientHits* record = (PatientHits*)item.lParam;
        if (record != NULL) record->rowIndex = row;
        sort->offsets[row] = used;
        if (!AppendSnapshotText(sort, &used, &capacity, text)) {
            FreeSnapshot(sort);
            return 0;
        }
    }
    return 1;
}

/* The snapshot text of a record's row; empty for a row the snapshot does not know. */
static const char* SnapshotText(const SortContext* sort, const PatientHits* record) {
    if (record == NULL || sort->texts == NULL || record->rowIndex < 0 || record->rowIndex >= sort->rows)
        return "";
    return sort->texts + sort->offsets[record->rowIndex];
}

/* The comparison of LVM_SORTITEMS: item data (PatientHits records) of two rows and the sort under way.
 * Negative when the first row goes before the second. */
static int CALLBACK CompareRows(LPARAM first, LPARAM second, LPARAM sortContext) {
    const SortContext* sort = (const SortContext*)sortContext;
    const PatientHits* a = (const PatientHits*)first;
    const PatientHits* b = (const PatientHits*)second;
    int r = CompareCellTexts(sort->column, SnapshotText(sort, a), SnapshotText(sort, b), sort->descending);
    if (r != 0 || a == NULL || b == NULL) return r;
    /* Equal texts: the earlier row first, whatever the direction. */
    return a->rowIndex < b->rowIndex ? -1 : (a->rowIndex > b->rowIndex ? 1 : 0);
}

void SortByColumn(HWND mainWindow, int listId, unsigned char* sortDirections, int32_t* lastSortColumn,
                  int column) {
    if (sortDirections == NULL || lastSortColumn == NULL || column < 0 || column >= RESULT_COLUMN_COUNT)
        return;
    HWND list = GetDlgItem(mainWindow, listId);
    int rows = (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
    if (rows <= 0) return;
    SortContext sort;
    ZeroMemory(&sort, sizeof sort);
    sort.column = column;
    sort.descending = sortDirections[column] != 0;
    if (!TakeSnapshot(&sort, list, rows, column)) return;
    SetHeaderImage(list, column, sortDirections[column] != 0 ? SORT_IMAGE_DESCENDING : SORT_IMAGE_ASCENDING);
    int previous = *lastSortColumn;
    if (previous != column && previous >= 0 && previous < RESULT_COLUMN_COUNT)
        SetHeaderImage(list, previous, SORT_IMAGE_NONE);
    SendMessageA(list, LVM_SORTITEMS, (WPARAM)&sort, (LPARAM)CompareRows);
    FreeSnapshot(&sort);
    sortDirections[column] = sortDirections[column] == 0 ? 1 : 0;
    *lastSortColumn = column;
}
