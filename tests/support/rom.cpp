#include "tests/support/rom.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace support {

namespace {

const std::uint8_t kGameBoyLogo[] = {0xCE, 0xED, 0x66, 0x66, 0xCC, 0x0D, 0x00, 0x0B, 0x03, 0x73, 0x00, 0x83,
                                     0x00, 0x0C, 0x00, 0x0D, 0x00, 0x08, 0x11, 0x1F, 0x88, 0x89, 0x00, 0x0E,
                                     0xDC, 0xCC, 0x6E, 0xE6, 0xDD, 0xDD, 0xD9, 0x99, 0xBB, 0xBB, 0x67, 0x63,
                                     0x6E, 0x0E, 0xEC, 0xCC, 0xDD, 0xDC, 0x99, 0x9F, 0xBB, 0xB9, 0x33, 0x3E};

// text at rom[at], cut or padded to n bytes with pad.
void put(Bytes& rom, std::size_t at, const std::string& text, std::size_t n, char pad)
{
    std::string field = text.substr(0, n);
    field.resize(n, pad);
    std::copy(field.begin(), field.end(), rom.begin() + at);
}

std::uint32_t sum(Bytes::const_iterator from, Bytes::const_iterator to)
{
    std::uint32_t total = 0;
    for (; from != to; ++from)
        total += *from;
    return total;
}

}  // namespace

std::uint8_t gameBoyHeaderChecksum(const Bytes& rom)
{
    // x = x - byte - 1 over 0x134..0x14C is minus the sum of byte + 1.
    return static_cast<std::uint8_t>(0u - sum(rom.begin() + 0x134, rom.begin() + 0x14D) - 0x19);
}

std::uint16_t gameBoyGlobalChecksum(const Bytes& rom)
{
    return static_cast<std::uint16_t>(sum(rom.begin(), rom.end()) - rom[0x14E] - rom[0x14F]);
}

std::uint8_t gbaComplement(const Bytes& rom)
{
    return static_cast<std::uint8_t>(0u - sum(rom.begin() + 0xA0, rom.begin() + 0xBD) - 0x19);
}

std::uint16_t megaDriveChecksum(const Bytes& rom)
{
    std::uint32_t total = 0;
    for (std::size_t i = 0x200; i < rom.size(); i += 2)
        total += rom[i] << 8 | (i + 1 < rom.size() ? rom[i + 1] : 0);
    return static_cast<std::uint16_t>(total);
}

std::uint16_t snesChecksum(const Bytes& file, bool copier, std::size_t base)
{
    Bytes rom(file.begin() + (copier ? 512 : 0), file.end());
    const std::size_t pair = base - (copier ? 512 : 0) + 0x1C;
    rom[pair] = rom[pair + 1] = 0xFF;
    rom[pair + 2] = rom[pair + 3] = 0x00;
    // Mirrored as the console sees it: the last L bytes again up to a power of two.
    const Bytes last(rom.end() - (rom.size() & (0 - rom.size())), rom.end());
    while ((rom.size() & (rom.size() - 1)) != 0)
        rom.insert(rom.end(), last.begin(), last.end());
    return static_cast<std::uint16_t>(sum(rom.begin(), rom.end()));
}

std::uint32_t Checksum::stored(const Bytes& rom) const
{
    return digits == 2 ? rom[at] : little ? rom[at] | rom[at + 1] << 8 : rom[at] << 8 | rom[at + 1];
}

const Checksum kGameBoyHeader{"header checksum", 0x14D, 2, false, gameBoyHeaderChecksum};
const Checksum kGameBoyGlobal{"global checksum", 0x14E, 4, false, gameBoyGlobalChecksum};
const Checksum kGbaComplement{"header complement", 0xBD, 2, false, gbaComplement};
const Checksum kMegaDrive{"checksum", 0x18E, 4, false, megaDriveChecksum};

Checksum snesStored(bool copier, std::size_t base)
{
    return {"checksum", base + 0x1E, 4, true, [=](const Bytes& file) { return snesChecksum(file, copier, base); }};
}

void fixGameBoy(Bytes& rom)
{
    rom[0x14D] = gameBoyHeaderChecksum(rom);
    const std::uint16_t global = gameBoyGlobalChecksum(rom);
    rom[0x14E] = static_cast<std::uint8_t>(global >> 8);
    rom[0x14F] = static_cast<std::uint8_t>(global);
}

void fixGba(Bytes& rom) { rom[0xBD] = gbaComplement(rom); }

void fixMegaDrive(Bytes& rom)
{
    const std::uint16_t checksum = megaDriveChecksum(rom);
    rom[0x18E] = static_cast<std::uint8_t>(checksum >> 8);
    rom[0x18F] = static_cast<std::uint8_t>(checksum);
}

