#pragma once
// What the window knows of each path row's file, on the window's thread: one state a row,
// moved only by what the window chooses, what the reader answers and what the folder watch
// sees. Looking at it starts nothing; the window asks for reads itself (Refresh) and hands
// the requests to the reader.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ui/facts.h"

// How long a changed file must stay quiet before it is read again, in ms.
constexpr std::uint64_t kQuietMs = 500;

// The file as its row's tooltip shows it.
struct FileView {
    enum class Seen {
        missing,
        unreadable,
        online,   // its bytes are kept elsewhere: not read
        reading,  // the reader is still at it, or is to read it again
        known,    // facts are the reader's for the file as it stands
    };
    Seen seen = Seen::missing;
    std::optional<std::uint64_t> size;  // unknown until the reader or the watch has looked
    const FileFacts* facts = nullptr;   // known only
};

class CFileRows {
public:
    struct Row {
        enum class Phase {
            idle,     // no file chosen
            waiting,  // to be read at dueAt
            reading,  // the reader has request
            known,    // facts are of the file as it stands
            failed,   // facts.state says why it was not read
        };
        Phase phase = Phase::idle;
        std::string path;
        std::uint64_t request = 0;  // the number of the latest request
        std::uint64_t dueAt = 0;    // waiting
        bool showing = false;       // reading: the facts still hold; only relations are asked
        std::optional<PathLook> since;  // reading: the newest look after the request
        std::optional<PathLook> latest;  // the newest look of all: the size while reading
        FileFacts facts;            // known, failed; and hashes a request may reuse
        bool reusable = false;      // facts hold hashes of the file as facts.seen saw it
    };

    // The loaded patch's hunks, of which the source's relations are wanted; and the
    // file it was loaded from, as it was read.
    void SetPatch(std::shared_ptr<const HunkSnapshot> hunks, std::optional<FileIdentity> loaded,
                  std::shared_ptr<const std::vector<std::pair<std::uint64_t, std::uint64_t>>> spans = nullptr);
    const std::shared_ptr<const HunkSnapshot>& Hunks() const { return m_hunks; }

    // A row's file chosen, or none: nothing of an earlier read shows until the reader has
    // looked again; the row is due to be read at once.
    void Choose(PathRow row, const std::string& path);
    // Asks for the row's file anew: the request the reader is to get, none without a path.
    std::optional<ReadRequest> Refresh(PathRow row);
    // The reader's answer to request. True when what the row shows changed.
    bool Answer(PathRow row, std::uint64_t request, FileFacts facts, std::uint64_t now);
    // What the folder watch saw at path. True when what a row shows changed.
    bool Seen(const std::string& path, const PathLook& look, std::uint64_t now);
    // The rows quiet long enough to be read again.
    std::vector<PathRow> Due(std::uint64_t now) const;
    // When the next row falls due; none while none waits.
    std::optional<std::uint64_t> NextDue() const;

    const Row& Get(PathRow row) const { return m_rows[static_cast<int>(row)]; }
    FileView View(PathRow row) const;
    // The source's facts, when they hold what each hunk of the loaded patch does to it.
    const FileFacts* SourceRelations() const;
    // Whether the hunks are to say nothing of the source: none chosen, or it is missing,
    // unreadable, kept online, or too much for the reader's memory.
    bool SourceSilent() const;
    // Whether the patch file on disk is another than the one loaded.
    bool PatchReplaced() const;

private:
    Row& row(PathRow r) { return m_rows[static_cast<int>(r)]; }

    Row m_rows[kPathRows];
    std::shared_ptr<const HunkSnapshot> m_hunks;
    std::optional<FileIdentity> m_loaded;
    std::shared_ptr<const std::vector<std::pair<std::uint64_t, std::uint64_t>>> m_spans;
};
