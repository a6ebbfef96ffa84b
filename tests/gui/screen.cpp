// The screen: pixels captured from it and painted off it, the screen's DPI, the room a
// dialog template gives a control, and the program's bitmaps.

#include "internal.h"

#include <algorithm>
#include <functional>

namespace gui {

bool Pixels::uniform() const
{
    return std::all_of(rgb.begin(), rgb.end(), [&](std::uint32_t p) { return p == rgb.front(); });
}

Pixels paint(int width, int height, const std::function<void(HDC)>& draw)
{
    Canvas canvas(width, height);
    draw(canvas.dc());
    return canvas.pixels();
}

Pixels capture(HWND window, RECT client)
{
    POINT origin{client.left, client.top};
    ClientToScreen(window, &origin);
    const int w = client.right - client.left, h = client.bottom - client.top;
    clearTooltips({origin.x, origin.y, origin.x + w, origin.y + h});
    Canvas canvas(w, h);
    HDC screen = GetDC(nullptr);
    BitBlt(canvas.dc(), 0, 0, w, h, screen, origin.x, origin.y, SRCCOPY);
    ReleaseDC(nullptr, screen);
    return canvas.pixels();
}

// ---- the screen's DPI ----------------------------------------------------------------------

int screenDpi()
{
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

int scaledToScreen(int pixels96) { return MulDiv(pixels96, screenDpi(), 96); }

namespace {

// The program's file as a module of resources, loaded for the scope.
class ProgramResources {
public:
    ProgramResources() : m_module(LoadLibraryExA(options().exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE))
    {
        if (!m_module)
            throw DriverError("cannot read the program's resources");
    }
    ~ProgramResources() { FreeLibrary(m_module); }
    ProgramResources(const ProgramResources&) = delete;
    ProgramResources& operator=(const ProgramResources&) = delete;

    HMODULE get() const { return m_module; }

private:
    HMODULE m_module;
};

}  // namespace

RECT dialogUnitsToPixels(int templateId, RECT units)
{
    // A hidden dialog of the driver's own from the template gets the program's font in
    // the same prefix; the program's dialog cannot be asked from another process.
    ProgramResources program;
    HWND dialog = CreateDialogParamA(program.get(), MAKEINTRESOURCEA(templateId), nullptr,
                                     [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
    if (!dialog)
        throw DriverError("cannot create dialog " + std::to_string(templateId) + " from the template");
    const BOOL mapped = MapDialogRect(dialog, &units);
    DestroyWindow(dialog);
    if (!mapped)
        throw DriverError("cannot map dialog units");
    return units;
}

Pixels bitmapResource(int id)
{
    ProgramResources program;
    HBITMAP bitmap = static_cast<HBITMAP>(
        LoadImageA(program.get(), MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (!bitmap)
        throw DriverError("no bitmap " + std::to_string(id) + " in the program");
    BITMAP info{};
    GetObjectA(bitmap, sizeof info, &info);
    Canvas canvas(info.bmWidth, info.bmHeight);
    HDC source = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(source, bitmap);
    BitBlt(canvas.dc(), 0, 0, info.bmWidth, info.bmHeight, source, 0, 0, SRCCOPY);
    SelectObject(source, old);
    DeleteDC(source);
    DeleteObject(bitmap);
    return canvas.pixels();
}

}  // namespace gui
