#include "framework/win32/blockfile.h"

#include "framework/file_sys.h"

bool CBlockFile::Open(const char* path)
{
    m_file.reset(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_OVERLAPPED | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!m_file)
        return false;
    m_done.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    return static_cast<bool>(m_done);
}

bool CBlockFile::GetIdentity(FileIdentity& identity) const
{
    return m_file && filesys::identity(reinterpret_cast<std::intptr_t>(m_file.get()), identity);
}

bool CBlockFile::Read(std::uint64_t offset, unsigned char* data, std::size_t size, std::size_t& got)
{
    got = 0;
    OVERLAPPED read{};
    read.Offset = static_cast<DWORD>(offset);
    read.OffsetHigh = static_cast<DWORD>(offset >> 32);
    read.hEvent = m_done.get();
    ResetEvent(m_done.get());
    DWORD n = 0;
    if (!ReadFile(m_file.get(), data, static_cast<DWORD>(size), nullptr, &read)) {
        const DWORD error = GetLastError();
        if (error == ERROR_HANDLE_EOF)
            return true;
        if (error != ERROR_IO_PENDING)
            return false;
    }
    if (!GetOverlappedResult(m_file.get(), &read, &n, TRUE))
        return GetLastError() == ERROR_HANDLE_EOF;
    got = n;
    return true;
}

void CBlockFile::Cancel()
{
    if (m_file)
        CancelIoEx(m_file.get(), nullptr);
}
