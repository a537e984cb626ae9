/* Cabinet tree writer: patients, index entries, documents, the pass table and the scheme file.
 *
 * A cabinet is planned patient by patient and written as it goes, through one big buffer, so that
 * even the large cabinet (hundreds of megabytes) needs memory only for its patient table. The
 * plan: unique patient numbers (a dense run from 1 upwards, as a practice numbers its files, plus
 * numbers spread up to the highest one the program can hold), a heavy-tailed number of documents per
 * patient (a few patients have none), the document kind and table of each document, dates between
 * the patient's birth (or 1995) and the fixed today, and authors drawn from the patient's own
 * doctors. The main cabinet also holds a handful of fixed patients that exercise the program's edge
 * cases (patient 1 and 1,048,575, a baby, a one-year-old, a patient without birth date, a 20-byte
 * last name, a patient with sixty distinct prescribers, dates across the year 2000).
 *
 * Keys are the images of a running counter under a bijective integer mix, so they are unique within
 * an index, never 0, and in no relation to the key-text order (patient, key) in which the stand-in
 * walks an index. Index 39 and the letter file table use the whole 32-bit range; the prescription
 * file table uses small record-number-like keys.
 *
 * Files are written in the patients' shuffled order; lines end in CR LF; body lines that begin
 * with "." get one more "." in front, and each body ends with a line holding a single ".". */
#include "standin/gen/gencab.h"
#include "standin/gen/gen_internal.h"

#include <filesystem>
#include <stdlib.h>
#include <string.h>
#include <system_error>
#include <vector>

/* ---- name pools ------------------------------------------------------------------------------ */

static const char* const kLastNames[] = {
    "MARTIN",       "BERNARD",  "DUBOIS",    "THOMAS",    "ROBERT",    "RICHARD",   "PETIT",
    "DURAND",       "LEROY",    "MOREAU",    "SIMON",     "LAURENT",   "LEFÈVRE",   "MICHEL",
    "GARCIA",       "DAVID",    "BERTRAND",  "ROUX",      "VINCENT",   "FOURNIER",  "MOREL",
    "GIRARD",       "ANDRÉ",    "MERCIER",   "DUPONT",    "LAMBERT",   "BONNET",    "FRANÇOIS",
    "MARTINEZ",     "LEGRAND",  "GARNIER",   "FAURE",     "ROUSSEAU",  "BLANC",     "GUÉRIN",
    "MÜLLER",       "HENRY",    "ROUSSEL",   "NICOLAS",   "PERRIN",    "MORIN",     "MATHIEU",
    "CLÉMENT",      "GAUTHIER", "DUMONT",    "LOPEZ",     "FONTAINE",  "CHEVALIER", "ROBIN",
    "MASSON",       "SANCHEZ",  "GÉRARD",    "NGUYEN",    "BOYER",     "DENIS",     "LEMAIRE",
    "DUVAL",        "JOLY",     "GAUTIER",   "ROGER",     "ROCHE",     "ROY",       "NOËL",
    "MEYER",        "LUCAS",    "MEUNIER",   "JEAN",      "PEREZ",     "MARCHAND",  "DUFOUR",
    "BLANCHARD",    "MARIE",    "BARBIER",   "BRUN",      "DUMAS",     "BRUNET",    "SCHMITT",
    "LEROUX",       "COLIN",    "FERNANDEZ", "PIERRE",    "RENARD",    "ARNAUD",    "ROLLAND",
    "CARON",        "AUBERT",   "GIRAUD",    "LECLERC",   "VIDAL",     "BOURGEOIS", "RENAUD",
    "LEMOINE",      "PICARD",   "GAILLARD",  "PHILIPPE",  "LECLERCQ",  "LACROIX",   "FABRE",
    "DUPUIS",       "OLIVIER",  "RODRIGUEZ", "DA SILVA",  "HUBERT",    "LOUIS",     "CHARLES",
    "GUILLOT",      "RIVIÈRE",  "LE GALL",   "GUILLAUME", "ADAM",      "REY",       "MOULIN",
    "GONZALEZ",     "BERGER",   "LECOMTE",   "MÉNARD",    "FLEURY",    "DESCHAMPS", "CARPENTIER",
    "JULIEN",       "BENOÎT",   "PARIS",     "MAILLARD",  "MARCHAL",   "AUBRY",     "VASSEUR",
    "LE ROUX",      "RENAULT",  "JACQUET",   "COLLET",    "PRÉVOST",   "POIRIER",   "CHARPENTIER",
    "ROYER",        "HUET",     "BAILLY",    "BRETON",    "D'ALMEIDA", "N'DIAYE",   "DE LA FONTAINE",
    "LEFEBVRE",     "BÉRANGER", "CHÂTELAIN", "CÔTÉ",      "LAÏK",      "DUPRÉ",     "HÉBERT",
    "DESCHÊNES",    "GRÉGOIRE", "ÉTIENNE",   "ÉMERY",     "CŒUR",      "Lefèvre",   "Dupont",
    "van der Berg", "O'CONNOR", "ZÉLINSKI",  "SCHNEIDER", "ŠTEFANIK",  "ŒHMICHEN",
};
static const char* const kFemaleNames[] = {
    "Élodie",   "Hélène",    "Gaëlle",    "Béatrice",      "Marie",       "Nathalie",   "Isabelle",
    "Sylvie",   "Catherine", "Françoise", "Valérie",       "Christine",   "Sophie",     "Céline",
    "Émilie",   "Aurélie",   "Chloé",     "Léa",           "Manon",       "Camille",    "Zoé",
    "Inès",     "Noémie",    "Anaïs",     "Maëlle",        "Agnès",       "Geneviève",  "Thérèse",
    "Jeanne",   "Louise",    "Renée",     "Josée",         "Mégane",      "Cécile",     "Danièle",
    "Joëlle",   "Maïté",     "Mélanie",   "Marie-Thérèse", "Anne-Sophie", "Marie-José", "Éléonore",
    "Bérénice", "Clémence",  "Lætitia",   "Salomé",        "Océane",      "Héloïse",
};
static const char* const kMaleNames[] = {
    "François", "Noël",          "Jean",      "Pierre",         "Michel",    "André",    "Philippe",
    "René",     "Louis",         "Alain",     "Jacques",        "Bernard",   "Éric",     "Stéphane",
    "Frédéric", "Jérôme",        "Sébastien", "Thierry",        "Benoît",    "Hervé",    "Gérard",
    "Raphaël",  "Joël",          "Loïc",      "Gaël",           "Mathéo",    "Léo",      "Hugo",
    "Théo",     "Lucas",         "Clément",   "Jérémy",         "Cédric",    "Grégoire", "Félix",
    "Maël",     "Jean-François", "Jean-Noël", "Pierre-Édouard", "Jean-Loup", "Aimé",     "Anaël",
    "Côme",     "Jérémie",       "Zoël",      "Ange",
};
/* Doctors of the practice: most documents are theirs. */
static const char* const kDoctors[] = {
    "Dr Martin", "Dr Lefèvre", "Dr N'Guyen",       "Dr Béatrice Roux", "Dr Marie-Hélène Ducas",
    "Dr Dupré",  "Dr Noël",    "Dr Gaëlle Hébert",
};
/* Authors from outside the practice: letters from specialists and hospitals. */
static const char* const kOutsideAuthors[] = {
    "Pr Châtelain",     "Dr Müller",  "CHU Pitié-Salpêtrière", "Dr Cœur", "SOS Médecins",
    "Mme Girard (IDE)", "Dr O'Brien", "Dr Zoë Ménard",
};
/* Types of the index-39 entries that carry no text (consultations, results, vaccines...). */
static const int kOtherTypes[] = {1, 2, 3, 3, 4, 5, 8, 9, 10, 12, 12, 15, 20, 20, 21, 25};

