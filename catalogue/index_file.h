/* The index file of the catalogue refresh.
 *
 * The refresh first downloads a short index file whose whole content is the address of the list
 * file. The address is taken byte for byte, nothing trimmed (a line end after it is part of it), up
 * to a zero byte if the file holds one. An empty file, or one of INDEX_SIZE_LIMIT bytes or more, is
 * no index: the refresh stops there. */
#ifndef SONDREL_CATALOGUE_INDEX_FILE_H
#define SONDREL_CATALOGUE_INDEX_FILE_H

#include <stddef.h>
#include <stdint.h>

enum {
    INDEX_SIZE_LIMIT = 259, /* an index file of this many bytes or more is ignored */
    URL_BUFFER_SIZE = 260   /* the list address read from the index file, terminated */
};

/* The list address into url[size] from the first `count` bytes of an index file of `fileSize` bytes.
 * Returns 1 when there is one; 0 with url emptied (when size allows) otherwise. */
int ListUrlFromIndex(const char* bytes, size_t count, uint64_t fileSize, char* url, size_t size);

#endif
