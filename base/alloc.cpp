/* The program's one way to the heap (see alloc.h).
 *
 * The counters and the switch are atomic words: the search thread and the catalogue thread
 * allocate while the interface thread does. A request of zero bytes gets a block of one byte, so
 * that NULL always means failure. */
#include "base/alloc.h"

#include <atomic>
#include <stdint.h>
#include <stdlib.h>

static std::atomic<long> g_calls{0};
static std::atomic<long> g_live{0};
static std::atomic<long> g_failCountdown{0};
static std::atomic<SondrelAllocObserverFn> g_observer{nullptr};

/* Counts the call; 1 when it must fail (the switch or the observer says so). */
static int CallFails(int grow, size_t bytes) {
    g_calls.fetch_add(1);
    int fail = 0;
    if (g_failCountdown.load() > 0 && g_failCountdown.fetch_sub(1) == 1) fail = 1;
    SondrelAllocObserverFn observer = g_observer.load();
    if (observer != nullptr && observer(grow, bytes)) fail = 1;
    return fail;
}

/* count * size in bytes; 0 when it overflows or exceeds the limit, 1 for an empty request. */
static size_t BlockBytes(size_t count, size_t size) {
    if (size != 0 && count > SIZE_MAX / size) return 0;
    size_t bytes = count * size;
    if (bytes > SONDREL_ALLOC_LIMIT) return 0;
    return bytes == 0 ? 1 : bytes;
}

void* SondrelAlloc(size_t count, size_t size) {
    size_t bytes = BlockBytes(count, size);
    if (CallFails(0, bytes) || bytes == 0) return NULL;
    void* block = calloc(1, bytes);
    if (block != NULL) g_live.fetch_add(1);
    return block;
}

void* SondrelRealloc(void* block, size_t count, size_t size) {
    size_t bytes = BlockBytes(count, size);
    if (CallFails(1, bytes) || bytes == 0) return NULL;
    void* grown = realloc(block, bytes);
    if (grown != NULL && block == NULL) g_live.fetch_add(1);
    return grown;
}

void SondrelFree(void* block) {
    if (block == NULL) return;
    g_live.fetch_sub(1);
    free(block);
}

void SondrelFailAllocationAt(long n) {
    g_failCountdown.store(n > 0 ? n : 0);
}

long SondrelAllocationCalls(void) {
    return g_calls.load();
}

long SondrelLiveBlocks(void) {
    return g_live.load();
}

void SondrelObserveAllocations(SondrelAllocObserverFn observer) {
    g_observer.store(observer);
}
