#pragma once
// Replaces fsync for the engine suites (the linker takes this one instead of the C
// library's), so that tests can see what was synced to the disk, and when.

#include <cstdint>
#include <string>
#include <vector>

struct SyncRecord {
    std::string path;        // of what was synced
    bool folder = false;     // a folder, not a file
    std::uint64_t size = 0;  // its size at the time
    std::uint64_t file = 0;  // its file number
    std::uint64_t watched = 0;  // the file number the watched name had then; 0 if none
};

// Records every sync from now on, each with the file number that watched has then.
void watchSyncs(const std::string& watched);
// Stops recording and hands over the records.
std::vector<SyncRecord> takeSyncs();
