// Cost of the result list's comparison rule: sorting 10,000 rows' cell texts of one column with
// CompareCellTexts, as the list's sort calls it (one comparison per pair the sort asks about), for a
// text column (1, names), the number column (3, counts), the leading-digits column (2, ages) and a
// date column (4). The rows are built here, deterministically, shaped as a search leaves them; each
// iteration sorts a fresh copy of the unsorted texts (copied outside the timing) with a stable merge
// sort. Reported as rows/s and as comparisons per second.
#include <benchmark/benchmark.h>

#include "results/row_compare.h"

#include <stdio.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

std::vector<std::string> MakeCells(int column, int rows) {
    std::mt19937 random(2026);
    const char* lastNames[] = {"DUPONT",    "MARTIN",   "LEF\xC8VRE", "BERNARD", "\xC9TIENNE", "GARNIER",
                               "M\xDCLLER", "ROUSSEAU", "FAURE",      "N'DIAYE", "dupont",     "Bailly"};
    const char* firstNames[] = {"\xC9lodie", "Jean",          "Fran\xE7ois", "Anne",
                                "No\xEBl",   "Th\xE9r\xE8se", "Paul"};
    std::vector<std::string> cells;
    char buf[80];
    for (int i = 0; i < rows; i++) {
        switch (column) {
        case 1:
            snprintf(buf, sizeof buf, "%s %s", lastNames[random() % 12], firstNames[random() % 7]);
            break;
        case 2: {
            unsigned years = (unsigned)(random() % 106);
            snprintf(buf, sizeof buf, "%u an%s %02u m", years, years > 1 ? "s" : "",
                     (unsigned)(random() % 12));
            break;
        }
        case 3:
            snprintf(buf, sizeof buf, "%u", 1 + (unsigned)(random() % 60));
            break;
        default:
            if (random() % 20 == 0)
                snprintf(buf, sizeof buf, "00/00/   0");
            else
                snprintf(buf, sizeof buf, "%02u/%02u/%4u", 1 + (unsigned)(random() % 28),
                         1 + (unsigned)(random() % 12), 1950 + (unsigned)(random() % 77));
        }
        cells.push_back(buf);
    }
    return cells;
}

void SortColumn(benchmark::State& state, int column) {
    const int rows = 10000;
    std::vector<std::string> cells = MakeCells(column, rows);
    std::vector<const char*> order;
    long long comparisons = 0;
    for (auto _ : state) {
        state.PauseTiming();
        order.clear();
        for (const std::string& c : cells)
            order.push_back(c.c_str());
        state.ResumeTiming();
        std::stable_sort(order.begin(), order.end(), [&](const char* a, const char* b) {
            comparisons++;
            return CompareCellTexts(column, a, b, 0) < 0;
        });
        benchmark::DoNotOptimize(order.data());
    }
    state.SetItemsProcessed(state.iterations() * rows);
    state.counters["comparisons/s"] = benchmark::Counter((double)comparisons, benchmark::Counter::kIsRate);
}

BENCHMARK_CAPTURE(SortColumn, text_names, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SortColumn, leading_digits_ages, 2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SortColumn, number_counts, 3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SortColumn, date_first, 4)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
