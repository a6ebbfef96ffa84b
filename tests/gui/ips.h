#pragma once
// The driver's own small model of an IPS patch: it writes the patch files the tests
// load, and works out what the program should show and write for them, independently
// of the program's code.

#include <cstdint>
#include <string>
#include <vector>

#include "driver.h"

namespace gui {

struct Record {
    std::uint32_t offset = 0;
    Bytes bytes;       // what the record puts at offset
    bool run = false;  // stored as a run record (all bytes equal, or none)
};

struct PatchFile {
    std::vector<Record> records;  // in file order
    std::uint32_t targetSize = 0; // 0: none stated (and then no size bytes are written)
    Bytes tail;                   // anything written after the size bytes

    Record& literal(std::uint32_t offset, Bytes bytes);
    Record& run(std::uint32_t offset, std::uint16_t length, std::uint8_t value);
    Bytes encode() const;
};

// " 0x%06X - 0x%06X" of first and last offset.
std::string label(const Record& record);
// Record indices in the order the list shows them: by label, equal labels in file order.
std::vector<std::size_t> listOrder(const PatchFile& patch);
// The labels and item data the list should hold, all ticked.
std::vector<ListItem> expectedList(const PatchFile& patch);

// What Patch should write: the source resized to the stated size (or grown to hold the
// ticked hunks when none is stated), the ticked hunks copied in list order.
// checks[i] is the check of the list item at position i.
Bytes expectedImage(const Bytes& source, const PatchFile& patch, const std::vector<int>& checks);

}  // namespace gui
