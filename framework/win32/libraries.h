#pragma once
// Where the program's libraries come from. A download folder may hold a DLL named like a
// system one; the program must never load it in the system's place.

#include <windows.h>

// Keeps every later library search to the system folder. Where the system cannot
// (Windows 7 without its 2011 update), the search stays as it was.
void RestrictLibrarySearch();
// The system library name, loaded by its full path in the system folder and kept for the
// life of the process; nullptr when it cannot be loaded.
HMODULE LoadSystemLibrary(const wchar_t* name);

// A function of a loaded library, as the pointer type it has.
template <class Function>
Function LibraryFunction(HMODULE library, const char* name)
{
    return library ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name))) : nullptr;
}