/* ---- scheme file ----------------------------------------------------------------------------- */

static const char* const kNationalSchemes[] = {
    "Régime général",                              /* 1 */
    "Régime agricole (MSA)",                       /* 2 */
    "Sécurité sociale des indépendants",           /* 3 */
    "SNCF",                                        /* 4 */
    "RATP",                                        /* 5 */
    "ENIM (marins)",                               /* 6 */
    "Mines (CANSSM)",                              /* 7 */
    "Militaires (CNMSS)",                          /* 8 */
    "Banque de France",                            /* 9 */
    "Clercs et employés de notaire",               /* 10 */
    "Chambre de commerce de Paris",                /* 11 */
    "Assemblée nationale",                         /* 12 */
    "Sénat",                                       /* 13 */
    "Port autonome de Bordeaux",                   /* 14 */
    "CAMIEG (industries électriques et gazières)", /* 15 */
    "Comédie-Française",                           /* 16 */
    "Opéra national de Paris",                     /* 17 */
    "CAVIMAC (cultes)",                            /* 18 */
    "Fonction publique d'État",                    /* 19 */
    "MGEN",                                        /* 20 */
    "Mutuelle générale de la police",              /* 21 */
    "Mutualité fonction publique",                 /* 22 */
    "Mutuelle des étudiants",                      /* 23 */
    "Régime local Alsace-Moselle",                 /* 24 */
    "Caisse des Français de l'étranger",           /* 25 */
    "Aide médicale de l'État",                     /* 26 */
    "Complémentaire santé solidaire",              /* 27 */
    "Régime minier – Lorraine",                    /* 28 */
    "Marine marchande – pensionnés",               /* 29 */
    "Œuvre des orphelins d'Auteuil",               /* 30 */
};
static const char* const kDepartments[] = {
    "de l'Ain",
    "de l'Aisne",
    "de l'Allier",
    "des Alpes-de-Haute-Provence",
    "des Hautes-Alpes",
    "des Alpes-Maritimes",
    "de l'Ardèche",
    "des Ardennes",
    "de l'Ariège",
    "de l'Aube",
    "de l'Aude",
    "de l'Aveyron",
    "des Bouches-du-Rhône",
    "du Calvados",
    "du Cantal",
    "de la Charente",
    "de la Charente-Maritime",
    "du Cher",
    "de la Corrèze",
    "de la Corse-du-Sud",
    "de la Haute-Corse",
    "de la Côte-d'Or",
    "des Côtes-d'Armor",
    "de la Creuse",
    "de la Dordogne",
    "du Doubs",
    "de la Drôme",
    "de l'Eure",
    "d'Eure-et-Loir",
    "du Finistère",
    "du Gard",
    "de la Haute-Garonne",
    "du Gers",
    "de la Gironde",
    "de l'Hérault",
    "d'Ille-et-Vilaine",
    "de l'Indre",
    "d'Indre-et-Loire",
    "de l'Isère",
    "du Jura",
    "des Landes",
    "de Loir-et-Cher",
    "de la Loire",
    "de la Haute-Loire",
    "de la Loire-Atlantique",
    "du Loiret",
    "du Lot",
    "de Lot-et-Garonne",
    "de la Lozère",
    "de Maine-et-Loire",
    "de la Manche",
    "de la Marne",
    "de la Haute-Marne",
    "de la Mayenne",
    "de Meurthe-et-Moselle",
    "de la Meuse",
    "du Morbihan",
    "de la Moselle",
    "de la Nièvre",
    "du Nord",
    "de l'Oise",
    "de l'Orne",
    "du Pas-de-Calais",
    "du Puy-de-Dôme",
    "des Pyrénées-Atlantiques",
    "des Hautes-Pyrénées",
    "des Pyrénées-Orientales",
    "du Bas-Rhin",
    "du Haut-Rhin",
    "du Rhône",
    "de la Haute-Saône",
    "de Saône-et-Loire",
    "de la Sarthe",
    "de la Savoie",
    "de la Haute-Savoie",
    "de Paris",
    "de la Seine-Maritime",
    "de Seine-et-Marne",
    "des Yvelines",
    "des Deux-Sèvres",
    "de la Somme",
    "du Tarn",
    "de Tarn-et-Garonne",
    "du Var",
    "de Vaucluse",
    "de la Vendée",
    "de la Vienne",
    "de la Haute-Vienne",
    "des Vosges",
    "de l'Yonne",
};

