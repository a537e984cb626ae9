/* The index file of the catalogue refresh (see index_file.h). */
#include "catalogue/index_file.h"

#include "base/str.h"

int ListUrlFromIndex(const char* bytes, size_t count, uint64_t fileSize, char* url, size_t size) {
    if (size == 0) return 0;
    url[0] = 0;
    if (fileSize == 0 || fileSize >= INDEX_SIZE_LIMIT || bytes == NULL) return 0;
    StrCopyN(url, size, bytes, count);
    return url[0] != 0;
}
