// The form catalogue: built-in table, list-file parsing, one-step publication.
#include "catalogue/form_catalogue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

// Parsed catalogues are released at the end of each test (the program itself never releases one).
struct Parsed {
    std::vector<FormCatalogueData*> all;
    ~Parsed() {
        for (FormCatalogueData* c : all)
            ReleaseFormCatalogue(c);
    }
    FormCatalogueData* operator()(const std::string& text) {
        all.push_back(ParseFormList(text.data(), text.size()));
        return all.back();
    }
};

TEST(FormCatalogue, BuiltInTableIsByteExact) {
    const FormCatalogueData* c = BuiltinFormCatalogue();
    ASSERT_EQ(c->count, 24);
    EXPECT_STREQ(c->entries[0].label, "Protocole d'Examen Sp\xe9"
                                      "cial");
    EXPECT_STREQ(c->entries[0].formId, "VELARINE_11626");
    EXPECT_STREQ(c->entries[7].label, "Avis d'arr\xeat de travail 2008");
    EXPECT_STREQ(c->entries[10].label, "Cure thermale "); // the trailing space belongs to it
    EXPECT_STREQ(c->entries[15].label, "D\xe9marche de soins infirmiers");
    EXPECT_STREQ(c->entries[16].label, "Cotorep");
    EXPECT_STREQ(c->entries[17].formId, "11327*01");
    EXPECT_STREQ(c->entries[23].formId, "pharmacovigilance_form");
    EXPECT_EQ(FormCatalogue(), c);
}

TEST(FormCatalogue, LookupByIdFindsTheFirstEntry) {
    const FormCatalogueData* c = BuiltinFormCatalogue();
    const FormEntry* e = FindFormById(c, "cotorep_form");
    ASSERT_NE(e, nullptr);
    EXPECT_STREQ(e->label, "D\xe9marche de soins infirmiers");
    EXPECT_EQ(FindFormById(c, "COTOREP_FORM"), nullptr); // byte comparison, case-sensitive
    EXPECT_EQ(FindFormById(c, "cotorep_for"), nullptr);
    EXPECT_EQ(FindFormById(c, nullptr), nullptr);
}

TEST(FormListParser, PairsOfLabelAndIdLines) {
    Parsed Parse;
    FormCatalogueData* c = Parse("Premier\r\nID_1\r\nSecond \xe9t\xe9\r\nID_2,ignored,too\r\n");
    ASSERT_NE(c, nullptr);
    ASSERT_EQ(c->count, 2);
    EXPECT_STREQ(c->entries[0].label, "Premier");
    EXPECT_STREQ(c->entries[0].formId, "ID_1");
    EXPECT_STREQ(c->entries[1].label, "Second \xe9t\xe9");
    EXPECT_STREQ(c->entries[1].formId, "ID_2");
}

TEST(FormListParser, EdgeCasesOfTheLineRules) {
    Parsed Parse;
    // No CR at all: one entry, the whole file as label, an empty id.
    FormCatalogueData* c = Parse("one\nline\nonly");
    ASSERT_EQ(c->count, 1);
    EXPECT_STREQ(c->entries[0].label, "one\nline\nonly");
    EXPECT_STREQ(c->entries[0].formId, "");
    // A leading blank line: an empty label, the first real line as id.
    c = Parse("\r\nVELARINE_11626,x\r\nNext\r\nN1\r\n");
    ASSERT_EQ(c->count, 2);
    EXPECT_STREQ(c->entries[0].label, "");
    EXPECT_STREQ(c->entries[0].formId, "VELARINE_11626");
    EXPECT_STREQ(c->entries[1].label, "Next");
    // A label at the end without an id line.
    c = Parse("A\r\nIA\r\nLast label");
    ASSERT_EQ(c->count, 2);
    EXPECT_STREQ(c->entries[1].label, "Last label");
    EXPECT_STREQ(c->entries[1].formId, "");
    // Blank lines between entries are skipped.
    c = Parse("A\r\n\r\n\r\nIA\r\n\r\n\n\rB\r\nIB");
    ASSERT_EQ(c->count, 2);
    EXPECT_STREQ(c->entries[0].formId, "IA");
    EXPECT_STREQ(c->entries[1].label, "B");
    EXPECT_STREQ(c->entries[1].formId, "IB");
    // An empty file gives an empty catalogue.
    c = Parse("");
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->count, 0);
}

TEST(FormListParser, ZeroByteEndsTheTextAndNothingIsReadBeyondSize) {
    Parsed Parse;
    std::string text("Lab\r\nID\0hidden\r\nMore\r\nX", 24);
    FormCatalogueData* c = Parse(text);
    ASSERT_EQ(c->count, 1);
    EXPECT_STREQ(c->entries[0].formId, "ID");
    // An unterminated buffer: the parser stops at size (ASan would catch a read past it).
    char* raw = new char[6];
    memcpy(raw, "L\r\nIDX", 6);
    c = ParseFormList(raw, 6);
    Parse.all.push_back(c);
    ASSERT_EQ(c->count, 1);
    EXPECT_STREQ(c->entries[0].formId, "IDX");
    delete[] raw;
}

TEST(FormListParser, KeepsTheFirstThousandEntries) {
    Parsed Parse;
    std::string text;
    for (int i = 0; i < 1200; i++)
        text += "Label " + std::to_string(i) + "\r\nID" + std::to_string(i) + "\r\n";
    FormCatalogueData* c = Parse(text);
    ASSERT_EQ(c->count, FORM_CATALOGUE_MAX);
    EXPECT_STREQ(c->entries[999].label, "Label 999");
    EXPECT_STREQ(c->entries[999].formId, "ID999");
}

TEST(FormCatalogue, ReadersNeverSeeAHalfBuiltCatalogue) {
    Parsed Parse;
    // A reader on another thread sees either the old or the new catalogue, each consistent.
    std::atomic<bool> stop{false};
    std::atomic<int> bad{0};
    std::thread reader([&] {
        while (!stop.load()) {
            const FormCatalogueData* c = FormCatalogue();
            for (int i = 0; i < c->count; i++) {
                if (c->entries[i].label == nullptr || c->entries[i].formId == nullptr) bad++;
            }
        }
    });
    for (int round = 0; round < 200; round++) {
        std::string text;
        for (int i = 0; i <= round % 7; i++)
            text += "L\r\nI\r\n";
        PublishFormCatalogue(Parse(text));
    }
    stop = true;
    reader.join();
    EXPECT_EQ(bad.load(), 0);
    EXPECT_EQ(FormCatalogue()->count, 199 % 7 + 1);
    PublishFormCatalogue(BuiltinFormCatalogue());
    EXPECT_EQ(FormCatalogue()->count, 24); // the parsed ones are released only after this
}

} // namespace
