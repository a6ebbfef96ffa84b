// libFuzzer target: the input bytes are a patch file. They are loaded into the
// in-memory check list over a patch loaded before, some hunks are unticked (or given
// a state that is not a tick) by a pattern drawn from the input, and the result is
// applied to a small generated source, creating the destination or replacing an old
// one. Whatever the bytes, the outcome must agree with a reading of the format written
// here independently of the engine's; the source and patch files must come through
// untouched, a replaced destination must keep its mode, and nothing else may be left
// in the folder.
//
// The scratch folder is made in TMPDIR; on a memory-backed one the disk does not set
// the pace.

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "framework/checklistbox.h"
#include "framework/portable/report_record.h"
#include "patch/hunkset.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;

[[noreturn]] void broken(const char* what, int line)
{
    std::fprintf(stderr, "invariant broken at line %d: %s\n", line, what);
    std::abort();
}
#define REQUIRE(condition)                    \
    do {                                      \
        if (!(condition))                     \
            broken(#condition, __LINE__);     \
    } while (0)

struct Scratch {
    fs::path dir;
    std::string patch, source, destination, previous;

    ~Scratch()
    {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }
};

Scratch* g_scratch = nullptr;

void removeScratch() { delete g_scratch; }

bool writeFile(const std::string& path, const unsigned char* data, std::size_t size)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool whole = size == 0 || std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && whole;
}

// Reads a whole file into out, whose room is kept from one input to the next: outputs
// run to 16 MiB, and fresh pages for each would cost more than the engine's work.
bool readFile(const std::string& path, Bytes& out)
{
    out.clear();
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    struct stat st;
    bool whole = ::fstat(fileno(f), &st) == 0;
    if (whole) {
        out.resize(static_cast<std::size_t>(st.st_size));
        whole = out.empty() || std::fread(out.data(), 1, out.size(), f) == out.size();
        whole = whole && std::fgetc(f) == EOF;
    }
    std::fclose(f);
    return whole;
}

// The format, read straight from the bytes: what the engine must have understood.
struct Record {
    std::uint32_t offset;
    Bytes bytes;
};
struct Reading {
    bool valid = false;  // reached the end marker
    std::vector<Record> records;
    std::uint32_t targetSize = 0;
};

Reading readPatch(const unsigned char* data, std::size_t size)
{
    Reading r;
    std::size_t at = 0;
    auto take = [&](std::size_t n, std::uint32_t& value) {
        if (size - at < n)
            return false;
        value = 0;
        for (std::size_t i = 0; i < n; ++i)
            value = value << 8 | data[at + i];
        at += n;
        return true;
    };
    if (size < 5 || std::memcmp(data, "PATCH", 5) != 0)
        return r;
    at = 5;
    for (;;) {
        std::uint32_t offset, length;
        if (!take(3, offset))
            return r;
        if (offset == 0x454F46)
            break;
        if (!take(2, length))
            return r;
        Record record{offset, {}};
        if (length != 0) {
            if (size - at < length)
                return r;
            record.bytes.assign(data + at, data + at + length);
            at += length;
        } else {
            std::uint32_t runLength, value;
            if (!take(2, runLength) || !take(1, value))
                return r;
            record.bytes.assign(runLength, static_cast<unsigned char>(value));
        }
        r.records.push_back(std::move(record));
    }
    std::uint32_t target;
    if (take(3, target))
        r.targetSize = target;
    r.valid = true;
    return r;
}

std::string label(std::uint32_t offset, std::uint32_t length)
{
    char text[32];
    std::snprintf(text, sizeof text, " 0x%06X - 0x%06X", offset, offset + length - 1);
    return text;
}

// The list's order: labels compared without regard to letter case.
bool labelAfter(const std::string& a, const std::string& b)
{
    return std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
    });
}

std::uint32_t hashOf(const unsigned char* data, std::size_t size)
{
    std::uint32_t h = 2166136261u;
    for (std::size_t i = 0; i < size; ++i)
        h = (h ^ data[i]) * 16777619u;
    return h;
}

bool onlyReport(const char* text)
{
    const auto& reports = recordedReports();
    return reports.size() == 1 && reports[0].text == text;
}

bool exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

constexpr mode_t kOldMode = 0604;  // a replaced destination's mode, which it must keep

