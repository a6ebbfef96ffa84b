#include "framework/win32/clipboard.h"

#include <cstring>
#include <utility>

#include "framework/win32/text.h"

namespace {

ClipboardCalls g_calls;

constexpr DWORD kRetryPause = 10;  // ms
constexpr DWORD kMostWait = 200;   // ms

// Another program may hold the clipboard for a moment: tried again for up to kMostWait.
bool openClipboard(HWND owner, bool wait)
{
    for (DWORD waited = 0;; waited += kRetryPause) {
        if (g_calls.open(owner))
            return true;
        if (!wait || waited >= kMostWait)
            return false;
        g_calls.wait(kRetryPause);
    }
}

// The clipboard, open for the scope.
class OpenClipboardScope {
public:
    OpenClipboardScope(HWND owner, bool wait) : m_open(openClipboard(owner, wait)) {}
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

// The clipboard's text up to most characters, empty when it held more; nothing when it
// could not be opened.
std::optional<std::wstring> readText(HWND owner, std::size_t most, bool wait)
{
    if (!IsClipboardFormatAvailable(CF_UNICODETEXT))
        return std::wstring();
    OpenClipboardScope clipboard(owner, wait);
    if (!clipboard)
        return std::nullopt;
    std::wstring text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
            // The clipboard's block may be longer than its text, and need not end in a zero.
            const SIZE_T room = GlobalSize(data) / sizeof(wchar_t);
            std::size_t length = 0;
            while (length < room && length <= most && chars[length] != L'\0')
                ++length;
            text.assign(chars, length > most ? 0 : length);
            GlobalUnlock(data);
        }
    }
    return text;
}

}  // namespace

std::optional<std::wstring> ClipboardText(HWND owner)
{
    return readText(owner, static_cast<std::size_t>(-1) / 2, true);
}

std::wstring ShortClipboardText(HWND owner, std::size_t most)
{
    static DWORD s_sequence = 0;
    static std::size_t s_most = 0;
    static std::wstring s_text;
    const DWORD sequence = GetClipboardSequenceNumber();
    if (sequence == 0 || sequence != s_sequence || most != s_most) {
        // Held by another program: looked at again next time.
        const std::optional<std::wstring> text = readText(owner, most, false);
        s_text = text.value_or(std::wstring());
        s_sequence = text ? sequence : 0;
        s_most = most;
    }
    return s_text;
}

ClipboardResult SetClipboardText(HWND owner, const std::wstring& text)
{
    const std::string narrow = NarrowText(text);
    OpenClipboardScope clipboard(owner, true);
    if (!clipboard)
        return ClipboardResult::busy;
    if (!EmptyClipboard() || !give(CF_UNICODETEXT, text.c_str(), (text.size() + 1) * sizeof(wchar_t)))
        return ClipboardResult::failed;
    // Without it the system makes the 8-bit form from the UTF-16 one.
    give(CF_TEXT, narrow.c_str(), narrow.size() + 1);
    return ClipboardResult::done;
}

ClipboardCalls SetClipboardCalls(const ClipboardCalls& calls) { return std::exchange(g_calls, calls); }
