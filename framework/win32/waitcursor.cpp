#include "framework/win32/waitcursor.h"

namespace {

int g_depth = 0;              // waits under way; the program has one thread
HCURSOR g_before = nullptr;   // what the outermost wait replaced; shared, never destroyed

HCURSOR systemCursor(LPCSTR id) { return LoadCursorA(nullptr, id); }

}  // namespace

CWaitCursor::CWaitCursor()
{
    HCURSOR before = SetCursor(systemCursor(IDC_WAIT));
    if (g_depth++ == 0)
        g_before = before;
}

CWaitCursor::~CWaitCursor()
{
    if (--g_depth == 0)
        SetCursor(g_before ? g_before : systemCursor(IDC_ARROW));
}

bool CWaitCursor::Waiting() { return g_depth > 0; }

void CWaitCursor::Restore()
{
    if (g_depth > 0)
        SetCursor(systemCursor(IDC_WAIT));
}