/* Codes whose line lacks the ";" after the name: the program must show no scheme for them. */
enum { SCHEME_NO_SEMICOLON_A = 47, SCHEME_NO_SEMICOLON_B = 113, SCHEME_COUNT = 120 };

static void PutSchemeName(Buf* b, int code) {
    int national = (int)(sizeof kNationalSchemes / sizeof kNationalSchemes[0]);
    if (code <= national) {
        BufPut(b, kNationalSchemes[code - 1]);
    } else {
        BufPut(b, "CPAM ");
        BufPut(b, kDepartments[(code - national - 1) % (int)(sizeof kDepartments / sizeof kDepartments[0])]);
    }
}

/* The scheme of key n: key n holds code n, except keys 91..100, which hold the codes in reverse, so
 * that a lookup has to compare codes rather than count keys. */
static int SchemeCodeOfKey(int key) {
    return key >= 91 && key <= 100 ? 191 - key : key;
}

static void WriteSchemeFile(Buf* b) {
    BufPut(b, "; Caisses et régimes d'assurance maladie\r\n");
    BufPut(b, "[Général]\r\nVersion=5.51\r\nMiseAJour=01/09/2026\r\n\r\n");
    BufPut(b, "[Régimes]\r\n");
    for (int key = 1; key <= SCHEME_COUNT; key++) {
        int code = SchemeCodeOfKey(key);
        BufPutU(b, (uint64_t)key);
        BufPutC(b, '=');
        /* Codes below 10 with two digits, a few others with a leading zero. */
        BufPutUW(b, (uint64_t)code, code < 10 ? 2 : (code % 17 == 0 ? 3 : 1));
        BufPutC(b, ';');
        PutSchemeName(b, code);
        if (code != SCHEME_NO_SEMICOLON_A && code != SCHEME_NO_SEMICOLON_B) {
            BufPutC(b, ';');
            BufPut(b, code <= 30 ? "national;" : "CPAM;");
            BufPutUW(b, (uint64_t)(100 + code * 7), 3);
            BufPut(b, ";");
        }
        BufCrLf(b);
    }
    BufPut(b, "\r\n[Mutuelles]\r\n1=Harmonie Mutuelle;75;\r\n2=MAAF Santé;79;\r\n");
}

/* ---- keys ------------------------------------------------------------------------------------ */

static uint32_t Mix32(uint32_t x) {
    x ^= x >> 16;
    x *= 0x7FEB352Du;
    x ^= x >> 15;
    x *= 0x846CA68Bu;
    x ^= x >> 16;
    return x;
}

/* A bijection of the k-bit numbers that keeps 0 at 0. */
static uint32_t MixBits(uint32_t x, int bits, uint32_t odd) {
    uint32_t mask = bits >= 32 ? 0xFFFFFFFFu : ((1u << bits) - 1u);
    x = (x * odd) & mask;
    x ^= x >> ((bits + 1) / 2);
    x = (x * 0x2C1B3C6Du) & mask;
    x ^= x >> (bits / 3 + 1);
    x = (x * 0x297A2D39u) & mask;
    return x;
}

typedef struct KeySource {
    uint32_t counter; /* keys handed out so far */
    uint32_t odd;     /* odd multiplier from the seed */
    int bits;         /* 32: whole range; fewer: record-number-like keys */
} KeySource;

static uint32_t NextKey(KeySource* k) {
    uint32_t n = ++k->counter;
    if (k->bits >= 32) return Mix32(n * k->odd);
    return MixBits(n, k->bits, k->odd);
}

/* ---- plan ------------------------------------------------------------------------------------ */

enum Role {
    ROLE_NONE,
    ROLE_FIRST,    /* patient 1 */
    ROLE_TOP,      /* patient 1,048,575 */
    ROLE_BABY,     /* five months old */
    ROLE_ONE_YEAR, /* one year and three months */
    ROLE_45,       /* 45 years 11 months, social-security number with spaces */
    ROLE_LONG,     /* longest names */
    ROLE_NO_BIRTH, /* no birth date, no social-security number */
    ROLE_AUTHORS,  /* sixty Zelmorin prescriptions by sixty authors, dates across 2000 */
    ROLE_NO_DOCS,  /* no documents at all */
    ROLE_OLD,      /* 105 years */
    ROLE_COUNT
};
enum { AUTHORS_PATIENT_DOCS = 60 };

