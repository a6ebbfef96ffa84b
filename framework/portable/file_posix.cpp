// POSIX primitives under CFile. Windows refuses a second opener of a file held
// without sharing, and an exclusive opener of a file others hold shared; the same is
// kept here within the process, keyed by device and inode, so that code and tests
// behave alike on both platforms.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

#include "framework/file_sys.h"

namespace {

using FileId = std::pair<dev_t, ino_t>;

std::mutex g_lock;
std::set<FileId> g_open;             // held without sharing
std::map<int, FileId> g_shared;      // descriptors of shared reads

// Whether an opener of id in that mode must be refused.
bool refused(const FileId& id, bool shared)
{
    if (g_open.count(id))
        return true;
    if (shared)
        return false;
    for (const auto& held : g_shared)
        if (held.second == id)
            return true;
    return false;
}

bool idOf(int fd, FileId& id)
{
    struct stat st;
    if (fstat(fd, &st) != 0)
        return false;
    id = {st.st_dev, st.st_ino};
    return true;
}

}  // namespace

namespace filesys {

std::intptr_t open(const char* path, CFile::Mode mode, bool& created, long& osError)
{
    created = false;
    if (!path || !*path) {
        osError = ENOENT;
        return kInvalid;
    }
    std::lock_guard<std::mutex> guard(g_lock);
    struct stat before;
    bool existed = ::stat(path, &before) == 0;
    if (existed && S_ISDIR(before.st_mode)) {
        osError = EISDIR;
        return kInvalid;
    }
    const bool shared = mode == CFile::modeReadShared;
    if (existed && refused({before.st_dev, before.st_ino}, shared)) {
        osError = EBUSY;
        return kInvalid;
    }
    int flags = O_CLOEXEC;
    switch (mode) {
    case CFile::modeRead:
    case CFile::modeReadShared: flags |= O_RDONLY; break;
    // Truncating happens only after the sharing check, so a refused open changes nothing.
    case CFile::modeCreate: flags |= O_WRONLY | O_CREAT; break;
    case CFile::modeWriteExisting: flags |= O_WRONLY | O_CREAT; break;
    case CFile::modeCreateNew: flags |= O_WRONLY | O_CREAT | O_EXCL; break;
    }
    int fd = ::open(path, flags, 0666);
    if (fd < 0) {
        osError = errno;
        return kInvalid;
    }
    FileId id;
    if (!idOf(fd, id) || refused(id, shared)) {
        osError = EBUSY;
        ::close(fd);
        return kInvalid;
    }
    if (mode == CFile::modeCreate && ftruncate(fd, 0) != 0) {
        osError = errno;
        ::close(fd);
        return kInvalid;
    }
    if (shared)
        g_shared[fd] = id;
    else
        g_open.insert(id);
    created = !existed && !shared;
    return fd;
}

bool read(std::intptr_t h, void* buffer, std::size_t count, std::size_t& got, long& osError)
{
    for (;;) {
        ssize_t n = ::read(static_cast<int>(h), buffer, count);
        if (n >= 0) {
            got = static_cast<std::size_t>(n);
            return true;
        }
        if (errno != EINTR) {
            osError = errno;
            return false;
        }
    }
}

bool write(std::intptr_t h, const void* buffer, std::size_t count, std::size_t& put, long& osError)
{
    for (;;) {
        ssize_t n = ::write(static_cast<int>(h), buffer, count);
        if (n >= 0) {
            put = static_cast<std::size_t>(n);
            return true;
        }
        if (errno != EINTR) {
            osError = errno;
            return false;
        }
    }
}

bool tell(std::intptr_t h, std::uint64_t& position, long& osError)
{
    off_t p = ::lseek(static_cast<int>(h), 0, SEEK_CUR);
    if (p < 0) {
        osError = errno;
        return false;
    }
    position = static_cast<std::uint64_t>(p);
    return true;
}

bool seekEnd(std::intptr_t h, std::uint64_t& length, long& osError)
{
    off_t p = ::lseek(static_cast<int>(h), 0, SEEK_END);
    if (p < 0) {
        osError = errno;
        return false;
    }
    length = static_cast<std::uint64_t>(p);
    return true;
}

bool seekTo(std::intptr_t h, std::uint64_t position, long& osError)
{
    if (::lseek(static_cast<int>(h), static_cast<off_t>(position), SEEK_SET) < 0) {
        osError = errno;
        return false;
    }
    return true;
}

bool flush(std::intptr_t h, long& osError)
{
    if (::fsync(static_cast<int>(h)) != 0) {
        osError = errno;
        return false;
    }
    return true;
}

bool close(std::intptr_t h, long& osError)
{
    int fd = static_cast<int>(h);
    {
        std::lock_guard<std::mutex> guard(g_lock);
        FileId id;
        if (!g_shared.erase(fd) && idOf(fd, id))
            g_open.erase(id);
    }
    if (::close(fd) != 0) {
        osError = errno;
        return false;
    }
    return true;
}

bool remove(const char* path) { return ::unlink(path) == 0; }

bool rename(const char* from, const char* to)
{
    if (std::rename(from, to) != 0)
        return false;
    // The new name is on the disk once the folder is. The file is in place either way, so
    // a folder that cannot be synced does not undo the move.
    const std::string name = to;
    const std::size_t slash = name.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : name.substr(0, slash);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
    return true;
}

// One rename: the old file is never under another name.
bool replace(const char* from, const char* to, std::string&)
{
    struct stat old;
    if (::stat(to, &old) == 0) {
        // The owner first: changing it clears the set-id bits. Where this process may not
        // give the file to the old owner, the new file stays its own, without set-id bits.
        mode_t mode = old.st_mode & 07777;
        if (::chown(from, old.st_uid, old.st_gid) != 0)
            mode &= ~mode_t(S_ISUID | S_ISGID);
        ::chmod(from, mode);
    }
    return rename(from, to);
}

bool fileId(const char* path, CFileId& id)
{
    struct stat st;
    if (::stat(path, &st) != 0)
        return false;
    id = CFileId();
    id.volume = static_cast<std::uint64_t>(st.st_dev);
    const std::uint64_t number = static_cast<std::uint64_t>(st.st_ino);
    std::memcpy(id.file, &number, sizeof number);
    return true;
}

namespace {

std::uint64_t ticks(const timespec& t)
{
    return static_cast<std::uint64_t>(t.tv_sec) * 1000000000u + static_cast<std::uint64_t>(t.tv_nsec);
}

bool identityFrom(const struct stat& st, FileIdentity& identity)
{
    if (!S_ISREG(st.st_mode))
        return false;
    identity = FileIdentity();
    identity.size = static_cast<std::uint64_t>(st.st_size);
    identity.written = ticks(st.st_mtim);
    identity.changed = ticks(st.st_ctim);
    identity.id.volume = static_cast<std::uint64_t>(st.st_dev);
    const std::uint64_t number = static_cast<std::uint64_t>(st.st_ino);
    std::memcpy(identity.id.file, &number, sizeof number);
    return true;
}

}  // namespace

bool identity(std::intptr_t h, FileIdentity& identity)
{
    struct stat st;
    return ::fstat(static_cast<int>(h), &st) == 0 && identityFrom(st, identity);
}

FileLook identityOf(const char* path, FileIdentity& identity)
{
    struct stat st;
    if (::stat(path, &st) != 0)
        return errno == ENOENT || errno == ENOTDIR ? FileLook::missing : FileLook::failed;
    return identityFrom(st, identity) ? FileLook::found : FileLook::failed;
}

CFileException::Cause causeOf(long osError)
{
    switch (osError) {
    case 0: return CFileException::none;
    case ENOENT: return CFileException::fileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case EISDIR: return CFileException::badPath;
    case EMFILE:
    case ENFILE: return CFileException::tooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS: return CFileException::accessDenied;
    case EBADF: return CFileException::invalidFile;
    case ESPIPE: return CFileException::badSeek;
    case EIO: return CFileException::hardIO;
    case EBUSY:
    case ETXTBSY: return CFileException::sharingViolation;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return CFileException::diskFull;
    default: return CFileException::generic;
    }
}

}  // namespace filesys
