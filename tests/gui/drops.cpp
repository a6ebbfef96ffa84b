// Drops: files dropped on the main window through X drag and drop, as an X file manager
// drops them, by xdnd_drop.py.

#include "internal.h"

#include "app.h"

namespace gui {

void App::drop(POINT client, const std::vector<std::string>& paths)
{
    const std::size_t space = options().xdnd.find(' ');
    if (space == std::string::npos)
        throw DriverError("VELQUIN_XDND does not say how to drop files");
    const std::string done = joinPath(options().scratch, "drop.done");
    DeleteFileA(done.c_str());
    ClientToScreen(m_main, &client);
    clearTooltips({client.x, client.y, client.x + 1, client.y + 1});
    std::string command = "python3 " + options().xdnd.substr(space + 1) + " " + std::to_string(client.x) + " " +
                          std::to_string(client.y) + " " + linuxPath(done, false);
    for (const std::string& path : paths)
        command += " " + linuxPath(path, true);
    trace("drop: " + command);
    // The drop ends by itself within 10 s.
    const std::string said = runLinuxProgram(options().xdnd.substr(0, space), command, done, "the drop");
    if (said != "dropped")
        throw DriverError("drop: " + said);
    settle();
}

}  // namespace gui
