// The driver's basics: its trace and options, paths between Linux and Windows, Linux
// programs, files, windows and their messages, the real mouse and keyboard, and the spy
// on what the program's windows are told.

#include "internal.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>

#include "app.h"
#include "command_spy.h"

namespace gui {

void trace(const std::string& what)
{
    static const bool on = GetEnvironmentVariableA("VELQUIN_GUI_TRACE", nullptr, 0) > 0;
    static const DWORD start = GetTickCount();
    if (on)
        std::fprintf(stderr, "[%6lu ms] %s\n", static_cast<unsigned long>(GetTickCount() - start), what.c_str());
}

Options& options()
{
    static Options value;
    return value;
}

// ---- paths and Linux programs ------------------------------------------------------------

std::string windowsPath(const std::string& path)
{
    if (path.empty() || path[0] != '/')
        return path;
    // Wine's own conversion knows about every drive; Z: is the root when it is missing.
    using ToDos = WCHAR* (*)(const char*);
    auto toDos = reinterpret_cast<ToDos>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_dos_file_name")));
    if (toDos) {
        if (WCHAR* wide = toDos(path.c_str())) {
            char narrow[MAX_PATH * 4];
            int n = WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, sizeof narrow, nullptr, nullptr);
            HeapFree(GetProcessHeap(), 0, wide);
            if (n > 0)
                return narrow;
        }
    }
    std::string out = "Z:" + path;
    std::replace(out.begin(), out.end(), '/', '\\');
    return out;
}

std::string linuxPath(const std::string& path, bool uri)
{
    if (path.size() < 3 || toupper(static_cast<unsigned char>(path[0])) != 'Z' || path[1] != ':')
        throw DriverError("no Linux name for " + path);
    std::string result = uri ? "file://" : "";
    for (const unsigned char c : path.substr(2)) {
        char escaped[4];
        std::snprintf(escaped, sizeof escaped, "%%%02X", c);
        result += c == '\\' ? "/" : isalnum(c) || std::strchr("/-._~", c) || !uri ? std::string(1, c) : escaped;
    }
    return result;
}

std::string runLinuxProgram(const std::string& program, std::string commandLine, const std::string& done,
                            const std::string& what, DWORD timeoutMs)
{
    // Wine starts a Linux program as it is; it cannot be waited for, so it leaves word in
    // the done file.
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!CreateProcessA(windowsPath(program).c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &started))
        throw DriverError("cannot start " + what + ": error " + std::to_string(GetLastError()));
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    if (!waitUntil([&] { return fileExists(done); }, timeoutMs))
        throw DriverError(what + " did not finish");
    const Bytes said = readFile(done);
    return std::string(said.begin(), said.end());
}

// ---- the clipboard ------------------------------------------------------------------------

namespace {

// Another program (the one under test, reading it) may hold the clipboard for a moment.
void openClipboard()
{
    if (!waitUntil([] { return OpenClipboard(nullptr) != FALSE; }, 3000))
        throw DriverError("the clipboard stays held");
}

}  // namespace

void setClipboardText(const std::wstring& text)
{
    openClipboard();
    EmptyClipboard();
    const SIZE_T size = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
    bool set = false;
    if (block) {
        std::memcpy(GlobalLock(block), text.c_str(), size);
        GlobalUnlock(block);
        set = SetClipboardData(CF_UNICODETEXT, block) != nullptr;
        if (!set)
            GlobalFree(block);
    }
    CloseClipboard();
    if (!set)
        throw DriverError("cannot put text on the clipboard");
}

ClipboardHeld::ClipboardHeld(bool hold) : held(hold) { if (held) openClipboard(); }

std::wstring clipboardText()
{
    openClipboard();
    std::wstring text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
            text = chars;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

// ---- windows that no manager takes -------------------------------------------------------

namespace {
const char* const kAppDefaults = "Software\\Wine\\AppDefaults\\";
}

UnmanagedWindows::UnmanagedWindows(const std::vector<std::string>& exeNames)
{
    if (!GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version"))
        return;  // not Wine
    for (const std::string& name : exeNames) {
        const std::string app = kAppDefaults + name;
        HKEY existing;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, app.c_str(), 0, KEY_READ, &existing) == ERROR_SUCCESS) {
            RegCloseKey(existing);  // somebody's own settings: leave them alone
            continue;
        }
        HKEY key;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, (app + "\\X11 Driver").c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                            &key, nullptr) != ERROR_SUCCESS)
            continue;
        RegSetValueExA(key, "Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>("N"), 2);
        RegCloseKey(key);
        m_added.push_back(app);
    }
}

