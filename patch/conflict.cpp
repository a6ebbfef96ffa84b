#include "patch/conflict.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "patch/hunkset.h"

namespace {

constexpr std::uint64_t kLowBits = 0x0101010101010101ull;

// The lowest bit of each byte of x that is not 0.
std::uint64_t nonZeroBytes(std::uint64_t x)
{
    x |= x >> 4;
    x |= x >> 2;
    x |= x >> 1;
    return x & kLowBits;
}

std::uint64_t word(const unsigned char* p)
{
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    return w;
}

// The bytes where mine differs from the winner's and changes the source (a null source:
// every value is a change), eight at a time, as a hunk's relation is counted.
std::uint32_t lostBytes(const unsigned char* mine, const unsigned char* winner, const unsigned char* source,
                        std::size_t n)
{
    std::uint32_t lost = 0;
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t bits = nonZeroBytes(word(mine + i) ^ word(winner + i));
        if (source)
            bits &= nonZeroBytes(word(mine + i) ^ word(source + i));
        lost += static_cast<std::uint32_t>((bits * kLowBits) >> 56);
    }
    for (; i < n; ++i)
        lost += mine[i] != winner[i] && (!source || mine[i] != source[i]);
    return lost;
}

std::uint64_t pairKey(std::uint32_t loser, std::uint32_t winner) { return std::uint64_t(loser) << 32 | winner; }

std::string counted(std::uint64_t n, const char* noun) { return std::to_string(n) + " " + noun + (n == 1 ? "" : "s"); }

}  // namespace

CConflicts::CConflicts(std::vector<PatchedHunk> hunks, std::vector<std::uint32_t> rows, std::uint32_t statedSize)
    : m_hunks(std::move(hunks)), m_rows(std::move(rows)), m_rank(m_hunks.size()),
      m_limit(statedSize != 0 ? statedSize : UINT64_MAX), m_runs(m_hunks.size()), m_ticked(m_hunks.size()),
      m_conflicts(m_hunks.size())
{
    for (std::size_t row = 0; row < m_rows.size(); ++row)
        m_rank[m_rows[row]] = static_cast<std::uint32_t>(row);
    // The hunks that write within the stated size, by offset: the rows' order, which goes
    // up by offset, unless it was not given so.
    std::vector<std::uint32_t> order;
    for (const std::uint32_t hunk : m_rows)
        if (m_hunks[hunk].length != 0 && m_hunks[hunk].offset < m_limit)
            order.push_back(hunk);
    const auto before = [this](std::uint32_t a, std::uint32_t b) { return m_hunks[a].offset < m_hunks[b].offset; };
    if (!std::is_sorted(order.begin(), order.end(), before))
        std::stable_sort(order.begin(), order.end(), before);
    // Hunks joined by overlaps make a group; a group of one patch has no place and costs
    // nothing more.
    for (std::size_t from = 0; from < order.size();) {
        std::uint64_t reach = End(order[from]);
        bool mixed = false;
        std::size_t to = from + 1;
        for (; to < order.size() && m_hunks[order[to]].offset < reach; ++to) {
            reach = std::max(reach, End(order[to]));
            mixed |= m_hunks[order[to]].patch != m_hunks[order[from]].patch;
        }
        if (mixed)
            AddSegments(order.data() + from, order.data() + to);
        from = to;
    }
    for (const Segment& segment : m_segments) {
        if (!m_spans.empty() && m_spans.back().second == segment.first)
            m_spans.back().second = segment.end;
        else
            m_spans.push_back({segment.first, segment.end});
    }
}

std::uint64_t CConflicts::End(std::uint32_t hunk) const
{
    return std::min(std::uint64_t(m_hunks[hunk].offset) + m_hunks[hunk].length, m_limit);
}

