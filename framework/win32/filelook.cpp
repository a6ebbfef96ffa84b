#include "framework/win32/filelook.h"

#include <atomic>

namespace {

std::atomic<AttributesCall> g_attributes{GetFileAttributesExA};

}  // namespace

bool KeptOnline(DWORD attributes)
{
    // As the Windows 10 SDK has them; older headers lack the two that cloud drives set.
    constexpr DWORD kRecallOnOpen = 0x00040000, kRecallOnDataAccess = 0x00400000;
    return (attributes & (FILE_ATTRIBUTE_OFFLINE | kRecallOnOpen | kRecallOnDataAccess)) != 0;
}

PathLook LookAtPath(const std::string& path)
{
    PathLook seen;
    seen.number = NextLookNumber();
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!g_attributes.load()(path.c_str(), GetFileExInfoStandard, &data)) {
        const DWORD error = GetLastError();
        seen.look = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FileLook::missing : FileLook::failed;
        return seen;
    }
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return seen;  // failed: no file to read
    if (KeptOnline(data.dwFileAttributes)) {
        seen.look = FileLook::found;
        seen.keptOnline = true;
        seen.identity.size = (std::uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        seen.identity.written = (std::uint64_t(data.ftLastWriteTime.dwHighDateTime) << 32) |
                                data.ftLastWriteTime.dwLowDateTime;
        return seen;
    }
    seen.look = CFile::IdentityOf(path.c_str(), seen.identity);
    return seen;
}

AttributesCall SetLookAttributesCall(AttributesCall call)
{
    return g_attributes.exchange(call ? call : GetFileAttributesExA);
}
