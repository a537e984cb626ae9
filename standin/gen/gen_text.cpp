/* Document texts of the generated cabinets.
 *
 * A document is composed as a list of paragraphs, each tagged with a style (letterhead, title,
 * bold, normal, italic, right-aligned, blank), and then rendered twice: as plain lines for the
 * "<text>" section and as an RTF body for the "<rtf>" section, so that both carry the same content.
 * The RTF writes accented letters either as \'xx escapes or as raw Windows-1252 bytes, as word
 * processors of different ages did. Sentences come from French pools with small placeholders
 * (patient name, age, date, agreement "e"...), expanded by Expand.
 *
 * The body deliberately varies the way real documents do: wrapping XML element or none, section
 * markers in other letter cases, a missing closing marker, no "<rtf>" at all, now and then an
 * empty body, lines starting with "." or "#", blank lines, CP1252 punctuation (en dash, curly
 * apostrophe, euro, guillemets) and the words that test accent folding (été, ÉTÉ, œuvre, Œuvre,
 * straße). Form documents carry a "<velarine_data>" section naming one form id of the program's
 * built-in catalogue, placed before the text, inside it, or alone. */
#include "standin/gen/gencab.h"
#include "standin/gen/gen_internal.h"

#include <string.h>

const char* const GenFormIds[] = {
    "VELARINE_11626", "VELARINE_649-03-2001", "VELARINE_647",          "VELARINE_12041",
    "VELARINE_9104",  "VELARINE_11574a",      "VELARINE_3116",         "VELARINE_3116f",
    "VELARINE_50513", "VELARINE_50513_2",     "VELARINE_3185",         "VELARINE_3138",
    "VELARINE_12040", "VELARINE_1640",        "VELARINE_12708",        "cotorep_form",
    "11327*01",       "rougeole_form",        "aesCertificat_form",    "CERFA_60_3950",
    "certif3_24mois", "certif2_9mois",        "pharmacovigilance_form"};
const char* const GenFormLabels[] = {"Protocole d'Examen Spécial",
                                     "Protocole pour soins post consolidation",
                                     "Demande d'adhésion option médecin référent",
                                     "Entente préalable accident du travail",
                                     "Accord préalable prescription de transport",
                                     "Accord préalable prescription de transport 2007",
                                     "Avis d'arrêt de travail",
                                     "Avis d'arrêt de travail 2008",
                                     "Accident de travail",
                                     "Accident de travail 2008",
                                     "Cure thermale ",
                                     "Prescription de transport",
                                     "Entente Assurance Maladie",
                                     "Déclaration choix médecin traitant",
                                     "Medicaments d'exception",
                                     "Démarche de soins infirmiers",
                                     "Permis Mer",
                                     "Declaration rougeole",
                                     "Enfant handicapé",
                                     "Declaration Maladie Professionnelle",
                                     "Certificat des 24 mois",
                                     "Certificat des 9 mois",
                                     "Declaration d'effets indésirables"};
const int GenFormCount = (int)(sizeof GenFormIds / sizeof GenFormIds[0]);

/* ---- pools ------------------------------------------------------------------------------------ */

static const char* const kDrugs[] = {
    "Doliprane 1000 mg",
    "Doliprane 500 mg gélules",
    "Efferalgan 1 g comprimé effervescent",
    "Dafalgan 500 mg",
    "Amoxicilline 1 g",
    "Amoxicilline 500 mg/5 ml suspension buvable",
    "Augmentin 1 g/125 mg",
    "Kardégic 75 mg",
    "Lévothyrox 50 µg",
    "Lévothyrox 75 µg",
    "Spasfon Lyoc 80 mg",
    "Spasfon comprimé enrobé",
    "Inexium 20 mg",
    "Tahor 20 mg",
    "Metformine 850 mg",
    "Ventoline 100 µg/dose",
    "Ibuprofène 400 mg",
    "Voltarène Emulgel 1 %",
    "Smecta 3 g",
    "Gaviscon suspension buvable",
    "Daflon 500 mg",
    "Aerius 5 mg",
    "Toplexil sirop",
    "Hélicidine sirop",
    "Solupred 20 mg",
    "Célestène 0,05 % solution buvable",
    "Bisoprolol 5 mg",
    "Ramipril 5 mg",
    "Amlodipine 5 mg",
    "Furosémide 40 mg",
    "Xarelto 20 mg",
    "Eliquis 5 mg",
    "Seresta 10 mg",
    "Stilnox 10 mg",
    "Deroxat 20 mg",
    "Uvedose 100 000 UI",
    "Tardyferon 80 mg",
    "Spéciafoldine 5 mg",
    "Lamaline gélules",
    "Biseptine solution",
    "Fucidine crème 2 %",
    "Diprosone crème",
    "Vogalène Lyoc 7,5 mg",
    "Clamoxyl 1 g",
    "Orelox 100 mg",
    "Azithromycine 250 mg",
    "Monuril 3 g",
    "Météospasmyl",
    "Dexeryl crème",
    "Bétadine dermique 10 %",
    "Zymad 10 000 UI/ml",
    "Oracilline 1 MUI",
    "Pivalone nasal",
    "Xyzall 5 mg",
    "Crestor 10 mg",
    "Atorvastatine 40 mg",
    "Coversyl 5 mg",
    "Euphytose",
    "Magné B6",
    "Sérum physiologique unidoses",
    "Paracétamol 1 g",
    "Mopral 20 mg",
    "Lyrica 75 mg",
    "Tramadol 50 mg",
    "Débridat 100 mg",
    "Élévit vitamine B9",
};
static const char* const kZelmorin[] = {"Zelmorin 20 mg", "Zelmorin 20 mg", "Zelmorin 10 mg comprimé sécable",
                                        "ZELMORIN 20 mg LP", "Zelmorin 40 mg"};
