#include "patch/crc32.h"

#include <array>

namespace {

// Eight tables, so that a byte costs a few instructions: a 16 MiB file must hash in a
// blink.
using Tables = std::array<std::array<std::uint32_t, 256>, 8>;

const Tables& tables()
{
    static const Tables t = [] {
        Tables made{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
            made[0][i] = c;
        }
        for (std::size_t n = 1; n < 8; ++n)
            for (std::size_t i = 0; i < 256; ++i)
                made[n][i] = (made[n - 1][i] >> 8) ^ made[0][made[n - 1][i] & 0xFF];
        return made;
    }();
    return t;
}

}  // namespace

void Crc32::Add(const unsigned char* p, std::size_t n)
{
    const Tables& t = tables();
    std::uint32_t c = ~m_crc;
    for (; n >= 8; p += 8, n -= 8) {
        const std::uint32_t lo = c ^ (p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t(p[3]) << 24);
        c = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^ t[3][p[4]] ^
            t[2][p[5]] ^ t[1][p[6]] ^ t[0][p[7]];
    }
    for (; n != 0; ++p, --n)
        c = (c >> 8) ^ t[0][(c ^ *p) & 0xFF];
    m_crc = ~c;
}
