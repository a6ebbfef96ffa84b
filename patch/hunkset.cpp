#include "patch/hunkset.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "framework/file.h"
#include "framework/heap.h"
#include "framework/report.h"
#include "patch/output.h"

namespace {

constexpr std::uint32_t kEndMarker = 0x454F46;  // "EOF"
constexpr std::size_t kScratchSize = 65536;

std::uint32_t bigEndian(const unsigned char* p, int n)
{
    std::uint32_t v = 0;
    for (int i = 0; i < n; ++i)
        v = (v << 8) | p[i];
    return v;
}

// Reads exactly n bytes of one field; false on a short read.
bool readField(CFile& file, unsigned char* out, std::size_t n) { return file.Read(out, n) == n; }

constexpr std::size_t kLabelSize = 32;
constexpr std::size_t kTypicalLabelBytes = 21;  // " 0x000000 - 0x000000" and its end

// " 0x%06X - 0x%06X", written out by hand: this runs once per hunk of every load.
const char* formatLabel(char (&text)[kLabelSize], std::uint32_t offset, std::uint32_t length)
{
    static const char digits[] = "0123456789ABCDEF";
    char* p = text;
    auto hex = [&p](std::uint32_t value) {
        int n = 6;
        while (n < 8 && (value >> (4 * n)) != 0)
            ++n;
        *p++ = '0';
        *p++ = 'x';
        for (int i = n - 1; i >= 0; --i)
            *p++ = digits[(value >> (4 * i)) & 0xF];
    };
    *p++ = ' ';
    hex(offset);
    *p++ = ' ';
    *p++ = '-';
    *p++ = ' ';
    hex(offset + length - 1);
    *p = '\0';
    return text;
}

// A number whose order is the list's alphabetical order of the hunk's label. The
// first number always has six digits; the second has six to eight, and a shorter
// one that is a prefix of a longer sorts first. So: the offset, then the second
// number's digits left-aligned, one 5-bit symbol each, 0 standing for "no digit".
std::uint64_t labelKey(std::uint32_t offset, std::uint32_t length)
{
    const std::uint32_t last = offset + length - 1;
    int digits = 6;
    while (digits < 8 && (last >> (4 * digits)) != 0)
        ++digits;
    std::uint64_t key = 0;
    for (int i = 0; i < 8; ++i) {
        std::uint64_t symbol = i < digits ? ((last >> (4 * (digits - 1 - i))) & 0xF) + 1 : 0;
        key = (key << 5) | symbol;
    }
    return (static_cast<std::uint64_t>(offset) << 40) | key;
}

}  // namespace

CHunkSet::CHunkSet() { m_hunks.SetSize(0, 100); }

CHunkSet::~CHunkSet() { RemoveAll(); }

void CHunkSet::RemoveAll()
{
    for (std::size_t i = 0; i < m_hunks.GetSize(); ++i)
        delete m_hunks[i];
    m_hunks.RemoveAll();
    m_spans.clear();
    m_listOrder.clear();
    m_patches.clear();
    m_targetSize = 0;
}

const CHunk& CHunkSet::GetHunk(std::size_t index) const { return *static_cast<const CHunk*>(m_hunks[index]); }

std::string CHunkSet::Label(std::uint32_t offset, std::uint32_t length)
{
    char text[kLabelSize];
    return formatLabel(text, offset, length);
}

