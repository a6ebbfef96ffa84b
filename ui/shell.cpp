#include "ui/shell.h"

#include <shellapi.h>
#include <shlobj.h>

#include "framework/win32/text.h"

namespace {

// An item list of the shell's, freed when it goes.
class ItemList {
public:
    explicit ItemList(const std::wstring& path) : m_items(ILCreateFromPathW(path.c_str())) {}
    ~ItemList()
    {
        if (m_items)
            ILFree(m_items);
    }
    ItemList(const ItemList&) = delete;
    ItemList& operator=(const ItemList&) = delete;
    PIDLIST_ABSOLUTE get() const { return m_items; }

private:
    PIDLIST_ABSOLUTE m_items;  // owned
};

}  // namespace

bool OpenWithItsProgram(HWND owner, const std::string& path)
{
    const std::wstring file = WideText(path);
    SHELLEXECUTEINFOW execute{};
    execute.cbSize = sizeof execute;
    execute.fMask = SEE_MASK_NOASYNC;
    execute.hwnd = owner;
    execute.lpFile = file.c_str();  // no verb: the file's default, as Explorer's double click
    execute.nShow = SW_SHOWNORMAL;
    return ShellExecuteExW(&execute) != FALSE;
}

bool ShowInFolder(const std::string& path)
{
    const std::wstring file = WideText(path);
    ItemList item(file);
    if (item.get())
        return SUCCEEDED(SHOpenFolderAndSelectItems(item.get(), 0, nullptr, 0));
    const std::wstring folder = file.substr(0, file.find_last_of(L"\\/"));
    ItemList parent(folder);
    return parent.get() && SUCCEEDED(SHOpenFolderAndSelectItems(parent.get(), 0, nullptr, 0));
}
