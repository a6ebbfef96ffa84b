#pragma once
// The application object: one per program. It runs start-up, catches F1 in the
// program's dialogs, and reports the errors that escape a message handler.

#include <windows.h>

#include <exception>

class CDialog;

// The standard Help command, sent by F1.
constexpr UINT ID_HELP = 0xE146;

class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // The program: instance initialisation, then a message loop only if it asks for one.
    int Run(HINSTANCE instance);

    // Start-up. Returning false ends the program without a message loop of its own.
    virtual bool InitInstance() { return false; }
    virtual int ExitInstance() { return 0; }

    // Commands that no window handled. True when handled.
    virtual bool OnCommand(UINT id);
    // What F1 does; by default nothing, as there is no help file.
    virtual void OnHelp() {}

    // Tells the user about an error that escaped a message handler; the caller then
    // treats the message as handled.
    virtual void ReportException(std::exception_ptr error) noexcept;

    HINSTANCE m_hInstance = nullptr;
    CDialog* m_pMainWnd = nullptr;  // borrowed: lives in InitInstance's frame
};

// The one application object, or null outside its lifetime.
CWinApp* AfxGetApp();
HINSTANCE AfxGetInstanceHandle();
// The main window's handle while it exists, else null.
HWND AfxGetMainHwnd();

// Where every window and hook procedure hands what it caught: the application object
// when there is one. Never throws.
void AfxReportException(std::exception_ptr error) noexcept;
