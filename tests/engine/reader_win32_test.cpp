// The background reader under Windows: what it reads of a file, what it leaves unread,
// how it lets go of its files for Patch, and what a path row then says.

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>

#include "patch/hunkset.h"
#include "support.h"
#include "ui/filereader.h"
#include "ui/pathinfo.h"

namespace {

using State = FileFacts::State;

// The system's answer for the file, marked as a cloud drive marks an online-only file.
BOOL WINAPI onlineOnly(LPCSTR path, GET_FILEEX_INFO_LEVELS level, LPVOID data)
{
    if (!GetFileAttributesExA(path, level, data))
        return FALSE;
    static_cast<WIN32_FILE_ATTRIBUTE_DATA*>(data)->dwFileAttributes |= 0x00400000;  // recall on data access
    return TRUE;
}

TEST(BackgroundReader, ReadsWhatIsAskedAndNothingOfAFileKeptOnline)
{
    ScratchDir dir;
    const std::string path = dir.path("game.bin");
    const Bytes bytes = pattern(0x600, 3);  // 512 past a multiple of 1,024
    writeFile(path, bytes);
    const auto never = [] { return false; };

    ReadRequest request{path, {}, nullptr, false};
    FileFacts facts;
    ASSERT_TRUE(ReadFacts(request, never, facts));
    EXPECT_EQ(facts.state, State::hashed);
    EXPECT_EQ(facts.stamp.size, 0x600u);
    ASSERT_TRUE(facts.headerless) << "the size suggests a copier header";
    EXPECT_NE(facts.headerless->crc32, facts.whole.crc32);
    EXPECT_EQ(facts.whole.digests.sha1.size(), 40u);

    // Known: its hashes stand; the relations of a new patch are still read.
    support::PatchFile p;
    p.literal(0x10, {static_cast<unsigned char>(~bytes[0x10])});
    writeFile(dir.path("p.ips"), p.encode());
    TestList list;
    CHunkSet set;
    ASSERT_TRUE(set.LoadPatch(dir.path("p.ips"), *list));
    request = {path, facts.stamp, std::make_shared<const HunkSnapshot>(set), false};
    FileFacts again;
    ASSERT_TRUE(ReadFacts(request, never, again));
    EXPECT_EQ(again.state, State::unchanged);
    ASSERT_EQ(again.relations.size(), 1u);
    EXPECT_EQ(again.relations[0].effect, HunkEffect::changes);
    EXPECT_FALSE(ReadFacts(request, [] { return true; }, again)) << "told to stop, it stops";

    // Online only: never opened, even while another program holds the file exclusively.
    const AttributesCall saved = SetReaderAttributesCall(onlineOnly);
    HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    FileFacts online;
    EXPECT_TRUE(ReadFacts({path, {}, request.hunks, false}, never, online));
    CloseHandle(held);
    SetReaderAttributesCall(saved);
    EXPECT_EQ(online.state, State::online);
    EXPECT_TRUE(online.relations.empty());
    const FileView view{FileView::Seen::online, online.stamp.size, nullptr};
    EXPECT_EQ(PathRowText(PathRow::destination, view, {}, ClipboardHash(L"0x" + std::wstring(8, L'a'))),
              "1536 bytes (0x600)\nKept online only: not read until Patch needs it.");
}

TEST(BackgroundReader, TheClipboardsHashAgainstEachOfTheFilesHashes)
{
    FileFacts facts;
    facts.state = State::hashed;
    facts.stamp.size = 1;
    facts.whole = {0x0A1B2C3Du, {std::string(32, 'b'), std::string(40, 'c'), std::string(64, 'd')}};
    facts.headerless = FileHashes{0x11111111u, {std::string(32, 'e'), std::string(40, 'f'), std::string(64, '0')}};
    const FileView view{FileView::Seen::known, 1, &facts};
    const std::string sizeAndHashes = "1 byte (0x1)\nCRC32 0A1B2C3D\nMD5 " + facts.whole.digests.md5 + "\nSHA-1 " +
                                      facts.whole.digests.sha1 + "\nSHA-256 " + facts.whole.digests.sha256;
    struct Case {
        const wchar_t* clipboard;
        PathRow row;
        const char* line;  // the tip's last line; empty: none
    } cases[] = {
        {L" \t0x0a1b2c3d\r\n", PathRow::patch, "Matches the CRC32 on the clipboard."},
        {L"0X0A1B2C3E", PathRow::patch, "Does not match the CRC32 on the clipboard."},
        {L"BBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBB", PathRow::destination, "Matches the MD5 on the clipboard."},
        {L"ffffffffffffffffffffffffffffffffffffffff", PathRow::source,
         "Matches, without its copier header, the SHA-1 on the clipboard."},
        {L"ffffffffffffffffffffffffffffffffffffffff", PathRow::patch, "Does not match the SHA-1 on the clipboard."},
        {L"dddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddd", PathRow::source,
         "Matches the SHA-256 on the clipboard."},
        {L"0a1b2c3d0", PathRow::patch, ""},
        {L"0a1b 2c3d", PathRow::patch, ""},
        {L"0x", PathRow::patch, ""},
        {L"0a1b2c3g", PathRow::patch, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.clipboard);
        const std::string text = PathRowText(c.row, view, {}, ClipboardHash(c.clipboard));
        const std::string expected = sizeAndHashes + (*c.line ? std::string("\n") + c.line : "");
        EXPECT_EQ(text, expected);
    }
    // A kind the system gave no hash of says nothing; nor does a file still being read.
    facts.whole.digests.md5.clear();
    EXPECT_EQ(PathRowText(PathRow::patch, view, {}, std::string(32, 'b')).find("clipboard"), std::string::npos);
    const FileView reading{FileView::Seen::reading, 1, nullptr};
    EXPECT_EQ(PathRowText(PathRow::patch, reading, {"States no output size."}, "0a1b2c3d"),
              "1 byte (0x1)\nComputing the hashes...\nStates no output size.");
}

// A task stopped by a hold runs again, first, once the hold ends; the hold waits for it.
TEST(BackgroundReader, AHeldTaskLetsGoAndRunsAgainAfterwards)
{
    CBackgroundThread thread;
    ASSERT_TRUE(thread.Start());
    std::atomic<int> runs{0}, finished{0};
    std::atomic<bool> started{false}, mayFinish{false};
    thread.Post([&](const CBackgroundThread::Stopping& stopping) {
        ++runs;
        started = true;
        while (!mayFinish)
            if (stopping())
                return false;
        ++finished;
        return true;
    });
    thread.Post([&](const CBackgroundThread::Stopping&) {
        ++finished;
        return true;
    });
    while (!started)
        Sleep(1);
    thread.Hold();
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(finished, 0) << "the task under way stopped, and none started";
    mayFinish = true;
    Sleep(50);
    EXPECT_EQ(finished, 0) << "a task ran during the hold";
    thread.Resume();
    for (int i = 0; i < 500 && finished < 2; ++i)
        Sleep(10);
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(finished, 2);
    EXPECT_FALSE(thread.Busy());
}

}  // namespace
