#include "framework/win32/announce.h"

#include <ole2.h>
#include <uiautomationcore.h>

#include <new>

#include "framework/win32/libraries.h"

namespace {

constexpr int kActionCompleted = 2;        // NotificationKind_ActionCompleted
constexpr int kCurrentThenMostRecent = 4;  // NotificationProcessing_CurrentThenMostRecent

// uiautomationcore's calls, from the system folder, loaded at the first announcement.
struct Uia {
    HRESULT(WINAPI* hostProvider)(HWND, IRawElementProviderSimple**);
    HRESULT(WINAPI* raiseNotification)(IRawElementProviderSimple*, int kind, int processing, BSTR text, BSTR activity);
    LRESULT(WINAPI* returnProvider)(HWND, WPARAM, LPARAM, IRawElementProviderSimple*);
};

// Null before Windows 10 version 1709, and under Wine, whose uiautomationcore has no
// notifications.
const Uia* uia()
{
    return SystemFunctions<Uia>(L"uiautomationcore.dll", [](SystemLibrary& library, Uia& c) {
        library.Get(c.hostProvider, "UiaHostProviderFromHwnd");
        library.Get(c.raiseNotification, "UiaRaiseNotificationEvent");
        library.Get(c.returnProvider, "UiaReturnRawElementProvider");
    });
}

// The element an announcement comes from: the window itself, as the system's own
// providers for it (and the program's accessible object) describe it. It is never handed
// out for the window, so screen readers read the window as before.
class WindowElement final : public IRawElementProviderSimple {
public:
    WindowElement(HWND window, const Uia& calls) : m_window(window), m_calls(calls) {}
    WindowElement(const WindowElement&) = delete;
    WindowElement& operator=(const WindowElement&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (iid != __uuidof(IUnknown) && iid != __uuidof(IRawElementProviderSimple)) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = static_cast<IRawElementProviderSimple*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&m_references)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG left = InterlockedDecrement(&m_references);
        if (left == 0)
            delete this;
        return static_cast<ULONG>(left);
    }
    HRESULT STDMETHODCALLTYPE get_ProviderOptions(ProviderOptions* options) override
    {
        if (!options)
            return E_POINTER;
        // Called on the window's own thread, as the rest of the window is.
        *options = static_cast<ProviderOptions>(ProviderOptions_ServerSideProvider | ProviderOptions_UseComThreading);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPatternProvider(PATTERNID, IUnknown** pattern) override
    {
        if (!pattern)
            return E_POINTER;
        *pattern = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPropertyValue(PROPERTYID, VARIANT* value) override
    {
        if (!value)
            return E_POINTER;
        VariantInit(value);  // empty: the window's own providers answer
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_HostRawElementProvider(IRawElementProviderSimple** host) override
    {
        if (!host)
            return E_POINTER;
        return m_calls.hostProvider(m_window, host);
    }

private:
    ~WindowElement() = default;

    LONG m_references = 1;
    HWND m_window;  // borrowed
    const Uia& m_calls;
};

}  // namespace

bool AnnounceToScreenReaders(HWND window, const std::wstring& text, const wchar_t* activity)
{
    const Uia* calls = uia();
    if (!calls || !window)
        return false;
    auto* element = new (std::nothrow) WindowElement(window, *calls);
    BSTR said = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    BSTR id = SysAllocString(activity);
    if (element && said && id)
        calls->raiseNotification(element, kActionCompleted, kCurrentThenMostRecent, said, id);
    SysFreeString(id);
    SysFreeString(said);
    if (element)
        element->Release();
    return true;
}

void ForgetAnnouncements(HWND window)
{
    if (const Uia* calls = uia())
        calls->returnProvider(window, 0, 0, nullptr);
}
