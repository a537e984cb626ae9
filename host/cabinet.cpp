/* The current cabinet's process-wide texts and the portable parts of opening it: the host version
 * levels, registry text checking (see cabinet.h). */
#include "host/cabinet.h"

#include "base/str.h"

HostValues Host;

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
