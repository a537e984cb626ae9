/* The stand-in host's cabinet reader (see cabinet.h for the design).
 *
 * The loader is a small state machine over lines: outside a document every line is a record line
 * (or blank, or a "#" comment); after a D line every line belongs to the body until a line holding
 * a single ".". Lines come from LineReader, which keeps one large buffer, refills it with fread and
 * finds line ends with memchr; a line that does not fit in the buffer is reported by its first bytes
 * and its full length, which is all a body scan needs (where it ends, whether it starts with ".",
 * whether it is the lone "."). No allocation happens per line: records go into arrays that grow
 * geometrically. */
#include "standin/core/cabinet.h"

#include <algorithm>
#include <stdlib.h>
#include <string.h>

/* ---- file offsets ----------------------------------------------------------------------------- */

static int SeekTo(FILE* f, int64_t offset) {
#if defined(_WIN32)
    return _fseeki64(f, offset, SEEK_SET);
#else
    return fseeko(f, (off_t)offset, SEEK_SET);
#endif
}

/* ---- line reader ------------------------------------------------------------------------------- */

enum {
    READ_CHUNK = 4 << 20, /* bytes of one fread; lines up to this length are seen whole */
    LONG_PREFIX = 4096    /* bytes kept of a line longer than the buffer */
};

typedef struct LineReader {
    FILE* file;
    char* buf;                    /* READ_CHUNK bytes */
    size_t pos;                   /* next unread byte in buf */
    size_t end;                   /* bytes held in buf */
    int64_t bufOffset;            /* file offset of buf[0] */
    int eof;                      /* fread gave nothing more */
    char longPrefix[LONG_PREFIX]; /* first bytes of the last over-long line */
} LineReader;

typedef struct Line {
    const char* data;   /* line bytes (only the first ones when whole is 0) */
    size_t length;      /* bytes at data, without the line end */
    int64_t offset;     /* file offset of the first byte */
    int64_t fullLength; /* length of the whole line without its line end */
    int whole;          /* 1 when data holds the whole line */
} Line;

static void Refill(LineReader* r) {
    if (r->pos > 0) {
        memmove(r->buf, r->buf + r->pos, r->end - r->pos);
        r->bufOffset += (int64_t)r->pos;
        r->end -= r->pos;
        r->pos = 0;
    }
    if (r->eof || r->end == READ_CHUNK) return;
    size_t n = fread(r->buf + r->end, 1, READ_CHUNK - r->end, r->file);
    if (n == 0) r->eof = 1;
    r->end += n;
}

/* A line longer than the whole buffer: keep its first bytes, skip to its end. */
static void ReadLongLine(LineReader* r, Line* line) {
    memcpy(r->longPrefix, r->buf, LONG_PREFIX);
    line->data = r->longPrefix;
    line->length = LONG_PREFIX;
    line->offset = r->bufOffset;
    line->whole = 0;
    int64_t length = 0;
    char last = 0;
    for (;;) {
        const char* nl = (const char*)memchr(r->buf + r->pos, '\n', r->end - r->pos);
        if (nl != NULL) {
            size_t n = (size_t)(nl - (r->buf + r->pos));
            length += (int64_t)n;
            if (n > 0) last = nl[-1];
            r->pos += n + 1;
            break;
        }
        size_t n = r->end - r->pos;
        length += (int64_t)n;
        if (n > 0) last = r->buf[r->end - 1];
        r->pos = r->end;
        Refill(r);
        if (r->pos == r->end) break; /* end of file inside the line */
    }
    if (last == '\r') length--;
    line->fullLength = length;
}

/* Next line; 0 at the end of the file. A line end is "\n" or "\r\n"; the last line of the file
 * may have none. */
