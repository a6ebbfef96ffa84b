#include "framework/win32/report_win32.h"

#include "framework/report.h"

namespace {

HWND g_owner = nullptr;  // borrowed: the main window while it exists

std::string computeTitle()
{
    char text[256];
    if (LoadStringA(GetModuleHandleA(nullptr), 0xE000, text, sizeof text) > 0)
        return text;
    char path[MAX_PATH * 4];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string name(path, n < sizeof path ? n : 0);
    std::size_t slash = name.find_last_of("\\/");
    if (slash != std::string::npos)
        name.erase(0, slash + 1);
    std::size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot != 0)
        name.erase(dot);
    return name;
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

void report(const char* text, ReportIcon icon)
{
    UINT type = MB_OK;
    switch (icon) {
    case ReportIcon::question: type |= MB_ICONQUESTION; break;
    case ReportIcon::stop: type |= MB_ICONSTOP; break;
    case ReportIcon::none: type |= MB_ICONEXCLAMATION; break;
    }
    MessageBoxA(reportOwner(), text, applicationTitle().c_str(), type);
}
