// Tooltips: resting the mouse on a point and reading the program's tooltip there, and
// moving the mouse off tooltips that cover a place the driver looks at.

#include "internal.h"

#include <array>
#include <cstdio>
#include <sstream>

#include "app.h"
#include "tooltips.h"

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

std::string shownTip(DWORD pid)
{
    for (HWND tip : topWindows(pid, "tooltips_class32", nullptr))
        return windowText(tip);
    return {};
}

void awayFromTips(const App& app)
{
    hoverAt(app.main(), {2, 2});
    if (!waitUntil([&] { return shownTip(app.pid()).empty(); }, 3000))
        throw DriverError("a tip stays when the mouse has left");
}

namespace {

std::uint32_t crc32Of(const std::string& path)
{
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        throw DriverError("cannot read " + path);
    std::vector<unsigned char> block(1 << 20);
    std::uint32_t c = 0xFFFFFFFF;
    for (DWORD got = 0; ReadFile(file, block.data(), static_cast<DWORD>(block.size()), &got, nullptr) && got != 0;)
        for (DWORD i = 0; i < got; ++i)
            c = table[(c ^ block[i]) & 0xFF] ^ (c >> 8);
    CloseHandle(file);
    return ~c;
}

}  // namespace

std::string ToolHashes::lines() const
{
    return "CRC32 " + crc32 + "\nMD5 " + md5 + "\nSHA-1 " + sha1 + "\nSHA-256 " + sha256;
}

ToolHashes toolHashes(const std::string& path, DWORD timeoutMs)
{
    const std::string sums = path + ".sums", file = "'" + linuxPath(path) + "'", out = "'" + linuxPath(sums) + "'";
    const std::string said = runLinuxProgram("/bin/sh",
                                             "sh -c \"{ md5sum " + file + "; sha1sum " + file + "; sha256sum " +
                                                 file + "; } > " + out + ".part && mv " + out + ".part " + out + "\"",
                                             sums, "the hash tools", timeoutMs);
    removeFile(sums);
    std::istringstream lines(said);  // "<digest>  <file>" each
    std::vector<std::string> digests;
    for (std::string line; std::getline(lines, line);)
        digests.push_back(line.substr(0, line.find(' ')));
    if (digests.size() != 3)
        throw DriverError("the hash tools said: " + said);
    char crc[16];
    std::snprintf(crc, sizeof crc, "%08X", static_cast<unsigned>(crc32Of(path)));
    return {crc, digests[0], digests[1], digests[2]};
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
    for (int stir = 0; stir < 4; ++stir) {
        hoverAt(window, {point.x + stir % 2, point.y});
        if (waitUntil(showing, 2500))
            break;
    }
    return shown;
}

}  // namespace gui
