// Speed of the folded search and of matching whole documents, beside a plain read of the same bytes.
//
// The corpus is built here, deterministically: a few MB of host-like documents, prescriptions and
// letters in French (Windows-1252 bytes), each with a "<text>" section and an "<rtf>" section, one
// after the other in one buffer, each ending with its own terminator. The patterns:
//   rare   — a drug name that occurs once, in the last document (the whole buffer is scanned);
//   common — "de", found in nearly every line (FindFolded restarted after each match, or
//            FindFoldedAll in one call);
//   letter — "e", the one-letter search (restarted after each match).
// FindFoldedRun times the worst case of a naive scan (see there).
// PlainRead sums the bytes of the same buffer, the memory-bandwidth reference. Every benchmark
// reports bytes/s over the corpus bytes.
#include <benchmark/benchmark.h>

#include "base/str.h"
#include "search/fold.h"
#include "search/match.h"

#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

const char* const kDrugs[] = {
    "Doliprane 1000 mg", "Amoxicilline 1 g", "Kardégic 75 mg",       "Lévothyrox 50 µg",   "Inexium 20 mg",
    "Spasfon Lyoc",      "Ventoline 100 µg", "Augmentin 1 g/125 mg", "Efferalgan codéiné", "Plavix 75 mg"};
const char* const kPosology[] = {"1 comprimé matin, midi et soir pendant 5 jours",
                                 "1 gélule le soir au coucher, à renouveler 3 mois",
                                 "2 bouffées en cas de gêne respiratoire, sans dépasser 8 par jour",
                                 "1 sachet 3 fois par jour après les repas",
                                 "1 comprimé à jeun le matin, 30 minutes avant le petit-déjeuner"};
const char* const kLetterLines[] = {
    "Cher confrère, je vous remercie de bien vouloir recevoir en consultation",
    "pour avis concernant une douleur thoracique atypique évoluant depuis trois semaines.",
    "Antécédents : hypertension artérielle traitée, dyslipidémie, appendicectomie dans l'enfance.",
    "L'examen clinique retrouve une tension à 145/90, un auscultation cardio-pulmonaire normale.",
    "L'électrocardiogramme ne montre pas de trouble de la repolarisation.",
    "Je reste à votre disposition pour tout renseignement complémentaire.",
    "Veuillez agréer, cher confrère, l'expression de mes sentiments les meilleurs."};
const char* const kPatients[] = {"Mme DUPONT Élodie", "M. LEFÈVRE Jérôme", "Mme GARÇON Hélène",
                                 "M. NGUYEN François", "Mme MÜLLER Chloé"};
const char* const kAuthors[] = {"Dr Martin", "Dr Bérénice Roux", "Dr Lemaître"};

struct Corpus {
    std::vector<char> bytes;    // every document, each followed by its terminator
    std::vector<size_t> starts; // offset of each document
    size_t textBytes = 0;       // bytes of the documents, terminators excluded
};

// Small deterministic generator (xorshift32).
struct Rng {
    uint32_t s = 2463534242u;
    uint32_t Next() {
        s ^= s << 13;
        s ^= s >> 17;
        s ^= s << 5;
        return s;
    }
    template <size_t N> const char* Pick(const char* const (&a)[N]) { return a[Next() % N]; }
};

// The RTF body of a plain text: accented letters written as \'xx, line ends as \par.
std::string Rtf(const std::string& plain) {
    std::string out = "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}\\f0\\fs20 ";
    char hex[8];
    for (unsigned char c : plain) {
        if (c == '\n') {
            out += "\\par\r\n";
        } else if (c >= 0x80) {
            StrFormat(hex, sizeof hex, "\\'%02x", c);
            out += hex;
        } else {
            out += (char)c;
        }
    }
    return out + "}";
}

std::string Document(Rng& rng, bool prescription) {
    std::string plain = std::string(rng.Pick(kAuthors)) + "\nMédecin généraliste - 12 rue de la République\n";
    plain += std::string("Le ") + std::to_string(1 + rng.Next() % 28) + "/" +
             std::to_string(1 + rng.Next() % 12) + "/2006\n" + rng.Pick(kPatients) + "\n";
    if (prescription) {
        int lines = 2 + rng.Next() % 4;
        for (int i = 0; i < lines; i++)
            plain += std::string(rng.Pick(kDrugs)) + " : " + rng.Pick(kPosology) + "\n";
        plain += "Ordonnance à renouveler 2 fois. QSP 3 mois.\n";
    } else {
        int lines = 5 + rng.Next() % 8;
        for (int i = 0; i < lines; i++)
            plain += std::string(rng.Pick(kLetterLines)) + "\n";
    }
    std::string doc = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<document type=\"";
    doc += prescription ? "ordonnance" : "courrier";
    doc += "\">\r\n<text>" + plain + "</text>\r\n<rtf>" + Rtf(plain) + "</rtf>\r\n</document>\r\n";
    return doc;
}

const Corpus& TheCorpus() {
    static Corpus corpus;
    if (!corpus.starts.empty()) return corpus;
    Rng rng;
    const size_t target = 4u << 20; // about 4 MB
    std::string last;
    while (corpus.bytes.size() < target) {
        std::string doc = Document(rng, rng.Next() % 3 != 0);
        corpus.starts.push_back(corpus.bytes.size());
        corpus.bytes.insert(corpus.bytes.end(), doc.begin(), doc.end());
        corpus.bytes.push_back(0);
        corpus.textBytes += doc.size();
    }
    // The rare drug, once, in the text section of one more document at the very end.
    std::string doc =
        "<text>Dr Martin\nTRAMADOL/Paracétamol 37,5 mg : 1 comprimé si douleur\n</text><rtf>x</rtf>";
    corpus.starts.push_back(corpus.bytes.size());
    corpus.bytes.insert(corpus.bytes.end(), doc.begin(), doc.end());
    corpus.bytes.push_back(0);
    corpus.textBytes += doc.size();
    return corpus;
}

