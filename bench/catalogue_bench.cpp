// Speed of reading a downloaded form list into a catalogue (ParseFormList, then release).
//
// The lists are built here: `entries` pairs of a label line and an id line ending in CR LF, labels
// of about 40 bytes (Windows-1252, with accents) and ids of about 15, plus a comma and a comment on
// every id line. Sizes: 24 entries (the built-in catalogue's size), 1000 (the most a catalogue
// holds) and 5000 (parsing stops at 1000, the rest is never read). A last case has 1000 entries with
// 2,000-byte labels, about 2 MB. Reported in bytes/s of the list read and in entries/s.
#include <benchmark/benchmark.h>

#include "catalogue/form_catalogue.h"

#include <string>

namespace {

std::string MakeList(int entries, size_t labelBytes) {
    std::string list;
    for (int i = 0; i < entries; i++) {
        std::string label = "Formulaire d'\xe9valuation m\xe9"
                            "dicale n\xb0 " +
                            std::to_string(i) + " ";
        while (label.size() < labelBytes)
            label += "Cerfa ";
        label.resize(labelBytes);
        list += label + "\r\nVELARINE_" + std::to_string(10000 + i) + ",rev. 2007\r\n";
    }
    return list;
}

void Parse(benchmark::State& state, int entries, size_t labelBytes) {
    std::string list = MakeList(entries, labelBytes);
    int stored = 0;
    for (auto _ : state) {
        FormCatalogueData* c = ParseFormList(list.data(), list.size());
        stored = c->count;
        benchmark::DoNotOptimize(c->entries);
        ReleaseFormCatalogue(c);
    }
    // Bytes actually read: a list of more than 1000 entries is read only up to the 1000th.
    double readShare = entries > FORM_CATALOGUE_MAX ? (double)FORM_CATALOGUE_MAX / entries : 1.0;
    state.SetBytesProcessed((int64_t)(state.iterations() * (double)list.size() * readShare));
    state.SetItemsProcessed(state.iterations() * stored);
}

void BM_ParseFormList_24(benchmark::State& state) {
    Parse(state, 24, 40);
}
void BM_ParseFormList_1000(benchmark::State& state) {
    Parse(state, 1000, 40);
}
void BM_ParseFormList_5000(benchmark::State& state) {
    Parse(state, 5000, 40);
}
void BM_ParseFormList_1000_LongLabels(benchmark::State& state) {
    Parse(state, 1000, 2000);
}

BENCHMARK(BM_ParseFormList_24);
BENCHMARK(BM_ParseFormList_1000);
BENCHMARK(BM_ParseFormList_5000);
BENCHMARK(BM_ParseFormList_1000_LongLabels);

} // namespace

BENCHMARK_MAIN();
