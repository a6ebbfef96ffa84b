// Building the destination from the source and the ticked hunks.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "framework/file.h"
#include "patch/hunkset.h"
#include "patch/output.h"
#include "heap_fault.h"
#include "support.h"
#include "sync_probe.h"

#ifdef _WIN32
#include <windows.h>

#include <map>

#include "framework/win32/file_calls.h"
#else
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif
#ifdef __linux__
#include <linux/fs.h>
#include <sys/ioctl.h>
#endif

namespace {

const RecordedReport kDone{"Patching completed successfully.", ReportIcon::none};
const RecordedReport kDifferent{"The source and destination files must be different.", ReportIcon::stop};
const RecordedReport kNoSource{"Cannot open the source file for reading.", ReportIcon::stop};
const RecordedReport kNoDestination{"Cannot open the destination file for writing.", ReportIcon::stop};

class Apply : public ::testing::Test {
protected:
    void SetUp() override { takeReports(); }

    void givenSource(const Bytes& bytes) { writeFile(source, bytes); }
    void givenPatch(const Ips& ips)
    {
        writeFile(patch, ips.bytes());
        ASSERT_TRUE(set.LoadPatch(patch, *list));
        takeReports();
    }
    std::vector<RecordedReport> apply(const std::string& from, const std::string& to)
    {
        set.ApplyPatch(from, to, *list);
        return takeReports();
    }
    // Applies into the usual destination and expects success.
    Bytes patched()
    {
        EXPECT_EQ(apply(source, destination), std::vector<RecordedReport>{kDone});
        return readFile(destination);
    }
    int positionOf(const std::string& label)
    {
        const auto labels = list.labels();
        return static_cast<int>(std::find(labels.begin(), labels.end(), label) - labels.begin());
    }

    ScratchDir dir;
    std::string source = dir.path("game.bin");
    std::string patch = dir.path("fix.ips");
    std::string destination = dir.path("out.bin");
    CHunkSet set;
    TestList list;
};

TEST_F(Apply, ChoicesAreCheckedInOrder)
{
    const auto q = ReportIcon::question;
    EXPECT_EQ(apply("", ""), one("You need to select a source file first.", q));
    givenSource(Bytes(16, 0));
    EXPECT_EQ(apply(source, ""), one("You need to open a patch file first.", q));
    givenPatch(Ips().literal(0, {1}).eof());
    EXPECT_EQ(apply(source, ""), one("You need to select a destination file first.", q));
    EXPECT_EQ(apply("", destination), one("You need to select a source file first.", q));
    EXPECT_EQ(apply(source, source), one(kDifferent.text.c_str(), kDifferent.icon));
    EXPECT_EQ(apply(dir.path("none.bin"), destination), one(kNoSource.text.c_str(), kNoSource.icon));
    EXPECT_FALSE(fileExists(destination));
}

TEST_F(Apply, PatchWithoutHunksCountsAsNoPatch)
{
    givenSource(Bytes(16, 0));
    givenPatch(Ips().eof());
    EXPECT_EQ(apply(source, destination), one("You need to open a patch file first.", ReportIcon::question));
    EXPECT_FALSE(fileExists(destination));
}

TEST_F(Apply, TickedHunksAreWrittenOverACopyOfTheSource)
{
    const Bytes original = pattern(4096, 1);
    givenSource(original);
    givenPatch(Ips().literal(0x100, {1, 2, 3}).run(0x800, 300, 0xCC).run(0x10, 0, 5).eof());
    Bytes expected = original;
    std::copy_n(Bytes{1, 2, 3}.begin(), 3, expected.begin() + 0x100);
    std::fill_n(expected.begin() + 0x800, 300, 0xCC);
    EXPECT_EQ(patched(), expected);
    EXPECT_EQ(readFile(source), original);
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"fix.ips", "game.bin", "out.bin"}));
}

