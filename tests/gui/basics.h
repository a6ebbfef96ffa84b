#pragma once
// The driver's basics (basics.cpp): its errors and options, paths between Linux and
// Windows, Linux programs, files, windows and their messages, waits, the real mouse and
// keyboard, and the spy on what the program's windows are told.

#include <windows.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/files.h"
#include "tests/support/model.h"

namespace gui {

using support::Bytes;
using support::fileExists;
using support::joinPath;
using support::listFolder;
using support::ListItem;
using support::makeFolder;
using support::randomBytes;
using support::readFile;
using support::removeFile;
using support::writeFile;

struct DriverError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// What the command line gave the driver, as Windows paths.
struct Options {
    std::string exe;      // Velquin.exe under test
    std::string scratch;  // a folder the driver may fill and empty
    // A file that opens but fails every read, as a failing disk does (VELQUIN_UNREADABLE).
    std::string unreadable;
    // An empty folder on a file system with little room (VELQUIN_FULL_DISK).
    std::string fullDisk;
    // Python and xdnd_drop.py as Linux paths (VELQUIN_XDND: "<python3> <script>").
    std::string xdnd;
    // The control build and libraries to plant beside a program (VELQUIN_PLANTED).
    std::string planted;
};
Options& options();

// A timed line on stderr when VELQUIN_GUI_TRACE is set.
void trace(const std::string& what);

// A Linux path (/...) as Wine shows it to Windows programs (Z:\...); others unchanged.
std::string windowsPath(const std::string& path);
// A Windows path on drive Z: as Linux sees it, or, as a file URI, percent-encoded.
std::string linuxPath(const std::string& path, bool uri = false);
// Runs a Linux program, commandLine whole, and returns what it wrote to done once it has
// written it (within timeoutMs).
std::string runLinuxProgram(const std::string& program, std::string commandLine, const std::string& done,
                            const std::string& what, DWORD timeoutMs = 15000);

// The clipboard's text, as a user copies and pastes it.
void setClipboardText(const std::wstring& text);
std::wstring clipboardText();
// Holds the clipboard open for the scope, as clipboard managers do for a moment.
struct ClipboardHeld {
    explicit ClipboardHeld(bool hold);
    ~ClipboardHeld() { if (held) CloseClipboard(); }
    bool held;
};

// While it lives, Wine shows the windows of programs with these file names without
// handing them to a window manager. With none running (Xvfb), Wine would otherwise wait
// two seconds for one at every window that closes.
class UnmanagedWindows {
public:
    explicit UnmanagedWindows(const std::vector<std::string>& exeNames);
    ~UnmanagedWindows();
    UnmanagedWindows(const UnmanagedWindows&) = delete;
    UnmanagedWindows& operator=(const UnmanagedWindows&) = delete;

private:
    std::vector<std::string> m_added;  // keys to remove again
};

// ---- files (the rest are tests/support's) -----------------------------------------------

// An empty folder of its own for one test, inside the scratch folder.
std::string freshFolder(const std::string& name);

// A file held open by the driver with no sharing, as another program might hold it.
class HeldFile {
public:
    explicit HeldFile(const std::string& path);
    ~HeldFile();
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;

private:
    HANDLE m_handle;
};

// ---- windows -------------------------------------------------------------------------

// Sends a message with a timeout, so a hung program fails the test instead of the driver.
LRESULT send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
LRESULT sendWide(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
std::string windowText(HWND window);
// The text as the window holds it, in UTF-16, untouched by any code page.
std::wstring wideText(HWND window);
// UTF-8, as the driver's own strings are, to UTF-16 and back.
std::wstring widen(const std::string& utf8);
std::string narrow(const std::wstring& utf16);
std::string className(HWND window);
// Visible top-level windows of process pid with that class and caption (nullptr: any).
std::vector<HWND> topWindows(DWORD pid, const char* windowClass, const char* caption);
// Waits for exactly such a window to appear; throws after timeoutMs.
HWND findWindow(DWORD pid, const char* windowClass, const char* caption, DWORD timeoutMs = 10000,
                HWND except = nullptr);
void waitGone(HWND window, DWORD timeoutMs = 5000);
// Child windows in z-order, which for a dialog is its template order.
std::vector<HWND> children(HWND parent);
// Every visible descendant of class windowClass.
std::vector<HWND> descendants(HWND parent, const char* windowClass);
// Presses a push button the way BM_CLICK does, without waiting for what it starts.
void clickButton(HWND button);
// Polls pred every 20 ms until it holds or timeoutMs pass.
template <class Pred>
bool waitUntil(Pred pred, DWORD timeoutMs = 3000)
{
    const DWORD start = GetTickCount();
    for (;;) {
        if (pred())
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(20);  // stays: the poll's pause between two looks at the state
    }
}

// ---- input (the real mouse and keyboard, through SendInput) ----------------------------

enum class Click { plain, shift, right };
void clickAt(HWND window, POINT client, int clicks = 1, Click how = Click::plain);
// window null: wherever the point is (a menu's item).
void clickScreen(HWND window, POINT screen, int clicks = 1, Click how = Click::plain);
void pressKey(WORD vk, bool alt = false, bool shift = false);
// Holds a key down for downs key-downs, as its repeat makes them, then lets it go.
void holdKey(WORD vk, int downs);
// Types text into whatever has the keyboard focus, one Unicode character a key.
void typeText(const std::wstring& text);
void bringToFront(HWND window);

// ---- what the program's windows are told -------------------------------------------------

class App;

// While it lives, counts the check-change notifications (WM_COMMAND with code 40) that
// windows of the program's thread receive, through a hook library in that thread, which
// also reads the program's fonts.
class CommandSpy {
public:
    explicit CommandSpy(const App& app);
    ~CommandSpy();
    CommandSpy(const CommandSpy&) = delete;
    CommandSpy& operator=(const CommandSpy&) = delete;

    struct Notification {
        HWND target = nullptr;  // the window told
        WPARAM wParam = 0;
        LPARAM lParam = 0;
    };
    int count() const;
    Notification last() const;
    // The font of one of the program's windows, as the program sees it.
    LOGFONTA fontOf(HWND window) const;

    // The items of the program's menu window, as the program holds them.
    struct MenuItem {
        std::string text;
        bool grayed, isDefault;
        RECT screen;
    };
    std::vector<MenuItem> menu(HWND menuWindow) const;
    // From now on what the program starts through the shell is recorded, not started, and
    // so are its notifications to screen readers.
    void standInForShell(HWND programWindow) const;
    struct Started {
        int count = 0;
        std::string kind, verb, file;  // kind "open" (verb, file) or "select" (file)
    };
    Started started() const;
    // How many notifications, and the last one's text.
    std::pair<int, std::string> announced() const;

private:
    void release();

    HANDLE m_memory = nullptr;
    void* m_view = nullptr;
    HMODULE m_library = nullptr;
    HHOOK m_hook = nullptr;
};

}  // namespace gui
