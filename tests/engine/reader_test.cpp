// Reading IPS files into the hunk set and the check list.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cctype>
#include <random>

#include "framework/file.h"
#include "patch/hunkset.h"
#include "heap_fault.h"
#include "support.h"

namespace {

const RecordedReport kInvalid{"Patch is not a valid IPS file.", ReportIcon::stop};
const RecordedReport kCannotOpen{"Cannot open the patch file for reading.", ReportIcon::stop};

Bytes bytesOf(const CHunk& hunk) { return Bytes(hunk.Bytes(), hunk.Bytes() + hunk.Length()); }

class Reader : public ::testing::Test {
protected:
    void SetUp() override { takeReports(); }

    bool load(const Ips& ips) { return load(ips.bytes()); }
    bool load(const Bytes& bytes)
    {
        writeFile(patchPath, bytes);
        return set.LoadPatch(patchPath, *list);
    }
    void expectEmpty()
    {
        EXPECT_EQ(set.GetCount(), 0u);
        EXPECT_EQ(list->GetCount(), 0);
    }

    ScratchDir dir;
    std::string patchPath = dir.path("patch.ips");
    CHunkSet set;
    TestList list;
};

TEST_F(Reader, HeaderAndEndMarkerAloneLoadNoHunks)
{
    EXPECT_TRUE(load(Ips().eof()));
    expectEmpty();
    EXPECT_EQ(set.GetTargetSize(), 0u);
    EXPECT_TRUE(takeReports().empty());
}

TEST_F(Reader, LiteralAndRunRecordsBecomeTickedHunks)
{
    const Bytes data = {1, 2, 3, 4, 5};
    ASSERT_TRUE(load(Ips().literal(0x000100, data).run(0x000010, 6, 0xAA).eof()));
    ASSERT_EQ(set.GetCount(), 2u);
    EXPECT_EQ(set.GetHunk(0).Offset(), 0x100u);
    EXPECT_EQ(bytesOf(set.GetHunk(0)), data);
    EXPECT_EQ(set.GetHunk(1).Offset(), 0x10u);
    EXPECT_EQ(bytesOf(set.GetHunk(1)), Bytes(6, 0xAA));

    EXPECT_EQ(list.labels(), (std::vector<std::string>{" 0x000010 - 0x000015", " 0x000100 - 0x000104"}));
    EXPECT_EQ(list.itemData(), (std::vector<std::uint32_t>{1, 0}));
    EXPECT_EQ(list.checks(), (std::vector<int>{1, 1}));
    EXPECT_TRUE(takeReports().empty());
}

TEST_F(Reader, LabelsOfEmptyRunsAndOfHunksEndingPastSixDigits)
{
    ASSERT_TRUE(load(Ips().run(0x10, 0, 0x55).run(0, 0, 0x55).literal(0xFFFFF0, Bytes(0x20, 7)).eof()));
    EXPECT_EQ(list.labels(), (std::vector<std::string>{" 0x000000 - 0xFFFFFFFF", " 0x000010 - 0x00000F",
                                                      " 0xFFFFF0 - 0x100000F"}));
    EXPECT_EQ(set.GetHunk(0).Length(), 0u);
}

TEST_F(Reader, ListOrderIsAlphabeticalOrderOfLabelsNotFileOrder)
{
    ASSERT_TRUE(load(Ips().literal(0x200, {1}).literal(0x100, {2}).eof()));
    EXPECT_EQ(list.labels(), (std::vector<std::string>{" 0x000100 - 0x000100", " 0x000200 - 0x000200"}));
    EXPECT_EQ(list.itemData(), (std::vector<std::uint32_t>{1, 0}));
}

// A seven-digit end value sorts as text, before a larger six-digit one.
TEST_F(Reader, EndValuesOfDifferentWidthsSortAsText)
{
    ASSERT_TRUE(load(Ips().literal(0xFFFFF0, Bytes(0x10, 1)).literal(0xFFFFF0, Bytes(0x11, 2)).eof()));
    EXPECT_EQ(list.labels(), (std::vector<std::string>{" 0xFFFFF0 - 0x1000000", " 0xFFFFF0 - 0xFFFFFF"}));
    EXPECT_EQ(list.itemData(), (std::vector<std::uint32_t>{1, 0}));
}

TEST_F(Reader, ManyRecordsInRandomOrderKeepEveryIndexOnceAndSorted)
{
    std::mt19937 rng(7);
    support::PatchFile patch;
    for (int i = 0; i < 3000; ++i) {
        const std::uint32_t offset = rng() % 0x1000000;
        const std::uint16_t length = static_cast<std::uint16_t>(rng() % 300);
        if (offset == 0x454F46)
            continue;
        if (i % 3 == 0)
            patch.run(offset, length, 0x11);
        else
            patch.literal(offset, Bytes(length ? length : 1, 0x22));
    }
    ASSERT_TRUE(load(patch.encode()));
    EXPECT_EQ(list.items(), support::expectedList(patch));
    ASSERT_EQ(set.GetCount(), patch.records.size());
    for (std::size_t i = 0; i < set.GetCount(); ++i) {
        EXPECT_EQ(set.GetHunk(i).Offset(), patch.records[i].offset) << "hunk " << i;
        EXPECT_EQ(bytesOf(set.GetHunk(i)), patch.records[i].bytes) << "hunk " << i;
    }
}

// The reader places items itself; the order must be the one the list's own sorted
// insertion gives.
TEST_F(Reader, ListOrderMatchesTheListsOwnSorting)
{
    std::mt19937 rng(99);
    Ips ips;
    TestList sorted;
    for (int i = 0; i < 2000; ++i) {
        // Offsets near the top make second numbers of six, seven and eight digits.
        std::uint32_t offset = i % 4 == 0 ? 0xFFFF00 + rng() % 0x100 : rng() % 0x1000000;
        if (offset == 0x454F46)
            offset = 0;
        const std::uint16_t length = static_cast<std::uint16_t>(i % 5 == 0 ? rng() % 3 : rng() % 65536);
        ips.run(offset, length, 1);
        sorted->AddString(CHunkSet::Label(offset, length).c_str());
    }
    ASSERT_TRUE(load(ips.eof()));
    EXPECT_EQ(list.labels(), sorted.labels());
}

TEST(Label, MatchesThePrintfForm)
{
    std::mt19937 rng(5);
    for (int i = 0; i < 20000; ++i) {
        const std::uint32_t offset = i < 3 ? 0xFFFFFF * i / 2 : rng() % 0x1000000;
        const std::uint32_t length = i % 7 == 0 ? 0 : rng() % 65536;
        char expected[32];
        std::snprintf(expected, sizeof expected, " 0x%06X - 0x%06X", offset, offset + length - 1);
        ASSERT_EQ(CHunkSet::Label(offset, length), expected);
    }
}

TEST_F(Reader, IdenticalRecordsGiveItemsWithTheSameLabelInFileOrder)
{
    ASSERT_TRUE(load(Ips().literal(0x40, {1, 2}).literal(0x40, {3, 4}).literal(0x40, {5, 6}).eof()));
    EXPECT_EQ(list.labels(), std::vector<std::string>(3, " 0x000040 - 0x000041"));
    // In file order, so that applying them in list order lets the later record win.
    EXPECT_EQ(list.itemData(), (std::vector<std::uint32_t>{0, 1, 2}));
}

TEST_F(Reader, EndMarkerStopsTheRecordsAndTargetSizeFollowsIt)
{
    // What follows the marker is the size, not another record.
    ASSERT_TRUE(load(Ips().literal(1, {9}).eof().raw(Bytes{0x00, 0x12, 0x34}).literal(5, {1})));
    EXPECT_EQ(set.GetCount(), 1u);
    EXPECT_EQ(set.GetTargetSize(), 0x1234u);
}

TEST_F(Reader, TargetSizeIsReadOnlyWhenAllThreeBytesArePresent)
{
    struct Case {
        Bytes tail;
        std::uint32_t size;
    } cases[] = {
        {{}, 0},
        {{0x01}, 0},
        {{0x01, 0x02}, 0},
        {{0x00, 0x00, 0x00}, 0},
        {{0x01, 0x02, 0x03}, 0x010203},
        {{0xFF, 0xFF, 0xFF, 0x44, 0x55}, 0xFFFFFF},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(load(Ips().literal(0, {1}).eof().raw(c.tail)));
        EXPECT_EQ(set.GetTargetSize(), c.size) << c.tail.size() << " bytes after the marker";
    }
}

TEST_F(Reader, WrongOrShortHeaderIsRefusedAndEmptiesAnEarlierPatch)
{
    for (const Bytes& bad : {Bytes{'P', 'A', 'T', 'C', 'X', 'E', 'O', 'F'}, Bytes{'P', 'A', 'T'}, Bytes{},
                             Bytes{'p', 'a', 't', 'c', 'h', 'E', 'O', 'F'}}) {
        ASSERT_TRUE(load(Ips().literal(0x10, {1}).eof()));
        ASSERT_EQ(list->GetCount(), 1);
        takeReports();
        EXPECT_FALSE(load(bad));
        expectEmpty();
        EXPECT_EQ(takeReports(), std::vector<RecordedReport>{kInvalid});
    }
}

TEST_F(Reader, DamagedPatchesNeverLoadHalf)
{
    const Ips good = Ips().literal(0x10, {1, 2, 3}).run(0x20, 4, 9);
    const Bytes whole = Ips(good).eof().bytes();
    // Every cut inside the records or the marker, and no marker at all.
    for (std::size_t cut = 5; cut < whole.size(); ++cut) {
        ASSERT_TRUE(load(whole));
        takeReports();
        EXPECT_FALSE(load(Bytes(whole.begin(), whole.begin() + cut))) << "cut at " << cut;
        expectEmpty();
        EXPECT_EQ(takeReports(), std::vector<RecordedReport>{kInvalid}) << "cut at " << cut;
    }
}

TEST_F(Reader, MissingOrLockedPatchIsReportedAndEmptiesTheList)
{
    ASSERT_TRUE(load(Ips().literal(0x10, {1}).eof()));
    takeReports();
    EXPECT_FALSE(set.LoadPatch(dir.path("missing.ips"), *list));
    expectEmpty();
    EXPECT_EQ(takeReports(), std::vector<RecordedReport>{kCannotOpen});

    ASSERT_TRUE(load(Ips().literal(0x10, {1}).eof()));
    CFile holder;
    ASSERT_TRUE(holder.Open(patchPath.c_str(), CFile::modeRead));
    EXPECT_FALSE(set.LoadPatch(patchPath, *list));
    expectEmpty();
    EXPECT_EQ(takeReports(), std::vector<RecordedReport>{kCannotOpen});
}

TEST_F(Reader, RunningOutOfMemoryForAHunkFailsTheWholeLoad)
{
    ASSERT_TRUE(load(Ips().literal(0x10, {1}).eof()));
    takeReports();
    {
        HeapFault fault(2);
        EXPECT_FALSE(load(Ips().literal(0x10, {1}).literal(0x20, {2}).literal(0x30, {3}).eof()));
    }
    expectEmpty();
    EXPECT_EQ(takeReports(), one("Insufficient memory to complete operation.", ReportIcon::stop));
    // Nothing of the failed load lingers: the next load works as usual.
    EXPECT_TRUE(load(Ips().literal(0x10, {1}).literal(0x20, {2}).literal(0x30, {3}).eof()));
    EXPECT_EQ(list->GetCount(), 3);
}

#ifdef __linux__
TEST_F(Reader, ReadErrorEscapesWithTheSetAndListEmpty)
{
    ASSERT_TRUE(load(Ips().literal(0x10, {1}).eof()));
    try {
        set.LoadPatch("/proc/self/mem", *list);  // reading it fails at offset 0
        ADD_FAILURE() << "the read error did not escape";
    } catch (const CFileException& error) {
        EXPECT_EQ(error.m_cause, CFileException::hardIO);
        EXPECT_TRUE(error.m_strFileName.empty());
    }
    expectEmpty();
    EXPECT_TRUE(takeReports().empty());
}
#endif

TEST_F(Reader, ReloadReplacesHunksAndTicks)
{
    ASSERT_TRUE(load(Ips().literal(0x10, {1}).literal(0x30, {2}).eof().size3(0x99)));
    list->SetCheck(0, 0);
    ASSERT_TRUE(load(Ips().literal(0x20, {3, 4}).eof()));
    EXPECT_EQ(list.labels(), std::vector<std::string>{" 0x000020 - 0x000021"});
    EXPECT_EQ(list.checks(), std::vector<int>{1});
    EXPECT_EQ(set.GetCount(), 1u);
    EXPECT_EQ(set.GetTargetSize(), 0u);
}

TEST_F(Reader, LoadingLeavesThePatchFileAsItWas)
{
    const Bytes bytes = Ips().literal(0x10, pattern(600, 3)).run(0x900, 40000, 1).eof().size3(0x20000).bytes();
    ASSERT_TRUE(load(bytes));
    EXPECT_EQ(readFile(patchPath), bytes);
    // The file is closed again: another exclusive opener gets it.
    CFile again;
    EXPECT_TRUE(again.Open(patchPath.c_str(), CFile::modeRead));
}

TEST_F(Reader, LargestRecordsRoundTrip)
{
    const Bytes big = pattern(65535, 11);
    ASSERT_TRUE(load(Ips().literal(0xFFFFFF, big).run(0, 65535, 0xEE).eof()));
    EXPECT_EQ(bytesOf(set.GetHunk(0)), big);
    EXPECT_EQ(set.GetHunk(1).Length(), 65535u);
    EXPECT_EQ(list.labels()[1], " 0xFFFFFF - 0x100FFFD");
}

// The rows as the list shows them, found by an offset a user types and ticked by the
// labels a user kept.
TEST_F(Reader, RowsAreFoundByOffsetAndTickedByLabels)
{
    // In list order: 0x10-0x1F, 0x10-0x2F, 0x30 (empty), 0x30-0x30, 0x20000-0x2FFFE, 0x40000-0x40000.
    ASSERT_TRUE(load(Ips()
                         .literal(0x40000, {1})
                         .literal(0x10, pattern(32, 1))
                         .run(0x30, 0, 0)
                         .run(0x20000, 65535, 2)
                         .literal(0x10, pattern(16, 2))
                         .literal(0x30, {3})
                         .eof()));
    EXPECT_EQ(set.ListOrder(), list.itemData());
    const struct {
        std::uint32_t offset;
        int row;
    } finds[] = {{0x0, 0},       {0x10, 0},      {0x1F, 0},      {0x20, 1},      {0x2F, 1},
                 {0x30, 3},      {0x31, 4},      {0x2FFFE, 4},   {0x2FFFF, 5},   {0x40000, 5},
                 {0x40001, -1},  {0xFFFFFFFF, -1}};
    for (const auto& f : finds)
        EXPECT_EQ(set.FindRow(f.offset), f.row) << std::hex << "0x" << f.offset;

    const struct {
        const char* text;
        std::vector<int> ticks;
        std::size_t unnamed;
    } lists[] = {
        {"", {0, 0, 0, 0, 0, 0}, 0},
        {" 0x000030 - 0x000030\r\n\t0x040000 - 0x040000 \r\n", {0, 0, 0, 1, 0, 1}, 0},
        {"0x000010 - 0x00001F\n\n  \n0x000010 - 0x00001f\n0x999999 - 0x999999", {1, 0, 0, 0, 0, 0}, 2},
        {"0x000030 - 0x00002F\n0x000030 - 0x00002F", {0, 0, 1, 0, 0, 0}, 1},
    };
    for (const auto& l : lists) {
        std::size_t unnamed = 99;
        EXPECT_EQ(set.TicksFromLabels(l.text, unnamed), l.ticks) << l.text;
        EXPECT_EQ(unnamed, l.unnamed) << l.text;
    }
    EXPECT_EQ(set.LabelAt(4), " 0x020000 - 0x02FFFE");
}

}  // namespace
