// In-memory check list with the ordering and item-data behaviour of the sorted
// list box control.

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "framework/checklistbox.h"

namespace {

unsigned char folded(char c)
{
    const unsigned char u = static_cast<unsigned char>(c);
    return u >= 'A' && u <= 'Z' ? static_cast<unsigned char>(u - 'A' + 'a') : u;
}

// The control compares labels without regard to letter case.
bool labelLess(const std::string& a, const std::string& b)
{
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char ca = folded(a[i]), cb = folded(b[i]);
        if (ca != cb)
            return ca < cb;
    }
    return a.size() < b.size();
}

}  // namespace

struct CCheckListBox::Impl {
    struct Item {
        std::string label;
        std::uint32_t data = 0;
        int check = 0;
    };
    std::vector<Item> items;

    bool valid(int index) const { return index >= 0 && static_cast<std::size_t>(index) < items.size(); }
};

CCheckListBox::CCheckListBox() : m_impl(new Impl) {}
CCheckListBox::~CCheckListBox() = default;

void CCheckListBox::ResetContent() { m_impl->items.clear(); }

void CCheckListBox::InitStorage(int items, std::size_t)
{
    if (items > 0)
        m_impl->items.reserve(m_impl->items.size() + static_cast<std::size_t>(items));
}

int CCheckListBox::AddString(const char* label)
{
    auto& items = m_impl->items;
    Impl::Item item;
    item.label = label;
    // As the control does, an equal label goes before those already there.
    auto at = std::lower_bound(items.begin(), items.end(), item,
                               [](const Impl::Item& a, const Impl::Item& b) { return labelLess(a.label, b.label); });
    at = items.insert(at, std::move(item));
    return static_cast<int>(at - items.begin());
}

int CCheckListBox::AppendString(const char* label)
{
    Impl::Item item;
    item.label = label;
    m_impl->items.push_back(std::move(item));
    return static_cast<int>(m_impl->items.size() - 1);
}

int CCheckListBox::SetItemData(int index, std::uint32_t data)
{
    if (!m_impl->valid(index))
        return -1;
    m_impl->items[index].data = data;
    return 0;
}

std::uint32_t CCheckListBox::GetItemData(int index) const
{
    return m_impl->valid(index) ? m_impl->items[index].data : 0xFFFFFFFFu;
}

int CCheckListBox::GetCount() const { return static_cast<int>(m_impl->items.size()); }

void CCheckListBox::SetCheck(int index, int check)
{
    if (m_impl->valid(index))
        m_impl->items[index].check = check;
}

int CCheckListBox::GetCheck(int index) const { return m_impl->valid(index) ? m_impl->items[index].check : 0; }

std::string CCheckListBox::GetText(int index) const
{
    return m_impl->valid(index) ? m_impl->items[index].label : std::string();
}
