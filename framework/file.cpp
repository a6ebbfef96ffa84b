#include "framework/file.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <iterator>

#include "framework/file_sys.h"

namespace {

CFile::IdLookup g_idLookup = filesys::fileId;
std::atomic<std::uint64_t> g_lookNumber{0};

}  // namespace

CFile::CFile() : m_handle(filesys::kInvalid) {}

CFile::~CFile() { Abort(); }

bool CFile::IsOpen() const { return m_handle != filesys::kInvalid; }

bool CFile::Open(const char* path, Mode mode, CFileException* error)
{
    Abort();
    long osError = 0;
    bool created = false;
    std::intptr_t h = filesys::open(path, mode, created, osError);
    if (h == filesys::kInvalid) {
        if (error)
            *error = CFileException(filesys::causeOf(osError), osError, path);
        return false;
    }
    m_handle = h;
    m_path = path;
    m_created = created;
    m_bufPos = m_bufEnd = 0;
    if (!m_buffer)
        m_buffer.reset(new unsigned char[kBufferSize]);
    return true;
}

std::size_t CFile::Read(void* buffer, std::size_t count)
{
    if (!IsOpen())
        throw CFileException(CFileException::invalidFile);
    unsigned char* out = static_cast<unsigned char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        if (m_bufPos < m_bufEnd) {
            std::size_t n = std::min(count - done, m_bufEnd - m_bufPos);
            std::memcpy(out + done, m_buffer.get() + m_bufPos, n);
            m_bufPos += n;
            done += n;
            continue;
        }
        long osError = 0;
        std::size_t got = 0;
        std::size_t want = count - done;
        // Large reads go straight to the caller; small ones refill the buffer.
        bool direct = want >= kBufferSize;
        if (!filesys::read(m_handle, direct ? out + done : m_buffer.get(),
                           direct ? want : kBufferSize, got, osError))
            throw CFileException(filesys::causeOf(osError), osError);
        if (got == 0)
            break;
        if (direct) {
            done += got;
        } else {
            m_bufPos = 0;
            m_bufEnd = got;
        }
    }
    return done;
}

void CFile::Write(const void* buffer, std::size_t count)
{
    if (!IsOpen())
        throw CFileException(CFileException::invalidFile, -1, m_path);
    const unsigned char* in = static_cast<const unsigned char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        long osError = 0;
        std::size_t put = 0;
        if (!filesys::write(m_handle, in + done, count - done, put, osError))
            throw CFileException(filesys::causeOf(osError), osError, m_path);
        if (put == 0)
            throw CFileException(CFileException::diskFull, osError, m_path);
        done += put;
    }
}

void CFile::Flush()
{
    if (!IsOpen())
        throw CFileException(CFileException::invalidFile, -1, m_path);
    long osError = 0;
    if (!filesys::flush(m_handle, osError))
        throw CFileException(filesys::causeOf(osError), osError, m_path);
}

void CFile::Seek(std::uint64_t position)
{
    if (!IsOpen())
        throw CFileException(CFileException::invalidFile);
    long osError = 0;
    if (!filesys::seekTo(m_handle, position, osError))
        throw CFileException(filesys::causeOf(osError), osError);
    m_bufPos = m_bufEnd = 0;
}

std::uint64_t CFile::GetLength()
{
    if (!IsOpen())
        throw CFileException(CFileException::invalidFile);
    long osError = 0;
    std::uint64_t here = 0, length = 0;
    if (!filesys::tell(m_handle, here, osError) || !filesys::seekEnd(m_handle, length, osError) ||
        !filesys::seekTo(m_handle, here, osError))
        throw CFileException(filesys::causeOf(osError), osError);
    return length;
}

void CFile::Close()
{
    if (!IsOpen())
        return;
    std::intptr_t h = m_handle;
    m_handle = filesys::kInvalid;
    m_bufPos = m_bufEnd = 0;
    long osError = 0;
    if (!filesys::close(h, osError))
        throw CFileException(filesys::causeOf(osError), osError);
}

void CFile::Abort()
{
    if (!IsOpen())
        return;
    long osError = 0;
    filesys::close(m_handle, osError);
    m_handle = filesys::kInvalid;
    m_bufPos = m_bufEnd = 0;
}

bool CFile::Remove(const char* path) { return filesys::remove(path); }

bool CFile::Rename(const char* from, const char* to) { return filesys::rename(from, to); }

bool CFile::Replace(const char* from, const char* to, std::string& backup)
{
    backup.clear();
    return filesys::replace(from, to, backup);
}

bool CFile::IsSameFile(const char* a, const char* b)
{
    // Some network drives give every file a zero volume serial or file number.
    CFileId ia, ib;
    if (!g_idLookup(a, ia) || !g_idLookup(b, ib) || !KnownFileId(ia) || !KnownFileId(ib))
        return false;
    return SameFileId(ia, ib);
}

bool CFile::GetIdentity(FileIdentity& identity) const
{
    return IsOpen() && filesys::identity(m_handle, identity);
}

FileLook CFile::IdentityOf(const char* path, FileIdentity& identity) { return filesys::identityOf(path, identity); }

bool KnownFileId(const CFileId& id)
{
    return id.volume != 0 && std::any_of(std::begin(id.file), std::end(id.file), [](unsigned char b) { return b != 0; });
}

bool SameFileId(const CFileId& a, const CFileId& b)
{
    return a.volume == b.volume && std::equal(std::begin(a.file), std::end(a.file), std::begin(b.file));
}

bool operator==(const FileIdentity& a, const FileIdentity& b)
{
    const auto same = [](std::uint64_t x, std::uint64_t y) { return x == 0 || y == 0 || x == y; };
    return a.size == b.size && same(a.written, b.written) && same(a.changed, b.changed) &&
           (!KnownFileId(a.id) || !KnownFileId(b.id) || SameFileId(a.id, b.id));
}

CFile::IdLookup CFile::SetIdLookup(IdLookup lookup)
{
    IdLookup previous = g_idLookup;
    g_idLookup = lookup ? lookup : filesys::fileId;
    return previous;
}

bool operator==(const PathLook& a, const PathLook& b)
{
    if (a.look != b.look)
        return false;
    return a.look != FileLook::found || (a.keptOnline == b.keptOnline && a.identity == b.identity);
}

std::uint64_t NextLookNumber() { return ++g_lookNumber; }
