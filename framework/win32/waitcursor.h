#pragma once
// The hourglass over the program's windows while a command works, from construction
// to destruction, however the scope ends. Waits may nest; the outermost one restores
// the cursor that was shown before.

#include <windows.h>

class CWaitCursor {
public:
    CWaitCursor();
    ~CWaitCursor();
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;

    // Whether a wait is under way.
    static bool Waiting();
    // Shows the hourglass again after something (a report box) showed another cursor.
    static void Restore();
};
