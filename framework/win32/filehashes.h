#pragma once
// A file's CRC32, MD5, SHA-1 and SHA-256, read once. The last three come from the
// system's bcrypt, loaded from the system folder on first use: it is not among the
// libraries Windows protects from planting.

#include <cstdint>
#include <string>

class CFile;

struct FileHashes {
    std::uint32_t crc32 = 0;
    // Lower-case hex, as md5sum, sha1sum and sha256sum print them; empty where the
    // system gives no such hash.
    std::string md5, sha1, sha256;
};

// Reads file from where it stands to its end. Raises CFileException when a read fails.
FileHashes HashFile(CFile& file);
