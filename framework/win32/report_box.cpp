// The engine's report helper as a message box. On its own, so that a test or benchmark
// that records reports can still link the window classes.

#include "framework/report.h"
#include "framework/win32/report_win32.h"

void report(const char* text, ReportIcon icon)
{
    switch (icon) {
    case ReportIcon::question: showReport(text, MB_ICONQUESTION); break;
    case ReportIcon::stop: showReport(text, MB_ICONSTOP); break;
    case ReportIcon::none: showReport(text, MB_ICONEXCLAMATION); break;
    }
}
