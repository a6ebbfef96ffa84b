// What the window knows of its files, moved by its choices, the reader's answers and the
// folder watch's looks, against a reader played by the test; and the identities that tell
// one state of a file from another.

#include <gtest/gtest.h>

#include <cstdio>
#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#endif

#include "patch/correction.h"
#include "patch/hunkset.h"
#include "support.h"
#include "tests/support/rom.h"
#include "ui/pathinfo.h"
#include "ui/rowstate.h"

namespace {

using State = FileFacts::State;
using Phase = CFileRows::Row::Phase;
using Seen = FileView::Seen;

// New bytes of the same size, and the last-write time put back, as some tools do.
void rewriteKeepingTime(const std::string& path, const Bytes& bytes)
{
#ifdef _WIN32
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE | FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    FILETIME written;
    DWORD put = 0;
    ASSERT_TRUE(h != INVALID_HANDLE_VALUE && GetFileTime(h, nullptr, nullptr, &written));
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr);
    SetFileTime(h, nullptr, nullptr, &written);
    CloseHandle(h);
#else
    struct stat st;
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    writeFile(path, bytes);
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
#endif
}

PathLook found(std::uint64_t size, std::uint64_t written, std::uint64_t number = NextLookNumber())
{
    PathLook look;
    look.look = FileLook::found;
    look.identity.size = size;
    look.identity.written = written;
    look.number = number;
    return look;
}

FileFacts answer(State state, const PathLook& seen, std::uint32_t crc = 0)
{
    FileFacts facts;
    facts.state = state;
    facts.seen = seen;
    facts.whole.crc32 = crc;
    return facts;
}

// One step of a row's life, and what the row then shows.
struct Step {
    enum Op { choose, refresh, answered, looked, due } op;
    State state = State::hashed;  // answered
    std::uint64_t size = 0, written = 0;  // answered, looked: what the file looks like
    std::uint64_t at = 0;                 // looked, due: the clock
    bool lookedBeforeRequest = false;     // looked: a look taken before the latest request
    Seen shows = Seen::reading;
    std::uint32_t crc = 0;  // known: the hashes shown are of this read
};

