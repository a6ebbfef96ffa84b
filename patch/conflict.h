#pragma once
// Where ticked hunks of different patches write the same bytes: which hunk loses changed
// bytes to which, kept up to date a tick at a time, and settled by unticking one side of
// every conflict.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

// One hunk of one of the loaded patches.
struct PatchedHunk {
    std::uint32_t offset, length;
    const unsigned char* bytes;
    int patch;  // 1 for the first patch, then in the order they were added
};

using ByteSpan = std::pair<std::uint64_t, std::uint64_t>;  // [first, end)

class CConflicts {
public:
    // hunks by hunk index, their bytes outliving this; rows: the hunk index of each list
    // row, top to bottom, every hunk once; statedSize: the output's size the patches
    // state, 0 when none does (the output then holds every ticked byte). No row is ticked
    // until SetTicks.
    CConflicts(std::vector<PatchedHunk> hunks, std::vector<std::uint32_t> rows, std::uint32_t statedSize);

    // The bytes, within the stated size, that hunks of two or more patches write: the only
    // bytes of the source the rule reads. Sorted and apart.
    const std::vector<ByteSpan>& SourceSpans() const { return m_spans; }
    // The source's bytes over SourceSpans() up to its end, span after span, as SpanBytes
    // gathers them. Any other count leaves the source unknown, as ClearSource does: every
    // value a hunk writes then counts as a change.
    void SetSource(const std::vector<unsigned char>& spanBytes, std::uint64_t sourceSize);
    void ClearSource();

    // Every row's tick (0 or 1), top to bottom: all places evaluated anew.
    void SetTicks(const std::vector<int>& ticks);
    // One row's tick: only the bytes its hunk writes are evaluated again. The rows whose
    // mark (InConflict) changed, top to bottom.
    std::vector<std::size_t> SetTick(std::size_t row, bool ticked);

    // Ticked and in a conflict with a hunk of another patch.
    bool InConflict(std::uint32_t hunk) const { return m_conflicts[hunk] != 0; }
    // The next row below (forward) or above from in a conflict; -1 when there is none.
    // from may be -1 or the row count.
    int NextConflict(int from, bool forward) const;
    // Conflicting pairs, and the changed bytes each hunk loses, summed.
    std::size_t Places() const { return m_places; }
    std::uint64_t LostBytes() const { return m_lost; }

    struct Pair {
        std::uint32_t a, b;            // hunk indices, a's row above b's
        std::uint32_t aLoses, bLoses;  // changed bytes each loses to the other
    };
    // Every conflicting pair, by a's row, then b's.
    std::vector<Pair> Conflicts() const;

    struct Overlap {
        std::uint32_t other;       // hunk index
        std::uint32_t loses;       // changed bytes the hunk loses to other
        std::uint32_t overwrites;  // changed bytes other loses to the hunk
    };
    // For a hunk's text, worked out as if its row were ticked: each ticked hunk of another
    // patch it overlaps, in list order.
    std::vector<Overlap> OverlapsOf(std::uint32_t hunk) const;
    // "0x001008 - 0x001017 (#2)".
    std::string Name(std::uint32_t hunk) const;

    // Unticks, in every conflict, the hunk of the patch added later (keepEarlier) or
    // earlier, round after round until no conflict is left. The rows unticked, top to
    // bottom.
    std::vector<std::size_t> Settle(bool keepEarlier);

private:
    // Bytes with one set of writers, at least two patches among them.
    struct Segment {
        std::uint64_t first, end;
        std::size_t writers;  // in m_writers, by row
        std::uint32_t count;
        std::size_t sourceAt;  // in m_source
    };
    struct Run {
        std::uint32_t first = 0, count = 0;  // the segments a hunk writes
    };
    static constexpr std::uint32_t kNoHunk = UINT32_MAX;

    std::uint64_t End(std::uint32_t hunk) const;
    void AddSegments(const std::uint32_t* group, const std::uint32_t* groupEnd);
    template <class Emit>
    void Losses(const Segment& segment, std::uint32_t alsoTicked, Emit emit) const;
    void Toggle(std::uint32_t hunk, bool ticked);
    void Account(std::uint32_t loser, std::uint32_t winner, std::uint32_t bytes, bool add);
    bool Conflicting(std::uint32_t a, std::uint32_t b) const;
    void Evaluate();

    std::vector<PatchedHunk> m_hunks;
    std::vector<std::uint32_t> m_rows, m_rank;  // m_rank: each hunk's row
    std::uint64_t m_limit;
    std::vector<Segment> m_segments;  // by offset
    std::vector<std::uint32_t> m_writers;
    std::vector<Run> m_runs;  // by hunk index
    std::vector<ByteSpan> m_spans;
    std::size_t m_spanTotal = 0;          // bytes in m_spans
    std::vector<unsigned char> m_source;  // over the segments, 0 past the source's end
    bool m_sourceKnown = false;

    std::vector<char> m_ticked;                                 // by hunk index
    std::unordered_map<std::uint64_t, std::uint32_t> m_losses;  // loser << 32 | winner: bytes, none 0
    std::vector<std::uint32_t> m_conflicts;                     // by hunk: hunks it conflicts with
    std::size_t m_places = 0;
    std::uint64_t m_lost = 0;
};

// The source's bytes over spans, up to its end, gathered from blocks of a read in
// increasing offsets, as SetSource takes them.
class SpanBytes {
public:
    SpanBytes(const std::vector<ByteSpan>& spans, std::uint64_t sourceSize);
    void Add(std::uint64_t offset, const unsigned char* data, std::size_t size);
    bool Complete() const { return m_missing == 0; }
    std::vector<unsigned char> Take() { return std::move(m_bytes); }

private:
    struct Part {
        std::uint64_t first, end;
        std::size_t at;  // in m_bytes
    };
    std::vector<Part> m_parts;
    std::vector<unsigned char> m_bytes;
    std::size_t m_next = 0;
    std::uint64_t m_missing = 0;
};

// The first line of a ticked row's text while it is in a conflict.
inline constexpr char kConflictLine[] = "Conflicts with another patch.";
// What a hunk's text says of the overlaps OverlapsOf gives, each other hunk named by
// name: a line for each of the first three (two when each loses bytes to the other), then
// how many more; lines joined by "\n".
std::string OverlapLines(const std::vector<CConflicts::Overlap>& overlaps,
                         const std::function<std::string(std::uint32_t)>& name);
// The Patch row's line on the conflicts of the ticked rows.
std::string ConflictSummary(std::size_t places, std::uint64_t lostBytes);
// The Patch button's line while conflicts are left; "" when none is.
std::string ConflictsLeft(std::size_t places);
