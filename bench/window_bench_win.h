#pragma once
// The program's main window in the benchmark: its commands as a user meets them.

#include <string>
#include <vector>

struct WindowBenchFiles {
    std::string source;                 // the source file, 16 MiB
    std::string patch, other;           // two large patches
    std::vector<std::string> listOrder; // the first patch's labels, as the list shows them
    std::string folder;                 // for the bad patch, the outputs and the floors' files
};

// Runs the window's commands runs times and prints each median beside its floors.
// Throws std::runtime_error when a command does not do what it should.
void windowFigures(const WindowBenchFiles& files, int runs);
