#pragma once
// CRC-32 as zip and the ROM world quote it (reflected 0xEDB88320), taken in blocks.

#include <cstddef>
#include <cstdint>

class Crc32 {
public:
    void Add(const unsigned char* data, std::size_t size);
    std::uint32_t Value() const { return m_crc; }

private:
    std::uint32_t m_crc = 0;
};
