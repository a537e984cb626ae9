/* Skipping the program name at the start of the command line. See cmdline.h. */
#include "app/cmdline.h"

const char* SkipProgramName(const char* line) {
    if (line == nullptr) return "";
    const char* p = line;
    if (*p == '"') {
        ++p;
        while (*p != '\0' && *p != '"')
            ++p;
        /* A missing closing quote leaves p on the terminator: the whole line was the name. */
        if (*p == '"') ++p;
    } else {
        while (*p != '\0' && *p != ' ')
            ++p;
    }
    while (*p == ' ')
        ++p;
    return p;
}