TEST_F(Apply, UntickedHunksAreLeftOut)
{
    const Bytes original = pattern(1024, 2);
    givenSource(original);
    givenPatch(Ips().literal(0x10, {0xA1}).literal(0x20, {0xA2}).literal(0x30, {0xA3}).eof());
    list->SetCheck(positionOf(" 0x000020 - 0x000020"), 0);
    Bytes expected = original;
    expected[0x10] = 0xA1;
    expected[0x30] = 0xA3;
    EXPECT_EQ(patched(), expected);

    for (int i = 0; i < list->GetCount(); ++i)
        list->SetCheck(i, 0);
    EXPECT_EQ(patched(), original);
}

TEST_F(Apply, TargetSizePadsWithZerosOrCuts)
{
    const Bytes original = pattern(100, 3);
    givenSource(original);
    givenPatch(Ips().literal(0x4, {9}).eof().size3(150));
    Bytes expected = original;
    expected[4] = 9;
    expected.resize(150, 0);
    EXPECT_EQ(patched(), expected);

    givenPatch(Ips().literal(0x4, {9}).literal(0x3E, {7, 7, 7, 7}).eof().size3(0x40));
    expected = Bytes(original.begin(), original.begin() + 0x40);
    expected[4] = 9;
    expected[0x3E] = expected[0x3F] = 7;  // the rest of that hunk lies past the stated size
    EXPECT_EQ(patched(), expected);

    // With every hunk unticked the copy still takes the stated size.
    for (int i = 0; i < list->GetCount(); ++i)
        list->SetCheck(i, 0);
    EXPECT_EQ(patched(), Bytes(original.begin(), original.begin() + 0x40));
}

// Where ticked hunks overlap, the one lower in the list wins, whatever the file order.
TEST_F(Apply, OverlapsAreDecidedByListOrder)
{
    givenSource(Bytes(0x20, 0));
    givenPatch(Ips().literal(0x8, Bytes(8, 0xBB)).literal(0x4, Bytes(8, 0xAA)).eof());
    Bytes expected(0x20, 0);
    std::fill_n(expected.begin() + 0x4, 4, 0xAA);
    std::fill_n(expected.begin() + 0x8, 8, 0xBB);
    EXPECT_EQ(patched(), expected);

    // Same offset: the longer hunk's label is the larger one, so it is applied last.
    givenPatch(Ips().literal(0x4, Bytes(8, 0x22)).literal(0x4, Bytes(4, 0x11)).eof());
    expected = Bytes(0x20, 0);
    std::fill_n(expected.begin() + 0x4, 8, 0x22);
    EXPECT_EQ(patched(), expected);
}

TEST_F(Apply, OfIdenticalLabelsTheLaterRecordWins)
{
    givenSource(Bytes(8, 0));
    givenPatch(Ips().literal(0x2, {1, 1}).literal(0x2, {2, 2}).literal(0x2, {3, 3}).eof());
    EXPECT_EQ(patched(), (Bytes{0, 0, 3, 3, 0, 0, 0, 0}));
    list->SetCheck(2, 0);
    EXPECT_EQ(patched(), (Bytes{0, 0, 2, 2, 0, 0, 0, 0}));
}

TEST_F(Apply, HunksPastTheEndGrowTheFileOnlyWhenTicked)
{
    const Bytes original = pattern(16, 4);
    givenSource(original);
    givenPatch(Ips().literal(0x20, {5, 6}).run(0x100, 0, 1).literal(0x40, {8}).eof());
    Bytes expected = original;
    expected.resize(0x22, 0);
    expected[0x20] = 5;
    expected[0x21] = 6;
    list->SetCheck(positionOf(" 0x000040 - 0x000040"), 0);
    // The empty run at 0x100 is ticked but changes nothing, size included.
    EXPECT_EQ(patched(), expected);
}

