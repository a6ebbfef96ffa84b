#include "patch/hunk.h"

#include <cstring>

#include "framework/exceptions.h"

CHunk::CHunk(const unsigned char* source, std::uint32_t offset, std::uint32_t length)
    : m_length(length), m_offset(offset)
{
    if (length == 0)
        return;
    m_bytes.reset(static_cast<unsigned char*>(HeapAllocBlock(length)));
    if (!m_bytes)
        throw CMemoryException();
    std::memcpy(m_bytes.get(), source, length);
}
