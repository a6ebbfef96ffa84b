#include "framework/win32/filehashes.h"

#include <windows.h>
#include <bcrypt.h>

#include <array>
#include <optional>

#include "framework/win32/handle.h"
#include "framework/win32/libraries.h"

namespace {

struct Bcrypt {
    decltype(&BCryptOpenAlgorithmProvider) openProvider;
    decltype(&BCryptCloseAlgorithmProvider) closeProvider;
    decltype(&BCryptCreateHash) createHash;
    decltype(&BCryptHashData) hashData;
    decltype(&BCryptFinishHash) finishHash;
    decltype(&BCryptDestroyHash) destroyHash;
};

// Null when the system has no bcrypt to give.
const Bcrypt* bcrypt()
{
    return SystemFunctions<Bcrypt>(L"bcrypt.dll", [](SystemLibrary& library, Bcrypt& c) {
        library.Get(c.openProvider, "BCryptOpenAlgorithmProvider");
        library.Get(c.closeProvider, "BCryptCloseAlgorithmProvider");
        library.Get(c.createHash, "BCryptCreateHash");
        library.Get(c.hashData, "BCryptHashData");
        library.Get(c.finishHash, "BCryptFinishHash");
        library.Get(c.destroyHash, "BCryptDestroyHash");
    });
}

// Only ever made once bcrypt() has given its calls.
struct ProviderTraits {
    using Handle = BCRYPT_ALG_HANDLE;
    static Handle none() { return nullptr; }
    static void close(Handle provider) { bcrypt()->closeProvider(provider, 0); }
};
struct HashTraits {
    using Handle = BCRYPT_HASH_HANDLE;
    static Handle none() { return nullptr; }
    static void close(Handle hash) { bcrypt()->destroyHash(hash); }
};

}  // namespace

// One running hash of one algorithm; does nothing when the system has none to give.
// BCryptHash would do it in one call, but only from Windows 10 on.
class CDigester::Hash {
public:
    Hash(const wchar_t* algorithm, ULONG size) : m_size(size)
    {
        const Bcrypt* calls = bcrypt();
        if (!calls || calls->openProvider(m_provider.put(), algorithm, nullptr, 0) < 0) {
            m_provider.release();  // a failed open gives no handle to close
            return;
        }
        if (calls->createHash(m_provider.get(), m_hash.put(), nullptr, 0, nullptr, 0, 0) < 0)
            m_hash.release();
    }

    void add(const unsigned char* data, std::size_t size)
    {
        for (constexpr std::size_t kMost = 1u << 30; m_hash && size != 0;) {
            const ULONG n = static_cast<ULONG>(size < kMost ? size : kMost);
            if (bcrypt()->hashData(m_hash.get(), const_cast<PUCHAR>(data), n, 0) < 0)
                m_hash.reset();
            data += n;
            size -= n;
        }
    }
    // Lower-case hex; empty when there is none.
    std::string finish()
    {
        std::array<unsigned char, 64> digest{};
        if (!m_hash || m_size > digest.size() || bcrypt()->finishHash(m_hash.get(), digest.data(), m_size, 0) < 0)
            return {};
        m_hash.reset();  // a finished hash takes no more bytes
        static const char digits[] = "0123456789abcdef";
        std::string text;
        for (ULONG i = 0; i < m_size; ++i) {
            text += digits[digest[i] >> 4];
            text += digits[digest[i] & 0xF];
        }
        return text;
    }

private:
    // Declared in this order so that the hash goes before its provider.
    UniqueHandle<ProviderTraits> m_provider;
    UniqueHandle<HashTraits> m_hash;
    ULONG m_size;
};

CDigester::CDigester()
    : m_md5(new Hash(BCRYPT_MD5_ALGORITHM, 16)),
      m_sha1(new Hash(BCRYPT_SHA1_ALGORITHM, 20)),
      m_sha256(new Hash(BCRYPT_SHA256_ALGORITHM, 32))
{
}

CDigester::~CDigester() = default;

void CDigester::Add(const unsigned char* data, std::size_t size)
{
    m_md5->add(data, size);
    m_sha1->add(data, size);
    m_sha256->add(data, size);
}

Digests CDigester::Finish() { return {m_md5->finish(), m_sha1->finish(), m_sha256->finish()}; }
