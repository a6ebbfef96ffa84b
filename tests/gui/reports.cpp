// Reports, the program's message boxes: finding one, reading its text and icon, and
// closing it with OK or answering its question.

#include "internal.h"

#include <cstdlib>

#include "app.h"

namespace gui {

const char* iconName(IconKind kind)
{
    switch (kind) {
    case IconKind::none: return "none";
    case IconKind::question: return "question";
    case IconKind::stop: return "stop";
    case IconKind::exclamation: return "exclamation";
    case IconKind::information: return "information";
    case IconKind::unknown: break;
    }
    return "unknown";
}

namespace {

// Which system icon the box shows: draws each candidate over the box's own background
// and takes the one that matches what is on screen.
IconKind classifyIcon(HWND box)
{
    HWND iconStatic = nullptr;
    for (HWND w : children(box))
        if (IsWindowVisible(w) && _stricmp(className(w).c_str(), "Static") == 0 &&
            (GetWindowLongA(w, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
            iconStatic = w;
    if (!iconStatic)
        return IconKind::none;
    RECT rc;
    GetClientRect(iconStatic, &rc);
    if (rc.right <= 0 || rc.bottom <= 0)
        return IconKind::none;

    const struct {
        IconKind kind;
        LPCSTR id;
    } candidates[] = {{IconKind::question, IDI_QUESTION},
                      {IconKind::stop, IDI_HAND},
                      {IconKind::exclamation, IDI_EXCLAMATION},
                      {IconKind::information, IDI_ASTERISK}};
    IconKind best = IconKind::unknown;
    waitUntil(
        [&] {
            Pixels shown = capture(iconStatic, rc);
            if (shown.uniform())
                return false;  // not painted yet
            double bestScore = 1e18, secondScore = 1e18;
            IconKind bestKind = IconKind::unknown;
            for (const auto& c : candidates) {
                Canvas canvas(rc.right, rc.bottom);
                const std::uint32_t bg = shown.rgb.front();
                HBRUSH brush = CreateSolidBrush(RGB(bg >> 16, (bg >> 8) & 0xFF, bg & 0xFF));
                FillRect(canvas.dc(), &rc, brush);
                DeleteObject(brush);
                DrawIconEx(canvas.dc(), 0, 0, LoadIconA(nullptr, c.id), rc.right, rc.bottom, 0, nullptr, DI_NORMAL);
                Pixels drawn = canvas.pixels();
                double score = 0;
                for (std::size_t i = 0; i < drawn.rgb.size(); ++i)
                    for (int shift : {0, 8, 16})
                        score += std::abs(int((drawn.rgb[i] >> shift) & 0xFF) - int((shown.rgb[i] >> shift) & 0xFF));
                score /= static_cast<double>(drawn.rgb.size());
                if (score < bestScore) {
                    secondScore = bestScore;
                    bestScore = score;
                    bestKind = c.kind;
                } else if (score < secondScore) {
                    secondScore = score;
                }
            }
            if (bestScore < 12 && bestScore * 2 < secondScore) {
                best = bestKind;
                return true;
            }
            return false;
        },
        3000);
    return best;
}

}  // namespace

std::string boxText(HWND box)
{
    HWND text = GetDlgItem(box, 0xFFFF);
    return text ? windowText(text) : std::string();
}

HWND App::reportBox() const
{
    // Any message box will do: its caption is part of what the caller checks.
    for (HWND w : topWindows(pid(), "#32770", nullptr))
        if (w != m_main && GetDlgItem(w, 0xFFFF))
            return w;
    return nullptr;
}

Report App::waitForReport(DWORD timeoutMs, int answer)
{
    HWND box = nullptr;
    if (!waitUntil([&] { return (box = reportBox()) != nullptr; }, timeoutMs))
        throw DriverError("no report within " + std::to_string(timeoutMs) + " ms");
    Report r;
    r.caption = windowText(box);
    if (!waitUntil([&] { return !boxText(box).empty(); }, 2000))
        throw DriverError("the report shows no text");
    r.text = boxText(box);
    r.ownerDisabled = GetWindow(box, GW_OWNER) == m_main && !IsWindowEnabled(m_main);
    trace("report: " + r.text);
    r.icon = classifyIcon(box);
    trace(std::string("icon: ") + iconName(r.icon));
    HWND ok = GetDlgItem(box, IDOK);
    if (answer != IDOK) {
        if (ok || !GetDlgItem(box, IDYES) || !GetDlgItem(box, IDNO) || GetDlgItem(box, IDCANCEL))
            throw DriverError("the question \"" + r.text + "\" has buttons other than Yes and No");
        if ((GetWindowLongA(GetDlgItem(box, IDNO), GWL_STYLE) & BS_TYPEMASK) != BS_DEFPUSHBUTTON)
            throw DriverError("the question \"" + r.text + "\" does not default to No");
        ok = GetDlgItem(box, answer);
    } else if (!ok || windowText(ok) != "OK" || GetDlgItem(box, IDCANCEL) || GetDlgItem(box, IDYES)) {
        throw DriverError("the report \"" + r.text + "\" has buttons other than a single OK");
    }
    clickButton(ok);
    waitGone(box);
    if (!waitUntil([&] { return IsWindowEnabled(m_main) != FALSE; }, 2000))
        throw DriverError("the main window stays disabled after the report");
    settle();
    return r;
}

Report App::patch()
{
    clickButton(item(IDOK));
    return waitForReport();
}

void App::expectNoReport() const
{
    // Once the program has handled what it was sent, a report it had to show is up.
    settle();
    for (HWND w : topWindows(pid(), "#32770", nullptr))
        if (w != m_main)
            throw DriverError("unexpected window \"" + windowText(w) + "\": " + boxText(w));
}

}  // namespace gui
