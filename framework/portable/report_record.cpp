#include "framework/portable/report_record.h"

std::vector<RecordedReport>& recordedReports()
{
    static std::vector<RecordedReport> reports;
    return reports;
}

void report(const char* text, ReportIcon icon) { recordedReports().push_back({text, icon}); }
