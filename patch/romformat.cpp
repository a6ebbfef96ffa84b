#include "patch/romformat.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr std::uint64_t kCopierSize = 512;
constexpr std::uint64_t kSmdBlock = 0x4000;
// In an SMD block the first half holds the plain form's odd bytes, the second its even
// bytes: where the first block keeps plain 0x101, 0x103... and 0x100, 0x102...
constexpr std::uint64_t kSmdOddAt = kCopierSize + 0x80, kSmdEvenAt = kCopierSize + kSmdBlock / 2 + 0x80;

// What the boot ROM compares before it runs a cartridge.
const unsigned char kGameBoyLogo[48] = {0xCE, 0xED, 0x66, 0x66, 0xCC, 0x0D, 0x00, 0x0B, 0x03, 0x73, 0x00, 0x83,
                                        0x00, 0x0C, 0x00, 0x0D, 0x00, 0x08, 0x11, 0x1F, 0x88, 0x89, 0x00, 0x0E,
                                        0xDC, 0xCC, 0x6E, 0xE6, 0xDD, 0xDD, 0xD9, 0x99, 0xBB, 0xBB, 0x67, 0x63,
                                        0x6E, 0x0E, 0xEC, 0xCC, 0xDD, 0xDC, 0x99, 0x9F, 0xBB, 0xB9, 0x33, 0x3E};

// By N64Order: the first word of every N64 ROM as each order stores it, and where the
// word's low byte is, which some homebrew makes 0x41.
const unsigned char kN64Starts[3][4] = {{0x80, 0x37, 0x12, 0x40}, {0x37, 0x80, 0x40, 0x12}, {0x40, 0x12, 0x37, 0x80}};
const int kN64LowByte[3] = {3, 2, 0};
const char* const kN64Lines[3] = {
    "N64 ROM, big-endian (.z64) byte order.",
    "N64 ROM in byte-swapped (.v64) order; N64 patches are made for the big-endian (.z64) order.",
    "N64 ROM in little-endian (.n64) order; N64 patches are made for the big-endian (.z64) order."};

// By SnesMapping, in the order they are tried.
struct SnesPlace {
    std::uint64_t base;
    SnesMapping mapping;
    const char* name;
};
const SnesPlace kSnesPlaces[3] = {{0x7FC0, SnesMapping::loRom, "LoROM"},
                                  {0xFFC0, SnesMapping::hiRom, "HiROM"},
                                  {0x40FFC0, SnesMapping::exHiRom, "ExHiROM"}};

unsigned littleWord(const unsigned char* p) { return p[0] | unsigned(p[1]) << 8; }
unsigned bigWord(const unsigned char* p) { return unsigned(p[0]) << 8 | p[1]; }

bool snesModeFits(const unsigned char* header, SnesMapping mapping)
{
    const unsigned mode = header[0x15], low = mode & 0x0F;
    if ((mode & 0xE0) != 0x20)
        return false;
    switch (mapping) {
    case SnesMapping::loRom: return low == 0 || low == 2 || low == 3;
    case SnesMapping::hiRom: return low == 1 || low == 0xA;
    case SnesMapping::exHiRom: return low == 5;
    }
    return false;
}

bool snesPairValid(const unsigned char* header)
{
    return (littleWord(header + 0x1C) ^ littleWord(header + 0x1E)) == 0xFFFF;
}

bool snesHeaderFits(const unsigned char* header, SnesMapping mapping)
{
    return snesPairValid(header) && snesModeFits(header, mapping);
}

// A place whose pair is broken may still hold the header when its checksum is right: its
// ROM size byte (1 KiB << n) must then state a ROM that holds the place, and no more
// than the 8 MiB of the largest layout.
bool snesPlaceFits(const unsigned char* header, SnesMapping mapping)
{
    const unsigned n = header[0x17];
    return snesModeFits(header, mapping) && n <= 13 &&
           (std::uint64_t(0x400) << n) > kSnesPlaces[static_cast<int>(mapping)].base;
}

int n64Order(const unsigned char* head)
{
    for (int i = 0; i < 3; ++i) {
        unsigned char word[4];
        std::memcpy(word, head, 4);
        word[kN64LowByte[i]] &= 0xFE;
        if (std::memcmp(word, kN64Starts[i], 4) == 0)
            return i;
    }
    return -1;
}

