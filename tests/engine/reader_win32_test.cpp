// The background reader under Windows: what it reads of a file, what it leaves unread,
// how it lets go of its files for Patch, what a path row then says, the clipboard it reads.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

#include "framework/win32/clipboard.h"
#include "framework/win32/filelook.h"
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
    ASSERT_TRUE(ReadFacts({1, path, {}, nullptr, false}, never, facts));
    EXPECT_EQ(facts.state, State::hashed);
    // Known: its hashes are not read again, the relations of a new patch are.
    ASSERT_TRUE(ReadFacts({2, path, facts.seen, hunks, false}, never, again));
    EXPECT_EQ(again.state, State::unchanged);
    ASSERT_EQ(again.relations.size(), 1u);
    EXPECT_EQ(again.relations[0].effect, HunkEffect::changes);
    EXPECT_FALSE(ReadFacts({3, path, {}, hunks, false}, [] { return true; }, again)) << "told to stop, it stops";
    // Rewritten in place, same size and time put back: its identity is not the one read.
    FILETIME written;
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE | FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    GetFileTime(h, nullptr, nullptr, &written);
    DWORD put = 0;
    WriteFile(h, "x", 1, &put, nullptr);
    SetFileTime(h, nullptr, nullptr, &written);
    CloseHandle(h);
    ASSERT_TRUE(ReadFacts({4, path, facts.seen, nullptr, false}, never, again));
    EXPECT_EQ(again.state, State::hashed) << "a same-size rewrite with its time put back is read again";
    EXPECT_NE(again.whole.crc32, facts.whole.crc32);

    // Online only: never opened, even while another program holds the file exclusively.
    const AttributesCall saved = SetLookAttributesCall(onlineOnly);
    HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    FileFacts online;
    EXPECT_TRUE(ReadFacts({5, path, {}, hunks, false}, never, online));
    CloseHandle(held);
    SetLookAttributesCall(saved);
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

// A hold lets go of its files: a task on one stops, runs again, first, once the hold
// ends, and none starts meanwhile; tasks on other files run on.
TEST(BackgroundReader, AHoldLetsGoOfItsFilesAndNoOthers)
{
    using End = CBackgroundThread::End;
    CBackgroundThread thread;
    ASSERT_TRUE(thread.Start());
    std::atomic<int> runs{0}, finished{0}, others{0};
    std::atomic<bool> mayFinish{false}, cut{false};
    thread.Post("A.bin", [&](const CBackgroundThread::Stopping& stopping) {
        ++runs;
        while (!mayFinish)
            if (stopping())
                return End::again;
        return ++finished, End::done;
    });
    thread.Post("a.bin", [&](const CBackgroundThread::Stopping&) { return ++finished, End::done; });
    thread.Post("other.bin", [&](const CBackgroundThread::Stopping&) { return ++others, End::done; });
    while (runs == 0)
        Sleep(1);
    thread.Hold({"a.BIN"}, [&] { cut = true; });
    EXPECT_TRUE(cut) << "the running read was not cut short";
    mayFinish = true;
    for (int i = 0; i < 500 && others == 0; ++i)
        Sleep(10);
    EXPECT_EQ(others, 1) << "a task on another file waited for the hold";
    EXPECT_EQ(finished, 0) << "a task on a held file ran during the hold";
    thread.Resume({"a.BIN"});
    for (int i = 0; i < 500 && finished < 2; ++i)
        Sleep(10);
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(finished, 2);
}

}  // namespace
