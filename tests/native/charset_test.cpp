// The program's texts are Windows-1252 bytes: the sources are UTF-8 and the compiler is told to turn
// every literal into 1252. If the build ever loses that setting, every accented text the program
// shows, writes or compares (column titles, status texts, exported files) changes silently; these
// tests catch it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::string Bytes(const char* s) {
    return std::string(s);
}

TEST(Charset, AccentedLiteralsAreSingleWindows1252Bytes) {
    EXPECT_EQ(Bytes("Première occurence"), std::string("Premi\xe8re occurence"));
    EXPECT_EQ(Bytes("Dernière occurence"), std::string("Derni\xe8re occurence"));
    EXPECT_EQ(Bytes("Médecin"), std::string("M\xe9"
                                            "decin"));
    EXPECT_EQ(Bytes("Régime"), std::string("R\xe9gime"));
    EXPECT_EQ(Bytes("Texte à rechercher"), std::string("Texte \xe0 rechercher"));
    EXPECT_EQ(Bytes("N° dossier"), std::string("N\xb0 dossier"));
    EXPECT_EQ(Bytes("La recherche doit être terminée pour visualiser les éléments"),
              std::string("La recherche doit \xeatre termin\xe9"
                          "e pour visualiser les \xe9l\xe9ments"));
}

TEST(Charset, OneCharacterIsOneByte) {
    EXPECT_EQ(std::strlen("Médecin"), 7u);
    EXPECT_EQ(std::strlen("Première occurence"), 18u);
    EXPECT_EQ(std::strlen("ÀÉÈÊËÎÏÔÙÛÜÇàéèêëîïôùûüç"), 24u);
}

TEST(Charset, UpperAndLowerAccentedLettersKeepTheirCodes) {
    const unsigned char* s = reinterpret_cast<const unsigned char*>("ÉéÈèÇçŒœ€");
    EXPECT_EQ(s[0], 0xC9);
    EXPECT_EQ(s[1], 0xE9);
    EXPECT_EQ(s[2], 0xC8);
    EXPECT_EQ(s[3], 0xE8);
    EXPECT_EQ(s[4], 0xC7);
    EXPECT_EQ(s[5], 0xE7);
    EXPECT_EQ(s[6], 0x8C); // the 1252-only letters, which ISO 8859-1 lacks
    EXPECT_EQ(s[7], 0x9C);
    EXPECT_EQ(s[8], 0x80);
    EXPECT_EQ(s[9], 0x00);
}

} // namespace