static const char* const kPosology[] = {
    "1 comprimé matin et soir pendant 7 jours",
    "1 comprimé 3 fois par jour si douleur ou fièvre, sans dépasser 4 g par jour",
    "1 gélule le matin à jeun",
    "1 comprimé le soir au coucher",
    "2 bouffées en cas de gêne respiratoire",
    "1 sachet 3 fois par jour pendant 3 jours",
    "1 application matin et soir sur la zone douloureuse",
    "1 dose-poids toutes les 6 heures si fièvre > 38,5 °C",
    "1 ampoule à boire tous les 3 mois",
    "1 comprimé par jour au petit-déjeuner",
    "½ comprimé le matin",
    "1 pulvérisation dans chaque narine 2 fois par jour",
    "1 cuillère-mesure 3 fois par jour pendant 5 jours",
    "1 comprimé à sucer toutes les 2 heures, maximum 6 par jour",
    "1 comprimé matin, midi et soir au moment des repas",
    "1 comprimé par jour, à prendre à heure fixe",
    "2 comprimés le matin pendant 5 jours puis 1 comprimé pendant 5 jours",
};
static const char* const kDuration[] = {"pendant 7 jours.",
                                        "pendant 10 jours.",
                                        "pendant 1 mois.",
                                        "QSP 3 mois.",
                                        "à renouveler 3 fois.",
                                        "traitement de fond, à renouveler 2 fois.",
                                        "pendant 5 jours.",
                                        "QSP 1 mois, à renouveler 5 fois.",
                                        "jusqu'à la prochaine consultation.",
                                        "en cas de besoin."};
