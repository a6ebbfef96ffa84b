#include "bench/ipsgen.h"

#include <algorithm>

#include "tests/support/ips.h"

namespace benchgen {

namespace {

constexpr std::uint32_t kEndMarker = 0x454F46;  // an offset that reads as "EOF"

}  // namespace

std::uint64_t Rng::next()
{
    std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

std::vector<Record> randomRecords(std::size_t count, std::uint32_t minLength, std::uint32_t maxLength,
                                  std::uint32_t space, std::uint64_t seed)
{
    Rng rng(seed);
    std::vector<Record> records(count);
    for (Record& r : records) {
        r.length = minLength + rng.below(maxLength - minLength + 1);
        do
            r.offset = rng.below(space - r.length + 1);
        while (r.offset == kEndMarker);
        r.run = r.length >= 3 && rng.below(8) == 0;
    }
    return records;
}

std::vector<Record> sameRecords(std::size_t count, std::uint32_t offset, std::uint32_t length)
{
    return std::vector<Record>(count, Record{offset, length, false});
}

void arrange(std::vector<Record>& records, Order order, std::uint64_t seed)
{
    auto byOffset = [](const Record& a, const Record& b) {
        return a.offset != b.offset ? a.offset < b.offset : a.length < b.length;
    };
    switch (order) {
    case Order::ascending:
        std::stable_sort(records.begin(), records.end(), byOffset);
        break;
    case Order::descending:
        std::stable_sort(records.begin(), records.end(), byOffset);
        std::reverse(records.begin(), records.end());
        break;
    case Order::random: {
        Rng rng(seed);
        for (std::size_t i = records.size(); i > 1; --i)
            std::swap(records[i - 1], records[rng.below(static_cast<std::uint32_t>(i))]);
        break;
    }
    }
}

support::Bytes encodeIps(const std::vector<Record>& records, std::uint64_t seed)
{
    Rng rng(seed);
    support::Ips ips;
    for (const Record& r : records) {
        if (r.run)
            ips.run(r.offset, static_cast<std::uint16_t>(r.length), static_cast<std::uint8_t>(rng.next()));
        else
            ips.literal(r.offset, support::randomBytes(r.length, static_cast<std::uint32_t>(rng.next())));
    }
    return ips.eof().bytes();
}

}  // namespace benchgen