// What the Patch button's tip works out block by block is what Patch writes: overlaps,
// identical labels, growth, a stated size that cuts or pads, unticked rows, blocks that
// split hunks.
TEST_F(Apply, TheOutputWorkedOutInBlocksIsWhatPatchWrites)
{
    const Bytes original = pattern(0x300, 7);
    givenSource(original);
    for (const std::uint32_t stated : {0u, 0x280u, 0x400u}) {
        Ips ips;
        ips.literal(0x2F8, pattern(0x20, 1)).literal(0x10, pattern(0x40, 2)).literal(0x20, {1, 2}).run(0x20, 8, 9);
        ips.literal(0x20, {3, 3}).run(0x100, 0, 1).literal(0x3F0, pattern(0x30, 3)).eof();
        if (stated)
            ips.size3(stated);
        givenPatch(ips);
        list->SetCheck(positionOf(" 0x000010 - 0x00004F"), stated == 0x280 ? 0 : 1);
        std::vector<std::uint32_t> ticked;
        for (int row = 0; row < list->GetCount(); ++row)
            if (list->GetCheck(row) == 1)
                ticked.push_back(set.ListOrder()[static_cast<std::size_t>(row)]);
        const HunkSnapshot hunks(set);
        const PatchOutput output(hunks, ticked, original.size());
        Bytes streamed(static_cast<std::size_t>(output.Size()), 0);
        std::copy_n(original.begin(), std::min(original.size(), streamed.size()), streamed.begin());
        for (std::size_t at = 0; at < streamed.size(); at += 7)
            output.Overlay(at, streamed.data() + at, std::min<std::size_t>(7, streamed.size() - at));
        EXPECT_EQ(streamed, patched()) << "stated size " << stated;
    }
}

TEST_F(Apply, NoMemoryForTheImageIsReportedAndWritesNothing)
{
    givenSource(pattern(64, 12));
    givenPatch(Ips().literal(3, {1}).eof());
    {
        HeapFault fault(0);
        EXPECT_EQ(apply(source, destination), one("Insufficient memory to complete operation.", ReportIcon::stop));
    }
    EXPECT_FALSE(fileExists(destination));
    // The source was closed on the way out.
    CFile again;
    EXPECT_TRUE(again.Open(source.c_str(), CFile::modeRead));
}

// A source past 4 GiB must not be taken for its length modulo 4 GiB.
TEST_F(Apply, HugeSourceLengthIsNotCutShort)
{
    givenSource({});
    std::filesystem::resize_file(source, (1ull << 32) + 16);
    givenPatch(Ips().literal(3, {1}).eof());
    {
        failBlocksLargerThan(1ull << 30);
        EXPECT_EQ(apply(source, destination), one("Insufficient memory to complete operation.", ReportIcon::stop));
        healHeap();
    }
    EXPECT_FALSE(fileExists(destination));
    // With a stated size only the start of it is needed.
    givenPatch(Ips().literal(3, {1}).eof().size3(8));
    EXPECT_EQ(patched(), (Bytes{0, 0, 0, 1, 0, 0, 0, 0}));
}

#ifdef __linux__
// Reading this file fails with an I/O error at offset 0.
const char* const kUnreadable = "/proc/self/mem";

TEST_F(Apply, ReadErrorOnTheSourceEscapesAndWritesNothing)
{
    givenPatch(Ips().literal(3, {1}).eof().size3(8));
    EXPECT_THROW(set.ApplyPatch(kUnreadable, destination, *list), CFileException);
    EXPECT_TRUE(takeReports().empty());
    EXPECT_FALSE(fileExists(destination));
}

// A file-size limit makes writes fail part way, as a full disk does.
TEST_F(Apply, FailedWriteChangesNoFile)
{
    givenSource(pattern(1 << 20, 13));
    givenPatch(Ips().literal(3, {1}).eof());
    const Bytes old = pattern(100, 14);
    for (bool existed : {true, false}) {
        if (existed)
            writeFile(destination, old);
        rlimit saved;
        ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
        auto previous = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = 64 * 1024;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        bool thrown = false;
        try {
            set.ApplyPatch(source, destination, *list);
        } catch (const CFileException& error) {
            thrown = true;
            EXPECT_EQ(error.m_cause, CFileException::diskFull);
            EXPECT_EQ(error.m_strFileName, destination);
        }
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previous);

        EXPECT_TRUE(thrown);
        EXPECT_TRUE(takeReports().empty());
        if (existed) {
            EXPECT_EQ(readFile(destination), old);
            EXPECT_EQ(dir.entries(), (std::vector<std::string>{"fix.ips", "game.bin", "out.bin"}));
            std::filesystem::remove(destination);
        } else {
            EXPECT_EQ(dir.entries(), (std::vector<std::string>{"fix.ips", "game.bin"}));
        }
    }
}
#endif

