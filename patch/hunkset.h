#pragma once
// The loaded patches: their hunks in file order, one patch after the other, and the output
// size they state. Most users load one; with several, each row's label carries its patch.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "framework/checklistbox.h"
#include "framework/file.h"
#include "framework/object.h"
#include "patch/hunk.h"

class CHunkSet {
public:
    CHunkSet();
    virtual ~CHunkSet();
    CHunkSet(const CHunkSet&) = delete;
    CHunkSet& operator=(const CHunkSet&) = delete;

    // Replaces the set and the list with the patch at path: one ticked item per hunk,
    // its item data the hunk's index. On failure both are left empty and the user has
    // been told why.
    bool LoadPatch(const std::string& path, CCheckListBox& list);

    // Writes source, with the hunks ticked in list applied in list order, to
    // destination. Every outcome ends in one report.
    void ApplyPatch(std::string source, std::string destination, CCheckListBox& list);

    // Adds the patch at path after those loaded: its hunks follow theirs (hunk indices go
    // on), its rows are ticked, and every other row keeps its tick. On failure nothing of
    // what was loaded changes, the list included, and the user has been told why.
    bool AddPatch(const std::string& path, CCheckListBox& list);
    // Keeps the first patch alone, with its ticks.
    void RemoveAddedPatches(CCheckListBox& list);

    // The output size: the one stated by the last patch that states one; 0 for none.
    std::uint32_t GetTargetSize() const { return m_targetSize; }
    struct Patch {
        std::string path;
        std::optional<FileIdentity> loadedFrom;  // the file as the load read it; none when it could not tell
        std::uint32_t targetSize = 0;            // as this patch states it
        std::uint32_t first = 0, count = 0;      // its hunk indices
    };
    // In the order they were loaded: the first, then each added one.
    const std::vector<Patch>& Patches() const { return m_patches; }
    // The number, from 1, of the patch hunk index is of.
    int PatchOf(std::size_t index) const;
    // The first patch's file as the load read it.
    std::optional<FileIdentity> LoadedFrom() const
    {
        return m_patches.empty() ? std::nullopt : m_patches.front().loadedFrom;
    }
    std::size_t GetCount() const { return m_hunks.GetSize(); }
    const CHunk& GetHunk(std::size_t index) const;

    // What hunk index does: what it writes where, the other hunks it overlaps and what
    // the stated size does to it, then sourceLine, what it does to the source, unless it
    // writes nothing. Lines joined by "\n".
    // otherPatches, the lines on the overlapping hunks of other patches, follow the overlaps.
    std::string HunkText(std::size_t index, const std::string& sourceLine, const std::string& otherPatches = {}) const;

    // " 0x%06X - 0x%06X" from the first and last offset of a hunk.
    static std::string Label(std::uint32_t offset, std::uint32_t length);

    // The rows as the last load filled the list, top to bottom: each row's hunk index.
    const std::vector<std::uint32_t>& ListOrder() const { return m_listOrder; }
    std::string LabelAt(std::size_t row) const;
    // The first row whose hunk covers offset, else the first whose hunk starts after it;
    // -1 when there is none. A search of the hunks, not of the list: it costs the same
    // at any row.
    int FindRow(std::uint32_t offset) const;
    // The tick of each row for text, a list of labels one a line, as a user keeps them: a
    // row is ticked when a line names it, spaces and tabs around either aside; a label
    // on n lines ticks the first n rows that have it. unnamed counts the lines, blank ones
    // aside, that tick no row.
    std::vector<int> TicksFromLabels(const std::string& text, std::size_t& unnamed) const;

private:
    void RemoveAll();
    bool ReadRecords(class CFile& file, std::uint32_t& targetSize);
    // Opens the patch at path, or reports why not; patch gets its path and identity.
    static bool OpenPatch(const std::string& path, CFile& file, Patch& patch);
    // Reads the opened patch's records after those loaded and fills the list again; on
    // failure undo puts back what was, and the user is told why.
    bool ReadPatch(CFile& file, Patch patch, CCheckListBox& list, const std::vector<int>& ticks,
                   const std::function<void()>& undo);
    // Fills the emptied list in label order; a row is ticked as ticks says of its hunk
    // index, or at all if ticks does not reach it.
    bool FillList(CCheckListBox& list, const std::vector<int>& ticks = {});
    std::vector<int> TicksByIndex(CCheckListBox& list) const;
    void DropHunksFrom(std::size_t first);
    void StateSize();

    std::uint32_t m_targetSize = 0;
    std::vector<Patch> m_patches;
    CObArray m_hunks;
    // Each hunk's offset and length again, side by side: what walks over every hunk
    // (sorting, overlaps) reads them in order instead of from hunk after hunk.
    struct Span {
        std::uint32_t offset, length;
    };
    std::vector<Span> m_spans;
    std::vector<std::uint32_t> m_listOrder;
};
