/* Tests of the cabinet generator (standin/gen).
 *
 * The generated trees are read back by a small reader written here from the cabinet format alone
 * (standin/README.md), independent of the generator and of the stand-in's own reader: every record
 * line, every body and its terminator, keys, types, dates, names, authors, the Windows-1252 bytes
 * and the scheme file are checked. One further test loads the same tree with the stand-in's reader
 * (standin/core) and compares what both readers see, so that the generator and the stand-in host
 * agree on the format. Trees are small (a few hundred patients) to keep the run fast. */
#include "standin/gen/gencab.h"
#include "standin/core/cabinet.h"
#include "catalogue/form_catalogue.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <string.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

/* A fresh directory removed at the end of the test. */
struct TempTree {
    fs::path root;
    explicit TempTree(const char* tag) {
        static int counter = 0;
        root = fs::path(testing::TempDir()) / ("gencab_" + std::string(tag) + "_" + std::to_string(getpid()) +
                                               "_" + std::to_string(counter++));
        fs::remove_all(root);
    }
    ~TempTree() {
        std::error_code ec;
        fs::remove_all(root, ec);
    }
};

void Generate(const TempTree& t, uint64_t seed, int patients, int documents) {
    GenTreeOptions o;
    o.seed = seed;
    o.patients = patients;
    o.documents = documents;
    GenStats stats;
    char error[256];
    ASSERT_EQ(GenerateTree(t.root.string().c_str(), &o, &stats, error, sizeof error), 1) << error;
    EXPECT_EQ(stats.cabinets, 3);
    EXPECT_GT(stats.bytes, 0u);
}

std::vector<std::string> Split(const std::string& s, char sep) {
    std::vector<std::string> out;
    size_t start = 0;
    for (;;) {
        size_t p = s.find(sep, start);
        out.push_back(s.substr(start, p == std::string::npos ? std::string::npos : p - start));
        if (p == std::string::npos) return out;
        start = p + 1;
    }
}

bool ParseU32(const std::string& s, uint32_t* v) {
    if (s.empty() || s.size() > 10) return false;
    uint64_t n = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        n = n * 10 + (uint64_t)(c - '0');
    }
    if (n > 0xFFFFFFFFull) return false;
    *v = (uint32_t)n;
    return true;
}

/* "dd/mm/yyyy" of a real calendar day from 1900 to the fixed today, or "0". */
bool ValidDate(const std::string& s) {
    if (s == "0") return true;
    if (s.size() != 10 || s[2] != '/' || s[5] != '/') return false;
    uint32_t d, m, y;
    if (!ParseU32(s.substr(0, 2), &d) || !ParseU32(s.substr(3, 2), &m) || !ParseU32(s.substr(6, 4), &y))
        return false;
    static const int days[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (m < 1 || m > 12 || d < 1 || (int)d > days[m - 1]) return false;
    if (m == 2 && d == 29 && !(y % 4 == 0 && (y % 100 != 0 || y % 400 == 0))) return false;
    if (y < 1900) return false;
    return y * 10000 + m * 100 + d <=
           (uint32_t)(GEN_TODAY_YEAR * 10000 + GEN_TODAY_MONTH * 100 + GEN_TODAY_DAY);
}

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = (char)(c - 'A' + 'a');
    return s;
}

struct TPatient {
    std::string last, first, birth, ss;
};
struct TEntry {
    char kind;
    int index;
    uint32_t key;
    int type;
    uint32_t patient;
    std::string date, author, value, text;
    uint32_t stamp;
};
struct TCabinet {
    std::string today, pass;
    bool hasPass = false;
    std::map<uint32_t, TPatient> patients;
    std::vector<TEntry> entries; /* S, X, E and D lines in file order */
};

