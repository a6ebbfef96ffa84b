#pragma once
// Text the platform gives in UTF-16, in the program's 8-bit code page: the form every
// path and report text takes in this program (UTF-8 where its manifest is honoured).

#include <windows.h>

#include <string>

// Text of the program's code page in UTF-16, for the platform's wide calls.
inline std::wstring WideText(const std::string& text)
{
    const int length = static_cast<int>(text.size());
    const int size = MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
    std::wstring result(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
    if (size > 0)
        MultiByteToWideChar(CP_ACP, 0, text.data(), length, &result[0], size);
    return result;
}

inline std::string NarrowText(const std::wstring& text)
{
    const int length = static_cast<int>(text.size());
    const int size = WideCharToMultiByte(CP_ACP, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        WideCharToMultiByte(CP_ACP, 0, text.data(), length, &result[0], size, nullptr, nullptr);
    return result;
}

// A file name in codePage, letter for letter; false when the code page cannot hold it.
// A best-fit conversion would turn a name it cannot hold into a look-alike ("ｆｏｏ.bin"
// into "foo.bin") that can name another, existing file.
inline bool NarrowName(const std::wstring& name, UINT codePage, std::string& narrow)
{
    // UTF-8 takes neither the best-fit flag nor a default character; it fails on what it
    // cannot hold, a lone surrogate.
    const bool utf8 = codePage == CP_UTF8;
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL defaulted = FALSE;
    BOOL* usedDefault = utf8 ? nullptr : &defaulted;
    const int length = static_cast<int>(name.size());
    narrow.clear();
    if (length == 0)
        return true;
    const int size = WideCharToMultiByte(codePage, flags, name.data(), length, nullptr, 0, nullptr, usedDefault);
    if (size <= 0 || defaulted)
        return false;
    std::string result(static_cast<std::size_t>(size), '\0');
    if (WideCharToMultiByte(codePage, flags, name.data(), length, &result[0], size, nullptr, usedDefault) != size ||
        defaulted)
        return false;
    narrow.swap(result);
    return true;
}
