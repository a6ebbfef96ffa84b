#pragma once
// The Velquin application: start-up runs the main window and ends the program with it.

#include "framework/win32/winapp.h"

class CPatcherApp : public CWinApp {
public:
    bool InitInstance() override;
    void OnHelp() override;
};
