#include "tests/support/model.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <numeric>
#include <stdexcept>

namespace support {

namespace {

constexpr std::uint32_t kEndMarker = 0x454F46;  // "EOF" where an offset would be

std::string label(const Record& record)
{
    const std::uint32_t last = record.offset + static_cast<std::uint32_t>(record.bytes.size()) - 1;
    char text[40];
    std::snprintf(text, sizeof text, " 0x%06X - 0x%06X", static_cast<unsigned>(record.offset),
                  static_cast<unsigned>(last));
    return text;
}

}  // namespace

std::optional<PatchFile> readPatch(const std::uint8_t* data, std::size_t size)
{
    std::size_t at = 0;
    auto take = [&](std::size_t n, std::uint32_t& value) {
        if (size - at < n)
            return false;
        value = 0;
        for (std::size_t i = 0; i < n; ++i)
            value = value << 8 | data[at + i];
        at += n;
        return true;
    };
    if (size < 5 || std::memcmp(data, "PATCH", 5) != 0)
        return std::nullopt;
    at = 5;
    PatchFile patch;
    for (;;) {
        std::uint32_t offset, length;
        if (!take(3, offset))
            return std::nullopt;
        if (offset == kEndMarker)
            break;
        if (!take(2, length))
            return std::nullopt;
        Record record{offset, {}, length == 0};
        if (length != 0) {
            if (size - at < length)
                return std::nullopt;
            record.bytes.assign(data + at, data + at + length);
            at += length;
        } else {
            std::uint32_t count, value;
            if (!take(2, count) || !take(1, value))
                return std::nullopt;
            record.bytes.assign(count, static_cast<std::uint8_t>(value));
        }
        patch.records.push_back(std::move(record));
    }
    const std::size_t end = at;
    std::uint32_t stated;
    if (take(3, stated) && stated != 0)
        patch.targetSize = stated;
    else
        at = end;
    patch.tail.assign(data + at, data + size);
    return patch;
}

bool operator==(const ListItem& a, const ListItem& b)
{
    return a.label == b.label && a.data == b.data && a.check == b.check;
}

std::ostream& operator<<(std::ostream& out, const ListItem& item)
{
    return out << '"' << item.label << "\" data " << item.data << " check " << item.check;
}

std::vector<std::size_t> listOrder(const PatchFile& patch)
{
    std::vector<std::string> labels;
    labels.reserve(patch.records.size());
    for (const Record& r : patch.records)
        labels.push_back(label(r));
    std::vector<std::size_t> order(patch.records.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return labels[a] < labels[b]; });
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
        throw std::invalid_argument("one check per list item expected");

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

}  // namespace support