/* Reads a cabinet.txt strictly: any deviation from the format is a test failure. */
void ParseCabinet(const std::string& bytes, TCabinet* cab) {
    ASSERT_FALSE(bytes.empty());
    ASSERT_EQ(bytes.find('\0'), std::string::npos) << "NUL byte in cabinet";
    ASSERT_EQ(bytes.substr(bytes.size() - 2), "\r\n") << "last line not ended by CR LF";
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t p = bytes.find('\n', start);
        ASSERT_NE(p, std::string::npos);
        ASSERT_TRUE(p > start && bytes[p - 1] == '\r') << "line without CR LF near byte " << p;
        std::string line = bytes.substr(start, p - 1 - start);
        ASSERT_EQ(line.find('\r'), std::string::npos) << "stray CR near byte " << p;
        lines.push_back(line);
        start = p + 1;
    }
    ASSERT_EQ(lines[0], "HDCAB 1");
    for (size_t i = 1; i < lines.size(); i++) {
        const std::string& l = lines[i];
        if (l.empty() || l[0] == '#') continue;
        if (l.compare(0, 6, "TODAY ") == 0) {
            cab->today = l.substr(6);
            continue;
        }
        if (l.compare(0, 5, "PASS ") == 0) {
            cab->pass = l.substr(5);
            cab->hasPass = true;
            continue;
        }
        ASSERT_TRUE(l.size() > 2 && l[1] == ' ') << "unknown line " << i << ": " << l;
        std::vector<std::string> f = Split(l.substr(2), '|');
        if (l[0] == 'P') {
            ASSERT_EQ(f.size(), 5u) << l;
            uint32_t n;
            ASSERT_TRUE(ParseU32(f[0], &n) && n >= 1 && n <= GEN_MAX_PATIENT) << l;
            ASSERT_EQ(cab->patients.count(n), 0u) << "patient twice: " << l;
            EXPECT_LE(f[1].size(), 20u) << l;
            EXPECT_FALSE(f[1].empty()) << l;
            EXPECT_LE(f[2].size(), 43u) << l;
            EXPECT_TRUE(ValidDate(f[3])) << l;
            EXPECT_LE(f[4].size(), 40u) << l;
            for (char c : f[4])
                EXPECT_TRUE((c >= '0' && c <= '9') || strchr(" .-AB", c)) << l;
            cab->patients[n] = TPatient{f[1], f[2], f[3], f[4]};
            continue;
        }
        TEntry e{};
        e.kind = l[0];
        if (e.kind == 'S' || e.kind == 'X' || e.kind == 'E') {
            ASSERT_EQ(f.size(), 3u) << l;
            e.index = 39;
            ASSERT_TRUE(ParseU32(f[0], &e.key) && e.key != 0) << l;
            ASSERT_TRUE(ParseU32(f[1], &e.patient) && cab->patients.count(e.patient)) << l;
            uint32_t v;
            ASSERT_TRUE(ParseU32(f[2], &v)) << l;
            e.value = f[2];
            e.type = e.kind == 'S' ? 30 : e.kind == 'X' ? 31 : (int)v;
            if (e.kind == 'E') {
                EXPECT_TRUE(v != 6 && v != 7 && v != 30 && v != 31 && v != 0) << l;
            }
            cab->entries.push_back(e);
            continue;
        }
        ASSERT_EQ(e.kind, 'D') << "unknown line " << i << ": " << l;
        ASSERT_EQ(f.size(), 7u) << l;
        uint32_t index, type;
        ASSERT_TRUE(ParseU32(f[0], &index) && (index == 39 || index == 282 || index == 284)) << l;
        e.index = (int)index;
        ASSERT_TRUE(ParseU32(f[1], &e.key) && e.key != 0) << l;
        ASSERT_TRUE(ParseU32(f[2], &type) && type > 0 && type < 256) << l;
        e.type = (int)type;
        ASSERT_TRUE(ParseU32(f[3], &e.patient) && cab->patients.count(e.patient)) << l;
        ASSERT_TRUE(ValidDate(f[4])) << l;
        e.date = f[4];
        ASSERT_TRUE(!f[5].empty() && f[5].size() <= 8) << l;
        for (char c : f[5])
            ASSERT_TRUE((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')) << l;
        e.stamp = (uint32_t)std::stoul(f[5], nullptr, 16);
        ASSERT_TRUE(f[5] == "0" || f[5][0] != '0') << "leading zero in stamp: " << l;
        e.author = f[6];
        EXPECT_LE(e.author.size(), 21u) << l;
        EXPECT_EQ(e.author.find(';'), std::string::npos) << l;
        /* Body: up to a line holding a single "."; lines starting with "." carry one more. */
        std::string text;
        size_t j = i + 1;
        for (;; j++) {
            ASSERT_LT(j, lines.size()) << "body of line " << i << " not terminated";
            const std::string& b = lines[j];
            if (b == ".") break;
            if (j > i + 1) text += "\r\n";
            if (!b.empty() && b[0] == '.') {
                ASSERT_TRUE(b.size() >= 2 && b[1] == '.') << "unstuffed body line " << j << ": " << b;
                text += b.substr(1);
            } else {
                text += b;
            }
        }
        e.text = text;
        i = j;
        cab->entries.push_back(e);
    }
}

std::string KeyText(const TEntry& e) {
    char buf[32];
    if (e.kind == 'S')
        snprintf(buf, sizeof buf, "S%07u", e.patient);
    else if (e.kind == 'X')
        snprintf(buf, sizeof buf, "X%07u", e.patient);
    else if (e.index == 39)
        snprintf(buf, sizeof buf, "D%07u%010u", e.patient, e.key);
    else
        snprintf(buf, sizeof buf, "%07u%010u", e.patient, e.key);
    return buf;
}

/* Bytes of a UTF-8 two-byte sequence for a Latin letter (Ã©, Ã¨, Å“, Â°...): never in our files. */
size_t CountUtf8Pairs(const std::string& s) {
    size_t n = 0;
    for (size_t i = 0; i + 1 < s.size(); i++) {
        unsigned char a = (unsigned char)s[i], b = (unsigned char)s[i + 1];
        if (a >= 0xC2 && a <= 0xC5 && b >= 0x80 && b <= 0xBF) n++;
    }
    return n;
}

struct Tree {
    TempTree dir;
    TCabinet main;
    std::string mainBytes;
    explicit Tree(const char* tag) : dir(tag) {}
};

void LoadMain(Tree* t) {
    t->mainBytes = ReadAll(t->dir.root / "Cabinets" / "CABINET1" / "cabinet.txt");
    ParseCabinet(t->mainBytes, &t->main);
}

std::vector<const TEntry*> Docs(const TCabinet& c) {
    std::vector<const TEntry*> out;
    for (const TEntry& e : c.entries)
        if (e.kind == 'D') out.push_back(&e);
    return out;
}

} // namespace