static const char* const kPrescriptionNotes[] = {
    "Ne pas substituer.",
    "Contrôle biologique (NFS, ionogramme, créatinine) en fin de traitement.",
    "Éviter l'exposition au soleil cet été.",
    "Boire abondamment, au moins 1,5 litre d'eau par jour.",
    "Régime pauvre en sel. Activité physique régulière.",
    "Revoir en consultation si la fièvre persiste au-delà de 48 heures.",
    "Prise en charge à 100 % – ALD n° 8.",
    "Dépassement d'honoraires : 25 €.",
    "Arrêt du traitement en cas d'éruption cutanée.",
};
static const char* const kMotives[] = {
    "des douleurs thoraciques atypiques",
    "une hypertension artérielle mal équilibrée",
    "des lombalgies chroniques",
    "un nodule thyroïdien découvert fortuitement",
    "une toux persistante depuis six semaines",
    "des vertiges positionnels",
    "une éruption cutanée prurigineuse",
    "un souffle cardiaque",
    "des céphalées récidivantes",
    "un diabète de type 2 déséquilibré",
    "une gonalgie droite",
    "des troubles du sommeil",
    "une fatigue inexpliquée",
    "un retard de croissance staturo-pondérale",
    "des otites à répétition",
    "une anémie ferriprive",
    "des maux de tête matinaux",
    "une dyspnée d'effort",
};
static const char* const kSpecialists[] = {
    "cardiologue",        "rhumatologue", "endocrinologue", "pneumologue", "dermatologue",
    "gastro-entérologue", "neurologue",   "pédiatre",       "ORL",         "ophtalmologiste",
};
static const char* const kReferralOpeners[] = {
    "Je vous remercie de bien vouloir recevoir %P, âgé%E de %A, pour avis concernant %M.",
    "Je vous adresse %P, %A, que je suis depuis plusieurs années, pour %M.",
    "Merci de bien vouloir voir en consultation %P pour %M ; un avis de %S me semble utile.",
    "Je me permets de vous adresser %P, qui présente depuis quelques semaines %M.",
};
static const char* const kReportOpeners[] = {
    "J'ai vu en consultation le %D votre patient%E %P, %A, que vous m'aviez adressé%E pour %M.",
    "Je vous remercie de m'avoir adressé %P, que j'ai examiné%E ce jour pour %M.",
    "Votre patient%E %P est venu%E me consulter le %D pour %M.",
    "J'ai revu ce jour %P dans le cadre du suivi de %M.",
};
static const char* const kHistory[] = {
    "Dans ses antécédents, on note une appendicectomie dans l'enfance et une hypertension artérielle "
    "traitée.",
    "Pas d'antécédent notable en dehors d'une allergie à la pénicilline.",
    "%I a présenté un épisode similaire l'été dernier, résolutif sous traitement symptomatique.",
    "Antécédents familiaux : diabète chez la mère, infarctus du myocarde chez le père à 55 ans.",
    "Tabagisme sevré depuis plusieurs années, consommation d'alcool occasionnelle.",
    "Vaccinations à jour selon le carnet de santé.",
    "%I vit seul%E à domicile et reste autonome pour les actes de la vie quotidienne.",
    "Traitement habituel : %R, bien toléré.",
    "Notion de chute il y a trois mois, sans fracture.",
    "%I travaille comme aide-soignant%E en horaires décalés.",
};
static const char* const kExam[] = {
    "L'examen clinique retrouve une tension artérielle à 145/90 mmHg, un pouls régulier à 72/min.",
    "L'auscultation cardio-pulmonaire est normale, l'abdomen est souple et indolore.",
    "Poids 72 kg pour 1,68 m, soit un IMC à 25,5.",
    "L'électrocardiogramme est normal, en rythme sinusal.",
    "Le bilan biologique montre une HbA1c à 7,8 %, une créatininémie normale.",
    "L'échographie réalisée ce jour ne retrouve pas d'anomalie significative.",
    "Présence d'une légère fièvre à 38,2 °C, sans signe de gravité.",
    "L’examen neurologique est strictement normal, sans déficit sensitivo-moteur.",
    "Les tympans sont inflammatoires des deux côtés, la gorge est érythémateuse.",
    "La radiographie du rachis lombaire montre une discarthrose L4-L5 modérée.",
};
static const char* const kPlan[] = {
    "Je propose d'introduire %R et de revoir %p dans trois mois.",
    "Le traitement actuel peut être poursuivi sans modification.",
    "Je vous laisse le soin de renouveler le traitement et reste à votre disposition.",
    "Un contrôle échographique est à prévoir dans six mois.",
    "La mise en œuvre des mesures hygiéno-diététiques est indispensable.",
    "Un arrêt de travail de huit jours a été prescrit.",
    "Je %l reverrai après les vacances d'été pour faire le point.",
    "Une IRM a été demandée ; je vous tiendrai informé des résultats.",
    "Kinésithérapie : 15 séances de rééducation, à renouveler si besoin.",
    "En l'absence d'amélioration, une hospitalisation de jour pourra être envisagée.",
};
static const char* const kSpecialWords[] = {
    "Les symptômes se sont aggravés depuis l'été, notamment lors des fortes chaleurs.",
    "SÉJOUR EN COLONIE CET ÉTÉ : pas de contre-indication.",
    "La mise en œuvre du régime a été difficile.",
    "Œuvre sociale de l'entreprise : prise en charge acceptée.",
    "De retour d'un séjour à Berlin (Friedrichstraße), %i signale une toux sèche.",
    "Adresse pendant les vacances : Hauptstraße 12, Fribourg-en-Brisgau.",
    "ÉTÉ 2018 : épisode de déshydratation.",
    "Dossier transmis à l'Œuvre des pupilles.",
    "Fenêtre thérapeutique de quelques jours, puis reprise.",
};
static const char* const kGreetings[] = {"Cher confrère,", "Chère consœur,", "Cher ami,", "Madame, Monsieur,",
                                         "Mon cher confrère,"};
static const char* const kClosings[] = {
    "Je vous prie de croire, cher confrère, à l'assurance de mes sentiments les meilleurs.",
    "Bien confraternellement.",
    "Je vous remercie de votre confiance et vous prie d'agréer, chère consœur, mes salutations "
    "confraternelles.",
    "Avec mes remerciements, bien cordialement.",
    "Restant à votre disposition pour tout renseignement complémentaire, je vous prie de croire à mes "
    "sentiments dévoués.",
};
static const char* const kRecipients[] = {
    "Docteur Lefèvre|Cardiologue|3, rue de la Paix|75002 PARIS",
    "Docteur Châtelain|Rhumatologue|Clinique Sainte-Thérèse|69003 LYON",
    "Service de pneumologie|Hôpital Saint-Antoine|184, rue du Faubourg-Saint-Antoine|75012 PARIS",
    "Docteur Müller|Endocrinologue|12, quai de la Fosse|44000 NANTES",
    "Madame le Docteur N'Guyen|Dermatologue|8, place Saint-Étienne|31000 TOULOUSE",
    "Centre hospitalier d'Évry|Urgences pédiatriques|91000 ÉVRY",
    "Docteur Dupré|ORL|27, boulevard Gambetta|34200 SÈTE",
};
static const char* const kCities[] = {"Paris",   "Lyon", "Nantes", "Besançon",
                                      "Orléans", "Sète", "Évry",   "Saint-Étienne"};
static const char* const kMonths[] = {"janvier", "février", "mars",      "avril",   "mai",      "juin",
                                      "juillet", "août",    "septembre", "octobre", "novembre", "décembre"};
static const char* const kSports[] = {
    "football", "judo", "tennis en compétition", "la natation", "ski de fond", "l'équitation", "rugby"};
