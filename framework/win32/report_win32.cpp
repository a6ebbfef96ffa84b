#include "framework/win32/report_win32.h"

#include "framework/win32/text.h"
#include "framework/win32/waitcursor.h"

namespace {

HWND g_owner = nullptr;  // borrowed: the main window while it exists

std::string computeTitle()
{
    char text[256];
    if (LoadStringA(GetModuleHandleA(nullptr), 0xE000, text, sizeof text) > 0)
        return text;
    // Taken apart in UTF-16: in a double-byte code page the second byte of a character
    // can look like a backslash.
    wchar_t path[MAX_PATH * 2];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
    std::wstring name(path, n < MAX_PATH * 2 ? n : 0);
    const std::size_t slash = name.find_last_of(L"\\/");
    if (slash != std::wstring::npos)
        name.erase(0, slash + 1);
    const std::size_t dot = name.find_last_of(L'.');
    if (dot != std::wstring::npos && dot != 0)
        name.erase(dot);
    return NarrowText(name);
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
    static const std::string title = computeTitle();
    return title;
}

int showReport(const char* text, UINT style) noexcept
{
    // The user has to answer the box, so it comes with the arrow even in the middle of
    // a command that shows the hourglass.
    if (CWaitCursor::Waiting())
        SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    const int pressed = MessageBoxA(reportOwner(), text, applicationTitle().c_str(), style);
    CWaitCursor::Restore();
    return pressed;
}

bool askReport(const char* text) noexcept
{
    return showReport(text, MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2) == IDYES;
}

