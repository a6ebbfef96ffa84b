#include "framework/win32/accessible.h"

#include <new>
#include <optional>

#include "framework/win32/libraries.h"

namespace {

// oleacc's calls, from the system folder's oleacc, loaded at the first request.
struct Oleacc {
    decltype(&CreateStdAccessibleObject) createStandard;
    decltype(&LresultFromObject) resultFromObject;
};

// Null when the system has no accessibility library to give.
const Oleacc* oleacc()
{
    return SystemFunctions<Oleacc>(L"oleacc.dll", [](SystemLibrary& library, Oleacc& c) {
        library.Get(c.createStandard, "CreateStdAccessibleObject");
        library.Get(c.resultFromObject, "LresultFromObject");
    });
}

// A control's own name and, read when asked, its text as value.
class NamedControl final : public CForwardingAccessible {
public:
    NamedControl(IAccessible* standard, HWND control, const std::wstring& name, bool textIsValue)
        : CForwardingAccessible(standard), m_control(control), m_name(name), m_textIsValue(textIsValue)
    {
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override
    {
        if (child.vt != VT_I4 || child.lVal != CHILDID_SELF)
            return CForwardingAccessible::get_accName(child, name);
        return NewString(m_name, name);
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override
    {
        if (!m_textIsValue || child.vt != VT_I4 || child.lVal != CHILDID_SELF)
            return CForwardingAccessible::get_accValue(child, value);
        try {
            std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(m_control)) + 1, L'\0');
            text.resize(static_cast<std::size_t>(GetWindowTextW(m_control, &text[0], static_cast<int>(text.size()))));
            return NewString(text, value);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
    }

private:
    HWND m_control;  // borrowed: once it is gone, the object says nothing of its own
    std::wstring m_name;
    bool m_textIsValue;
};

constexpr const char* kNameProperty = "Velquin.AccessibleName";

struct ControlName {
    WNDPROC previous;
    std::wstring name;
    bool textIsValue;
};

LRESULT CALLBACK namedControlProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* named = static_cast<ControlName*>(GetPropA(control, kNameProperty));
    if (!named)
        return DefWindowProcA(control, message, wParam, lParam);
    const WNDPROC previous = named->previous;
    if (message == WM_GETOBJECT && static_cast<DWORD>(lParam) == static_cast<DWORD>(OBJID_CLIENT)) {
        // Short of memory, the platform's own object answers instead.
        try {
            if (IAccessible* standard = StandardAccessibleObject(control)) {
                const LRESULT object =
                    AccessibleResult(new NamedControl(standard, control, named->name, named->textIsValue), wParam);
                if (object > 0)
                    return object;
            }
        } catch (const std::bad_alloc&) {
        }
    } else if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
        RemovePropA(control, kNameProperty);
        delete named;
    }
    return CallWindowProcA(previous, control, message, wParam, lParam);
}

}  // namespace

HRESULT CForwardingAccessible::QueryInterface(REFIID iid, void** object)
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

ULONG CForwardingAccessible::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&m_references)); }

ULONG CForwardingAccessible::Release()
{
    const LONG left = InterlockedDecrement(&m_references);
    if (left == 0)
        delete this;
    return static_cast<ULONG>(left);
}

CForwardingAccessible::~CForwardingAccessible() { m_standard->Release(); }

HRESULT CForwardingAccessible::GetTypeInfoCount(UINT* count) { return m_standard->GetTypeInfoCount(count); }
HRESULT CForwardingAccessible::GetTypeInfo(UINT index, LCID locale, ITypeInfo** info)
{
    return m_standard->GetTypeInfo(index, locale, info);
}
HRESULT CForwardingAccessible::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids)
{
    return m_standard->GetIDsOfNames(iid, names, count, locale, ids);
}
HRESULT CForwardingAccessible::Invoke(DISPID id, REFIID, LCID locale, WORD flags, DISPPARAMS* parameters,
                                      VARIANT* result, EXCEPINFO* exception, UINT* badArgument)
{
    ITypeInfo* info = nullptr;
    HRESULT hr = m_standard->GetTypeInfo(0, locale, &info);
    if (FAILED(hr))
        return hr;
    hr = DispInvoke(static_cast<IAccessible*>(this), info, id, flags, parameters, result, exception, badArgument);
    info->Release();
    return hr;
}