bool CHunkSet::ReadRecords(CFile& file, std::uint32_t& targetSize)
{
    std::unique_ptr<unsigned char[]> scratch(new unsigned char[kScratchSize]);
    unsigned char field[5];
    if (!readField(file, field, 5) || std::memcmp(field, "PATCH", 5) != 0)
        return false;
    for (;;) {
        if (!readField(file, field, 3))
            return false;
        const std::uint32_t offset = bigEndian(field, 3);
        if (offset == kEndMarker)
            break;
        if (!readField(file, field, 2))
            return false;
        std::uint32_t size = bigEndian(field, 2);
        if (size != 0) {
            if (!readField(file, scratch.get(), size))
                return false;
        } else {
            if (!readField(file, field, 2))
                return false;
            size = bigEndian(field, 2);
            unsigned char value;
            if (!readField(file, &value, 1))
                return false;
            std::memset(scratch.get(), value, size);
        }
        std::unique_ptr<CHunk> hunk(new CHunk(scratch.get(), offset, size));
        m_spans.push_back({offset, size});
        m_hunks.Add(hunk.get());
        hunk.release();
    }
    if (readField(file, field, 3))
        targetSize = bigEndian(field, 3);
    return true;
}

bool CHunkSet::FillList(CCheckListBox& list, const std::vector<int>& ticks)
{
    // The labels are sorted here, as the list would sort them, and appended in that
    // order: a sorted insertion per item would move items around and cost time that
    // grows with the list. Equal labels stay in file order, so the later record wins.
    // A later patch's rows follow an earlier one's of the same label: the label with
    // its mark sorts after the label alone, and "#2" before "#3".
    struct Entry {
        std::uint64_t key;
        std::uint32_t index, offset, length;
        int patch;
    };
    std::vector<Entry> order(m_hunks.GetSize());
    for (std::size_t i = 0; i < order.size(); ++i) {
        const Span& span = m_spans[i];
        order[i] = {labelKey(span.offset, span.length), static_cast<std::uint32_t>(i), span.offset, span.length,
                    PatchOf(i)};
    }
    std::stable_sort(order.begin(), order.end(),
                     [](const Entry& a, const Entry& b) { return a.key != b.key ? a.key < b.key : a.patch < b.patch; });
    list.ResetContent();
    list.InitStorage(static_cast<int>(order.size()), order.size() * (kTypicalLabelBytes + (m_patches.size() > 1 ? 4 : 0)));
    m_listOrder.clear();
    m_listOrder.reserve(order.size());
    char label[kLabelSize];
    for (const Entry& entry : order) {
        formatLabel(label, entry.offset, entry.length);
        if (entry.patch > 1)
            std::snprintf(label + std::strlen(label), 5, "  #%d", entry.patch);
        const int position = list.AppendString(label);
        if (position < 0 || list.SetItemData(position, entry.index) < 0)
            return false;
        list.SetCheck(position, entry.index < ticks.size() ? ticks[entry.index] : 1);
        m_listOrder.push_back(entry.index);
    }
    return true;
}

std::string CHunkSet::LabelAt(std::size_t row) const
{
    const std::uint32_t index = m_listOrder[row];
    const Span& span = m_spans[index];
    const int patch = PatchOf(index);
    return Label(span.offset, span.length) + (patch > 1 ? "  #" + std::to_string(patch) : std::string());
}

int CHunkSet::PatchOf(std::size_t index) const
{
    int patch = 1;
    for (std::size_t k = 1; k < m_patches.size() && index >= m_patches[k].first; ++k)
        patch = static_cast<int>(k) + 1;
    return patch;
}

std::vector<int> CHunkSet::TicksByIndex(CCheckListBox& list) const
{
    std::vector<int> ticks(GetCount(), 1);
    for (int row = 0; row < list.GetCount(); ++row) {
        const std::uint32_t index = list.GetItemData(row);
        if (index < ticks.size())
            ticks[index] = list.GetCheck(row);
    }
    return ticks;
}

void CHunkSet::DropHunksFrom(std::size_t first)
{
    for (std::size_t i = first; i < m_hunks.GetSize(); ++i)
        delete m_hunks[i];
    m_hunks.SetSize(first);
    m_spans.resize(first);
}

void CHunkSet::StateSize()
{
    m_targetSize = 0;
    for (const Patch& patch : m_patches)
        if (patch.targetSize != 0)
            m_targetSize = patch.targetSize;
}

