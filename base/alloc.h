/* The program's one way to the heap.
 *
 * Every block the program allocates for itself (the hit table's records and arrays, the search
 * run's key lists, the sort's snapshot, the scheme table, the downloaded catalogue, the version
 * resource, the sort directions) comes from SondrelAlloc or SondrelRealloc and goes back through
 * SondrelFree. Memory handles that the host hands out stay the host's: they are unlocked and freed
 * with the system's own calls, never here.
 *
 * The contract is the one of calloc and realloc, with the size given as an element count and an
 * element size so that the product never multiplies sizes itself:
 *   - a request whose byte size overflows, or exceeds SONDREL_ALLOC_LIMIT, fails like any other;
 *   - a new block is zero-filled;
 *   - a failed SondrelRealloc leaves the block as it was (the caller still owns it);
 *   - SondrelFree(NULL) does nothing.
 *
 * Tests make allocations fail through the switch below: SondrelFailAllocationAt(n) makes the n-th
 * allocation call from now fail (1 is the very next one), once, whichever thread makes it. The
 * counters let a test find how many calls an operation makes (so that it can fail each in turn)
 * and whether every block it allocated was released again. All of it is safe from any thread; the
 * product never sets the switch. */
#ifndef SONDREL_BASE_ALLOC_H
#define SONDREL_BASE_ALLOC_H

#include <stddef.h>

/* The largest block the program ever asks for: 1 GiB. A larger request comes from a faulty count
 * (a host that reports billions of keys) and is refused as if memory had run out; a 32-bit
 * process could not hold it anyway. */
#define SONDREL_ALLOC_LIMIT ((size_t)1 << 30)

/* A zero-filled block of count * size bytes, or NULL. */
void* SondrelAlloc(size_t count, size_t size);
/* The block grown or shrunk to count * size bytes (a new one when block is NULL), or NULL with
 * the block unchanged. Bytes beyond the old size are not initialised. */
void* SondrelRealloc(void* block, size_t count, size_t size);
/* Releases a block of SondrelAlloc or SondrelRealloc; NULL is ignored. */
void SondrelFree(void* block);

/* Test switch: the n-th allocation call from now fails (n >= 1); 0 or less turns it off. */
void SondrelFailAllocationAt(long n);
/* Allocation calls made since the start (SondrelAlloc and SondrelRealloc), failed ones included. */
long SondrelAllocationCalls(void);
/* Blocks allocated and not released yet. */
long SondrelLiveBlocks(void);

/* Test observer: called for every allocation call with its kind (0 new block, 1 realloc) and byte
 * size; a non-zero answer makes that call fail. NULL (the default) observes nothing. */
typedef int (*SondrelAllocObserverFn)(int grow, size_t bytes);
void SondrelObserveAllocations(SondrelAllocObserverFn observer);

#endif