TEST_F(Apply, EmptySourceGivesAnEmptyDestination)
{
    givenSource({});
    givenPatch(Ips().run(0, 0, 1).eof());
    EXPECT_EQ(patched(), Bytes{});
}

TEST_F(Apply, RepeatingTheCommandWritesTheSameFileAgain)
{
    givenSource(pattern(64, 5));
    givenPatch(Ips().literal(3, {1}).eof());
    const Bytes first = patched();
    const auto ticks = list.checks();
    EXPECT_EQ(patched(), first);
    EXPECT_EQ(list.checks(), ticks);
    EXPECT_EQ(set.GetCount(), 1u);
}

// A longer old destination is replaced whole, and keeps what it was besides its bytes.
TEST_F(Apply, ExistingDestinationIsReplacedWholeAndKeepsWhatItWas)
{
    givenSource(pattern(10, 6));
    givenPatch(Ips().literal(0, {0xF0}).eof());
    writeFile(destination, pattern(5000, 7));
    Bytes expected = pattern(10, 6);
    expected[0] = 0xF0;
#ifdef _WIN32
    const DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    ASSERT_TRUE(SetFileAttributesA(destination.c_str(), kept));
    EXPECT_EQ(patched(), expected);
    EXPECT_EQ(GetFileAttributesA(destination.c_str()) & (kept | FILE_ATTRIBUTE_READONLY), kept);
    SetFileAttributesA(destination.c_str(), FILE_ATTRIBUTE_NORMAL);
#else
    ASSERT_EQ(::chmod(destination.c_str(), 0604), 0);
    // An owner other than this process can be kept only by root.
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(destination.c_str(), 4321, 4322), 0);
    }
    EXPECT_EQ(patched(), expected);
    struct stat st;
    ASSERT_EQ(::stat(destination.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0604u);
    if (root) {
        EXPECT_EQ(st.st_uid, 4321u);
        EXPECT_EQ(st.st_gid, 4322u);
    }
#endif
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"fix.ips", "game.bin", "out.bin"}));
}

TEST_F(Apply, FilesHeldByAnotherOpenerAreNotTouched)
{
    const Bytes original = pattern(32, 8);
    givenSource(original);
    givenPatch(Ips().literal(0, {1}).eof());
    const Bytes old = pattern(40, 9);
    writeFile(destination, old);
    {
        CFile holder;
        ASSERT_TRUE(holder.Open(destination.c_str(), CFile::modeRead));
        EXPECT_EQ(apply(source, destination), std::vector<RecordedReport>{kNoDestination});
    }
    EXPECT_EQ(readFile(destination), old);
    {
        CFile holder;
        ASSERT_TRUE(holder.Open(source.c_str(), CFile::modeRead));
        EXPECT_EQ(apply(source, destination), std::vector<RecordedReport>{kNoSource});
    }
    EXPECT_EQ(readFile(destination), old);
    EXPECT_EQ(readFile(source), original);
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"fix.ips", "game.bin", "out.bin"}));
}

TEST_F(Apply, DestinationThatCannotBeCreatedLeavesNoFile)
{
    givenSource(pattern(8, 1));
    givenPatch(Ips().literal(0, {1}).eof());
    const std::string nowhere = dir.path("no-such-folder") + "/out.bin";
    EXPECT_EQ(apply(source, nowhere), std::vector<RecordedReport>{kNoDestination});
    EXPECT_EQ(apply(source, dir.path("")), std::vector<RecordedReport>{kNoDestination});
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"fix.ips", "game.bin"}));
}