UnmanagedWindows::~UnmanagedWindows()
{
    for (const std::string& app : m_added) {
        RegDeleteKeyA(HKEY_CURRENT_USER, (app + "\\X11 Driver").c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, app.c_str());
    }
}

// ---- files ---------------------------------------------------------------------------

std::string freshFolder(const std::string& name)
{
    std::string folder = joinPath(options().scratch, name);
    support::emptyFolder(folder);
    return folder;
}

HeldFile::HeldFile(const std::string& path)
    : m_handle(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr))
{
    if (m_handle == INVALID_HANDLE_VALUE)
        throw DriverError("cannot hold " + path);
}

HeldFile::~HeldFile() { CloseHandle(m_handle); }

// ---- windows -------------------------------------------------------------------------

LRESULT send(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, 5000, &result))
        throw DriverError("no answer to message " + std::to_string(message) + " (error " +
                          std::to_string(GetLastError()) + ")");
    return static_cast<LRESULT>(result);
}

LRESULT sendWide(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, 5000, &result))
        throw DriverError("no answer to message " + std::to_string(message));
    return static_cast<LRESULT>(result);
}

std::string windowText(HWND window)
{
    if (!window)
        throw DriverError("no such window");
    char text[1024] = {};
    send(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

std::wstring wideText(HWND window)
{
    if (!window)
        throw DriverError("no such window");
    wchar_t text[1024] = {};
    sendWide(window, WM_GETTEXT, sizeof text / sizeof text[0], reinterpret_cast<LPARAM>(text));
    return text;
}

std::wstring widen(const std::string& utf8)
{
    std::wstring out(utf8.size(), L'\0');
    const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()),
                                      &out[0], static_cast<int>(out.size()));
    if (n <= 0 && !utf8.empty())
        throw DriverError("not UTF-8: " + utf8);
    out.resize(static_cast<std::size_t>(n > 0 ? n : 0));
    return out;
}

std::string narrow(const std::wstring& utf16)
{
    std::string out(utf16.size() * 3, '\0');
    const int n = WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()), &out[0],
                                      static_cast<int>(out.size()), nullptr, nullptr);
    out.resize(static_cast<std::size_t>(n > 0 ? n : 0));
    return out;
}