void CConflicts::AddSegments(const std::uint32_t* group, const std::uint32_t* groupEnd)
{
    // A sweep from cut to cut, each the next start or end of a hunk: the hunks open at a
    // cut are few, so the next end is looked for among them.
    std::vector<std::uint32_t> open;  // the hunks that write the bytes from first on, by row
    const auto above = [this](std::uint32_t a, std::uint32_t b) { return m_rank[a] < m_rank[b]; };
    for (std::uint64_t first = m_hunks[*group].offset; group != groupEnd || !open.empty();) {
        for (; group != groupEnd && m_hunks[*group].offset <= first; ++group)
            open.insert(std::upper_bound(open.begin(), open.end(), *group, above), *group);
        std::uint64_t end = group != groupEnd ? m_hunks[*group].offset : UINT64_MAX;
        for (const std::uint32_t hunk : open)
            end = std::min(end, End(hunk));
        const int patch = m_hunks[open.front()].patch;
        if (!std::all_of(open.begin(), open.end(), [&](std::uint32_t hunk) { return m_hunks[hunk].patch == patch; })) {
            const std::uint32_t index = static_cast<std::uint32_t>(m_segments.size());
            for (const std::uint32_t hunk : open) {
                if (m_runs[hunk].count++ == 0)
                    m_runs[hunk].first = index;
            }
            m_segments.push_back({first, end, m_writers.size(), static_cast<std::uint32_t>(open.size()), m_spanTotal});
            m_writers.insert(m_writers.end(), open.begin(), open.end());
            m_spanTotal += static_cast<std::size_t>(end - first);
        }
        open.erase(std::remove_if(open.begin(), open.end(), [&](std::uint32_t hunk) { return End(hunk) <= end; }),
                   open.end());
        first = end;
    }
}

void CConflicts::SetSource(const std::vector<unsigned char>& spanBytes, std::uint64_t sourceSize)
{
    std::vector<unsigned char> source(m_spanTotal, 0);  // 0 past the source's end
    std::size_t given = 0, at = 0;
    for (const ByteSpan& span : m_spans) {
        const std::size_t held =
            span.first < sourceSize ? static_cast<std::size_t>(std::min(span.second, sourceSize) - span.first) : 0;
        if (given + held > spanBytes.size())
            break;
        std::copy_n(spanBytes.begin() + given, held, source.begin() + at);
        given += held;
        at += static_cast<std::size_t>(span.second - span.first);
    }
    if (given != spanBytes.size() || at != m_spanTotal) {
        ClearSource();
        return;
    }
    m_source = std::move(source);
    m_sourceKnown = true;
    Evaluate();
}

void CConflicts::ClearSource()
{
    m_source.clear();
    m_sourceKnown = false;
    Evaluate();
}

void CConflicts::SetTicks(const std::vector<int>& ticks)
{
    for (std::size_t row = 0; row < m_rows.size(); ++row)
        m_ticked[m_rows[row]] = row < ticks.size() && ticks[row] != 0;
    Evaluate();
}

void CConflicts::Evaluate()
{
    m_losses.clear();
    m_losses.reserve(m_segments.size());
    std::fill(m_conflicts.begin(), m_conflicts.end(), 0);
    m_places = 0;
    m_lost = 0;
    for (const Segment& segment : m_segments)
        Losses(segment, kNoHunk, [this](std::uint32_t loser, std::uint32_t winner, std::uint32_t bytes) {
            Account(loser, winner, bytes, true);
        });
}

// Each ticked hunk of another patch than the segment's winner (the last ticked writer)
// that loses bytes to it, with alsoTicked counted as ticked.
template <class Emit>
void CConflicts::Losses(const Segment& segment, std::uint32_t alsoTicked, Emit emit) const
{
    const std::uint32_t* writers = m_writers.data() + segment.writers;
    const auto ticked = [&](std::uint32_t hunk) { return m_ticked[hunk] || hunk == alsoTicked; };
    std::uint32_t last = segment.count;
    while (last > 0 && !ticked(writers[last - 1]))
        --last;
    if (last == 0)
        return;
    const std::uint32_t winner = writers[last - 1];
    const auto bytesOf = [&](std::uint32_t hunk) {
        return m_hunks[hunk].bytes + (segment.first - m_hunks[hunk].offset);
    };
    const unsigned char* source = m_sourceKnown ? m_source.data() + segment.sourceAt : nullptr;
    const std::size_t n = static_cast<std::size_t>(segment.end - segment.first);
    for (std::uint32_t i = 0; i + 1 < last; ++i) {
        const std::uint32_t hunk = writers[i];
        if (!ticked(hunk) || m_hunks[hunk].patch == m_hunks[winner].patch)
            continue;
        if (const std::uint32_t lost = lostBytes(bytesOf(hunk), bytesOf(winner), source, n))
            emit(hunk, winner, lost);
    }
}

bool CConflicts::Conflicting(std::uint32_t a, std::uint32_t b) const
{
    return m_losses.count(pairKey(a, b)) != 0 || m_losses.count(pairKey(b, a)) != 0;
}

