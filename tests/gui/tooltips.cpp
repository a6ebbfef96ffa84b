// Tooltips: resting the mouse on a point and reading the program's tooltip there, and
// moving the mouse off tooltips that cover a place the driver looks at.

#include "internal.h"

#include "app.h"

namespace gui {

// Whether a tooltip that shows covers part of a screen rectangle.
bool tooltipOver(const RECT& screen)
{
    for (HWND tip = FindWindowExA(nullptr, nullptr, "tooltips_class32", nullptr); tip;
         tip = FindWindowExA(nullptr, tip, "tooltips_class32", nullptr)) {
        RECT shown, common;
        if (IsWindowVisible(tip) && GetWindowRect(tip, &shown) && IntersectRect(&common, &shown, &screen))
            return true;
    }
    return false;
}

void clearTooltips(const RECT& screen)
{
    // A tooltip goes once the mouse leaves what it explains, as a person would move it.
    if (tooltipOver(screen)) {
        moveCursor({0, 0});
        if (!waitUntil([&] { return !tooltipOver(screen); }, 3000))
            throw DriverError("a tooltip stays over the place");
    }
}

void hoverAt(HWND window, POINT client)
{
    POINT screen = client;
    ClientToScreen(window, &screen);
    moveCursor(screen);
}

std::string App::tipAt(HWND window, POINT point, const std::string& expected) const
{
    std::string shown;
    auto showing = [&] {
        for (HWND tip : topWindows(pid(), "tooltips_class32", nullptr))
            if ((shown = windowText(tip)) == expected || (expected.empty() && !shown.empty()))
                return true;
        return false;
    };
    // A resting hand still stirs the mouse: a pixel aside and back, as a motion the
    // window system dropped under load is made again.
    for (int stir = 0; stir < 3; ++stir) {
        hoverAt(window, {point.x + stir % 2, point.y});
        if (waitUntil(showing, 2500))
            break;
    }
    return shown;
}

}  // namespace gui
