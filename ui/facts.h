#pragma once
// What the window learns of its three files in the background, and what it asks for: the
// requests it hands the reader and the answers that come back. Plain data, on any platform.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "framework/digests.h"
#include "framework/file.h"
#include "patch/relation.h"
#include "patch/romformat.h"

// The rows whose files are read, each with requests of its own.
enum class PathRow { source, patch, destination };
constexpr int kPathRows = 3;

struct FileHashes {
    std::uint32_t crc32 = 0;
    Digests digests;
};

// Past this the hashes would take the reader too long to be worth waiting for.
constexpr std::uint64_t kHashLimit = 1ull << 30;

// What one read found.
struct FileFacts {
    enum class State {
        started,  // looked at, and now being read: only seen is filled in
        missing,
        unreadable,
        online,     // not read: the system keeps its bytes elsewhere
        unchanged,  // as the request already knew it: its hashes were not read again
        tooLarge,   // not hashed: over kHashLimit
        hashed,
    };
    State state = State::unreadable;
    PathLook seen;  // the file as the reader last looked at it by its name
    FileHashes whole;
    std::optional<FileHashes> headerless;  // from offset 512 on, when the size suggests a copier header
    RomFacts rom;                          // what a hashed file is: a console's ROM, or none
    std::shared_ptr<const HunkSnapshot> relationsOf;  // the hunks of relations; null when there are none
    std::vector<HunkRelation> relations;             // by hunk index
    bool relationsFailed = false;  // those of relationsOf ran out of memory: the hunks say nothing of the file
    std::vector<unsigned char> spanBytes;  // the file's bytes over the request's spans, with the relations
};

// Whether the reader read all it reads of the file.
inline bool ReadWhole(const FileFacts& facts)
{
    return facts.state == FileFacts::State::hashed || facts.state == FileFacts::State::tooLarge;
}

struct ReadRequest {
    std::uint64_t number = 0;  // NextLookNumber() as the window asked
    std::string path;
    // The file as it looked when the window got its hashes: unchanged, they are not read again.
    std::optional<PathLook> hashedAt;
    // Relations wanted of these hunks, unless relationsKnown (at hashedAt).
    std::shared_ptr<const HunkSnapshot> hunks;
    bool relationsKnown = false;
    // Where hunks of different patches write the same bytes: the file's bytes there come
    // with the relations (those past its end are not there to give).
    std::shared_ptr<const std::vector<std::pair<std::uint64_t, std::uint64_t>>> spans;
};

// What Patch would write from the source as it stands, with these ticks.
struct OutputRequest {
    std::uint64_t number = 0;
    std::string source;
    PathLook seen;  // of the source, as read for rom
    RomFacts rom;   // the source's
    std::shared_ptr<const HunkSnapshot> hunks;
    std::vector<std::uint32_t> ticked;  // hunk indices, in list order
};
struct OutputFacts {
    bool known = false;  // false: the source changed or could not be read
    std::uint64_t size = 0;
    std::vector<std::string> checksumLines;  // whether the output's checksums will match
};
