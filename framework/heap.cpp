#include "framework/heap.h"

#include <cstdlib>

void* HeapAllocBlock(std::size_t size) { return std::malloc(size ? size : 1); }

// calloc can hand out pages the system already zeroed, which memset cannot.
void* HeapAllocZeroed(std::size_t size) { return std::calloc(size ? size : 1, 1); }

void HeapFreeBlock(void* block) { std::free(block); }
