#pragma once
// A list box styled as the program's hunk list, in a top-level window of its own, for
// code that needs the real control without the program: the engine suite's Windows
// build and the list box benchmark. Windows only.

#include <windows.h>

namespace support {

class ListBoxHost {
public:
    // Hidden unless shown; throws std::runtime_error when the windows cannot be made.
    explicit ListBoxHost(bool shown = false);
    ~ListBoxHost();
    ListBoxHost(const ListBoxHost&) = delete;
    ListBoxHost& operator=(const ListBoxHost&) = delete;

    HWND list() const { return m_list; }

private:
    HWND m_window = nullptr;  // owns m_list
    HWND m_list = nullptr;
};

}  // namespace support