typedef struct Patient {
    uint32_t number;
    const char* last;
    const char* first;
    int female;
    GenDate birth; /* year 0: unknown */
    char ss[40];
    int sesam;      /* bit 0: S entry, bit 1: X entry */
    int scheme;     /* scheme code of the S and X entries */
    int schemeX;    /* code of the X entry (nearly always the same) */
    int doctors[3]; /* indexes in kDoctors */
    int doctorCount;
    int docs;    /* D lines */
    int entries; /* E lines */
    int role;
} Patient;

typedef struct CabinetPlan {
    const char* dir;
    const char* pass; /* "" writes no PASS line */
    const char* name;
    int patients;
    int documents;
    int edgeCases; /* 1 for the main cabinet */
    uint64_t seed;
    uint64_t stream;
} CabinetPlan;

static const GenDate kToday = {GEN_TODAY_YEAR, GEN_TODAY_MONTH, GEN_TODAY_DAY};

static GenDate DateOf(int y, int m, int d) {
    GenDate g = {y, m, d};
    return g;
}

static GenDate RandomDateBetween(Rng* rng, GenDate from, GenDate to) {
    long a = DaysFromCivil(from), b = DaysFromCivil(to);
    if (b < a) b = a;
    return CivilFromDays(a + (long)RngBelow(rng, (uint32_t)(b - a + 1)));
}

static GenDate RandomBirth(Rng* rng) {
    uint32_t r = RngBelow(rng, 1000);
    long today = DaysFromCivil(kToday);
    if (r < 20) return DateOf(0, 0, 0);
    if (r < 50) return CivilFromDays(today - (long)RngBelow(rng, 365));             /* under one year */
    if (r < 70) return CivilFromDays(today - 365 - (long)RngBelow(rng, 365));       /* one year */
    if (r < 250) return CivilFromDays(today - 730 - (long)RngBelow(rng, 16 * 365)); /* child */
    if (r < 820) return RandomDateBetween(rng, DateOf(1955, 1, 1), DateOf(2008, 12, 31));
    return RandomDateBetween(rng, DateOf(1921, 1, 1), DateOf(1955, 1, 1)); /* elderly */
}

static void PutDigits(char* out, int* n, int value, int width) {
    char tmp[12];
    int k = 0;
    do {
        tmp[k++] = (char)('0' + value % 10);
        value /= 10;
    } while (value && k < width);
    while (k < width)
        tmp[k++] = '0';
    while (k)
        out[(*n)++] = tmp[--k];
}

/* A French social-security number (sex, year, month, department, commune, order, key) typed in
 * one of the ways users type it. */
static void MakeSocialSecurity(Rng* rng, Patient* p) {
    uint32_t style = RngBelow(rng, 100);
    if (style < 5) {
        p->ss[0] = 0;
        return;
    }
    char digits[16];
    int n = 0;
    digits[n++] = p->female ? '2' : '1';
    PutDigits(digits, &n, p->birth.year ? p->birth.year % 100 : (int)RngBelow(rng, 100), 2);
    PutDigits(digits, &n, p->birth.year ? p->birth.month : RngRange(rng, 1, 12), 2);
    uint32_t dep = RngBelow(rng, 100);
    if (dep < 3) {
        digits[n++] = '2';
        digits[n++] = dep < 2 ? 'A' : 'B';
    } else if (dep < 8) {
        PutDigits(digits, &n, 99, 2); /* born abroad */
    } else {
        PutDigits(digits, &n, RngRange(rng, 1, 95), 2);
    }
    PutDigits(digits, &n, RngRange(rng, 1, 999), 3);
    PutDigits(digits, &n, RngRange(rng, 1, 999), 3);
    /* Key: 97 minus the number modulo 97 (Corsica's 2A / 2B count as 19 / 18). */
    uint64_t v = 0;
    for (int i = 0; i < 13; i++) {
        char ch = digits[i];
        if (ch == 'A' || ch == 'B')
            v = v * 10 - (uint64_t)(ch == 'A' ? 1 : 2); /* "2A" counts as 19, "2B" as 18 */
        else
            v = v * 10 + (uint64_t)(ch - '0');
    }
    PutDigits(digits, &n, (int)(97 - v % 97), 2);
    /* Groups: 1 2 2 2 3 3 2. */
    static const int groups[] = {1, 2, 2, 2, 3, 3, 2};
    char sep = 0;
    if (style < 55)
        sep = ' ';
    else if (style < 62)
        sep = '.';
    else if (style < 69)
        sep = '-';
    int o = 0, d = 0;
    if (style >= 69 && style < 75) {
        memcpy(p->ss, digits, 13);
        p->ss[13] = ' ';
        memcpy(p->ss + 14, digits + 13, 2);
        p->ss[16] = 0;
        return;
    }
    for (int g = 0; g < 7; g++) {
        if (g && sep) p->ss[o++] = sep;
        for (int i = 0; i < groups[g]; i++)
            p->ss[o++] = digits[d++];
    }
    p->ss[o] = 0;
}

static int RandomScheme(Rng* rng) {
    uint32_t r = RngBelow(rng, 1000);
    if (r < 700) return 1;
    if (r < 780) return 2;
    if (r < 830) return 3;
    if (r < 880) return RngRange(rng, 4, 12);
    if (r < 970) return RngRange(rng, 13, SCHEME_COUNT);
    if (r < 985) return r & 1 ? SCHEME_NO_SEMICOLON_A : SCHEME_NO_SEMICOLON_B;
    static const int unknown[] = {0, 121, 999};
    return RNG_PICK(rng, unknown);
}