static int NextLine(LineReader* r, Line* line) {
    for (;;) {
        const char* start = r->buf + r->pos;
        const char* nl = (const char*)memchr(start, '\n', r->end - r->pos);
        if (nl != NULL) {
            size_t n = (size_t)(nl - start);
            r->pos += n + 1;
            if (n > 0 && nl[-1] == '\r') n--;
            line->data = start;
            line->length = n;
            line->offset = r->bufOffset + (int64_t)(start - r->buf);
            line->fullLength = (int64_t)n;
            line->whole = 1;
            return 1;
        }
        if (r->eof) {
            if (r->pos == r->end) return 0;
            size_t n = r->end - r->pos;
            r->pos = r->end;
            if (start[n - 1] == '\r') n--;
            line->data = start;
            line->length = n;
            line->offset = r->bufOffset + (int64_t)(start - r->buf);
            line->fullLength = (int64_t)n;
            line->whole = 1;
            return 1;
        }
        if (r->pos == 0 && r->end == READ_CHUNK) {
            ReadLongLine(r, line);
            return 1;
        }
        Refill(r);
    }
}

/* ---- small parsers ----------------------------------------------------------------------------- */

void CabCopyText(char* dst, size_t size, const char* src, size_t n) {
    if (dst == NULL || size == 0) return;
    size_t len = 0;
    if (src != NULL) {
        while (len < n && len < size - 1 && src[len] != 0)
            len++;
        memcpy(dst, src, len);
    }
    dst[len] = 0;
}

/* Unsigned decimal of 1 to 10 digits that fits in 32 bits. */
static int ParseU32(const char* s, size_t n, uint32_t* out) {
    if (n == 0 || n > 10) return 0;
    uint64_t v = 0;
    for (size_t i = 0; i < n; i++) {
        if (s[i] < '0' || s[i] > '9') return 0;
        v = v * 10 + (uint64_t)(s[i] - '0');
    }
    if (v > 0xFFFFFFFFu) return 0;
    *out = (uint32_t)v;
    return 1;
}

/* Signed decimal with an optional "-" that fits in 32 bits. */
static int ParseI32(const char* s, size_t n, int32_t* out) {
    int negative = n > 0 && s[0] == '-';
    uint32_t v;
    if (!ParseU32(s + negative, n - (size_t)negative, &v)) return 0;
    if (negative ? v > 0x80000000u : v > 0x7FFFFFFFu) return 0;
    *out = negative ? (int32_t)(0u - v) : (int32_t)v;
    return 1;
}

