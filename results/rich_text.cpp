/* The rich text of a document (see rich_text.h). */
#include "results/rich_text.h"

#include "base/str.h"

#include <stdint.h>
#include <string.h>

/* The first occurrence of `pattern` in text[0, length), or NULL. */
static char* FindBytes(char* text, size_t length, const char* pattern) {
    size_t n = strlen(pattern);
    if (n == 0 || length < n) return NULL;
    for (size_t i = 0; i + n <= length; i++)
        if (text[i] == pattern[0] && memcmp(text + i, pattern, n) == 0) return text + i;
    return NULL;
}

char* CutRichText(char* text, size_t size, const char** end) {
    if (end != NULL) *end = NULL;
    if (text == NULL || size == 0 || end == NULL) return NULL;
    size_t length = StrLenBounded(text, size);
    if (length == size) text[--length] = 0; /* no terminator within the block: cut one byte short */
    char* start = FindBytes(text, length, "<rtf>");
    if (start == NULL) return NULL;
    start += 5;
    char* close = FindBytes(start, length - (size_t)(start - text), "</rtf>");
    if (close != NULL) *close = 0;
    *end = (close != NULL ? close : text + length) + 1;
    return start;
}

size_t RichTextChunk(const char* position, const char* end, char* destination, size_t wanted) {
    if (position == NULL || end == NULL || destination == NULL || wanted == 0 ||
        (uintptr_t)position >= (uintptr_t)end)
        return 0;
    size_t left = (size_t)(end - position);
    size_t n = StrLenBounded(position, left - 1) + 1; /* the text and its terminator, never past the end */
    if (n > wanted) n = wanted;
    memcpy(destination, position, n);
    return n;
}
