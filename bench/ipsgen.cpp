#include "bench/ipsgen.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

namespace benchgen {

namespace {

constexpr std::uint32_t kEndMarker = 0x454F46;

void put(std::vector<unsigned char>& out, std::uint32_t value, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i)
        out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

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

std::vector<unsigned char> encodeIps(const std::vector<Record>& records, std::uint64_t seed)
{
    Rng rng(seed);
    std::vector<unsigned char> out{'P', 'A', 'T', 'C', 'H'};
    for (const Record& r : records) {
        put(out, r.offset, 3);
        if (r.run) {
            put(out, 0, 2);
            put(out, r.length, 2);
            out.push_back(static_cast<unsigned char>(rng.next()));
            continue;
        }
        put(out, r.length, 2);
        for (std::uint32_t i = 0; i < r.length; i += 8) {
            std::uint64_t v = rng.next();
            for (std::uint32_t j = i; j < r.length && j < i + 8; ++j, v >>= 8)
                out.push_back(static_cast<unsigned char>(v));
        }
    }
    put(out, kEndMarker, 3);
    return out;
}

std::vector<unsigned char> randomBytes(std::size_t size, std::uint64_t seed)
{
    Rng rng(seed);
    std::vector<unsigned char> out(size);
    for (std::size_t i = 0; i < size; i += 8) {
        std::uint64_t v = rng.next();
        for (std::size_t j = i; j < size && j < i + 8; ++j, v >>= 8)
            out[j] = static_cast<unsigned char>(v);
    }
    return out;
}

void writeFile(const std::string& path, const std::vector<unsigned char>& bytes)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        throw std::runtime_error("cannot create " + path);
    const bool whole = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (std::fclose(f) != 0 || !whole)
        throw std::runtime_error("cannot write " + path);
}

}  // namespace benchgen