static void PlainPatient(Rng* rng, Patient* p) {
    p->female = (int)RngBelow(rng, 2);
    p->last = RNG_PICK(rng, kLastNames);
    p->first = p->female ? RNG_PICK(rng, kFemaleNames) : RNG_PICK(rng, kMaleNames);
    if (RngChance(rng, 3)) p->first = ""; /* first name not entered */
    p->birth = RandomBirth(rng);
    MakeSocialSecurity(rng, p);
    uint32_t s = RngBelow(rng, 100);
    p->sesam = s < 85 ? 3 : s < 90 ? 1 : s < 95 ? 2 : 0;
    p->scheme = RandomScheme(rng);
    p->schemeX = RngChance(rng, 20) ? RandomScheme(rng) : p->scheme;
    p->doctorCount = RngRange(rng, 1, 3);
    int doctorCount = (int)(sizeof kDoctors / sizeof kDoctors[0]);
    for (int i = 0; i < p->doctorCount; i++)
        p->doctors[i] = (int)RngBelow(rng, (uint32_t)doctorCount);
}

/* Fixed patients of the main cabinet; the number, when not 0, replaces the random one. */
static void EdgePatient(Rng* rng, Patient* p, int role) {
    p->role = role;
    switch (role) {
    case ROLE_FIRST:
        p->last = "DUPONT";
        p->first = "Élodie";
        p->female = 1;
        p->birth = DateOf(1961, 3, 12);
        memcpy(p->ss, "2 61 03 75 123 456 78", 22);
        p->scheme = p->schemeX = 1;
        p->sesam = 3;
        break;
    case ROLE_TOP:
        p->last = "LEFÈVRE";
        p->first = "François";
        p->female = 0;
        break;
    case ROLE_BABY:
        p->last = "MÜLLER";
        p->first = "Noël";
        p->female = 0;
        p->birth = DateOf(2026, 7, 8);
        break;
    case ROLE_ONE_YEAR:
        p->last = "N'DIAYE";
        p->first = "Gaëlle";
        p->female = 1;
        p->birth = DateOf(2025, 9, 8);
        break;
    case ROLE_45:
        p->last = "BÉRANGER";
        p->first = "Hélène";
        p->female = 1;
        p->birth = DateOf(1980, 12, 20);
        memcpy(p->ss, "1 23 45 67 890 123 45", 22);
        break;
    case ROLE_LONG:
        p->last = "DUPONT-AIGNAN-LEROUX";                         /* 20 bytes */
        p->first = "Marie-Élisabeth Geneviève Françoise Eugénie"; /* 43 bytes */
        p->female = 1;
        break;
    case ROLE_NO_BIRTH:
        p->last = "ÉTIENNE";
        p->first = "Béatrice";
        p->female = 1;
        p->birth = DateOf(0, 0, 0);
        p->ss[0] = 0;
        break;
    case ROLE_AUTHORS:
        p->last = "GARNIER";
        p->first = "Jean-Noël";
        p->female = 0;
        p->birth = DateOf(1948, 2, 29);
        p->scheme = p->schemeX = 2;
        p->sesam = 3;
        break;
    case ROLE_NO_DOCS:
        p->last = "CŒUR";
        p->first = "Thérèse";
        p->female = 1;
        break;
    case ROLE_OLD:
        p->last = "ROUSSEAU";
        p->first = "Anaïs";
        p->female = 1;
        p->birth = DateOf(1921, 1, 2);
        break;
    default:
        break;
    }
    /* The number typed must agree with the fixed sex and birth date. */
    if (role != ROLE_FIRST && role != ROLE_45 && role != ROLE_NO_BIRTH) MakeSocialSecurity(rng, p);
}

/* Chooses count distinct patient numbers: about 60% in a dense run from 1 up, the rest spread over
 * the whole range; 1 and the top number are always among them (from two patients on). */
static void ChooseNumbers(Rng* rng, std::vector<Patient>& patients) {
    size_t count = patients.size();
    std::vector<uint8_t> used((size_t)GEN_MAX_PATIENT + 1, 0);
    size_t i = 0;
    if (count >= 1) {
        patients[i++].number = 1;
        used[1] = 1;
    }
    if (count >= 2) {
        patients[i++].number = GEN_MAX_PATIENT;
        used[GEN_MAX_PATIENT] = 1;
    }
    uint32_t dense = (uint32_t)(count * 2 < 1000 ? 1000 : count * 2);
    if (dense > GEN_MAX_PATIENT - 1) dense = GEN_MAX_PATIENT - 1;
    while (i < count) {
        uint32_t n = RngChance(rng, 600) ? 1 + RngBelow(rng, dense) : 1 + RngBelow(rng, GEN_MAX_PATIENT);
        if (used[n]) continue;
        used[n] = 1;
        patients[i++].number = n;
    }
}

/* ---- writing --------------------------------------------------------------------------------- */

static void PutBody(Buf* out, const Buf* body) {
    const char* p = body->data;
    const char* end = p + body->len;
    if (p == end) return;
    BufReserve(out, body->len + body->len / 64 + 8);
    int lineStart = 1;
    while (p < end) {
        if (lineStart && *p == '.') BufPutC(out, '.');
        const char* nl = (const char*)memchr(p, '\n', (size_t)(end - p));
        const char* stop = nl ? nl + 1 : end;
        BufPutN(out, p, (size_t)(stop - p));
        lineStart = nl != NULL;
        p = stop;
    }
    BufCrLf(out);
}

typedef struct Writer {
    Rng rng;
    Buf out;
    Buf body;
    KeySource key39, key282, key284;
    int formsIssued;
    GenStats* stats;
} Writer;

