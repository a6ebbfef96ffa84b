#include "ui/pathinfo.h"

#include <cstdio>
#include <optional>

#include "framework/file.h"
#include "framework/win32/filehashes.h"
#include "framework/win32/waitcursor.h"

namespace {

constexpr std::uint64_t kHashLimit = 1ull << 30;      // past this, hashing would keep the user waiting
constexpr std::uint64_t kWaitCursorFrom = 8ull << 20;  // hashing this much takes a noticeable moment

const char kCannotRead[] = "The file cannot be read.";

}  // namespace

std::string SizeText(std::uint64_t size)
{
    char text[64];
    std::snprintf(text, sizeof text, "%llu byte%s (0x%llX)", static_cast<unsigned long long>(size),
                  size == 1 ? "" : "s", static_cast<unsigned long long>(size));
    return text;
}

std::string CPathInfo::Describe(const std::string& path, std::uint64_t& size, bool& sizeKnown)
{
    sizeKnown = false;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? "The file does not exist."
                                                                              : kCannotRead;
    }
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return kCannotRead;
    size = (std::uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    sizeKnown = true;
    const auto known = m_known.find(path);
    if (known != m_known.end() && known->second.size == size &&
        CompareFileTime(&known->second.written, &data.ftLastWriteTime) == 0)
        return known->second.lines;

    std::string lines = SizeText(size);
    if (size > kHashLimit) {
        lines += "\nToo large to hash here.";
    } else {
        CFile file;
        if (!file.Open(path.c_str(), CFile::modeReadShared))
            return kCannotRead;
        FileHashes hashes;
        try {
            std::optional<CWaitCursor> wait;
            if (size >= kWaitCursorFrom)
                wait.emplace();
            hashes = HashFile(file);
        } catch (const CFileException&) {
            return kCannotRead;
        }
        file.Abort();
        char crc[16];
        std::snprintf(crc, sizeof crc, "%08X", static_cast<unsigned>(hashes.crc32));
        lines += std::string("\nCRC32 ") + crc;
        for (const auto& line : {std::make_pair("MD5 ", &hashes.md5), std::make_pair("SHA-1 ", &hashes.sha1),
                                 std::make_pair("SHA-256 ", &hashes.sha256)})
            if (!line.second->empty())
                lines += "\n" + (line.first + *line.second);
    }
    m_known[path] = Known{size, data.ftLastWriteTime, lines};
    return lines;
}
