/* Fuzz target of the viewer's rich-text cutting and streaming: random bytes as a locked document
 * text block, streamed in chunks the way the rich-text control asks for them.
 *
 * Input layout: byte 0 seeds the sizes the control asks for (1 .. 64, or 4096 when bit 7 is set);
 * the rest is the block, held in memory of its exact size (it need not hold a terminator).
 * Checked: a block without "<rtf>" in its text gives nothing; otherwise the streamed bytes are
 * exactly those from after the first "<rtf>" up to the first "</rtf>" after it (or the text's end),
 * with a zero in the marker's place; each chunk holds at most what was asked and ends at the first
 * zero it meets; the stream ends; nothing is read or written outside the block (ASan). */
#include "results/rich_text.h"

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
    if (size < 2) return 0;
    unsigned seed = data[0];
    size_t blockSize = size - 1;
    char* block = (char*)malloc(blockSize);
    memcpy(block, data + 1, blockSize);

    /* What the stream must give, from a copy. */
    std::string all((const char*)data + 1, blockSize);
    size_t length = all.find('\0');
    if (length == std::string::npos) length = blockSize - 1;
    std::string text = all.substr(0, length);
    size_t open = text.find("<rtf>");
    std::string want;
    if (open != std::string::npos) {
        size_t close = text.find("</rtf>", open + 5);
        want = text.substr(open + 5, (close == std::string::npos ? length : close) - open - 5);
        want += '\0';
    }

    const char* end = nullptr;
    char* start = CutRichText(block, blockSize, &end);
    Check((start == nullptr) == (open == std::string::npos));
    if (start != nullptr) {
        Check(start == block + open + 5 && end > start && end <= block + blockSize);
        std::string streamed;
        const char* position = start;
        char chunk[4096];
        for (;;) {
            seed = seed * 1103515245u + 12345u;
            size_t wanted = (data[0] & 0x80) ? sizeof chunk : 1 + (seed >> 8) % 64;
            size_t n = RichTextChunk(position, end, chunk, wanted);
            if (n == 0) break;
            Check(n <= wanted && position + n <= end);
            Check(memchr(chunk, 0, n - 1) == nullptr); /* a chunk ends at the first zero it meets */
            streamed.append(chunk, n);
            position += n;
        }
        Check(position == end);
        /* A zero byte before the end (none in the cut text) would have ended a chunk early. */
        Check(streamed == want);
    }
    Check(RichTextChunk(nullptr, end, block, 1) == 0);
    free(block);
    return 0;
}