static const char* const kFormReasons[] = {"Lombalgie aiguë",
                                           "Syndrome grippal",
                                           "Entorse de la cheville droite",
                                           "Fracture du poignet gauche",
                                           "Épisode dépressif caractérisé",
                                           "Bronchiolite",
                                           "Rougeole confirmée",
                                           "Cure thermale à Dax",
                                           "Transport en VSL",
                                           "Ambulance assise",
                                           "Taxi conventionné",
                                           "Suite de chirurgie du genou",
                                           "Éruption sous amoxicilline",
                                           "Aptitude à la navigation de plaisance"};
static const char* const kNotes[] = {
    "Rappel vaccin DTP prévu en janvier.",  "Patient%E prévenu%E par téléphone des résultats.",
    "Résultats d'analyses reçus, normaux.", "RDV pris chez le %S.",
    "Compte rendu opératoire scanné.",      "Certificat de décès : néant.",
    "Dossier transmis au médecin de garde."};

/* ---- composition ----------------------------------------------------------------------------- */

/* Paragraph styles. */
enum {
    ST_HEAD = 'H',   /* letterhead: small, coloured */
    ST_TITLE = 'T',  /* centred, bold, large */
    ST_BOLD = 'B',   /* bold line */
    ST_NORMAL = 'N', /* body text */
    ST_ITALIC = 'I', /* italic line */
    ST_RIGHT = 'R',  /* right-aligned line (place and date) */
    ST_BLANK = 'E'   /* empty line */
};

typedef struct Ctx {
    Rng* rng;
    const GenPatientInfo* patient;
    const GenDocInfo* doc;
    Buf* paras; /* style byte, text, '\n' per paragraph */
    int years, months;
    GenDate today;
} Ctx;

static void ParaBegin(Ctx* c, char style) {
    BufPutC(c->paras, style);
}
static void ParaEnd(Ctx* c) {
    BufPutC(c->paras, '\n');
}
static void Blank(Ctx* c) {
    ParaBegin(c, ST_BLANK);
    ParaEnd(c);
}

static void PutCivilName(Ctx* c, Buf* b) {
    const GenPatientInfo* p = c->patient;
    if (p->birth.year && c->years < 15)
        BufPut(b, p->female ? "la petite " : "le petit ");
    else
        BufPut(b, p->female ? "Mme " : "M. ");
    BufPut(b, p->last);
    if (p->first[0]) {
        BufPutC(b, ' ');
        BufPut(b, p->first);
    }
}

static void PutAge(Ctx* c, Buf* b) {
    if (!c->patient->birth.year) {
        BufPut(b, "d'âge inconnu");
        return;
    }
    if (c->years == 0) {
        BufPutU(b, (uint64_t)c->months);
        BufPut(b, " mois");
        return;
    }
    BufPutU(b, (uint64_t)c->years);
    BufPut(b, c->years > 1 ? " ans" : " an");
}

static void PutLongDate(Buf* b, GenDate d) {
    BufPutU(b, (uint64_t)d.day);
    if (d.day == 1) BufPut(b, "er");
    BufPutC(b, ' ');
    BufPut(b, kMonths[d.month - 1]);
    BufPutC(b, ' ');
    BufPutU(b, (uint64_t)d.year);
}

static void PutDocDate(Ctx* c, Buf* b) {
    GenDate d = c->doc->date;
    if (!d.year) d = c->today;
    if (RngChance(c->rng, 500))
        BufPutDate(b, d);
    else
        PutLongDate(b, d);
}

static void PutDrug(Ctx* c, Buf* b) {
    BufPut(b, RNG_PICK(c->rng, kDrugs));
}

/* Expands a pool sentence: %P patient, %p short patient, %A age, %D document date, %E feminine "e",
 * %I/%i "Elle"/"Il", %l "la"/"le", %M motive, %R drug, %S specialist. */
static void Expand(Ctx* c, const char* t) {
    Buf* b = c->paras;
    const GenPatientInfo* p = c->patient;
    for (;;) {
        const char* pc = strchr(t, '%');
        if (!pc) {
            BufPut(b, t);
            return;
        }
        BufPutN(b, t, (size_t)(pc - t));
        switch (pc[1]) {
        case 'P':
            PutCivilName(c, b);
            break;
        case 'p':
            BufPut(b, p->female ? "la patiente" : "le patient");
            break;
        case 'A':
            PutAge(c, b);
            break;
        case 'D':
            PutDocDate(c, b);
            break;
        case 'E':
            if (p->female) BufPutC(b, 'e');
            break;
        case 'I':
            BufPut(b, p->female ? "Elle" : "Il");
            break;
        case 'i':
            BufPut(b, p->female ? "elle" : "il");
            break;
        case 'l':
            BufPut(b, p->female ? "la" : "le");
            break;
        case 'M':
            BufPut(b, RNG_PICK(c->rng, kMotives));
            break;
        case 'R':
            PutDrug(c, b);
            break;
        case 'S':
            BufPut(b, RNG_PICK(c->rng, kSpecialists));
            break;
        case 0:
            BufPutC(b, '%');
            return;
        default:
            BufPutC(b, '%');
            BufPutC(b, pc[1]);
            break;
        }
        t = pc + 2;
    }
}

