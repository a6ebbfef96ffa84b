#pragma once
// What screen readers learn of the program's controls: the platform's own object for a
// control, wrapped, so that the program says what a control is called and what it holds
// where the platform would guess (from the text before it, which for the list is a path)
// or say nothing.

#include <windows.h>
#include <oleacc.h>

#include <string>

// The platform's object with every call forwarded to it; a derived class answers what it
// knows better. Reference-counted, as COM objects are, from one reference at creation.
class CForwardingAccessible : public IAccessible {
public:
    // Takes over the reference to standard.
    explicit CForwardingAccessible(IAccessible* standard) : m_standard(standard) {}
    CForwardingAccessible(const CForwardingAccessible&) = delete;
    CForwardingAccessible& operator=(const CForwardingAccessible&) = delete;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IDispatch: the platform's type information, with calls by name landing here.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID locale, WORD flags, DISPPARAMS* parameters,
                                     VARIANT* result, EXCEPINFO* exception, UINT* badArgument) override;

    // IAccessible
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override;
    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override;
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override;
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override;
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override;
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override;
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override;
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override;
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override;
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) override;
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override;
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override;
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override;
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override;
    HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT child) override;
    HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height, VARIANT child) override;
    HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override;
    HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* child) override;
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override;
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override;
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override;

protected:
    virtual ~CForwardingAccessible();
    IAccessible& Standard() const { return *m_standard; }
    static HRESULT NewString(const std::wstring& text, BSTR* out);
    static HRESULT SetLong(VARIANT* out, LONG value);

private:
    LONG m_references = 1;
    IAccessible* m_standard;  // owned reference
};

// The platform's object for window's client area, or null when the system has no
// accessibility library; an owned reference.
IAccessible* StandardAccessibleObject(HWND window);
// The answer to WM_GETOBJECT with wParam for object, which it releases: 0 when none.
LRESULT AccessibleResult(CForwardingAccessible* object, WPARAM wParam);

// Gives control (a button or a static the platform draws) the name screen readers say,
// and, when textIsValue, its window text as its value. Kept until the control goes.
bool NameForScreenReaders(HWND control, const std::wstring& name, bool textIsValue);
