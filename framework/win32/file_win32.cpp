// Win32 primitives under CFile: every open is exclusive (share mode 0) but the shared read.

#include <windows.h>

#include <cstring>
#include <string>

#include "framework/file_sys.h"
#include "framework/win32/file_calls.h"
#include "framework/win32/handle.h"

namespace {

filesys::ReplaceCalls g_calls;

HANDLE asHandle(std::intptr_t h) { return reinterpret_cast<HANDLE>(h); }

// ReadFile and WriteFile take 32-bit counts.
constexpr std::size_t kChunk = 0x40000000;

// Attributes a replaced file hands on to the file that takes its place. Read-only is
// not among them: a read-only destination is refused, never replaced.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                  FILE_ATTRIBUTE_NOT_CONTENT_INDEXED | FILE_ATTRIBUTE_TEMPORARY;

// A file system that cannot flush (some network shares, FAT on some drivers) has
// nothing it could flush: that counts as done.
bool flushed(HANDLE h)
{
    if (g_calls.flushFile(h))
        return true;
    const DWORD error = GetLastError();
    return error == ERROR_INVALID_FUNCTION || error == ERROR_NOT_SUPPORTED;
}

// ReplaceFile has no write-through of its own. Flushing the file under its new name
// commits, on NTFS, the file's metadata and with it the rename to the log.
void flushByName(const char* path)
{
    UniqueFileHandle h(CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, 0, nullptr));
    if (h)
        flushed(h.get());
}

// Scanners, indexers and sync clients open a freshly written file for a moment. A call
// that fails because of them is tried again, for about two seconds; the caller's wait
// cursor is up meanwhile. Each step of a replace waits on its own: a swap that took all
// its time still leaves the steps that undo or finish it theirs.
template <class Call>
bool patiently(Call attempt)
{
    constexpr DWORD kStep = 100, kFor = 2000;  // milliseconds
    for (DWORD waited = 0;; waited += kStep) {
        if (attempt())
            return true;
        const DWORD error = GetLastError();
        const bool passing = error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ||
                             error == ERROR_UNABLE_TO_REMOVE_REPLACED;
        if (!passing || waited >= kFor) {
            SetLastError(error);
            return false;
        }
        g_calls.wait(kStep);
    }
}

bool move(const char* from, const char* to, DWORD flags)
{
    return patiently([&] { return g_calls.moveFile(from, to, flags | MOVEFILE_WRITE_THROUGH) != 0; });
}

bool removePatiently(const char* path)
{
    return patiently([&] { return g_calls.deleteFile(path) != 0; });
}

// A backup that still cannot go holds the old bytes, not lost ones: it stays, and the
// caller is told where.
void removeBackup(std::string& backup, std::string& kept)
{
    if (!removePatiently(backup.c_str()))
        kept.swap(backup);
}

// Files left to the user are shown to the user, whatever the destination was.
void unhide(const char* path)
{
    const DWORD hiding = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & hiding) == 0)
        return;
    const DWORD shown = attributes & ~hiding;
    SetFileAttributesA(path, shown != 0 ? shown : FILE_ATTRIBUTE_NORMAL);
}

// A name beside path that no file has, for ReplaceFile to keep the old file under
// while it swaps the two: with it, no failure part way can lose the old file.
bool unusedNameBeside(const std::string& path, std::string& name)
{
    for (int i = 0; i < 100; ++i) {
        name = path + "." + std::to_string(i);
        if (GetFileAttributesA(name.c_str()) == INVALID_FILE_ATTRIBUTES && GetLastError() == ERROR_FILE_NOT_FOUND)
            return true;
    }
    return false;
}

}  // namespace

