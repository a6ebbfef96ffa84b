// The background reader under Windows: what it reads of a file, what it leaves unread,
// how it lets go of its files for Patch, what a path row then says, the clipboard it reads.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

#include "framework/win32/clipboard.h"
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
    const Bytes bytes = pattern(0x600, 3);
    writeFile(path, bytes);
    support::PatchFile p;
    p.literal(0x10, {static_cast<unsigned char>(~bytes[0x10])});
    writeFile(dir.path("p.ips"), p.encode());
    TestList list;
    CHunkSet set;
    ASSERT_TRUE(set.LoadPatch(dir.path("p.ips"), *list));
    const auto hunks = std::make_shared<const HunkSnapshot>(set);
    const auto never = [] { return false; };

    FileFacts facts, again;
    ASSERT_TRUE(ReadFacts({path, {}, nullptr, false}, never, facts));
    EXPECT_EQ(facts.state, State::hashed);
    // Known: its hashes are not read again, the relations of a new patch are.
    ASSERT_TRUE(ReadFacts({path, facts.stamp, hunks, false}, never, again));
    EXPECT_EQ(again.state, State::unchanged);
    ASSERT_EQ(again.relations.size(), 1u);
    EXPECT_EQ(again.relations[0].effect, HunkEffect::changes);
    EXPECT_FALSE(ReadFacts({path, {}, hunks, false}, [] { return true; }, again)) << "told to stop, it stops";

    // Online only: never opened, even while another program holds the file exclusively.
    const AttributesCall saved = SetReaderAttributesCall(onlineOnly);
    HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    FileFacts online;
    EXPECT_TRUE(ReadFacts({path, {}, hunks, false}, never, online));
    CloseHandle(held);
    SetReaderAttributesCall(saved);
    EXPECT_EQ(online.state, State::online);
    EXPECT_TRUE(online.relations.empty());
    EXPECT_EQ(PathRowText(PathRow::destination, {FileView::Seen::online, 0x600, nullptr}, {}, std::string(8, 'a')),
              "1536 bytes (0x600)\nKept online only: not read until Patch needs it.");
}

int g_refusals = 0;  // opens of the clipboard still to refuse
DWORD g_waited = 0;  // the waits between them
BOOL WINAPI heldOpen(HWND owner) { return g_refusals-- > 0 ? FALSE : OpenClipboard(owner); }
void WINAPI waited(DWORD ms) { g_waited += ms; }

// Each open, to read or to write, is tried again for a fifth of a second.
TEST(Clipboard, AnotherProgramsHoldIsWaitedOutForAFifthOfASecond)
{
    const HWND owner = CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    const ClipboardCalls saved = SetClipboardCalls({heldOpen, waited});
    for (const int refusals : {0, 3, 20, 21, 500}) {
        const std::wstring text = L"held " + std::to_wstring(refusals);
        g_refusals = refusals;
        g_waited = 0;
        EXPECT_EQ(SetClipboardText(owner, text), refusals <= 20 ? ClipboardResult::done : ClipboardResult::busy);
        EXPECT_EQ(g_waited, 10u * std::min(refusals, 20)) << refusals;
        g_refusals = refusals;
        EXPECT_EQ(ClipboardText(owner), refusals <= 20 ? std::optional(text) : std::nullopt) << refusals;
    }
    SetClipboardCalls(saved);
    DestroyWindow(owner);
}

TEST(BackgroundReader, TheClipboardsHashAgainstEachOfTheFilesHashes)
{
    FileFacts facts;
    facts.state = State::hashed;
    facts.whole = {0x0A1B2C3Du, {std::string(32, 'b'), std::string(40, 'c'), std::string(64, 'd')}};
    facts.headerless = FileHashes{0x11111111u, {std::string(32, 'e'), std::string(40, 'f'), std::string(64, '0')}};
    const FileView view{FileView::Seen::known, 1, &facts};
    const std::string hashes = "1 byte (0x1)\nCRC32 0A1B2C3D\nMD5 " + std::string(32, 'b') + "\nSHA-1 " +
                               std::string(40, 'c') + "\nSHA-256 " + std::string(64, 'd');
    const struct {
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
    for (const auto& c : cases)
        EXPECT_EQ(PathRowText(c.row, view, {}, ClipboardHash(c.clipboard)), hashes + (*c.line ? "\n" : "") + c.line)
            << c.clipboard;
    // A kind the system gave no hash of says nothing; nor does a file still being read.
    facts.whole.digests.md5.clear();
    EXPECT_EQ(PathRowText(PathRow::patch, view, {}, std::string(32, 'b')).find("clipboard"), std::string::npos);
    EXPECT_EQ(PathRowText(PathRow::patch, {FileView::Seen::reading, 1, nullptr}, {"States no output size."}, "0a1b2c3d"),
              "1 byte (0x1)\nComputing the hashes...\nStates no output size.");
}

// A task stopped by a hold runs again, first, once the hold ends; the hold waits for it.
TEST(BackgroundReader, AHeldTaskLetsGoAndRunsAgainAfterwards)
{
    CBackgroundThread thread;
    ASSERT_TRUE(thread.Start());
    std::atomic<int> runs{0}, finished{0};
    std::atomic<bool> mayFinish{false};
    const auto count = [&](const CBackgroundThread::Stopping&) { return ++finished, true; };
    thread.Post([&](const CBackgroundThread::Stopping& stopping) {
        ++runs;
        while (!mayFinish)
            if (stopping())
                return false;
        return ++finished, true;
    });
    thread.Post(count);
    while (runs == 0)
        Sleep(1);
    thread.Hold();
    mayFinish = true;
    Sleep(50);
    EXPECT_EQ(finished, 0) << "a task ran during the hold";
    thread.Resume();
    for (int i = 0; i < 500 && finished < 2; ++i)
        Sleep(10);
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(finished, 2);
}

}  // namespace
