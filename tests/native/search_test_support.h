/* Shared set-up of the search engine's native tests: a built fold table, an empty hit table before
 * and after each test (records released), the counting failure report, and an observer of the
 * allocation seam that logs every allocation and can be told to fail the n-th allocation of a kind.
 * The hit table makes three kinds, told apart by what the seam sees: a new block of a record's
 * size, a new hits array, and a grown hits array. */
#ifndef SONDREL_TESTS_SEARCH_TEST_SUPPORT_H
#define SONDREL_TESTS_SEARCH_TEST_SUPPORT_H

#include "base/alloc.h"
#include "base/str.h"
#include "host/records.h"
#include "search/fold.h"
#include "search/hits.h"

#include <gtest/gtest.h>

#include <string.h>
#include <string>
#include <vector>

enum HitAllocKind { HIT_ALLOC_RECORD = 0, HIT_ALLOC_FIRST = 1, HIT_ALLOC_GROW = 2 };

struct AllocCall {
    HitAllocKind kind;
    size_t count;
    size_t size;
    bool failed;
};

struct AllocLog {
    std::vector<AllocCall> calls;
    HitAllocKind failKind = HIT_ALLOC_RECORD;
    int failOrdinal = 0; /* 1-based ordinal among calls of failKind to fail; 0: none */
    int seenOfKind = 0;
};

inline AllocLog g_allocLog;

inline int LoggingAllocator(int grow, size_t bytes) {
    HitAllocKind kind =
        grow ? HIT_ALLOC_GROW : (bytes == sizeof(PatientHits) ? HIT_ALLOC_RECORD : HIT_ALLOC_FIRST);
    size_t size = kind == HIT_ALLOC_RECORD ? bytes : sizeof(HitRef);
    size_t count = bytes / size;
    bool fail = false;
    if (g_allocLog.failOrdinal != 0 && kind == g_allocLog.failKind) {
        g_allocLog.seenOfKind++;
        fail = g_allocLog.seenOfKind == g_allocLog.failOrdinal;
    }
    g_allocLog.calls.push_back(AllocCall{kind, count, size, fail});
    return fail ? 1 : 0;
}

/* Releases every record of the table, then empties it. */
inline void ReleaseWholeTable() {
    for (int i = 0; i < PATIENT_TABLE_SLOTS; i++) {
        ReleasePatientHits(Results.PatientHitsTable[i]);
        Results.PatientHitsTable[i] = nullptr;
    }
    ClearHitTable();
}

class SearchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        BuildFoldTable();
        ReleaseWholeTable();
        g_allocLog = AllocLog();
        SondrelObserveAllocations(LoggingAllocator);
        g_reportAllocationFailure = CountAllocationFailure;
        g_allocationFailureReports = 0;
    }
    void TearDown() override {
        ReleaseWholeTable();
        SondrelObserveAllocations(nullptr);
        g_allocLog = AllocLog();
    }
    void FailAllocation(HitAllocKind kind, int ordinal) {
        g_allocLog.failKind = kind;
        g_allocLog.failOrdinal = ordinal;
        g_allocLog.seenOfKind = 0;
    }
    /* Sizes (in entries) of the hits-array allocations made so far, failed ones included. */
    std::vector<size_t> ArraySizes() const {
        std::vector<size_t> sizes;
        for (const AllocCall& c : g_allocLog.calls)
            if (c.kind != HIT_ALLOC_RECORD) sizes.push_back(c.count);
        return sizes;
    }
};

/* A document header of the letter layout (163 bytes), zero-filled, with the fields we read. */
inline std::vector<unsigned char> MakeHeader(uint32_t patient, PackedDate date, const char* author) {
    std::vector<unsigned char> h(LETTER_HEADER_SIZE, 0);
    h[HEADER_TYPE] = DOC_TYPE_LETTER;
    SetRecordU32(h.data(), HEADER_PATIENT, patient);
    SetRecordU32(h.data(), HEADER_DATE, date);
    SetRecordText(h.data(), HEADER_AUTHOR, HEADER_AUTHOR_SIZE, author);
    return h;
}

/* The text in a heap block of exactly its own size, so that AddressSanitizer sees any read past
 * its terminator. */
inline std::vector<char> ExactText(const std::string& text) {
    return std::vector<char>(text.c_str(), text.c_str() + text.size() + 1);
}

/* The search text folded in place, as the run folds it. */
inline std::string Folded(std::string text) {
    FoldTextInPlace(&text[0]);
    return text;
}

#endif