unsigned gbaComplement(const unsigned char* head)
{
    unsigned sum = 0;
    for (std::size_t i = 0xA0; i <= 0xBC; ++i)
        sum += head[i];
    return (0u - sum - 0x19) & 0xFF;
}

// A licensed game's code is upper case; homebrew's, lower case or blank, is told from
// chance bytes by a right complement.
bool gbaHeader(const unsigned char* head)
{
    auto all = [head](bool (*in)(unsigned char)) { return std::all_of(head + 0xAC, head + 0xB0, in); };
    if (head[3] != 0xEA || head[0xB2] != 0x96)
        return false;
    if (all([](unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }))
        return true;
    return (all([](unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'); }) ||
            all([](unsigned char c) { return c == ' ' || c == 0; })) &&
           head[0xBD] == gbaComplement(head);
}

// The least a file must hold to be of a format: every header byte its line reads. A file
// cut shorter is not taken for that format but tried for the next.
std::uint64_t headerEnd(RomFormat format)
{
    switch (format) {
    case RomFormat::nes: return 16;
    case RomFormat::n64: return 4;
    case RomFormat::gameBoyAdvance: return 0xBE;
    case RomFormat::gameBoy: return 0x150;
    case RomFormat::megaDrive: return 0x190;
    default: return 0;
    }
}

// The formats whose headers lie in the first kHead bytes, head holding min(size, kHead).
RomFormat headFormat(const unsigned char* head, std::uint64_t size)
{
    auto holds = [size](RomFormat format) { return size >= headerEnd(format); };
    if (holds(RomFormat::nes) && std::memcmp(head, "NES\x1A", 4) == 0)
        return RomFormat::nes;
    if (holds(RomFormat::n64) && n64Order(head) >= 0)
        return RomFormat::n64;
    if (holds(RomFormat::gameBoyAdvance) && gbaHeader(head))
        return RomFormat::gameBoyAdvance;
    if (holds(RomFormat::gameBoy) && std::memcmp(head + 0x104, kGameBoyLogo, sizeof kGameBoyLogo) == 0)
        return RomFormat::gameBoy;
    if (holds(RomFormat::megaDrive) &&
        (std::memcmp(head + 0x100, "SEGA", 4) == 0 || std::memcmp(head + 0x101, "SEGA", 4) == 0))
        return RomFormat::megaDrive;
    return RomFormat::none;
}

std::string titleText(const unsigned char* p, std::size_t n)
{
    std::string text;
    for (std::size_t i = 0; i < n && p[i] != 0; ++i)
        text += p[i] >= 0x20 && p[i] <= 0x7E ? char(p[i]) : '?';
    const std::size_t first = text.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : text.substr(first, text.find_last_not_of(' ') - first + 1);
}

bool littleEndian()
{
    const std::uint16_t one = 1;
    unsigned char first;
    std::memcpy(&first, &one, 1);
    return first == 1;
}

// The four 16-bit lanes of v added up.
std::uint64_t fold(std::uint64_t v)
{
    v = (v & 0x0000FFFF0000FFFFull) + ((v >> 16) & 0x0000FFFF0000FFFFull);
    return (v & 0xFFFFFFFFull) + (v >> 32);
}

// Adds the n bytes at p, the first at file offset at, to even and odd by the parity of
// their offsets. Sixteen bytes a step, each in a 16-bit lane by its parity, the lanes
// folded before they can overflow: no branch per byte.
void addBytes(const unsigned char* p, std::size_t n, std::uint64_t at, std::uint64_t& even, std::uint64_t& odd)
{
    if (n != 0 && (at & 1) != 0) {
        odd += *p++;
        --n;
    }
    constexpr std::uint64_t kLanes = 0x00FF00FF00FF00FFull;
    const bool little = littleEndian();
    while (n >= 16) {
        // 128 steps add at most 2 x 128 x 255 to a lane: within its 16 bits.
        const std::size_t steps = std::min<std::size_t>(n / 16, 128);
        std::uint64_t low = 0, high = 0;  // the lanes' first bytes in memory on little-endian, and the others
        for (std::size_t i = 0; i < steps; ++i, p += 16) {
            std::uint64_t a, b;
            std::memcpy(&a, p, 8);
            std::memcpy(&b, p + 8, 8);
            low += (a & kLanes) + (b & kLanes);
            high += ((a >> 8) & kLanes) + ((b >> 8) & kLanes);
        }
        n -= steps * 16;
        (little ? even : odd) += fold(low);
        (little ? odd : even) += fold(high);
    }
    for (; n >= 2; n -= 2, p += 2) {
        even += p[0];
        odd += p[1];
    }
    if (n != 0)
        even += *p;
}

std::string hex(std::uint32_t value, int digits)
{
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, static_cast<unsigned>(value));
    return text;
}

// m x 2^shift in decimal, by doubling a string of digits: sizes reach 7 x 2^63.
std::string decimal(std::uint64_t m, unsigned shift)
{
    std::string digits = std::to_string(m);
    for (unsigned i = 0; i < shift; ++i) {
        int carry = 0;
        for (auto d = digits.rbegin(); d != digits.rend(); ++d) {
            const int twice = (*d - '0') * 2 + carry;
            *d = char('0' + twice % 10);
            carry = twice / 10;
        }
        if (carry != 0)
            digits.insert(digits.begin(), '1');
    }
    return digits;
}

// A size as the header gives it: units in KiB, the exponent form in bytes.
std::pair<std::string, std::string> amount(const NesSize& size)
{
    if (!size.exponentForm)
        return {decimal(size.multiplier, size.shift - 10), "KiB"};
    std::string bytes = decimal(size.multiplier, size.shift);
    return {bytes, bytes == "1" ? "byte" : "bytes"};
}

std::string sizeText(const NesSize& size)
{
    const auto shown = amount(size);
    return shown.first + " " + shown.second;
}

// "256 to 512 KiB", "256 KiB to 8 bytes".
std::string fromTo(const NesSize& from, const NesSize& to)
{
    const auto a = amount(from), b = amount(to);
    return a.second == b.second ? a.first + " to " + b.first + " " + b.second : sizeText(from) + " to " + sizeText(to);
}

void nesChanges(const NesHeader& was, const NesHeader& now, std::vector<std::string>& lines)
{
    const std::string mapper = std::to_string(now.mapper);
    if (was.mapper != now.mapper)
        lines.push_back("Changes the mapper from " + std::to_string(was.mapper) + " to " + mapper + ".");
    if (was.prg != now.prg)
        lines.push_back("Changes PRG from " + fromTo(was.prg, now.prg) + ".");
    if (was.chr != now.chr)
        lines.push_back("Changes CHR from " + fromTo(was.chr, now.chr) + ".");
    if (was.battery != now.battery)
        lines.push_back(now.battery ? "Adds battery-backed RAM." : "Removes battery-backed RAM.");
}

struct Region {
    std::uint64_t first, end;
    const char* text;
};

std::vector<Region> headerRegions(const RomFacts& facts)
{
    const std::uint64_t b = facts.headerBase;
    switch (facts.format) {
    case RomFormat::nes: return {{0, 16, "Writes the iNES header."}};
    case RomFormat::gameBoy:
        return {{0x100, 0x150, "Writes the cartridge header."},
                {0x14D, 0x14E, "Writes the header checksum."},
                {0x14E, 0x150, "Writes the global checksum."}};
    case RomFormat::gameBoyAdvance:
        return {{0, 0xC0, "Writes the cartridge header."}, {0xBD, 0xBE, "Writes the header complement."}};
    case RomFormat::megaDrive:
        return {{0x100, 0x200, "Writes the cartridge header."}, {0x18E, 0x190, "Writes the checksum."}};
    case RomFormat::snes:
        return {{b, b + 0x20, "Writes the internal header."}, {b + 0x1C, b + 0x20, "Writes the checksum."}};
    default: return {};
    }
}

// Where the part of a hunk that reaches the output ends: a stated size cuts it.
std::uint64_t writtenEnd(const HunkSpan& hunk, std::uint32_t statedSize)
{
    const std::uint64_t end = std::uint64_t(hunk.offset) + hunk.length;
    return statedSize == 0 ? end : std::min<std::uint64_t>(end, std::max(statedSize, hunk.offset));
}

}  // namespace

