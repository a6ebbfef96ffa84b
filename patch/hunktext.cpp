// What a hunk does, in words: its tooltip and its accessible description.

#include <algorithm>
#include <cstdio>

#include "patch/hunkset.h"

namespace {

// Upper-case hex with at least digits digits.
std::string hex(std::uint64_t value, int digits)
{
    char text[24];
    std::snprintf(text, sizeof text, "%0*llX", digits, static_cast<unsigned long long>(value));
    return text;
}

// "1 byte", "2 bytes".
std::string counted(std::uint64_t n, const char* noun)
{
    return std::to_string(n) + " " + noun + (n == 1 ? "" : "s");
}

}  // namespace

std::string CHunkSet::HunkText(std::size_t index, const std::string& sourceLine, const std::string& otherPatches) const
{
    const CHunk& hunk = GetHunk(index);
    const std::uint64_t offset = hunk.Offset(), length = hunk.Length(), end = offset + length;
    const std::string at = " at 0x" + hex(offset, 6) + ".";
    if (length == 0)
        return "Writes nothing" + at;

    const unsigned char* bytes = hunk.Bytes();
    const bool run =
        length >= 2 && std::all_of(bytes + 1, bytes + length, [&](unsigned char b) { return b == bytes[0]; });
    std::string text = "Writes " + counted(length, "byte") + (run ? " of 0x" + hex(bytes[0], 2) : "") + at;

    // Counted when asked, not at load: a load of many hunks must not pay for it.
    std::size_t overlaps = 0;
    for (std::size_t i = 0; i < m_spans.size(); ++i) {
        const Span& other = m_spans[i];
        const std::uint64_t otherEnd = std::uint64_t(other.offset) + other.length;
        if (i != index && other.length != 0 && other.offset < end && offset < otherEnd)
            ++overlaps;
    }
    if (overlaps != 0)
        text += "\nOverlaps " + counted(overlaps, "other hunk") +
                ".\nWhere ticked hunks overlap, the one lower in the list wins." +
                (otherPatches.empty() ? "" : "\n" + otherPatches);

    if (m_targetSize != 0) {
        const std::string stated = "the size the patch states (" + counted(m_targetSize, "byte") + ")";
        if (offset >= m_targetSize)
            return text + "\nPast " + stated + ": not written.";
        if (m_targetSize < end)
            text += "\nCut at " + stated + ".";
    }
    if (!sourceLine.empty())
        text += "\n" + sourceLine;
    return text;
}
