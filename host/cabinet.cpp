/* The current cabinet's process-wide texts and the portable parts of opening it: the host version
 * levels, the case-insensitive directory comparison and registry text checking (see cabinet.h). */
#include "host/cabinet.h"

char CabinetsRoot[CABINET_TEXT_SIZE];
char CabinetName[CABINET_TEXT_SIZE];
char CabinetDirectory[CABINET_TEXT_SIZE];
int32_t HostApiLevel;

int HostLevelFromVersion(unsigned major, unsigned minor) {
    if (major != 5) return 0;
    switch (minor) {
    case 0:
    case 1:
        return 1;
    case 5:
    case 51:
    case 55:
    case 60:
        return 2;
    }
    return 0;
}

/* Windows-1252 capital to small letter; every other byte unchanged. */
static unsigned char LowerCp1252(unsigned char c) {
    if (c >= 'A' && c <= 'Z') return (unsigned char)(c + 32);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return (unsigned char)(c + 32);
    switch (c) {
    case 0x8A:
        return 0x9A; /* Š */
    case 0x8C:
        return 0x9C; /* Œ */
    case 0x8E:
        return 0x9E; /* Ž */
    case 0x9F:
        return 0xFF; /* Ÿ */
    }
    return c;
}

int SameDirectoryName(const char* a, const char* b, size_t max) {
    if (max == 0) return 0; /* nothing compared proves nothing equal */
    if (a == NULL) a = "";
    if (b == NULL) b = "";
    for (size_t i = 0; i < max; i++) {
        unsigned char ca = LowerCp1252((unsigned char)a[i]);
        unsigned char cb = LowerCp1252((unsigned char)b[i]);
        if (ca != cb) return 0;
        if (ca == 0) return 1;
    }
    return 1; /* equal over the whole bounded length */
}

void AcceptRegistryText(char* buf, size_t size, int ok, size_t length) {
    if (size == 0) return;
    if (!ok || length == 0 || length > size) {
        buf[0] = 0;
        return;
    }
    if (buf[length - 1] == 0) return; /* stored with its terminator */
    if (length < size) {
        buf[length] = 0; /* stored without one, and there is room for it */
        return;
    }
    buf[0] = 0; /* fills the buffer with no terminator: too long */
}