// Whether the scratch folder holds the files put there and, if it should, the output,
// and nothing else: no temporary file may outlive a command.
bool onlyOwnFiles(const Scratch& s, bool withOutput)
{
    std::size_t expected = 3 + (withOutput ? 1 : 0), seen = 0;
    for (const auto& entry : fs::directory_iterator(s.dir)) {
        const std::string path = entry.path().string();
        if (path != s.patch && path != s.source && path != s.previous && (path != s.destination || !withOutput))
            return false;
        ++seen;
    }
    return seen == expected;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    std::string pattern = (fs::temp_directory_path() / "velquin-fuzz-XXXXXX").string();
    if (!mkdtemp(&pattern[0])) {
        std::perror("mkdtemp");
        std::exit(1);
    }
    g_scratch = new Scratch;
    g_scratch->dir = pattern;
    g_scratch->patch = (g_scratch->dir / "input.ips").string();
    g_scratch->source = (g_scratch->dir / "source.bin").string();
    g_scratch->destination = (g_scratch->dir / "output.bin").string();
    g_scratch->previous = (g_scratch->dir / "previous.ips").string();
    // Loaded before each input, so that a failed load has something to throw away.
    static const unsigned char previous[] = {'P', 'A', 'T', 'C', 'H', 0, 0, 4, 0, 2, 0xAA, 0xBB,
                                             0, 0, 1, 0, 0, 0, 3, 0x11, 'E', 'O', 'F'};
    if (!writeFile(g_scratch->previous, previous, sizeof previous)) {
        std::perror("scratch files");
        std::exit(1);
    }
    std::atexit(removeScratch);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    const Scratch& s = *g_scratch;
    const std::uint32_t hash = hashOf(data, size);
    Bytes source(hash % 1024);
    for (std::size_t i = 0; i < source.size(); ++i)
        source[i] = static_cast<unsigned char>(i * 131 + (hash >> 10));
    REQUIRE(writeFile(s.patch, data, size));
    REQUIRE(writeFile(s.source, source.data(), source.size()));
    std::remove(s.destination.c_str());
    // Every other input finds an old destination to replace.
    const bool replacing = (hash >> 20) & 1;
    const Bytes old(hash % 37, 0xD5);
    if (replacing)
        REQUIRE(writeFile(s.destination, old.data(), old.size()) && ::chmod(s.destination.c_str(), kOldMode) == 0);

    CHunkSet set;
    CCheckListBox list;
    recordedReports().clear();
    REQUIRE(set.LoadPatch(s.previous, list) && list.GetCount() == 2);

    recordedReports().clear();
    const bool loaded = set.LoadPatch(s.patch, list);
    const Reading expected = readPatch(data, size);
    REQUIRE(loaded == expected.valid);
    if (!loaded) {
        REQUIRE(onlyReport("Patch is not a valid IPS file."));
        REQUIRE(set.GetCount() == 0 && list.GetCount() == 0 && set.GetTargetSize() == 0);
    } else {
        REQUIRE(recordedReports().empty());
        REQUIRE(set.GetCount() == expected.records.size());
        REQUIRE(static_cast<std::size_t>(list.GetCount()) == set.GetCount());
        REQUIRE(set.GetTargetSize() == expected.targetSize);
        for (std::size_t i = 0; i < set.GetCount(); ++i) {
            const CHunk& hunk = set.GetHunk(i);
            const Record& record = expected.records[i];
            REQUIRE(hunk.Offset() == record.offset && hunk.Length() == record.bytes.size());
            REQUIRE(hunk.Length() == 0 || std::memcmp(hunk.Bytes(), record.bytes.data(), hunk.Length()) == 0);
        }
        std::vector<bool> seen(set.GetCount());
        for (int i = 0; i < list.GetCount(); ++i) {
            const std::uint32_t index = list.GetItemData(i);
            REQUIRE(index < set.GetCount() && !seen[index]);
            seen[index] = true;
            const CHunk& hunk = set.GetHunk(index);
            REQUIRE(list.GetText(i) == label(hunk.Offset(), hunk.Length()));
            REQUIRE(i == 0 || !labelAfter(list.GetText(i - 1), list.GetText(i)));
            REQUIRE(list.GetCheck(i) == 1);
        }
    }

    // 0 unticks, 1 ticks, 2 is a state that is not a tick and must be skipped.
    std::vector<int> checks(list.GetCount());
    for (int i = 0; i < list.GetCount(); ++i) {
        checks[i] = size == 0 ? 1 : (data[(i * 7u + hash) % size] >> (i % 5)) % 3;
        list.SetCheck(i, checks[i]);
    }
    std::vector<std::uint32_t> itemData(list.GetCount());
    for (int i = 0; i < list.GetCount(); ++i)
        itemData[i] = list.GetItemData(i);

    recordedReports().clear();
    set.ApplyPatch(s.source, s.destination, list);
    static Bytes written, image;  // room kept across inputs, as readFile says
    if (list.GetCount() == 0) {
        REQUIRE(onlyReport("You need to open a patch file first."));
        REQUIRE(replacing ? readFile(s.destination, written) && written == old : !exists(s.destination));
    } else {
        REQUIRE(onlyReport("Patching completed successfully."));
        // A stated size is the size; otherwise the source grows to hold every ticked hunk.
        std::uint64_t imageSize = expected.targetSize;
        if (imageSize == 0) {
            imageSize = source.size();
            for (int i = 0; i < list.GetCount(); ++i) {
                const CHunk& hunk = set.GetHunk(itemData[i]);
                if (checks[i] == 1 && hunk.Length() != 0)
                    imageSize = std::max<std::uint64_t>(imageSize, std::uint64_t(hunk.Offset()) + hunk.Length());
            }
        }
        image.assign(imageSize, 0);
        std::copy_n(source.begin(), std::min<std::uint64_t>(imageSize, source.size()), image.begin());
        for (int i = 0; i < list.GetCount(); ++i) {
            if (checks[i] != 1)
                continue;
            const Record& record = expected.records[itemData[i]];
            for (std::size_t j = 0; j < record.bytes.size() && record.offset + j < imageSize; ++j)
                image[record.offset + j] = record.bytes[j];
        }
        REQUIRE(readFile(s.destination, written));
        REQUIRE(written.size() == image.size());
        REQUIRE(written == image);
        struct stat st;
        REQUIRE(!replacing || (::stat(s.destination.c_str(), &st) == 0 && (st.st_mode & 07777) == kOldMode));
    }
    REQUIRE(onlyOwnFiles(s, replacing || list.GetCount() != 0));
    for (int i = 0; i < list.GetCount(); ++i)
        REQUIRE(list.GetCheck(i) == checks[i] && list.GetItemData(i) == itemData[i]);

    static Bytes after;
    REQUIRE(readFile(s.source, after) && after == source);
    REQUIRE(readFile(s.patch, after) && after == Bytes(data, data + size));
    return 0;
}
