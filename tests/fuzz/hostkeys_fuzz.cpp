/* Fuzz target of the run's key collection (CollectAllKeys): any key counts the host reports, any
 * keys, types and key texts it hands out, and a failing allocation.
 *
 * Input layout (every part may be short or missing):
 *   bytes 0-3   the folder index's key count, little-endian, signed (negative and absurd too);
 *   bytes 4-7   the file index's key count, the same;
 *   byte 8      bit 0: prescriptions (file index 282, type 7) instead of letters (284, type 6);
 *               bits 1-2: the n-th allocation of the collection fails (0: none, 1 or 2);
 *   the rest    what the host hands out, one key after another, both walks drawing on the same
 *               stream: the key (4 bytes; 0 ends a walk), the type GetDossiersType answers for it
 *               (4 bytes, signed, any upper half), a length byte L and L bytes of which the first
 *               (L mod 65) are written over the start of the 64-byte key text buffer, the rest of
 *               the buffer keeping what earlier keys left there. When the bytes run out, the host
 *               has no more keys.
 * Checked against a plain walk written here: the counts are asked for once each, folders first; a
 * folder count of 0 or less takes one key, a negative file count none; no walk asks for more keys
 * than its count; the first key of each walk is asked with `first`; a key whose text has no
 * terminator in the buffer is skipped and its type not asked for; the type is compared on its low
 * 16 bits; the lists hold exactly the kept keys, sorted; a count no block can hold, or a failed
 * allocation, gives 0 with no list, no key asked for and no block left; FreeKeyLists releases
 * everything.
 * Blocks above 1 MB (counts above 262,144) are refused here as by a machine out of memory
 * (ObserveSize): the seam's own limit lies far above, and allocating and poisoning hundreds of
 * megabytes under AddressSanitizer would cut the target to a few executions per second. Such counts
 * thus take the failure path, as do those beyond the seam's limit; the plain walk expects it. */
#include "base/alloc.h"
#include "host/records.h"
#include "search/search_run_plan.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <vector>

