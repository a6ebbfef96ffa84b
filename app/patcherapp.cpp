#include "app/patcherapp.h"

#include <windows.h>

#include "framework/report.h"
#include "ui/patcherdlg.h"

namespace {

CPatcherApp theApp;

}  // namespace

bool CPatcherApp::InitInstance()
{
    CPatcherDlg dialog;
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;
    // The dialog was the program; no message loop of our own follows it.
    return false;
}

void CPatcherApp::OnHelp()
{
    report("Choose a source file, an IPS patch and a destination file, untick the hunks you do not want "
           "(click a box, or press Space), then press Patch.");
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) { return theApp.Run(instance); }