TEST_F(Apply, SameFileUnderAnotherNameIsRefused)
{
    const Bytes original = pattern(32, 10);
    givenSource(original);
    givenPatch(Ips().literal(0, {1}).eof());
    std::filesystem::create_directory(dir.path("sub"));
    const std::string dotted = dir.path("sub") + "/../game.bin";
    EXPECT_EQ(apply(source, dotted), std::vector<RecordedReport>{kDifferent});
    const std::string link = dir.path("link.bin");
#ifdef _WIN32
    const bool linked = CreateHardLinkA(link.c_str(), source.c_str(), nullptr) != 0;
#else
    const bool linked = ::link(source.c_str(), link.c_str()) == 0;
#endif
    ASSERT_TRUE(linked);
    EXPECT_EQ(apply(source, link), std::vector<RecordedReport>{kDifferent});
#ifdef _WIN32
    std::string upper = source;
    for (char& c : upper)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(apply(source, upper), std::vector<RecordedReport>{kDifferent});
#endif
    EXPECT_EQ(readFile(source), original);
}

// Names of what is left in the folder beside the files a test put there.
std::vector<std::string> leftovers(const ScratchDir& dir, std::vector<std::string> expected)
{
    std::vector<std::string> extra;
    for (const std::string& name : dir.entries())
        if (std::find(expected.begin(), expected.end(), name) == expected.end())
            extra.push_back(name);
    return extra;
}

// Stands for a file system that gives files no identity of their own.
int g_lookups = 0;
bool zeroIds(const char*, CFileId& id)
{
    ++g_lookups;
    id = CFileId();
    return true;
}
bool zeroVolume(const char*, CFileId& id)
{
    ++g_lookups;
    id = CFileId();
    id.file[0] = 7;
    return true;
}
bool zeroNumber(const char*, CFileId& id)
{
    ++g_lookups;
    id = CFileId();
    id.volume = 0x1234;
    return true;
}
bool noLookup(const char*, CFileId&)
{
    ++g_lookups;
    return false;
}
bool oneId(const char*, CFileId& id)
{
    ++g_lookups;
    id = CFileId();
    id.volume = 0x1234;
    id.file[15] = 7;
    return true;
}

class IdLookupOverride {
public:
    explicit IdLookupOverride(CFile::IdLookup lookup) : m_previous(CFile::SetIdLookup(lookup)) { g_lookups = 0; }
    ~IdLookupOverride() { CFile::SetIdLookup(m_previous); }

private:
    CFile::IdLookup m_previous;
};

// Two different files are never refused because the file system cannot tell them
// apart: a zero volume serial or file number (as some network drives give), or no
// answer at all. An identity it does give is still believed.
TEST_F(Apply, FilesWithoutARealIdentityAreNotTakenForOne)
{
    givenSource(pattern(64, 40));
    givenPatch(Ips().literal(3, {1}).eof());
    writeFile(destination, pattern(10, 41));
    for (CFile::IdLookup lookup : {zeroIds, zeroVolume, zeroNumber, noLookup}) {
        IdLookupOverride unidentified(lookup);
        EXPECT_EQ(apply(source, destination), std::vector<RecordedReport>{kDone});
        EXPECT_GE(g_lookups, 1) << "the check did not ask the lookup";
    }
    IdLookupOverride identical(oneId);
    EXPECT_EQ(apply(source, destination), std::vector<RecordedReport>{kDifferent});
    EXPECT_EQ(g_lookups, 2);
}

