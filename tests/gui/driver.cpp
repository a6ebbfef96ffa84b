#include "driver.h"

#include "command_spy.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>

#include "framework/win32/checklistbox_word.h"

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

}  // namespace

void clickAt(HWND window, POINT client, int clicks)
{
    POINT screen = client;
    ClientToScreen(window, &screen);
    clickScreen(window, screen, clicks);
}

void hoverAt(HWND window, POINT client)
{
    POINT screen = client;
    ClientToScreen(window, &screen);
    moveCursor(screen);
}

void clickScreen(HWND window, POINT screen, int clicks)
{
    // A tooltip that the mouse comes onto goes away, as it does for a person.
    moveCursor(screen);
    if (!waitUntil([&] { return WindowFromPoint(screen) == window; }, 1000))
        throw DriverError("the point to click is not on the window (covered or outside)");
    std::vector<INPUT> events;
    for (int i = 0; i < clicks; ++i) {
        events.push_back(mouse(MOUSEEVENTF_LEFTDOWN));
        events.push_back(mouse(MOUSEEVENTF_LEFTUP));
    }
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

// ---- the screen ------------------------------------------------------------------------

bool Pixels::uniform() const
{
    return std::all_of(rgb.begin(), rgb.end(), [&](std::uint32_t p) { return p == rgb.front(); });
}

namespace {

// A top-down 32-bit bitmap selected into a memory DC.
class Canvas {
public:
    Canvas(int width, int height) : m_width(width), m_height(height)
    {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        m_dc = CreateCompatibleDC(nullptr);
        m_bitmap = CreateDIBSection(m_dc, &info, DIB_RGB_COLORS, &m_bits, nullptr, 0);
        if (!m_dc || !m_bitmap)
            throw DriverError("cannot create a bitmap");
        m_old = SelectObject(m_dc, m_bitmap);
    }
    ~Canvas()
    {
        SelectObject(m_dc, m_old);
        DeleteObject(m_bitmap);
        DeleteDC(m_dc);
    }
    HDC dc() const { return m_dc; }
    Pixels pixels() const
    {
        GdiFlush();
        Pixels p;
        p.width = m_width;
        p.height = m_height;
        const auto* bits = static_cast<const std::uint32_t*>(m_bits);
        p.rgb.assign(bits, bits + m_width * m_height);
        for (auto& v : p.rgb)
            v &= 0xFFFFFF;
        return p;
    }

private:
    int m_width, m_height;
    HDC m_dc = nullptr;
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_old = nullptr;
    void* m_bits = nullptr;
};

}  // namespace

Pixels paint(int width, int height, const std::function<void(HDC)>& draw)
{
    Canvas canvas(width, height);
    draw(canvas.dc());
    return canvas.pixels();
}

// Whether a tooltip that shows covers part of a screen rectangle.
bool tooltipOver(const RECT& screen)
{
    for (HWND tip = FindWindowExA(nullptr, nullptr, "tooltips_class32", nullptr); tip;
         tip = FindWindowExA(nullptr, tip, "tooltips_class32", nullptr)) {
        RECT shown, common;
        if (IsWindowVisible(tip) && GetWindowRect(tip, &shown) && IntersectRect(&common, &shown, &screen))
            return true;
    }
    return false;
}

void clearTooltips(const RECT& screen)
{
    // A tooltip goes once the mouse leaves what it explains, as a person would move it.
    if (tooltipOver(screen)) {
        moveCursor({0, 0});
        if (!waitUntil([&] { return !tooltipOver(screen); }, 3000))
            throw DriverError("a tooltip stays over the place");
    }
}

Pixels capture(HWND window, RECT client)
{
    POINT origin{client.left, client.top};
    ClientToScreen(window, &origin);
    const int w = client.right - client.left, h = client.bottom - client.top;
    clearTooltips({origin.x, origin.y, origin.x + w, origin.y + h});
    Canvas canvas(w, h);
    HDC screen = GetDC(nullptr);
    BitBlt(canvas.dc(), 0, 0, w, h, screen, origin.x, origin.y, SRCCOPY);
    ReleaseDC(nullptr, screen);
    return canvas.pixels();
}

const char* iconName(IconKind kind)
{
    switch (kind) {
    case IconKind::none: return "none";
    case IconKind::question: return "question";
    case IconKind::stop: return "stop";
    case IconKind::exclamation: return "exclamation";
    case IconKind::information: return "information";
    case IconKind::unknown: break;
    }
    return "unknown";
}

namespace {

// Which system icon the box shows: draws each candidate over the box's own background
// and takes the one that matches what is on screen.
IconKind classifyIcon(HWND box)
{
    HWND iconStatic = nullptr;
    for (HWND w : children(box))
        if (IsWindowVisible(w) && _stricmp(className(w).c_str(), "Static") == 0 &&
            (GetWindowLongA(w, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
            iconStatic = w;
    if (!iconStatic)
        return IconKind::none;
    RECT rc;
    GetClientRect(iconStatic, &rc);
    if (rc.right <= 0 || rc.bottom <= 0)
        return IconKind::none;

    const struct {
        IconKind kind;
        LPCSTR id;
    } candidates[] = {{IconKind::question, IDI_QUESTION},
                      {IconKind::stop, IDI_HAND},
                      {IconKind::exclamation, IDI_EXCLAMATION},
                      {IconKind::information, IDI_ASTERISK}};
    IconKind best = IconKind::unknown;
    waitUntil(
        [&] {
            Pixels shown = capture(iconStatic, rc);
            if (shown.uniform())
                return false;  // not painted yet
            double bestScore = 1e18, secondScore = 1e18;
            IconKind bestKind = IconKind::unknown;
            for (const auto& c : candidates) {
                Canvas canvas(rc.right, rc.bottom);
                const std::uint32_t bg = shown.rgb.front();
                HBRUSH brush = CreateSolidBrush(RGB(bg >> 16, (bg >> 8) & 0xFF, bg & 0xFF));
                FillRect(canvas.dc(), &rc, brush);
                DeleteObject(brush);
                DrawIconEx(canvas.dc(), 0, 0, LoadIconA(nullptr, c.id), rc.right, rc.bottom, 0, nullptr, DI_NORMAL);
                Pixels drawn = canvas.pixels();
                double score = 0;
                for (std::size_t i = 0; i < drawn.rgb.size(); ++i)
                    for (int shift : {0, 8, 16})
                        score += std::abs(int((drawn.rgb[i] >> shift) & 0xFF) - int((shown.rgb[i] >> shift) & 0xFF));
                score /= static_cast<double>(drawn.rgb.size());
                if (score < bestScore) {
                    secondScore = bestScore;
                    bestScore = score;
                    bestKind = c.kind;
                } else if (score < secondScore) {
                    secondScore = score;
                }
            }
            if (bestScore < 12 && bestScore * 2 < secondScore) {
                best = bestKind;
                return true;
            }
            return false;
        },
        3000);
    return best;
}

}  // namespace

// ---- Velquin ---------------------------------------------------------------------------

std::string exeFileName(const std::string& exePath) { return exePath.substr(exePath.find_last_of("\\/") + 1); }

std::string exeTitle(const std::string& exePath)
{
    std::string name = exeFileName(exePath);
    std::size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot != 0)
        name.erase(dot);
    return name;
}

App::App(const std::string& exe) : reportCaption(exeTitle(exe))
{
    // The driver is the program's debugger, so that a crash ends the program at once and
    // is reported here, instead of starting Wine's debugger, which would wait forever.
    HANDLE started = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD startError = 0;
    m_watcher = std::thread([this, exe, started, &startError] {
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        std::string command = "\"" + exe + "\"";
        if (!CreateProcessA(exe.c_str(), &command[0], nullptr, nullptr, FALSE, DEBUG_ONLY_THIS_PROCESS, nullptr,
                            options().scratch.c_str(), &startup, &m_info))
            startError = GetLastError() ? GetLastError() : 1;
        SetEvent(started);
        if (!startError)
            watch();
    });
    WaitForSingleObject(started, INFINITE);
    CloseHandle(started);
    if (startError) {
        m_watcher.join();
        throw DriverError("cannot start " + exe + " (error " + std::to_string(startError) + ")");
    }
    trace("started " + exe);
    try {
        m_main = findWindow(pid(), "#32770", kMainCaption, 30000);
        settle();
    } catch (...) {
        end();
        throw;
    }
    trace("main window up");
}

void App::watch()
{
    for (;;) {
        DEBUG_EVENT event{};
        if (!WaitForDebugEvent(&event, 200)) {
            if (m_stopWatching)
                return;
            continue;
        }
        DWORD status = DBG_CONTINUE;
        switch (event.dwDebugEventCode) {
        case CREATE_PROCESS_DEBUG_EVENT:
            if (event.u.CreateProcessInfo.hFile)
                CloseHandle(event.u.CreateProcessInfo.hFile);
            break;
        case LOAD_DLL_DEBUG_EVENT:
            if (event.u.LoadDll.hFile)
                CloseHandle(event.u.LoadDll.hFile);
            break;
        case EXCEPTION_DEBUG_EVENT: {
            const EXCEPTION_RECORD& record = event.u.Exception.ExceptionRecord;
            if (record.ExceptionCode == EXCEPTION_BREAKPOINT && !m_sawLoaderBreakpoint) {
                m_sawLoaderBreakpoint = true;  // every debugged process starts with one
            } else if (event.u.Exception.dwFirstChance) {
                status = DBG_EXCEPTION_NOT_HANDLED;  // the program's own handlers come first
            } else {
                char text[128];
                std::snprintf(text, sizeof text, "the program crashed: exception 0x%08lX at %p",
                              static_cast<unsigned long>(record.ExceptionCode), record.ExceptionAddress);
                {
                    std::lock_guard<std::mutex> lock(m_crashLock);
                    m_crash = text;
                }
                TerminateProcess(m_info.hProcess, 3);
                status = DBG_EXCEPTION_NOT_HANDLED;
            }
            break;
        }
        default:
            break;
        }
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId, status);
        if (event.dwDebugEventCode == EXIT_PROCESS_DEBUG_EVENT)
            return;
    }
}

std::string App::crash() const
{
    std::lock_guard<std::mutex> lock(m_crashLock);
    return m_crash;
}

App::~App() { end(); }

void App::end()
{
    if (m_info.hProcess) {
        if (WaitForSingleObject(m_info.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(m_info.hProcess, 255);
            WaitForSingleObject(m_info.hProcess, 10000);
        }
    }
    m_stopWatching = true;
    if (m_watcher.joinable())
        m_watcher.join();
    if (!crash().empty())
        ADD_FAILURE() << crash();
    if (m_info.hProcess) {
        CloseHandle(m_info.hThread);
        CloseHandle(m_info.hProcess);
        m_info = PROCESS_INFORMATION{};
    }
}

HWND App::item(int id) const
{
    HWND w = GetDlgItem(m_main, id);
    if (!w)
        throw DriverError("the main window has no control " + std::to_string(id));
    return w;
}

HWND App::focus() const
{
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(m_info.dwThreadId, &info))
        throw DriverError("cannot read the program's focus");
    return info.hwndFocus;
}

void App::settle() const
{
    // Input goes through the program's queue; a round trip of a sent message and a
    // short pause let it drain before the driver looks at the result.
    Sleep(60);
    send(m_main, WM_NULL);
    Sleep(60);
    send(m_main, WM_NULL);
}

HWND App::openFileDialog(int browseButton)
{
    clickButton(item(browseButton));
    return waitFileDialog();
}

HWND App::waitFileDialog()
{
    HWND dialog = nullptr;
    if (!waitUntil(
            [&] {
                for (HWND w : topWindows(pid(), "#32770", nullptr))
                    if (w != m_main && GetWindow(w, GW_OWNER) == m_main && GetDlgItem(w, IDOK) &&
                        GetDlgItem(w, IDCANCEL) && !descendants(w, "Edit").empty())
                        return (dialog = w) != nullptr;
                return false;
            },
            15000))
        throw DriverError("no file dialog");
    return dialog;
}

namespace {

HWND fileNameEdit(HWND dialog)
{
    std::vector<HWND> edits = descendants(dialog, "Edit");
    for (HWND e : edits)
        if (GetDlgCtrlID(e) == 0x480 || GetDlgCtrlID(GetParent(e)) == 0x47C)  // edt1, cmb13
            return e;
    if (edits.empty())
        throw DriverError("the file dialog has no file name box");
    return edits.front();
}

// A #32770 box owned by owner, if one is up.
HWND boxOwnedBy(DWORD pid, HWND owner)
{
    for (HWND w : topWindows(pid, "#32770", nullptr))
        if (GetWindow(w, GW_OWNER) == owner)
            return w;
    return nullptr;
}

std::string boxText(HWND box)
{
    HWND text = GetDlgItem(box, 0xFFFF);
    return text ? windowText(text) : std::string();
}

}  // namespace

void App::confirmFileDialog(HWND dialog, const std::string& path, bool expectReplaceQuestion, bool typed)
{
    HWND edit = fileNameEdit(dialog);
    if (typed) {
        send(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
        bringToFront(dialog);
        if (!waitUntil([&] { return focus() == edit; }))
            throw DriverError("the file name box does not have the focus");
        typeText(widen(path));
        if (!waitUntil([&] { return wideText(edit) == widen(path); }))
            throw DriverError("the file name box shows \"" + narrow(wideText(edit)) + "\" after typing " + path);
    } else {
        send(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
        if (windowText(edit) != path)
            throw DriverError("the file name box does not take the path");
    }
    clickButton(GetDlgItem(dialog, IDOK));

    bool asked = false;
    const DWORD start = GetTickCount();
    while (IsWindow(dialog) && IsWindowVisible(dialog)) {
        if (HWND box = boxOwnedBy(pid(), dialog)) {
            std::string question = boxText(box);
            if (expectReplaceQuestion && !asked && GetDlgItem(box, IDYES)) {
                asked = true;
                clickButton(GetDlgItem(box, IDYES));
                waitGone(box);
                continue;
            }
            clickButton(GetDlgItem(box, GetDlgItem(box, IDOK) ? IDOK : IDNO));
            waitGone(box);
            clickButton(GetDlgItem(dialog, IDCANCEL));
            waitGone(dialog);
            throw DriverError("the file dialog refused " + path + ": " + question);
        }
        if (GetTickCount() - start > 15000)
            throw DriverError("the file dialog did not close after OK");
        Sleep(20);
    }
    if (expectReplaceQuestion && !asked)
        throw DriverError("the save dialog did not ask before replacing " + path);
}

void App::startFile(int browseButton, const std::string& path)
{
    trace("choose " + path);
    HWND dialog = openFileDialog(browseButton);
    trace("dialog up");
    confirmFileDialog(dialog, path, false);
    trace("dialog closed");
}

void App::chooseFile(int browseButton, const std::string& path)
{
    startFile(browseButton, path);
    settle();
}

void App::typeFile(int browseButton, const std::string& path, bool replace)
{
    trace("type " + path);
    confirmFileDialog(openFileDialog(browseButton), path, replace, true);
    settle();
}

void App::chooseExistingDestination(const std::string& path)
{
    confirmFileDialog(openFileDialog(IDC_BROWSE_DEST), path, true);
    settle();
}

void App::cancelFile(int browseButton, const std::string& path)
{
    HWND dialog = openFileDialog(browseButton);
    send(fileNameEdit(dialog), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    clickButton(GetDlgItem(dialog, IDCANCEL));
    waitGone(dialog);
    settle();
}

std::vector<ListItem> App::list() const
{
    HWND box = item(IDC_HUNK_LIST);
    const LRESULT count = send(box, LB_GETCOUNT);
    if (count < 0)
        throw DriverError("the list does not give its count");
    std::vector<ListItem> items;
    for (LRESULT i = 0; i < count; ++i) {
        ListItem it;
        // Asked in UTF-16: between processes Wine hands LB_GETTEXT over as wide text.
        const LRESULT length = sendWide(box, LB_GETTEXTLEN, i);
        if (length < 0 || length > 1000)
            throw DriverError("bad label length");
        std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
        const LRESULT got = sendWide(box, LB_GETTEXT, i, reinterpret_cast<LPARAM>(&text[0]));
        text.resize(got < 0 ? 0 : static_cast<std::size_t>(got));
        for (wchar_t c : text)
            it.label += c < 0x80 ? static_cast<char>(c) : '?';
        const auto word = static_cast<ULONG_PTR>(send(box, LB_GETITEMDATA, i));
        it.data = ItemDataOfWord(word);
        it.check = CheckOfWord(word);
        items.push_back(it);
    }
    return items;
}

std::vector<int> App::checks() const
{
    const LRESULT count = send(item(IDC_HUNK_LIST), LB_GETCOUNT);
    std::vector<int> out;
    for (int i = 0; i < count; ++i)
        out.push_back(check(i));
    return out;
}

int App::check(int index) const
{
    return CheckOfWord(static_cast<ULONG_PTR>(send(item(IDC_HUNK_LIST), LB_GETITEMDATA, index)));
}

void App::showRow(int index)
{
    // As a person would: the scroll bar's arrows, one line a click.
    HWND box = item(IDC_HUNK_LIST);
    // The scroll bar runs down the right of the client area, as tall as it.
    RECT inner;
    GetClientRect(box, &inner);
    MapWindowPoints(box, nullptr, reinterpret_cast<POINT*>(&inner), 2);
    const int arrowX = inner.right + GetSystemMetrics(SM_CXVSCROLL) / 2;
    const int arrowHeight = GetSystemMetrics(SM_CYVSCROLL);
    for (int tries = 0; tries < 100; ++tries) {
        const int top = static_cast<int>(send(box, LB_GETTOPINDEX));
        const int height = static_cast<int>(send(box, LB_GETITEMHEIGHT, 0));
        RECT client;
        GetClientRect(box, &client);
        const int rows = height > 0 ? client.bottom / height : 0;
        if (index >= top && index < top + rows)
            return;
        const bool down = index >= top + rows;
        const POINT arrow{arrowX, down ? inner.bottom - arrowHeight / 2 : inner.top + arrowHeight / 2};
        clickScreen(box, arrow);
        if (!waitUntil([&] { return send(box, LB_GETTOPINDEX) != top; }, 2000))
            throw DriverError("the list does not scroll to row " + std::to_string(index));
        Sleep(GetDoubleClickTime() / 4);
    }
    throw DriverError("row " + std::to_string(index) + " does not come into view");
}

RECT App::rowRect(int index) const
{
    HWND box = item(IDC_HUNK_LIST);
    const int top = static_cast<int>(send(box, LB_GETTOPINDEX));
    const int height = static_cast<int>(send(box, LB_GETITEMHEIGHT, 0));
    RECT client;
    GetClientRect(box, &client);
    RECT row{0, (index - top) * height, client.right, (index - top + 1) * height};
    if (row.top < 0 || row.bottom > client.bottom)
        throw DriverError("row " + std::to_string(index) + " is not in view");
    return row;
}

void App::clickRow(int index, int x, int clicks)
{
    // Two single clicks on one row in quick succession would make a double click.
    const DWORD pause = GetDoubleClickTime() + 100;
    if (index == m_lastRow && GetTickCount() - m_lastClick < pause)
        Sleep(pause - (GetTickCount() - m_lastClick));
    showRow(index);
    const RECT row = rowRect(index);
    clickAt(item(IDC_HUNK_LIST), POINT{x, (row.top + row.bottom) / 2}, clicks);
    m_lastRow = index;
    m_lastClick = GetTickCount();
    settle();
}

Pixels App::checkBoxPixels(int index) const
{
    // The inside of the 11-pixel box only: the focus rectangle runs along the row's edges.
    const RECT row = rowRect(index);
    const int middle = (row.top + row.bottom) / 2;
    return capture(item(IDC_HUNK_LIST), RECT{3, middle - 3, 10, middle + 4});
}

std::string App::tipAt(HWND window, POINT point, const std::string& expected) const
{
    std::string shown;
    auto showing = [&] {
        for (HWND tip : topWindows(pid(), "tooltips_class32", nullptr))
            if ((shown = windowText(tip)) == expected || (expected.empty() && !shown.empty()))
                return true;
        return false;
    };
    // A resting hand still stirs the mouse: a pixel aside and back, as a motion the
    // window system dropped under load is made again.
    for (int stir = 0; stir < 3; ++stir) {
        hoverAt(window, {point.x + stir % 2, point.y});
        if (waitUntil(showing, 2500))
            break;
    }
    return shown;
}

HWND App::reportBox() const
{
    // Any message box will do: its caption is part of what the caller checks.
    for (HWND w : topWindows(pid(), "#32770", nullptr))
        if (w != m_main && GetDlgItem(w, 0xFFFF))
            return w;
    return nullptr;
}

Report App::waitForReport(DWORD timeoutMs, int answer)
{
    HWND box = nullptr;
    if (!waitUntil([&] { return (box = reportBox()) != nullptr; }, timeoutMs))
        throw DriverError("no report within " + std::to_string(timeoutMs) + " ms");
    Report r;
    r.caption = windowText(box);
    if (!waitUntil([&] { return !boxText(box).empty(); }, 2000))
        throw DriverError("the report shows no text");
    r.text = boxText(box);
    r.ownerDisabled = GetWindow(box, GW_OWNER) == m_main && !IsWindowEnabled(m_main);
    trace("report: " + r.text);
    r.icon = classifyIcon(box);
    trace(std::string("icon: ") + iconName(r.icon));
    HWND ok = GetDlgItem(box, IDOK);
    if (answer != IDOK) {
        if (ok || !GetDlgItem(box, IDYES) || !GetDlgItem(box, IDNO) || GetDlgItem(box, IDCANCEL))
            throw DriverError("the question \"" + r.text + "\" has buttons other than Yes and No");
        if ((GetWindowLongA(GetDlgItem(box, IDNO), GWL_STYLE) & BS_TYPEMASK) != BS_DEFPUSHBUTTON)
            throw DriverError("the question \"" + r.text + "\" does not default to No");
        ok = GetDlgItem(box, answer);
    } else if (!ok || windowText(ok) != "OK" || GetDlgItem(box, IDCANCEL) || GetDlgItem(box, IDYES)) {
        throw DriverError("the report \"" + r.text + "\" has buttons other than a single OK");
    }
    clickButton(ok);
    waitGone(box);
    if (!waitUntil([&] { return IsWindowEnabled(m_main) != FALSE; }, 2000))
        throw DriverError("the main window stays disabled after the report");
    settle();
    return r;
}

Report App::patch()
{
    clickButton(item(IDOK));
    return waitForReport();
}

void App::expectNoReport() const
{
    Sleep(250);
    for (HWND w : topWindows(pid(), "#32770", nullptr))
        if (w != m_main)
            throw DriverError("unexpected window \"" + windowText(w) + "\": " + boxText(w));
}

HWND App::openAbout(WPARAM command)
{
    PostMessageA(m_main, WM_SYSCOMMAND, command, 0);
    return findWindow(pid(), "#32770", kAboutCaption, 10000);
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

void App::drop(POINT client, const std::vector<std::string>& paths)
{
    const std::size_t space = options().xdnd.find(' ');
    if (space == std::string::npos)
        throw DriverError("VELQUIN_XDND does not say how to drop files");
    const std::string done = joinPath(options().scratch, "drop.done");
    DeleteFileA(done.c_str());
    ClientToScreen(m_main, &client);
    clearTooltips({client.x, client.y, client.x + 1, client.y + 1});
    std::string command = "python3 " + options().xdnd.substr(space + 1) + " " + std::to_string(client.x) + " " +
                          std::to_string(client.y) + " " + linuxPath(done, false);
    for (const std::string& path : paths)
        command += " " + linuxPath(path, true);
    trace("drop: " + command);
    // The drop ends by itself within 10 s.
    const std::string said = runLinuxProgram(options().xdnd.substr(0, space), command, done, "the drop");
    if (said != "dropped")
        throw DriverError("drop: " + said);
    settle();
}

std::string runLinuxProgram(const std::string& program, std::string commandLine, const std::string& done,
                            const std::string& what)
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
    if (!waitUntil([&] { return fileExists(done); }, 15000))
        throw DriverError(what + " did not finish");
    const Bytes said = readFile(done);
    return std::string(said.begin(), said.end());
}

bool App::closeWithEsc(DWORD timeoutMs)
{
    bringToFront(m_main);
    pressKey(VK_ESCAPE);
    return waitExit(timeoutMs);
}

bool App::waitExit(DWORD timeoutMs) { return WaitForSingleObject(m_info.hProcess, timeoutMs) == WAIT_OBJECT_0; }

// ---- the screen's DPI ----------------------------------------------------------------------

int screenDpi()
{
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

int scaledToScreen(int pixels96) { return MulDiv(pixels96, screenDpi(), 96); }

namespace {

// The program's file as a module of resources, loaded for the scope.
class ProgramResources {
public:
    ProgramResources() : m_module(LoadLibraryExA(options().exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE))
    {
        if (!m_module)
            throw DriverError("cannot read the program's resources");
    }
    ~ProgramResources() { FreeLibrary(m_module); }
    ProgramResources(const ProgramResources&) = delete;
    ProgramResources& operator=(const ProgramResources&) = delete;

    HMODULE get() const { return m_module; }

private:
    HMODULE m_module;
};

}  // namespace

RECT dialogUnitsToPixels(int templateId, RECT units)
{
    // A hidden dialog of the driver's own from the template gets the program's font in
    // the same prefix; the program's dialog cannot be asked from another process.
    ProgramResources program;
    HWND dialog = CreateDialogParamA(program.get(), MAKEINTRESOURCEA(templateId), nullptr,
                                     [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
    if (!dialog)
        throw DriverError("cannot create dialog " + std::to_string(templateId) + " from the template");
    const BOOL mapped = MapDialogRect(dialog, &units);
    DestroyWindow(dialog);
    if (!mapped)
        throw DriverError("cannot map dialog units");
    return units;
}

Pixels bitmapResource(int id)
{
    ProgramResources program;
    HBITMAP bitmap = static_cast<HBITMAP>(
        LoadImageA(program.get(), MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (!bitmap)
        throw DriverError("no bitmap " + std::to_string(id) + " in the program");
    BITMAP info{};
    GetObjectA(bitmap, sizeof info, &info);
    Canvas canvas(info.bmWidth, info.bmHeight);
    HDC source = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(source, bitmap);
    BitBlt(canvas.dc(), 0, 0, info.bmWidth, info.bmHeight, source, 0, 0, SRCCOPY);
    SelectObject(source, old);
    DeleteDC(source);
    DeleteObject(bitmap);
    return canvas.pixels();
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

}  // namespace gui