static GenDate DocumentDate(Rng* rng, const Patient* p) {
    uint32_t r = RngBelow(rng, 1000);
    GenDate from = DateOf(1995, 1, 1);
    int born1999 = !p->birth.year || DaysFromCivil(p->birth) <= DaysFromCivil(DateOf(1999, 12, 31));
    if (r < 10) return DateOf(0, 0, 0);
    if (r < 12 && born1999) return DateOf(1999, 12, 31);
    if (r < 14 && born1999) return DateOf(2000, 1, 1);
    if (p->birth.year && DaysFromCivil(p->birth) > DaysFromCivil(from)) from = p->birth;
    /* Recent years are busier: half of the documents fall in the last eight years. */
    if (RngChance(rng, 500) && DaysFromCivil(from) < DaysFromCivil(DateOf(2019, 1, 1)))
        from = DateOf(2019, 1, 1);
    return RandomDateBetween(rng, from, kToday);
}

static void PutDLine(Buf* out, int index, uint32_t key, int type, uint32_t patient, GenDate date,
                     uint32_t stamp, const char* author) {
    BufPut(out, "D ");
    BufPutU(out, (uint64_t)index);
    BufPutC(out, '|');
    BufPutU(out, key);
    BufPutC(out, '|');
    BufPutU(out, (uint64_t)type);
    BufPutC(out, '|');
    BufPutU(out, patient);
    BufPutC(out, '|');
    BufPutDate(out, date);
    BufPutC(out, '|');
    BufPutHex(out, stamp);
    BufPutC(out, '|');
    BufPut(out, author);
    BufCrLf(out);
}

static void WriteDocument(Writer* w, const Patient* p, int forcedIndex) {
    Rng* rng = &w->rng;
    GenDocInfo doc;
    memset(&doc, 0, sizeof doc);
    doc.formIndex = -1;
    uint32_t r = RngBelow(rng, 1000);
    if (r < 550)
        doc.kind = GEN_KIND_PRESCRIPTION;
    else if (r < 945)
        doc.kind = GEN_KIND_LETTER;
    else
        doc.kind = GEN_KIND_FORM;
    int inFile = RngChance(rng, 250);
    int index = inFile ? (doc.kind == GEN_KIND_PRESCRIPTION ? 282 : 284) : 39;
    int type = doc.kind == GEN_KIND_PRESCRIPTION ? 7 : 6;
    if (inFile && RngChance(rng, 15)) {
        /* A document of another type filed among prescriptions or letters. */
        static const int odd[] = {3, 12, 20, 0};
        type = RNG_PICK(rng, odd);
        if (type == 0) {
            type = index == 282 ? 6 : 7;
            doc.kind = type == 7 ? GEN_KIND_PRESCRIPTION : GEN_KIND_LETTER;
        } else {
            doc.kind = GEN_KIND_NOTE;
        }
    }
    doc.date = DocumentDate(rng, p);
    if (doc.kind == GEN_KIND_FORM && w->formsIssued < GenFormCount) doc.formIndex = w->formsIssued;
    if (doc.kind == GEN_KIND_FORM) w->formsIssued++;
    doc.zelmorin = doc.kind == GEN_KIND_PRESCRIPTION ? RngChance(rng, 60)
                   : doc.kind == GEN_KIND_LETTER     ? RngChance(rng, 15)
                   : doc.kind == GEN_KIND_FORM       ? RngChance(rng, 10)
                                                     : 0;
    if (RngChance(rng, 2))
        doc.author = "";
    else if (doc.kind == GEN_KIND_LETTER && RngChance(rng, 250))
        doc.author = RNG_PICK(rng, kOutsideAuthors);
    else
        doc.author = kDoctors[p->doctors[RngBelow(rng, (uint32_t)p->doctorCount)]];

    char author[24];
    if (forcedIndex >= 0) {
        /* The patient of the sixty prescribers. */
        doc.kind = GEN_KIND_PRESCRIPTION;
        type = 7;
        index = forcedIndex % 5 == 4 ? 282 : 39;
        doc.zelmorin = 1;
        memcpy(author, "Dr Remplaçant ", 14);
        author[14] = (char)('0' + (forcedIndex + 1) / 10);
        author[15] = (char)('0' + (forcedIndex + 1) % 10);
        author[16] = 0;
        doc.author = author;
        if (forcedIndex == 0) doc.date = DateOf(1999, 12, 31);
        if (forcedIndex == 1) doc.date = DateOf(2000, 1, 1);
        if (forcedIndex == 2) doc.date = DateOf(0, 0, 0);
        if (forcedIndex > 2 && !doc.date.year) doc.date = DateOf(2010, 6, 15);
    }

    uint32_t stamp = doc.kind == GEN_KIND_FORM ? (uint32_t)RngNext(rng) | 1u
                     : RngChance(rng, 300)     ? 0
                                               : (uint32_t)RngNext(rng);
    uint32_t key = index == 39    ? NextKey(&w->key39)
                   : index == 282 ? NextKey(&w->key282)
                                  : NextKey(&w->key284);

    GenPatientInfo info;
    info.last = p->last;
    info.first = p->first;
    info.female = p->female;
    info.birth = p->birth;
    info.ss = p->ss;
    w->body.len = 0;
    GenDocumentBody(rng, &info, &doc, &w->body);

    PutDLine(&w->out, index, key, type, p->number, doc.date, stamp, doc.author);
    PutBody(&w->out, &w->body);
    BufPut(&w->out, ".\r\n");
    w->stats->documents++;
    BufFlushIfFull(&w->out);
}

static void PutSchemeText(Rng* rng, Buf* out, int code) {
    uint32_t r = RngBelow(rng, 10);
    if (code < 10 && code > 0)
        BufPutUW(out, (uint64_t)code, r < 7 ? 2 : r < 9 ? 1 : 3);
    else
        BufPutUW(out, (uint64_t)code, r == 0 ? 3 : 1);
}

