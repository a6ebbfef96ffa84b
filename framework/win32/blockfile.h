#pragma once
// A file read in large blocks by a background thread, shared with every other program, in
// reads that another thread can cut short: a read from a slow disk or share need not hold
// up a command that waits for the reader to let go of the file.

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "framework/file.h"
#include "framework/win32/handle.h"

class CBlockFile {
public:
    CBlockFile() = default;
    CBlockFile(const CBlockFile&) = delete;
    CBlockFile& operator=(const CBlockFile&) = delete;

    bool Open(const char* path);
    bool GetIdentity(FileIdentity& identity) const;
    // Reads up to size bytes at offset; got is 0 at the end. False on an error, or when
    // Cancel cut it short.
    bool Read(std::uint64_t offset, unsigned char* data, std::size_t size, std::size_t& got);
    // From any thread: the read under way, if any, ends at once.
    void Cancel();

private:
    UniqueFileHandle m_file;
    UniqueKernelHandle m_done;  // the read's event
};