// A file left beside the destination by a run that ended half way does not stop the
// next one, and is left as it was.
TEST_F(Apply, StaleTemporaryFilesDoNotBlockASave)
{
    givenSource(pattern(64, 42));
    givenPatch(Ips().literal(3, {1}).eof());
    const Bytes stale = pattern(30, 43);
    for (const char* name : {"out.bin.~vq0", "out.bin.~vq1"})
        writeFile(dir.path(name), stale);
#ifdef _WIN32
    SetFileAttributesA(dir.path("out.bin.~vq0").c_str(), FILE_ATTRIBUTE_READONLY);
#endif
    for (bool existed : {false, true}) {
        Bytes expected = pattern(64, 42);
        expected[3] = 1;
        EXPECT_EQ(patched(), expected) << (existed ? "replacing" : "creating");
        EXPECT_EQ(readFile(dir.path("out.bin.~vq0")), stale);
        EXPECT_EQ(readFile(dir.path("out.bin.~vq1")), stale);
        EXPECT_EQ(leftovers(dir, {"fix.ips", "game.bin", "out.bin", "out.bin.~vq0", "out.bin.~vq1"}),
                  std::vector<std::string>{});
    }
#ifdef _WIN32
    SetFileAttributesA(dir.path("out.bin.~vq0").c_str(), FILE_ATTRIBUTE_NORMAL);
#endif
}

#ifdef _WIN32
// Windows refuses to open a read-only file for writing; Wine running as root would open
// it, so the program refuses it itself. Either way the file stays as it was.
bool makeUnwritable(const std::string& path) { return SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY) != 0; }
void makeWritable(const std::string& path) { SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL); }
#else
// Read-only modes do not hold back root, which these suites often run as; the immutable
// flag does, and makes opening for writing fail as a read-only file does for others.
bool makeUnwritable(const std::string& path)
{
    if (::geteuid() != 0)
        return ::chmod(path.c_str(), 0444) == 0;
#ifdef __linux__
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    int flags = 0;
    bool set = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags |= FS_IMMUTABLE_FL;
    set = set && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    ::close(fd);
    return set;
#else
    return false;
#endif
}
void makeWritable(const std::string& path)
{
#ifdef __linux__
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    int flags = 0;
    if (fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
        flags &= ~FS_IMMUTABLE_FL;
        ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
    }
    if (fd >= 0)
        ::close(fd);
#endif
    ::chmod(path.c_str(), 0644);
}
#endif

TEST_F(Apply, ReadOnlyDestinationIsRefusedAndKept)
{
    givenSource(pattern(64, 46));
    givenPatch(Ips().literal(3, {1}).eof());
    const Bytes old = pattern(100, 47);
    writeFile(destination, old);
    if (!makeUnwritable(destination))
        GTEST_SKIP() << "no way to make a file unwritable here";
    const auto reports = apply(source, destination);
    const Bytes after = readFile(destination);
    const auto names = dir.entries();
    makeWritable(destination);
    EXPECT_EQ(reports, std::vector<RecordedReport>{kNoDestination});
    EXPECT_EQ(after, old);
    EXPECT_EQ(names, (std::vector<std::string>{"fix.ips", "game.bin", "out.bin"}));
}

#ifdef __linux__
// Success is reported only once the new bytes are on the disk, and their new name with
// them, so that a power cut right after cannot leave the destination empty or short.
TEST_F(Apply, NewBytesAndTheirNameAreOnTheDiskBeforeSuccessIsReported)
{
    givenSource(pattern(300000, 48));
    givenPatch(Ips().literal(3, {1}).eof());
    const std::string folder = std::filesystem::canonical(dir.path("")).string();
    for (const char* how : {"creating", "replacing"}) {
        SCOPED_TRACE(how);
        watchSyncs(destination);
        const Bytes written = patched();
        const std::vector<SyncRecord> syncs = takeSyncs();
        const auto bytes = std::find_if(syncs.begin(), syncs.end(), [&](const SyncRecord& r) {
            return !r.folder && r.path.rfind(folder + "/out.bin.~vq", 0) == 0;
        });
        ASSERT_NE(bytes, syncs.end()) << "the new bytes were not synced under their temporary name";
        EXPECT_EQ(bytes->size, written.size()) << "synced before they were all written";
        EXPECT_NE(bytes->watched, bytes->file) << "the new file had taken the destination's place already";
        const auto name = std::find_if(bytes, syncs.end(), [&](const SyncRecord& r) {
            return r.folder && r.path == folder && r.watched == bytes->file;
        });
        EXPECT_NE(name, syncs.end()) << "the folder was not synced once the new file had taken its place";
    }
}
#endif

