// The arithmetic of a search run: families, indexes, the report step, the form chosen from the
// catalogue and the key sort.
#include "search/search_run_plan.h"

#include "base/alloc.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

TEST(SearchRunPlan, FamiliesIndexesStepsAndCatalogueSelection) {
    EXPECT_EQ(SearchFamilyOf(0), FAMILY_LETTERS);
    EXPECT_EQ(SearchFamilyOf(1), FAMILY_PRESCRIPTIONS);
    EXPECT_EQ(SearchFamilyOf(2), FAMILY_FORMS);
    EXPECT_EQ(SearchFamilyOf(3), FAMILY_FORMS);
    EXPECT_EQ(WantedDocumentType(FAMILY_PRESCRIPTIONS), 7);
    EXPECT_EQ(WantedDocumentType(FAMILY_FORMS), 6);
    EXPECT_EQ(FileIndexOf(FAMILY_PRESCRIPTIONS), 282);
    EXPECT_EQ(FileIndexOf(FAMILY_LETTERS), 284);
    EXPECT_EQ(FileIndexOf(FAMILY_FORMS), 284);
    const FormCatalogueData* builtin = BuiltinFormCatalogue();
    EXPECT_EQ(FormIdAt(builtin, -1), nullptr) << "CB_ERR";
    EXPECT_EQ(FormIdAt(builtin, builtin->count), nullptr);
    EXPECT_STREQ(FormIdAt(builtin, builtin->count - 1), builtin->entries[builtin->count - 1].formId);
    EXPECT_EQ(FormIdAt(NULL, 0), nullptr);
    /* Reports: every (total / 50 + 1)-th document; fewer than 50 documents: every one. */
    const struct {
        int total, reports, firstAt;
    } cases[] = {{0, 0, 0}, {1, 1, 1}, {49, 49, 1}, {50, 25, 2}, {120, 40, 3}, {5000000, 49, 100001}};
    for (const auto& c : cases) {
        ProgressCounter progress;
        StartProgress(&progress, c.total);
        int reports = 0, firstAt = 0;
        for (int i = 0; i < c.total; i++) {
            if (CountDocument(&progress)) {
                reports++;
                if (firstAt == 0) firstAt = progress.processed;
            }
        }
        EXPECT_EQ(reports, c.reports) << c.total;
        EXPECT_EQ(firstAt, c.firstAt) << c.total;
        EXPECT_EQ(progress.processed, c.total);
    }
    uint32_t keys[] = {5, 0xFFFFFFFFu, 1, 0x80000000u, 3};
    SortKeys(keys, 5);
    EXPECT_EQ(std::vector<uint32_t>(keys, keys + 5),
              (std::vector<uint32_t>{1, 3, 5, 0x80000000u, 0xFFFFFFFFu}));
}

// The key sort against the plain definition (ascending values), on random keys of every size around
// the point where the counting passes take over, and on keys made to trip them: all equal, one byte
// varying alone, descending, the extremes, a byte that differs in one key only.
TEST(SearchRunPlan, KeySortGivesTheOrderOfAComparisonSort) {
    std::mt19937 random(15);
    std::vector<std::vector<uint32_t>> inputs;
    for (int count : {2, 3, 63, 64, 65, 100, 1000, 4097, 274512}) {
        std::vector<uint32_t> keys((size_t)count);
        for (uint32_t& key : keys)
            key = (uint32_t)random();
        inputs.push_back(keys);
        for (uint32_t& key : keys)
            key &= 0x00FF00FFu; /* two bytes constant */
        inputs.push_back(keys);
    }
    for (int shift = 0; shift < 32; shift += 8) {
        std::vector<uint32_t> keys(5000);
        for (size_t i = 0; i < keys.size(); i++)
            keys[i] = 0x5A5A5A5Au ^ ((uint32_t)(random() & 0xFF) << shift); /* one byte varies */
        inputs.push_back(keys);
    }
    std::vector<uint32_t> equal(1000, 0xDEADBEEFu), descending(3000), extremes(2000), oneOff(500, 7u);
    for (size_t i = 0; i < descending.size(); i++)
        descending[i] = 0xFFFFFFFFu - (uint32_t)i * 0x01010101u;
    for (size_t i = 0; i < extremes.size(); i++)
        extremes[i] = i % 3 == 0 ? 0u : i % 3 == 1 ? 0xFFFFFFFFu : 0x80000000u;
    oneOff[250] = 0x07000007u; /* only the top byte of one key differs, and the low byte of none */
    oneOff[0] = 6u;
    inputs.insert(inputs.end(), {equal, descending, extremes, oneOff});

    for (const std::vector<uint32_t>& input : inputs) {
        std::vector<uint32_t> sorted = input, expected = input;
        std::sort(expected.begin(), expected.end());
        long live = SondrelLiveBlocks();
        SortKeys(sorted.data(), (int)sorted.size());
        ASSERT_EQ(sorted, expected) << input.size() << " keys, first " << input[0];
        EXPECT_EQ(SondrelLiveBlocks(), live) << "scratch released";
    }
}

// Without its scratch copy the sort still sorts (with qsort) and leaves nothing allocated.
TEST(SearchRunPlan, KeySortWithoutScratchMemoryStillSorts) {
    std::vector<uint32_t> keys(10000);
    std::mt19937 random(3);
    for (uint32_t& key : keys)
        key = (uint32_t)random();
    std::vector<uint32_t> expected = keys;
    std::sort(expected.begin(), expected.end());
    long live = SondrelLiveBlocks();
    SondrelFailAllocationAt(1);
    SortKeys(keys.data(), (int)keys.size());
    SondrelFailAllocationAt(0);
    EXPECT_EQ(keys, expected);
    EXPECT_EQ(SondrelLiveBlocks(), live);
    SortKeys(NULL, 5);
    SortKeys(keys.data(), 0);
    SortKeys(keys.data(), -3);
    EXPECT_EQ(keys, expected);
}

} // namespace
