#pragma once
// Putting new contents in the place of a file, as Patch does and Correct Checksums: a file
// beside it takes the bytes and reaches the disk, and only then takes its place, so that
// neither a failed write nor a power cut after the report leaves it empty or short.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "framework/report.h"
#include "patch/relation.h"

// Whether two names lead to one file: equal, or, for different names (letter case, short
// names, links), one identity the file system gives.
bool NamesOneFile(const std::string& a, const std::string& b);

// What writing the destination came to, with the names the report has to give.
struct WrittenFile {
    enum How { done, notOpened, notReplaced, stranded } how = notOpened;
    std::string backup;             // the old bytes: beside the destination, or in its place when stranded
    std::string fresh;              // the new bytes, when stranded
    std::vector<std::string> left;  // made by this command and still there
};

// Writes size bytes of data in the place of destination, or makes it. Whatever this
// made is gone again by the time it returns or raises (CFileException, with the files
// left behind named), or else named in what it returns.
WrittenFile WriteInPlace(const std::string& destination, const unsigned char* data, std::size_t size);

// The one report of a write that did not raise; success is its sentence when it went
// through.
std::string WrittenReport(const WrittenFile& written, const std::string& success, ReportIcon& icon);

// What Patch would write, worked out a block at a time without an image of the whole:
// the ticked hunks (hunk indices, in list order) over the source's bytes.
class PatchOutput {
public:
    // hunks must outlive this.
    PatchOutput(const HunkSnapshot& hunks, std::vector<std::uint32_t> ticked, std::uint64_t sourceSize);

    // The size Patch writes: the stated one, or the source's grown to hold each ticked
    // hunk that has bytes.
    std::uint64_t Size() const { return m_size; }
    // Lays the ticked hunks over block, the output's bytes from offset on as the source
    // gives them (zero past its end): in list order, the later over the earlier.
    void Overlay(std::uint64_t offset, unsigned char* block, std::size_t size) const;

private:
    const HunkSnapshot& m_hunks;
    std::vector<std::uint32_t> m_ticked;
    std::vector<std::uint32_t> m_offsets;  // of the ticked hunks, which go up in list order
    std::uint64_t m_size;
};
