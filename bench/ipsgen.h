#pragma once
// Generated patches for the benchmarks: many records, the same on every platform and
// every run, written with tests/support's IPS writer.

#include <cstdint>
#include <vector>

#include "tests/support/files.h"

namespace benchgen {

// splitmix64: small, fast, and its output does not depend on the standard library.
class Rng {
public:
    explicit Rng(std::uint64_t seed) : m_state(seed) {}
    std::uint64_t next();
    // Uniform enough in [0, n) for n far below 2^64.
    std::uint32_t below(std::uint32_t n) { return static_cast<std::uint32_t>(next() % n); }

private:
    std::uint64_t m_state;
};

struct Record {
    std::uint32_t offset;
    std::uint32_t length;
    bool run;  // stored as a run record (one repeated byte)
};

enum class Order { ascending, descending, random };

// count records of minLength..maxLength bytes, each lying wholly inside the first
// space bytes, none at the offset that reads as the end marker.
std::vector<Record> randomRecords(std::size_t count, std::uint32_t minLength, std::uint32_t maxLength,
                                  std::uint32_t space, std::uint64_t seed);
// count records that all carry the same label.
std::vector<Record> sameRecords(std::size_t count, std::uint32_t offset, std::uint32_t length);
void arrange(std::vector<Record>& records, Order order, std::uint64_t seed);

// The patch file: "PATCH", the records in the order given with bytes drawn from seed,
// "EOF", no target size.
support::Bytes encodeIps(const std::vector<Record>& records, std::uint64_t seed);

}  // namespace benchgen
