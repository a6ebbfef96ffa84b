// Replaces the program's heap blocks for the test executable (the linker takes these
// instead of the library's), so that running out of memory can be tested.

#include "heap_fault.h"

#include <cstdlib>

#include "framework/heap.h"

namespace {
int g_left = -1;  // blocks still granted; -1 means no limit
unsigned long long g_largest = ~0ull;

bool grant(std::size_t size)
{
    if (size > g_largest)
        return false;
    if (g_left < 0)
        return true;
    if (g_left == 0)
        return false;
    --g_left;
    return true;
}
}  // namespace

void failBlocksAfter(int n) { g_left = n; }
void failBlocksLargerThan(unsigned long long size) { g_largest = size; }
void healHeap()
{
    g_left = -1;
    g_largest = ~0ull;
}

void* HeapAllocBlock(std::size_t size) { return grant(size) ? std::malloc(size ? size : 1) : nullptr; }
void* HeapAllocZeroed(std::size_t size) { return grant(size) ? std::calloc(size ? size : 1, 1) : nullptr; }
void HeapFreeBlock(void* block) { std::free(block); }
