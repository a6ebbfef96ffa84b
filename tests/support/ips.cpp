#include "tests/support/ips.h"

#include <stdexcept>

namespace support {

namespace {

void checkLiteral(std::size_t size)
{
    if (size == 0 || size > 0xFFFF)
        throw std::invalid_argument("a literal record holds 1 to 65535 bytes");
}

}  // namespace

Ips& Ips::literal(std::uint32_t offset, const Bytes& data)
{
    checkLiteral(data.size());
    number(offset, 3).number(static_cast<std::uint32_t>(data.size()), 2);
    return raw(data);
}

Ips& Ips::run(std::uint32_t offset, std::uint16_t length, std::uint8_t value)
{
    number(offset, 3).number(0, 2).number(length, 2);
    m_bytes.push_back(value);
    return *this;
}

Ips& Ips::number(std::uint32_t value, int width)
{
    for (int i = width - 1; i >= 0; --i)
        m_bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    return *this;
}

Ips& Ips::raw(const std::string& text)
{
    m_bytes.insert(m_bytes.end(), text.begin(), text.end());
    return *this;
}

Ips& Ips::raw(const Bytes& bytes)
{
    m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
    return *this;
}

Record& PatchFile::literal(std::uint32_t offset, Bytes bytes)
{
    checkLiteral(bytes.size());
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
    Ips ips;
    for (const Record& r : records) {
        if (r.run)
            ips.run(r.offset, static_cast<std::uint16_t>(r.bytes.size()), r.bytes.empty() ? 0 : r.bytes[0]);
        else
            ips.literal(r.offset, r.bytes);
    }
    ips.eof();
    if (targetSize != 0)
        ips.size3(targetSize);
    return ips.raw(tail).bytes();
}

}  // namespace support
