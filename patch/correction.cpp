#include "patch/correction.h"

#include <memory>

#include "framework/exceptions.h"
#include "framework/file.h"
#include "framework/heap.h"
#include "framework/report.h"
#include "patch/output.h"
#include "patch/romformat.h"

namespace {

CorrectionPause g_beforeReplace = nullptr;

}  // namespace

void CorrectChecksums(const std::string& source, const std::string& destination)
{
    if (destination.empty())
        return;
    if (!source.empty() && NamesOneFile(source, destination)) {
        report("The source and destination files must be different.", ReportIcon::stop);
        return;
    }
    CFile input;
    if (!input.Open(destination.c_str(), CFile::modeRead)) {
        report("Cannot open the destination file for reading.", ReportIcon::stop);
        return;
    }
    FileIdentity read;
    const bool identified = input.GetIdentity(read);
    const std::uint64_t size = input.GetLength();
    std::unique_ptr<unsigned char[], HeapBlockFree> image;
    if (size <= SIZE_MAX)
        image.reset(static_cast<unsigned char*>(HeapAllocZeroed(static_cast<std::size_t>(size) + 1)));
    if (!image) {
        report("Insufficient memory to complete operation.", ReportIcon::stop);
        return;
    }
    const std::size_t got = input.Read(image.get(), static_cast<std::size_t>(size));
    input.Close();
    RomScan scan(got);
    scan.Add(image.get(), got);
    const RomFacts rom = scan.Finish();
    const auto writes = ChecksumWrites(rom);
    if (writes.empty()) {
        // The file is not what the menu saw: nothing to set right.
        report(WithFileName(rom.checksums.empty() ? "%1 is not a ROM whose checksums Velquin knows."
                                                  : "The checksums of %1 already match its contents.",
                            destination)
                   .c_str());
        return;
    }
    for (const auto& write : writes)
        image[write.first] = write.second;
    if (g_beforeReplace)
        g_beforeReplace(destination);
    // Another program's write since the read would be lost under the old bytes.
    FileIdentity now;
    if (!identified || CFile::IdentityOf(destination.c_str(), now) != FileLook::found || now != read) {
        report("The destination changed while its checksums were being corrected: nothing was written.",
               ReportIcon::stop);
        return;
    }
    const WrittenFile written = WriteInPlace(destination, image.get(), got);
    ReportIcon icon;
    const std::string text =
        WrittenReport(written, WithFileName("The checksums of %1 now match its contents.", destination), icon);
    report(text.c_str(), icon);
}

CorrectionPause SetCorrectionPause(CorrectionPause pause)
{
    const CorrectionPause previous = g_beforeReplace;
    g_beforeReplace = pause;
    return previous;
}
