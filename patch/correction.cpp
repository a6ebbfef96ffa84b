#include "patch/correction.h"

#include <memory>

#include "framework/exceptions.h"
#include "framework/file.h"
#include "framework/heap.h"
#include "framework/report.h"
#include "patch/output.h"
#include "patch/romformat.h"

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
        report("Cannot open the destination file for writing.", ReportIcon::stop);
        return;
    }
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
    const auto writes = ChecksumWrites(scan.Finish());
    const std::string success = WithFileName("The checksums of %1 now match its contents.", destination);
    if (writes.empty()) {
        report(success.c_str());  // they matched already: nothing to write
        return;
    }
    for (const auto& write : writes)
        image[write.first] = write.second;
    const WrittenFile written = WriteInPlace(destination, image.get(), got);
    ReportIcon icon;
    const std::string text = WrittenReport(written, success, icon);
    report(text.c_str(), icon);
}
