#pragma once
// Platform primitives under CFile. Each returns false on failure with the platform's
// error code in osError.

#include <cstdint>
#include <string>

#include "framework/exceptions.h"
#include "framework/file.h"

namespace filesys {

constexpr std::intptr_t kInvalid = -1;

// No other opener may share the file while it is open, except in modeReadShared, which
// shares it with every other opener.
std::intptr_t open(const char* path, CFile::Mode mode, bool& created, long& osError);
bool read(std::intptr_t h, void* buffer, std::size_t count, std::size_t& got, long& osError);
bool write(std::intptr_t h, const void* buffer, std::size_t count, std::size_t& put, long& osError);
bool seekEnd(std::intptr_t h, std::uint64_t& length, long& osError);
bool tell(std::intptr_t h, std::uint64_t& position, long& osError);
bool seekTo(std::intptr_t h, std::uint64_t position, long& osError);
// The bytes written through h are on the disk once this returns true.
bool flush(std::intptr_t h, long& osError);
bool close(std::intptr_t h, long& osError);
// As CFile::Remove, CFile::Rename and CFile::Replace say.
bool remove(const char* path);
bool rename(const char* from, const char* to);
bool replace(const char* from, const char* to, std::string& backup);
// The identity the file system gives the file at path; false when it cannot be looked up.
bool fileId(const char* path, CFileId& id);
bool identity(std::intptr_t h, FileIdentity& identity);
FileLook identityOf(const char* path, FileIdentity& identity);
CFileException::Cause causeOf(long osError);

}  // namespace filesys
