#include "framework/win32/clipboard.h"

#include <cstring>

#include "framework/win32/text.h"

namespace {

// The clipboard, open for the scope.
class OpenClipboardScope {
public:
    explicit OpenClipboardScope(HWND owner) : m_open(OpenClipboard(owner) != FALSE) {}
    ~OpenClipboardScope()
    {
        if (m_open)
            CloseClipboard();
    }
    OpenClipboardScope(const OpenClipboardScope&) = delete;
    OpenClipboardScope& operator=(const OpenClipboardScope&) = delete;
    explicit operator bool() const { return m_open; }

private:
    bool m_open;
};

// A movable block holding size bytes of data, handed to the clipboard; false when it
// cannot be made or the clipboard refuses it, which then frees it.
bool give(UINT format, const void* data, std::size_t size)
{
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
    void* bytes = block ? GlobalLock(block) : nullptr;
    if (!bytes) {
        if (block)
            GlobalFree(block);
        return false;
    }
    std::memcpy(bytes, data, size);
    GlobalUnlock(block);
    if (SetClipboardData(format, block))
        return true;
    GlobalFree(block);
    return false;
}

}  // namespace

bool ClipboardHasText() { return IsClipboardFormatAvailable(CF_UNICODETEXT) || IsClipboardFormatAvailable(CF_TEXT); }

namespace {

// The clipboard's text up to most characters; whether it held more.
std::wstring readText(HWND owner, std::size_t most, bool& longer)
{
    longer = false;
    if (!IsClipboardFormatAvailable(CF_UNICODETEXT))
        return {};
    OpenClipboardScope clipboard(owner);
    if (!clipboard)
        return {};
    std::wstring text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
            // The clipboard's block may be longer than its text, and need not end in a zero.
            const SIZE_T room = GlobalSize(data) / sizeof(wchar_t);
            std::size_t length = 0;
            while (length < room && length <= most && chars[length] != L'\0')
                ++length;
            longer = length > most;
            text.assign(chars, longer ? 0 : length);
            GlobalUnlock(data);
        }
    }
    return text;
}

}  // namespace

std::wstring ClipboardText(HWND owner)
{
    bool longer;
    return readText(owner, static_cast<std::size_t>(-1) / 2, longer);
}

std::wstring ShortClipboardText(HWND owner, std::size_t most)
{
    static DWORD s_sequence = 0;
    static std::size_t s_most = 0;
    static std::wstring s_text;
    const DWORD sequence = GetClipboardSequenceNumber();
    if (sequence == 0 || sequence != s_sequence || most != s_most) {
        bool longer;
        s_text = readText(owner, most, longer);
        s_sequence = sequence;
        s_most = most;
    }
    return s_text;
}

bool SetClipboardText(HWND owner, const std::wstring& text)
{
    const std::string narrow = NarrowText(text);
    OpenClipboardScope clipboard(owner);
    if (!clipboard || !EmptyClipboard())
        return false;
    const bool wide = give(CF_UNICODETEXT, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    const bool eightBit = give(CF_TEXT, narrow.c_str(), narrow.size() + 1);
    return wide && eightBit;
}