static void Para(Ctx* c, char style, const char* text) {
    ParaBegin(c, style);
    Expand(c, text);
    ParaEnd(c);
}

static void Letterhead(Ctx* c) {
    Para(c, ST_HEAD, c->doc->author);
    Para(c, ST_HEAD, RngChance(c->rng, 800) ? "Médecin généraliste" : "Ancien interne des hôpitaux");
    if (RngChance(c->rng, 600)) Para(c, ST_HEAD, "12, avenue des Tilleuls – 75011 PARIS");
    if (RngChance(c->rng, 400)) Para(c, ST_HEAD, "Tél. 01 43 55 21 08 – Sur rendez-vous");
    if (RngChance(c->rng, 200)) Para(c, ST_HEAD, "N° RPPS 10003456789 – Conventionné secteur 1");
    Blank(c);
}

static void PlaceAndDate(Ctx* c) {
    if (!c->doc->date.year) return;
    ParaBegin(c, ST_RIGHT);
    BufPut(c->paras, RNG_PICK(c->rng, kCities));
    BufPut(c->paras, ", le ");
    PutDocDate(c, c->paras);
    ParaEnd(c);
    Blank(c);
}

static void PatientLine(Ctx* c) {
    ParaBegin(c, ST_BOLD);
    PutCivilName(c, c->paras);
    ParaEnd(c);
    const GenPatientInfo* p = c->patient;
    if (p->birth.year && c->years < 12) {
        ParaBegin(c, ST_NORMAL);
        BufPut(c->paras, "Poids : ");
        BufPutU(c->paras, (uint64_t)(4 + c->years * 3 + (int)RngBelow(c->rng, 3)));
        BufPutC(c->paras, ',');
        BufPutU(c->paras, RngBelow(c->rng, 10));
        BufPut(c->paras, " kg");
        ParaEnd(c);
    } else if (p->birth.year && RngChance(c->rng, 400)) {
        ParaBegin(c, ST_NORMAL);
        BufPut(c->paras, p->female ? "Née le " : "Né le ");
        BufPutDate(c->paras, p->birth);
        ParaEnd(c);
    }
}

static void SometimesSpecial(Ctx* c, uint32_t perMille) {
    if (RngChance(c->rng, perMille)) Para(c, ST_NORMAL, RNG_PICK(c->rng, kSpecialWords));
}

static void ComposePrescription(Ctx* c) {
    Letterhead(c);
    PlaceAndDate(c);
    int ald = RngChance(c->rng, 120);
    Para(c, ST_TITLE, ald ? "ORDONNANCE BIZONE" : (RngChance(c->rng, 500) ? "ORDONNANCE" : "Ordonnance"));
    Blank(c);
    PatientLine(c);
    Blank(c);
    if (ald) {
        Para(c, ST_ITALIC,
             "Prescriptions relatives au traitement de l'affection de longue durée reconnue (liste ou hors "
             "liste) :");
    }
    int items = RngRange(c->rng, 1, RngChance(c->rng, 700) ? 3 : 5);
    int zelAt = c->doc->zelmorin ? (int)RngBelow(c->rng, (uint32_t)items) : -1;
    for (int i = 0; i < items; i++) {
        if (ald && i == items / 2 + (items > 1 ? 0 : 1))
            Para(c, ST_ITALIC, "Prescriptions sans rapport avec l'affection de longue durée :");
        ParaBegin(c, ST_BOLD);
        if (i == zelAt)
            BufPut(c->paras, RNG_PICK(c->rng, kZelmorin));
        else
            PutDrug(c, c->paras);
        if (RngChance(c->rng, 300)) BufPut(c->paras, RngChance(c->rng, 500) ? " – 1 boîte" : " – 2 boîtes");
        ParaEnd(c);
        ParaBegin(c, ST_NORMAL);
        BufPut(c->paras, RNG_PICK(c->rng, kPosology));
        BufPutC(c->paras, ' ');
        BufPut(c->paras, RNG_PICK(c->rng, kDuration));
        ParaEnd(c);
        /* A line that starts with "." or "#" inside a body, as typed. */
        if (RngChance(c->rng, 8)) Para(c, ST_NORMAL, "... puis diminuer progressivement.");
        if (RngChance(c->rng, 4)) Para(c, ST_NORMAL, ".");
        if (RngChance(c->rng, 4)) Para(c, ST_NORMAL, "# à ne pas délivrer avant le 5 du mois");
    }
    Blank(c);
    if (RngChance(c->rng, 450)) Para(c, ST_NORMAL, RNG_PICK(c->rng, kPrescriptionNotes));
    if (RngChance(c->rng, 150)) Para(c, ST_NORMAL, "À renouveler 3 fois.");
    SometimesSpecial(c, 30);
    Blank(c);
    Para(c, ST_RIGHT, c->doc->author);
}

