// The program's library look-ups as they were before it kept them to the system folder,
// for the control run of the planted-library scenario: a test build only.

#include "framework/win32/libraries.h"

void RestrictLibrarySearch() {}

HMODULE LoadSystemLibrary(const wchar_t* name) { return LoadLibraryW(name); }
