#pragma once
// Where the program's libraries come from. A download folder may hold a DLL named like a
// system one; the program must never load it in the system's place.

#include <windows.h>

#include <optional>

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

// A library of the system folder, loaded by full path, as a table of its functions is
// filled from it: a table is only as good as its least function.
class SystemLibrary {
public:
    explicit SystemLibrary(const wchar_t* name) : m_module(LoadSystemLibrary(name)) {}

    // Sets function to the library's function name, or to null when it has none.
    template <class Function>
    void Get(Function& function, const char* name)
    {
        function = LibraryFunction<Function>(m_module, name);
        m_complete = m_complete && function != nullptr;
    }
    bool Complete() const { return m_complete; }

private:
    HMODULE m_module;  // kept for the life of the process
    bool m_complete = m_module != nullptr;
};

// The table of functions of the system library name, filled by fill(library, table) at
// the first call and kept for the process; null when the library or any function it asks
// for is missing. Each caller's fill is a lambda of its own, so each has a table of its own.
template <class Table, class Fill>
const Table* SystemFunctions(const wchar_t* name, Fill fill)
{
    static const std::optional<Table> table = [&]() -> std::optional<Table> {
        SystemLibrary library(name);
        Table found{};
        fill(library, found);
        if (!library.Complete())
            return std::nullopt;
        return found;
    }();
    return table ? &*table : nullptr;
}
