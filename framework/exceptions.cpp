#include "framework/exceptions.h"

bool CException::GetErrorMessage(std::string&) const { return false; }

bool CMemoryException::GetErrorMessage(std::string& message) const
{
    message = "Out of memory.";
    return true;
}

const char* CFileException::CauseMessage(Cause cause)
{
    switch (cause) {
    case none: return "No error occurred.";
    case generic: return "An unknown error occurred while accessing %1.";
    case fileNotFound: return "%1 was not found.";
    case badPath: return "%1 contains an invalid path.";
    case tooManyOpenFiles: return "%1 could not be opened because there are too many open files.";
    case accessDenied: return "Access to %1 was denied.";
    case invalidFile: return "An invalid file handle was associated with %1.";
    case removeCurrentDir: return "%1 could not be removed because it is the current directory.";
    case directoryFull: return "%1 could not be created because the directory is full.";
    case badSeek: return "Seek failed on %1";
    case hardIO: return "A hardware I/O error was reported while accessing %1.";
    case sharingViolation: return "A sharing violation occurred while accessing %1.";
    case lockViolation: return "A locking violation occurred while accessing %1.";
    case diskFull: return "Disk full while accessing %1.";
    case endOfFile: return "An attempt was made to access %1 past its end.";
    }
    return "An unknown error occurred while accessing %1.";
}

bool CFileException::GetErrorMessage(std::string& message) const
{
    message = WithFileName(CauseMessage(m_cause), m_strFileName.empty() ? "an unnamed file" : m_strFileName);
    for (const std::string& path : m_leftBehind)
        message += LeftBehind(path);
    return true;
}

std::string WithFileName(const char* text, const std::string& name, const std::string& second)
{
    std::string message;
    for (const char* p = text; *p; ++p) {
        if (p[0] == '%' && (p[1] == '1' || p[1] == '2')) {
            message += p[1] == '1' ? name : second;
            ++p;
        } else {
            message += *p;
        }
    }
    return message;
}

std::string LeftBehind(const std::string& path) { return WithFileName("\n\nThe file %1 could not be removed.", path); }
