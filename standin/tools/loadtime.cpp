/* loadtime.exe: times the stand-in host on a cabinet, through HDAPI5.DLL as the program calls it.
 *
 *   loadtime ROOT DIRECTORY [PASS]
 *
 * Prints the time of HDOpenCabinet, then of a full walk of index 39 and of both file indexes in
 * which every document text is read (and freed), with the counts of keys, documents and bytes. The
 * walk reads each document the way its type asks for (letter or prescription reads), so the figure
 * is the host's share of a search that matches nothing. */
#include "host/hdapi.h"
#include "host/records.h"

#include <stdio.h>
#include <string.h>

static double Seconds(LARGE_INTEGER from, LARGE_INTEGER to, LARGE_INTEGER frequency) {
    return (double)(to.QuadPart - from.QuadPart) / (double)frequency.QuadPart;
}

typedef struct WalkTotals {
    long keys;
    long documents;
    long long bytes;
} WalkTotals;

static void ReadText(HGLOBAL h, WalkTotals* totals) {
    if (h == NULL) return;
    const char* text = (const char*)GlobalLock(h);
    if (text != NULL) {
        totals->bytes += (long long)strlen(text);
        totals->documents++;
        GlobalUnlock(h);
    }
    GlobalFree(h);
}

static void WalkIndex(int index, WalkTotals* totals) {
    char keyText[KEY_TEXT_SIZE];
    unsigned char header[LETTER_HEADER_SIZE];
    for (DWORD key = HDFirstKey(index, keyText); key != 0; key = HDNextKey(index, keyText)) {
        totals->keys++;
        int type = GetDossiersType(keyText, index == INDEX_FOLDERS ? 0 : 1);
        if (index == INDEX_FOLDERS) {
            if (type == DOC_TYPE_LETTER)
                ReadText(ReadXMLCourriers(key, header, 0), totals);
            else if (type == DOC_TYPE_PRESCRIPTION)
                ReadText(ReadXMLOrdonnances(key, header, 0), totals);
        } else if (index == INDEX_PRESCRIPTION_FILES) {
            ReadText(ReadXMLFileOrdonnances(key, header), totals);
        } else {
            ReadText(ReadXMLFileCourriers(key, header), totals);
        }
    }
}

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: loadtime ROOT DIRECTORY [PASS]\n");
        return 2;
    }
    LARGE_INTEGER frequency, t0, t1, t2;
    QueryPerformanceFrequency(&frequency);
    HDOpenSession(1);
    HDSetPathCabinet(argv[1]);
    QueryPerformanceCounter(&t0);
    int opened = HDOpenCabinet(argv[1], "", argv[2], argc > 3 ? argv[3] : "");
    QueryPerformanceCounter(&t1);
    if (!opened) {
        fprintf(stderr, "HDOpenCabinet failed for %s\\%s\n", argv[1], argv[2]);
        HDCloseSession();
        return 1;
    }
    printf("open: %.3f s (index 39: %d keys, 282: %d, 284: %d)\n", Seconds(t0, t1, frequency),
           HDNumberOfKey(INDEX_FOLDERS), HDNumberOfKey(INDEX_PRESCRIPTION_FILES),
           HDNumberOfKey(INDEX_LETTER_FILES));
    WalkTotals totals = {0, 0, 0};
    WalkIndex(INDEX_FOLDERS, &totals);
    WalkIndex(INDEX_PRESCRIPTION_FILES, &totals);
    WalkIndex(INDEX_LETTER_FILES, &totals);
    QueryPerformanceCounter(&t2);
    printf("walk and read: %.3f s (%ld keys, %ld documents, %lld text bytes)\n", Seconds(t1, t2, frequency),
           totals.keys, totals.documents, totals.bytes);
    HDCloseCabinet();
    HDCloseSession();
    return 0;
}