std::string className(HWND window)
{
    char name[256] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

namespace {

// The top-level windows (no parent) or the descendants of parent that keep accepts.
std::vector<HWND> enumerate(HWND parent, const std::function<bool(HWND)>& keep)
{
    struct Search {
        const std::function<bool(HWND)>& keep;
        std::vector<HWND> found;
    } search{keep, {}};
    const WNDENUMPROC visit = [](HWND window, LPARAM param) -> BOOL {
        auto& s = *reinterpret_cast<Search*>(param);
        if (s.keep(window))
            s.found.push_back(window);
        return TRUE;
    };
    if (parent)
        EnumChildWindows(parent, visit, reinterpret_cast<LPARAM>(&search));
    else
        EnumWindows(visit, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace

std::vector<HWND> topWindows(DWORD pid, const char* windowClass, const char* caption)
{
    return enumerate(nullptr, [&](HWND window) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if ((pid && owner != pid) || !IsWindowVisible(window))
            return false;
        if (windowClass && className(window) != windowClass)
            return false;
        if (!caption)
            return true;
        char text[512] = {};
        GetWindowTextA(window, text, sizeof text);
        return std::strcmp(text, caption) == 0;
    });
}

HWND findWindow(DWORD pid, const char* windowClass, const char* caption, DWORD timeoutMs, HWND except)
{
    HWND found = nullptr;
    waitUntil(
        [&] {
            for (HWND w : topWindows(pid, windowClass, caption))
                if (w != except)
                    return (found = w) != nullptr;
            return false;
        },
        timeoutMs);
    if (!found)
        throw DriverError(std::string("no window \"") + (caption ? caption : "(any)") + "\" of class " +
                          (windowClass ? windowClass : "(any)") + " within " + std::to_string(timeoutMs) + " ms");
    return found;
}

void waitGone(HWND window, DWORD timeoutMs)
{
    if (!waitUntil([&] { return !IsWindow(window) || !IsWindowVisible(window); }, timeoutMs))
        throw DriverError("window \"" + windowText(window) + "\" did not close");
}

std::vector<HWND> children(HWND parent)
{
    std::vector<HWND> out;
    for (HWND w = GetWindow(parent, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT))
        out.push_back(w);
    return out;
}

std::vector<HWND> descendants(HWND parent, const char* windowClass)
{
    return enumerate(parent, [&](HWND window) {
        return IsWindowVisible(window) && _stricmp(className(window).c_str(), windowClass) == 0;
    });
}

void clickButton(HWND button)
{
    if (!button)
        throw DriverError("no such button");
    // Posted, not sent: the command may open a modal box, and a sent click would not
    // return until somebody closed it.
    PostMessageA(button, BM_CLICK, 0, 0);
}

// ---- input ---------------------------------------------------------------------------

namespace {

void sendInputs(std::vector<INPUT> inputs)
{
    UINT sent = SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    if (sent != inputs.size())
        throw DriverError("SendInput refused the events");
}

INPUT mouse(DWORD flags, LONG x = 0, LONG y = 0)
{
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dx = x;
    in.mi.dy = y;
    in.mi.dwFlags = flags;
    return in;
}

INPUT key(WORD vk, bool up)
{
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.wScan = static_cast<WORD>(MapVirtualKeyA(vk, MAPVK_VK_TO_VSC));
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return in;
}

}  // namespace

void moveCursor(POINT screen)
{
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    // Absolute coordinates run 0..65535 over the screen; round up so they map back exactly.
    LONG nx = static_cast<LONG>((screen.x * 65536LL + w - 1) / w);
    LONG ny = static_cast<LONG>((screen.y * 65536LL + h - 1) / h);
    sendInputs({mouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, nx, ny)});
    POINT now{};
    if (!waitUntil([&] { return GetCursorPos(&now) && now.x == screen.x && now.y == screen.y; }, 500)) {
        SetCursorPos(screen.x, screen.y);
        if (!waitUntil([&] { return GetCursorPos(&now) && now.x == screen.x && now.y == screen.y; }, 1000))
            throw DriverError("the cursor does not move to the point");
    }
}

void clickAt(HWND window, POINT client, int clicks, Click how)
{
    POINT screen = client;
    ClientToScreen(window, &screen);
    clickScreen(window, screen, clicks, how);
}

void clickScreen(HWND window, POINT screen, int clicks, Click how)
{
    // A tooltip that the mouse comes onto goes away, as it does for a person.
    moveCursor(screen);
    if (window && !waitUntil([&] { return WindowFromPoint(screen) == window; }, 1000))
        throw DriverError("the point to click is not on the window (covered or outside)");
    const bool right = how == Click::right;
    std::vector<INPUT> events;
    if (how == Click::shift)
        events.push_back(key(VK_SHIFT, false));
    for (int i = 0; i < clicks; ++i) {
        events.push_back(mouse(right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN));
        events.push_back(mouse(right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP));
    }
    if (how == Click::shift)
        events.push_back(key(VK_SHIFT, true));
    sendInputs(events);
}

void holdKey(WORD vk, int downs)
{
    std::vector<INPUT> events(static_cast<std::size_t>(downs), key(vk, false));
    events.push_back(key(vk, true));
    sendInputs(events);
}

void pressKey(WORD vk, bool alt, bool shift)
{
    std::vector<INPUT> events;
    if (alt)
        events.push_back(key(VK_MENU, false));
    if (shift)
        events.push_back(key(VK_SHIFT, false));
    events.push_back(key(vk, false));
    events.push_back(key(vk, true));
    if (shift)
        events.push_back(key(VK_SHIFT, true));
    if (alt)
        events.push_back(key(VK_MENU, true));
    sendInputs(events);
}

void typeText(const std::wstring& text)
{
    std::vector<INPUT> events;
    for (wchar_t c : text) {
        for (DWORD up : {DWORD(0), DWORD(KEYEVENTF_KEYUP)}) {
            INPUT in{};
            in.type = INPUT_KEYBOARD;
            in.ki.wScan = c;
            in.ki.dwFlags = KEYEVENTF_UNICODE | up;
            events.push_back(in);
        }
    }
    sendInputs(events);
}

void bringToFront(HWND window)
{
    if (GetForegroundWindow() == window)
        return;
    SetForegroundWindow(window);
    if (!waitUntil([&] { return GetForegroundWindow() == window; }, 2000))
        throw DriverError("cannot bring \"" + windowText(window) + "\" to the front");
}

// ---- what the program's windows are told -------------------------------------------------

CommandSpy::CommandSpy(const App& app)
{
    char name[64];
    spyMemoryName(name, sizeof name, app.threadId());
    m_memory = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(SpyRecord), name);
    m_view = m_memory ? MapViewOfFile(m_memory, FILE_MAP_WRITE, 0, 0, sizeof(SpyRecord)) : nullptr;
    char driver[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, driver, sizeof driver);
    std::string library = driver;
    library = library.substr(0, library.find_last_of("\\/") + 1) + "velquin_command_spy.dll";
    m_library = LoadLibraryA(library.c_str());
    auto procedure = m_library ? reinterpret_cast<HOOKPROC>(
                                     reinterpret_cast<void*>(GetProcAddress(m_library, "spyOnCommands")))
                               : nullptr;
    m_hook = procedure ? SetWindowsHookExA(WH_CALLWNDPROC, procedure, m_library, app.threadId()) : nullptr;
    if (!m_view || !m_hook) {
        release();
        throw DriverError("cannot watch the program's notifications with " + library);
    }
}

CommandSpy::~CommandSpy() { release(); }

void CommandSpy::release()
{
    if (m_hook)
        UnhookWindowsHookEx(m_hook);
    if (m_library)
        FreeLibrary(m_library);
    if (m_view)
        UnmapViewOfFile(m_view);
    if (m_memory)
        CloseHandle(m_memory);
    m_hook = nullptr;
    m_library = nullptr;
    m_view = nullptr;
    m_memory = nullptr;
}

int CommandSpy::count() const { return static_cast<const SpyRecord*>(m_view)->count; }

CommandSpy::Notification CommandSpy::last() const
{
    const auto* record = static_cast<const SpyRecord*>(m_view);
    return Notification{reinterpret_cast<HWND>(record->target), static_cast<WPARAM>(record->wParam),
                        static_cast<LPARAM>(record->lParam)};
}

LOGFONTA CommandSpy::fontOf(HWND window) const
{
    auto* record = static_cast<SpyRecord*>(m_view);
    record->font = LOGFONTA{};
    send(window, spyFontMessage());
    if (!record->font.lfFaceName[0])
        throw DriverError("cannot read the font of a window of the program");
    return record->font;
}

std::vector<CommandSpy::MenuItem> CommandSpy::menu(HWND menuWindow) const
{
    auto* record = static_cast<SpyRecord*>(m_view);
    record->menuItems = -1;
    send(menuWindow, spyMenuMessage());
    if (record->menuItems < 0)
        throw DriverError("the menu window did not describe its items");
    std::vector<MenuItem> items;
    for (LONG i = 0; i < record->menuItems; ++i) {
        const SpyMenuItem& item = record->menu[i];
        items.push_back({narrow(item.text), (item.state & MFS_GRAYED) != 0, (item.state & MFS_DEFAULT) != 0,
                         item.screen});
    }
    return items;
}

void CommandSpy::standInForShell(HWND programWindow) const { send(programWindow, spyShellMessage()); }

CommandSpy::Started CommandSpy::started() const
{
    const auto* record = static_cast<const SpyRecord*>(m_view);
    return {static_cast<int>(record->started), narrow(record->startKind), narrow(record->startVerb),
            narrow(record->startFile)};
}

std::pair<int, std::string> CommandSpy::announced() const
{
    const auto* record = static_cast<const SpyRecord*>(m_view);
    return {static_cast<int>(record->announced), narrow(record->announcement)};
}

}  // namespace gui
