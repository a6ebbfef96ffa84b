#pragma once
// What a screen reader in another process hears of the program's controls, through the
// platform's accessibility objects.

#include <oleacc.h>

#include <string>
#include <vector>

#include "driver.h"

namespace gui {

// A COM apartment for the test's thread, as a screen reader has one.
class Apartment {
public:
    Apartment() : m_joined(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~Apartment()
    {
        if (m_joined)
            CoUninitialize();
    }
    Apartment(const Apartment&) = delete;
    Apartment& operator=(const Apartment&) = delete;

private:
    bool m_joined;
};

inline VARIANT child(long id)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = id;
    return v;
}

inline std::string take(BSTR text)
{
    std::string out = text ? narrow(std::wstring(text, SysStringLen(text))) : std::string();
    SysFreeString(text);
    return out;
}

// A control's accessible object as a screen reader gets it: from the platform, for the
// control's window, in another process than the program's.
class Reader {
public:
    explicit Reader(HWND control)
    {
        const HRESULT hr = AccessibleObjectFromWindow(control, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                                      reinterpret_cast<void**>(&m_object));
        if (FAILED(hr) || !m_object)
            throw DriverError("the control gives no accessible object (error " + std::to_string(hr) + ")");
    }
    ~Reader() { m_object->Release(); }
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    long count() const
    {
        long n = -1;
        check(m_object->get_accChildCount(&n), "child count");
        return n;
    }
    std::string name(long id) const
    {
        BSTR text = nullptr;
        check(m_object->get_accName(child(id), &text), "name");
        return take(text);
    }
    long role(long id) const { return number(&IAccessible::get_accRole, id, "role"); }
    long state(long id) const { return number(&IAccessible::get_accState, id, "state"); }
    std::string defaultAction(long id) const
    {
        BSTR text = nullptr;
        check(m_object->get_accDefaultAction(child(id), &text), "default action");
        return take(text);
    }
    std::string description(long id) const { return text(&IAccessible::get_accDescription, id, "description"); }
    std::string help(long id) const { return text(&IAccessible::get_accHelp, id, "help"); }
    std::string value(long id) const { return text(&IAccessible::get_accValue, id, "value"); }
    HRESULT doDefaultAction(long id) const { return m_object->accDoDefaultAction(child(id)); }
    HRESULT nameResult(long id) const
    {
        BSTR text = nullptr;
        const HRESULT hr = m_object->get_accName(child(id), &text);
        SysFreeString(text);
        return hr;
    }

    // What a reader says of every item: ticked or not, in list order.
    std::vector<int> checks() const
    {
        std::vector<int> out;
        for (long id = 1; id <= count(); ++id)
            out.push_back((state(id) & STATE_SYSTEM_CHECKED) ? 1 : 0);
        return out;
    }

private:
    static void check(HRESULT hr, const char* what)
    {
        if (FAILED(hr))
            throw DriverError(std::string("the accessible object gives no ") + what + " (error " +
                              std::to_string(hr) + ")");
    }
    std::string text(HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, BSTR*), long id, const char* what) const
    {
        BSTR text = nullptr;
        check((m_object->*get)(child(id), &text), what);
        return take(text);
    }
    long number(HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, VARIANT*), long id, const char* what) const
    {
        VARIANT value;
        VariantInit(&value);
        check((m_object->*get)(child(id), &value), what);
        if (value.vt != VT_I4)
            throw DriverError(std::string("the ") + what + " is not a number");
        return value.lVal;
    }

    IAccessible* m_object = nullptr;
};

}  // namespace gui
