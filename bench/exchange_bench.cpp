// Speed of the portable halves of the export and import: the bytes of 10,000 rows written in each
// format into memory (WriteExportCell and the row pieces, no list control and no file), and a
// 10,000-line results file read by the chunked line reader and applied to the hit table in add
// mode (5,000 patients, each line twice; the host's names come from a table, no host). Reported in
// rows (lines) per second and bytes per second.
#include <benchmark/benchmark.h>

#include "exchange/export_format.h"
#include "exchange/import_apply.h"
#include "exchange/import_lines.h"
#include "search/hits.h"

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

enum { ROWS = 10000, PATIENTS = 5000 };

const char* const kTitles[9] = {"N\xb0 dossier",
                                "Nom Patient",
                                "Age",
                                "Nombre d'occurences",
                                "Premi\xe8re occurence",
                                "Derni\xe8re occurence",
                                "M\xe9"
                                "decin",
                                "N\xb0 SS",
                                "R\xe9gime"};
const int kWidths[9] = {50, 200, 80, 40, 80, 80, 80, 110, 250};

int AppendTo(void* context, const char* bytes, size_t n) {
    ((std::string*)context)->append(bytes, n);
    return 1;
}

std::string Name(int patient) {
    return "FERNANDEZ-LEROUX" + std::to_string(patient) + " Marie-H\xe9l\xe8ne";
}

std::vector<std::string> RowCells(int row) {
    int patient = 1 + row % PATIENTS;
    return {std::to_string(patient),
            Name(patient),
            "45 ans 11 m",
            "12",
            "02/01/2004",
            "20/11/2026",
            "Dr Martin;Dr Ga\xeblle H\xe9"
            "bert",
            "261037512345678",
            "R\xe9gime g\xe9n\xe9ral"};
}

void Export(benchmark::State& state, int format) {
    std::vector<std::vector<std::string>> rows;
    for (int r = 0; r < ROWS; r++)
        rows.push_back(RowCells(r));
    static char cell[EXPORT_CELL_SIZE];
    size_t bytes = 0;
    for (auto _ : state) {
        std::string out;
        out.reserve(3 << 20);
        ExportSink sink = {AppendTo, &out, 0};
        if (format == EXPORT_HTML) WriteHtmlPrologue(&sink, "Sondrel");
        for (int c = 0; c < 9; c++) {
            snprintf(cell, sizeof cell, "%s", kTitles[c]);
            WriteExportCell(&sink, cell, format, kWidths[c]);
        }
        WriteExportRowEnd(&sink, format);
        for (const auto& row : rows) {
            WriteExportRowStart(&sink, format);
            for (int c = 0; c < 9; c++) {
                snprintf(cell, sizeof cell, "%s", row[c].c_str());
                WriteExportCell(&sink, cell, format, kWidths[c]);
            }
            WriteExportRowEnd(&sink, format);
        }
        WriteExportEnd(&sink, format);
        bytes = out.size();
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * ROWS);
    state.SetBytesProcessed(state.iterations() * (int64_t)bytes);
}

void BM_ExportText(benchmark::State& state) {
    Export(state, EXPORT_TEXT);
}
void BM_ExportTabSeparated(benchmark::State& state) {
    Export(state, EXPORT_EXCEL);
}
void BM_ExportHtml(benchmark::State& state) {
    Export(state, EXPORT_HTML);
}

struct Memory {
    const std::string* bytes;
    size_t pos;
};

int ReadMemory(void* context, char* buf, int size) {
    Memory* m = (Memory*)context;
    size_t n = m->bytes->size() - m->pos;
    if (n > (size_t)size) n = (size_t)size;
    memcpy(buf, m->bytes->data() + m->pos, n);
    m->pos += n;
    return (int)n;
}

void HostName(void*, int patient, char* name, size_t size) {
    snprintf(name, size, "%s", Name(patient).c_str());
}

void BM_ImportLines(benchmark::State& state) {
    std::string file;
    for (int c = 0; c < 9; c++)
        file += std::string(kTitles[c]) + "\t";
    file += "\r\n";
    for (int r = 0; r < ROWS; r++) {
        for (const std::string& cell : RowCells(r))
            file += cell + "\t";
        file += "\r\n";
    }
    static char line[IMPORT_LINE_SIZE];
    static ImportLineReader reader;
    int applied = 0;
    for (auto _ : state) {
        Memory memory = {&file, 0};
        ImportReaderStart(&reader, ReadMemory, &memory);
        int tooLong = 0;
        ReadImportLine(&reader, line, sizeof line, &tooLong);
        applied = 0;
        for (int length; (length = ReadImportLine(&reader, line, sizeof line, &tooLong)) >= 0;)
            applied +=
                ApplyImportLine(line, length, tooLong, IMPORT_ADD, HostName, nullptr) == IMPORT_LINE_APPLIED;
        state.PauseTiming();
        for (int p = 1; p <= PATIENTS; p++) {
            ReleasePatientHits(Results.PatientHitsTable[p]);
            Results.PatientHitsTable[p] = nullptr;
        }
        Results.PatientsWithHits = 0;
        Results.OccurrenceTotal = 0;
        state.ResumeTiming();
    }
    if (applied != ROWS) state.SkipWithError("not every line was applied");
    state.SetItemsProcessed(state.iterations() * ROWS);
    state.SetBytesProcessed(state.iterations() * (int64_t)file.size());
}

BENCHMARK(BM_ExportText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportTabSeparated)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportHtml)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportLines)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