TEST(FileRows, EveryTransitionOfARowAgainstAReaderPlayedByTheTest)
{
    using S = Step;
    const struct {
        const char* name;
        std::vector<Step> steps;
    } cases[] = {
        {"read, with the size first",
         {{S::choose}, {S::refresh}, {S::answered, State::started, 9, 1}, {S::answered, State::hashed, 9, 1, 0, false, Seen::known, 7}}},
        {"a look that sees the same file changes nothing",
         {{S::choose}, {S::refresh}, {S::answered, State::hashed, 9, 1, 0, false, Seen::known, 7},
          {S::looked, {}, 9, 1, 100, false, Seen::known, 7}}},
        {"a same-size rewrite is dropped at once and read once quiet",
         {{S::choose}, {S::refresh}, {S::answered, State::hashed, 9, 1, 0, false, Seen::known, 7},
          {S::looked, {}, 9, 2, 100}, {S::due, {}, 0, 0, 599}, {S::looked, {}, 9, 3, 400}, {S::due, {}, 0, 0, 899},
          {S::due, {}, 0, 0, 900}, {S::answered, State::hashed, 9, 3, 0, false, Seen::known, 8}}},
        {"a change seen during the read makes its answer old",
         {{S::choose}, {S::refresh}, {S::looked, {}, 9, 2, 100}, {S::answered, State::hashed, 9, 1},
          {S::due, {}, 0, 0, 600}, {S::answered, State::hashed, 9, 2, 0, false, Seen::known, 8}}},
        {"a look taken before the request says nothing of its answer",
         {{S::choose}, {S::refresh}, {S::looked, {}, 9, 2, 100, true}, {S::answered, State::hashed, 9, 1, 0, false, Seen::known, 7}}},
        {"a deleted file is missing once read, and read again when it is back",
         {{S::choose}, {S::refresh}, {S::answered, State::hashed, 9, 1, 0, false, Seen::known, 7},
          {S::looked, {}, 0, 0, 100}, {S::due, {}, 0, 0, 600}, {S::answered, State::missing, 0, 0, 0, false, Seen::missing},
          {S::looked, {}, 0, 0, 700, false, Seen::missing}, {S::looked, {}, 9, 5, 800}, {S::due, {}, 0, 0, 1300},
          {S::answered, State::hashed, 9, 5, 0, false, Seen::known, 9}}},
        {"unchanged keeps the hashes it was compared with",
         {{S::choose}, {S::refresh}, {S::answered, State::hashed, 9, 1, 0, false, Seen::known, 7}, {S::choose},
          {S::refresh}, {S::answered, State::unchanged, 9, 1, 0, false, Seen::known, 7}}},
        {"unchanged from what the row no longer has is read whole",
         {{S::choose}, {S::refresh}, {S::answered, State::unreadable, 9, 1, 0, false, Seen::unreadable},
          {S::refresh}, {S::answered, State::unchanged, 9, 1}, {S::due, {}, 0, 0, 0}}},
        {"an answer to an older request goes",
         {{S::choose}, {S::refresh}, {S::refresh}, {S::answered, State::hashed, 9, 1, 0, true}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CFileRows rows;
        std::uint64_t request = 0, older = 0;
        for (std::size_t i = 0; i < c.steps.size(); ++i) {
            const Step& step = c.steps[i];
            SCOPED_TRACE(i);
            switch (step.op) {
            case Step::choose: rows.Choose(PathRow::destination, "out.bin"); break;
            case Step::refresh:
                older = request;
                request = rows.Refresh(PathRow::destination)->number;
                break;
            case Step::answered: {
                // lookedBeforeRequest here: the answer is to the older request.
                const PathLook seen = step.size ? found(step.size, step.written) : PathLook{FileLook::missing};
                rows.Answer(PathRow::destination, step.lookedBeforeRequest ? older : request,
                            answer(step.state, seen, step.crc), 0);
                break;
            }
            case Step::looked: {
                PathLook look = step.size ? found(step.size, step.written) : PathLook{FileLook::missing};
                if (step.lookedBeforeRequest)
                    look.number = request - 1;
                else if (!step.size)
                    look.number = NextLookNumber();
                rows.Seen("out.bin", look, step.at);
                break;
            }
            case Step::due:
                for (const PathRow row : rows.Due(step.at))
                    request = rows.Refresh(row)->number;
                break;
            }
            const FileView view = rows.View(PathRow::destination);
            if (step.op == Step::refresh || step.op == Step::choose)
                continue;
            EXPECT_EQ(view.seen, step.shows);
            if (step.shows == Seen::known)
                EXPECT_EQ(view.facts->whole.crc32, step.crc);
        }
    }
}

TEST(FileRows, RelationsOfTheLoadedPatchAndThePatchAsLoaded)
{
    ScratchDir dir;
    support::PatchFile p;
    p.literal(0x10, {1, 2});
    writeFile(dir.path("p.ips"), p.encode());
    TestList list;
    CHunkSet set;
    ASSERT_TRUE(set.LoadPatch(dir.path("p.ips"), *list));
    ASSERT_TRUE(set.LoadedFrom().has_value());
    const auto hunks = std::make_shared<const HunkSnapshot>(set);

    CFileRows rows;
    rows.SetPatch(hunks, set.LoadedFrom());
    rows.Choose(PathRow::source, "game.bin");
    EXPECT_FALSE(rows.SourceSilent()) << "a source being read: its hunks say so";
    std::uint64_t request = rows.Refresh(PathRow::source)->number;
    FileFacts facts = answer(State::hashed, found(0x100, 1), 7);
    facts.relationsOf = hunks;
    facts.relations.resize(1);
    rows.Answer(PathRow::source, request, facts, 0);
    ASSERT_NE(rows.SourceRelations(), nullptr);
    // Another patch: the hashes still show while its relations are read, the old ones go.
    const auto other = std::make_shared<const HunkSnapshot>(set);
    rows.SetPatch(other, std::nullopt);
    const ReadRequest again = *rows.Refresh(PathRow::source);
    EXPECT_TRUE(again.hashedAt.has_value());
    EXPECT_FALSE(again.relationsKnown);
    EXPECT_EQ(rows.View(PathRow::source).seen, Seen::known);
    EXPECT_EQ(rows.SourceRelations(), nullptr);
    // Out of memory for them: the hashes stay, the hunks say nothing of the source.
    FileFacts none = answer(State::unchanged, facts.seen);
    none.relationsOf = other;
    none.relationsFailed = true;
    rows.Answer(PathRow::source, again.number, none, 0);
    EXPECT_EQ(rows.View(PathRow::source).facts->whole.crc32, 7u);
    EXPECT_TRUE(rows.SourceSilent());

    // The patch row: the file on disk against the one loaded.
    rows.SetPatch(hunks, set.LoadedFrom());
    rows.Choose(PathRow::patch, dir.path("p.ips"));
    request = rows.Refresh(PathRow::patch)->number;
    PathLook loaded{FileLook::found, *set.LoadedFrom(), false, NextLookNumber()};
    rows.Answer(PathRow::patch, request, answer(State::hashed, loaded), 0);
    EXPECT_FALSE(rows.PatchReplaced());
    loaded.identity.size += 1;
    loaded.number = NextLookNumber();
    rows.Seen(dir.path("p.ips"), loaded, 0);
    rows.Answer(PathRow::patch, rows.Refresh(PathRow::patch)->number, answer(State::hashed, loaded), 0);
    EXPECT_TRUE(rows.PatchReplaced());
    // Chosen anew: what it knew of the other file is let go.
    rows.Choose(PathRow::patch, dir.path("q.ips"));
    EXPECT_EQ(rows.Get(PathRow::patch).facts.state, State::unreadable);
    EXPECT_FALSE(rows.Refresh(PathRow::patch)->hashedAt.has_value());
}

// A rewrite of the same size with its time put back, a rename over the file and a
// deletion each give another identity than the file had.
TEST(FileRows, IdentitiesTellEveryChangeOfAFile)
{
    ScratchDir dir;
    const std::string path = dir.path("a.bin"), other = dir.path("b.bin");
    writeFile(path, pattern(64, 1));
    writeFile(other, pattern(64, 1));
    FileIdentity first, now;
    ASSERT_EQ(CFile::IdentityOf(path.c_str(), first), FileLook::found);
    CFile open;
    ASSERT_TRUE(open.Open(path.c_str(), CFile::modeReadShared));
    ASSERT_TRUE(open.GetIdentity(now));
    EXPECT_EQ(now, first) << "the open file and its name agree";
    open.Close();

    rewriteKeepingTime(path, pattern(64, 2));
    ASSERT_EQ(CFile::IdentityOf(path.c_str(), now), FileLook::found);
    EXPECT_EQ(now.written, first.written);
    EXPECT_NE(now, first) << "a same-size rewrite with its time put back";

    FileIdentity renamed;
    ASSERT_TRUE(CFile::Rename(other.c_str(), path.c_str()));
    ASSERT_EQ(CFile::IdentityOf(path.c_str(), renamed), FileLook::found);
    EXPECT_NE(renamed, now) << "another file renamed over it";
    ASSERT_EQ(std::remove(path.c_str()), 0);
    EXPECT_EQ(CFile::IdentityOf(path.c_str(), now), FileLook::missing);
    // What a file system does not give does not count.
    FileIdentity unknown = first;
    unknown.changed = 0;
    unknown.id = CFileId();
    EXPECT_EQ(unknown, first);
}

TEST(PathRows, TheClipboardsHashAgainstEachOfTheFilesHashes)
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

}  // namespace

namespace {

// Correct Checksums writes only what it read, and says so when there is nothing to write.
TEST(Correction, WritesNothingButWhatItReadNeeds)
{
    ScratchDir dir;
    const std::string rom = dir.path("game.gb"), text = dir.path("notes.txt");
    Bytes wrong = support::gameBoyRom(0x8000, "TEST");
    Bytes right = wrong;
    wrong[0x14D] ^= 0xFF;
    writeFile(text, pattern(0x8000, 3));
    takeReports();
    const struct {
        const char* name;
        const Bytes* contents;
        CorrectionPause pause;
        RecordedReport report;
        const Bytes* after;  // null: the file as it was
    } cases[] = {
        {"corrected", &wrong, nullptr, {"The checksums of " + rom + " now match its contents.", ReportIcon::none}, &right},
        {"already right", &right, nullptr, {"The checksums of " + rom + " already match its contents.", ReportIcon::none}, nullptr},
        {"written meanwhile", &wrong,
         [](const std::string& path) { writeFile(path, support::gameBoyRom(0x8000, "OTHER")); },
         {"The destination changed while its checksums were being corrected: nothing was written.", ReportIcon::stop},
         nullptr},
    };
    support::fixGameBoy(right);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(rom, *c.contents);
        SetCorrectionPause(c.pause);
        CorrectChecksums("", rom);
        SetCorrectionPause(nullptr);
        EXPECT_EQ(takeReports(), std::vector<RecordedReport>{c.report});
        if (c.after)
            EXPECT_EQ(support::readFile(rom), *c.after);
        else if (c.pause)
            EXPECT_EQ(support::readFile(rom), support::gameBoyRom(0x8000, "OTHER")) << "another program's write was lost";
        else
            EXPECT_EQ(support::readFile(rom), *c.contents);
    }
    CorrectChecksums("", text);
    EXPECT_EQ(takeReports(), one((text + " is not a ROM whose checksums Velquin knows.").c_str(), ReportIcon::none));
}

}  // namespace
