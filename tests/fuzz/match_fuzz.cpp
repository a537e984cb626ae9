/* Fuzz target of the search engine core: random bytes as a document text and a search text, fed
 * to the section matcher and the hit table.
 *
 * Input layout (every part may be short or missing):
 *   byte 0      flags: bit 0 form-data mode, bit 1 fromFileTable, bit 2 fold the pattern first,
 *               bits 3-4 which allocation kind fails, bits 5-7 its ordinal (0: none fails);
 *   byte 1      pattern length: bits 0-5 give L (0..63); with bit 6 set the pattern is long, L * 64 +
 *               64 bytes (64..4096); the value 255 makes a large document instead (L = 63, and the
 *               document is its text repeated to 64 KB, or to 128 KB to 4 MB when byte 6 is 0x7A
 *               to 0x7F (LargeDocumentShift), with the pattern at its very end);
 *   bytes 2-5   patient number of the header, little-endian (any value, in range or not);
 *   byte 6      extra hits K added to the record after the match (0..255, so growth is crossed;
 *               none for a large document, whose time goes to the matching);
 *   L bytes     the pattern;
 *   the rest    the document text, copied into a block of its exact size plus a terminator.
 * Checked: FindFolded and FindFoldedAll agree with a naive search over a folded copy; the document
 * matcher agrees with the plain definition of its regions (markers and pattern found in a folded
 * copy, each region running from its opening marker to the first terminator written after it);
 * nothing is read or written outside its block (the sanitizers); the authors text stays within 999
 * characters; merging an author twice changes nothing; counts and entries stay consistent. */
#include "base/alloc.h"
#include "host/records.h"
#include "search/fold.h"
#include "search/hits.h"
#include "search/match.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace {

/* The hit table's three kinds of allocation, told apart by what the seam sees. */
enum HitAllocKind { HIT_ALLOC_RECORD = 0, HIT_ALLOC_FIRST = 1, HIT_ALLOC_GROW = 2 };
const size_t kLargeDocument = 64 * 1024; /* the smallest large document */

/* A large document is 64 KB, and 128 KB to 4 MB (64 KB << 1..6) only when byte 6 is 0x7A to 0x7F:
 * the matcher's path is the same at every size, so the megabytes add no coverage, only time (a
 * 4 MB document takes some 60 ms here), and are kept for the few inputs that ask for them. Byte
 * values a mutation likes (0x00, 0xFF, small numbers) all give 64 KB. */
int LargeDocumentShift(int byte6) {
    return byte6 >= 0x7A && byte6 <= 0x7F ? byte6 - 0x79 : 0;
}

HitAllocKind g_failKind;
int g_failOrdinal;
int g_seen;

int FuzzAllocator(int grow, size_t bytes) {
    HitAllocKind kind =
        grow ? HIT_ALLOC_GROW : (bytes == sizeof(PatientHits) ? HIT_ALLOC_RECORD : HIT_ALLOC_FIRST);
    return g_failOrdinal != 0 && kind == g_failKind && ++g_seen == g_failOrdinal;
}

void ReportNothing(void) {}

void Check(bool ok) {
    if (!ok) abort();
}

std::string Folded(const std::string& text) {
    std::string folded = text;
    for (char& c : folded)
        c = (char)Folding.FoldTable[(unsigned char)c];
    return folded;
}

/* Whether MatchDocumentText must find the pattern: its regions cut from a folded copy, and the
 * pattern looked for in them as a plain substring. */
bool PlainMatch(const std::string& folded, const std::string& pattern, bool formDataOnly) {
    if (pattern.empty()) return false;
    const size_t none = std::string::npos;
    size_t first = folded.find(formDataOnly ? "<velarine_data>" : "<text>");
    size_t firstEnd =
        first == none ? none : folded.find(formDataOnly ? "</velarine_data>" : "</text>", first);
    size_t second = formDataOnly ? none : folded.find("<rtf>");
    size_t secondEnd = second == none ? none : folded.find("</rtf>", second);
    /* A region ends at the first terminator after its start: its own closing marker or the other's. */
    auto regionHas = [&](size_t start) {
        size_t end = folded.size();
        if (firstEnd != none && firstEnd >= start) end = std::min(end, firstEnd);
        if (secondEnd != none && secondEnd >= start) end = std::min(end, secondEnd);
        return std::string_view(folded).substr(start, end - start).find(pattern) != none;
    };
    return (first != none && regionHas(first)) || (second != none && regionHas(second));
}

