/* Fuzz target of the catalogue refresh's index file: random bytes as a downloaded index.
 *
 * Input layout (every part may be short or missing):
 *   bytes 0-1   size of the address buffer, little-endian, taken modulo 600 (0 included);
 *   byte 2      bit 0: the file size is the content's size; otherwise bytes 3-10 give it;
 *   bytes 3-10  the file size, little-endian (any 64-bit value);
 *   the rest    the content read from the file, in a block of its exact size.
 * Checked: the address is terminated within its buffer and is the content up to its first zero
 * byte, cut to the buffer; an address is found exactly when the file size lies in 1 .. 258 and the
 * content starts with a non-zero byte (and the buffer holds more than the terminator); nothing is
 * read or written outside its block. */
#include "catalogue/index_file.h"

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
    if (size < 11) return 0;
    size_t urlSize = (size_t)(data[0] | data[1] << 8) % 600;
    size_t count = size - 11;
    uint64_t fileSize = count;
    if (!(data[2] & 1)) {
        fileSize = 0;
        for (int i = 0; i < 8; i++)
            fileSize |= (uint64_t)data[3 + i] << (8 * i);
    }
    char* bytes = (char*)malloc(count == 0 ? 1 : count);
    memcpy(bytes, data + 11, count);
    char* url = (char*)malloc(urlSize == 0 ? 1 : urlSize);
    if (urlSize > 0) memset(url, 'Q', urlSize);

    int found = ListUrlFromIndex(bytes, count, fileSize, url, urlSize);
    std::string content(bytes, count);
    content = content.c_str(); /* up to the first zero byte */
    bool valid = fileSize >= 1 && fileSize < INDEX_SIZE_LIMIT;
    if (urlSize == 0) {
        Check(found == 0);
    } else {
        Check(memchr(url, 0, urlSize) != nullptr);
        Check(found == (url[0] != 0));
        Check(found == (valid && !content.empty() && urlSize > 1));
        if (found)
            Check(content.substr(0, urlSize - 1) == url);
        else
            Check(url[0] == 0);
    }
    free(url);
    free(bytes);
    return 0;
}