int CHunkSet::FindRow(std::uint32_t offset) const
{
    // Rows go up by offset, and no hunk is longer than 65535 bytes: only the rows from
    // 65535 bytes before offset up to it can cover it.
    auto rowFrom = [&](std::uint64_t from) {
        return std::partition_point(m_listOrder.begin(), m_listOrder.end(),
                                    [&](std::uint32_t index) { return m_spans[index].offset < from; });
    };
    const auto after = rowFrom(std::uint64_t(offset) + 1);
    for (auto row = rowFrom(offset >= 65535 ? offset - 65535 : 0); row != after; ++row) {
        const Span& span = m_spans[*row];
        if (offset < std::uint64_t(span.offset) + span.length)
            return static_cast<int>(row - m_listOrder.begin());
    }
    return after == m_listOrder.end() ? -1 : static_cast<int>(after - m_listOrder.begin());
}

namespace {

std::string_view trimmed(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

}  // namespace

std::vector<int> CHunkSet::TicksFromLabels(const std::string& text, std::size_t& unnamed) const
{
    // Lines by their text, and how often each stands there: views into text, which
    // outlives them, so that a list of many thousand labels is matched without copies.
    std::unordered_map<std::string_view, std::size_t> named;
    const std::string_view all(text);
    for (std::size_t from = 0; from <= all.size();) {
        const std::size_t end = std::min(all.find('\n', from), all.size());
        const std::string_view line = trimmed(all.substr(from, end - from));
        if (!line.empty())
            ++named[line];
        from = end + 1;
    }
    std::vector<int> ticks(m_listOrder.size(), 0);
    char label[kLabelSize];
    for (std::size_t row = 0; row < ticks.size(); ++row) {
        const std::uint32_t index = m_listOrder[row];
        const Span& span = m_spans[index];
        formatLabel(label, span.offset, span.length);
        if (const int patch = PatchOf(index); patch > 1)
            std::snprintf(label + std::strlen(label), 5, "  #%d", patch);
        const auto line = named.find(trimmed(label));
        if (line != named.end() && line->second > 0) {
            ticks[row] = 1;
            --line->second;
        }
    }
    unnamed = 0;
    for (const auto& line : named)
        unnamed += line.second;
    return ticks;
}

bool CHunkSet::OpenPatch(const std::string& path, CFile& file, Patch& patch)
{
    if (!file.Open(path.c_str(), CFile::modeRead)) {
        report("Cannot open the patch file for reading.", ReportIcon::stop);
        return false;
    }
    patch.path = path;
    FileIdentity identity;
    if (file.GetIdentity(identity))
        patch.loadedFrom = identity;
    return true;
}

bool CHunkSet::LoadPatch(const std::string& path, CCheckListBox& list)
{
    RemoveAll();
    list.ResetContent();

    CFile file;
    Patch patch;
    if (!OpenPatch(path, file, patch))
        return false;
    return ReadPatch(file, patch, list, {}, [&] {
        RemoveAll();
        list.ResetContent();
    });
}

bool CHunkSet::AddPatch(const std::string& path, CCheckListBox& list)
{
    CFile file;
    Patch patch;
    if (!OpenPatch(path, file, patch))
        return false;
    patch.first = static_cast<std::uint32_t>(GetCount());
    const std::vector<int> ticks = TicksByIndex(list);
    const std::size_t patches = m_patches.size();
    // What was loaded before, as it was.
    return ReadPatch(file, patch, list, ticks, [&] {
        DropHunksFrom(patch.first);
        m_patches.resize(patches);
        StateSize();
        FillList(list, ticks);
    });
}

bool CHunkSet::ReadPatch(CFile& file, Patch patch, CCheckListBox& list, const std::vector<int>& ticks,
                         const std::function<void()>& undo)
{
    // Nothing of a patch that fails part way may stay behind to be applied.
    const char* failure = nullptr;
    try {
        if (!ReadRecords(file, patch.targetSize))
            failure = "Patch is not a valid IPS file.";
        file.Close();
        if (!failure) {
            patch.count = static_cast<std::uint32_t>(GetCount() - patch.first);
            m_patches.push_back(patch);
            StateSize();
            if (!FillList(list, ticks))
                failure = "Insufficient memory to complete operation.";
        }
    } catch (const CMemoryException&) {
        failure = "Insufficient memory to complete operation.";
    } catch (const std::bad_alloc&) {
        failure = "Insufficient memory to complete operation.";
    } catch (...) {
        file.Abort();
        undo();
        throw;
    }
    if (failure) {
        file.Abort();
        undo();
        report(failure, ReportIcon::stop);
        return false;
    }
    return true;
}

void CHunkSet::RemoveAddedPatches(CCheckListBox& list)
{
    if (m_patches.size() < 2)
        return;
    const std::vector<int> ticks = TicksByIndex(list);
    DropHunksFrom(m_patches[1].first);
    m_patches.resize(1);
    StateSize();
    FillList(list, ticks);
}

void CHunkSet::ApplyPatch(std::string source, std::string destination, CCheckListBox& list)
{
    if (source.empty()) {
        report("You need to select a source file first.", ReportIcon::question);
        return;
    }
    if (list.GetCount() == 0) {
        report("You need to open a patch file first.", ReportIcon::question);
        return;
    }
    if (destination.empty()) {
        report("You need to select a destination file first.", ReportIcon::question);
        return;
    }
    if (NamesOneFile(source, destination)) {
        report("The source and destination files must be different.", ReportIcon::stop);
        return;
    }
    CFile input;
    if (!input.Open(source.c_str(), CFile::modeRead)) {
        report("Cannot open the source file for reading.", ReportIcon::stop);
        return;
    }
    const std::uint64_t sourceLength = input.GetLength();

    std::vector<std::uint32_t> ticked;
    for (int i = 0; i < list.GetCount(); ++i) {
        if (list.GetCheck(i) != 1)
            continue;
        const std::uint32_t index = list.GetItemData(i);
        if (index < GetCount())
            ticked.push_back(index);
    }

    // A patch that states no size grows the file to hold its ticked hunks; one that
    // states a size gets exactly that size.
    std::uint64_t imageSize = m_targetSize != 0 ? m_targetSize : sourceLength;
    if (m_targetSize == 0) {
        for (std::uint32_t index : ticked) {
            const CHunk& hunk = GetHunk(index);
            if (hunk.Length() != 0)
                imageSize = std::max<std::uint64_t>(imageSize, std::uint64_t(hunk.Offset()) + hunk.Length());
        }
    }
    std::unique_ptr<unsigned char[], HeapBlockFree> image;
    if (imageSize <= SIZE_MAX)
        image.reset(static_cast<unsigned char*>(HeapAllocBlock(static_cast<std::size_t>(imageSize))));
    if (!image) {
        report("Insufficient memory to complete operation.", ReportIcon::stop);
        return;
    }
    // Zeros only where the source gives no bytes: past its end, or past a read cut short.
    const std::size_t got = input.Read(image.get(), static_cast<std::size_t>(std::min(imageSize, sourceLength)));
    std::memset(image.get() + got, 0, static_cast<std::size_t>(imageSize) - got);
    input.Close();

    for (std::uint32_t index : ticked) {
        const CHunk& hunk = GetHunk(index);
        if (hunk.Offset() >= imageSize)
            continue;
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(hunk.Length(), imageSize - hunk.Offset()));
        if (n != 0)
            std::memcpy(image.get() + hunk.Offset(), hunk.Bytes(), n);
    }

    const WrittenFile written = WriteInPlace(destination, image.get(), static_cast<std::size_t>(imageSize));
    ReportIcon icon;
    const std::string text = WrittenReport(written, "Patching completed successfully.", icon);
    report(text.c_str(), icon);
}
