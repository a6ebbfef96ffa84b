#include "framework/win32/filehashes.h"

#include <windows.h>
#include <bcrypt.h>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "framework/file.h"
#include "framework/win32/libraries.h"

namespace {

// bcrypt's calls, from the system folder's bcrypt, loaded at the first hash.
struct Bcrypt {
    decltype(&BCryptOpenAlgorithmProvider) openProvider;
    decltype(&BCryptCloseAlgorithmProvider) closeProvider;
    decltype(&BCryptCreateHash) createHash;
    decltype(&BCryptHashData) hashData;
    decltype(&BCryptFinishHash) finishHash;
    decltype(&BCryptDestroyHash) destroyHash;
    bool complete() const
    {
        return openProvider && closeProvider && createHash && hashData && finishHash && destroyHash;
    }
};

const Bcrypt& bcrypt()
{
    static const Bcrypt calls = [] {
        const HMODULE library = LoadSystemLibrary(L"bcrypt.dll");
        return Bcrypt{LibraryFunction<decltype(&BCryptOpenAlgorithmProvider)>(library, "BCryptOpenAlgorithmProvider"),
                      LibraryFunction<decltype(&BCryptCloseAlgorithmProvider)>(library, "BCryptCloseAlgorithmProvider"),
                      LibraryFunction<decltype(&BCryptCreateHash)>(library, "BCryptCreateHash"),
                      LibraryFunction<decltype(&BCryptHashData)>(library, "BCryptHashData"),
                      LibraryFunction<decltype(&BCryptFinishHash)>(library, "BCryptFinishHash"),
                      LibraryFunction<decltype(&BCryptDestroyHash)>(library, "BCryptDestroyHash")};
    }();
    return calls;
}

// One running hash of one algorithm; does nothing when the system has none to give.
// BCryptHash would do it in one call, but only from Windows 10 on.
class Hash {
public:
    explicit Hash(const wchar_t* algorithm)
    {
        const Bcrypt& calls = bcrypt();
        if (!calls.complete() || calls.openProvider(&m_provider, algorithm, nullptr, 0) < 0) {
            m_provider = nullptr;
            return;
        }
        if (calls.createHash(m_provider, &m_hash, nullptr, 0, nullptr, 0, 0) < 0)
            m_hash = nullptr;
    }
    ~Hash()
    {
        if (m_hash)
            bcrypt().destroyHash(m_hash);
        if (m_provider)
            bcrypt().closeProvider(m_provider, 0);
    }
    Hash(const Hash&) = delete;
    Hash& operator=(const Hash&) = delete;

    void add(const unsigned char* data, ULONG size)
    {
        if (m_hash && bcrypt().hashData(m_hash, const_cast<PUCHAR>(data), size, 0) < 0) {
            bcrypt().destroyHash(m_hash);
            m_hash = nullptr;
        }
    }
    // Lower-case hex; empty when there is none.
    std::string finish(ULONG size)
    {
        std::array<unsigned char, 64> digest{};
        if (!m_hash || size > digest.size() || bcrypt().finishHash(m_hash, digest.data(), size, 0) < 0)
            return {};
        static const char digits[] = "0123456789abcdef";
        std::string text;
        for (ULONG i = 0; i < size; ++i) {
            text += digits[digest[i] >> 4];
            text += digits[digest[i] & 0xF];
        }
        return text;
    }

private:
    BCRYPT_ALG_HANDLE m_provider = nullptr;   // owned
    BCRYPT_HASH_HANDLE m_hash = nullptr;      // owned
};

// CRC-32 as zip and the IPS world quote it (reflected 0xEDB88320), eight tables so that
// a byte costs a few instructions: a 16 MiB file must hash in a blink.
using Crc32Tables = std::array<std::array<std::uint32_t, 256>, 8>;

const Crc32Tables& crc32Tables()
{
    static const Crc32Tables tables = [] {
        Crc32Tables t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
            t[0][i] = c;
        }
        for (std::size_t n = 1; n < 8; ++n)
            for (std::size_t i = 0; i < 256; ++i)
                t[n][i] = (t[n - 1][i] >> 8) ^ t[0][t[n - 1][i] & 0xFF];
        return t;
    }();
    return tables;
}

class Crc32 {
public:
    void add(const unsigned char* p, std::size_t n)
    {
        const Crc32Tables& t = crc32Tables();
        std::uint32_t c = ~m_crc;
        for (; n >= 8; p += 8, n -= 8) {
            const std::uint32_t lo = c ^ (p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t(p[3]) << 24);
            c = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^ t[3][p[4]] ^
                t[2][p[5]] ^ t[1][p[6]] ^ t[0][p[7]];
        }
        for (; n != 0; ++p, --n)
            c = (c >> 8) ^ t[0][(c ^ *p) & 0xFF];
        m_crc = ~c;
    }
    std::uint32_t value() const { return m_crc; }

private:
    std::uint32_t m_crc = 0;
};

}  // namespace

FileHashes HashFile(CFile& file)
{
    Crc32 crc;
    Hash md5(BCRYPT_MD5_ALGORITHM), sha1(BCRYPT_SHA1_ALGORITHM), sha256(BCRYPT_SHA256_ALGORITHM);
    constexpr std::size_t kChunk = 1 << 20;
    std::unique_ptr<unsigned char[]> buffer(new unsigned char[kChunk]);
    for (;;) {
        const std::size_t got = file.Read(buffer.get(), kChunk);
        if (got == 0)
            break;
        crc.add(buffer.get(), got);
        md5.add(buffer.get(), static_cast<ULONG>(got));
        sha1.add(buffer.get(), static_cast<ULONG>(got));
        sha256.add(buffer.get(), static_cast<ULONG>(got));
    }
    FileHashes out;
    out.crc32 = crc.value();
    out.md5 = md5.finish(16);
    out.sha1 = sha1.finish(20);
    out.sha256 = sha256.finish(32);
    return out;
}
