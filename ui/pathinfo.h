#pragma once
// What a path row's tooltip says of its file: its size and hashes. Hashes are kept for
// each path with the size and last-write time they were made for, so hovering again costs
// nothing and a file that changed is hashed again.

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>

class CPathInfo {
public:
    // The lines for the file at path, joined by "\n"; size is set when the file's size is
    // known, and left alone otherwise.
    std::string Describe(const std::string& path, std::uint64_t& size, bool& sizeKnown);

private:
    struct Known {
        std::uint64_t size;
        FILETIME written;
        std::string lines;
    };
    std::map<std::string, Known> m_known;
};

// "%1 bytes (0x%2)", singular for one byte.
std::string SizeText(std::uint64_t size);
