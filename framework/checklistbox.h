#pragma once
// The check list the engine fills and reads: a sorted list of labels, each with
// item data and a check state. Positions are 0-based from the top; insertion can move
// items, so callers find an item again through its item data.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class CCheckListBox {
public:
    CCheckListBox();
    ~CCheckListBox();
    CCheckListBox(const CCheckListBox&) = delete;
    CCheckListBox& operator=(const CCheckListBox&) = delete;

    void ResetContent();
    // Reserves room for items more items whose labels take about bytes in all, so
    // that a long fill does not grow the list a little at a time.
    void InitStorage(int items, std::size_t bytes);
    // Inserts at the label's sorted place and returns that position, or -1 on failure.
    int AddString(const char* label);
    // Puts the label last without searching for its place, for a caller that adds
    // labels already in the list's order; returns the position, or -1 on failure.
    int AppendString(const char* label);
    // -1 on failure.
    int SetItemData(int index, std::uint32_t data);
    std::uint32_t GetItemData(int index) const;
    int GetCount() const;
    void SetCheck(int index, int check);
    // 0 for an item whose check was never set.
    int GetCheck(int index) const;
    std::string GetText(int index) const;

    struct Impl;
    Impl& impl() { return *m_impl; }

private:
    std::unique_ptr<Impl> m_impl;
};