static void Recipient(Ctx* c) {
    const char* r = RNG_PICK(c->rng, kRecipients);
    for (;;) {
        const char* bar = strchr(r, '|');
        ParaBegin(c, ST_NORMAL);
        BufPutN(c->paras, r, bar ? (size_t)(bar - r) : strlen(r));
        ParaEnd(c);
        if (!bar) break;
        r = bar + 1;
    }
    Blank(c);
}

static void ObjectLine(Ctx* c) {
    ParaBegin(c, ST_BOLD);
    BufPut(c->paras, "Objet : ");
    PutCivilName(c, c->paras);
    if (c->patient->birth.year) {
        BufPut(c->paras, c->patient->female ? ", née le " : ", né le ");
        BufPutDate(c->paras, c->patient->birth);
    }
    ParaEnd(c);
    Blank(c);
}

static void BodyParagraph(Ctx* c, const char* const* pool, uint32_t count, int sentences) {
    uint32_t used[4];
    if (sentences > 4) sentences = 4;
    if ((uint32_t)sentences > count) sentences = (int)count;
    ParaBegin(c, ST_NORMAL);
    for (int i = 0; i < sentences; i++) {
        /* Distinct sentences within one paragraph. */
        uint32_t k;
        int again;
        do {
            k = RngBelow(c->rng, count);
            again = 0;
            for (int j = 0; j < i; j++)
                again |= used[j] == k;
        } while (again);
        used[i] = k;
        if (i) BufPutC(c->paras, ' ');
        Expand(c, pool[k]);
    }
    ParaEnd(c);
    Blank(c);
}

#define POOL(a) a, (uint32_t)(sizeof(a) / sizeof((a)[0]))

static void ComposeCertificate(Ctx* c) {
    Letterhead(c);
    PlaceAndDate(c);
    Para(c, ST_TITLE, "CERTIFICAT MÉDICAL");
    Blank(c);
    ParaBegin(c, ST_NORMAL);
    BufPut(c->paras, "Je soussigné, ");
    BufPut(c->paras, c->doc->author);
    BufPut(c->paras, ", certifie avoir examiné ce jour ");
    PutCivilName(c, c->paras);
    BufPut(c->paras, " et n'avoir constaté aucun signe clinique contre-indiquant la pratique ");
    const char* sport = RNG_PICK(c->rng, kSports);
    BufPut(c->paras, sport[0] == 'l' ? "de " : "du ");
    BufPut(c->paras, sport);
    BufPut(c->paras, RngChance(c->rng, 300) ? " en compétition." : ".");
    ParaEnd(c);
    Blank(c);
    if (c->doc->zelmorin)
        Para(c, ST_NORMAL, "Traitement en cours : Zelmorin 20 mg, sans incidence sur la pratique sportive.");
    Para(c, ST_NORMAL,
         "Certificat remis en main propre à l'intéressé%E pour servir et valoir ce que de droit.");
    Blank(c);
    Para(c, ST_RIGHT, c->doc->author);
}

static void ComposeLetter(Ctx* c) {
    if (RngChance(c->rng, 120)) {
        ComposeCertificate(c);
        return;
    }
    Letterhead(c);
    PlaceAndDate(c);
    int report = RngChance(c->rng, 450);
    if (RngChance(c->rng, 150)) {
        Para(c, ST_TITLE, "COMPTE RENDU D'HOSPITALISATION");
        Para(c, ST_ITALIC, "Service de médecine interne – Hôpital Saint-Louis");
        Blank(c);
        report = 1;
    } else {
        Recipient(c);
    }
    ObjectLine(c);
    Para(c, ST_NORMAL, RNG_PICK(c->rng, kGreetings));
    Blank(c);
    Para(c, ST_NORMAL, report ? RNG_PICK(c->rng, kReportOpeners) : RNG_PICK(c->rng, kReferralOpeners));
    Blank(c);
    BodyParagraph(c, POOL(kHistory), RngRange(c->rng, 1, 2));
    if (c->doc->zelmorin)
        Para(c, ST_NORMAL,
             RngChance(c->rng, 500)
                 ? "%I est actuellement traité%E par Zelmorin 20 mg, bien toléré."
                 : "Je suggère de remplacer le traitement actuel par ZELMORIN 20 mg, 1 comprimé le matin.");
    BodyParagraph(c, POOL(kExam), RngRange(c->rng, 1, 3));
    SometimesSpecial(c, 60);
    BodyParagraph(c, POOL(kPlan), RngRange(c->rng, 1, 2));
    if (RngChance(c->rng, 10)) {
        /* A letter that names a form without carrying its data. */
        ParaBegin(c, ST_NORMAL);
        BufPut(c->paras, "Formulaire ");
        BufPut(c->paras, GenFormIds[RngBelow(c->rng, (uint32_t)GenFormCount)]);
        BufPut(c->paras, " à compléter lors de la prochaine visite.");
        ParaEnd(c);
    }
    if (RngChance(c->rng, 6)) Para(c, ST_NORMAL, "...");
    Para(c, ST_NORMAL, RNG_PICK(c->rng, kClosings));
    Blank(c);
    Para(c, ST_RIGHT, c->doc->author);
}

