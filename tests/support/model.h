#pragma once
// What a patch must produce, worked out from the format and the rules of application
// alone, apart from the program's code: the records a file holds, the list a load
// shows, and the file Patch writes.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "tests/support/ips.h"

namespace support {

// The records of an IPS file, runs expanded, and the size it states; nothing when it is
// not whole: no "PATCH", a record cut short, or no "EOF". A stated size of 0 counts as
// none, its bytes as tail.
std::optional<PatchFile> readPatch(const std::uint8_t* data, std::size_t size);

// One item of the hunk list.
struct ListItem {
    std::string label;       // " 0x%06X - 0x%06X" of the hunk's first and last offset
    std::uint32_t data = 0;  // the item data: the hunk's index, its record's place in the file
    int check = 0;
};
bool operator==(const ListItem& a, const ListItem& b);
inline bool operator!=(const ListItem& a, const ListItem& b) { return !(a == b); }
std::ostream& operator<<(std::ostream& out, const ListItem& item);

// Record indices in the order the list shows them: by label, equal labels in file order.
// Labels all share one shape of digits and upper-case letters, so byte order is the
// list's alphabetical order.
std::vector<std::size_t> listOrder(const PatchFile& patch);
// The items a load shows, in list order, all ticked.
std::vector<ListItem> expectedList(const PatchFile& patch);

// What Patch writes: the source resized to the stated size (or, when none is stated,
// grown to hold every ticked hunk that has bytes), zero-filled past the source's end,
// then the ticked hunks copied in list order, each cut at the end of the file.
// checks[i] is the check of the list item at position i; only 1 counts as ticked.
Bytes expectedImage(const Bytes& source, const PatchFile& patch, const std::vector<int>& checks);

}  // namespace support
