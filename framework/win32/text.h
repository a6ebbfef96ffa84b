#pragma once
// Text the platform gives in UTF-16, in the program's 8-bit code page: the form every
// path and report text takes in this program (UTF-8 where its manifest is honoured).

#include <windows.h>

#include <string>

inline std::string NarrowText(const std::wstring& text)
{
    const int length = static_cast<int>(text.size());
    const int size = WideCharToMultiByte(CP_ACP, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        WideCharToMultiByte(CP_ACP, 0, text.data(), length, &result[0], size, nullptr, nullptr);
    return result;
}
