#pragma once
// The MD5, SHA-1 and SHA-256 of a stream of bytes, from the system's bcrypt, loaded from
// the system folder on first use: it is not among the libraries Windows protects from
// planting.

#include <cstddef>
#include <memory>
#include <string>

#include "framework/digests.h"


// Takes bytes in order, on any one thread, and gives their digests once.
class CDigester {
public:
    CDigester();
    ~CDigester();
    CDigester(const CDigester&) = delete;
    CDigester& operator=(const CDigester&) = delete;

    void Add(const unsigned char* data, std::size_t size);
    Digests Finish();

private:
    class Hash;
    std::unique_ptr<Hash> m_md5, m_sha1, m_sha256;
};