/* Hexadecimal of 1 to 8 digits, either case. */
static int ParseHex32(const char* s, size_t n, uint32_t* out) {
    if (n == 0 || n > 8) return 0;
    uint32_t v = 0;
    for (size_t i = 0; i < n; i++) {
        char c = s[i];
        uint32_t d;
        if (c >= '0' && c <= '9')
            d = (uint32_t)(c - '0');
        else if (c >= 'a' && c <= 'f')
            d = (uint32_t)(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            d = (uint32_t)(c - 'A' + 10);
        else
            return 0;
        v = v << 4 | d;
    }
    *out = v;
    return 1;
}

int CabParseDate(const char* text, size_t length, PackedDate* out) {
    if (length == 1 && text[0] == '0') {
        *out = 0;
        return 1;
    }
    const char* s1 = (const char*)memchr(text, '/', length);
    if (s1 == NULL) return 0;
    const char* rest = s1 + 1;
    size_t restLength = length - (size_t)(rest - text);
    const char* s2 = (const char*)memchr(rest, '/', restLength);
    if (s2 == NULL) return 0;
    size_t dn = (size_t)(s1 - text), mn = (size_t)(s2 - rest), yn = length - (size_t)(s2 + 1 - text);
    uint32_t d, m, y;
    if (dn > 2 || mn > 2 || yn > 4) return 0;
    if (!ParseU32(text, dn, &d) || !ParseU32(rest, mn, &m) || !ParseU32(s2 + 1, yn, &y)) return 0;
    if (d < 1 || d > 31 || m < 1 || m > 12 || y < 1) return 0;
    *out = (PackedDate)(y << 16 | m << 8 | d);
    return 1;
}

void CabFormatDate(char* out, size_t size, PackedDate date) {
    if (date == 0)
        snprintf(out, size, "0");
    else
        snprintf(out, size, "%02u/%02u/%04u", date & 0xFFu, (date >> 8) & 0xFFu, date >> 16);
}

uint32_t CabAge(PackedDate birth, PackedDate today) {
    if (birth == 0 || today == 0 || birth > today) return 0;
    int years = (int)(today >> 16) - (int)(birth >> 16);
    int months = (int)((today >> 8) & 0xFF) - (int)((birth >> 8) & 0xFF);
    if ((int)(today & 0xFF) < (int)(birth & 0xFF)) months--;
    while (months < 0) {
        months += 12;
        years--;
    }
    /* Words that are not real dates (month above 12) still give a bounded month count. */
    years += months / 12;
    months %= 12;
    if (years < 0) return 0;
    return (uint32_t)years << 16 | (uint32_t)months << 8;
}

/* Writes v as exactly width decimal digits (zero-padded) at p; v must fit. */
static void PutDigits(char* p, uint32_t v, int width) {
    for (int i = width - 1; i >= 0; i--) {
        p[i] = (char)('0' + v % 10);
        v /= 10;
    }
}

/* Key text of an entry without snprintf: the loader formats one per entry and the walks one per key.
 * Patient numbers outside 0-9999999 take the general (printf) path. */
static size_t KeyTextInto(char* text, const CabEntry* entry) {
    char prefix = entry->kind == CAB_KIND_SESAM        ? 'S'
                  : entry->kind == CAB_KIND_EXTENSIONS ? 'X'
                  : entry->index == INDEX_FOLDERS      ? 'D'
                                                       : 0;
    int withKey = entry->kind != CAB_KIND_SESAM && entry->kind != CAB_KIND_EXTENSIONS;
    if (entry->patient < 0 || entry->patient > 9999999) {
        int n = withKey ? snprintf(text, CAB_KEY_TEXT_SIZE, "%s%07d%010u", prefix == 'D' ? "D" : "",
                                   (int)entry->patient, entry->key)
                        : snprintf(text, CAB_KEY_TEXT_SIZE, "%c%07d", prefix, (int)entry->patient);
        return n > 0 ? (size_t)n : 0;
    }
    size_t n = 0;
    if (prefix) text[n++] = prefix;
    PutDigits(text + n, (uint32_t)entry->patient, 7);
    n += 7;
    if (withKey) {
        PutDigits(text + n, entry->key, 10);
        n += 10;
    }
    text[n] = 0;
    return n;
}

void CabKeyText(char* out, size_t size, const CabEntry* entry) {
    char text[CAB_KEY_TEXT_SIZE];
    size_t n = KeyTextInto(text, entry);
    CabCopyText(out, size, text, n);
}

void CabSesamKeyText(char* out, size_t size, int32_t patient) {
    snprintf(out, size, "S%07d", (int)patient);
}

void CabExtensionsKeyText(char* out, size_t size, int32_t patient) {
    snprintf(out, size, "X%07d", (int)patient);
}

/* Splits a record line's fields at "|": the first count-1 fields end at a "|", the last one takes
 * the rest of the line (so an author or a social-security number may hold "|"). */
typedef struct Field {
    const char* s;
    size_t n;
} Field;

static int SplitFields(const char* s, size_t n, Field* fields, int count) {
    for (int i = 0; i < count - 1; i++) {
        const char* bar = (const char*)memchr(s, '|', n);
        if (bar == NULL) return 0;
        fields[i].s = s;
        fields[i].n = (size_t)(bar - s);
        n -= fields[i].n + 1;
        s = bar + 1;
    }
    fields[count - 1].s = s;
    fields[count - 1].n = n;
    return 1;
}

static int StartsWith(const Line* line, const char* word) {
    size_t n = strlen(word);
    return line->length >= n && memcmp(line->data, word, n) == 0;
}

/* ---- record lines ------------------------------------------------------------------------------ */

static int ParsePatient(const char* s, size_t n, CabPatient* p) {
    Field f[5];
    if (!SplitFields(s, n, f, 5)) return 0;
    memset(p, 0, sizeof *p);
    if (!ParseI32(f[0].s, f[0].n, &p->number)) return 0;
    if (!CabParseDate(f[3].s, f[3].n, &p->birth)) return 0;
    CabCopyText(p->lastName, sizeof p->lastName, f[1].s, f[1].n);
    CabCopyText(p->firstName, sizeof p->firstName, f[2].s, f[2].n);
    CabCopyText(p->ssNumber, sizeof p->ssNumber, f[4].s, f[4].n);
    return 1;
}

/* S, X and E lines: key|patient|value. */
static int ParseShortEntry(char kind, const char* s, size_t n, CabEntry* e) {
    Field f[3];
    if (!SplitFields(s, n, f, 3)) return 0;
    memset(e, 0, sizeof *e);
    e->kind = kind;
    e->index = INDEX_FOLDERS;
    if (!ParseU32(f[0].s, f[0].n, &e->key) || e->key == 0) return 0;
    if (!ParseI32(f[1].s, f[1].n, &e->patient)) return 0;
    if (kind == CAB_KIND_SESAM) {
        e->type = CAB_TYPE_SESAM;
        CabCopyText(e->text, INFOSESAM_SCHEME_CODE_SIZE, f[2].s, f[2].n);
    } else if (kind == CAB_KIND_EXTENSIONS) {
        e->type = CAB_TYPE_EXTENSIONS;
        if (!ParseI32(f[2].s, f[2].n, &e->code)) return 0;
    } else {
        uint32_t type;
        if (!ParseU32(f[2].s, f[2].n, &type) || type > 0xFFFF) return 0;
        e->type = (uint16_t)type;
    }
    return 1;
}

/* D index|key|type|patient|date|stamp|author */
static int ParseDocument(const char* s, size_t n, CabEntry* e) {
    Field f[7];
    if (!SplitFields(s, n, f, 7)) return 0;
    memset(e, 0, sizeof *e);
    e->kind = CAB_KIND_DOCUMENT;
    uint32_t index, type;
    if (!ParseU32(f[0].s, f[0].n, &index)) return 0;
    if (index != INDEX_FOLDERS && index != INDEX_PRESCRIPTION_FILES && index != INDEX_LETTER_FILES) return 0;
    e->index = (uint16_t)index;
    if (!ParseU32(f[1].s, f[1].n, &e->key) || e->key == 0) return 0;
    if (!ParseU32(f[2].s, f[2].n, &type) || type > 0xFFFF) return 0;
    e->type = (uint16_t)type;
    if (!ParseI32(f[3].s, f[3].n, &e->patient)) return 0;
    if (!CabParseDate(f[4].s, f[4].n, &e->date)) return 0;
    if (!ParseHex32(f[5].s, f[5].n, &e->stamp)) return 0;
    CabCopyText(e->text, HEADER_AUTHOR_SIZE, f[6].s, f[6].n);
    return 1;
}

/* ---- loading ----------------------------------------------------------------------------------- */

void CabInit(Cabinet* cab) {
    cab->file = NULL;
    cab->path[0] = 0;
    cab->today = 0;
    cab->hasPass = 0;
    cab->pass[0] = 0;
    cab->patients.clear();
    cab->entries.clear();
    cab->folders.walk.clear();
    cab->folders.byKey.clear();
    cab->prescriptionFiles.walk.clear();
    cab->prescriptionFiles.byKey.clear();
    cab->letterFiles.walk.clear();
    cab->letterFiles.byKey.clear();
    cab->linesSkipped = 0;
    cab->duplicatesDropped = 0;
}

static void ReleaseVector(std::vector<uint32_t>* v) {
    std::vector<uint32_t>().swap(*v);
}

void CabFree(Cabinet* cab) {
    if (cab->file != NULL) fclose(cab->file);
    std::vector<CabPatient>().swap(cab->patients);
    std::vector<CabEntry>().swap(cab->entries);
    CabIndex* indexes[3] = {&cab->folders, &cab->prescriptionFiles, &cab->letterFiles};
    for (CabIndex* ix : indexes) {
        ReleaseVector(&ix->walk);
        std::vector<CabKeyRef>().swap(ix->byKey);
    }
    CabInit(cab);
}

/* Skips the rest of a line that runs past the buffer, from r->pos; returns the file offset where its
 * content ends (before "\r\n", "\n", or the end of the file). */
static int64_t SkipLongLine(LineReader* r) {
    int64_t length = r->bufOffset + (int64_t)r->pos;
    char last = 0;
    for (;;) {
        const char* p = r->buf + r->pos;
        size_t avail = r->end - r->pos;
        const char* nl = (const char*)memchr(p, '\n', avail);
        if (nl != NULL) {
            size_t n = (size_t)(nl - p);
            if (n > 0) last = nl[-1];
            length = r->bufOffset + (int64_t)(r->pos + n);
            r->pos += n + 1;
            break;
        }
        if (avail > 0) last = p[avail - 1];
        r->pos = r->end;
        length = r->bufOffset + (int64_t)r->end;
        Refill(r);
        if (r->pos == r->end) break; /* end of file inside the line */
    }
    return last == '\r' ? length - 1 : length;
}

/* Scans a document body from the line after its D line. Fills the entry's body offset, length and
 * stuffed flag (when entry is not NULL); returns 0 when the file ended without the closing ".".
 * This is the loader's inner loop (most lines of a cabinet are body lines), so it works on the read
 * buffer directly: one memchr per line, and a look at the first bytes of each line for the closing
 * "." or a stuffed one. It cuts lines exactly as NextLine does. */
static int ScanBody(LineReader* r, CabEntry* entry) {
    int64_t start = r->bufOffset + (int64_t)r->pos;
    int64_t end = start; /* end of the content of the last body line */
    int stuffed = 0;
    int closed = 0;
    for (;;) {
        /* At a line start: have its first three bytes at hand, or the end of the file. */
        while (r->end - r->pos < 3 && !r->eof)
            Refill(r);
        size_t avail = r->end - r->pos;
        if (avail == 0) break;
        const char* p = r->buf + r->pos;
        if (p[0] == '.') {
            size_t closing = 0;
            if (avail == 1)
                closing = 1; /* "." at the end of the file */
            else if (p[1] == '\n')
                closing = 2; /* ".\n" */
            else if (p[1] == '\r' && avail == 2)
                closing = 2; /* ".\r" at the end of the file */
            else if (p[1] == '\r' && p[2] == '\n')
                closing = 3; /* ".\r\n" */
            if (closing != 0) {
                r->pos += closing;
                closed = 1;
                break;
            }
            stuffed = 1;
        }
        const char* nl = (const char*)memchr(p, '\n', avail);
        if (nl != NULL) {
            size_t n = (size_t)(nl - p);
            end = r->bufOffset + (int64_t)(r->pos + n) - (n > 0 && nl[-1] == '\r' ? 1 : 0);
            r->pos += n + 1;
            continue;
        }
        end = SkipLongLine(r);
    }
    if (entry != NULL) {
        entry->bodyOffset = start;
        /* Bodies over 4 GB cannot be handed out anyway; cut the length. */
        entry->bodyLength = end - start > (int64_t)0xFFFFFFFEu ? 0xFFFFFFFEu : (uint32_t)(end - start);
        entry->stuffed = (uint8_t)stuffed;
    }
    return closed;
}

static bool PatientLess(const CabPatient& a, const CabPatient& b) {
    return a.number < b.number;
}

/* Sort key of the walk order, built once for the sort. While every patient number of the index has
 * at most seven digits, key text order is the order of (prefix, patient, key) as numbers, packed into
 * one word: prefix rank in bits 56-57, patient in bits 32-55, key in bits 0-31 (0 for S and X, whose
 * key text holds no key). Otherwise the texts themselves are compared. Ties keep file order. */
typedef struct WalkKey {
    uint64_t packed;
    uint32_t entry;
} WalkKey;

static bool WalkPackedLess(const WalkKey& a, const WalkKey& b) {
    return a.packed != b.packed ? a.packed < b.packed : a.entry < b.entry;
}

typedef struct WalkText {
    char text[CAB_KEY_TEXT_SIZE];
    uint32_t entry;
} WalkText;

static bool WalkTextLess(const WalkText& a, const WalkText& b) {
    int c = strcmp(a.text, b.text);
    return c != 0 ? c < 0 : a.entry < b.entry;
}

static uint64_t PackedWalkKey(const CabEntry* e) {
    uint64_t rank = e->kind == CAB_KIND_SESAM ? 1 : e->kind == CAB_KIND_EXTENSIONS ? 2 : 0;
    uint64_t key = e->kind == CAB_KIND_SESAM || e->kind == CAB_KIND_EXTENSIONS ? 0 : e->key;
    return rank << 56 | (uint64_t)(uint32_t)e->patient << 32 | key;
}

static bool KeyRefLess(const CabKeyRef& a, const CabKeyRef& b) {
    return a.key != b.key ? a.key < b.key : a.entry < b.entry;
}

/* Builds both orderings of one index from the entries that belong to it. */
static void BuildIndex(Cabinet* cab, int index, CabIndex* ix) {
    std::vector<CabKeyRef> refs;
    for (size_t i = 0; i < cab->entries.size(); i++)
        if (cab->entries[i].index == index) refs.push_back(CabKeyRef{cab->entries[i].key, (uint32_t)i});
    std::sort(refs.begin(), refs.end(), KeyRefLess);
    /* Keep the first occurrence of each key (lowest file position). */
    size_t kept = 0;
    for (size_t i = 0; i < refs.size(); i++) {
        if (kept > 0 && refs[kept - 1].key == refs[i].key) {
            cab->duplicatesDropped++;
            continue;
        }
        refs[kept++] = refs[i];
    }
    refs.resize(kept);
    int packable = 1;
    for (size_t i = 0; i < kept && packable; i++) {
        int32_t patient = cab->entries[refs[i].entry].patient;
        packable = patient >= 0 && patient <= 9999999;
    }
    ix->walk.resize(kept);
    if (packable) {
        std::vector<WalkKey> walk(kept);
        for (size_t i = 0; i < kept; i++) {
            walk[i].packed = PackedWalkKey(&cab->entries[refs[i].entry]);
            walk[i].entry = refs[i].entry;
        }
        std::sort(walk.begin(), walk.end(), WalkPackedLess);
        for (size_t i = 0; i < kept; i++)
            ix->walk[i] = walk[i].entry;
    } else {
        std::vector<WalkText> walk(kept);
        for (size_t i = 0; i < kept; i++) {
            KeyTextInto(walk[i].text, &cab->entries[refs[i].entry]);
            walk[i].entry = refs[i].entry;
        }
        std::sort(walk.begin(), walk.end(), WalkTextLess);
        for (size_t i = 0; i < kept; i++)
            ix->walk[i] = walk[i].entry;
    }
    ix->byKey.swap(refs);
}

static void FinishPatients(Cabinet* cab) {
    std::stable_sort(cab->patients.begin(), cab->patients.end(), PatientLess);
    size_t kept = 0;
    for (size_t i = 0; i < cab->patients.size(); i++) {
        if (kept > 0 && cab->patients[kept - 1].number == cab->patients[i].number) {
            cab->duplicatesDropped++;
            continue;
        }
        cab->patients[kept++] = cab->patients[i];
    }
    cab->patients.resize(kept);
    std::vector<CabPatient>(cab->patients).swap(cab->patients);
}

/* One record line outside a document body. Returns 0 for a line that is skipped. */
static int LoadRecordLine(Cabinet* cab, const Line* line) {
    if (!line->whole) return 0;
    const char* s = line->data;
    size_t n = line->length;
    if (n >= 2 && s[1] == ' ') {
        CabEntry e;
        switch (s[0]) {
        case 'P': {
            CabPatient p;
            if (!ParsePatient(s + 2, n - 2, &p)) return 0;
            cab->patients.push_back(p);
            return 1;
        }
        case 'S':
        case 'X':
        case 'E':
            if (!ParseShortEntry(s[0], s + 2, n - 2, &e)) return 0;
            cab->entries.push_back(e);
            return 1;
        default:
            break;
        }
    }
    if (StartsWith(line, "TODAY ")) {
        PackedDate d;
        if (!CabParseDate(s + 6, n - 6, &d)) return 0;
        cab->today = d;
        return 1;
    }
    if (StartsWith(line, "PASS ")) {
        cab->hasPass = 1;
        CabCopyText(cab->pass, sizeof cab->pass, s + 5, n - 5);
        return 1;
    }
    return 0;
}

/* Opens a file for reading line by line; NULL when it cannot be opened or memory runs out. */
static LineReader* OpenLineReader(const char* path) {
    FILE* f = fopen(path, "rb");
    if (f == NULL) return NULL;
    LineReader* r = (LineReader*)malloc(sizeof(LineReader));
    char* buf = (char*)malloc(READ_CHUNK);
    if (r == NULL || buf == NULL) {
        free(r);
        free(buf);
        fclose(f);
        return NULL;
    }
    memset(r, 0, sizeof *r);
    r->file = f;
    r->buf = buf;
    return r;
}

/* Releases the reader's buffers; hands back its file, still open, when keepFile is set. */
static FILE* CloseLineReader(LineReader* r, int keepFile) {
    FILE* f = r->file;
    free(r->buf);
    free(r);
    if (!keepFile) {
        fclose(f);
        return NULL;
    }
    return f;
}

int CabLoad(Cabinet* cab, const char* path) {
    CabFree(cab);
    if (path == NULL) return 0;
    LineReader* r = OpenLineReader(path);
    if (r == NULL) return 0;
    CabCopyText(cab->path, sizeof cab->path, path, strlen(path));

    int sawMagic = 0;
    Line line;
    while (NextLine(r, &line)) {
        if (line.length == 0 || line.data[0] == '#') continue;
        if (!sawMagic) {
            if (!(line.whole && line.length == 7 && memcmp(line.data, "HDCAB 1", 7) == 0)) break;
            sawMagic = 1;
            continue;
        }
        if (line.length >= 2 && line.data[0] == 'D' && line.data[1] == ' ') {
            CabEntry e;
            if (line.whole && ParseDocument(line.data + 2, line.length - 2, &e)) {
                ScanBody(r, &e);
                cab->entries.push_back(e);
            } else {
                /* A broken header still owns its body. */
                cab->linesSkipped++;
                ScanBody(r, NULL);
            }
            continue;
        }
        if (!LoadRecordLine(cab, &line)) cab->linesSkipped++;
    }
    FILE* f = CloseLineReader(r, sawMagic);
    if (!sawMagic) {
        CabFree(cab);
        return 0;
    }
    cab->file = f;
    std::vector<CabEntry>(cab->entries).swap(cab->entries);
    FinishPatients(cab);
    BuildIndex(cab, INDEX_FOLDERS, &cab->folders);
    BuildIndex(cab, INDEX_PRESCRIPTION_FILES, &cab->prescriptionFiles);
    BuildIndex(cab, INDEX_LETTER_FILES, &cab->letterFiles);
    return 1;
}

/* ---- lookups ----------------------------------------------------------------------------------- */

const CabIndex* CabGetIndex(const Cabinet* cab, int index) {
    switch (index) {
    case INDEX_FOLDERS:
        return &cab->folders;
    case INDEX_PRESCRIPTION_FILES:
        return &cab->prescriptionFiles;
    case INDEX_LETTER_FILES:
        return &cab->letterFiles;
    default:
        return NULL;
    }
}

const CabEntry* CabFindEntry(const Cabinet* cab, int index, uint32_t key) {
    const CabIndex* ix = CabGetIndex(cab, index);
    if (ix == NULL) return NULL;
    size_t lo = 0, hi = ix->byKey.size();
    while (lo < hi) {
        size_t mid = lo + (hi - lo) / 2;
        if (ix->byKey[mid].key < key)
            lo = mid + 1;
        else
            hi = mid;
    }
    if (lo < ix->byKey.size() && ix->byKey[lo].key == key) return &cab->entries[ix->byKey[lo].entry];
    return NULL;
}

long CabFindKeyText(const Cabinet* cab, int index, const char* keyText) {
    const CabIndex* ix = CabGetIndex(cab, index);
    if (ix == NULL || keyText == NULL) return -1;
    char probe[CAB_KEY_TEXT_SIZE];
    size_t lo = 0, hi = ix->walk.size();
    while (lo < hi) {
        size_t mid = lo + (hi - lo) / 2;
        KeyTextInto(probe, &cab->entries[ix->walk[mid]]);
        if (strcmp(probe, keyText) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    if (lo < ix->walk.size()) {
        KeyTextInto(probe, &cab->entries[ix->walk[lo]]);
        if (strcmp(probe, keyText) == 0) return (long)lo;
    }
    return -1;
}

const CabEntry* CabWalkEntry(const Cabinet* cab, int index, long pos) {
    const CabIndex* ix = CabGetIndex(cab, index);
    if (ix == NULL || pos < 0 || (size_t)pos >= ix->walk.size()) return NULL;
    return &cab->entries[ix->walk[(size_t)pos]];
}

const CabPatient* CabFindPatient(const Cabinet* cab, int32_t number) {
    size_t lo = 0, hi = cab->patients.size();
    while (lo < hi) {
        size_t mid = lo + (hi - lo) / 2;
        if (cab->patients[mid].number < number)
            lo = mid + 1;
        else
            hi = mid;
    }
    if (lo < cab->patients.size() && cab->patients[lo].number == number) return &cab->patients[lo];
    return NULL;
}

/* ---- document text ----------------------------------------------------------------------------- */

/* Drops the extra "." at the start of every stuffed line, in place. */
static size_t Unstuff(char* text, size_t length) {
    size_t out = 0;
    int lineStart = 1;
    for (size_t i = 0; i < length; i++) {
        char c = text[i];
        if (lineStart && c == '.') {
            lineStart = 0;
            continue;
        }
        lineStart = c == '\n';
        text[out++] = c;
    }
    return out;
}

long CabReadText(Cabinet* cab, const CabEntry* entry, char* dst) {
    if (cab->file == NULL || entry == NULL || entry->kind != CAB_KIND_DOCUMENT || dst == NULL) return -1;
    size_t length = entry->bodyLength;
    if (length > 0) {
        if (SeekTo(cab->file, entry->bodyOffset) != 0) return -1;
        if (fread(dst, 1, length, cab->file) != length) return -1;
        if (entry->stuffed) length = Unstuff(dst, length);
    }
    dst[length] = 0;
    return (long)length;
}

/* ---- pass table -------------------------------------------------------------------------------- */

int CabLoadPasses(const char* path, std::vector<CabPass>* passes) {
    passes->clear();
    if (path == NULL) return 0;
    LineReader* r = OpenLineReader(path);
    if (r == NULL) return 0;
    Line line;
    while (NextLine(r, &line)) {
        if (!line.whole || line.length == 0 || line.data[0] == '#') continue;
        const char* s = line.data;
        size_t n = line.length;
        const char* bar1 = (const char*)memchr(s, '|', n);
        if (bar1 == NULL) continue;
        const char* rest = bar1 + 1;
        size_t restLength = n - (size_t)(rest - s);
        const char* bar2 = (const char*)memchr(rest, '|', restLength);
        CabPass p;
        CabCopyText(p.directory, sizeof p.directory, s, (size_t)(bar1 - s));
        if (bar2 == NULL) {
            CabCopyText(p.pass, sizeof p.pass, rest, restLength);
            p.name[0] = 0;
        } else {
            CabCopyText(p.pass, sizeof p.pass, rest, (size_t)(bar2 - rest));
            CabCopyText(p.name, sizeof p.name, bar2 + 1, n - (size_t)(bar2 + 1 - s));
        }
        passes->push_back(p);
    }
    CloseLineReader(r, 0);
    return 1;
}

/* ---- writing ----------------------------------------------------------------------------------- */

int CabWriteBody(FILE* out, const char* text, size_t length, int crlf) {
    const char* eol = crlf ? "\r\n" : "\n";
    size_t eolLength = crlf ? 2 : 1;
    int ok = 1;
    size_t i = 0;
    while (i < length) {
        if (text[i] == '.' && fputc('.', out) == EOF) ok = 0;
        const char* nl = (const char*)memchr(text + i, '\n', length - i);
        size_t n = nl != NULL ? (size_t)(nl - (text + i)) + 1 : length - i;
        if (fwrite(text + i, 1, n, out) != n) ok = 0;
        i += n;
    }
    /* The line end before the closing "." is not part of the text. */
    if (length > 0 && fwrite(eol, 1, eolLength, out) != eolLength) ok = 0;
    if (fputc('.', out) == EOF || fwrite(eol, 1, eolLength, out) != eolLength) ok = 0;
    return ok;
}
