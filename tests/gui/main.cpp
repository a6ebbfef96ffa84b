// velquin_gui_tests [gtest flags] <Velquin.exe> <scratch folder>
//   runs the scenarios against the program;
// velquin_gui_tests --screenshots <Velquin.exe> <scratch folder>
//   poses the program for screenshots taken by screenshots.sh.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "driver.h"

int screenshotPoses();

namespace {

std::string environment(const char* name)
{
    char value[MAX_PATH * 4];
    const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    return length > 0 && length < sizeof value ? value : "";
}

}  // namespace

int main(int argc, char** argv)
{
    // A crash, ours or the program's (it inherits this), ends the process at once
    // instead of waiting in a debugger until the test times out.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    testing::InitGoogleTest(&argc, argv);
    bool poses = false;
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--screenshots") == 0)
            poses = true;
        else
            positional.push_back(argv[i]);
    }
    if (positional.size() != 2) {
        std::fprintf(stderr, "usage: velquin_gui_tests [--screenshots] [gtest flags] Velquin.exe scratch-folder\n");
        return 2;
    }
    gui::options().exe = gui::windowsPath(positional[0]);
    gui::options().scratch = gui::windowsPath(positional[1]);
    gui::options().unreadable = gui::windowsPath(environment("VELQUIN_UNREADABLE"));
    gui::options().fullDisk = gui::windowsPath(environment("VELQUIN_FULL_DISK"));
    gui::options().xdnd = environment("VELQUIN_XDND");
    gui::options().planted = gui::windowsPath(environment("VELQUIN_PLANTED"));
    try {
        gui::makeFolder(gui::options().scratch);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 2;
    }
    if (!gui::fileExists(gui::options().exe)) {
        std::fprintf(stderr, "no program at %s\n", gui::options().exe.c_str());
        return 2;
    }
    if (poses)
        return screenshotPoses();  // inside a Wine desktop, where no manager is waited for
    gui::UnmanagedWindows unmanaged({gui::exeFileName(gui::options().exe), gui::kRenamedExe});
    return RUN_ALL_TESTS();
}
