#pragma once
// The engine suites link their own heap, which can be told to run dry.

// Lets the next n blocks through, then refuses every block until reset.
void failBlocksAfter(int n);
// Refuses every block larger than size until reset.
void failBlocksLargerThan(unsigned long long size);
void healHeap();

struct HeapFault {
    explicit HeapFault(int n) { failBlocksAfter(n); }
    ~HeapFault() { healHeap(); }
};
