// What a hunk's tooltip and accessible description say, and what each hunk does to a
// source, each rule at its edges.

#include <gtest/gtest.h>

#include <numeric>

#include "patch/hunkset.h"
#include "patch/relation.h"
#include "support.h"

namespace {

using support::PatchFile;

// 00 01 02 ..: a hunk holding its offsets' values leaves them as they are.
Bytes counting(std::size_t n)
{
    Bytes b(n);
    std::iota(b.begin(), b.end(), 0);
    return b;
}

constexpr bool kNone = false;
constexpr bool kSource = true;  // counting(16)

struct Case {
    const char* what;
    PatchFile patch;
    std::size_t index;   // of the hunk described, in file order
    bool source;         // the hunk's relation to counting(16) is part of the text
    std::string expected;
};

PatchFile records(std::initializer_list<support::Record> list, std::uint32_t size = 0) { return {list, size, {}}; }

support::Record lit(std::uint32_t offset, Bytes bytes) { return {offset, std::move(bytes), false}; }
support::Record run(std::uint32_t offset, std::uint16_t n, unsigned char v) { return {offset, Bytes(n, v), true}; }

const std::string kWins = "\nWhere ticked hunks overlap, the one lower in the list wins.";

TEST(HunkText, EachRuleAtItsEdges)
{
    const Case cases[] = {
        {"one byte", records({lit(0x10, {0xAB})}), 0, kNone, "Writes 1 byte at 0x000010."},
        {"two bytes that differ", records({lit(0x10, {1, 2})}), 0, kNone, "Writes 2 bytes at 0x000010."},
        {"a run record", records({run(0xABCDEF, 2, 0x0A)}), 0, kNone, "Writes 2 bytes of 0x0A at 0xABCDEF."},
        {"a literal of one value", records({lit(0xFFFFFF, Bytes(300, 0xFF))}), 0, kNone,
         "Writes 300 bytes of 0xFF at 0xFFFFFF."},
        {"empty, among overlaps, past the size, over a source",
         records({run(0x4, 0, 0x55), lit(0x2, counting(8))}, 0x3), 0, kSource, "Writes nothing at 0x000004."},
        {"an empty hunk inside and one that touches overlap nothing",
         records({lit(0x4, {9, 9, 8}), run(0x5, 0, 1), lit(0x7, {1}), lit(0x3, {1})}), 0, kNone,
         "Writes 3 bytes at 0x000004."},
        {"one overlap", records({lit(0x4, {9, 8}), lit(0x5, {1, 1, 1})}), 1, kNone,
         "Writes 3 bytes of 0x01 at 0x000005.\nOverlaps 1 other hunk." + kWins},
        {"many overlaps: a twin and one around it",
         records({lit(0x4, {9, 8}), lit(0x0, Bytes(9, 0)), lit(0x4, {9, 8}), lit(0x6, {1})}), 2, kNone,
         "Writes 2 bytes at 0x000004.\nOverlaps 2 other hunks." + kWins},
        {"at the stated size", records({lit(0x20, {1})}, 0x20), 0, kSource,
         "Writes 1 byte at 0x000020.\nPast the size the patch states (32 bytes): not written."},
        {"past a stated size of one byte", records({lit(0x1, {1, 2})}, 1), 0, kNone,
         "Writes 2 bytes at 0x000001.\nPast the size the patch states (1 byte): not written."},
        {"ending at the stated size", records({lit(0x8, {8, 9, 10, 11})}, 0xC), 0, kSource,
         "Writes 4 bytes at 0x000008.\nThe source already holds these bytes."},
        {"cut before the source's end: the rest compared", records({lit(0x8, {8, 0, 0, 0})}, 0x9), 0, kSource,
         "Writes 4 bytes at 0x000008.\nCut at the size the patch states (9 bytes).\n"
         "The source already holds these bytes."},
        {"cut after the source's end", records({lit(0xE, {1, 2, 3, 4})}, 0x11), 0, kSource,
         "Writes 4 bytes at 0x00000E.\nCut at the size the patch states (17 bytes).\n"
         "Reaches past the end of the source (16 bytes)."},
        {"a size beyond the hunk changes nothing", records({lit(0xC, {0, 13, 0, 15})}, 0x1000), 0, kSource,
         "Writes 4 bytes at 0x00000C.\nChanges 2 of 4 bytes of the source."},
        {"one byte changed", records({lit(0x3, {7})}), 0, kSource,
         "Writes 1 byte at 0x000003.\nChanges 1 of 1 byte of the source."},
        {"ending at the source's end", records({lit(0xF, {15})}), 0, kSource,
         "Writes 1 byte at 0x00000F.\nThe source already holds these bytes."},
        {"one byte past the source's end", records({lit(0xF, {15, 16})}), 0, kSource,
         "Writes 2 bytes at 0x00000F.\nReaches past the end of the source (16 bytes)."},
        {"starting at the source's end", records({lit(0x10, {1})}), 0, kSource,
         "Writes 1 byte at 0x000010.\nStarts past the end of the source (16 bytes)."},
        {"no source chosen", records({lit(0x3, {7})}), 0, kNone, "Writes 1 byte at 0x000003."},
    };
    ScratchDir dir;
    const std::string patchPath = dir.path("patch.ips");
    const Bytes source = counting(16);
    TestList list;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        writeFile(patchPath, c.patch.encode());
        CHunkSet set;
        ASSERT_TRUE(set.LoadPatch(patchPath, *list));
        std::string line;
        if (c.source) {
            const HunkSnapshot hunks(set);
            RelationScan scan(hunks, source.size());
            scan.Add(0, source.data(), source.size());
            line = SourceLine(scan.Finish()[c.index], source.size());
        }
        EXPECT_EQ(set.HunkText(c.index, line), c.expected);
    }
    EXPECT_TRUE(takeReports().empty());
}

