#include "patch/output.h"

#include <algorithm>
#include <cstring>

#include "framework/file.h"

namespace {

// A file this command makes: closed, and removed unless kept, on every way out.
struct Provisional {
    CFile file;
    std::string path;  // removed on the way out; empty once kept or removed, or when not ours

    Provisional() = default;
    Provisional(const Provisional&) = delete;
    Provisional& operator=(const Provisional&) = delete;
    ~Provisional()
    {
        file.Abort();
        if (!path.empty())
            CFile::Remove(path.c_str());
    }
    // Removes the file now; one that stays is added to left, for the report to name.
    void Discard(std::vector<std::string>& left)
    {
        file.Abort();
        if (!path.empty() && !CFile::Remove(path.c_str()))
            left.push_back(path);
        path.clear();
    }
};

constexpr int kTempNames = 100;

}  // namespace

bool NamesOneFile(const std::string& a, const std::string& b)
{
    return a == b || CFile::IsSameFile(a.c_str(), b.c_str());
}

WrittenFile WriteInPlace(const std::string& destination, const unsigned char* data, std::size_t size)
{
    WrittenFile written;
    Provisional holder;  // keeps other programs off the destination until it is replaced
    if (!holder.file.Open(destination.c_str(), CFile::modeWriteExisting))
        return written;
    const bool created = holder.file.Created();
    if (created)
        holder.path = destination;

    // A name left taken by a run that ended half way is passed over.
    Provisional temp;
    for (int i = 0; i < kTempNames && temp.path.empty(); ++i) {
        const std::string name = destination + ".~vq" + std::to_string(i);
        if (temp.file.Open(name.c_str(), CFile::modeCreateNew))
            temp.path = name;
    }
    if (temp.path.empty()) {
        holder.Discard(written.left);
        return written;
    }
    try {
        temp.file.Write(data, size);
        temp.file.Flush();
        temp.file.Close();
    } catch (CFileException& error) {
        error.m_strFileName = destination;
        temp.Discard(error.m_leftBehind);
        holder.Discard(error.m_leftBehind);
        throw;
    }
    holder.file.Abort();
    std::string backup;
    const bool placed = created ? CFile::Rename(temp.path.c_str(), destination.c_str())
                                : CFile::Replace(temp.path.c_str(), destination.c_str(), backup);
    written.backup.swap(backup);
    if (placed) {
        written.how = WrittenFile::done;
        temp.path.clear();
        holder.path.clear();
    } else if (!written.backup.empty()) {
        written.how = WrittenFile::stranded;
        written.fresh.swap(temp.path);
    } else {
        written.how = WrittenFile::notReplaced;
        temp.Discard(written.left);
        holder.Discard(written.left);
    }
    return written;
}

std::string WrittenReport(const WrittenFile& written, const std::string& success, ReportIcon& icon)
{
    icon = ReportIcon::stop;
    std::string text;
    switch (written.how) {
    case WrittenFile::done:
        icon = ReportIcon::none;
        text = success;
        if (!written.backup.empty())
            text += WithFileName("\n\nThe previous contents of the destination are still in %1.", written.backup);
        break;
    case WrittenFile::notOpened: text = "Cannot open the destination file for writing."; break;
    case WrittenFile::notReplaced: text = "Cannot replace the destination file. It was left as it was."; break;
    case WrittenFile::stranded:
        text = WithFileName("Cannot replace the destination file. Its previous contents are in %1, and the patched "
                            "file is in %2.",
                            written.backup, written.fresh);
        break;
    }
    for (const std::string& path : written.left)
        text += LeftBehind(path);
    return text;
}


PatchOutput::PatchOutput(const HunkSnapshot& hunks, std::vector<std::uint32_t> ticked, std::uint64_t sourceSize)
    : m_hunks(hunks), m_ticked(std::move(ticked)), m_size(hunks.TargetSize() != 0 ? hunks.TargetSize() : sourceSize)
{
    m_offsets.reserve(m_ticked.size());
    for (const std::uint32_t index : m_ticked) {
        m_offsets.push_back(hunks.Offset(index));
        if (hunks.TargetSize() == 0 && hunks.Length(index) != 0)
            m_size = std::max<std::uint64_t>(m_size, std::uint64_t(hunks.Offset(index)) + hunks.Length(index));
    }
}

void PatchOutput::Overlay(std::uint64_t offset, unsigned char* block, std::size_t size) const
{
    const std::uint64_t end = offset + size;
    // A hunk is at most 65535 bytes: one that starts further back ends before the block.
    const std::uint64_t from = offset > 65535 ? offset - 65535 : 0;
    for (auto at = std::lower_bound(m_offsets.begin(), m_offsets.end(), from); at != m_offsets.end() && *at < end; ++at) {
        const std::uint32_t index = m_ticked[static_cast<std::size_t>(at - m_offsets.begin())];
        const std::uint64_t first = std::max<std::uint64_t>(*at, offset);
        const std::uint64_t last = std::min<std::uint64_t>(std::uint64_t(*at) + m_hunks.Length(index), end);
        if (first < last)
            std::memcpy(block + (first - offset), m_hunks.Bytes(index) + (first - *at),
                        static_cast<std::size_t>(last - first));
    }
}
