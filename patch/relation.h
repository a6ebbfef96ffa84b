#pragma once
// What each hunk of a patch does to a source file, worked out in one pass over the
// source's bytes, block by block, on a copy of the hunks that the background reader
// owns while the window goes on with its own.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CHunkSet;

// The hunks of a set, copied: offsets, lengths and bytes by hunk index, and the size the
// patch states.
class HunkSnapshot {
public:
    explicit HunkSnapshot(const CHunkSet& set);

    std::size_t Count() const { return m_offsets.size(); }
    std::uint32_t Offset(std::size_t index) const { return m_offsets[index]; }
    std::uint32_t Length(std::size_t index) const { return m_lengths[index]; }
    const unsigned char* Bytes(std::size_t index) const { return m_bytes.data() + m_starts[index]; }
    std::uint32_t TargetSize() const { return m_targetSize; }

private:
    std::vector<std::uint32_t> m_offsets, m_lengths;
    std::vector<std::size_t> m_starts;  // of each hunk's bytes in m_bytes
    std::vector<unsigned char> m_bytes;
    std::uint32_t m_targetSize;
};

enum class HunkEffect : std::uint8_t {
    nothing,      // writes no byte of the output: empty, or past the size the patch states
    startsPast,   // starts at or past the source's end
    reachesPast,  // starts within the source and ends past it
    held,         // the source already holds every byte it writes
    changes,      // differs from the source in some of the bytes it writes
};

struct HunkRelation {
    HunkEffect effect = HunkEffect::nothing;
    std::uint32_t compared = 0;   // held, changes: the bytes it writes, up to the size the patch states
    std::uint32_t differing = 0;  // changes: those that differ from the source
};

// A row whose hunk leaves the output as the source has it.
inline bool ChangesNothing(const HunkRelation& relation)
{
    return relation.effect == HunkEffect::nothing || relation.effect == HunkEffect::held;
}

class RelationScan {
public:
    // hunks must outlive the scan.
    RelationScan(const HunkSnapshot& hunks, std::uint64_t sourceSize);

    // The part of the source the relations look at, [First, End): nothing outside it
    // need be added. Empty when no hunk lies within the source.
    std::uint64_t First() const { return m_first; }
    std::uint64_t End() const { return m_end; }
    // Bytes of the source from offset on; blocks come in increasing offsets.
    void Add(std::uint64_t offset, const unsigned char* data, std::size_t size);
    // Whether every byte the relations need was added.
    bool Complete() const;
    // By hunk index.
    std::vector<HunkRelation> Finish() const;

private:
    // What a hunk writes within the source, with what the scan has found of it so far.
    struct Span {
        std::uint64_t offset, end;
        const unsigned char* bytes;  // the hunk's, from offset on
        std::uint32_t index;         // of the hunk
        std::uint32_t missing;       // bytes not yet seen
        std::uint32_t differing;
    };
    std::vector<HunkRelation> m_relations;
    std::vector<Span> m_spans;           // by offset, so that both the source and a patch in
                                         // offset order are read in order
    std::size_t m_next = 0;              // the first span not yet begun
    std::vector<std::uint32_t> m_open;   // spans begun and not yet ended, in offset order
    std::uint64_t m_first = 0, m_end = 0;
};

// The hunk text's line about the source, or "" for a hunk that writes nothing.
std::string SourceLine(const HunkRelation& relation, std::uint64_t sourceSize);
// Whether the patch fits the source, from every hunk's relation; "" when no hunk writes a
// byte within the size the patch states.
std::string FitLine(const std::vector<HunkRelation>& relations);
