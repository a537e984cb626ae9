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
 * its buffer; after every applied line each touched slot is empty or holds a record with a non-zero
 * count, no hits and an authors text within 999 characters; PatientsWithHits counts the non-empty
 * touched slots; nothing is read or written outside its block (the sanitizers). */
#include "exchange/import_apply.h"
#include "exchange/import_lines.h"
#include "search/hits.h"

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <set>
#include <string>
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

struct Line {
    std::string text;
    bool tooLong;
};

/* The lines of the file as the reader must hand them out. */
std::vector<Line> SplitLines(const uint8_t* data, size_t n) {
    std::vector<Line> lines;
    size_t pos = 0;
    while (pos < n) {
        size_t cr = pos;
        while (cr < n && data[cr] != '\r')
            cr++;
        std::string line((const char*)data + pos, cr - pos);
        bool longLine = line.size() > IMPORT_LINE_SIZE - 1;
        if (longLine) line.resize(IMPORT_LINE_SIZE - 1);
        if (cr == n) {
            if (!line.empty()) lines.push_back({line, longLine});
            break;
        }
        pos = cr + 1;
        if (pos < n && data[pos] == '\n') pos++;
        if (line.empty() && !longLine && pos >= n) break;
        lines.push_back({line, longLine});
    }
    return lines;
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
    std::vector<char> line(IMPORT_LINE_SIZE + 1, 'Z');
    std::set<int> touched;
    size_t index = 0;
    for (;;) {
        int tooLong = -1;
        int length = ReadImportLine(&reader, line.data(), IMPORT_LINE_SIZE, &tooLong);
        if (length < 0) break;
        Check(index < expected.size());
        Check(length <= IMPORT_LINE_SIZE - 1 && line[(size_t)length] == 0);
        Check(line[IMPORT_LINE_SIZE] == 'Z');
        Check(std::string(line.data(), (size_t)length) == expected[index].text);
        Check((tooLong != 0) == expected[index].tooLong);
        index++;

        long n = strtol(line.data(), nullptr, 10);
        if (n >= 1 && n < PATIENT_TABLE_SLOTS) touched.insert((int)n);
        ApplyImportLine(line.data(), length, tooLong, mode, Name, nullptr);
        int nonEmpty = 0;
        for (int slot : touched) {
            PatientHits* r = PatientHitsTable[slot];
            if (r == nullptr) continue;
            nonEmpty++;
            Check(r->occurrenceCount != 0);
            Check(r->hits == nullptr);
            Check(r->patientNumber == slot);
            Check(strnlen(r->authors, AUTHORS_TEXT_SIZE) <= AUTHORS_TEXT_SIZE - 1);
        }
        Check(nonEmpty == PatientsWithHits);
    }
    Check(index == expected.size());
    Check(source.pos == source.size);

    for (int slot : touched) {
        ReleasePatientHits(PatientHitsTable[slot]);
        PatientHitsTable[slot] = nullptr;
    }
    /* Only the touched slots can be set; emptying them is enough (ClearHitTable would clear 4 MB). */
    PatientsWithHits = 0;
    OccurrenceTotal = 0;
    return 0;
}