static void WritePatient(Writer* w, const Patient* p) {
    Rng* rng = &w->rng;
    Buf* out = &w->out;
    if (RngChance(rng, 20)) BufCrLf(out);
    if (RngChance(rng, 5)) {
        BufPut(out, "# dossier ");
        BufPutU(out, p->number);
        BufCrLf(out);
    }
    BufPut(out, "P ");
    BufPutU(out, p->number);
    BufPutC(out, '|');
    BufPut(out, p->last);
    BufPutC(out, '|');
    BufPut(out, p->first);
    BufPutC(out, '|');
    BufPutDate(out, p->birth);
    BufPutC(out, '|');
    BufPut(out, p->ss);
    BufCrLf(out);
    w->stats->patients++;
    if (p->sesam & 1) {
        BufPut(out, "S ");
        BufPutU(out, NextKey(&w->key39));
        BufPutC(out, '|');
        BufPutU(out, p->number);
        BufPutC(out, '|');
        PutSchemeText(rng, out, p->scheme);
        BufCrLf(out);
        w->stats->entries++;
    }
    if (p->sesam & 2) {
        BufPut(out, "X ");
        BufPutU(out, NextKey(&w->key39));
        BufPutC(out, '|');
        BufPutU(out, p->number);
        BufPutC(out, '|');
        BufPutU(out, (uint64_t)p->schemeX);
        BufCrLf(out);
        w->stats->entries++;
    }
    int docs = p->docs, entries = p->entries, forced = p->role == ROLE_AUTHORS ? AUTHORS_PATIENT_DOCS : 0;
    if (forced > docs) forced = docs;
    int forcedDone = 0;
    while (docs + entries > 0) {
        if (RngBelow(rng, (uint32_t)(docs + entries)) < (uint32_t)entries) {
            static const int typesCount = (int)(sizeof kOtherTypes / sizeof kOtherTypes[0]);
            BufPut(out, "E ");
            BufPutU(out, NextKey(&w->key39));
            BufPutC(out, '|');
            BufPutU(out, p->number);
            BufPutC(out, '|');
            BufPutU(out, (uint64_t)kOtherTypes[RngBelow(rng, (uint32_t)typesCount)]);
            BufCrLf(out);
            w->stats->entries++;
            entries--;
        } else {
            WriteDocument(w, p, forcedDone < forced ? forcedDone : -1);
            if (forcedDone < forced) forcedDone++;
            docs--;
        }
    }
}

static int BitLength(uint64_t v) {
    int n = 0;
    while (v) {
        n++;
        v >>= 1;
    }
    return n;
}

static int WriteFile(const std::filesystem::path& path, Buf* b, GenStats* stats, char* error,
                     size_t errorSize) {
    FILE* f = fopen(path.string().c_str(), "wb");
    if (!f) {
        snprintf(error, errorSize, "cannot create %s", path.string().c_str());
        return 0;
    }
    b->file = f;
    BufFlush(b);
    int ok = !b->failed;
    if (fclose(f) != 0) ok = 0;
    b->file = NULL;
    stats->bytes += b->written;
    if (!ok) snprintf(error, errorSize, "cannot write %s", path.string().c_str());
    return ok;
}

