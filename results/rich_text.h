/* The rich text of a document, as the viewer hands it to the rich-text control.
 *
 * A document text from the host is a memory block that should hold a terminated text; the viewer
 * shows the part between "<rtf>" and "</rtf>". The part is cut off in place (a zero byte over the
 * closing marker) and streamed to the control chunk by chunk, its terminator included, straight
 * from the block. Markers are matched byte for byte (the host writes them in small letters). */
#ifndef SONDREL_RESULTS_RICH_TEXT_H
#define SONDREL_RESULTS_RICH_TEXT_H

#include <stddef.h>

/* Cuts the rich text out of a text block of `size` bytes (at least 1). A block without a terminator
 * is cut one byte short, where the terminator goes. Returns the first byte after "<rtf>" and sets
 * *end one past the rich text's terminator (the zero written over "</rtf>", or the text's own
 * terminator when "</rtf>" is missing); NULL when the text holds no "<rtf>". */
char* CutRichText(char* text, size_t size, const char** end);

/* The next chunk of the stream from `position` (before `end`): the bytes up to and with the next
 * zero byte, never past `end`, at most `wanted` of them, copied to `destination`. Returns their
 * count; 0 when nothing is left or an argument is missing (the stream ends). */
size_t RichTextChunk(const char* position, const char* end, char* destination, size_t wanted);

#endif