TEST(Gencab, SameSeedGivesSameBytesOtherSeedOthers) {
    TempTree a("a"), b("b"), c("c");
    Generate(a, 42, 150, 1200);
    Generate(b, 42, 150, 1200);
    Generate(c, 43, 150, 1200);
    const char* files[] = {"Cabinets/passes.txt", "Cabinets/CABINET1/cabinet.txt",
                           "Cabinets/Noel/cabinet.txt", "Cabinets/pediatrie/cabinet.txt",
                           "Programmes/caisses.hdc"};
    for (const char* f : files) {
        std::string x = ReadAll(a.root / f);
        ASSERT_FALSE(x.empty()) << f;
        EXPECT_TRUE(x == ReadAll(b.root / f)) << f << " differs between two runs of one seed";
    }
    EXPECT_NE(ReadAll(a.root / "Cabinets/CABINET1/cabinet.txt"),
              ReadAll(c.root / "Cabinets/CABINET1/cabinet.txt"));
    EXPECT_NE(ReadAll(a.root / "Cabinets/Noel/cabinet.txt"), ReadAll(c.root / "Cabinets/Noel/cabinet.txt"));
}

TEST(Gencab, RecordsKeysAndTypesFollowTheFormat) {
    Tree t("format");
    Generate(t.dir, 1, 200, 2000);
    LoadMain(&t);
    const TCabinet& c = t.main;
    EXPECT_EQ(c.today, "08/12/2026");
    EXPECT_TRUE(c.hasPass);
    EXPECT_EQ(c.patients.size(), 200u);
    std::vector<const TEntry*> docs = Docs(c);
    EXPECT_EQ(docs.size(), 2000u);

    /* Keys unique per index; index 39 shared by S, X, E and its documents. */
    std::map<int, std::set<uint32_t>> keys;
    std::set<uint32_t> sesam, ext;
    for (const TEntry& e : c.entries) {
        EXPECT_TRUE(keys[e.index].insert(e.key).second) << "key " << e.key << " twice in index " << e.index;
        if (e.kind == 'S') {
            EXPECT_TRUE(sesam.insert(e.patient).second) << "two S entries for " << e.patient;
        }
        if (e.kind == 'X') {
            EXPECT_TRUE(ext.insert(e.patient).second) << "two X entries for " << e.patient;
        }
    }
    /* Most patients have S and X entries, some lack them. */
    EXPECT_GT(sesam.size(), 150u);
    EXPECT_LT(sesam.size(), 200u);
    EXPECT_GT(ext.size(), 150u);
    EXPECT_LT(ext.size(), 200u);

    /* Walking an index in key-text order does not give the keys in ascending order. */
    for (int index : {39, 282, 284}) {
        std::vector<std::pair<std::string, uint32_t>> walk;
        for (const TEntry& e : c.entries)
            if (e.index == index) walk.push_back({KeyText(e), e.key});
        ASSERT_GT(walk.size(), 100u) << index;
        std::sort(walk.begin(), walk.end());
        std::vector<uint32_t> sorted;
        for (auto& w : walk)
            sorted.push_back(w.second);
        std::sort(sorted.begin(), sorted.end());
        size_t inPlace = 0;
        for (size_t i = 0; i < walk.size(); i++)
            inPlace += walk[i].second == sorted[i];
        EXPECT_LT(inPlace, walk.size() / 10) << "index " << index << " walks nearly in key order";
    }
    /* Keys over the whole 32-bit range in index 39 (above 2^31 too). */
    EXPECT_GT(*keys[39].rbegin(), 0x80000000u);

    /* Types per table: 39 letters and prescriptions; file tables mostly theirs, a few others. */
    std::map<int, std::map<int, int>> types;
    for (const TEntry* d : docs)
        types[d->index][d->type]++;
    for (auto& kv : types[39])
        EXPECT_TRUE(kv.first == 6 || kv.first == 7) << kv.first;
    EXPECT_GT(types[39][6], 300);
    EXPECT_GT(types[39][7], 400);
    int other282 = 0, other284 = 0;
    for (auto& kv : types[282])
        if (kv.first != 7) other282 += kv.second;
    for (auto& kv : types[284])
        if (kv.first != 6) other284 += kv.second;
    EXPECT_GT(types[282][7], 150);
    EXPECT_GT(types[284][6], 150);
    EXPECT_GE(other282 + other284, 2);
    EXPECT_LT(other282, types[282][7] / 10);
    EXPECT_LT(other284, types[284][6] / 10);
    int fileDocs = types[282][7] + types[284][6] + other282 + other284;
    EXPECT_GT(fileDocs, 2000 * 15 / 100);
    EXPECT_LT(fileDocs, 2000 * 35 / 100);

    /* E entries of several types. */
    std::set<int> eTypes;
    for (const TEntry& e : c.entries)
        if (e.kind == 'E') eTypes.insert(e.type);
    EXPECT_GE(eTypes.size(), 5u);
}

