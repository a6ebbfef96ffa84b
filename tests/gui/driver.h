#pragma once
// Drives the real Velquin.exe through its windows, as a person would: it starts the
// program, finds its windows, clicks, types, reads what is shown and closes it again.
// Every wait has a timeout; a helper that gives up throws DriverError, which fails the
// test and lets the App destructor end the program.

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "app/resource.h"
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
// written it (within 15 s).
std::string runLinuxProgram(const std::string& program, std::string commandLine, const std::string& done,
                            const std::string& what);

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
        Sleep(20);
    }
}

// ---- input (the real mouse and keyboard, through SendInput) ----------------------------

void clickAt(HWND window, POINT client, int clicks = 1);
void clickScreen(HWND window, POINT screen, int clicks = 1);
// Moves the mouse to a point of window and lets it rest there.
void hoverAt(HWND window, POINT client);
void pressKey(WORD vk, bool alt = false, bool shift = false);
// Types text into whatever has the keyboard focus, one Unicode character a key.
void typeText(const std::wstring& text);
void bringToFront(HWND window);

// ---- the screen ------------------------------------------------------------------------

// The pixels of a client rectangle as shown on screen, one 0x00RRGGBB word each.
struct Pixels {
    int width = 0, height = 0;
    std::vector<std::uint32_t> rgb;
    bool operator==(const Pixels& other) const
    {
        return width == other.width && height == other.height && rgb == other.rgb;
    }
    bool operator!=(const Pixels& other) const { return !(*this == other); }
    bool uniform() const;
};
Pixels capture(HWND window, RECT client);
// What draw paints on a width by height bitmap of the screen's kind.
Pixels paint(int width, int height, const std::function<void(HDC)>& draw);

enum class IconKind { none, question, stop, exclamation, information, unknown };
const char* iconName(IconKind kind);

// ---- Velquin ---------------------------------------------------------------------------

constexpr const char* kMainCaption = "Velquin 1.0";
constexpr const char* kAboutCaption = "About Velquin";
// The name a copy of the program gets to show that reports follow the file name.
constexpr const char* kRenamedExe = "Quin.Tool ゲーム.exe";

struct Report {
    std::string caption;
    std::string text;
    IconKind icon = IconKind::unknown;
    bool ownerDisabled = false;  // the main window took no input while the box was up
};

// One running Velquin.exe. The destructor makes sure it has ended.
class App {
public:
    explicit App(const std::string& exe = options().exe);
    ~App();
    App(const App&) = delete;
    App& operator=(const App&) = delete;

    DWORD pid() const { return m_info.dwProcessId; }
    DWORD threadId() const { return m_info.dwThreadId; }
    HWND main() const { return m_main; }
    HWND item(int id) const;
    std::string text(int id) const { return windowText(item(id)); }
    // The window that has the keyboard focus in the program's thread.
    HWND focus() const;
    // Waits until the program has handled the input sent so far.
    void settle() const;

    // The title every report carries: the executable's name without its extension.
    std::string reportCaption;

    // Browse dialogs, filled in with a full path and confirmed with OK.
    void chooseFile(int browseButton, const std::string& path);
    // The same, the path typed key by key as Unicode characters; replace answers the
    // save dialog's question about an existing file with Yes.
    void typeFile(int browseButton, const std::string& path, bool replace = false);
    // Confirms path in the dialog and returns as soon as the dialog has gone, without
    // waiting for the command to end.
    void startFile(int browseButton, const std::string& path);
    // Opens the dialog of browseButton, types path without confirming, and cancels.
    void cancelFile(int browseButton, const std::string& path);
    // The open or save dialog that a Browse command shows.
    HWND waitFileDialog();
    // Handles the Save dialog's "replace it?" question with Yes.
    void chooseExistingDestination(const std::string& path);

    // The list as the control holds it.
    std::vector<ListItem> list() const;
    std::vector<int> checks() const;
    int check(int index) const;
    // Scrolls the list until the row is in view; rowRect and checkBoxPixels need that.
    void showRow(int index);
    RECT rowRect(int index) const;
    // Toggles by a mouse click at x pixels from the row's left edge.
    void clickRow(int index, int x, int clicks = 1);
    // What the inside of a row's check box shows on screen.
    Pixels checkBoxPixels(int index) const;
    // Rests the mouse on a point of window and returns the program's tooltip once it says
    // expected (anything, when expected is empty), or whatever it said last within 5 s.
    std::string tipAt(HWND window, POINT point, const std::string& expected = {}) const;

    // The report box that is up, or null. Asks the program nothing, so it does not wait
    // for a busy program.
    HWND reportBox() const;
    // Waits for a report, reads it and closes it with OK; or, given IDYES or IDNO, a
    // question (Yes and No, No the default) answered with that button.
    Report waitForReport(DWORD timeoutMs = 10000, int answer = IDOK);
    // Presses the Patch button and returns the report it brings.
    Report patch();
    // Fails when a report is up.
    void expectNoReport() const;

    HWND openAbout(WPARAM command = IDM_ABOUTBOX);

    // Drops files (on drive Z:) at a point of the main window's client area, as an X
    // file manager does; returns once the window has taken the drop. Needs VELQUIN_XDND.
    void drop(POINT client, const std::vector<std::string>& paths);

    // Esc on the main window; waits for the process to end. False if it does not.
    bool closeWithEsc(DWORD timeoutMs = 10000);
    bool waitExit(DWORD timeoutMs);
    // What went wrong if the program crashed; empty otherwise.
    std::string crash() const;

private:
    void watch();  // the debug loop, on the thread that started the program
    void end();    // ends the program if it still runs, and the debug loop

    HWND openFileDialog(int browseButton);
    void confirmFileDialog(HWND dialog, const std::string& path, bool expectReplaceQuestion, bool typed = false);

    PROCESS_INFORMATION m_info{};
    HWND m_main = nullptr;
    int m_lastRow = -1;
    DWORD m_lastClick = 0;
    std::thread m_watcher;
    std::atomic<bool> m_stopWatching{false};
    bool m_sawLoaderBreakpoint = false;  // watcher thread only
    mutable std::mutex m_crashLock;
    std::string m_crash;
};

std::string exeFileName(const std::string& exePath);
// The file name without its extension.
std::string exeTitle(const std::string& exePath);

// ---- the screen's DPI ----------------------------------------------------------------------

// The screen's pixels per logical inch, as the driver, which is as DPI aware as the
// program, sees it.
int screenDpi();
// What the program draws pixels96 long at 96 DPI, on this screen.
int scaledToScreen(int pixels96);
// A rectangle of a dialog template of the program in dialog units, in pixels: the room
// that template gives a control on this screen.
RECT dialogUnitsToPixels(int templateId, RECT units);
// The pixels of a bitmap resource of the program, top row first.
Pixels bitmapResource(int id);

// ---- what the program's windows are told -------------------------------------------------

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

private:
    void release();

    HANDLE m_memory = nullptr;
    void* m_view = nullptr;
    HMODULE m_library = nullptr;
    HHOOK m_hook = nullptr;
};

}  // namespace gui
