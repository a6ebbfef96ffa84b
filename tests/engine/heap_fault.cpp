// Replaces the program's heap blocks for the test executable (the linker takes these
// instead of the library's), so that running out of memory can be tested.

#include "heap_fault.h"

#include <cstdlib>

#include "framework/heap.h"

namespace {
int g_left = -1;  // blocks still granted; -1 means no limit

bool grant()
{
    if (g_left < 0)
        return true;
    if (g_left == 0)
        return false;
    --g_left;
    return true;
}
}  // namespace

void failBlocksAfter(int n) { g_left = n; }
void healHeap() { g_left = -1; }

void* HeapAllocBlock(std::size_t size) { return grant() ? std::malloc(size ? size : 1) : nullptr; }
void* HeapAllocZeroed(std::size_t size) { return grant() ? std::calloc(size ? size : 1, 1) : nullptr; }
void HeapFreeBlock(void* block) { std::free(block); }
