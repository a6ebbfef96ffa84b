#pragma once
// Correct Checksums: the stored checksums of a ROM set to what its bytes give, every other
// byte as it was.

#include <string>

// For the ROM at destination, through the same safe replace as Patch; source is the
// Source row's file, which must not be the same file. Every outcome ends in one report.
void CorrectChecksums(const std::string& source, const std::string& destination);

// Called between the read of the destination and the check that it is still as read, for
// tests that change it there; nullptr for none. Returns the one it replaced.
using CorrectionPause = void (*)(const std::string& destination);
CorrectionPause SetCorrectionPause(CorrectionPause pause);
