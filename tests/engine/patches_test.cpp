// Several patches in one list: rows marked with their patch and ordered by offset, then
// patch; ticks carried over; an added patch that fails changing nothing; the applied
// output in list order.

#include <gtest/gtest.h>

#include "framework/file.h"
#include "patch/hunkset.h"
#include "support.h"

namespace {

TEST(Patches, AddedPatchesFollowTheFirstInOneList)
{
    ScratchDir dir;
    const std::string first = dir.path("fix.ips"), second = dir.path("tr.ips"), third = dir.path("bad.ips");
    writeFile(first, Ips().literal(0x20, {1, 2}).literal(0x10, {3}).eof().size3(0x40).bytes());
    writeFile(second, Ips().literal(0x10, {4}).literal(0x21, {5, 6}).literal(0x08, {7}).eof().bytes());
    writeFile(third, Ips().literal(0x30, {9}).bytes());  // no end marker
    CHunkSet set;
    TestList list;
    ASSERT_TRUE(set.LoadPatch(first, *list));
    list->SetCheck(1, 0);  // 0x20, of the first patch
    takeReports();

    ASSERT_TRUE(set.AddPatch(second, *list));
    EXPECT_EQ(list.labels(), (std::vector<std::string>{" 0x000008 - 0x000008  #2", " 0x000010 - 0x000010",
                                                        " 0x000010 - 0x000010  #2", " 0x000020 - 0x000021",
                                                        " 0x000021 - 0x000022  #2"}));
    EXPECT_EQ(list.itemData(), (std::vector<std::uint32_t>{4, 1, 2, 0, 3})) << "hunk indices go on";
    EXPECT_EQ(list.checks(), (std::vector<int>{1, 1, 1, 0, 1})) << "ticks carried over, the new rows ticked";
    EXPECT_EQ(set.GetTargetSize(), 0x40u) << "the last patch that states a size";
    EXPECT_EQ(set.PatchOf(4), 2);
    EXPECT_EQ(set.LabelAt(2), " 0x000010 - 0x000010  #2");
    std::size_t unnamed = 0;
    EXPECT_EQ(set.TicksFromLabels(" 0x000010 - 0x000010  #2\n 0x000010 - 0x000010", unnamed),
              (std::vector<int>{0, 1, 1, 0, 0}));
    EXPECT_EQ(set.FindRow(0x22), 4);

    // Patch applies every ticked row in list order: the later patch lower, so it wins.
    const std::string source = dir.path("game.bin"), out = dir.path("out.bin");
    writeFile(source, Bytes(0x30, 0xEE));
    set.ApplyPatch(source, out, *list);
    Bytes expected(0x40, 0);
    std::fill(expected.begin(), expected.begin() + 0x30, 0xEE);
    expected[0x08] = 7;
    expected[0x10] = 4;
    expected[0x21] = 5;
    expected[0x22] = 6;
    EXPECT_EQ(support::readFile(out), expected);

    // A third that fails changes nothing of what was loaded.
    const std::vector<std::string> labels = list.labels();
    takeReports();
    EXPECT_FALSE(set.AddPatch(third, *list));
    EXPECT_EQ(takeReports(), one("Patch is not a valid IPS file.", ReportIcon::stop));
    EXPECT_EQ(list.labels(), labels);
    EXPECT_EQ(list.checks(), (std::vector<int>{1, 1, 1, 0, 1}));
    EXPECT_EQ(set.Patches().size(), 2u);

    list->SetCheck(1, 0);
    set.RemoveAddedPatches(*list);
    EXPECT_EQ(list.labels(), (std::vector<std::string>{" 0x000010 - 0x000010", " 0x000020 - 0x000021"}));
    EXPECT_EQ(list.checks(), (std::vector<int>{0, 0})) << "the first patch keeps its ticks";
    EXPECT_EQ(set.GetTargetSize(), 0x40u);
    EXPECT_EQ(set.GetCount(), 2u);

    // A failed addition to a patch of no hunks leaves that patch loaded.
    writeFile(first, Ips().eof().bytes());
    ASSERT_TRUE(set.LoadPatch(first, *list));
    EXPECT_FALSE(set.AddPatch(third, *list));
    EXPECT_EQ(set.Patches().size(), 1u);
    takeReports();
}

}  // namespace