TEST(Gencab, PatientsSpreadAndVaried) {
    Tree t("patients");
    Generate(t.dir, 5, 200, 2000);
    LoadMain(&t);
    const TCabinet& c = t.main;
    EXPECT_EQ(c.patients.count(1u), 1u);
    EXPECT_EQ(c.patients.count((uint32_t)GEN_MAX_PATIENT), 1u);
    size_t low = 0, high = 0;
    for (auto& kv : c.patients) {
        low += kv.first < 2000;
        high += kv.first > 500000;
    }
    EXPECT_GT(low, 50u);
    EXPECT_GT(high, 10u);

    /* Patients without documents. */
    std::set<uint32_t> withDocs;
    std::map<uint32_t, std::set<std::string>> authors;
    for (const TEntry* d : Docs(c)) {
        withDocs.insert(d->patient);
        authors[d->patient].insert(d->author);
    }
    EXPECT_GE(c.patients.size() - withDocs.size(), 2u);
    size_t severalAuthors = 0, most = 0;
    for (auto& kv : authors) {
        severalAuthors += kv.second.size() >= 2;
        most = std::max(most, kv.second.size());
    }
    EXPECT_GT(severalAuthors, 50u);
    EXPECT_GE(most, 60u); /* the patient of the sixty prescribers: authors beyond 999 bytes */

    /* Ages at the fixed today: babies, one-year-olds, the very old, unknown births. */
    int babies = 0, ones = 0, old = 0, unknown = 0;
    for (auto& kv : c.patients) {
        const std::string& b = kv.second.birth;
        if (b == "0") {
            unknown++;
            continue;
        }
        int d = std::stoi(b.substr(0, 2)), m = std::stoi(b.substr(3, 2)), y = std::stoi(b.substr(6, 4));
        int months = (2026 - y) * 12 + (12 - m) - (8 < d ? 1 : 0);
        babies += months < 12;
        ones += months >= 12 && months < 24;
        old += months >= 90 * 12;
    }
    EXPECT_GE(babies, 1);
    EXPECT_GE(ones, 1);
    EXPECT_GE(old, 1);
    EXPECT_GE(unknown, 1);

    /* Social-security numbers typed in several ways, sometimes empty. */
    int spaces = 0, dots = 0, dashes = 0, plain = 0, empty = 0;
    for (auto& kv : c.patients) {
        const std::string& s = kv.second.ss;
        if (s.empty())
            empty++;
        else if (s.find('.') != std::string::npos)
            dots++;
        else if (s.find('-') != std::string::npos)
            dashes++;
        else if (s.find(' ') != std::string::npos)
            spaces++;
        else
            plain++;
    }
    EXPECT_GT(spaces, 0);
    EXPECT_GT(dots, 0);
    EXPECT_GT(dashes, 0);
    EXPECT_GT(plain, 0);
    EXPECT_GT(empty, 0);

    /* Accented names as Windows-1252 bytes, and the longest fields at their limits. */
    size_t longestLast = 0, longestFirst = 0;
    bool accentedLast = false, accentedFirst = false;
    for (auto& kv : c.patients) {
        longestLast = std::max(longestLast, kv.second.last.size());
        longestFirst = std::max(longestFirst, kv.second.first.size());
        for (char ch : kv.second.last)
            accentedLast |= (unsigned char)ch >= 0x80;
        for (char ch : kv.second.first)
            accentedFirst |= (unsigned char)ch >= 0x80;
    }
    EXPECT_EQ(longestLast, 20u);
    EXPECT_EQ(longestFirst, 43u);
    EXPECT_TRUE(accentedLast);
    EXPECT_TRUE(accentedFirst);
    EXPECT_EQ(c.patients.at(1).first, "Élodie");
    EXPECT_EQ(c.patients.at(1).first, "\xC9lodie");
}