#ifdef _WIN32
#ifdef __GNUC__
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"  // rows leave out what they do not use
#endif
// A call that fails with error for its first times calls (-1: every call), then works.
struct Fault {
    DWORD error = 0;
    int times = 0;
    bool fails()
    {
        if (times == 0)
            return false;
        times -= times > 0;
        SetLastError(error);
        return true;
    }
};
struct Script {
    Fault replace, restore, place, remove, flush;
    bool aside = false;  // ReplaceFile moves the old file to the backup and stops there
    bool share = false;  // refuses to replace unless told to ignore what it cannot merge
    DWORD waited = 0;
};
Script g_script;
std::string g_newFile;

BOOL WINAPI scriptedReplace(LPCSTR to, LPCSTR from, LPCSTR backup, DWORD flags, LPVOID x, LPVOID y)
{
    const DWORD ignore = REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS;
    if (g_script.share && (flags & ignore) != ignore)
        return SetLastError(ERROR_ACCESS_DENIED), FALSE;
    if (g_script.replace.fails())
        return FALSE;
    if (g_script.aside)
        return MoveFileExA(to, backup, 0), SetLastError(ERROR_UNABLE_TO_MOVE_REPLACEMENT_2), FALSE;
    return ReplaceFileA(to, from, backup, flags, x, y);
}
BOOL WINAPI scriptedMove(LPCSTR from, LPCSTR to, DWORD flags)
{
    return !(g_newFile == from ? g_script.place : g_script.restore).fails() && MoveFileExA(from, to, flags);
}
BOOL WINAPI scriptedDelete(LPCSTR path) { return !g_script.remove.fails() && DeleteFileA(path); }
BOOL WINAPI scriptedFlush(HANDLE h) { return !g_script.flush.fails() && FlushFileBuffers(h); }
VOID WINAPI scriptedWait(DWORD ms) { g_script.waited += ms; }