bool operator==(const NesSize& a, const NesSize& b)
{
    auto reduced = [](NesSize s) {
        for (; s.multiplier != 0 && (s.multiplier & 1) == 0; s.multiplier >>= 1)
            ++s.shift;
        return std::make_pair(s.multiplier, s.multiplier == 0 ? 0 : s.shift);
    };
    return reduced(a) == reduced(b);
}

NesHeader DecodeNesHeader(const unsigned char* h)
{
    NesHeader n;
    n.nes2 = (h[7] & 0x0C) == 0x08;
    // With bits 2-3 at 01, bytes 7 on hold what an old dumping tool wrote ("DiskDude!").
    const unsigned high = (h[7] & 0x0C) == 0x04 ? 0 : h[7] & 0xF0;
    n.mapper = (h[6] >> 4) | high | (n.nes2 ? (h[8] & 0x0Fu) << 8 : 0);
    n.battery = (h[6] & 0x02) != 0;
    auto size = [&n](unsigned low, unsigned nibble, unsigned unitShift) {
        NesSize s;
        if (n.nes2 && nibble == 0xF) {
            s.exponentForm = true;
            s.multiplier = (low & 3) * 2 + 1;
            s.shift = low >> 2;
        } else {
            s.multiplier = (n.nes2 ? nibble << 8 : 0) | low;
            s.shift = unitShift;
        }
        return s;
    };
    n.prg = size(h[4], h[9] & 0x0F, 14);
    n.chr = size(h[5], h[9] >> 4, 13);
    return n;
}