TEST(Gencab, DocumentsCarryTheSectionsAndVariantsTheProgramMeets) {
    Tree t("docs");
    Generate(t.dir, 1, 200, 2000);
    LoadMain(&t);
    std::vector<const TEntry*> docs = Docs(t.main);
    int prescriptions = 0, zelmorin = 0, letters = 0, confrere = 0, forms = 0, empty = 0;
    int upperText = 0, mixedRtf = 0, unclosedText = 0, noRtf = 0, dotLine = 0, dotOnly = 0, hashLine = 0;
    int zeroDates = 0, y1999 = 0, y2000 = 0, escaped = 0, raw = 0;
    std::set<std::string> formIds;
    const FormCatalogueData* catalogue = BuiltinFormCatalogue();
    for (const TEntry* d : docs) {
        std::string low = Lower(d->text);
        if (d->text.empty()) empty++;
        zeroDates += d->date == "0";
        y1999 += d->date == "31/12/1999";
        y2000 += d->date == "01/01/2000";
        if (d->type == 7) {
            prescriptions++;
            zelmorin += low.find("zelmorin") != std::string::npos;
        }
        if (d->type == 6) {
            letters++;
            confrere += d->text.find("Cher confrère,") != std::string::npos;
        }
        upperText +=
            d->text.find("<TEXT>") != std::string::npos || d->text.find("<Text>") != std::string::npos;
        mixedRtf += d->text.find("<Rtf>") != std::string::npos || d->text.find("<RTF>") != std::string::npos;
        size_t open = low.find("<text>");
        unclosedText += open != std::string::npos && low.find("</text>", open) == std::string::npos;
        noRtf += !d->text.empty() && low.find("<rtf>") == std::string::npos;
        for (const std::string& line : Split(d->text, '\n')) {
            dotLine += !line.empty() && line[0] == '.';
            dotOnly += line == "." || line == ".\r";
            hashLine += !line.empty() && line[0] == '#';
        }
        size_t rtf = low.find("<rtf>");
        if (rtf != std::string::npos) {
            EXPECT_EQ(d->text.compare(rtf + 5, 6, "{\\rtf1"), 0) << d->key;
            std::string body = d->text.substr(rtf);
            escaped += body.find("\\'e9") != std::string::npos;
            raw += body.find('\xE9') != std::string::npos;
        }
        size_t v = low.find("<velarine_data>");
        if (v != std::string::npos) {
            forms++;
            EXPECT_EQ(d->type, 6) << "form data outside a letter, key " << d->key;
            int found = 0;
            std::set<std::string> ids;
            for (int i = 0; i < catalogue->count; i++)
                ids.insert(catalogue->entries[i].formId);
            for (const std::string& id : ids) {
                size_t at = d->text.find(std::string("\"") + id + "\"", v);
                if (at != std::string::npos) {
                    formIds.insert(id);
                    found++;
                }
            }
            EXPECT_EQ(found, 1) << "form document " << d->key << " names " << found << " catalogue ids";
        }
    }
    /* Zelmorin: in some prescriptions, not in most. */
    EXPECT_GT(zelmorin, prescriptions / 50);
    EXPECT_LT(zelmorin, prescriptions / 4);
    EXPECT_GT(confrere, letters / 10);
    EXPECT_GT(forms, 40);
    /* Every form id of the built-in catalogue occurs (23 distinct ids for 24 entries). */
    EXPECT_EQ(formIds.size(), 23u);
    EXPECT_GT(empty, 0);
    EXPECT_GT(upperText, 0);
    EXPECT_GT(mixedRtf, 0);
    EXPECT_GT(unclosedText, 0);
    EXPECT_GT(noRtf, 0);
    EXPECT_GT(dotLine, 0);
    EXPECT_GT(dotOnly, 0);
    EXPECT_GT(hashLine, 0);
    EXPECT_GT(zeroDates, 0);
    EXPECT_GT(y1999, 0);
    EXPECT_GT(y2000, 0);
    EXPECT_GT(escaped, 100);
    EXPECT_GT(raw, 20);

    /* The words of the folding edge cases, as Windows-1252 bytes. */
    for (const char* word : {"été", "ÉTÉ", "œuvre", "Œuvre", "straße", "µg", "Lévothyrox"})
        EXPECT_NE(t.mainBytes.find(word), std::string::npos) << word;
    /* Sizes: half a kilobyte to a few kilobytes. */
    size_t total = 0;
    for (const TEntry* d : docs)
        total += d->text.size();
    EXPECT_GT(total / docs.size(), 900u);
    EXPECT_LT(total / docs.size(), 2500u);
}

