#pragma once
// What a ROM file is, from its bytes alone: the console whose header it carries, that
// header's fields, the checksums it stores beside the values its bytes give, and the
// texts shown of them. Pure functions over bytes: no files, windows or threads, so that
// the background reader can run them on the blocks it hashes.

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// In the order they are tried: the first whose header a file carries is its format.
// megaDriveSmd: a Mega Drive ROM as a Super Magic Drive copier dumped it, interleaved.
enum class RomFormat { none, nes, n64, gameBoyAdvance, gameBoy, megaDrive, megaDriveSmd, snes };
enum class N64Order { bigEndian, byteSwapped, littleEndian };
enum class SnesMapping { loRom, hiRom, exHiRom };

// One stored checksum beside the value the bytes give.
struct RomChecksum {
    // "header checksum", "global checksum", "header complement", "checksum"; SNES adds a
    // "complement" when its own does not complement the stored checksum.
    const char* name;
    std::uint64_t offset;  // of its first stored byte in the file
    std::uint32_t stored, computed;
    int digits;    // 2 for a byte, 4 for a word
    bool matches;
};

// A PRG or CHR size, multiplier x 2^shift bytes: the NES 2.0 exponent form reaches
// 7 x 2^63, past any integer.
struct NesSize {
    std::uint32_t multiplier = 0;
    unsigned shift = 0;
    bool exponentForm = false;
};
bool operator==(const NesSize& a, const NesSize& b);  // by the bytes they stand for
inline bool operator!=(const NesSize& a, const NesSize& b) { return !(a == b); }

struct NesHeader {
    bool nes2 = false;
    unsigned mapper = 0;
    NesSize prg, chr;
    bool battery = false;
};
NesHeader DecodeNesHeader(const unsigned char* header16);

struct RomFacts {
    RomFormat format = RomFormat::none;
    std::string title;     // Game Boy Advance, Game Boy, Mega Drive, SNES
    std::string gameCode;  // Game Boy Advance; empty when blank
    bool gameBoyColor = false;
    unsigned char nesBytes[16] = {};  // NES: the header as the file holds it
    NesHeader nes;
    N64Order n64Order = N64Order::bigEndian;
    SnesMapping snesMapping = SnesMapping::loRom;
    std::uint64_t headerBase = 0;        // SNES: B, a file offset, the copier header counted
    bool copierHeader = false;           // SNES
    std::vector<RomChecksum> checksums;  // in the order of the format's line
};

// Reads a file's bytes in order, in blocks of any size, and tells what it is. Only the
// few header bytes each format needs are kept, and only the sums a format still in
// question needs are taken, so the scan costs a small part of hashing the same bytes.
class RomScan {
public:
    // The file's size is known before its bytes.
    explicit RomScan(std::uint64_t fileSize);
    // A patch's output: the format and header place of like (the source's), with the
    // stored and computed checksums of these bytes, of this size.
    RomScan(std::uint64_t fileSize, const RomFacts& like);

    // Bytes past the size given are not the file's and are left out.
    void Add(const unsigned char* data, std::size_t size);
    // Format none when fewer bytes came than the size given (the file shrank meanwhile),
    // or, for an output, when it is too short to hold the header.
    RomFacts Finish() const;

private:
    static constexpr std::size_t kHead = 0x200;  // holds every header but SNES's
    static constexpr int kWindows = 3;

    struct Window {
        std::uint64_t base;
        SnesMapping mapping;
        unsigned char bytes[0x20];
    };
    struct Sums {
        std::uint64_t even = 0, odd = 0;  // bytes at even and at odd file offsets
    };

    void AddWindow(std::uint64_t base, SnesMapping mapping);
    bool SmdDump() const;
    void StartSums();
    void SettleSnes();
    void AddSums(const unsigned char* data, std::size_t size);
    std::uint32_t SnesSum(const Window& window, std::uint64_t headSum) const;

    std::uint64_t m_size, m_at = 0;
    bool m_forced = false;
    RomFacts m_like;
    unsigned char m_head[kHead] = {};
    Window m_windows[kWindows] = {};
    int m_windowCount = 0;
    std::uint64_t m_copier = 0;
    std::uint64_t m_split = ~std::uint64_t(0);  // SNES: where the last L bytes start
    bool m_summing = false, m_searching = false;
    Sums m_low, m_high;  // the bytes from kHead on, before and from m_split
    // An SMD dump's first block: its bytes that hold plain offsets 0x101, 0x103... and 0x100, 0x102...
    unsigned char m_smdOdd[4] = {}, m_smdEven[4] = {};
};

// The Source row's line of the format; empty for none.
std::string RomFormatLine(const RomFacts& facts);

// A hunk as the patch holds it.
struct HunkSpan {
    std::uint32_t offset, length;
    const unsigned char* bytes;
};

// The header regions a hunk writes at least one byte of in a source of this format, and
// for NES what it changes of the header's fields. A stated size (0: none) cuts the hunk.
std::vector<std::string> HunkHeaderLines(const RomFacts& source, const HunkSpan& hunk, std::uint32_t statedSize);

// What the stated size and the hunks say of the source the patch was made for.
std::vector<std::string> PatchFitLines(const RomFacts& source, std::uint64_t sourceSize, std::uint32_t statedSize,
                                       const std::vector<HunkSpan>& hunks);

// Whether the output's checksums will match: nothing when the source's format has none,
// or when they do not match in the source itself.
std::vector<std::string> OutputChecksumLines(const RomFacts& source, const RomFacts& output);

// The bytes that make every checksum match (offset, value), in the order they must be
// worked out; empty when they all match.
std::vector<std::pair<std::uint64_t, unsigned char>> ChecksumWrites(const RomFacts& facts);
