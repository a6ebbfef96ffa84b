#pragma once
// Native builds have no screen: reports are recorded for tests to read.

#include <string>
#include <vector>

#include "framework/report.h"

struct RecordedReport {
    std::string text;
    ReportIcon icon;
};

std::vector<RecordedReport>& recordedReports();
