/* Fuzz target of the import: random bytes as a results file, read by the chunked line reader with
 * chunks of varying sizes and applied line by line to the hit table.
 *
 * Input layout (every part may be short or missing):
 *   byte 0      bit 0: subtract instead of add; bits 1-7: seed of the chunk sizes;
 *   byte 1      largest chunk the read function hands out, as 1 + byte * 20 (1 .. 5101 bytes,
 *               cut to the reader's 5000);
 *   the rest    the file.
 * Checked: the reader hands out exactly the lines of an independent splitter of the same bytes (CR
 * ends a line and swallows one LF after it, an overlong line is cut to 4999 characters and flagged,
 * an empty last line ends the file, a last line without CR is kept); each line is terminated within
 * its buffer; after every applied line the slot it names (the only one it may change) is empty or
 * holds a record with a non-zero count, no hits and an authors text within 999 characters, and
 * Results.PatientsWithHits counts the non-empty slots; at the end every slot set during the run is checked
 * again; nothing is read or written outside its block (the sanitizers).
 *
 * A run costs what its input holds: nothing of the 2^20-slot table is cleared or walked, only the
 * slots the input set are emptied again. */
#include "exchange/import_apply.h"
#include "exchange/import_lines.h"
#include "search/hits.h"

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

namespace {

struct Source {
    const uint8_t* data;
    size_t size;
    size_t pos;
    unsigned seed;
    int largest;
};

int ReadChunk(void* context, char* buf, int size) {
    Source* s = (Source*)context;
    s->seed = s->seed * 1103515245u + 12345u;
    int n = 1 + (int)((s->seed >> 8) % (unsigned)s->largest);
    if (n > size) n = size;
    size_t left = s->size - s->pos;
    if ((size_t)n > left) n = (int)left;
    memcpy(buf, s->data + s->pos, (size_t)n);
    s->pos += (size_t)n;
    return n;
}

void Name(void*, int patient, char* name, size_t size) {
    const char* text = patient == 1 ? "DUPONT \xc9lodie" : patient == 2 ? "A B" : " ";
    snprintf(name, size, "%s", text);
}

void ReportNothing(void) {}

void Check(bool ok) {
    if (!ok) abort();
}

/* One line of the file as the reader must hand it out: where it starts in the file, its length
 * after cutting, and whether it was cut. */
struct Line {
    size_t start;
    size_t length;
    bool tooLong;
};

/* The lines of the file as the reader must hand them out. */
std::vector<Line> SplitLines(const uint8_t* data, size_t n) {
    std::vector<Line> lines;
    size_t pos = 0;
    while (pos < n) {
        const uint8_t* cr = (const uint8_t*)memchr(data + pos, '\r', n - pos);
        size_t end = cr != nullptr ? (size_t)(cr - data) : n;
        Line line = {pos, end - pos, false};
        if (line.length > IMPORT_LINE_SIZE - 1) {
            line.length = IMPORT_LINE_SIZE - 1;
            line.tooLong = true;
        }
        if (end == n) {
            if (line.length > 0) lines.push_back(line);
            break;
        }
        pos = end + 1;
        if (pos < n && data[pos] == '\n') pos++;
        if (line.length == 0 && !line.tooLong && pos >= n) break;
        lines.push_back(line);
    }
    return lines;
}

/* A slot's record is empty or consistent: a non-zero count, no hits array, a bounded authors text. */
void CheckSlot(int slot) {
    PatientHits* r = Results.PatientHitsTable[slot];
    if (r == nullptr) return;
    Check(r->occurrenceCount != 0);
    Check(r->hits == nullptr);
    Check(r->patientNumber == slot);
    Check(strnlen(r->authors, AUTHORS_TEXT_SIZE) <= AUTHORS_TEXT_SIZE - 1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool ready = false;
    if (!ready) {
        g_reportAllocationFailure = ReportNothing;
        ready = true;
    }
    if (size < 2) return 0;
    int mode = (data[0] & 1) ? IMPORT_SUBTRACT : IMPORT_ADD;
    Source source = {data + 2, size - 2, 0, (unsigned)(data[0] >> 1), 1 + data[1] * 20};
    std::vector<Line> expected = SplitLines(data + 2, size - 2);

    ImportLineReader reader;
    ImportReaderStart(&reader, ReadChunk, &source);
    /* The line buffer is a block of exactly its size, so that a write past it shows under ASan; kept
     * from one run to the next (and the touched slots too) so that a run costs what its input holds. */
    static char* line = (char*)malloc(IMPORT_LINE_SIZE);
    static std::vector<int> touched;
    touched.clear();
    int nonEmpty = 0;
    size_t index = 0;
    for (;;) {
        int tooLong = -1;
        int length = ReadImportLine(&reader, line, IMPORT_LINE_SIZE, &tooLong);
        if (length < 0) break;
        Check(index < expected.size());
        const Line& want = expected[index];
        Check(length <= IMPORT_LINE_SIZE - 1 && line[length] == 0);
        Check((size_t)length == want.length && memcmp(line, data + 2 + want.start, want.length) == 0);
        Check((tooLong != 0) == want.tooLong);
        index++;

        /* Only the slot the line names can change; the others were checked when they last did. */
        long n = strtol(line, nullptr, 10);
        bool inRange = n >= 1 && n < PATIENT_TABLE_SLOTS;
        bool wasSet = inRange && Results.PatientHitsTable[n] != nullptr;
        ApplyImportLine(line, length, tooLong, mode, Name, nullptr);
        if (inRange) {
            bool isSet = Results.PatientHitsTable[n] != nullptr;
            if (isSet && !wasSet) touched.push_back((int)n);
            nonEmpty += (int)isSet - (int)wasSet;
            CheckSlot((int)n);
        }
        Check(nonEmpty == Results.PatientsWithHits);
    }
    Check(index == expected.size());
    Check(source.pos == source.size);

    /* Only the touched slots can be set; emptying them is enough (ClearHitTable would clear 4 MB). */
    Results.PatientsWithHits = 0;
    Results.OccurrenceTotal = 0;
    return 0;
}
