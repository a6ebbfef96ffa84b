#pragma once
// What a path row's tooltip says of its file: its size, its hashes or why there are none,
// what its row adds, and whether the hash on the clipboard is the file's.

#include <cstdint>
#include <string>
#include <vector>

#include "ui/rowstate.h"

// "%1 bytes (0x%2)", singular for one byte.
std::string SizeText(std::uint64_t size);

// The lines of row's tooltip, joined by "\n": size, hashes, what the size suggests, then
// rowLines, then what clipboardHash (as ClipboardHash gives it) says of the file. A known
// file without facts is one whose hashes are not of what the row stands for: none show.
std::string PathRowText(PathRow row, const FileView& file, const std::vector<std::string>& rowLines,
                        const std::string& clipboardHash);

// The hash a user copied from a read-me: the text with spaces, tabs and line ends trimmed
// and a "0x" taken off, when that is 8, 32, 40 or 64 hex digits; in lower case. Empty
// for any other text.
std::string ClipboardHash(const std::wstring& text);
// What a row's Copy Hashes copies, in the tip's lines: the size, the hashes and, for a
// source with a copier header, those without it; empty until the hashes are known.
std::string HashesText(PathRow row, const FileView& file);