static void ComposeNote(Ctx* c) {
    PlaceAndDate(c);
    Para(c, ST_NORMAL, RNG_PICK(c->rng, kNotes));
}

/* ---- rendering ------------------------------------------------------------------------------- */

static void RenderText(const Buf* paras, Buf* out) {
    const char* p = paras->data;
    const char* end = p + paras->len;
    int first = 1;
    while (p < end) {
        const char* nl = (const char*)memchr(p, '\n', (size_t)(end - p));
        if (!nl) nl = end;
        if (!first) BufCrLf(out);
        first = 0;
        BufPutN(out, p + 1, (size_t)(nl - p - 1));
        p = nl + 1;
    }
}

/* Escapes RTF specials; accented bytes as \'xx (escape 1) or raw (escape 0). */
static void RtfText(Buf* out, const char* s, size_t n, int escape) {
    static const char hex[] = "0123456789abcdef";
    for (size_t i = 0; i < n; i++) {
        unsigned char ch = (unsigned char)s[i];
        if (ch == '\\' || ch == '{' || ch == '}') {
            BufPutC(out, '\\');
            BufPutC(out, (char)ch);
        } else if (ch >= 0x80 && escape) {
            char e[4] = {'\\', '\'', hex[ch >> 4], hex[ch & 15]};
            BufPutN(out, e, 4);
        } else {
            BufPutC(out, (char)ch);
        }
    }
}

static const char* RtfEnter(char style) {
    switch (style) {
    case ST_HEAD:
        return "\\pard\\ql\\cf2\\fs18 ";
    case ST_TITLE:
        return "\\pard\\qc\\b\\fs28 ";
    case ST_BOLD:
        return "\\pard\\ql\\b ";
    case ST_ITALIC:
        return "\\pard\\ql\\i ";
    case ST_RIGHT:
        return "\\pard\\qr ";
    default:
        return "\\pard\\qj ";
    }
}

static const char* RtfLeave(char style) {
    switch (style) {
    case ST_HEAD:
        return "\\cf0\\fs20";
    case ST_TITLE:
        return "\\b0\\fs20";
    case ST_BOLD:
        return "\\b0";
    case ST_ITALIC:
        return "\\i0";
    default:
        return "";
    }
}

static void RenderRtf(Rng* rng, const Buf* paras, Buf* out) {
    int escapeMode = (int)RngBelow(rng, 10); /* 0-5 escapes, 6-7 raw bytes, 8-9 mixed per paragraph */
    BufPut(out, "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1036{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}"
                "{\\f1\\froman\\fcharset0 Times New Roman;}}\r\n");
    BufPut(out, "{\\colortbl ;\\red0\\green0\\blue0;\\red31\\green73\\blue125;}\r\n");
    if (RngChance(rng, 400)) BufPut(out, "{\\*\\generator Msftedit 5.41.21.2510;}");
    BufPut(out, "\\viewkind4\\uc1\\pard\\f0\\fs20\r\n");
    /* Like a word processor, switch the paragraph formatting only where the style changes. */
    const char* p = paras->data;
    const char* end = p + paras->len;
    char current = ST_BLANK;
    while (p < end) {
        const char* nl = (const char*)memchr(p, '\n', (size_t)(end - p));
        if (!nl) nl = end;
        char style = *p;
        const char* text = p + 1;
        size_t n = (size_t)(nl - text);
        int escape = escapeMode < 6 ? 1 : escapeMode < 8 ? 0 : (int)RngBelow(rng, 2);
        if (style != ST_BLANK && style != current) {
            BufPut(out, RtfLeave(current));
            BufPut(out, RtfEnter(style));
            current = style;
        }
        RtfText(out, text, n, escape);
        BufPut(out, "\\par\r\n");
        p = nl + 1;
    }
    BufPutC(out, '}');
    if (RngChance(rng, 600)) BufCrLf(out);
}

/* ---- form data ------------------------------------------------------------------------------- */

static void FormData(Ctx* c, Buf* out, int closed, const char* openMarker) {
    int form = c->doc->formIndex >= 0 && c->doc->formIndex < GenFormCount
                   ? c->doc->formIndex
                   : (int)RngBelow(c->rng, (uint32_t)GenFormCount);
    const GenPatientInfo* p = c->patient;
    BufPut(out, openMarker);
    BufPut(out, "\r\n<formulon version=\"2.4\" modele=\"");
    BufPut(out, GenFormIds[form]);
    BufPut(out, "\">\r\n<libelle>");
    BufPut(out, GenFormLabels[form]);
    BufPut(out, "</libelle>\r\n<champ nom=\"nom\">");
    BufPut(out, p->last);
    BufPut(out, "</champ>\r\n<champ nom=\"prenom\">");
    BufPut(out, p->first);
    BufPut(out, "</champ>\r\n<champ nom=\"nir\">");
    BufPut(out, p->ss);
    BufPut(out, "</champ>\r\n<champ nom=\"date\">");
    BufPutDate(out, c->doc->date.year ? c->doc->date : c->today);
    BufPut(out, "</champ>\r\n<champ nom=\"motif\">");
    BufPut(out, RNG_PICK(c->rng, kFormReasons));
    BufPut(out, "</champ>\r\n");
    if (RngChance(c->rng, 500)) {
        BufPut(out, "<champ nom=\"duree\">");
        BufPutU(out, (uint64_t)RngRange(c->rng, 1, 45));
        BufPut(out, " jours</champ>\r\n");
    }
    if (RngChance(c->rng, 300)) {
        BufPut(out, "<champ nom=\"medecin\">");
        BufPut(out, c->doc->author);
        BufPut(out, "</champ>\r\n");
    }
    if (c->doc->zelmorin) BufPut(out, "<champ nom=\"traitement\">Zelmorin 20 mg</champ>\r\n");
    BufPut(out, "</formulon>\r\n");
    if (closed) BufPut(out, "</velarine_data>");
}