RomScan::RomScan(std::uint64_t fileSize) : m_size(fileSize)
{
    m_copier = fileSize % 1024 == kCopierSize ? kCopierSize : 0;
    for (const SnesPlace& place : kSnesPlaces)
        AddWindow(place.base + m_copier, place.mapping);
}

RomScan::RomScan(std::uint64_t fileSize, const RomFacts& like) : m_size(fileSize), m_forced(true), m_like(like)
{
    if (like.format == RomFormat::snes) {
        m_copier = like.copierHeader ? kCopierSize : 0;
        AddWindow(like.headerBase, like.snesMapping);
    }
}

void RomScan::AddWindow(std::uint64_t base, SnesMapping mapping)
{
    if (base + sizeof(Window::bytes) > m_size)
        return;
    m_windows[m_windowCount++] = Window{base, mapping, {}};
    // A ROM whose size is not a power of two counts its last L bytes again, L the size's
    // lowest set bit, as often as it takes to make one.
    const std::uint64_t rom = m_size - m_copier, last = rom & (~rom + 1);
    if (rom != last)
        m_split = m_copier + rom - last;
}

void RomScan::StartSums()
{
    switch (m_forced ? m_like.format : headFormat(m_head, m_size)) {
    case RomFormat::gameBoy:
    case RomFormat::megaDrive: m_summing = true; break;
    case RomFormat::snes: m_summing = m_windowCount != 0; break;
    case RomFormat::none: m_summing = m_searching = m_windowCount != 0; break;
    default: break;
    }
}

// The first place that holds a header decides; once none can, no sum is needed.
void RomScan::SettleSnes()
{
    bool brokenPair = false;  // a place that holds one if its checksum is right
    for (int i = 0; i < m_windowCount; ++i) {
        const Window& w = m_windows[i];
        if (m_at < w.base + sizeof w.bytes)
            return;
        if (snesHeaderFits(w.bytes, w.mapping)) {
            m_searching = false;
            return;
        }
        brokenPair = brokenPair || snesPlaceFits(w.bytes, w.mapping);
    }
    m_searching = false;
    m_summing = brokenPair;
}

void RomScan::AddSums(const unsigned char* data, std::size_t size)
{
    std::uint64_t at = m_at;
    if (at < m_split) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(size, m_split - at));
        addBytes(data, n, at, m_low.even, m_low.odd);
        data += n;
        size -= n;
        at += n;
    }
    if (size != 0)
        addBytes(data, size, at, m_high.even, m_high.odd);
}

void RomScan::Add(const unsigned char* data, std::size_t size)
{
    size = static_cast<std::size_t>(std::min<std::uint64_t>(size, m_size - m_at));
    if (m_at < kHead && size != 0) {
        const std::size_t n = std::min<std::size_t>(size, static_cast<std::size_t>(kHead - m_at));
        std::memcpy(m_head + m_at, data, n);
        m_at += n;
        data += n;
        size -= n;
        if (m_at == kHead)
            StartSums();
    }
    if (size == 0)
        return;
    const std::uint64_t end = m_at + size;
    // What of the n bytes from file offset base these hold.
    auto keep = [&](unsigned char* kept, std::uint64_t base, std::size_t n) {
        const std::uint64_t from = std::max(m_at, base), to = std::min(end, base + n);
        if (from < to)
            std::memcpy(kept + (from - base), data + (from - m_at), static_cast<std::size_t>(to - from));
    };
    for (int i = 0; i < m_windowCount; ++i)
        keep(m_windows[i].bytes, m_windows[i].base, sizeof m_windows[i].bytes);
    keep(m_smdOdd, kSmdOddAt, sizeof m_smdOdd);
    keep(m_smdEven, kSmdEvenAt, sizeof m_smdEven);
    if (m_summing)
        AddSums(data, size);
    m_at = end;
    if (m_searching)
        SettleSnes();
}

