#pragma once
// Hovering, for the program's tooltips (tooltips.cpp, beside App::tipAt).

#include <windows.h>

namespace gui {

// Moves the mouse to a point of window and lets it rest there.
void hoverAt(HWND window, POINT client);

}  // namespace gui
