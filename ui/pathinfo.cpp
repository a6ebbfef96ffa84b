#include "ui/pathinfo.h"

#include <cstdio>

namespace {

const char kComputing[] = "Computing the hashes...";

std::string hashLines(const FileHashes& hashes)
{
    char crc[16];
    std::snprintf(crc, sizeof crc, "%08X", static_cast<unsigned>(hashes.crc32));
    std::string lines = std::string("CRC32 ") + crc;
    for (const auto& line : {std::make_pair("MD5 ", &hashes.digests.md5), std::make_pair("SHA-1 ", &hashes.digests.sha1),
                             std::make_pair("SHA-256 ", &hashes.digests.sha256)})
        if (!line.second->empty())
            lines += "\n" + (line.first + *line.second);
    return lines;
}

// The file's hash of the clipboard hash's kind, in lower case; empty when unknown.
std::string sameKind(const std::string& hash, const FileHashes& hashes)
{
    switch (hash.size()) {
    case 8: {
        char crc[16];
        std::snprintf(crc, sizeof crc, "%08x", static_cast<unsigned>(hashes.crc32));
        return crc;
    }
    case 32: return hashes.digests.md5;
    case 40: return hashes.digests.sha1;
    default: return hashes.digests.sha256;
    }
}

std::string clipboardLine(const std::string& hash, const FileFacts& facts, PathRow row)
{
    const char* kind = hash.size() == 8 ? "CRC32" : hash.size() == 32 ? "MD5" : hash.size() == 40 ? "SHA-1" : "SHA-256";
    const std::string whole = sameKind(hash, facts.whole);
    if (whole.empty())
        return {};  // the system gave no such hash: nothing to compare
    if (whole == hash)
        return std::string("Matches the ") + kind + " on the clipboard.";
    if (row == PathRow::source && facts.headerless && sameKind(hash, *facts.headerless) == hash)
        return std::string("Matches, without its copier header, the ") + kind + " on the clipboard.";
    return std::string("Does not match the ") + kind + " on the clipboard.";
}

}  // namespace

std::string SizeText(std::uint64_t size)
{
    char text[64];
    std::snprintf(text, sizeof text, "%llu byte%s (0x%llX)", static_cast<unsigned long long>(size),
                  size == 1 ? "" : "s", static_cast<unsigned long long>(size));
    return text;
}

std::string PathRowText(PathRow row, const FileView& file, const std::vector<std::string>& rowLines,
                        const std::string& clipboardHash)
{
    using Seen = FileView::Seen;
    if (file.seen == Seen::missing)
        return "The file does not exist.";
    if (file.seen == Seen::unreadable)
        return "The file cannot be read.";
    const FileFacts* facts = file.seen == Seen::known ? file.facts : nullptr;
    const bool hashed = facts && facts->state == FileFacts::State::hashed;
    std::vector<std::string> lines;
    if (file.size)
        lines.push_back(SizeText(*file.size));
    if (file.seen == Seen::online)
        lines.push_back("Kept online only: not read until Patch needs it.");
    else if (file.seen != Seen::known)
        lines.push_back(kComputing);
    else if (facts)
        lines.push_back(hashed ? hashLines(facts->whole) : "Too large to hash here.");
    std::string text;
    for (const std::string& line : lines)
        text += (text.empty() ? "" : "\n") + line;
    if (row == PathRow::source && file.size && *file.size % 1024 == 512) {
        text += "\nThe size suggests a 512-byte copier header at the start.";
        if (hashed && facts->headerless)
            text += "\nWithout the copier header:\n" + hashLines(*facts->headerless);
    }
    for (const std::string& line : rowLines)
        text += "\n" + line;
    if (hashed && !clipboardHash.empty()) {
        const std::string line = clipboardLine(clipboardHash, *facts, row);
        if (!line.empty())
            text += "\n" + line;
    }
    return text;
}

std::string ClipboardHash(const std::wstring& text)
{
    const wchar_t* blank = L" \t\r\n";
    const std::size_t first = text.find_first_not_of(blank);
    if (first == std::wstring::npos)
        return {};
    std::wstring hash = text.substr(first, text.find_last_not_of(blank) - first + 1);
    if (hash.size() > 2 && hash[0] == L'0' && (hash[1] == L'x' || hash[1] == L'X'))
        hash.erase(0, 2);
    const std::size_t n = hash.size();
    if (n != 8 && n != 32 && n != 40 && n != 64)
        return {};
    std::string lower;
    for (const wchar_t c : hash) {
        if (c >= L'0' && c <= L'9')
            lower += static_cast<char>(c);
        else if ((c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F'))
            lower += static_cast<char>(c | 0x20);
        else
            return {};
    }
    return lower;
}

std::string HashesText(PathRow row, const FileView& file)
{
    const FileFacts* facts = file.seen == FileView::Seen::known ? file.facts : nullptr;
    if (!facts || facts->state != FileFacts::State::hashed)
        return {};
    std::string text = SizeText(facts->seen.identity.size) + "\n" + hashLines(facts->whole);
    if (row == PathRow::source && facts->headerless)
        text += "\nWithout the copier header:\n" + hashLines(*facts->headerless);
    return text;
}