// Every way the platform's replace can fail part way, and what each leaves: which names
// hold the old bytes and which the new, and the one report, which names every file left.
TEST_F(Apply, ReplaceNeverStrandsTheOldBytesUnannounced)
{
    enum Outcome { done, backedUp, notReplaced, stranded, diskFull };
    struct Row {
        const char* what;
        Script script;
        Outcome outcome;
        std::map<std::string, int> holds;  // 0 no bytes, 1 old bytes, 2 new ones
        DWORD waited = 0;
        bool existed = true;
        std::vector<std::string> left{};  // made by the command, could not be removed
    };
    const DWORD denied = ERROR_ACCESS_DENIED, sharing = ERROR_SHARING_VIOLATION;
    // Faults of ReplaceFile, of the move back, of the move of the new file, of the removal of
    // the backup, of the flush; then whether ReplaceFile stops half way, and whether the
    // share refuses what it cannot merge.
    const Fault ok;
    const Row rows[] = {
        {"restored", {ok, ok, ok, ok, ok, true}, notReplaced, {{"out.bin", 1}}},
        {"restore fails", {ok, {ERROR_ALREADY_EXISTS, -1}, ok, ok, ok, true}, done, {{"out.bin", 2}}},
        {"both fail", {ok, {denied, -1}, {denied, -1}, ok, ok, true}, stranded,
         {{"out.bin.~vq0", 2}, {"out.bin.~vq0.0", 1}}, 4000},
        {"swap out of time, restored", {{sharing, 20}, {sharing, 2}, ok, ok, ok, true}, notReplaced,
         {{"out.bin", 1}}, 2200},
        {"swap out of time, placed", {{sharing, 20}, {denied, -1}, {sharing, 2}, {sharing, 2}, ok, true}, done,
         {{"out.bin", 2}}, 4400},
        {"held a moment", {{sharing, 3}}, done, {{"out.bin", 2}}, 300},
        {"held for good", {{ERROR_UNABLE_TO_REMOVE_REPLACED, -1}}, notReplaced, {{"out.bin", 1}}, 2000},
        {"held for good, temporary stays", {{ERROR_UNABLE_TO_REMOVE_REPLACED, -1}, ok, ok, {sharing, -1}},
         notReplaced, {{"out.bin", 1}, {"out.bin.~vq0", 2}}, 4000, true, {"out.bin.~vq0"}},
        {"new, held a moment", {ok, ok, {denied, 2}}, done, {{"out.bin", 2}}, 200, false},
        {"new, nothing goes", {ok, ok, {denied, -1}, {denied, -1}}, notReplaced,
         {{"out.bin", 0}, {"out.bin.~vq0", 2}}, 6000, false, {"out.bin.~vq0", "out.bin"}},
        {"merge error", {ok, ok, ok, ok, ok, false, true}, done, {{"out.bin", 2}}},
        {"no flush", {ok, ok, ok, ok, {ERROR_INVALID_FUNCTION, -1}}, done, {{"out.bin", 2}}},
        {"no flush either", {ok, ok, ok, ok, {ERROR_NOT_SUPPORTED, -1}}, done, {{"out.bin", 2}}},
        {"flush fails", {ok, ok, ok, ok, {ERROR_DISK_FULL, 1}}, diskFull, {{"out.bin", 1}}},
        {"flush fails, temporary stays", {ok, ok, ok, {denied, -1}, {ERROR_DISK_FULL, 1}}, diskFull,
         {{"out.bin", 1}, {"out.bin.~vq0", 2}}, 2000, true, {"out.bin.~vq0"}},
        {"backup stays", {ok, ok, ok, {denied, -1}}, backedUp, {{"out.bin", 2}, {"out.bin.~vq0.0", 1}}, 2000},
    };
    givenSource(pattern(64, 50));
    givenPatch(Ips().literal(3, {1}).eof());
    Bytes fresh = pattern(64, 50);
    fresh[3] = 1;
    const Bytes old = pattern(90, 51);
    g_newFile = dir.path("out.bin.~vq0");
    const filesys::ReplaceCalls saved = filesys::setReplaceCalls(
        {scriptedReplace, scriptedMove, scriptedDelete, scriptedFlush, scriptedWait});
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        support::emptyFolder(dir.path(""));
        givenSource(pattern(64, 50));
        if (row.existed)
            writeFile(destination, old);
        const DWORD hidden = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
        if (row.outcome == stranded)
            SetFileAttributesA(destination.c_str(), hidden);
        g_script = row.script;
        std::vector<RecordedReport> reports;
        try {
            reports = apply(source, destination);
        } catch (const CFileException& error) {
            std::string message;
            error.GetErrorMessage(message);
            reports.push_back({message, ReportIcon::stop});
        }
        const std::string texts[] = {
            kDone.text, kDone.text + "\n\nThe previous contents of the destination are still in " + g_newFile + ".0.",
            "Cannot replace the destination file. It was left as it was.",
            "Cannot replace the destination file. Its previous contents are in " + g_newFile +
                ".0, and the patched file is in " + g_newFile + ".",
            "Disk full while accessing " + destination + "."};
        std::string text = texts[row.outcome];
        for (const std::string& name : row.left)
            text += "\n\nThe file " + dir.path(name) + " could not be removed.";
        EXPECT_EQ(reports, one(text.c_str(), row.outcome <= backedUp ? ReportIcon::none : ReportIcon::stop));
        std::vector<std::string> names{"game.bin"};
        for (const auto& [name, holds] : row.holds) {
            names.push_back(name);
            EXPECT_EQ(readFile(dir.path(name)), holds == 0 ? Bytes{} : holds == 1 ? old : fresh) << name;
            if (row.outcome == stranded) {
                EXPECT_EQ(GetFileAttributesA(dir.path(name).c_str()) & hidden, 0u) << name << " is hidden";
            }
        }
        std::sort(names.begin(), names.end());
        EXPECT_EQ(dir.entries(), names);
        EXPECT_EQ(g_script.waited, row.waited);
    }
    filesys::setReplaceCalls(saved);
}
#endif

}  // namespace
