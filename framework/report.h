#pragma once
// The one way the program talks to the user: a modal box with an OK button.

enum class ReportIcon { none, question, stop };

// Shows text captioned with the application title; none is shown as the exclamation icon.
void report(const char* text, ReportIcon icon = ReportIcon::none);