/* Reference search: fold a copy, then a byte-by-byte comparison from every start. */
long NaiveFind(const std::string& folded, const std::string& pattern) {
    if (pattern.empty()) return -1;
    size_t at = folded.find(pattern);
    return at == std::string::npos ? -1 : (long)at;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool ready = false;
    if (!ready) {
        BuildFoldTable();
        SondrelObserveAllocations(FuzzAllocator);
        g_reportAllocationFailure = ReportNothing;
        ready = true;
    }
    uint8_t flags = size > 0 ? data[0] : 0;
    uint8_t lengthByte = size > 1 ? data[1] : 0;
    bool large = lengthByte == 255;
    size_t patternLen = lengthByte & 63;
    if ((lengthByte & 64) && !large) patternLen = patternLen * 64 + 64;
    uint32_t patient = 0;
    for (size_t i = 0; i < 4 && 2 + i < size; i++)
        patient |= (uint32_t)data[2 + i] << (8 * i);
    int extraHits = size > 6 ? data[6] : 0;
    size_t at = size < 7 ? size : 7;
    if (patternLen > size - at) patternLen = size - at;

    /* The pattern as a zero-terminated text (it ends at its first zero byte, if any). */
    std::string pattern((const char*)data + at, patternLen);
    pattern = pattern.c_str();
    if (flags & 4) FoldTextInPlace(&pattern[0]);
    at += patternLen;

    /* The document text in a block of its exact size: the input's text, or for a large document
     * that text repeated to 2 MB and more, then the pattern, so that a match ends at the very last
     * byte before the terminator. */
    std::string document((const char*)data + at, size - at);
    if (large) {
        size_t target = kLargeDocument << LargeDocumentShift(extraHits);
        if (document.empty()) document = "x";
        document.reserve(target + pattern.size());
        while (document.size() < target) /* doubling: a few copies, not one append per unit */
            document.append(document, 0, std::min(document.size(), target - document.size()));
        document += pattern;
        extraHits = 0;
    }
    size_t textLen = document.size();
    char* text = (char*)malloc(textLen + 1);
    memcpy(text, document.data(), textLen);
    text[textLen] = 0;
    std::string asText(text); /* up to the first zero, as the host's text would end */
    std::string folded = Folded(asText);
    bool expectMatch = PlainMatch(folded, pattern, flags & 1);

    /* FindFolded against the reference, over the whole text. */
    const char* found = FindFolded(text, pattern.c_str());
    long expected = NaiveFind(folded, pattern);
    Check(found == nullptr ? expected == -1 : (long)(found - text) == expected);

    /* FindFoldedAll over the counted text (zero bytes included), in a block of exactly its size,
     * against every start of the reference, with an array of 0 to 7 places guarded at its end.
     * Not for a large document: the viewer searches only the text it shows, and the quadratic
     * reference would take the target's time. */
    if (!large) {
        char* exact = (char*)malloc(textLen > 0 ? textLen : 1);
        memcpy(exact, document.data(), textLen);
        std::string whole(document);
        for (char& c : whole)
            c = (char)Folding.FoldTable[(unsigned char)c];
        std::vector<size_t> want;
        for (size_t p = pattern.empty() ? std::string::npos : whole.find(pattern); p != std::string::npos;
             p = whole.find(pattern, p + 1))
            want.push_back(p);
        size_t capacity = (flags >> 5) & 7;
        std::vector<size_t> positions(capacity + 1, (size_t)-1);
        size_t total = FindFoldedAll(exact, textLen, pattern.c_str(), positions.data(), capacity);
        Check(total == want.size());
        for (size_t i = 0; i < capacity && i < total; i++)
            Check(positions[i] == want[i]);
        Check(positions[capacity] == (size_t)-1);
        free(exact);
    }

    int kind = (flags >> 3) & 3;
    g_failKind = kind > HIT_ALLOC_GROW ? HIT_ALLOC_GROW : (HitAllocKind)kind;
    g_failOrdinal = flags >> 5;
    g_seen = 0;

    /* Section matching and recording, with a header made from the input. */
    unsigned char header[LETTER_HEADER_SIZE];
    memset(header, 0, sizeof header);
    SetRecordU32(header, HEADER_PATIENT, patient);
    SetRecordU32(header, HEADER_DATE, (uint32_t)textLen * 2654435761u);
    memcpy(header + HEADER_AUTHOR, asText.c_str(), asText.size() < 40 ? asText.size() : 40);
    int matched =
        MatchAndRecordDocument(text, pattern.c_str(), header, (uint32_t)size, (flags >> 1) & 1, flags & 1);
    Check(matched == (expectMatch ? 1 : 0));
    Check(Results.OccurrenceTotal == (matched && patient < (uint32_t)PATIENT_TABLE_SLOTS ? 1 : 0));
    Check(Results.PatientsWithHits <= 1);

    /* More hits and authors on the patient's record (or a spare one), drawn from the text. */
    uint32_t slot = patient < (uint32_t)PATIENT_TABLE_SLOTS ? patient : 0;
    PatientHits* record = RecordForPatient((int32_t)slot);
    if (record != nullptr) {
        for (int i = 0; i < extraHits; i++) {
            size_t from = asText.empty() ? 0 : (size_t)i * 7 % asText.size();
            std::string author = asText.substr(from, (size_t)i % 30);
            int32_t before = record->occurrenceCount;
            AddHit(record, (PackedDate)(i * 40503u), author.c_str(), (uint32_t)i, i & 1);
            Check(record->occurrenceCount == before || record->occurrenceCount == before + 1);
            Check(record->occurrenceCount <= record->hitCapacity);
            Check(strlen(record->authors) <= 999);
            if (record->occurrenceCount > 0)
                Check(record->hits[record->occurrenceCount - 1].key == (uint32_t)i ||
                      record->occurrenceCount == before);
        }
        /* Merging is idempotent, and bounded even for long authors. */
        std::string copy = record->authors;
        int merged = MergeAuthor(record->authors, asText.c_str());
        Check(strlen(record->authors) <= 999);
        std::string after = record->authors;
        Check(MergeAuthor(record->authors, asText.c_str()) == merged);
        Check(after == record->authors);
        if (!merged) Check(copy == record->authors);
    }

    ReleasePatientHits(Results.PatientHitsTable[slot]);
    Results.PatientHitsTable[slot] = nullptr;
    Results.OccurrenceTotal = 0;
    Results.PatientsWithHits = 0;
    free(text);
    return 0;
}
