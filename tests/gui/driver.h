#pragma once
// Drives the real Velquin.exe through its windows, as a person would: it starts the
// program, finds its windows, clicks, types, reads what is shown and closes it again.
// Every wait has a timeout; a helper that gives up throws DriverError, which fails the
// test and lets the App destructor end the program.
//
// The one header the scenarios include. The driver is split by concern:
//   basics.h     errors, options, paths, Linux programs, files, windows and their
//                messages, waits, the mouse and keyboard, the command spy (basics.cpp)
//   screen.h     pixels on screen and off it, the screen's DPI, the program's bitmaps
//                (screen.cpp)
//   reports.h    what a report (message box) says (reports.cpp)
//   tooltips.h   hovering (tooltips.cpp)
//   app.h        App, one running Velquin.exe: starting and ending it (app.cpp), the
//                file dialogs (file_dialogs.cpp), the list (list.cpp), tooltips
//                (tooltips.cpp), reports (reports.cpp), drops (drops.cpp)
// internal.h holds what those files share among themselves only.

#include "app.h"
#include "basics.h"
#include "reports.h"
#include "screen.h"
#include "tooltips.h"
