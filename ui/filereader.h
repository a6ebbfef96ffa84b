#pragma once
// What the window learns of its three files in the background: each file's size and
// hashes and, for the source, what each hunk of the loaded patch does to it. One read of
// a file gives all of it, in blocks, on the one background thread; answers come back to
// the window by a posted message. The window's thread never waits on a file for them.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "framework/win32/background.h"
#include "framework/win32/filehashes.h"
#include "patch/relation.h"
#include "patch/romformat.h"

// The rows whose files are read, each with requests of its own.
enum class PathRow { source, patch, destination };
constexpr int kPathRows = 3;

// What tells one state of a file's contents from another.
struct FileStamp {
    std::uint64_t size = 0;
    FILETIME written{};
    bool operator==(const FileStamp& other) const
    {
        return size == other.size && CompareFileTime(&written, &other.written) == 0;
    }
    bool operator!=(const FileStamp& other) const { return !(*this == other); }
};
FileStamp StampOf(const WIN32_FILE_ATTRIBUTE_DATA& data);
// Whether the system keeps the file's bytes elsewhere, to be fetched when it is read:
// an online-only file of a cloud drive, or one moved to slow storage.
bool KeptOnline(DWORD attributes);

struct FileHashes {
    std::uint32_t crc32 = 0;
    Digests digests;
};

// Past this the hashes would take the reader too long to be worth waiting for.
constexpr std::uint64_t kHashLimit = 1ull << 30;

// What one read found.
struct FileFacts {
    enum class State {
        missing,
        unreadable,
        online,     // not read: the system keeps its bytes elsewhere
        unchanged,  // as the request already knew it: its hashes were not read again
        tooLarge,   // not hashed: over kHashLimit
        hashed,
    };
    State state = State::unreadable;
    FileStamp stamp;
    FileHashes whole;
    std::optional<FileHashes> headerless;  // from offset 512 on, when the size suggests a copier header
    RomFacts rom;                          // what a hashed file is: a console's ROM, or none
    std::shared_ptr<const HunkSnapshot> relationsOf;  // the hunks of relations; null when there are none
    std::vector<HunkRelation> relations;             // by hunk index
};

struct ReadRequest {
    std::string path;
    // The stamp at which the window already has the file's hashes: unchanged, the file's
    // hashes are not read again.
    std::optional<FileStamp> hashedAt;
    // Relations wanted of these hunks, unless relationsKnown (at hashedAt).
    std::shared_ptr<const HunkSnapshot> hunks;
    bool relationsKnown = false;
};

// Reads the file of request for all it asks, in one pass of blocks of at most 1 MiB,
// shared with other programs; a file that changes meanwhile is read again. False when
// stopping() said to stop part way.
bool ReadFacts(const ReadRequest& request, const CBackgroundThread::Stopping& stopping, FileFacts& facts);

// What Patch would write from the source as it stands, with these ticks.
struct OutputRequest {
    std::string source;
    FileStamp stamp;  // of the source, as read for rom
    RomFacts rom;     // the source's
    std::shared_ptr<const HunkSnapshot> hunks;
    std::vector<std::uint32_t> ticked;  // hunk indices, in list order
};
struct OutputFacts {
    bool known = false;  // false: the source changed or could not be read
    std::uint64_t size = 0;
    std::vector<std::string> checksumLines;  // whether the output's checksums will match
};
// Streams the output through a scan of the source's format, for the checksums it would
// store and call for; reads the source only when its format has checksums. False when
// stopping() said to stop part way.
bool WorkOutOutput(const OutputRequest& request, const CBackgroundThread::Stopping& stopping, OutputFacts& facts);

// How the reader looks at a file before it opens it: the system's call, unless a test
// puts one of its own here. Returns the one it replaced.
using AttributesCall = decltype(&GetFileAttributesExA);
AttributesCall SetReaderAttributesCall(AttributesCall call);

// The window's side: one request under way per row at most; a newer request of a row
// makes its older one stop and its answer go.
class CFileReader {
public:
    CFileReader();
    ~CFileReader();
    CFileReader(const CFileReader&) = delete;
    CFileReader& operator=(const CFileReader&) = delete;

    // Answers are announced by message to window (no parameters).
    bool Start(HWND window, UINT message);
    void Read(PathRow row, ReadRequest request);
    // Drops the row's request under way, if any.
    void Forget(PathRow row);
    bool Pending(PathRow row) const { return m_pending[static_cast<int>(row)]; }
    // One output at a time, as for a row; the answer names request.
    void WorkOut(std::shared_ptr<const OutputRequest> request);

    struct Answer {
        PathRow row;
        std::string path;
        FileFacts facts;
        bool output = false;  // then the answer of WorkOut, in outputFacts, of request
        OutputFacts outputFacts;
        std::shared_ptr<const OutputRequest> request;
    };
    // The answers that came since the last call, of each row's latest request.
    std::vector<Answer> TakeAnswers();

    CBackgroundThread& Thread() { return m_thread; }

private:
    struct Outbox;
    std::shared_ptr<Outbox> m_outbox;
    CBackgroundThread m_thread;
    bool m_pending[kPathRows] = {};
};