// One zero-terminated text of the whole corpus (the document terminators replaced by line ends),
// for the whole-buffer scans.
const std::vector<char>& WholeText() {
    static std::vector<char> whole;
    if (whole.empty()) {
        whole = TheCorpus().bytes;
        for (size_t i = 0; i + 1 < whole.size(); i++)
            if (whole[i] == 0) whole[i] = '\n';
    }
    return whole;
}

std::string FoldedPattern(const char* text) {
    BuildFoldTable();
    std::string p = text;
    FoldTextInPlace(&p[0]);
    return p;
}

void PlainRead(benchmark::State& state) {
    const std::vector<char>& text = WholeText();
    const unsigned char* p = (const unsigned char*)text.data();
    size_t n = text.size();
    for (auto _ : state) {
        uint32_t sum = 0;
        for (size_t i = 0; i < n; i++)
            sum += p[i];
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)n);
}
BENCHMARK(PlainRead);

// Every occurrence of the pattern in the whole text: FindFolded, restarted one byte after each match.
// FindFoldedPortableRestarted does the same with the portable scan, for comparison on the same machine.
void FindAll(benchmark::State& state, const char* search,
             const char* (*find)(const char* text, const char* pattern)) {
    const std::vector<char>& text = WholeText();
    std::string pattern = FoldedPattern(search);
    int64_t found = 0;
    for (auto _ : state) {
        found = 0;
        for (const char* at = find(text.data(), pattern.c_str()); at != nullptr;
             at = find(at + 1, pattern.c_str()))
            found++;
        benchmark::DoNotOptimize(found);
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)(text.size() - 1));
    state.counters["matches"] = (double)found;
}
void FindFoldedRestarted(benchmark::State& state, const char* search) {
    FindAll(state, search, FindFolded);
}
void FindFoldedPortableRestarted(benchmark::State& state, const char* search) {
    FindAll(state, search, FindFoldedPortable);
}
BENCHMARK_CAPTURE(FindFoldedPortableRestarted, rare, "tramadol");
BENCHMARK_CAPTURE(FindFoldedPortableRestarted, common, "de");
BENCHMARK_CAPTURE(FindFoldedPortableRestarted, letter, "e");
BENCHMARK_CAPTURE(FindFoldedRestarted, rare, "tramadol");
BENCHMARK_CAPTURE(FindFoldedRestarted, common, "de");
BENCHMARK_CAPTURE(FindFoldedRestarted, letter, "e");

// Every occurrence at once, as the viewer finds the ones it marks: FindFoldedAll over the counted
// text, with the viewer's array of 10,000 positions (the first ones are kept, all are counted).
void FindEveryOccurrence(benchmark::State& state, const char* search) {
    const std::vector<char>& text = WholeText();
    std::string pattern = FoldedPattern(search);
    std::vector<size_t> positions(10000);
    size_t found = 0;
    for (auto _ : state) {
        found =
            FindFoldedAll(text.data(), text.size() - 1, pattern.c_str(), positions.data(), positions.size());
        benchmark::DoNotOptimize(found);
        benchmark::DoNotOptimize(positions.data());
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)(text.size() - 1));
    state.counters["matches"] = (double)found;
}
BENCHMARK_CAPTURE(FindEveryOccurrence, rare, "tramadol");
BENCHMARK_CAPTURE(FindEveryOccurrence, common, "de");
BENCHMARK_CAPTURE(FindEveryOccurrence, letter, "e");

// The folded scan's worst case: 1 MB of one letter searched with a 256-byte pattern of that letter
// ending in another (never found). Run with a common run letter and with a rare one.
void FindFoldedRun(benchmark::State& state, char run, char last) {
    BuildFoldTable();
    std::vector<char> text((size_t)1 << 20, run);
    text.push_back(0);
    std::string pattern(255, run);
    pattern += last;
    for (auto _ : state)
        benchmark::DoNotOptimize(FindFolded(text.data(), pattern.c_str()));
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)(text.size() - 1));
}
BENCHMARK_CAPTURE(FindFoldedRun, common_then_rare, 'e', 'z');
BENCHMARK_CAPTURE(FindFoldedRun, rare_then_common, 'z', 'e');

// MatchDocumentText on every document of the corpus. The matcher writes terminators into each
// document, so every iteration starts from a fresh copy (copied outside the timing).
void MatchDocuments(benchmark::State& state, const char* search) {
    const Corpus& corpus = TheCorpus();
    std::string pattern = FoldedPattern(search);
    std::vector<char> work(corpus.bytes.size());
    int64_t matched = 0;
    for (auto _ : state) {
        state.PauseTiming();
        memcpy(work.data(), corpus.bytes.data(), corpus.bytes.size());
        state.ResumeTiming();
        matched = 0;
        for (size_t start : corpus.starts)
            matched += MatchDocumentText(&work[start], pattern.c_str(), 0);
        benchmark::DoNotOptimize(matched);
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)corpus.textBytes);
    state.counters["documents"] = (double)corpus.starts.size();
    state.counters["matched"] = (double)matched;
}
BENCHMARK_CAPTURE(MatchDocuments, rare, "tramadol");
BENCHMARK_CAPTURE(MatchDocuments, common, "de");
BENCHMARK_CAPTURE(MatchDocuments, letter, "e");

} // namespace

BENCHMARK_MAIN();
