#include "ips.h"

#include <algorithm>
#include <cstdio>
#include <numeric>

namespace gui {

namespace {

void put(Bytes& out, std::uint32_t value, int n)
{
    for (int i = n - 1; i >= 0; --i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

}  // namespace

Record& PatchFile::literal(std::uint32_t offset, Bytes bytes)
{
    if (bytes.empty() || bytes.size() > 0xFFFF)
        throw DriverError("a literal record holds 1 to 65535 bytes");
    records.push_back({offset, std::move(bytes), false});
    return records.back();
}

Record& PatchFile::run(std::uint32_t offset, std::uint16_t length, std::uint8_t value)
{
    records.push_back({offset, Bytes(length, value), true});
    return records.back();
}

Bytes PatchFile::encode() const
{
    Bytes out{'P', 'A', 'T', 'C', 'H'};
    for (const Record& r : records) {
        put(out, r.offset, 3);
        if (r.run) {
            put(out, 0, 2);
            put(out, static_cast<std::uint32_t>(r.bytes.size()), 2);
            out.push_back(r.bytes.empty() ? 0 : r.bytes[0]);
        } else {
            put(out, static_cast<std::uint32_t>(r.bytes.size()), 2);
            out.insert(out.end(), r.bytes.begin(), r.bytes.end());
        }
    }
    out.insert(out.end(), {'E', 'O', 'F'});
    if (targetSize != 0)
        put(out, targetSize, 3);
    out.insert(out.end(), tail.begin(), tail.end());
    return out;
}

std::string label(const Record& record)
{
    const std::uint32_t last = record.offset + static_cast<std::uint32_t>(record.bytes.size()) - 1;
    char text[40];
    std::snprintf(text, sizeof text, " 0x%06X - 0x%06X", static_cast<unsigned>(record.offset),
                  static_cast<unsigned>(last));
    return text;
}

std::vector<std::size_t> listOrder(const PatchFile& patch)
{
    // Labels all share one shape and use digits and upper-case letters only, so plain
    // byte order is the list box's alphabetical order.
    std::vector<std::size_t> order(patch.records.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return label(patch.records[a]) < label(patch.records[b]);
    });
    return order;
}

std::vector<ListItem> expectedList(const PatchFile& patch)
{
    std::vector<ListItem> items;
    for (std::size_t index : listOrder(patch))
        items.push_back({label(patch.records[index]), static_cast<std::uint32_t>(index), 1});
    return items;
}

Bytes expectedImage(const Bytes& source, const PatchFile& patch, const std::vector<int>& checks)
{
    const std::vector<std::size_t> order = listOrder(patch);
    if (checks.size() != order.size())
        throw DriverError("one check per list item expected");

    std::uint64_t size = patch.targetSize != 0 ? patch.targetSize : source.size();
    if (patch.targetSize == 0) {
        for (std::size_t i = 0; i < order.size(); ++i) {
            const Record& r = patch.records[order[i]];
            if (checks[i] == 1 && !r.bytes.empty())
                size = std::max<std::uint64_t>(size, std::uint64_t(r.offset) + r.bytes.size());
        }
    }
    Bytes image(static_cast<std::size_t>(size), 0);
    std::copy_n(source.begin(), std::min<std::size_t>(source.size(), image.size()), image.begin());
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (checks[i] != 1)
            continue;
        const Record& r = patch.records[order[i]];
        for (std::size_t k = 0; k < r.bytes.size() && r.offset + k < image.size(); ++k)
            image[r.offset + k] = r.bytes[k];
    }
    return image;
}

}  // namespace gui
