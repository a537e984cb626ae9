// The arithmetic of a search run: families, indexes, the report step, the form chosen from the
// catalogue and the key sort.
#include "search/search_run_plan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
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

/* SortKeys looks for keys already in order before it sorts: lists in order but for their first or
 * last pair, or one key out of place anywhere, must still come out sorted, with every key kept. */
TEST(SortKeysTest, OrdersEveryShapeOfListAndKeepsEachKey) {
    uint32_t seed = 7;
    auto next = [&seed]() {
        seed = seed * 1103515245u + 12345u;
        return seed;
    };
    for (int count : {0, 1, 2, 3, 16, 17, 1000, 70000}) {
        std::vector<std::vector<uint32_t>> shapes;
        std::vector<uint32_t> ascending(count), random(count), few(count);
        for (int i = 0; i < count; i++) {
            ascending[i] = (uint32_t)i * 3u;
            random[i] = next();
            few[i] = next() % 3 == 0 ? 0xFFFFFFFFu : next() % 4;
        }
        shapes.push_back(ascending);
        shapes.push_back(std::vector<uint32_t>(ascending.rbegin(), ascending.rend()));
        shapes.push_back(random);
        shapes.push_back(few);
        if (count >= 2) {
            std::vector<uint32_t> lastPair = ascending, firstPair = ascending, moved = ascending;
            std::swap(lastPair[count - 2], lastPair[count - 1]);
            std::swap(firstPair[0], firstPair[1]);
            moved[count / 2] = 0xFFFFFFFFu;
            shapes.push_back(lastPair);
            shapes.push_back(firstPair);
            shapes.push_back(moved);
        }
        for (size_t s = 0; s < shapes.size(); s++) {
            std::vector<uint32_t> keys = shapes[s];
            std::multiset<uint32_t> before(keys.begin(), keys.end());
            SortKeys(keys.data(), count);
            EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end())) << count << " shape " << s;
            EXPECT_EQ(std::multiset<uint32_t>(keys.begin(), keys.end()), before) << count << " shape " << s;
        }
    }
    /* A negative count or no list sorts nothing. */
    uint32_t two[] = {2, 1};
    SortKeys(two, -5);
    SortKeys(nullptr, 2);
    EXPECT_EQ(two[0], 2u);
}

} // namespace