static int WriteCabinet(const std::filesystem::path& cabinetsDir, const CabinetPlan* plan, GenStats* stats,
                        char* error, size_t errorSize) {
    std::error_code ec;
    std::filesystem::path dir = cabinetsDir / plan->dir;
    std::filesystem::create_directories(dir, ec);
    if (ec) {
        snprintf(error, errorSize, "cannot create %s", dir.string().c_str());
        return 0;
    }
    std::filesystem::path path = dir / "cabinet.txt";
    FILE* f = fopen(path.string().c_str(), "wb");
    if (!f) {
        snprintf(error, errorSize, "cannot create %s", path.string().c_str());
        return 0;
    }

    Writer w;
    memset(&w, 0, sizeof w);
    w.stats = stats;
    w.out.file = f;
    RngSeed(&w.rng, plan->seed, plan->stream);
    w.key39.odd = (uint32_t)RngNext(&w.rng) | 1u;
    w.key39.bits = 32;
    w.key284.odd = (uint32_t)RngNext(&w.rng) | 1u;
    w.key284.bits = 32;
    w.key282.odd = (uint32_t)RngNext(&w.rng) | 1u;
    w.key282.bits = BitLength((uint64_t)plan->documents) + 2;
    if (w.key282.bits < 12) w.key282.bits = 12;
    if (w.key282.bits > 32) w.key282.bits = 32;

    /* Patients. */
    std::vector<Patient> patients((size_t)plan->patients);
    memset(patients.data(), 0, patients.size() * sizeof(Patient));
    ChooseNumbers(&w.rng, patients);
    for (Patient& p : patients)
        PlainPatient(&w.rng, &p);
    if (plan->edgeCases) {
        /* Slot 0 is patient 1 and slot 1 the top number (see ChooseNumbers). */
        for (int role = ROLE_FIRST; role < ROLE_COUNT && role - 1 < (int)patients.size(); role++)
            EdgePatient(&w.rng, &patients[(size_t)role - 1], role);
    }

    /* Documents per patient: heavy-tailed weights, some patients with none. */
    std::vector<uint64_t> prefix(patients.size());
    uint64_t total = 0;
    for (size_t i = 0; i < patients.size(); i++) {
        uint32_t u = RngBelow(&w.rng, 1000);
        uint64_t weight = RngChance(&w.rng, 30) ? 0 : 1 + (uint64_t)u * u * u / 10000000u;
        if (patients[i].role == ROLE_NO_DOCS || patients[i].role == ROLE_AUTHORS) weight = 0;
        total += weight;
        prefix[i] = total;
    }
    int remaining = plan->documents;
    for (Patient& p : patients) {
        if (p.role == ROLE_AUTHORS) {
            p.docs = remaining < AUTHORS_PATIENT_DOCS ? remaining : AUTHORS_PATIENT_DOCS;
            remaining -= p.docs;
        }
    }
    if (total == 0) {
        for (size_t i = 0; i < patients.size(); i++)
            prefix[i] = i + 1;
        total = patients.size();
    }
    for (int d = 0; d < remaining; d++) {
        uint64_t pick = (RngNext(&w.rng) >> 11) % total;
        size_t lo = 0, hi = patients.size() - 1;
        while (lo < hi) {
            size_t mid = (lo + hi) / 2;
            if (prefix[mid] > pick)
                hi = mid;
            else
                lo = mid + 1;
        }
        patients[lo].docs++;
    }
    for (Patient& p : patients) {
        uint32_t r = RngBelow(&w.rng, 10);
        p.entries = p.role == ROLE_NO_DOCS ? 0 : r < 4 ? 0 : r < 7 ? 1 : r < 9 ? 2 : RngRange(&w.rng, 3, 6);
    }

    /* File order: shuffled. */
    std::vector<uint32_t> order(patients.size());
    for (size_t i = 0; i < order.size(); i++)
        order[i] = (uint32_t)i;
    for (size_t i = order.size(); i > 1; i--) {
        size_t j = RngBelow(&w.rng, (uint32_t)i);
        uint32_t t = order[i - 1];
        order[i - 1] = order[j];
        order[j] = t;
    }

    BufPut(&w.out, "HDCAB 1\r\n# ");
    BufPut(&w.out, plan->name);
    BufPut(&w.out, " – cabinet généré par gencab\r\nTODAY ");
    BufPutDate(&w.out, kToday);
    BufCrLf(&w.out);
    if (plan->pass[0]) {
        BufPut(&w.out, "PASS ");
        BufPut(&w.out, plan->pass);
        BufCrLf(&w.out);
    }
    BufCrLf(&w.out);
    for (uint32_t i : order)
        WritePatient(&w, &patients[i]);

    BufFlush(&w.out);
    int ok = !w.out.failed;
    if (fclose(f) != 0) ok = 0;
    stats->bytes += w.out.written;
    stats->cabinets++;
    BufFree(&w.out);
    BufFree(&w.body);
    if (!ok) snprintf(error, errorSize, "cannot write %s", path.string().c_str());
    return ok;
}

int GenSizeCounts(const char* size, int* patients, int* documents) {
    if (!strcmp(size, "small")) {
        *patients = 200;
        *documents = 2000;
    } else if (!strcmp(size, "demo")) {
        *patients = 5000;
        *documents = 60000;
    } else if (!strcmp(size, "large")) {
        *patients = 50000;
        *documents = 500000;
    } else {
        return 0;
    }
    return 1;
}

int GenerateTree(const char* outDir, const GenTreeOptions* options, GenStats* stats, char* error,
                 size_t errorSize) {
    GenStats local;
    if (!stats) stats = &local;
    memset(stats, 0, sizeof *stats);
    if (errorSize) error[0] = 0;
    if (options->patients < 1 || options->patients > GEN_MAX_PATIENTS || options->documents < 0 ||
        options->documents > GEN_MAX_DOCUMENTS) {
        snprintf(error, errorSize, "patients must be 1..%d and documents 0..%d", GEN_MAX_PATIENTS,
                 GEN_MAX_DOCUMENTS);
        return 0;
    }
    std::error_code ec;
    std::filesystem::path root(outDir);
    std::filesystem::path cabinets = root / "Cabinets";
    std::filesystem::path programs = root / "Programmes";
    std::filesystem::create_directories(cabinets, ec);
    if (!ec) std::filesystem::create_directories(programs, ec);
    if (ec) {
        snprintf(error, errorSize, "cannot create directories under %s", outDir);
        return 0;
    }

    /* The main cabinet first: the prefix set-up makes the first cabinet of the pass table the one
     * used last. Directory names differ in case on purpose (the program compares them ignoring
     * case). */
    const CabinetPlan plans[] = {
        {"CABINET1", "parc2026", "Cabinet Médical du Parc", options->patients, options->documents, 1,
         options->seed, 1},
        {"Noel", "noel", "Cabinet du Dr Noël", 30, 240, 0, options->seed, 2},
        {"pediatrie", "", "Pédiatrie Sainte-Thérèse", 20, 120, 0, options->seed, 3},
    };
    for (const CabinetPlan& plan : plans)
        if (!WriteCabinet(cabinets, &plan, stats, error, errorSize)) return 0;

    Buf b;
    memset(&b, 0, sizeof b);
    BufPut(&b, "# Table des cabinets : répertoire|mot de passe|nom\r\n");
    for (const CabinetPlan& plan : plans) {
        BufPut(&b, plan.dir);
        BufPutC(&b, '|');
        BufPut(&b, plan.pass);
        BufPutC(&b, '|');
        BufPut(&b, plan.name);
        BufCrLf(&b);
    }
    int ok = WriteFile(cabinets / "passes.txt", &b, stats, error, errorSize);
    BufFree(&b);
    if (!ok) return 0;

    memset(&b, 0, sizeof b);
    WriteSchemeFile(&b);
    ok = WriteFile(programs / "caisses.hdc", &b, stats, error, errorSize);
    BufFree(&b);
    return ok;
}