HRESULT CForwardingAccessible::get_accParent(IDispatch** parent) { return m_standard->get_accParent(parent); }
HRESULT CForwardingAccessible::get_accChildCount(LONG* count) { return m_standard->get_accChildCount(count); }
HRESULT CForwardingAccessible::get_accChild(VARIANT child, IDispatch** object)
{
    return m_standard->get_accChild(child, object);
}
HRESULT CForwardingAccessible::get_accName(VARIANT child, BSTR* name) { return m_standard->get_accName(child, name); }
HRESULT CForwardingAccessible::get_accValue(VARIANT child, BSTR* value)
{
    return m_standard->get_accValue(child, value);
}
HRESULT CForwardingAccessible::get_accDescription(VARIANT child, BSTR* text)
{
    return m_standard->get_accDescription(child, text);
}
HRESULT CForwardingAccessible::get_accRole(VARIANT child, VARIANT* role) { return m_standard->get_accRole(child, role); }
HRESULT CForwardingAccessible::get_accState(VARIANT child, VARIANT* state)
{
    return m_standard->get_accState(child, state);
}
HRESULT CForwardingAccessible::get_accHelp(VARIANT child, BSTR* help) { return m_standard->get_accHelp(child, help); }
HRESULT CForwardingAccessible::get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic)
{
    return m_standard->get_accHelpTopic(file, child, topic);
}
HRESULT CForwardingAccessible::get_accKeyboardShortcut(VARIANT child, BSTR* shortcut)
{
    return m_standard->get_accKeyboardShortcut(child, shortcut);
}
HRESULT CForwardingAccessible::get_accFocus(VARIANT* child) { return m_standard->get_accFocus(child); }
HRESULT CForwardingAccessible::get_accSelection(VARIANT* children) { return m_standard->get_accSelection(children); }
HRESULT CForwardingAccessible::get_accDefaultAction(VARIANT child, BSTR* action)
{
    return m_standard->get_accDefaultAction(child, action);
}
HRESULT CForwardingAccessible::accSelect(LONG flags, VARIANT child) { return m_standard->accSelect(flags, child); }
HRESULT CForwardingAccessible::accLocation(LONG* left, LONG* top, LONG* width, LONG* height, VARIANT child)
{
    return m_standard->accLocation(left, top, width, height, child);
}
HRESULT CForwardingAccessible::accNavigate(LONG direction, VARIANT start, VARIANT* end)
{
    return m_standard->accNavigate(direction, start, end);
}
HRESULT CForwardingAccessible::accHitTest(LONG x, LONG y, VARIANT* child) { return m_standard->accHitTest(x, y, child); }
HRESULT CForwardingAccessible::accDoDefaultAction(VARIANT child) { return m_standard->accDoDefaultAction(child); }
HRESULT CForwardingAccessible::put_accName(VARIANT child, BSTR name) { return m_standard->put_accName(child, name); }
HRESULT CForwardingAccessible::put_accValue(VARIANT child, BSTR value)
{
    return m_standard->put_accValue(child, value);
}

HRESULT CForwardingAccessible::NewString(const std::wstring& text, BSTR* out)
{
    if (!out)
        return E_POINTER;
    *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT CForwardingAccessible::SetLong(VARIANT* out, LONG value)
{
    if (!out)
        return E_POINTER;
    out->vt = VT_I4;
    out->lVal = value;
    return S_OK;
}

IAccessible* StandardAccessibleObject(HWND window)
{
    const Oleacc* calls = oleacc();
    IAccessible* standard = nullptr;
    if (!calls || FAILED(calls->createStandard(window, OBJID_CLIENT, __uuidof(IAccessible),
                                               reinterpret_cast<void**>(&standard))))
        return nullptr;
    return standard;
}

LRESULT AccessibleResult(CForwardingAccessible* object, WPARAM wParam)
{
    const LRESULT reference = oleacc()->resultFromObject(__uuidof(IAccessible), wParam, object);
    object->Release();
    return reference;
}

bool NameForScreenReaders(HWND control, const std::wstring& name, bool textIsValue)
{
    if (!control || GetPropA(control, kNameProperty))
        return false;
    auto* named = new ControlName{nullptr, name, textIsValue};
    if (!SetPropA(control, kNameProperty, named)) {
        delete named;
        return false;
    }
    named->previous = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&namedControlProc)));
    return true;
}
