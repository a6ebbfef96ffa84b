#pragma once
// Bytes and files for the test suites, the benchmarks and the fuzz target: generated
// contents, whole-file reads and writes, and folders that are emptied or removed again.
// Paths are 8-bit text as the C library takes it (the ANSI code page on Windows), the
// way the program's own file calls take them.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace support {

using Bytes = std::vector<std::uint8_t>;

// n bytes from a small generator: the same for a seed on every platform and run.
Bytes randomBytes(std::size_t n, std::uint32_t seed);

// Each throws std::runtime_error when the file cannot be read or written whole.
Bytes readFile(const std::string& path);
void writeFile(const std::string& path, const Bytes& bytes);
// A file or a folder.
bool fileExists(const std::string& path);
// Throws when the file is there and stays there.
void removeFile(const std::string& path);

// folder and name joined with the platform's separator.
std::string joinPath(const std::string& folder, const std::string& name);
// Creates folder and its parents if missing.
void makeFolder(const std::string& folder);
// Removes folder with everything in it, read-only files included, and creates it again.
void emptyFolder(const std::string& folder);
// Names of the entries of folder, sorted; none when it is missing.
std::vector<std::string> listFolder(const std::string& folder);

// A fresh folder in the system's temporary folder, removed with everything in it when
// the object dies.
class ScratchDir {
public:
    explicit ScratchDir(const std::string& prefix = "velquin-test");
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& folder() const { return m_folder; }
    std::string path(const std::string& name) const { return joinPath(m_folder, name); }
    std::vector<std::string> entries() const { return listFolder(m_folder); }

private:
    std::string m_folder;
};

}  // namespace support