void CConflicts::Account(std::uint32_t loser, std::uint32_t winner, std::uint32_t bytes, bool add)
{
    const bool was = Conflicting(loser, winner);
    const auto at = m_losses.emplace(pairKey(loser, winner), 0).first;
    if (add) {
        at->second += bytes;
        m_lost += bytes;
    } else {
        at->second -= bytes;
        m_lost -= bytes;
    }
    if (at->second == 0)
        m_losses.erase(at);
    const bool is = Conflicting(loser, winner);
    if (is && !was) {
        ++m_conflicts[loser];
        ++m_conflicts[winner];
        ++m_places;
    } else if (was && !is) {
        --m_conflicts[loser];
        --m_conflicts[winner];
        --m_places;
    }
}

void CConflicts::Toggle(std::uint32_t hunk, bool ticked)
{
    // What the bytes of this hunk gave is taken back, and what they give now added.
    const Run run = m_runs[hunk];
    for (const bool add : {false, true}) {
        if (add)
            m_ticked[hunk] = ticked;
        for (std::uint32_t s = run.first; s < run.first + run.count; ++s)
            Losses(m_segments[s], kNoHunk, [this, add](std::uint32_t loser, std::uint32_t winner, std::uint32_t bytes) {
                Account(loser, winner, bytes, add);
            });
    }
}

std::vector<std::size_t> CConflicts::SetTick(std::size_t row, bool ticked)
{
    const std::uint32_t hunk = m_rows[row];
    if ((m_ticked[hunk] != 0) == ticked)
        return {};
    // Only pairs that both write some byte of this hunk can change.
    std::vector<std::uint32_t> touched(1, hunk);
    const Run run = m_runs[hunk];
    for (std::uint32_t s = run.first; s < run.first + run.count; ++s) {
        const Segment& segment = m_segments[s];
        touched.insert(touched.end(), m_writers.begin() + segment.writers,
                       m_writers.begin() + segment.writers + segment.count);
    }
    std::sort(touched.begin(), touched.end());
    touched.erase(std::unique(touched.begin(), touched.end()), touched.end());
    std::vector<char> marked;
    for (const std::uint32_t other : touched)
        marked.push_back(InConflict(other));
    Toggle(hunk, ticked);
    std::vector<std::size_t> changed;
    for (std::size_t i = 0; i < touched.size(); ++i)
        if (InConflict(touched[i]) != (marked[i] != 0))
            changed.push_back(m_rank[touched[i]]);
    std::sort(changed.begin(), changed.end());
    return changed;
}

int CConflicts::NextConflict(int from, bool forward) const
{
    const int rows = static_cast<int>(m_rows.size());
    if (forward) {
        for (int row = std::max(from + 1, 0); row < rows; ++row)
            if (InConflict(m_rows[row]))
                return row;
    } else {
        for (int row = std::min(from, rows) - 1; row >= 0; --row)
            if (InConflict(m_rows[row]))
                return row;
    }
    return -1;
}

std::vector<CConflicts::Pair> CConflicts::Conflicts() const
{
    std::map<std::pair<std::uint32_t, std::uint32_t>, Pair> pairs;  // by the rows of a and b
    for (const auto& [key, bytes] : m_losses) {
        const std::uint32_t loser = static_cast<std::uint32_t>(key >> 32), winner = static_cast<std::uint32_t>(key);
        const bool above = m_rank[loser] < m_rank[winner];
        const std::uint32_t a = above ? loser : winner, b = above ? winner : loser;
        Pair& pair = pairs.emplace(std::make_pair(m_rank[a], m_rank[b]), Pair{a, b, 0, 0}).first->second;
        (above ? pair.aLoses : pair.bLoses) += bytes;
    }
    std::vector<Pair> list;
    for (const auto& entry : pairs)
        list.push_back(entry.second);
    return list;
}

std::vector<CConflicts::Overlap> CConflicts::OverlapsOf(std::uint32_t hunk) const
{
    std::vector<Overlap> overlaps;
    std::unordered_map<std::uint32_t, std::size_t> at;  // other hunk: its place in overlaps
    const auto entry = [&](std::uint32_t other) -> Overlap& {
        const auto found = at.emplace(other, overlaps.size());
        if (found.second)
            overlaps.push_back({other, 0, 0});
        return overlaps[found.first->second];
    };
    const Run run = m_runs[hunk];
    for (std::uint32_t s = run.first; s < run.first + run.count; ++s) {
        const Segment& segment = m_segments[s];
        for (std::uint32_t i = 0; i < segment.count; ++i) {
            const std::uint32_t other = m_writers[segment.writers + i];
            if (m_ticked[other] && m_hunks[other].patch != m_hunks[hunk].patch)
                entry(other);
        }
        Losses(segment, hunk, [&](std::uint32_t loser, std::uint32_t winner, std::uint32_t bytes) {
            if (loser == hunk)
                entry(winner).loses += bytes;
            else if (winner == hunk)
                entry(loser).overwrites += bytes;
        });
    }
    std::sort(overlaps.begin(), overlaps.end(),
              [this](const Overlap& a, const Overlap& b) { return m_rank[a.other] < m_rank[b.other]; });
    return overlaps;
}

