#pragma once
// Writing IPS files: field by field (Ips), for any file a test needs, damaged ones
// included; or from a list of records (PatchFile), which the model in model.h reads too.
//
// The format: "PATCH", then records of a 3-byte offset and a 2-byte length followed by
// that many bytes; a length of 0 makes a run record instead, a 2-byte count and one byte
// to repeat. "EOF" ends the records and may be followed by a 3-byte output size.
// Numbers are big-endian.

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/files.h"

namespace support {

class Ips {
public:
    Ips() { raw("PATCH"); }
    // data holds 1 to 65535 bytes; other sizes throw std::invalid_argument.
    Ips& literal(std::uint32_t offset, const Bytes& data);
    Ips& run(std::uint32_t offset, std::uint16_t length, std::uint8_t value);
    Ips& eof() { return raw("EOF"); }
    Ips& size3(std::uint32_t size) { return number(size, 3); }
    // A big-endian field of width bytes.
    Ips& number(std::uint32_t value, int width);
    Ips& raw(const std::string& text);
    Ips& raw(const Bytes& bytes);
    const Bytes& bytes() const { return m_bytes; }

private:
    Bytes m_bytes;
};

struct Record {
    std::uint32_t offset = 0;
    Bytes bytes;       // what the record puts at offset
    bool run = false;  // stored as a run record (all bytes equal, or none)
};

struct PatchFile {
    std::vector<Record> records;   // in file order
    std::uint32_t targetSize = 0;  // 0: none stated (and then no size bytes are written)
    Bytes tail;                    // anything written after the size bytes

    Record& literal(std::uint32_t offset, Bytes bytes);
    Record& run(std::uint32_t offset, std::uint16_t length, std::uint8_t value);
    Bytes encode() const;
};

}  // namespace support