TEST(Gencab, AllFilesAreWindows1252WithCrLf) {
    Tree t("charset");
    Generate(t.dir, 9, 120, 900);
    for (const fs::directory_entry& f : fs::recursive_directory_iterator(t.dir.root)) {
        if (!f.is_regular_file()) continue;
        std::string bytes = ReadAll(f.path());
        ASSERT_FALSE(bytes.empty()) << f.path();
        EXPECT_EQ(CountUtf8Pairs(bytes), 0u) << f.path() << " holds UTF-8 sequences";
        EXPECT_EQ(bytes.find("\xC3\xA9"), std::string::npos) << f.path();
        size_t lf = 0, crlf = 0;
        for (size_t i = 0; i < bytes.size(); i++)
            if (bytes[i] == '\n') {
                lf++;
                crlf += i > 0 && bytes[i - 1] == '\r';
            }
        EXPECT_EQ(lf, crlf) << f.path() << " has bare LF line ends";
    }
    std::string main = ReadAll(t.dir.root / "Cabinets/CABINET1/cabinet.txt");
    EXPECT_NE(main.find('\xE9'), std::string::npos);
}

TEST(Gencab, PassTableNamesEveryCabinetMainFirst) {
    TempTree t("passes");
    Generate(t, 3, 40, 200);
    std::string passes = ReadAll(t.root / "Cabinets/passes.txt");
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(passes);
    std::string line;
    while (std::getline(in, line)) {
        ASSERT_FALSE(line.empty());
        ASSERT_EQ(line.back(), '\r');
        line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        rows.push_back(Split(line, '|'));
    }
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0][0], "CABINET1");
    EXPECT_EQ(rows[0][2], "Cabinet Médical du Parc");
    std::set<std::string> lowerDirs;
    for (const std::vector<std::string>& r : rows) {
        ASSERT_EQ(r.size(), 3u);
        EXPECT_LE(r[1].size(), 12u) << "pass longer than its record field";
        EXPECT_TRUE(lowerDirs.insert(Lower(r[0])).second) << "directories equal ignoring case";
        TCabinet c;
        ParseCabinet(ReadAll(t.root / "Cabinets" / r[0] / "cabinet.txt"), &c);
        if (HasFatalFailure()) return;
        EXPECT_EQ(c.hasPass, !r[1].empty()) << r[0];
        if (c.hasPass) {
            EXPECT_EQ(c.pass, r[1]) << r[0];
        }
        EXPECT_FALSE(c.patients.empty()) << r[0];
    }
}

