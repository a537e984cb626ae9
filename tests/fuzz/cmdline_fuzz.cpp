/* Fuzz target of the command-line skip rule: random bytes as the process command line, in a block
 * of its exact size with its terminator (a zero byte inside ends it early).
 * Checked: the result points into the line, at or before its terminator, with no space at it; what
 * it skipped is the program name (quoted: up to and with the closing quote, or the whole line
 * without one; unquoted: up to the first space) and then only spaces; nothing is read outside the
 * block (ASan). */
#include "app/cmdline.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>

namespace {

void Check(bool ok) {
    if (!ok) abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    char* line = (char*)malloc(size + 1);
    if (size > 0) memcpy(line, data, size);
    line[size] = 0;
    std::string text(line); /* up to the first zero */

    const char* rest = SkipProgramName(line);
    Check(rest >= line && rest <= line + text.size());
    size_t at = (size_t)(rest - line);
    size_t nameEnd;
    if (!text.empty() && text[0] == '"') {
        size_t close = text.find('"', 1);
        nameEnd = close == std::string::npos ? text.size() : close + 1;
    } else {
        nameEnd = text.find(' ');
        if (nameEnd == std::string::npos) nameEnd = text.size();
    }
    size_t argsStart = text.find_first_not_of(' ', nameEnd);
    if (argsStart == std::string::npos) argsStart = text.size();
    Check(at == argsStart);
    Check(*rest != ' ');
    Check(SkipProgramName(nullptr)[0] == 0);
    free(line);
    return 0;
}