namespace {

void Check(bool ok) {
    if (!ok) abort();
}

int32_t Int(const uint8_t* p) {
    return (int32_t)((uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24);
}

struct Entry {
    uint32_t key;
    int32_t type;
    const uint8_t* text;
    size_t textLength; /* bytes written over the buffer, at most KEY_TEXT_SIZE */
};

/* Splits the stream into the entries the host hands out; an entry cut short is not handed out. */
std::vector<Entry> Entries(const uint8_t* p, size_t n) {
    std::vector<Entry> entries;
    size_t at = 0;
    while (at + 9 <= n) {
        Entry e;
        e.key = (uint32_t)Int(p + at);
        e.type = Int(p + at + 4);
        size_t length = p[at + 8];
        at += 9;
        if (at + length > n) length = n - at;
        e.text = p + at;
        e.textLength = std::min(length, (size_t)p[at - 1] % (KEY_TEXT_SIZE + 1));
        at += length;
        entries.push_back(e);
    }
    return entries;
}

struct FakeHost {
    int32_t counts[2];
    int fileIndex;
    int countCalls;
    std::vector<Entry> entries;
    size_t handedOut;
    int currentIndex;   /* the index walked by the last key asked for, -1 before any */
    long askedInWalk;   /* keys asked for in the current walk */
    long askedLimit[2]; /* the most keys a walk may ask for */
    int walk;           /* 0 folders, 1 files */
    int typeCalls;
    const Entry* last;
};

int Count(void* context, int index) {
    FakeHost* host = (FakeHost*)context;
    Check(host->countCalls < 2);
    Check(index == (host->countCalls == 0 ? (int)INDEX_FOLDERS : host->fileIndex));
    return host->counts[host->countCalls++];
}

uint32_t Next(void* context, int index, int first, char* keyText) {
    FakeHost* host = (FakeHost*)context;
    Check(host->countCalls == 2);
    if (first) {
        host->walk = host->currentIndex < 0 ? 0 : 1;
        Check(index == (host->walk == 0 ? (int)INDEX_FOLDERS : host->fileIndex));
        Check(host->walk == 0 || host->currentIndex == INDEX_FOLDERS);
        host->currentIndex = index;
        host->askedInWalk = 0;
    } else {
        Check(index == host->currentIndex);
    }
    host->askedInWalk++;
    Check(host->askedInWalk <= host->askedLimit[host->walk]);
    if (host->handedOut >= host->entries.size()) return 0;
    const Entry& e = host->entries[host->handedOut++];
    memcpy(keyText, e.text, e.textLength);
    host->last = &e;
    return e.key;
}

int Type(void* context, char* keyText, int fileIndexFlag) {
    FakeHost* host = (FakeHost*)context;
    Check(memchr(keyText, 0, KEY_TEXT_SIZE) != nullptr); /* only terminated texts are asked about */
    Check(fileIndexFlag == host->walk);
    host->typeCalls++;
    return host->last->type;
}

/* The plain walk: the keys a walk of at most `limit` keys keeps, drawing on entries from `at`. */
std::vector<uint32_t> PlainWalk(const std::vector<Entry>& entries, size_t& at, long limit, int wanted,
                                unsigned char* buffer, int& typeCalls) {
    std::vector<uint32_t> kept;
    for (long taken = 0; taken < limit; taken++) {
        if (at >= entries.size()) break;
        const Entry& e = entries[at++];
        memcpy(buffer, e.text, e.textLength);
        if (e.key == 0) break;
        bool terminated = false;
        for (size_t i = 0; i < KEY_TEXT_SIZE; i++)
            terminated = terminated || buffer[i] == 0;
        if (!terminated) {
            buffer[KEY_TEXT_SIZE - 1] = 0;
            continue;
        }
        typeCalls++;
        if (((uint32_t)e.type & 0xFFFFu) == (uint32_t)wanted) kept.push_back(e.key);
    }
    std::sort(kept.begin(), kept.end());
    return kept;
}

/* The largest list this target lets the seam allocate. */
const size_t LargestBlock = (size_t)1 << 20;

int ObserveSize(int, size_t bytes) {
    return bytes > LargestBlock ? 1 : 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 9) return 0;
    FakeHost host = {};
    host.counts[0] = Int(data);
    host.counts[1] = Int(data + 4);
    int family = (data[8] & 1) != 0 ? FAMILY_PRESCRIPTIONS : FAMILY_LETTERS;
    int failAt = (data[8] >> 1) & 3;
    host.fileIndex = FileIndexOf(family);
    host.entries = Entries(data + 9, size - 9);
    host.currentIndex = -1;
    long folderLimit = host.counts[0] <= 0 ? 1 : host.counts[0];
    long fileLimit = host.counts[1] < 0 ? 0 : host.counts[1];
    host.askedLimit[0] = folderLimit;
    host.askedLimit[1] = fileLimit;
    int wanted = WantedDocumentType(family);

    /* A count whose list no block can hold fails like a lack of memory. */
    static_assert(LargestBlock <= SONDREL_ALLOC_LIMIT, "the seam's limit is the larger");
    bool tooLarge = (unsigned long long)folderLimit * 4 > LargestBlock ||
                    (unsigned long long)fileLimit * 4 > LargestBlock;
    bool fails = tooLarge || failAt == 1 || failAt == 2;

    char keyText[KEY_TEXT_SIZE] = {0};
    KeySource source = {Count, Next, Type, &host};
    KeyLists lists;
    memset(&lists, 0x5A, sizeof lists);
    long live = SondrelLiveBlocks();
    SondrelObserveAllocations(ObserveSize);
    if (failAt == 1 || failAt == 2) SondrelFailAllocationAt(failAt);
    int ok = CollectAllKeys(&source, keyText, host.fileIndex, wanted, &lists);
    SondrelFailAllocationAt(0);
    SondrelObserveAllocations(nullptr);
    Check(host.countCalls == 2);

    if (fails) {
        Check(ok == 0);
        Check(lists.folderKeys == nullptr && lists.fileKeys == nullptr);
        Check(lists.folderCount == 0 && lists.fileCount == 0);
        Check(host.currentIndex == -1 && host.typeCalls == 0); /* no key asked for */
        Check(SondrelLiveBlocks() == live);
        return 0;
    }

    Check(ok == 1 && lists.folderKeys != nullptr && lists.fileKeys != nullptr);
    size_t at = 0;
    unsigned char buffer[KEY_TEXT_SIZE] = {0};
    int typeCalls = 0;
    std::vector<uint32_t> folders = PlainWalk(host.entries, at, folderLimit, wanted, buffer, typeCalls);
    std::vector<uint32_t> files = PlainWalk(host.entries, at, fileLimit, wanted, buffer, typeCalls);
    Check(host.typeCalls == typeCalls);
    Check(host.handedOut == at);
    Check(memcmp(buffer, keyText, sizeof buffer) == 0);
    Check(lists.folderCount == (int)folders.size() && lists.fileCount == (int)files.size());
    Check(std::equal(folders.begin(), folders.end(), lists.folderKeys));
    Check(std::equal(files.begin(), files.end(), lists.fileKeys));
    FreeKeyLists(&lists);
    Check(lists.folderKeys == nullptr && lists.fileKeys == nullptr && lists.folderCount == 0);
    Check(SondrelLiveBlocks() == live);
    return 0;
}