std::string CConflicts::Name(std::uint32_t hunk) const
{
    const PatchedHunk& h = m_hunks[hunk];
    return CHunkSet::Label(h.offset, h.length).substr(1) + " (#" + std::to_string(h.patch) + ")";
}

std::vector<std::size_t> CConflicts::Settle(bool keepEarlier)
{
    std::vector<std::size_t> unticked;
    std::vector<std::uint32_t> losing;
    while (m_places != 0) {
        // A round: one side of every conflict as it stands, then what is left of them.
        losing.clear();
        for (const auto& entry : m_losses) {
            const std::uint32_t loser = static_cast<std::uint32_t>(entry.first >> 32);
            const std::uint32_t winner = static_cast<std::uint32_t>(entry.first);
            const bool loserLater = m_hunks[loser].patch > m_hunks[winner].patch;
            losing.push_back(loserLater == keepEarlier ? loser : winner);
        }
        std::sort(losing.begin(), losing.end());
        losing.erase(std::unique(losing.begin(), losing.end()), losing.end());
        for (const std::uint32_t hunk : losing) {
            Toggle(hunk, false);
            unticked.push_back(m_rank[hunk]);
        }
    }
    std::sort(unticked.begin(), unticked.end());
    return unticked;
}

SpanBytes::SpanBytes(const std::vector<ByteSpan>& spans, std::uint64_t sourceSize)
{
    std::size_t at = 0;
    for (const ByteSpan& span : spans) {
        const std::uint64_t end = std::min(span.second, sourceSize);
        if (span.first < end) {
            m_parts.push_back({span.first, end, at});
            at += static_cast<std::size_t>(end - span.first);
        }
    }
    m_bytes.resize(at);
    m_missing = at;
}

void SpanBytes::Add(std::uint64_t offset, const unsigned char* data, std::size_t size)
{
    const std::uint64_t end = offset + size;
    for (; m_next < m_parts.size() && m_parts[m_next].first < end; ++m_next) {
        const Part& part = m_parts[m_next];
        const std::uint64_t lo = std::max(part.first, offset), hi = std::min(part.end, end);
        if (lo < hi) {
            std::memcpy(m_bytes.data() + part.at + (lo - part.first), data + (lo - offset), hi - lo);
            m_missing -= hi - lo;
        }
        if (part.end > end)
            break;  // the rest comes with the next block
    }
}

std::string OverlapLines(const std::vector<CConflicts::Overlap>& overlaps,
                         const std::function<std::string(std::uint32_t)>& name)
{
    std::string text;
    const auto line = [&text](const std::string& words) { text += (text.empty() ? "" : "\n") + words; };
    const std::size_t shown = std::min<std::size_t>(overlaps.size(), 3);
    for (std::size_t i = 0; i < shown; ++i) {
        const CConflicts::Overlap& overlap = overlaps[i];
        const std::string other = name(overlap.other);
        if (overlap.loses != 0)
            line("Loses " + counted(overlap.loses, "changed byte") + " to " + other + ", lower in the list.");
        if (overlap.overwrites != 0)
            line("Overwrites " + counted(overlap.overwrites, "changed byte") + " of " + other +
                 ", higher in the list.");
        if (overlap.loses == 0 && overlap.overwrites == 0)
            line("Overlaps " + other + " without a conflict.");
    }
    const std::size_t more = overlaps.size() - shown;
    if (more == 1)
        line("And 1 more hunk of another patch overlaps it.");
    else if (more > 1)
        line("And " + std::to_string(more) + " more hunks of other patches overlap it.");
    return text;
}

std::string ConflictSummary(std::size_t places, std::uint64_t lostBytes)
{
    if (places == 0)
        return "No two ticked hunks of different patches conflict.";
    return "Ticked hunks of different patches conflict in " + counted(places, "place") + ": " +
           counted(lostBytes, "changed byte") + " would be lost.";
}

std::string ConflictsLeft(std::size_t places)
{
    if (places == 0)
        return {};
    return counted(places, "conflict") + " left: where both are ticked, the hunk lower in the list wins.";
}
