#pragma once
// Reports, the program's message boxes, as the driver reads them; App finds, reads and
// closes them (reports.cpp).

#include <string>

namespace gui {

enum class IconKind { none, question, stop, exclamation, information, unknown };
const char* iconName(IconKind kind);

struct Report {
    std::string caption;
    std::string text;
    IconKind icon = IconKind::unknown;
    bool ownerDisabled = false;  // the main window took no input while the box was up
};

}  // namespace gui