TEST(Gencab, SchemeFileHasUnbrokenRegimesKeys) {
    TempTree t("schemes");
    Generate(t, 1, 5, 10);
    std::string ini = ReadAll(t.root / "Programmes/caisses.hdc");
    std::istringstream in(ini);
    std::string line, section;
    std::vector<std::pair<std::string, std::string>> regimes;
    while (std::getline(in, line)) {
        ASSERT_FALSE(line.empty());
        ASSERT_EQ(line.back(), '\r');
        line.pop_back();
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            section = line;
            continue;
        }
        size_t eq = line.find('=');
        ASSERT_NE(eq, std::string::npos) << line;
        if (section == "[R\xE9gimes]") regimes.push_back({line.substr(0, eq), line.substr(eq + 1)});
    }
    ASSERT_EQ(regimes.size(), 120u);
    std::set<int> codes;
    int withoutSemicolon = 0;
    for (size_t i = 0; i < regimes.size(); i++) {
        EXPECT_EQ(regimes[i].first, std::to_string(i + 1));
        const std::string& v = regimes[i].second;
        size_t semi = v.find(';');
        ASSERT_NE(semi, std::string::npos) << v;
        uint32_t code;
        ASSERT_TRUE(ParseU32(v.substr(0, semi), &code)) << v;
        EXPECT_TRUE(code >= 1 && code <= 120) << v;
        EXPECT_TRUE(codes.insert((int)code).second) << "code twice: " << v;
        size_t nameEnd = v.find(';', semi + 1);
        EXPECT_GT(nameEnd == std::string::npos ? v.size() : nameEnd, semi + 1) << "empty name: " << v;
        withoutSemicolon += nameEnd == std::string::npos;
    }
    EXPECT_GE(withoutSemicolon, 1);
    EXPECT_LE(withoutSemicolon, 2);
    EXPECT_EQ(regimes[0].second.compare(0, 18, "01;R\xE9gime g\xE9n\xE9ral;"), 0) << regimes[0].second;
    /* Some codes are written with leading zeros, and key order is not code order everywhere. */
    int leadingZero = 0, moved = 0;
    for (size_t i = 0; i < regimes.size(); i++) {
        leadingZero += regimes[i].second[0] == '0';
        moved += std::stoi(regimes[i].second) != (int)i + 1;
    }
    EXPECT_GT(leadingZero, 9);
    EXPECT_GT(moved, 0);
}

