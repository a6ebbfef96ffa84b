// What a ROM file is, whatever the blocks it is read in, each format at its edges; and the
// lines and the checksum writes that follow from it.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>

#include "patch/romformat.h"
#include "tests/support/rom.h"

namespace {

using support::Bytes;
using support::Snes;
using Lines = std::vector<std::string>;
constexpr std::size_t kMiB = 1 << 20;

RomFacts scan(const Bytes& bytes, std::size_t block = kMiB, const RomFacts* like = nullptr, std::size_t first = 0)
{
    RomScan reader = like ? RomScan(bytes.size(), *like) : RomScan(bytes.size());
    reader.Add(bytes.data(), first);
    for (std::size_t at = first; at < bytes.size(); at += block)
        reader.Add(bytes.data() + at, std::min(block, bytes.size() - at));
    return reader.Finish();
}

std::string hex(std::uint32_t value, int digits)
{
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, static_cast<unsigned>(value));
    return text;
}

// Upper-case hex digits after "0x" as "#": the values are checked where they are written.
std::string shape(std::string line)
{
    for (std::size_t at = line.find("0x"); at != std::string::npos; at = line.find("0x", at + 1))
        for (std::size_t i = at + 2; i < line.size() && std::string("0123456789ABCDEF").find(line[i]) < 16; ++i)
            line[i] = '#';
    return line;
}

std::string dump(const RomFacts& facts)
{
    std::string text = RomFormatLine(facts) + " at " + std::to_string(facts.headerBase);
    for (const RomChecksum& c : facts.checksums)
        text += " " + std::to_string(c.offset) + ":" + hex(c.stored, 4) + "/" + hex(c.computed, 4);
    return text;
}

Bytes with(Bytes bytes, std::size_t at, int value)
{
    bytes[at] = static_cast<std::uint8_t>(value);
    return bytes;
}
Bytes flip(const Bytes& bytes, std::size_t at) { return with(bytes, at, bytes[at] ^ 1); }
// A SNES ROM whose checksum is right and whose complement is not.
Bytes badComplement(Bytes b, std::size_t base) { support::fixSnes(b, false, base); return flip(b, base + 0x1C); }
Bytes resized(Bytes bytes, std::size_t size)
{
    bytes.resize(size);
    return bytes;
}

// The ROMs several cases start from, built once.
struct Roms {
    Bytes lo = support::snesRom(Snes::lo, kMiB, "LOROM ONE MIB");
    Bytes hi = support::snesRom(Snes::hi, kMiB * 3 / 2, "HIROM 1.5 MIB");
    Bytes copied = support::snesRom(Snes::lo, 3 * kMiB, "COPIED", true);
    Bytes ex = support::snesRom(Snes::exHi, 4 * kMiB + kMiB / 2, "EX");
    Bytes gb = support::gameBoyRom(0x8000, "  GB\x7FTEST  ");
    Bytes md = support::megaDriveRom(0x20001, "  MEGA TEST  ");
    Bytes gba = support::gbaRom(0x400, std::string("GBA\0TAIL", 8), "ATST");
    Bytes nes2 = support::nesRom({true, 0x123, 0x105, 0x201});
};
const Roms& roms() { static const Roms built; return built; }
const std::size_t kLo = support::snesBase(Snes::lo, false), kHi = support::snesBase(Snes::hi, false);
const std::size_t kCopied = support::snesBase(Snes::lo, true), kEx = support::snesBase(Snes::exHi, false);