void fixSnes(Bytes& file, bool copier, std::size_t base)
{
    const std::uint16_t checksum = snesChecksum(file, copier, base), complement = checksum ^ 0xFFFF;
    file[base + 0x1C] = static_cast<std::uint8_t>(complement);
    file[base + 0x1D] = static_cast<std::uint8_t>(complement >> 8);
    file[base + 0x1E] = static_cast<std::uint8_t>(checksum);
    file[base + 0x1F] = static_cast<std::uint8_t>(checksum >> 8);
}

Bytes gameBoyRom(std::size_t size, const std::string& title, std::uint8_t cgb)
{
    Bytes rom = randomBytes(size, 0x6B);
    std::copy(std::begin(kGameBoyLogo), std::end(kGameBoyLogo), rom.begin() + 0x104);
    put(rom, 0x134, title, cgb & 0x80 ? 15 : 16, '\0');
    if (cgb & 0x80)
        rom[0x143] = cgb;
    fixGameBoy(rom);
    return rom;
}

Bytes gbaRom(std::size_t size, const std::string& title, const std::string& gameCode)
{
    Bytes rom = randomBytes(size, 0xA6);
    rom[3] = 0xEA;  // the branch over the header
    put(rom, 0xA0, title, 12, '\0');
    put(rom, 0xAC, gameCode, 4, '\0');
    rom[0xB2] = 0x96;
    fixGba(rom);
    return rom;
}

Bytes megaDriveRom(std::size_t size, const std::string& title, std::size_t segaAt)
{
    Bytes rom = randomBytes(size, 0x3D);
    put(rom, 0x100, std::string(segaAt - 0x100, ' ') + "SEGA MEGA DRIVE", 16, ' ');
    put(rom, 0x150, title, 48, ' ');
    fixMegaDrive(rom);
    return rom;
}

Bytes smdDump(const Bytes& plain)
{
    Bytes file(512, 0);
    std::copy_n("\xAA\xBB\x06", 3, file.begin() + 8);
    for (std::size_t block = 0; block < plain.size(); block += 0x4000)
        for (std::size_t parity : {1, 0})  // each block's odd bytes, then its even bytes
            for (std::size_t at = block + parity; at < block + 0x4000; at += 2)
                file.push_back(plain[at]);
    return file;
}

std::size_t snesBase(Snes layout, bool copier)
{
    const std::size_t places[] = {0x7FC0, 0xFFC0, 0x40FFC0};
    return places[static_cast<int>(layout)] + (copier ? 512 : 0);
}

Bytes snesRom(Snes layout, std::size_t romSize, const std::string& title, bool copier)
{
    Bytes file = copier ? randomBytes(512, 0xC0) : Bytes();  // what a copier keeps there is its own
    const Bytes rom = randomBytes(romSize, static_cast<std::uint32_t>(romSize));
    file.insert(file.end(), rom.begin(), rom.end());
    const std::size_t base = snesBase(layout, copier);
    put(file, base, title, 21, ' ');
    const std::uint8_t modes[] = {0x20, 0x31, 0x35};  // HiROM and ExHiROM as FastROM
    file[base + 0x15] = modes[static_cast<int>(layout)];
    file[base + 0x17] = static_cast<std::uint8_t>(std::ceil(std::log2(romSize / 1024.0)));  // 1 KiB << it holds the ROM
    fixSnes(file, copier, base);
    return file;
}

Bytes nesRom(const NesFields& f, std::size_t body)
{
    Bytes rom = randomBytes(16 + body, 0x4E);
    std::fill(rom.begin(), rom.begin() + 16, 0);
    put(rom, 0, "NES\x1A", 4, '\0');
    rom[4] = static_cast<std::uint8_t>(f.prg);
    rom[5] = static_cast<std::uint8_t>(f.chr);
    rom[6] = static_cast<std::uint8_t>((f.mapper & 0x0F) << 4 | (f.battery ? 0x02 : 0));
    rom[7] = static_cast<std::uint8_t>((f.mapper & 0xF0) | (f.nes2 ? 0x08 : 0));
    if (f.nes2) {
        rom[8] = static_cast<std::uint8_t>(f.mapper >> 8 & 0x0F);
        const unsigned prgHigh = f.prgExponent ? 0xF : f.prg >> 8, chrHigh = f.chrExponent ? 0xF : f.chr >> 8;
        rom[9] = static_cast<std::uint8_t>(chrHigh << 4 | prgHigh);
    }
    return rom;
}

Bytes n64Rom(N64 order, std::size_t size)
{
    Bytes rom = randomBytes(size, 0x64);
    const std::uint8_t start[] = {0x80, 0x37, 0x12, 0x40};
    std::copy(std::begin(start), std::end(start), rom.begin());
    for (std::size_t i = 0; i + 4 <= size; i += 4) {
        if (order == N64::v64) {
            std::swap(rom[i], rom[i + 1]);
            std::swap(rom[i + 2], rom[i + 3]);
        } else if (order == N64::n64) {
            std::reverse(rom.begin() + i, rom.begin() + i + 4);
        }
    }
    return rom;
}

}  // namespace support
