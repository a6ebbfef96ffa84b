#include "framework/win32/checklistbox_accessible.h"

#include <oleacc.h>

#include <new>
#include <string>

#include "framework/win32/checklistbox_tips.h"
#include "framework/win32/checklistbox_win32.h"
#include "framework/win32/libraries.h"
#include "framework/win32/checklistbox_window.h"

namespace {

constexpr int kSelf = -1;  // the child id names the list itself
constexpr int kNone = -2;  // the child id names nothing in the list

// The platform's object for the list box, wrapped: the list itself and whatever is not
// about an item's tick stay the platform's.
class AccessibleCheckList final : public IAccessible {
public:
    AccessibleCheckList(HWND window, IAccessible* standard) : m_window(window), m_standard(standard) {}
    AccessibleCheckList(const AccessibleCheckList&) = delete;
    AccessibleCheckList& operator=(const AccessibleCheckList&) = delete;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (iid == __uuidof(IUnknown) || iid == __uuidof(IDispatch) || iid == __uuidof(IAccessible)) {
            *object = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&m_references)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG left = InterlockedDecrement(&m_references);
        if (left == 0)
            delete this;
        return static_cast<ULONG>(left);
    }

    // IDispatch: the platform's type information, with calls by name landing here.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { return m_standard->GetTypeInfoCount(count); }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override
    {
        return m_standard->GetTypeInfo(index, locale, info);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override
    {
        return m_standard->GetIDsOfNames(iid, names, count, locale, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID locale, WORD flags, DISPPARAMS* parameters,
                                     VARIANT* result, EXCEPINFO* exception, UINT* badArgument) override
    {
        ITypeInfo* info = nullptr;
        HRESULT hr = m_standard->GetTypeInfo(0, locale, &info);
        if (FAILED(hr))
            return hr;
        hr = DispInvoke(static_cast<IAccessible*>(this), info, id, flags, parameters, result, exception, badArgument);
        info->Release();
        return hr;
    }

    // IAccessible: what a check list adds.
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
            [&] { return m_standard->get_accChild(child, object); });
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override
    {
        return forItem(
            child, [&](int index) { return newString(label(index), name); },
            [&] { return m_standard->get_accName(child, name); });
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override
    {
        return forItem(
            child, [&](int) { return setLong(role, ROLE_SYSTEM_CHECKBUTTON); },
            [&] { return setLong(role, ROLE_SYSTEM_LIST); });
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override
    {
        return forItem(
            child,
            [&](int index) {
                VARIANT standard;
                VariantInit(&standard);
                LONG bits = 0;
                if (SUCCEEDED(m_standard->get_accState(child, &standard)) && standard.vt == VT_I4)
                    bits = standard.lVal & ~(STATE_SYSTEM_CHECKED | STATE_SYSTEM_MIXED);
                VariantClear(&standard);
                const int check = checkOf(index);
                if (check == 1)
                    bits |= STATE_SYSTEM_CHECKED;
                else if (check == 2)
                    bits |= STATE_SYSTEM_MIXED;
                return setLong(state, bits);
            },
            [&] { return m_standard->get_accState(child, state); });
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override
    {
        return forItem(
            child, [&](int index) { return newString(checkOf(index) == 1 ? L"Uncheck" : L"Check", action); },
            [&] { return m_standard->get_accDefaultAction(child, action); });
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override
    {
        // While a report, a file dialog or the About box is open, the window takes no input,
        // a screen reader's included.
        if (!IsWindowEnabled(GetAncestor(m_window, GA_ROOT)))
            return E_FAIL;
        return forItem(
            child, [&](int index) { return ToggleCheckListItem(m_window, index) ? S_OK : E_INVALIDARG; },
            [&] { return m_standard->accDoDefaultAction(child); });
    }

    // IAccessible: the platform's.
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override { return m_standard->get_accParent(parent); }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override
    {
        return m_standard->get_accValue(child, value);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override
    {
        // Built when asked: the owner knows what the item stands for.
        return forItem(
            child,
            [&](int index) {
                const std::string description = DescribeCheckListItem(m_window, index);
                return newString(std::wstring(description.begin(), description.end()), text);
            },
            [&] { return m_standard->get_accDescription(child, text); });
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override
    {
        return m_standard->get_accHelp(child, help);
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) override
    {
        return m_standard->get_accHelpTopic(file, child, topic);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override
    {
        return m_standard->get_accKeyboardShortcut(child, shortcut);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override { return m_standard->get_accFocus(child); }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override
    {
        return m_standard->get_accSelection(children);
    }
    HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT child) override
    {
        return m_standard->accSelect(flags, child);
    }
    HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height, VARIANT child) override
    {
        return m_standard->accLocation(left, top, width, height, child);
    }
    HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override
    {
        return m_standard->accNavigate(direction, start, end);
    }
    HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* child) override
    {
        return m_standard->accHitTest(x, y, child);
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override
    {
        return m_standard->put_accName(child, name);
    }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override
    {
        return m_standard->put_accValue(child, value);
    }

private:
    ~AccessibleCheckList() { m_standard->Release(); }

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
    int checkOf(int index) const
    {
        return CheckOfWord(
            static_cast<ULONG_PTR>(SendMessageW(m_window, LB_GETITEMDATA, static_cast<WPARAM>(index), 0)));
    }
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
    static HRESULT newString(const std::wstring& text, BSTR* out)
    {
        if (!out)
            return E_POINTER;
        *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        return *out ? S_OK : E_OUTOFMEMORY;
    }
    static HRESULT setLong(VARIANT* out, LONG value)
    {
        if (!out)
            return E_POINTER;
        out->vt = VT_I4;
        out->lVal = value;
        return S_OK;
    }

    LONG m_references = 1;
    HWND m_window;            // borrowed: once it is gone, so are its items
    IAccessible* m_standard;  // owned reference
};

// oleacc's two calls, from the system folder's oleacc, loaded at the first request.
struct Oleacc {
    decltype(&CreateStdAccessibleObject) createStandard;
    decltype(&LresultFromObject) resultFromObject;
};

// Null when the system has no accessibility library to give.
const Oleacc* oleacc()
{
    static const std::optional<Oleacc> calls =
        LoadSystemFunctions<Oleacc>(L"oleacc.dll", [](SystemLibrary& library, Oleacc& c) {
            library.Get(c.createStandard, "CreateStdAccessibleObject");
            library.Get(c.resultFromObject, "LresultFromObject");
        });
    return calls ? &*calls : nullptr;
}

}  // namespace

LRESULT AccessibleCheckListObject(HWND window, WPARAM wParam)
{
    const Oleacc* calls = oleacc();
    if (!calls)
        return 0;
    IAccessible* standard = nullptr;
    if (FAILED(calls->createStandard(window, OBJID_CLIENT, __uuidof(IAccessible),
                                   reinterpret_cast<void**>(&standard))))
        return 0;
    auto* object = new (std::nothrow) AccessibleCheckList(window, standard);
    if (!object) {
        standard->Release();
        return 0;
    }
    const LRESULT reference = calls->resultFromObject(__uuidof(IAccessible), wParam, static_cast<IAccessible*>(object));
    object->Release();
    return reference;
}