namespace filesys {

std::intptr_t open(const char* path, CFile::Mode mode, bool& created, long& osError)
{
    DWORD access = GENERIC_READ, disposition = OPEN_EXISTING, share = 0;
    switch (mode) {
    case CFile::modeRead: break;
    case CFile::modeReadShared: share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE; break;
    case CFile::modeCreate: access = GENERIC_WRITE; disposition = CREATE_ALWAYS; break;
    case CFile::modeWriteExisting: access = GENERIC_WRITE; disposition = OPEN_ALWAYS; break;
    case CFile::modeCreateNew: access = GENERIC_WRITE; disposition = CREATE_NEW; break;
    }
    // Windows refuses to write a read-only file, while Wine lets root write any: such a
    // file is refused here on both, before anything is written beside it.
    const DWORD attributes = mode == CFile::modeRead ? INVALID_FILE_ATTRIBUTES : GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        osError = ERROR_ACCESS_DENIED;
        return kInvalid;
    }
    SetLastError(0);
    HANDLE h = CreateFileA(path, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        osError = static_cast<long>(GetLastError());
        return kInvalid;
    }
    created = access == GENERIC_WRITE && GetLastError() != ERROR_ALREADY_EXISTS;
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

ReplaceCalls setReplaceCalls(const ReplaceCalls& calls)
{
    const ReplaceCalls previous = g_calls;
    g_calls = calls;
    return previous;
}

bool flush(std::intptr_t h, long& osError)
{
    if (!flushed(asHandle(h))) {
        osError = static_cast<long>(GetLastError());
        return false;
    }
    return true;
}

bool close(std::intptr_t h, long& osError)
{
    if (!CloseHandle(asHandle(h))) {
        osError = static_cast<long>(GetLastError());
        return false;
    }
    return true;
}

bool remove(const char* path) { return removePatiently(path); }

bool rename(const char* from, const char* to) { return move(from, to, MOVEFILE_REPLACE_EXISTING); }

bool replace(const char* from, const char* to, std::string& kept)
{
    // Wine's ReplaceFile and a plain move keep no attributes: the new file takes them first.
    const DWORD attributes = GetFileAttributesA(to);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & kKeptAttributes) != 0)
        SetFileAttributesA(from, attributes & kKeptAttributes);
    std::string backup;
    if (!unusedNameBeside(from, backup))
        return false;
    // A share that cannot carry the old file's security settings over still takes the
    // new file, as a plain move would.
    const DWORD flags = REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS;
    if (patiently([&] { return g_calls.replaceFile(to, from, backup.c_str(), flags, nullptr, nullptr) != 0; })) {
        removeBackup(backup, kept);
        flushByName(to);
        return true;
    }
    switch (GetLastError()) {
    case ERROR_UNABLE_TO_MOVE_REPLACEMENT_2:
        // The old file is under the backup name and the new one could not take its place.
        // The old one goes back; failing that, the new one goes in; failing both, both stay
        // and the caller names them.
        if (move(backup.c_str(), to, 0))
            return false;
        if (move(from, to, MOVEFILE_REPLACE_EXISTING)) {
            removeBackup(backup, kept);
            return true;
        }
        unhide(backup.c_str());
        unhide(from);
        kept.swap(backup);
        return false;
    case ERROR_INVALID_FUNCTION:
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_PARAMETER:
    case ERROR_CALL_NOT_IMPLEMENTED:  // a file system without the operation (some network shares)
    case ERROR_FILE_NOT_FOUND:        // the old file went away once it was let go
        return move(from, to, MOVEFILE_REPLACE_EXISTING);
    default:
        // Both files still have their own names.
        return false;
    }
}

namespace {

// Asking for no access right lets this look at files others hold open exclusively, and
// reads nothing of the file.
HANDLE openToLook(const char* path)
{
    return CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

bool idOf(HANDLE h, CFileId& id)
{
    FILE_ID_INFO full;
    static_assert(sizeof full.FileId.Identifier == sizeof id.file, "128-bit file numbers");
    if (GetFileInformationByHandleEx(h, FileIdInfo, &full, sizeof full)) {
        id.volume = full.VolumeSerialNumber;
        std::memcpy(id.file, full.FileId.Identifier, sizeof id.file);
        return true;
    }
    // Before Windows 8: a 32-bit volume serial and a 64-bit file number.
    BY_HANDLE_FILE_INFORMATION basic;
    if (!GetFileInformationByHandle(h, &basic))
        return false;
    id = CFileId();
    id.volume = basic.dwVolumeSerialNumber;
    const std::uint64_t number = (std::uint64_t(basic.nFileIndexHigh) << 32) | basic.nFileIndexLow;
    std::memcpy(id.file, &number, sizeof number);
    return true;
}

std::uint64_t ticks(LARGE_INTEGER time) { return static_cast<std::uint64_t>(time.QuadPart); }

}  // namespace

bool fileId(const char* path, CFileId& id)
{
    UniqueFileHandle h(openToLook(path));
    return h && idOf(h.get(), id);
}

bool identity(std::intptr_t h, FileIdentity& identity)
{
    FILE_BASIC_INFO times;
    FILE_STANDARD_INFO standard;
    if (!GetFileInformationByHandleEx(asHandle(h), FileBasicInfo, &times, sizeof times) ||
        !GetFileInformationByHandleEx(asHandle(h), FileStandardInfo, &standard, sizeof standard) ||
        standard.Directory)
        return false;
    identity = FileIdentity();
    identity.size = static_cast<std::uint64_t>(standard.EndOfFile.QuadPart);
    identity.written = ticks(times.LastWriteTime);
    identity.changed = ticks(times.ChangeTime);
    if (!idOf(asHandle(h), identity.id))
        identity.id = CFileId();  // a file system that names no file: the rest still tells
    return true;
}

FileLook identityOf(const char* path, FileIdentity& found)
{
    UniqueFileHandle h(openToLook(path));
    if (!h) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FileLook::missing : FileLook::failed;
    }
    return identity(reinterpret_cast<std::intptr_t>(h.get()), found) ? FileLook::found : FileLook::failed;
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
