// Which ticked hunks of different patches lose changed bytes to which, a tick at a time,
// what their texts say, and the conflicts settled.

#include <gtest/gtest.h>

#include <memory>
#include <numeric>

#include "patch/conflict.h"
#include "support.h"

namespace {

struct Hunk {
    std::uint32_t offset;
    Bytes bytes;
    int patch;
};

struct Case {
    const char* what;
    std::vector<Hunk> rows;  // top to bottom
    bool source;             // 00 01 .. 0F read whole, else unknown
    std::uint32_t stated;
    std::string conflicts;  // "loser>winner:bytes" by row, then (places/lost bytes)
    std::string marks;      // InConflict by row
    std::size_t described;  // row whose lines are asked while it is unticked
    std::string lines;
    std::string earlier = {}, later = {};  // the ticks Settle leaves, all ticked when empty
};

std::string render(const CConflicts& c, std::size_t n)
{
    std::string text;
    const auto row = [n](std::uint32_t hunk) { return std::to_string(n - 1 - hunk); };
    const auto loss = [&](std::uint32_t loser, std::uint32_t winner, std::uint32_t bytes) {
        if (bytes != 0)
            text += row(loser) + ">" + row(winner) + ":" + std::to_string(bytes) + " ";
    };
    for (const CConflicts::Pair& p : c.Conflicts()) {
        loss(p.a, p.b, p.aLoses);
        loss(p.b, p.a, p.bLoses);
    }
    return text + "(" + std::to_string(c.Places()) + "/" + std::to_string(c.LostBytes()) + ")";
}

std::string marks(const CConflicts& c, std::size_t n)
{
    std::string text;
    for (std::size_t row = 0; row < n; ++row)
        text += c.InConflict(static_cast<std::uint32_t>(n - 1 - row)) ? '1' : '0';
    return text;
}

const std::string kAfter = "Overlaps 0x000004 - 0x000004 (#1) without a conflict.";

TEST(Conflict, TheRuleTickByTickTheLinesAndSettling)
{
    const Case cases[] = {
        {"same bytes", {{4, {9, 9}, 1}, {4, {9, 9}, 2}}, true, 0, "(0/0)", "00", 0,
         "Overlaps 0x000004 - 0x000005 (#2) without a conflict."},
        {"filler equal to the source under a later patch", {{2, {0x77, 3, 4}, 2}, {4, {0x55}, 1}}, true, 0, "(0/0)",
         "00", 0, kAfter},
        {"a later patch's filler undoing a change", {{4, {0x55, 0x66}, 1}, {4, {4, 0x66}, 2}}, true, 0, "0>1:1 (1/1)",
         "11", 0, "Loses 1 changed byte to 0x000004 - 0x000005 (#2), lower in the list.", "10", "01"},
        {"three patches on one byte", {{8, {1}, 1}, {8, {2}, 2}, {8, {3}, 3}}, true, 0, "0>2:1 1>2:1 (2/2)", "111", 2,
         "Overwrites 1 changed byte of 0x000008 - 0x000008 (#1), higher in the list.\n"
         "Overwrites 1 changed byte of 0x000008 - 0x000008 (#2), higher in the list.",
         "100", "001"},
        {"a winner of the loser's own patch", {{0, {7, 7}, 2}, {1, {8}, 1}, {1, {9}, 2}}, true, 0, "1>2:1 (1/1)", "011",
         0, "Overlaps 0x000001 - 0x000001 (#1) without a conflict.", "010", "101"},
        {"the source known", {{4, {4}, 1}, {4, {0x44}, 2}}, true, 0, "(0/0)", "00", 1, kAfter},
        {"the source unknown", {{4, {4}, 1}, {4, {0x44}, 2}}, false, 0, "0>1:1 (1/1)", "11", 1,
         "Overwrites 1 changed byte of 0x000004 - 0x000004 (#1), higher in the list.", "10", "01"},
        {"past the source's end", {{15, {0x20, 0, 7}, 1}, {15, {0x30, 1, 0}, 2}}, true, 0, "0>1:2 (1/2)", "11", 1,
         "Overwrites 2 changed bytes of 0x00000F - 0x000011 (#1), higher in the list.", "10", "01"},
        {"at and past the stated size", {{16, {1, 2, 3}, 1}, {16, {4, 5, 6}, 2}, {18, {7}, 1}, {18, {8}, 2}}, false,
         18, "0>1:2 (1/2)", "1100", 2, "", "1011", "0111"},
    };
    Bytes source(16);
    std::iota(source.begin(), source.end(), 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // Hunk indices run against the rows, so that one taken for the other shows.
        const std::size_t n = c.rows.size();
        const auto make = [&](const std::vector<int>& ticks) {
            std::vector<PatchedHunk> hunks(n);
            std::vector<std::uint32_t> rows(n);
            for (std::size_t row = 0; row < n; ++row) {
                const Hunk& h = c.rows[row];
                hunks[n - 1 - row] = {h.offset, static_cast<std::uint32_t>(h.bytes.size()), h.bytes.data(), h.patch};
                rows[row] = static_cast<std::uint32_t>(n - 1 - row);
            }
            auto made = std::make_unique<CConflicts>(hunks, rows, c.stated);
            made->SetTicks(ticks);
            if (c.source) {
                SpanBytes read(made->SourceSpans(), source.size());
                for (std::size_t at = 0; at < source.size(); at += 5)
                    read.Add(at, source.data() + at, std::min<std::size_t>(5, source.size() - at));
                EXPECT_TRUE(read.Complete());
                made->SetSource(read.Take(), source.size());
            }
            return made;
        };
        const std::vector<int> all(n, 1);
        const auto conflicts = make(all);
        EXPECT_EQ(render(*conflicts, n), c.conflicts);
        ASSERT_EQ(marks(*conflicts, n), c.marks);
        for (int row = -1; row <= static_cast<int>(n); ++row) {
            const auto below = c.marks.find('1', row + 1);
            const auto above = row > 0 ? c.marks.rfind('1', row - 1) : std::string::npos;
            EXPECT_EQ(conflicts->NextConflict(row, true), below == std::string::npos ? -1 : static_cast<int>(below));
            EXPECT_EQ(conflicts->NextConflict(row, false), above == std::string::npos ? -1 : static_cast<int>(above));
        }
        // A row unticked alone comes to what a fresh evaluation gives, its changed marks named,
        // and no line names it.
        for (std::size_t row = 0; row < n; ++row) {
            std::vector<int> ticks = all;
            ticks[row] = 0;
            const auto fresh = make(ticks);
            std::vector<std::size_t> changed;
            for (std::size_t r = 0; r < n; ++r)
                if (marks(*fresh, n)[r] != c.marks[r])
                    changed.push_back(r);
            EXPECT_EQ(conflicts->SetTick(row, false), changed) << "row " << row;
            EXPECT_EQ(render(*conflicts, n), render(*fresh, n)) << "row " << row;
            const std::string lines =
                OverlapLines(conflicts->OverlapsOf(static_cast<std::uint32_t>(n - 1 - c.described)),
                             [&](std::uint32_t hunk) { return conflicts->Name(hunk); });
            if (row == c.described)
                EXPECT_EQ(lines, c.lines);
            else
                EXPECT_EQ(lines.find(conflicts->Name(static_cast<std::uint32_t>(n - 1 - row))), std::string::npos);
            EXPECT_EQ(conflicts->SetTick(row, true), changed);
        }
        for (const bool keepEarlier : {true, false}) {
            const auto settled = make(all);
            std::string ticks(n, '1');
            for (const std::size_t row : settled->Settle(keepEarlier))
                ticks[row] = '0';
            const std::string& expected = keepEarlier ? c.earlier : c.later;
            EXPECT_EQ(ticks, expected.empty() ? std::string(n, '1') : expected);
            EXPECT_EQ(settled->Places(), 0u);
        }
    }
}

TEST(Conflict, CountedTexts)
{
    const auto name = [](std::uint32_t hunk) { return "H" + std::to_string(hunk); };
    const std::vector<CConflicts::Overlap> overlaps = {{7, 2, 1}, {3, 0, 0}, {5, 0, 1}, {1, 1, 0}};
    EXPECT_EQ(OverlapLines(overlaps, name),
              "Loses 2 changed bytes to H7, lower in the list.\nOverwrites 1 changed byte of H7, higher in the list.\n"
              "Overlaps H3 without a conflict.\nOverwrites 1 changed byte of H5, higher in the list.\n"
              "And 1 more hunk of another patch overlaps it.");
    const std::string five = OverlapLines({{3, 0, 0}, {3, 0, 0}, {3, 0, 0}, {3, 0, 0}, {3, 0, 0}}, name);
    EXPECT_EQ(five.substr(five.rfind('\n') + 1), "And 2 more hunks of other patches overlap it.");
    EXPECT_EQ(ConflictSummary(0, 0), "No two ticked hunks of different patches conflict.");
    EXPECT_EQ(ConflictSummary(1, 1),
              "Ticked hunks of different patches conflict in 1 place: 1 changed byte would be lost.");
    EXPECT_EQ(ConflictSummary(3, 1000),
              "Ticked hunks of different patches conflict in 3 places: 1000 changed bytes would be lost.");
    EXPECT_EQ(ConflictsLeft(0), "");
    EXPECT_EQ(ConflictsLeft(1), "1 conflict left: where both are ticked, the hunk lower in the list wins.");
    EXPECT_EQ(ConflictsLeft(12), "12 conflicts left: where both are ticked, the hunk lower in the list wins.");
}

}  // namespace
