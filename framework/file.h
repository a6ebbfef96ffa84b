#pragma once
// A file opened without sharing, or, for a look that must not get in other programs'
// way, shared. Reads go through a read-ahead buffer so that field-by-field readers cost
// no system call per field.

#include <cstdint>
#include <memory>
#include <string>

#include "framework/exceptions.h"

// What a file system gives to tell its files apart: the volume and the file's number on
// it (up to 128 bits, as ReFS has). Zero in either means the file system gave none.
struct CFileId {
    std::uint64_t volume = 0;
    unsigned char file[16] = {};
};
bool KnownFileId(const CFileId& id);
bool SameFileId(const CFileId& a, const CFileId& b);

// What tells one state of a file from another: its size, its times and which file it is.
// A time or id the file system does not give is zero, and then does not count: two
// identities differ only in what both give.
struct FileIdentity {
    std::uint64_t size = 0;
    std::uint64_t written = 0;  // last write, in the platform's ticks
    std::uint64_t changed = 0;  // last change of contents or metadata; moves when a time is put back
    CFileId id;
};
bool operator==(const FileIdentity& a, const FileIdentity& b);
inline bool operator!=(const FileIdentity& a, const FileIdentity& b) { return !(a == b); }

// How a look at a file by its name came out.
enum class FileLook { found, missing, failed };

// What a look at a file by its name saw.
struct PathLook {
    FileLook look = FileLook::failed;
    FileIdentity identity;    // found only
    bool keptOnline = false;  // found only; then the identity has no change time or id
    // Taken just before the look: a look with a larger number saw the file later.
    std::uint64_t number = 0;
};
bool operator==(const PathLook& a, const PathLook& b);  // what was seen, whenever
inline bool operator!=(const PathLook& a, const PathLook& b) { return !(a == b); }

// Numbers that go up with every look and every request, across threads.
std::uint64_t NextLookNumber();

class CFile {
public:
    enum Mode {
        modeRead,          // existing file, read only
        modeCreate,        // create or truncate, write only
        modeWriteExisting, // open or create without truncating, write only
        modeCreateNew,     // create; fails if the name is taken
        modeReadShared,    // existing file, read only; others may read, write and delete it meanwhile
    };

    CFile();
    ~CFile();  // closes without raising
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // False when the file cannot be opened; the cause goes to *error if given.
    bool Open(const char* path, Mode mode, CFileException* error = nullptr);
    bool IsOpen() const;
    // Whether the last successful Open made a new file rather than opening an old one.
    bool Created() const { return m_created; }

    // Reads up to count bytes; fewer only at the end of the file. Raises on error.
    std::size_t Read(void* buffer, std::size_t count);
    // Writes all of count bytes; a short write raises the disk-full cause.
    void Write(const void* buffer, std::size_t count);
    // Returns once the bytes written so far are on the disk. Raises on error.
    void Flush();
    // Moves to position from the start, for the next Read. Raises on error.
    void Seek(std::uint64_t position);
    // The length, found by seeking to the end and back.
    std::uint64_t GetLength();
    // Closes; raises when the platform reports an error.
    void Close();
    // Closes and ignores errors; for cleanup paths.
    void Abort();

    const std::string& GetFilePath() const { return m_path; }
    // The open file's identity; false when the platform cannot tell it.
    bool GetIdentity(FileIdentity& identity) const;
    // The identity of the file at path, looked at without reading it and without getting
    // in the way of a program that holds it open.
    static FileLook IdentityOf(const char* path, FileIdentity& identity);

    // Removes a file, trying again for a moment while another program holds it; false
    // when it stays.
    static bool Remove(const char* path);
    // Moves from onto to, replacing to, and returns once the move is on the disk; false
    // on failure.
    static bool Rename(const char* from, const char* to);
    // Puts from in the place of the existing file to, which keeps what it was besides its
    // contents: attributes or mode, security settings, creation time, as far as the
    // platform keeps them. Returns once the move is on the disk. On failure to is as it
    // was and from is still there. backup comes back with the name of a file that still
    // holds the old contents, if one stays: after success, one that could not be removed;
    // after a failure, one in place of to, which is gone, while from still holds the new.
    static bool Replace(const char* from, const char* to, std::string& backup);
    // True when both names exist and lead to one and the same file. Only an identity the
    // file system really gives counts: files it cannot tell apart are taken as different.
    static bool IsSameFile(const char* a, const char* b);

    // How IsSameFile identifies a file: the platform's lookup, unless a test puts one of
    // its own here (nullptr puts the platform's back). Returns the lookup it replaced.
    using IdLookup = bool (*)(const char* path, CFileId& id);
    static IdLookup SetIdLookup(IdLookup lookup);

    static constexpr std::size_t kBufferSize = 64 * 1024;

private:
    std::intptr_t m_handle;
    std::string m_path;
    bool m_created = false;
    std::unique_ptr<unsigned char[]> m_buffer;
    std::size_t m_bufPos = 0;  // next unread byte (reading) in m_buffer
    std::size_t m_bufEnd = 0;  // end of the buffered bytes
};
