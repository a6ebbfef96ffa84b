#pragma once
// The screen (screen.cpp): pixels captured from it and painted off it, its DPI, and what
// the program's templates and bitmaps come to on it.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <vector>

namespace gui {

// The pixels of a client rectangle as shown on screen, one 0x00RRGGBB word each.
struct Pixels {
    int width = 0, height = 0;
    std::vector<std::uint32_t> rgb;
    bool operator==(const Pixels& other) const
    {
        return width == other.width && height == other.height && rgb == other.rgb;
    }
    bool operator!=(const Pixels& other) const { return !(*this == other); }
    bool uniform() const;
};
Pixels capture(HWND window, RECT client);
// What draw paints on a width by height bitmap of the screen's kind.
Pixels paint(int width, int height, const std::function<void(HDC)>& draw);

// ---- the screen's DPI ----------------------------------------------------------------------

// The screen's pixels per logical inch, as the driver, which is as DPI aware as the
// program, sees it.
int screenDpi();
// What the program draws pixels96 long at 96 DPI, on this screen.
int scaledToScreen(int pixels96);
// A rectangle of a dialog template of the program in dialog units, in pixels: the room
// that template gives a control on this screen.
RECT dialogUnitsToPixels(int templateId, RECT units);
// The pixels of a bitmap resource of the program, top row first.
Pixels bitmapResource(int id);

}  // namespace gui
