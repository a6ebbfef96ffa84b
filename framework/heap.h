#pragma once
// Blocks from the general heap. Each returns null when the heap cannot supply the block;
// callers decide how to tell the user.

#include <cstddef>

void* HeapAllocBlock(std::size_t size);
void* HeapAllocZeroed(std::size_t size);
void HeapFreeBlock(void* block);

struct HeapBlockFree {
    void operator()(void* block) const { HeapFreeBlock(block); }
};