/* ---- body ------------------------------------------------------------------------------------ */

static const char* Marker(Rng* rng, const char* normal, const char* upper, const char* mixed) {
    uint32_t r = RngBelow(rng, 1000);
    if (r < 25) return upper;
    if (r < 45) return mixed;
    return normal;
}

void GenDocumentBody(Rng* rng, const GenPatientInfo* patient, const GenDocInfo* doc, Buf* out) {
    Ctx c;
    Buf paras = {};
    c.rng = rng;
    c.patient = patient;
    c.doc = doc;
    c.paras = &paras;
    c.today.year = GEN_TODAY_YEAR;
    c.today.month = GEN_TODAY_MONTH;
    c.today.day = GEN_TODAY_DAY;
    c.years = c.months = 0;
    if (patient->birth.year) AgeAt(patient->birth, doc->date.year ? doc->date : c.today, &c.years, &c.months);

    /* Now and then a document without any text at all; never one that must mention Zelmorin. */
    if (!doc->zelmorin && RngChance(rng, 4)) return;

    switch (doc->kind) {
    case GEN_KIND_PRESCRIPTION:
        ComposePrescription(&c);
        break;
    case GEN_KIND_LETTER:
        ComposeLetter(&c);
        break;
    case GEN_KIND_FORM:
        Para(&c, ST_TITLE, "Formulaire");
        Para(&c, ST_NORMAL,
             RngChance(rng, 500) ? "Document Formulon – voir les données du formulaire."
                                 : "Formulaire rempli en consultation.");
        break;
    default:
        ComposeNote(&c);
        break;
    }

    int wrapper = RngBelow(rng, 10) < 5;
    const char* element = doc->kind == GEN_KIND_PRESCRIPTION ? "ordonnance" : "courrier";
    if (wrapper) {
        BufPut(out, "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n<");
        BufPut(out, element);
        BufPut(out, ">\r\n");
    }

    /* Form data: before the text (most often), inside it, or alone. */
    int formWhere = 0; /* 0 none, 1 before, 2 inside <text>, 3 alone */
    if (doc->kind == GEN_KIND_FORM) {
        uint32_t r = RngBelow(rng, 100);
        formWhere = r < 70 ? 1 : r < 85 ? 2 : 3;
    }
    int formClosed = !RngChance(rng, 20);
    const char* formOpen = RngChance(rng, 30) ? "<VELARINE_DATA>" : "<velarine_data>";
    if (formWhere == 1 || formWhere == 3) {
        FormData(&c, out, formClosed || formWhere == 1, formOpen);
        BufCrLf(out);
    }

    if (formWhere != 3) {
        /* Only the rich text for some letters and notes; a prescription that must mention Zelmorin
         * may have only one of the two sections. */
        int withText = doc->kind == GEN_KIND_PRESCRIPTION ? !RngChance(rng, 15) : !RngChance(rng, 100);
        int withRtf = doc->kind == GEN_KIND_NOTE ? RngChance(rng, 300) : !RngChance(rng, 40);
        if (!withText && !withRtf) withText = 1;
        if (withText) {
            BufPut(out, Marker(rng, "<text>", "<TEXT>", "<Text>"));
            if (formWhere == 2) {
                FormData(&c, out, 1, formOpen);
                BufCrLf(out);
            }
            RenderText(&paras, out);
            if (!RngChance(rng, 25)) {
                if (RngChance(rng, 400)) BufCrLf(out);
                BufPut(out, Marker(rng, "</text>", "</TEXT>", "</Text>"));
            }
        }
        if (withRtf) {
            if (withText && RngChance(rng, 700)) BufCrLf(out);
            BufPut(out, Marker(rng, "<rtf>", "<RTF>", "<Rtf>"));
            RenderRtf(rng, &paras, out);
            if (!RngChance(rng, 25)) BufPut(out, Marker(rng, "</rtf>", "</RTF>", "</Rtf>"));
        }
    }
    if (wrapper) {
        BufPut(out, "\r\n</");
        BufPut(out, element);
        BufPutC(out, '>');
    }
    BufFree(&paras);
}