TEST(Gencab, TinyAndInvalidCounts) {
    {
        TempTree t("tiny");
        Generate(t, 1, 1, 0);
        TCabinet c;
        ParseCabinet(ReadAll(t.root / "Cabinets/CABINET1/cabinet.txt"), &c);
        EXPECT_EQ(c.patients.size(), 1u);
        EXPECT_EQ(c.patients.count(1u), 1u);
        EXPECT_TRUE(Docs(c).empty());
    }
    {
        TempTree t("few");
        Generate(t, 1, 3, 7);
        TCabinet c;
        ParseCabinet(ReadAll(t.root / "Cabinets/CABINET1/cabinet.txt"), &c);
        EXPECT_EQ(c.patients.size(), 3u);
        EXPECT_EQ(Docs(c).size(), 7u);
    }
    TempTree t("bad");
    GenTreeOptions o = {1, 0, 10};
    char error[128];
    EXPECT_EQ(GenerateTree(t.root.string().c_str(), &o, nullptr, error, sizeof error), 0);
    EXPECT_NE(error[0], 0);
    o.patients = 10;
    o.documents = -1;
    EXPECT_EQ(GenerateTree(t.root.string().c_str(), &o, nullptr, error, sizeof error), 0);
    int p = 0, d = 0;
    EXPECT_EQ(GenSizeCounts("small", &p, &d), 1);
    EXPECT_EQ(p, 200);
    EXPECT_EQ(d, 2000);
    EXPECT_EQ(GenSizeCounts("huge", &p, &d), 0);
}

/* The stand-in host reads exactly what this test's reader reads. */
TEST(Gencab, StandinReaderSeesTheSameCabinet) {
    Tree t("standin");
    Generate(t.dir, 11, 150, 1500);
    LoadMain(&t);
    Cabinet cab;
    CabInit(&cab);
    std::string path = (t.dir.root / "Cabinets/CABINET1/cabinet.txt").string();
    ASSERT_EQ(CabLoad(&cab, path.c_str()), 1);
    EXPECT_EQ(cab.linesSkipped, 0u);
    EXPECT_EQ(cab.duplicatesDropped, 0u);
    EXPECT_EQ(cab.patients.size(), t.main.patients.size());
    ASSERT_EQ(cab.entries.size(), t.main.entries.size());
    std::vector<char> buf;
    for (size_t i = 0; i < cab.entries.size(); i++) {
        const CabEntry& ce = cab.entries[i];
        const TEntry& te = t.main.entries[i];
        ASSERT_EQ(ce.key, te.key) << i;
        ASSERT_EQ((int)ce.index, te.index) << i;
        ASSERT_EQ((int)ce.type, te.type) << i;
        ASSERT_EQ((uint32_t)ce.patient, te.patient) << i;
        if (te.kind != 'D') continue;
        EXPECT_EQ(std::string(ce.text), te.author) << i;
        EXPECT_EQ(ce.stamp, te.stamp) << i;
        buf.resize(ce.bodyLength + 1);
        long n = CabReadText(&cab, &ce, buf.data());
        if (te.text.empty() && n < 0) continue;
        ASSERT_GE(n, 0) << i;
        EXPECT_TRUE(std::string(buf.data(), (size_t)n) == te.text) << "body of key " << te.key << " differs";
    }
    CabFree(&cab);
}
