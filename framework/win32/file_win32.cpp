// Win32 primitives under CFile: every open is exclusive (share mode 0).

#include <windows.h>

#include "framework/file_sys.h"

namespace {

HANDLE asHandle(std::intptr_t h) { return reinterpret_cast<HANDLE>(h); }

// ReadFile and WriteFile take 32-bit counts.
constexpr std::size_t kChunk = 0x40000000;

}  // namespace

namespace filesys {

std::intptr_t open(const char* path, CFile::Mode mode, bool& created, long& osError)
{
    DWORD access = GENERIC_READ, disposition = OPEN_EXISTING;
    switch (mode) {
    case CFile::modeRead: break;
    case CFile::modeCreate: access = GENERIC_WRITE; disposition = CREATE_ALWAYS; break;
    case CFile::modeWriteExisting: access = GENERIC_WRITE; disposition = OPEN_ALWAYS; break;
    case CFile::modeCreateNew: access = GENERIC_WRITE; disposition = CREATE_NEW; break;
    }
    SetLastError(0);
    HANDLE h = CreateFileA(path, access, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        osError = static_cast<long>(GetLastError());
        return kInvalid;
    }
    created = mode != CFile::modeRead && GetLastError() != ERROR_ALREADY_EXISTS;
    return reinterpret_cast<std::intptr_t>(h);
}

bool read(std::intptr_t h, void* buffer, std::size_t count, std::size_t& got, long& osError)
{
    DWORD n = 0;
    if (!ReadFile(asHandle(h), buffer, static_cast<DWORD>(count < kChunk ? count : kChunk), &n, nullptr)) {
        osError = static_cast<long>(GetLastError());
        return false;
    }
    got = n;
    return true;
}

bool write(std::intptr_t h, const void* buffer, std::size_t count, std::size_t& put, long& osError)
{
    DWORD n = 0;
    if (!WriteFile(asHandle(h), buffer, static_cast<DWORD>(count < kChunk ? count : kChunk), &n, nullptr)) {
        osError = static_cast<long>(GetLastError());
        return false;
    }
    put = n;
    return true;
}

namespace {

bool seek(std::intptr_t h, LONGLONG distance, DWORD method, std::uint64_t& result, long& osError)
{
    LARGE_INTEGER to, now;
    to.QuadPart = distance;
    if (!SetFilePointerEx(asHandle(h), to, &now, method)) {
        osError = static_cast<long>(GetLastError());
        return false;
    }
    result = static_cast<std::uint64_t>(now.QuadPart);
    return true;
}

}  // namespace

bool tell(std::intptr_t h, std::uint64_t& position, long& osError) { return seek(h, 0, FILE_CURRENT, position, osError); }

bool seekEnd(std::intptr_t h, std::uint64_t& length, long& osError) { return seek(h, 0, FILE_END, length, osError); }

bool seekTo(std::intptr_t h, std::uint64_t position, long& osError)
{
    std::uint64_t ignored;
    return seek(h, static_cast<LONGLONG>(position), FILE_BEGIN, ignored, osError);
}

bool close(std::intptr_t h, long& osError)
{
    if (!CloseHandle(asHandle(h))) {
        osError = static_cast<long>(GetLastError());
        return false;
    }
    return true;
}

bool remove(const char* path) { return DeleteFileA(path) != 0; }

bool rename(const char* from, const char* to) { return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING) != 0; }

bool sameFile(const char* a, const char* b)
{
    // Asking for no access right lets this look at files others hold open exclusively.
    auto identify = [](const char* path, BY_HANDLE_FILE_INFORMATION& info) {
        HANDLE h = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return false;
        BOOL ok = GetFileInformationByHandle(h, &info);
        CloseHandle(h);
        return ok != 0;
    };
    BY_HANDLE_FILE_INFORMATION ia, ib;
    if (!identify(a, ia) || !identify(b, ib))
        return false;
    return ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber && ia.nFileIndexHigh == ib.nFileIndexHigh &&
           ia.nFileIndexLow == ib.nFileIndexLow;
}

CFileException::Cause causeOf(long osError)
{
    switch (static_cast<DWORD>(osError)) {
    case NO_ERROR: return CFileException::none;
    case ERROR_FILE_NOT_FOUND: return CFileException::fileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_DIRECTORY: return CFileException::badPath;
    case ERROR_TOO_MANY_OPEN_FILES: return CFileException::tooManyOpenFiles;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_NETWORK_ACCESS_DENIED:
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return CFileException::accessDenied;
    case ERROR_INVALID_HANDLE: return CFileException::invalidFile;
    case ERROR_CURRENT_DIRECTORY: return CFileException::removeCurrentDir;
    case ERROR_CANNOT_MAKE: return CFileException::directoryFull;
    case ERROR_NEGATIVE_SEEK:
    case ERROR_SEEK_ON_DEVICE:
    case ERROR_SEEK: return CFileException::badSeek;
    case ERROR_CRC:
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT:
    case ERROR_GEN_FAILURE:
    case ERROR_IO_DEVICE:
    case ERROR_NOT_READY: return CFileException::hardIO;
    case ERROR_SHARING_VIOLATION:
    case ERROR_SHARING_BUFFER_EXCEEDED: return CFileException::sharingViolation;
    case ERROR_LOCK_VIOLATION:
    case ERROR_DRIVE_LOCKED:
    case ERROR_LOCK_FAILED: return CFileException::lockViolation;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return CFileException::diskFull;
    case ERROR_HANDLE_EOF: return CFileException::endOfFile;
    default: return CFileException::generic;
    }
}

}  // namespace filesys
