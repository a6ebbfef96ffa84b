#pragma once
// One running Velquin.exe, as the driver uses it. The class is declared here whole; its
// members are defined by concern: starting and ending the program in app.cpp, the file
// dialogs in file_dialogs.cpp, the list in list.cpp, tooltips in tooltips.cpp, reports
// in reports.cpp and drops in drops.cpp.

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/resource.h"
#include "basics.h"
#include "reports.h"
#include "screen.h"

namespace gui {

constexpr const char* kMainCaption = "Velquin 1.0";
constexpr const char* kAboutCaption = "About Velquin";
// The name a copy of the program gets to show that reports follow the file name.
constexpr const char* kRenamedExe = "Quin.Tool ゲーム.exe";

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

    // ---- the file dialogs (file_dialogs.cpp)
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
    // Confirms path in the open dialog that a menu command shows.
    void chooseInDialog(const std::string& path) { confirmFileDialog(waitFileDialog(), path, false); }
    // Handles the Save dialog's "replace it?" question with Yes.
    void chooseExistingDestination(const std::string& path);

    // ---- the list (list.cpp)
    // The list as the control holds it.
    std::vector<ListItem> list() const;
    std::vector<int> checks() const;
    int check(int index) const;
    // Scrolls the list until the row is in view; rowRect and checkBoxPixels need that.
    void showRow(int index);
    RECT rowRect(int index) const;
    // Toggles by a mouse click at x pixels from the row's left edge.
    void clickRow(int index, int x, int clicks = 1, Click how = Click::plain);
    // What the inside of a row's check box shows on screen.
    Pixels checkBoxPixels(int index) const;

    // ---- tooltips (tooltips.cpp)
    // Rests the mouse on a point of window and returns the program's tooltip once it says
    // expected (anything, when expected is empty), or whatever it said last within 10 s.
    std::string tipAt(HWND window, POINT point, const std::string& expected = {}) const;

    // ---- reports (reports.cpp)
    // The report box that is up, or null. Asks the program nothing, so it does not wait
    // for a busy program.
    HWND reportBox() const;
    // Waits for a report, reads it and closes it with OK; or, given IDYES or IDNO, a
    // question (Yes and No, No the default) answered with that button.
    Report waitForReport(DWORD timeoutMs = 10000, int answer = IDOK);
    // Presses the Patch button and returns the report it brings.
    Report patch();
    // Fails when a report is up once the program has settled.
    void expectNoReport() const;

    // ---- the About box (app.cpp)
    HWND openAbout(WPARAM command = IDM_ABOUTBOX);

    // ---- drops (drops.cpp)
    // Drops files (on drive Z:) at a point of the main window's client area, as an X
    // file manager does; returns once the window has taken the drop. Needs VELQUIN_XDND.
    void drop(POINT client, const std::vector<std::string>& paths);

    // ---- closing and the end (app.cpp)
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

}  // namespace gui
