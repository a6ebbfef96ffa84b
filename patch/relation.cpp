#include "patch/relation.h"

#include <algorithm>
#include <cstring>

#include "patch/hunkset.h"

namespace {

// "1 byte", "2 bytes".
std::string counted(std::uint64_t n, const char* noun)
{
    return std::to_string(n) + " " + noun + (n == 1 ? "" : "s");
}

// The bytes in which a and b differ, eight at a time: a byte at a time would cost more
// than hashing the file, for the hunks of a large patch.
std::uint32_t differingBytes(const unsigned char* a, const unsigned char* b, std::size_t n)
{
    constexpr std::uint64_t kLowBits = 0x0101010101010101ull;
    std::uint32_t differing = 0;
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t x, y;
        std::memcpy(&x, a + i, 8);
        std::memcpy(&y, b + i, 8);
        std::uint64_t z = x ^ y;
        // Each byte's bits folded into its lowest, then the lowest bits summed.
        z |= z >> 4;
        z |= z >> 2;
        z |= z >> 1;
        differing += static_cast<std::uint32_t>(((z & kLowBits) * kLowBits) >> 56);
    }
    for (; i < n; ++i)
        differing += a[i] != b[i];
    return differing;
}

}  // namespace

HunkSnapshot::HunkSnapshot(const CHunkSet& set) : m_targetSize(set.GetTargetSize())
{
    const std::size_t count = set.GetCount();
    m_offsets.reserve(count);
    m_lengths.reserve(count);
    m_starts.reserve(count);
    std::size_t bytes = 0;
    for (std::size_t i = 0; i < count; ++i)
        bytes += set.GetHunk(i).Length();
    m_bytes.resize(bytes);
    std::size_t at = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const CHunk& hunk = set.GetHunk(i);
        m_offsets.push_back(hunk.Offset());
        m_lengths.push_back(hunk.Length());
        m_starts.push_back(at);
        if (hunk.Length() != 0)
            std::memcpy(m_bytes.data() + at, hunk.Bytes(), hunk.Length());
        at += hunk.Length();
    }
}

RelationScan::RelationScan(const HunkSnapshot& hunks, std::uint64_t sourceSize) : m_relations(hunks.Count())
{
    const std::uint64_t stated = hunks.TargetSize();
    m_spans.reserve(hunks.Count());
    for (std::size_t i = 0; i < hunks.Count(); ++i) {
        HunkRelation& relation = m_relations[i];
        const std::uint64_t offset = hunks.Offset(i);
        std::uint64_t end = offset + hunks.Length(i);
        if (offset == end || (stated != 0 && offset >= stated))
            continue;  // nothing
        if (stated != 0)
            end = std::min(end, stated);
        if (offset >= sourceSize) {
            relation.effect = HunkEffect::startsPast;
        } else if (end > sourceSize) {
            relation.effect = HunkEffect::reachesPast;
        } else {
            relation.effect = HunkEffect::held;  // until a byte differs
            relation.compared = static_cast<std::uint32_t>(end - offset);
            m_spans.push_back({offset, end, hunks.Bytes(i), static_cast<std::uint32_t>(i), relation.compared, 0});
        }
    }
    std::sort(m_spans.begin(), m_spans.end(), [](const Span& a, const Span& b) { return a.offset < b.offset; });
    for (const Span& span : m_spans)
        m_end = std::max(m_end, span.end);
    if (!m_spans.empty())
        m_first = m_spans.front().offset;
}

void RelationScan::Add(std::uint64_t offset, const unsigned char* data, std::size_t size)
{
    const std::uint64_t blockEnd = offset + size;
    while (m_next < m_spans.size() && m_spans[m_next].offset < blockEnd)
        m_open.push_back(static_cast<std::uint32_t>(m_next++));
    // A hunk is at most 64 KiB and a block far more, so a span stays open for at most
    // two blocks: the work is the hunks' bytes, whatever the order of the patch.
    std::size_t kept = 0;
    for (std::size_t k = 0; k < m_open.size(); ++k) {
        Span& span = m_spans[m_open[k]];
        const std::uint64_t lo = std::max(span.offset, offset), hi = std::min(span.end, blockEnd);
        if (lo < hi) {
            const std::size_t n = static_cast<std::size_t>(hi - lo);
            span.differing += differingBytes(data + (lo - offset), span.bytes + (lo - span.offset), n);
            span.missing -= static_cast<std::uint32_t>(n);
        }
        if (span.end > blockEnd)
            m_open[kept++] = m_open[k];
    }
    m_open.resize(kept);
}

bool RelationScan::Complete() const
{
    return std::all_of(m_spans.begin(), m_spans.end(), [](const Span& span) { return span.missing == 0; });
}

std::vector<HunkRelation> RelationScan::Finish() const
{
    std::vector<HunkRelation> relations = m_relations;
    for (const Span& span : m_spans) {
        relations[span.index].differing = span.differing;
        if (span.differing != 0)
            relations[span.index].effect = HunkEffect::changes;
    }
    return relations;
}

std::string SourceLine(const HunkRelation& relation, std::uint64_t sourceSize)
{
    switch (relation.effect) {
    case HunkEffect::nothing: return {};
    case HunkEffect::startsPast: return "Starts past the end of the source (" + counted(sourceSize, "byte") + ").";
    case HunkEffect::reachesPast:
        return "Reaches past the end of the source (" + counted(sourceSize, "byte") + ").";
    case HunkEffect::held: return "The source already holds these bytes.";
    case HunkEffect::changes:
        return "Changes " + std::to_string(relation.differing) + " of " + counted(relation.compared, "byte") +
               " of the source.";
    }
    return {};
}

std::string FitLine(const std::vector<HunkRelation>& relations)
{
    std::size_t writing = 0, held = 0;
    for (const HunkRelation& relation : relations) {
        writing += relation.effect != HunkEffect::nothing;
        held += relation.effect == HunkEffect::held;
    }
    if (writing == 0)
        return {};
    if (held == 0)
        return "Every hunk changes the source.";
    if (held == writing)
        return "The source already holds every hunk's bytes: it looks patched already.";
    return "The source already holds the bytes of " + std::to_string(held) + " of " + counted(writing, "hunk") + ".";
}