TEST(RomFormat, DetectsEachFormatAtItsEdges)
{
    const Roms& r = roms();
    Bytes twoHeaders = support::snesRom(Snes::hi, kMiB, "HIROM");
    std::copy(twoHeaders.begin() + kHi, twoHeaders.begin() + kHi + 0x20, twoHeaders.begin() + kLo);
    twoHeaders[kLo + 0x15] = 0x20;
    const std::string gbSums = "header checksum 0x## matches, global checksum 0x#### matches.";
    const std::string loWrong = "SNES ROM \"LOROM ONE MIB\", LoROM: checksum 0x#### does not match (0x#### would).";
    const std::string note = " order; N64 patches are made for the big-endian (.z64) order.";
    const std::string v64 = "N64 ROM in byte-swapped (.v64)" + note, n64 = "N64 ROM in little-endian (.n64)" + note;
    const std::string smd = "An interleaved SMD dump of a Mega Drive ROM: patches are made for the plain (BIN) form.";
    const Bytes smdDump = support::smdDump(support::megaDriveRom(0x8000, "SMD")), hb = support::gbaRom(0x400, "HB", "");
    const struct { const char* what; Bytes bytes; std::string line; } cases[] = {
        {"iNES with battery", support::nesRom({false, 74, 16, 8, false, false, true}),
         "NES ROM, iNES header: mapper 74, PRG 256 KiB, CHR 64 KiB, battery-backed RAM."},
        {"NES 2.0 past 8 bits", r.nes2, "NES ROM, NES 2.0 header: mapper 291, PRG 4176 KiB, CHR 4104 KiB."},
        {"NES 2.0 exponents, the largest and the least", support::nesRom({true, 0, 0xFF, 0, true, true}),
         "NES ROM, NES 2.0 header: mapper 0, PRG 64563604257983430656 bytes, CHR 1 byte."},
        {"byte 7 with 0x0C is iNES", with(r.nes2, 7, r.nes2[7] | 0x0C),
         "NES ROM, iNES header: mapper 35, PRG 80 KiB, CHR 8 KiB."},
        {"iNES with 'D' of \"DiskDude!\" in byte 7", with(support::nesRom({false, 0x41, 16, 8}), 7, 'D'),
         "NES ROM, iNES header: mapper 1, PRG 256 KiB, CHR 64 KiB."},
        {"NES 0x1B", with(r.nes2, 3, 0x1B), ""},
        {"NES of 15 bytes", resized(r.nes2, 15), ""},
        {"z64", support::n64Rom(support::N64::z64), "N64 ROM, big-endian (.z64) byte order."},
        {"v64", support::n64Rom(support::N64::v64), v64},
        {"n64", support::n64Rom(support::N64::n64), n64},
        {"z64 homebrew", with(support::n64Rom(support::N64::z64), 3, 0x41), "N64 ROM, big-endian (.z64) byte order."},
        {"v64 homebrew", with(support::n64Rom(support::N64::v64), 2, 0x41), v64},
        {"n64 homebrew", with(support::n64Rom(support::N64::n64), 0, 0x41), n64},
        {"N64 near miss", with(support::n64Rom(support::N64::z64), 3, 0x42), ""},
        {"GBA, title to its zero", r.gba, "Game Boy Advance ROM \"GBA\" (ATST): header complement 0x## matches."},
        {"GBA code in lower case, its complement wrong", with(r.gba, 0xAD, 't'), ""},
        {"GBA code in lower case", support::gbaRom(0x400, "HB", "hb0x"),
         "Game Boy Advance ROM \"HB\" (hb0x): header complement 0x## matches."},
        {"GBA code of zeros", hb, "Game Boy Advance ROM \"HB\": header complement 0x## matches."},
        {"GBA code of zeros, its complement wrong", flip(hb, 0xBD), ""},
        {"GBA without 0x96", with(r.gba, 0xB2, 0x97), ""},
        {"GBA without its branch", with(r.gba, 3, 0xEB), ""},
        {"GBA cut before its complement", resized(r.gba, 0xBD), ""},
        {"Game Boy", r.gb, "Game Boy ROM \"GB?TEST\": " + gbSums},
        {"title of 16 bytes", support::gameBoyRom(0x150, "\x01GAMEBOY TEST 16"),
         "Game Boy ROM \"?GAMEBOY TEST 16\": " + gbSums},
        {"0x80", support::gameBoyRom(0x4000, "COLOR", 0x80), "Game Boy Color ROM \"COLOR\": " + gbSums},
        {"0xC0", support::gameBoyRom(0x4000, "ONLY", 0xC0), "Game Boy Color ROM \"ONLY\": " + gbSums},
        {"0x88: 15 bytes of title, no colour", support::gameBoyRom(0x4000, "FIFTEEN CHARS G", 0x88),
         "Game Boy ROM \"FIFTEEN CHARS G\": " + gbSums},
        {"logo off by a bit", with(r.gb, 0x133, 0x3F), ""},
        {"Game Boy of 0x14F bytes", resized(r.gb, 0x14F), ""},
        {"Mega Drive of odd length", r.md, "Mega Drive ROM \"MEGA TEST\": checksum 0x#### matches."},
        {"SEGA at 0x101", support::megaDriveRom(0x400, "B", 0x101), "Mega Drive ROM \"B\": checksum 0x#### matches."},
        {"SEGB", with(r.md, 0x103, 'B'), ""},
        {"Mega Drive cut before its checksum", resized(r.md, 0x18F), ""},
        {"SMD", smdDump, smd},
        {"SMD, SEGA at 0x101", support::smdDump(support::megaDriveRom(0x4000, "B", 0x101)), smd},
        {"SMD of file type 7", with(smdDump, 10, 7), ""},
        {"SMD and 2 bytes", resized(smdDump, smdDump.size() + 2), ""},
        {"LoROM 1 MiB", r.lo, "SNES ROM \"LOROM ONE MIB\", LoROM: checksum 0x#### matches."},
        {"HiROM 1.5 MiB", r.hi, "SNES ROM \"HIROM 1.5 MIB\", HiROM: checksum 0x#### matches."},
        {"LoROM 3 MiB after a copier header", r.copied,
         "SNES ROM \"COPIED\", LoROM, after a 512-byte copier header: checksum 0x#### matches."},
        {"ExHiROM 4.5 MiB, its header in the part counted 8 times", r.ex,
         "SNES ROM \"EX\", ExHiROM: checksum 0x#### matches."},
        {"the first place wins", twoHeaders,
         "SNES ROM \"HIROM\", LoROM: checksum 0x#### does not match (0x#### would)."},
        {"LoROM map 0x22", with(r.lo, kLo + 0x15, 0x22), loWrong},
        {"LoROM map 0x33", with(r.lo, kLo + 0x15, 0x33), loWrong},
        {"HiROM map 0x2A", with(r.hi, kHi + 0x15, 0x2A),
         "SNES ROM \"HIROM 1.5 MIB\", HiROM: checksum 0x#### does not match (0x#### would)."},
        {"LoROM marked HiROM", with(r.lo, kLo + 0x15, 0x21), ""},
        {"map byte 0x40", with(r.lo, kLo + 0x15, 0x40), ""},
        {"complement off by one", badComplement(r.lo, kLo),
         "SNES ROM \"LOROM ONE MIB\", LoROM: checksum 0x#### matches, complement 0x#### does not match "
         "(0x#### would)."},
        {"and the checksum off", flip(badComplement(r.lo, kLo), kLo + 0x1F), ""},
        {"and the map byte HiROM's", badComplement(with(r.lo, kLo + 0x15, 0x21), kLo), ""},
        {"and a ROM size byte of 16 MiB", badComplement(with(r.lo, kLo + 0x17, 14), kLo), ""},
        {"and an ExHiROM of 4 MiB", badComplement(with(r.ex, kEx + 0x17, 12), kEx), ""},
        {"512 more bytes at the end", resized(r.lo, kMiB + 512), ""},
        {"cut a byte before the header's end", resized(r.lo, kLo + 0x1F), ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const RomFacts facts = scan(c.bytes);
        EXPECT_EQ(shape(RomFormatLine(facts)), c.line);
        for (std::size_t block : {1, 3, 4093})
            EXPECT_EQ(dump(scan(c.bytes, block)), dump(facts)) << block;
    }
    for (std::size_t split = 0; split <= 0x4200; ++split)  // every split of the SMD's first block
        ASSERT_EQ(RomFormatLine(scan(smdDump, kMiB, nullptr, split)), smd) << split;
    RomScan shrunk(r.gb.size() + 1);  // the file shrank while it was read
    shrunk.Add(r.gb.data(), r.gb.size());
    EXPECT_EQ(shrunk.Finish().format, RomFormat::none);
}

std::function<void(Bytes&)> fixSnes(bool copier, std::size_t base)
{
    return [=](Bytes& b) { support::fixSnes(b, copier, base); };
}

TEST(RomFormat, OutputChecksumsAndTheirCorrection)
{
    const Roms& r = roms();
    const support::Checksum &header = support::kGameBoyHeader, &global = support::kGameBoyGlobal;
    const std::string gbWrong = "Game Boy ROM \"GB?TEST\": header checksum 0x## does not match (0x## would), ";
    const support::Checksum exComplement{"complement", kEx + 0x1C, 4, true,
                                         [](const Bytes& b) { return support::snesChecksum(b, false, kEx) ^ 0xFFFFu; }};
    const struct {
        const char* what;
        const Bytes& source;
        Bytes output;
        std::function<void(Bytes&)> fix;
        std::vector<support::Checksum> wrong;
        std::string line;  // of the output on its own
    } cases[] = {
        {"Game Boy, a title byte", r.gb, with(r.gb, 0x144, 'X'), support::fixGameBoy, {header, global},
         gbWrong + "global checksum 0x#### does not match (0x#### would)."},
        {"Game Boy, the header checksum alone", r.gb, flip(r.gb, 0x14D), support::fixGameBoy, {header, global},
         gbWrong + "global checksum 0x#### does not match (0x#### would)."},
        {"Game Boy, a byte only the global checksum covers", r.gb, flip(r.gb, 0x7FFF), support::fixGameBoy, {global},
         "Game Boy ROM \"GB?TEST\": header checksum 0x## matches, global checksum 0x#### does not match "
         "(0x#### would)."},
        {"GBA, a title byte", r.gba, with(r.gba, 0xA0, 'g'), support::fixGba, {support::kGbaComplement},
         "Game Boy Advance ROM \"gBA\" (ATST): header complement 0x## does not match (0x## would)."},
        {"Mega Drive, its odd last byte", r.md, flip(r.md, 0x20000), support::fixMegaDrive, {support::kMegaDrive},
         "Mega Drive ROM \"MEGA TEST\": checksum 0x#### does not match (0x#### would)."},
        {"Mega Drive grown with zeros", r.md, resized(r.md, 0x20004), support::fixMegaDrive, {},
         "Mega Drive ROM \"MEGA TEST\": checksum 0x#### matches."},
        {"HiROM 1.5 MiB, a byte of the part counted twice", r.hi, flip(r.hi, 0x17FFFF), fixSnes(false, kHi),
         {support::snesStored(false, kHi)},
         "SNES ROM \"HIROM 1.5 MIB\", HiROM: checksum 0x#### does not match (0x#### would)."},
        {"ExHiROM, the complement alone, in the part counted 8 times", r.ex, flip(r.ex, kEx + 0x1D),
         fixSnes(false, kEx), {exComplement},
         "SNES ROM \"EX\", ExHiROM: checksum 0x#### matches, complement 0x#### does not match (0x#### would)."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const RomFacts source = scan(c.source), output = scan(c.output, kMiB, &source);
        Lines expected;
        for (const support::Checksum& s : c.wrong)
            expected.push_back("The output's " + std::string(s.name) + " will not match (0x" +
                               hex(s.stored(c.output), s.digits) + " stored, 0x" + hex(s.wanted(c.output), s.digits) +
                               " would). Correct it after Patch with the Destination row's Correct Checksums.");
        if (c.wrong.empty())
            expected.push_back("The output's checksums will match.");
        EXPECT_EQ(OutputChecksumLines(source, output), expected);
        EXPECT_EQ(shape(RomFormatLine(scan(c.output))), c.line);
        EXPECT_EQ(ChecksumWrites(scan(c.output)), ChecksumWrites(output));  // as the Destination row reads it

        Bytes corrected = c.output, fixed = c.output;
        for (const auto& [at, value] : ChecksumWrites(output))
            corrected.at(at) = value;
        c.fix(fixed);
        EXPECT_EQ(corrected, fixed);
        const RomFacts again = scan(corrected);
        EXPECT_TRUE(ChecksumWrites(again).empty());
        EXPECT_EQ(OutputChecksumLines(again, again), Lines{"The output's checksums will match."});
    }
    const RomFacts wrongSource = scan(flip(r.md, 0x300)), lo = scan(r.lo), nes = scan(r.nes2);
    EXPECT_EQ(OutputChecksumLines(wrongSource, wrongSource), Lines{});
    EXPECT_EQ(OutputChecksumLines(lo, scan(resized(r.lo, kLo + 0x1F), kMiB, &lo)), Lines{});
    EXPECT_EQ(OutputChecksumLines(nes, nes), Lines{});
}

TEST(RomFormat, HunksThatWriteTheHeader)
{
    const Roms& r = roms();
    const RomFacts gb = scan(r.gb), gba = scan(r.gba), md = scan(r.md), snes = scan(r.copied), nes2 = scan(r.nes2);
    const RomFacts ines = scan(support::nesRom({false, 1, 16, 16, false, false, true}));
    const std::uint32_t b = static_cast<std::uint32_t>(kCopied);
    const std::string header = "Writes the cartridge header.", nesHeader = "Writes the iNES header.";
    const struct {
        const char* what;
        const RomFacts& source;
        std::uint32_t offset;
        Bytes bytes;
        std::uint32_t stated;
        Lines lines;
    } cases[] = {
        {"Game Boy, every region", gb, 0x14C, {1, 2, 3}, 0,
         {header, "Writes the header checksum.", "Writes the global checksum."}},
        {"Game Boy, from before the header", gb, 0xFF, {1, 2}, 0, {header}},
        {"Game Boy, after it", gb, 0x150, {1}, 0, {}},
        {"Game Boy, past the stated size", gb, 0x14D, {1}, 0x14D, {}},
        {"GBA complement", gba, 0xBD, {1}, 0, {header, "Writes the header complement."}},
        {"GBA, after its header", gba, 0xC0, {1}, 0, {}},
        {"Mega Drive checksum", md, 0x18F, {1}, 0, {header, "Writes the checksum."}},
        {"Mega Drive header's last byte", md, 0x1FF, {1}, 0, {header}},
        {"SNES, before B", snes, b - 1, {1}, 0, {}},
        {"SNES, before the checksum", snes, b + 0x1B, {1}, 0, {"Writes the internal header."}},
        {"SNES checksum's last byte", snes, b + 0x1F, {1}, 0, {"Writes the internal header.", "Writes the checksum."}},
        {"NES mapper and battery", ines, 6, {0x40}, 0,
         {nesHeader, "Changes the mapper from 1 to 4.", "Removes battery-backed RAM."}},
        {"NES PRG, CHR as it was", ines, 4, {32, 16}, 0, {nesHeader, "Changes PRG from 256 to 512 KiB."}},
        {"NES 2.0 CHR and battery", nes2, 5, {2, 0x32}, 0,
         {nesHeader, "Changes CHR from 4104 to 4112 KiB.", "Adds battery-backed RAM."}},
        {"NES 2.0 PRG to the exponent form", nes2, 9, {0x2F}, 0, {nesHeader, "Changes PRG from 4176 KiB to 6 bytes."}},
        {"NES, the bytes it holds", ines, 10, {0, 0, 0, 0, 0, 0}, 0, {nesHeader}},
        {"NES, after the header", ines, 16, {1}, 0, {}},
        {"N64", scan(support::n64Rom(support::N64::z64)), 0, {0, 0, 0, 0}, 0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const HunkSpan hunk{c.offset, static_cast<std::uint32_t>(c.bytes.size()), c.bytes.data()};
        EXPECT_EQ(HunkHeaderLines(c.source, hunk, c.stated), c.lines);
    }
}

TEST(RomFormat, WhatThePatchWasMadeFor)
{
    const RomFacts none, copied = scan(roms().copied), bare = scan(roms().lo);
    const RomFacts v64 = scan(support::n64Rom(support::N64::v64)), z64 = scan(support::n64Rom(support::N64::z64));
    const std::string smaller = "The patch states an output 512 bytes smaller than the source: it is likely made for "
                                "the file without its copier header.";
    const std::string without = "The patch writes the checksum where a ROM without a copier header keeps it: it is "
                                "likely made for the file without one.";
    const std::uint32_t at = static_cast<std::uint32_t>(kLo + 0x1C), size = 3 * kMiB;
    const struct {
        const char* what;
        const RomFacts& source;
        std::uint64_t size;
        std::uint32_t stated;
        std::vector<HunkSpan> hunks;
        Lines lines;
    } cases[] = {
        {"512 smaller", none, 0x100200, 0x100000, {}, {smaller}},
        {"512 smaller, the source a whole KiB", none, 0x100400, 0x100200, {}, {}},
        {"512 larger", none, 0x100000, 0x100200, {},
         {"The patch states an output 512 bytes larger than the source: it is likely made for the file with a "
          "copier header."}},
        {"512 larger, the output a whole KiB", none, 0x100200, 0x100400, {}, {}},
        {"a copier header's checksum written without it", copied, size + 512, 0, {{at, 4, nullptr}}, {without}},
        {"and the size without it", copied, size + 512, size, {{0, 1, nullptr}, {at, 4, nullptr}}, {smaller, without}},
        {"three of the four bytes", copied, size + 512, 0, {{at + 1, 4, nullptr}}, {}},
        {"the fourth past the stated size", copied, size + 512, at + 3, {{at, 4, nullptr}}, {}},
        {"a checksum written with a copier header", bare, kMiB, 0, {{at + 512, 4, nullptr}},
         {"The patch writes the checksum where a ROM with a copier header keeps it: it is likely made for the file "
          "with one."}},
        {"byte-swapped N64", v64, 4096, 0, {}, {"The source's byte order is not the one N64 patches are made for."}},
        {"big-endian N64", z64, 4096, 0, {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(PatchFitLines(c.source, c.size, c.stated, c.hunks), c.lines);
    }
}

}  // namespace