// The relations of hunks that span blocks, overlap and lie around the source's end come
// out the same however the source is split, from only the span they cover; and the Patch
// row's line counts the hunks that write within the stated size.
TEST(Relation, AnySplitOfTheSourceAndTheFitOfThePatch)
{
    const Bytes source = counting(40);
    const Bytes held = Bytes(source.begin() + 3, source.begin() + 12);
    const PatchFile patch = records({lit(0x18, counting(8)), lit(0x3, held), lit(0x4, {4, 5, 6, 7, 8, 0}),
                                     run(0x9, 0, 1), lit(0x26, {0x26, 0x27, 9}), lit(0x28, {1}), lit(0x30, {1}),
                                     lit(0x5, {5, 6, 7})},
                                    0x30);
    ScratchDir dir;
    writeFile(dir.path("patch.ips"), patch.encode());
    TestList list;
    CHunkSet set;
    ASSERT_TRUE(set.LoadPatch(dir.path("patch.ips"), *list));
    const HunkSnapshot hunks(set);
    using E = HunkEffect;
    const std::vector<std::pair<E, std::uint32_t>> expected = {
        {E::changes, 8},     {E::held, 0},       {E::changes, 1}, {E::nothing, 0},
        {E::reachesPast, 0}, {E::startsPast, 0}, {E::nothing, 0}, {E::held, 0}};
    for (std::size_t block : {1, 3, 7, 40}) {
        SCOPED_TRACE("blocks of " + std::to_string(block));
        RelationScan scan(hunks, source.size());
        EXPECT_EQ(scan.First(), 0x3u);
        EXPECT_EQ(scan.End(), 0x20u);
        for (std::uint64_t at = scan.First(); at < scan.End(); at += block)
            scan.Add(at, source.data() + at, std::min<std::size_t>(block, source.size() - at));
        ASSERT_TRUE(scan.Complete());
        const std::vector<HunkRelation> relations = scan.Finish();
        for (std::size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(relations[i].effect, expected[i].first) << "hunk " << i;
            EXPECT_EQ(relations[i].differing, expected[i].second) << "hunk " << i;
        }
        EXPECT_EQ(relations[1].compared, 9u);
        EXPECT_EQ(FitLine(relations), "The source already holds the bytes of 2 of 6 hunks.");
    }
    RelationScan part(hunks, source.size());
    part.Add(0, source.data(), 0x1F);
    EXPECT_FALSE(part.Complete()) << "a source that ends early leaves the hunk at 0x18 unknown";

    auto fit = [](std::vector<E> effects) {
        std::vector<HunkRelation> relations;
        for (E effect : effects)
            relations.push_back({effect, 1, 0});
        return FitLine(relations);
    };
    EXPECT_EQ(fit({E::nothing}), "");
    EXPECT_EQ(fit({E::startsPast, E::changes, E::nothing}), "Every hunk changes the source.");
    EXPECT_EQ(fit({E::held, E::nothing, E::held}), "The source already holds every hunk's bytes: it looks patched already.");
    EXPECT_EQ(fit({E::held, E::reachesPast}), "The source already holds the bytes of 1 of 2 hunks.");
}

}  // namespace
