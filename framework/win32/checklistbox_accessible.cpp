#include "framework/win32/checklistbox_accessible.h"

#include <new>
#include <string>
#include <utility>

#include "framework/win32/accessible.h"
#include "framework/win32/announce.h"
#include "framework/win32/checklistbox_tips.h"
#include "framework/win32/checklistbox_win32.h"
#include "framework/win32/checklistbox_window.h"

namespace {

constexpr int kSelf = -1;  // the child id names the list itself
constexpr int kNone = -2;  // the child id names nothing in the list

// An item's description as screen readers hear it: the note of a dimmed item first. The
// caret's is remembered, to tell them when it changes.
std::string spokenDescription(HWND window, int index)
{
    std::string text = DescribeCheckListItem(window, index);
    CCheckListBox* list = CheckListOfWindow(window);
    if (!list)
        return text;
    CCheckListBox::Impl& impl = list->impl();
    const std::uint32_t data = list->GetItemData(index);
    if (!impl.dimmedNote.empty() && data < impl.dimmed.size() && impl.dimmed[data])
        text = impl.dimmedNote + (text.empty() ? "" : "\n") + text;
    if (SendMessageA(window, LB_GETCARETINDEX, 0, 0) == index) {
        impl.heardRow = index;
        impl.heard = text;
    }
    return text;
}

// The platform's object for the list box, wrapped: each item is a check box that is
// ticked and unticked by its default action, with its label as name and its owner's
// description as description and help; the list has the name its owner gave it.
class AccessibleCheckList final : public CForwardingAccessible {
public:
    AccessibleCheckList(HWND window, IAccessible* standard, const std::wstring& name)
        : CForwardingAccessible(standard), m_window(window), m_name(name)
    {
    }

    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override
    {
        if (!count)
            return E_POINTER;
        *count = static_cast<LONG>(itemCount());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override
    {
        // Items are simple elements: no objects of their own.
        return forItem(
            child,
            [&](int) {
                if (!object)
                    return E_POINTER;
                *object = nullptr;
                return S_FALSE;
            },
            [&] { return CForwardingAccessible::get_accChild(child, object); });
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override
    {
        return forItem(
            child, [&](int index) { return NewString(label(index), name); },
            [&] { return m_name.empty() ? CForwardingAccessible::get_accName(child, name) : NewString(m_name, name); });
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override
    {
        return forItem(
            child, [&](int) { return SetLong(role, ROLE_SYSTEM_CHECKBUTTON); },
            [&] { return SetLong(role, ROLE_SYSTEM_LIST); });
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override
    {
        return forItem(
            child,
            [&](int index) {
                VARIANT standard;
                VariantInit(&standard);
                LONG bits = 0;
                if (SUCCEEDED(Standard().get_accState(child, &standard)) && standard.vt == VT_I4)
                    bits = standard.lVal & ~(STATE_SYSTEM_CHECKED | STATE_SYSTEM_MIXED);
                VariantClear(&standard);
                const int check = checkOf(index);
                if (check == 1)
                    bits |= STATE_SYSTEM_CHECKED;
                else if (check == 2)
                    bits |= STATE_SYSTEM_MIXED;
                return SetLong(state, bits);
            },
            [&] { return CForwardingAccessible::get_accState(child, state); });
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override
    {
        return forItem(
            child, [&](int index) { return NewString(checkOf(index) == 1 ? L"Uncheck" : L"Check", action); },
            [&] { return CForwardingAccessible::get_accDefaultAction(child, action); });
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override
    {
        // While a report, a file dialog or the About box is open, the window takes no input,
        // a screen reader's included.
        if (!IsWindowEnabled(GetAncestor(m_window, GA_ROOT)))
            return E_FAIL;
        return forItem(
            child, [&](int index) { return ToggleCheckListItem(m_window, index) ? S_OK : E_INVALIDARG; },
            [&] { return CForwardingAccessible::accDoDefaultAction(child); });
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override
    {
        // Built when asked: the owner knows what the item stands for.
        return forItem(
            child, [&](int index) { return description(index, text); },
            [&] { return CForwardingAccessible::get_accDescription(child, text); });
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override
    {
        // What UI Automation reads of an item beyond its name.
        return forItem(
            child, [&](int index) { return description(index, help); },
            [&] { return CForwardingAccessible::get_accHelp(child, help); });
    }

private:
    // Runs onItem with the 0-based index of the item that child names, or onSelf for the
    // list itself. No C++ exception leaves: the caller is the platform.
    template <class OnItem, class OnSelf>
    HRESULT forItem(const VARIANT& child, OnItem onItem, OnSelf onSelf) noexcept
    {
        try {
            const int index = itemOf(child);
            if (index == kSelf)
                return onSelf();
            if (index == kNone)
                return E_INVALIDARG;
            return onItem(index);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        } catch (...) {
            return E_FAIL;
        }
    }

    LRESULT itemCount() const
    {
        const LRESULT count = SendMessageW(m_window, LB_GETCOUNT, 0, 0);
        return count > 0 ? count : 0;
    }
    int itemOf(const VARIANT& child) const
    {
        if (child.vt != VT_I4)
            return kNone;
        if (child.lVal == CHILDID_SELF)
            return kSelf;
        return child.lVal > 0 && child.lVal <= itemCount() ? static_cast<int>(child.lVal - 1) : kNone;
    }
    int checkOf(int index) const { return CheckListItemCheck(m_window, index); }
    std::wstring label(int index) const
    {
        const LRESULT length = SendMessageW(m_window, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
        if (length <= 0)
            return {};
        std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
        const LRESULT copied =
            SendMessageW(m_window, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&text[0]));
        text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
        return text;
    }
    HRESULT description(int index, BSTR* text) const
    {
        const std::string description = spokenDescription(m_window, index);
        return NewString(std::wstring(description.begin(), description.end()), text);
    }

    HWND m_window;  // borrowed: once it is gone, so are its items
    std::wstring m_name;
};

}  // namespace

LRESULT AccessibleCheckListObject(HWND window, WPARAM wParam, const std::wstring& name)
{
    IAccessible* standard = StandardAccessibleObject(window);
    if (!standard)
        return 0;
    auto* object = new (std::nothrow) AccessibleCheckList(window, standard, name);
    if (!object) {
        standard->Release();
        return 0;
    }
    return AccessibleResult(object, wParam);
}

void NoteDimmedCheckListItems(CCheckListBox& list, const std::string& note) { list.impl().dimmedNote = note; }

void TellCheckListTicksAs(CCheckListBox& list, const std::wstring& format) { list.impl().tickCount = format; }

void AnnounceCheckListTicks(CCheckListBox& list)
{
    CCheckListBox::Impl& impl = list.impl();
    if (!impl.hwnd || impl.tickCount.empty())
        return;
    const int count = list.GetCount();
    int ticked = 0;
    for (int i = 0; i < count; ++i)
        ticked += list.GetCheck(i) == 1 ? 1 : 0;
    std::wstring text = impl.tickCount;
    for (const auto& [mark, value] : {std::pair{L"%1", ticked}, std::pair{L"%2", count}}) {
        const std::size_t at = text.find(mark);
        if (at != std::wstring::npos)
            text.replace(at, 2, std::to_wstring(value));
    }
    if (AnnounceToScreenReaders(impl.hwnd, text, L"CheckListTicks"))
        impl.announced = true;
}

void CheckListDescriptionsChanged(CCheckListBox& list)
{
    CCheckListBox::Impl& impl = list.impl();
    if (!impl.hwnd)
        return;
    const LRESULT caret = SendMessageA(impl.hwnd, LB_GETCARETINDEX, 0, 0);
    if (caret < 0 || caret >= list.GetCount())
        return;
    const int row = impl.heardRow;
    const std::string before = std::move(impl.heard);
    if (spokenDescription(impl.hwnd, static_cast<int>(caret)) != before && row == caret)
        NotifyWinEvent(EVENT_OBJECT_DESCRIPTIONCHANGE, impl.hwnd, OBJID_CLIENT, static_cast<LONG>(caret + 1));
}