std::uint32_t RomScan::SnesSum(const Window& w, std::uint64_t headSum) const
{
    const std::uint64_t rom = m_size - m_copier, last = rom & (~rom + 1);
    std::uint64_t whole = last;
    while (whole < rom && (whole << 1) != 0)
        whole <<= 1;
    const std::uint64_t copies = (whole - rom) / last, tail = m_high.even + m_high.odd;
    std::uint64_t sum = (m_copier != 0 ? 0 : headSum) + m_low.even + m_low.odd + tail + copies * tail;
    // The checksum and its complement count as FF FF 00 00, in each copy too: a valid pair
    // adds just that whatever its value, so a ROM whose pair is right sums as it is.
    static const unsigned char kCounted[4] = {0xFF, 0xFF, 0x00, 0x00};
    for (int i = 0; i < 4; ++i) {
        const std::uint64_t times = 1 + (w.base + 0x1C + i >= m_split ? copies : 0);
        sum += times * kCounted[i] - times * w.bytes[0x1C + i];
    }
    return static_cast<std::uint32_t>(sum & 0xFFFF);
}

bool RomScan::SmdDump() const
{
    const unsigned char* h = m_head;
    if (m_size <= kCopierSize || (m_size - kCopierSize) % kSmdBlock != 0 || h[8] != 0xAA || h[9] != 0xBB || h[10] != 6)
        return false;
    unsigned char plain[2 * sizeof m_smdOdd];  // from 0x100
    for (std::size_t i = 0; i < sizeof m_smdOdd; ++i) {
        plain[2 * i] = m_smdEven[i];
        plain[2 * i + 1] = m_smdOdd[i];
    }
    return std::memcmp(plain, "SEGA", 4) == 0 || std::memcmp(plain + 1, "SEGA", 4) == 0;
}

RomFacts RomScan::Finish() const
{
    RomFacts facts;
    if (m_at != m_size)
        return facts;
    const unsigned char* h = m_head;
    std::uint64_t headSum = 0;
    for (std::size_t i = 0; i < std::min<std::uint64_t>(m_size, kHead); ++i)
        headSum += h[i];
    RomFormat format = m_forced ? m_like.format : headFormat(h, m_size);
    const Window* snes = nullptr;
    if (format == RomFormat::none && !m_forced && SmdDump()) {
        format = RomFormat::megaDriveSmd;
    } else if (format == RomFormat::snes || (format == RomFormat::none && !m_forced)) {
        for (int i = 0; i < m_windowCount && snes == nullptr; ++i)
            if (m_forced || snesHeaderFits(m_windows[i].bytes, m_windows[i].mapping))
                snes = &m_windows[i];
        for (int i = 0; i < m_windowCount && snes == nullptr; ++i) {
            const Window& w = m_windows[i];
            if (snesPlaceFits(w.bytes, w.mapping) && littleWord(w.bytes + 0x1E) == SnesSum(w, headSum))
                snes = &w;
        }
        format = snes != nullptr ? RomFormat::snes : RomFormat::none;
    } else if (m_size < headerEnd(format)) {
        format = RomFormat::none;
    }
    facts.format = format;
    const std::uint64_t even = m_low.even + m_high.even, odd = m_low.odd + m_high.odd;
    auto checksum = [&facts](const char* name, std::uint64_t offset, std::uint32_t stored, std::uint64_t computed,
                             int digits) {
        const std::uint32_t value = static_cast<std::uint32_t>(computed & (digits == 2 ? 0xFF : 0xFFFF));
        facts.checksums.push_back({name, offset, stored, value, digits, stored == value});
    };
    switch (format) {
    case RomFormat::none: break;
    case RomFormat::nes:
        std::memcpy(facts.nesBytes, h, sizeof facts.nesBytes);
        facts.nes = DecodeNesHeader(h);
        break;
    case RomFormat::n64: facts.n64Order = m_forced ? m_like.n64Order : static_cast<N64Order>(n64Order(h)); break;
    case RomFormat::gameBoyAdvance: {
        facts.title = titleText(h + 0xA0, 12);
        facts.gameCode = titleText(h + 0xAC, 4);
        checksum("header complement", 0xBD, h[0xBD], gbaComplement(h), 2);
        break;
    }
    case RomFormat::gameBoy: {
        facts.gameBoyColor = h[0x143] == 0x80 || h[0x143] == 0xC0;
        facts.title = titleText(h + 0x134, (h[0x143] & 0x80) != 0 ? 15 : 16);
        unsigned x = 0;
        for (std::size_t i = 0x134; i <= 0x14C; ++i)
            x = x - h[i] - 1;
        checksum("header checksum", 0x14D, h[0x14D], x, 2);
        checksum("global checksum", 0x14E, bigWord(h + 0x14E), headSum + even + odd - h[0x14E] - h[0x14F], 4);
        break;
    }
    case RomFormat::megaDrive:
        facts.title = titleText(h + 0x150, 48);
        // Big-endian words: the byte at an even offset is a word's high byte, an odd last byte too.
        checksum("checksum", 0x18E, bigWord(h + 0x18E), (even << 8) + odd, 4);
        break;
    case RomFormat::snes: {
        const unsigned char* b = snes->bytes;
        facts.title = titleText(b, 21);
        facts.snesMapping = snes->mapping;
        facts.headerBase = snes->base;
        facts.copierHeader = m_copier != 0;
        checksum("checksum", snes->base + 0x1E, littleWord(b + 0x1E), SnesSum(*snes, headSum), 4);
        if (!snesPairValid(b)) {
            const std::uint32_t complement = facts.checksums.back().computed ^ 0xFFFF;
            facts.checksums.push_back({"complement", snes->base + 0x1C, littleWord(b + 0x1C), complement, 4, false});
        }
        break;
    }
    case RomFormat::megaDriveSmd: break;
    }
    return facts;
}

