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

RelationScan::RelationScan(const HunkSnapshot& hunks, std::uint64_t sourceSize)
    : m_hunks(hunks), m_relations(hunks.Count())
{
    const std::uint64_t stated = hunks.TargetSize();
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
            m_spans.push_back({offset, end, static_cast<std::uint32_t>(i)});
        }
    }
    std::sort(m_spans.begin(), m_spans.end(), [](const Span& a, const Span& b) { return a.offset < b.offset; });
    m_missing.resize(m_spans.size());
    for (std::size_t s = 0; s < m_spans.size(); ++s) {
        m_missing[s] = static_cast<std::uint32_t>(m_spans[s].end - m_spans[s].offset);
        m_end = std::max(m_end, m_spans[s].end);
    }
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
    for (std::size_t k = 0; k < m_open.size();) {
        const std::uint32_t s = m_open[k];
        const Span& span = m_spans[s];
        const std::uint64_t lo = std::max(span.offset, offset), hi = std::min(span.end, blockEnd);
        if (lo < hi) {
            const unsigned char* held = data + (lo - offset);
            const unsigned char* written = m_hunks.Bytes(span.index) + (lo - span.offset);
            const std::size_t n = static_cast<std::size_t>(hi - lo);
            std::uint32_t differing = 0;
            for (std::size_t i = 0; i < n; ++i)
                differing += held[i] != written[i];
            HunkRelation& relation = m_relations[span.index];
            relation.differing += differing;
            if (relation.differing != 0)
                relation.effect = HunkEffect::changes;
            m_missing[s] -= static_cast<std::uint32_t>(n);
        }
        if (span.end <= blockEnd) {
            m_open[k] = m_open.back();
            m_open.pop_back();
        } else {
            ++k;
        }
    }
}

bool RelationScan::Complete() const
{
    return std::all_of(m_missing.begin(), m_missing.end(), [](std::uint32_t n) { return n == 0; });
}

std::vector<HunkRelation> RelationScan::Finish() const { return m_relations; }

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
