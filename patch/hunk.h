#pragma once
// One record of a patch: a block of bytes and where it goes in the output.

#include <cstdint>
#include <memory>

#include "framework/heap.h"
#include "framework/object.h"

class CHunk : public CObject {
public:
    // Copies length bytes from source. Raises CMemoryException when the heap cannot
    // supply the block.
    CHunk(const unsigned char* source, std::uint32_t offset, std::uint32_t length);

    std::uint32_t Length() const { return m_length; }
    std::uint32_t Offset() const { return m_offset; }
    const unsigned char* Bytes() const { return m_bytes.get(); }

private:
    std::uint32_t m_length;
    std::uint32_t m_offset;
    std::unique_ptr<unsigned char[], HeapBlockFree> m_bytes;
};