std::string RomFormatLine(const RomFacts& facts)
{
    std::string line;
    switch (facts.format) {
    case RomFormat::none: return {};
    case RomFormat::nes: {
        const NesHeader& n = facts.nes;
        return std::string("NES ROM, ") + (n.nes2 ? "NES 2.0" : "iNES") + " header: mapper " +
               std::to_string(n.mapper) + ", PRG " + sizeText(n.prg) + ", CHR " + sizeText(n.chr) +
               (n.battery ? ", battery-backed RAM" : "") + ".";
    }
    case RomFormat::n64: return kN64Lines[static_cast<int>(facts.n64Order)];
    case RomFormat::gameBoyAdvance:
        line = "Game Boy Advance ROM \"" + facts.title + "\"";
        if (!facts.gameCode.empty())
            line += " (" + facts.gameCode + ")";
        break;
    case RomFormat::gameBoy:
        line = (facts.gameBoyColor ? "Game Boy Color ROM \"" : "Game Boy ROM \"") + facts.title + "\"";
        break;
    case RomFormat::megaDrive: line = "Mega Drive ROM \"" + facts.title + "\""; break;
    case RomFormat::megaDriveSmd:
        return "An interleaved SMD dump of a Mega Drive ROM: patches are made for the plain (BIN) form.";
    case RomFormat::snes:
        line = "SNES ROM \"" + facts.title + "\", " + kSnesPlaces[static_cast<int>(facts.snesMapping)].name +
               (facts.copierHeader ? ", after a 512-byte copier header" : "");
        break;
    }
    const char* separator = ": ";
    for (const RomChecksum& c : facts.checksums) {
        line += separator + std::string(c.name) + " 0x" + hex(c.stored, c.digits) +
                (c.matches ? " matches" : " does not match (0x" + hex(c.computed, c.digits) + " would)");
        separator = ", ";
    }
    return line + ".";
}

std::vector<std::string> HunkHeaderLines(const RomFacts& source, const HunkSpan& hunk, std::uint32_t statedSize)
{
    std::vector<std::string> lines;
    const std::uint64_t end = writtenEnd(hunk, statedSize);
    for (const Region& region : headerRegions(source))
        if (std::max<std::uint64_t>(hunk.offset, region.first) < std::min(end, region.end))
            lines.push_back(region.text);
    if (source.format == RomFormat::nes && !lines.empty()) {
        unsigned char after[sizeof source.nesBytes];
        std::memcpy(after, source.nesBytes, sizeof after);
        for (std::uint64_t at = hunk.offset; at < std::min<std::uint64_t>(end, sizeof after); ++at)
            after[at] = hunk.bytes[at - hunk.offset];
        nesChanges(source.nes, DecodeNesHeader(after), lines);
    }
    return lines;
}

