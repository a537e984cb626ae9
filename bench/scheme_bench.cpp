// Speed of the scheme look-up that gives every row of the result list its insurance scheme.
//
// The table holds 120 values shaped like the generated cabinet's scheme file
// ("07;Caisse ...;national;149;"), added as a fill reads them. Each look-up asks for the next of the
// codes 1..120 in a fixed scattered order, so on average half the table comes before the value
// found; one code, 999, is in no value and passes the whole table. Figures are look-ups per second.
#include <benchmark/benchmark.h>

#include "base/str.h"
#include "search/result_format.h"

namespace {

enum { SCHEMES = 120 };

void FillSchemes(SchemeTable* table) {
    for (int i = 1; i <= SCHEMES; i++) {
        char value[SCHEME_VALUE_SIZE];
        StrFormat(value, sizeof value, "%02d;Caisse r\xe9gionale num\xe9ro %d;national;%d;", i, i,
                  100 + 7 * i);
        SchemeTableAdd(table, value);
    }
}

void SchemeLookup(benchmark::State& state, int fixedCode) {
    SchemeTable table = {nullptr, 0, 0};
    FillSchemes(&table);
    char name[SCHEME_VALUE_SIZE];
    int next = 0;
    for (auto _ : state) {
        int code = fixedCode != 0 ? fixedCode : 1 + (next * 37) % SCHEMES;
        next++;
        LookupSchemeInTable(&table, code, name, sizeof name);
        benchmark::DoNotOptimize(name[0]);
    }
    state.SetItemsProcessed((int64_t)state.iterations());
    SchemeTableFree(&table);
}
BENCHMARK_CAPTURE(SchemeLookup, scattered, 0);
BENCHMARK_CAPTURE(SchemeLookup, missing, 999);

} // namespace

BENCHMARK_MAIN();
