// libFuzzer target: the input bytes are a patch file. They are loaded into the
// in-memory check list over a patch loaded before, some hunks are unticked (or given
// a state that is not a tick) by a pattern drawn from the input, and the result is
// applied to a small generated source, creating the destination or replacing an old
// one. Whatever the bytes, the outcome must agree with tests/support's model, written
// apart from the engine; the source and patch files must come through untouched, a
// replaced destination must keep its mode, and nothing else may be left in the folder.
//
// The scratch folder is made in TMPDIR; on a memory-backed one the disk does not set
// the pace.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "framework/checklistbox.h"
#include "framework/portable/report_record.h"
#include "patch/hunkset.h"
#include "tests/support/files.h"
#include "tests/support/model.h"

namespace {

using support::Bytes;

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
    support::ScratchDir dir{"velquin-fuzz"};
    std::string patch = dir.path("input.ips");
    std::string source = dir.path("source.bin");
    std::string destination = dir.path("output.bin");
    std::string previous = dir.path("previous.ips");
};

Scratch* g_scratch = nullptr;

void removeScratch() { delete g_scratch; }

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

constexpr mode_t kOldMode = 0604;  // a replaced destination's mode, which it must keep

// Whether the scratch folder holds the files put there and, if it should, the output,
// and nothing else: no temporary file may outlive a command.
bool onlyOwnFiles(const Scratch& s, bool withOutput)
{
    const std::vector<std::string> mine{"input.ips", "previous.ips", "source.bin"};
    const std::vector<std::string> withIt{"input.ips", "output.bin", "previous.ips", "source.bin"};
    return s.dir.entries() == (withOutput ? withIt : mine);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    try {
        g_scratch = new Scratch;
        // Loaded before each input, so that a failed load has something to throw away.
        support::writeFile(g_scratch->previous, support::Ips().literal(4, {0xAA, 0xBB}).run(1, 3, 0x11).eof().bytes());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "scratch files: %s\n", e.what());
        std::exit(1);
    }
    std::atexit(removeScratch);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    const Scratch& s = *g_scratch;
    const Bytes input(data, data + size);
    const std::uint32_t hash = hashOf(data, size);
    Bytes source(hash % 1024);
    for (std::size_t i = 0; i < source.size(); ++i)
        source[i] = static_cast<unsigned char>(i * 131 + (hash >> 10));
    support::writeFile(s.patch, input);
    support::writeFile(s.source, source);
    std::remove(s.destination.c_str());
    // Every other input finds an old destination to replace.
    const bool replacing = (hash >> 20) & 1;
    const Bytes old(hash % 37, 0xD5);
    if (replacing) {
        support::writeFile(s.destination, old);
        REQUIRE(::chmod(s.destination.c_str(), kOldMode) == 0);
    }

    CHunkSet set;
    CCheckListBox list;
    recordedReports().clear();
    REQUIRE(set.LoadPatch(s.previous, list) && list.GetCount() == 2);

    recordedReports().clear();
    const bool loaded = set.LoadPatch(s.patch, list);
    const std::optional<support::PatchFile> expected = support::readPatch(data, size);
    REQUIRE(loaded == expected.has_value());
    std::vector<support::ListItem> items;
    if (!loaded) {
        REQUIRE(onlyReport("Patch is not a valid IPS file."));
        REQUIRE(set.GetCount() == 0 && list.GetCount() == 0 && set.GetTargetSize() == 0);
    } else {
        REQUIRE(recordedReports().empty());
        REQUIRE(set.GetCount() == expected->records.size());
        REQUIRE(set.GetTargetSize() == expected->targetSize);
        for (std::size_t i = 0; i < set.GetCount(); ++i) {
            const CHunk& hunk = set.GetHunk(i);
            const support::Record& record = expected->records[i];
            REQUIRE(hunk.Offset() == record.offset && hunk.Length() == record.bytes.size());
            REQUIRE(hunk.Length() == 0 || std::memcmp(hunk.Bytes(), record.bytes.data(), hunk.Length()) == 0);
        }
        items = support::expectedList(*expected);
        REQUIRE(static_cast<std::size_t>(list.GetCount()) == items.size());
        for (int i = 0; i < list.GetCount(); ++i)
            REQUIRE(list.GetText(i) == items[i].label && list.GetItemData(i) == items[i].data &&
                    list.GetCheck(i) == items[i].check);
    }

    // 0 unticks, 1 ticks, 2 is a state that is not a tick and must be skipped.
    std::vector<int> checks(list.GetCount());
    for (int i = 0; i < list.GetCount(); ++i) {
        checks[i] = size == 0 ? 1 : (data[(i * 7u + hash) % size] >> (i % 5)) % 3;
        list.SetCheck(i, checks[i]);
    }

    recordedReports().clear();
    set.ApplyPatch(s.source, s.destination, list);
    if (list.GetCount() == 0) {
        REQUIRE(onlyReport("You need to open a patch file first."));
        REQUIRE(replacing ? support::readFile(s.destination) == old : !support::fileExists(s.destination));
    } else {
        REQUIRE(onlyReport("Patching completed successfully."));
        REQUIRE(support::readFile(s.destination) == support::expectedImage(source, *expected, checks));
        struct stat st;
        REQUIRE(!replacing || (::stat(s.destination.c_str(), &st) == 0 && (st.st_mode & 07777) == kOldMode));
    }
    REQUIRE(onlyOwnFiles(s, replacing || list.GetCount() != 0));
    for (int i = 0; i < list.GetCount(); ++i)
        REQUIRE(list.GetCheck(i) == checks[i] && list.GetItemData(i) == items[i].data);

    REQUIRE(support::readFile(s.source) == source);
    REQUIRE(support::readFile(s.patch) == input);
    return 0;
}
