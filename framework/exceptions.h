#pragma once
// The error types that leave framework calls. Commands do not catch them; the
// application object reports whatever escapes a command.

#include <string>
#include <vector>

class CException {
public:
    virtual ~CException() = default;
    // The sentence shown to the user; false when the error has no message of its own.
    virtual bool GetErrorMessage(std::string& message) const;
};

class CMemoryException : public CException {
public:
    bool GetErrorMessage(std::string& message) const override;
};

class CFileException : public CException {
public:
    enum Cause {
        none,
        generic,
        fileNotFound,
        badPath,
        tooManyOpenFiles,
        accessDenied,
        invalidFile,
        removeCurrentDir,
        directoryFull,
        badSeek,
        hardIO,
        sharingViolation,
        lockViolation,
        diskFull,
        endOfFile,
    };

    CFileException(Cause cause = none, long osError = -1, std::string fileName = {})
        : m_cause(cause), m_lOsError(osError), m_strFileName(std::move(fileName)) {}

    // The cause's sentence with %1 replaced by the file name, or by "an unnamed file"
    // when the error carries none; then a sentence for each file left behind.
    bool GetErrorMessage(std::string& message) const override;
    static const char* CauseMessage(Cause cause);

    Cause m_cause;
    long m_lOsError;
    std::string m_strFileName;
    // Files the failed command made and could not remove: the report is made once the
    // command has unwound, so their names travel with the error.
    std::vector<std::string> m_leftBehind;
};

// text with %1 replaced by name and %2 by second, as the file errors' sentences are
// filled in.
std::string WithFileName(const char* text, const std::string& name, const std::string& second = {});
// The sentence a report ends with for a file the command made and could not remove.
std::string LeftBehind(const std::string& path);