std::vector<std::string> PatchFitLines(const RomFacts& source, std::uint64_t sourceSize, std::uint32_t statedSize,
                                       const std::vector<HunkSpan>& hunks)
{
    std::vector<std::string> lines;
    const std::uint64_t stated = statedSize;
    if (stated != 0 && stated + kCopierSize == sourceSize && sourceSize % 1024 == kCopierSize)
        lines.push_back(
            "The patch states an output 512 bytes smaller than the source: it is likely made for the file "
            "without its copier header.");
    if (stated != 0 && stated == sourceSize + kCopierSize && stated % 1024 == kCopierSize)
        lines.push_back(
            "The patch states an output 512 bytes larger than the source: it is likely made for the file "
            "with a copier header.");
    if (source.format == RomFormat::snes) {
        // Where the pair would be had the file the other layout.
        const std::uint64_t pair =
            (source.copierHeader ? source.headerBase - kCopierSize : source.headerBase + kCopierSize) + 0x1C;
        if (std::any_of(hunks.begin(), hunks.end(), [&](const HunkSpan& hunk) {
                return hunk.offset <= pair && writtenEnd(hunk, statedSize) >= pair + 4;
            }))
            lines.push_back(source.copierHeader
                                ? "The patch writes the checksum where a ROM without a copier header "
                                  "keeps it: it is likely made for the file without one."
                                : "The patch writes the checksum where a ROM with a copier header keeps "
                                  "it: it is likely made for the file with one.");
    }
    if (source.format == RomFormat::n64 && source.n64Order != N64Order::bigEndian)
        lines.push_back("The source's byte order is not the one N64 patches are made for.");
    return lines;
}

std::vector<std::string> OutputChecksumLines(const RomFacts& source, const RomFacts& output)
{
    auto matches = [](const RomChecksum& c) { return c.matches; };
    const std::vector<RomChecksum>& theirs = source.checksums;
    // An output cut before its header holds no checksum to speak of.
    if (theirs.empty() || !std::all_of(theirs.begin(), theirs.end(), matches) || output.format != source.format)
        return {};
    std::vector<std::string> lines;
    for (const RomChecksum& c : output.checksums)
        if (!c.matches)
            lines.push_back("The output's " + std::string(c.name) + " will not match (0x" + hex(c.stored, c.digits) +
                            " stored, 0x" + hex(c.computed, c.digits) +
                            " would). Correct it after Patch with the Destination row's Correct Checksums.");
    if (lines.empty())
        lines.push_back("The output's checksums will match.");
    return lines;
}

std::vector<std::pair<std::uint64_t, unsigned char>> ChecksumWrites(const RomFacts& facts)
{
    std::vector<std::pair<std::uint64_t, unsigned char>> writes;
    auto put = [&writes](std::uint64_t at, std::uint32_t value, int bytes, bool bigEndian) {
        for (int i = 0; i < bytes; ++i)
            writes.emplace_back(at + i, static_cast<unsigned char>(value >> (8 * (bigEndian ? bytes - 1 - i : i))));
    };
    const std::vector<RomChecksum>& c = facts.checksums;
    switch (facts.format) {
    case RomFormat::gameBoy: {
        // The global checksum covers the header checksum, so it moves with it.
        std::uint32_t global = c[1].computed;
        if (!c[0].matches) {
            put(c[0].offset, c[0].computed, 1, true);
            global = (global - c[0].stored + c[0].computed) & 0xFFFF;
        }
        if (c[1].stored != global)
            put(c[1].offset, global, 2, true);
        break;
    }
    case RomFormat::gameBoyAdvance:
    case RomFormat::megaDrive:
        if (!c[0].matches)
            put(c[0].offset, c[0].computed, c[0].digits / 2, true);
        break;
    case RomFormat::snes:
        // The sum counts the pair as fixed bytes: writing it leaves the sum as it is. A second
        // entry is a complement that does not match.
        if (!c[0].matches || c.size() > 1) {
            put(c[0].offset - 2, c[0].computed ^ 0xFFFF, 2, false);
            put(c[0].offset, c[0].computed, 2, false);
        }
        break;
    default: break;
    }
    return writes;
}
