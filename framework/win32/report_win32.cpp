#include "framework/win32/report_win32.h"

#include "framework/win32/text.h"
#include "framework/win32/waitcursor.h"

namespace {

HWND g_owner = nullptr;  // borrowed: the main window while it exists

// The program's path, however long: a buffer too small for it gets a cut one.
std::wstring programPath()
{
    std::wstring path(MAX_PATH, L'\0');
    while (path.size() <= 0x10000) {
        const DWORD n = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
    return {};
}

std::wstring computeTitle()
{
    wchar_t text[256];
    if (LoadStringW(GetModuleHandleW(nullptr), 0xE000, text, 256) > 0)
        return text;
    // Taken apart in UTF-16: in a double-byte code page the second byte of a character
    // can look like a backslash.
    std::wstring name = programPath();
    const std::size_t slash = name.find_last_of(L"\\/");
    if (slash != std::wstring::npos)
        name.erase(0, slash + 1);
    const std::size_t dot = name.find_last_of(L'.');
    if (dot != std::wstring::npos && dot != 0)
        name.erase(dot);
    return name;
}

const std::wstring& wideTitle()
{
    static const std::wstring title = computeTitle();
    return title;
}

template <class Show>
int shown(Show show) noexcept
{
    // The user has to answer the box, so it comes with the arrow even in the middle of
    // a command that shows the hourglass.
    if (CWaitCursor::Waiting())
        SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    const int pressed = show();
    CWaitCursor::Restore();
    return pressed;
}

}  // namespace

void setReportOwner(HWND owner) { g_owner = owner; }

HWND reportOwner()
{
    if (!g_owner || !IsWindow(g_owner))
        return nullptr;
    HWND popup = GetLastActivePopup(g_owner);
    return popup ? popup : g_owner;
}

const std::string& applicationTitle()
{
    static const std::string title = NarrowText(wideTitle());
    return title;
}

int showReport(const char* text, UINT style) noexcept
{
    return shown([&] { return MessageBoxA(reportOwner(), text, applicationTitle().c_str(), style); });
}

int showReport(const wchar_t* text, UINT style) noexcept
{
    return shown([&] { return MessageBoxW(reportOwner(), text, wideTitle().c_str(), style); });
}

bool askReport(const char* text) noexcept
{
    return showReport(text, MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2) == IDYES;
}

