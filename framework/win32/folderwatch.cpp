#include "framework/win32/folderwatch.h"

#include <dbt.h>
#include <process.h>

#include <algorithm>
#include <cstddef>
#include <utility>

namespace {

constexpr DWORD kPollPeriod = 2000;  // ms between looks at the folders that are not watched
constexpr DWORD kPostRetry = 100;    // ms until a message the window's queue refused is tried again
constexpr DWORD kCancelWait = 1000;  // ms a cancelled read may take to end
constexpr DWORD kEndWait = 100;      // ms the owner gives the thread to close its folders
// A same-size write whose time stamp is put back ends with the size and the last write as
// they were, but the write and the putting back are each a last-write change on the way;
// a change of rights may make a file unreadable. Not the last access: every look is one.
constexpr DWORD kChanges = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_ATTRIBUTES | FILE_NOTIFY_CHANGE_SIZE |
                           FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_CREATION | FILE_NOTIFY_CHANGE_SECURITY;

class Locked {
public:
    explicit Locked(SRWLOCK& lock) : m_lock(lock) { AcquireSRWLockExclusive(&m_lock); }
    ~Locked() { ReleaseSRWLockExclusive(&m_lock); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

private:
    SRWLOCK& m_lock;
};

// The folder of path as a full path ending in its separator, so that "C:\" stays a folder.
std::string folderOf(const std::string& path)
{
    std::string full(MAX_PATH, '\0');
    DWORD length = GetFullPathNameA(path.c_str(), static_cast<DWORD>(full.size()), &full[0], nullptr);
    if (length >= full.size()) {
        full.resize(length);
        length = GetFullPathNameA(path.c_str(), length, &full[0], nullptr);
    }
    full.resize(length < full.size() ? length : 0);
    const std::size_t end = full.find_last_of("\\/");
    return end == std::string::npos ? std::string() : full.substr(0, end + 1);
}

// A watched folder. Its handle and its read are the thread's, but OnDeviceChange may
// close the handle from the window's thread: whoever touches them holds the lock.
struct Folder {
    std::string path;
    std::vector<std::string> files;  // the thread's alone
    UniqueFileHandle handle;         // none: the poll looks at it
    UniqueKernelHandle event;
    OVERLAPPED overlapped{};
    bool reading = false;
    bool reopen = false;    // missing or gone: opened again at each poll
    bool released = false;  // let go of for a removal of its drive: never held again
    bool stuck = false;     // a cancelled read never ended: the system may still write here
    HDEVNOTIFY notify = nullptr;
    // Never read: which names changed does not matter, and an overflow says as much.
    DWORD changes[1024];

    bool issue()
    {
        overlapped = OVERLAPPED{};
        overlapped.hEvent = event.get();
        reading = ReadDirectoryChangesW(handle.get(), changes, sizeof changes, FALSE, kChanges, nullptr, &overlapped,
                                        nullptr) != FALSE;
        return reading;
    }

    void close()
    {
        if (reading) {
            CancelIoEx(handle.get(), &overlapped);
            DWORD bytes;
            if (!GetOverlappedResultEx(handle.get(), &overlapped, &bytes, kCancelWait, FALSE) &&
                GetLastError() == WAIT_TIMEOUT)
                stuck = true;
            reading = false;
        }
        handle.reset();
    }
};

void letGo(std::unique_ptr<Folder> folder)
{
    folder->close();
    if (folder->notify)
        UnregisterDeviceNotification(folder->notify);
    if (folder->stuck)
        static_cast<void>(folder.release());  // kept for the read that may still end
}

}  // namespace

struct CFolderWatch::Shared {
    SRWLOCK lock = SRWLOCK_INIT;
    UniqueKernelHandle control{CreateEventA(nullptr, FALSE, FALSE, nullptr)};  // a request came
    HWND window = nullptr;                                                     // set before the thread starts
    UINT message = 0;
    // What the owner asks for.
    std::vector<std::string> paths;  // sorted, without repeats
    bool active = false;
    bool ending = false;
    // Only the thread adds or removes folders; OnDeviceChange looks through them.
    std::vector<std::unique_ptr<Folder>> folders;
    // On their way to the window.
    std::vector<Look> looks;
    bool postOwed = false;

    // The thread: it owns a reference of its own, so the owner never waits for it.
    static unsigned __stdcall main(void* start)
    {
        const std::shared_ptr<Shared> shared = std::move(*static_cast<std::shared_ptr<Shared>*>(start));
        delete static_cast<std::shared_ptr<Shared>*>(start);
        shared->run();
        return 0;
    }

    // Until the owner goes: the folders of the files it last asked for, each file looked at
    // after a change in its folder; then every folder let go of.
    void run()
    {
        std::vector<std::string> watched;
        bool wasActive = false;
        ULONGLONG nextPoll = 0;
        for (;;) {
            bool isActive, changed;
            {
                Locked locked(lock);
                if (ending)
                    break;
                isActive = active;
                changed = paths != watched;
                if (changed)
                    watched = paths;
            }
            if (changed) {
                arrange(watched);
                for (const auto& folder : folders)
                    deliver(*folder);
                nextPoll = GetTickCount64() + kPollPeriod;
            }
            if (isActive && !wasActive)
                nextPoll = 0;  // looked at again at once: nothing was while the window was away
            wasActive = isActive;
            unregisterClosed();
            awaitChanges(isActive, nextPoll);
        }
        std::vector<std::unique_ptr<Folder>> all;
        {
            Locked locked(lock);
            all.swap(folders);
        }
        for (auto& folder : all)
            letGo(std::move(folder));
    }

    // Waits for a change in a watched folder, a request or the poll, and looks at the files
    // that may have changed.
    void awaitChanges(bool isActive, ULONGLONG& nextPoll)
    {
        std::vector<HANDLE> waits{control.get()};
        std::vector<Folder*> waited;
        bool unwatched = false;
        DWORD timeout = INFINITE;
        {
            Locked locked(lock);
            for (const auto& folder : folders) {
                if (folder->reading) {
                    waits.push_back(folder->event.get());
                    waited.push_back(folder.get());
                } else {
                    unwatched = true;
                }
            }
            const ULONGLONG now = GetTickCount64();
            if (unwatched && isActive)
                timeout = nextPoll > now ? static_cast<DWORD>(nextPoll - now) : 0;
            if (postOwed)
                timeout = std::min(timeout, kPostRetry);
        }
        if (WaitForMultipleObjects(static_cast<DWORD>(waits.size()), waits.data(), FALSE, timeout) == WAIT_FAILED)
            Sleep(kPostRetry);  // not to spin on a wait that cannot be made
        // Every folder whose read ended, not only the first: a folder that keeps changing
        // must not keep the others waiting.
        for (Folder* folder : waited)
            if (WaitForSingleObject(folder->event.get(), 0) == WAIT_OBJECT_0)
                changedIn(*folder);
        if (unwatched && isActive && GetTickCount64() >= nextPoll) {
            poll();
            nextPoll = GetTickCount64() + kPollPeriod;
        }
        Locked locked(lock);
        post();  // owed since a refused post
    }

    // Keeps the folders of files that are still wanted, lets go of the others, and opens
    // those newly wanted.
    void arrange(const std::vector<std::string>& files)
    {
        std::vector<std::pair<std::string, std::vector<std::string>>> wanted;  // folder, its files
        for (const std::string& file : files) {
            const std::string folder = folderOf(file);
            auto it = std::find_if(wanted.begin(), wanted.end(), [&](const auto& w) { return w.first == folder; });
            if (it == wanted.end())
                it = wanted.emplace(wanted.end(), folder, std::vector<std::string>());
            it->second.push_back(file);
        }
        std::vector<std::unique_ptr<Folder>> gone;
        std::vector<Folder*> added;
        {
            Locked locked(lock);
            for (auto it = folders.begin(); it != folders.end();) {
                const auto w = std::find_if(wanted.begin(), wanted.end(),
                                            [&](const auto& w) { return w.first == (*it)->path; });
                if (w == wanted.end()) {
                    gone.push_back(std::move(*it));
                    it = folders.erase(it);
                } else {
                    (*it)->files = std::move(w->second);
                    wanted.erase(w);
                    ++it;
                }
            }
            for (auto& w : wanted) {
                folders.push_back(std::make_unique<Folder>());
                folders.back()->path = std::move(w.first);
                folders.back()->files = std::move(w.second);
                added.push_back(folders.back().get());
            }
        }
        for (auto& folder : gone)
            letGo(std::move(folder));
        for (Folder* folder : added)
            open(*folder);
    }

    // Opens folder, whose handle is closed, and starts its first read; the folder is
    // polled where that fails.
    void open(Folder& folder)
    {
        HDEVNOTIFY old;
        {
            Locked locked(lock);
            old = std::exchange(folder.notify, nullptr);
        }
        if (old)
            UnregisterDeviceNotification(old);
        // Outside the lock, as are all calls that may wait: a share may take its time, and
        // the system may be waiting for the window to answer a removal.
        // A folder none of whose files is there is not held open, so that it can be
        // removed at once; the poll sees a file come.
        if (!anyThere(folder)) {
            Locked locked(lock);
            folder.reopen = !folder.released;
            return;
        }
        UniqueFileHandle opened(CreateFileA(folder.path.c_str(), FILE_LIST_DIRECTORY,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr));
        const DWORD error = GetLastError();
        if (!folder.event)
            folder.event.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
        DEV_BROADCAST_HANDLE filter{};
        filter.dbch_size = sizeof filter;
        filter.dbch_devicetype = DBT_DEVTYP_HANDLE;
        {
            Locked locked(lock);
            folder.reopen = !opened && !folder.released && (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND);
            const auto watching = std::count_if(folders.begin(), folders.end(), [](const auto& f) { return f->reading; });
            if (!opened || !folder.event || folder.released || watching >= MAXIMUM_WAIT_OBJECTS - 1)
                return;  // closed once the lock is let go: a share may take its time to close too
            folder.handle = std::move(opened);
            if (!folder.issue()) {
                opened = std::move(folder.handle);  // a file system that gives no notices
                return;
            }
            filter.dbch_handle = folder.handle.get();
        }
        const HDEVNOTIFY notify = RegisterDeviceNotificationA(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
        Locked locked(lock);
        folder.notify = notify;  // let go of by unregisterClosed if the handle was closed meanwhile
    }

    void changedIn(Folder& folder)
    {
        UniqueFileHandle gone;  // closed outside the lock
        {
            Locked locked(lock);
            if (!folder.reading)
                return;  // closed for a removal: left alone until the poll
            DWORD bytes;
            const bool read = GetOverlappedResult(folder.handle.get(), &folder.overlapped, &bytes, FALSE) ||
                              GetLastError() == ERROR_NOTIFY_ENUM_DIR;
            folder.reading = false;
            if (!read || !folder.issue()) {
                gone = std::move(folder.handle);  // the folder went, most likely
                folder.reopen = true;
            }
        }
        deliver(folder);
    }

    void poll()
    {
        std::vector<Folder*> unwatched, reopened;
        {
            Locked locked(lock);
            for (const auto& folder : folders) {
                if (folder->reading)
                    continue;
                unwatched.push_back(folder.get());
                if (folder->reopen && !folder->released)
                    reopened.push_back(folder.get());
            }
        }
        for (Folder* folder : reopened)
            open(*folder);
        for (Folder* folder : unwatched)
            deliver(*folder);
    }

    void unregisterClosed()
    {
        std::vector<HDEVNOTIFY> closed;
        {
            Locked locked(lock);
            for (const auto& folder : folders)
                if (!folder->handle && folder->notify)
                    closed.push_back(std::exchange(folder->notify, nullptr));
        }
        for (HDEVNOTIFY notify : closed)
            UnregisterDeviceNotification(notify);
    }

    static bool anyThere(const Folder& folder)
    {
        return std::any_of(folder.files.begin(), folder.files.end(),
                           [](const std::string& file) { return GetFileAttributesA(file.c_str()) != INVALID_FILE_ATTRIBUTES; });
    }

    // Looks at each of the folder's files and hands the looks to the window. A folder
    // that holds none of them any more is let go of, as open would not hold it.
    void deliver(Folder& folder)
    {
        std::vector<Look> seen;
        for (const std::string& file : folder.files)
            seen.push_back({file, LookAtPath(file)});
        const bool none = std::none_of(seen.begin(), seen.end(), [](const Look& l) { return l.seen.look == FileLook::found; });
        Locked locked(lock);
        if (none && folder.handle) {
            folder.close();
            folder.reopen = !folder.released;
        }
        if (ending)
            return;
        for (Look& look : seen) {
            const auto old = std::find_if(looks.begin(), looks.end(), [&](const Look& l) { return l.path == look.path; });
            if (old != looks.end()) {
                *old = std::move(look);
            } else {
                postOwed = postOwed || looks.empty();
                looks.push_back(std::move(look));
            }
        }
        post();
    }

    // Under the lock. One message for any number of looks: the window takes them all.
    void post()
    {
        if (postOwed && !ending)
            postOwed = !PostMessageA(window, message, 0, 0);
    }
};

CFolderWatch::CFolderWatch() : m_shared(std::make_shared<Shared>()) {}

CFolderWatch::~CFolderWatch()
{
    {
        Locked locked(m_shared->lock);
        m_shared->ending = true;
        m_shared->looks.clear();
    }
    SetEvent(m_shared->control.get());
    // Long enough to close the folders in the normal way, short enough that a hung share
    // does not hold the window up.
    if (m_thread)
        WaitForSingleObject(m_thread.get(), kEndWait);
}

bool CFolderWatch::Start(HWND window, UINT message)
{
    if (!m_shared->control || m_thread)
        return false;
    m_shared->window = window;
    m_shared->message = message;
    auto* reference = new std::shared_ptr<Shared>(m_shared);
    // _beginthreadex rather than CreateThread: the thread uses the C runtime.
    m_thread.reset(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &Shared::main, reference, 0, nullptr)));
    if (!m_thread) {
        delete reference;
        return false;
    }
    return true;
}

void CFolderWatch::Watch(const std::vector<std::string>& paths)
{
    std::vector<std::string> files;
    for (const std::string& path : paths)
        if (!path.empty())
            files.push_back(path);
    std::sort(files.begin(), files.end());
    files.erase(std::unique(files.begin(), files.end()), files.end());
    {
        Locked locked(m_shared->lock);
        m_shared->paths = std::move(files);
    }
    SetEvent(m_shared->control.get());
}

void CFolderWatch::SetActive(bool active)
{
    {
        Locked locked(m_shared->lock);
        m_shared->active = active;
    }
    SetEvent(m_shared->control.get());
}

bool CFolderWatch::OnDeviceChange(WPARAM event, LPARAM data)
{
    if (event != DBT_DEVICEQUERYREMOVE && event != DBT_DEVICEREMOVEPENDING && event != DBT_DEVICEREMOVECOMPLETE)
        return false;
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(data);
    if (!header || header->dbch_devicetype != DBT_DEVTYP_HANDLE ||
        header->dbch_size < offsetof(DEV_BROADCAST_HANDLE, dbch_eventguid))
        return false;
    const auto* broadcast = reinterpret_cast<const DEV_BROADCAST_HANDLE*>(data);
    bool ours = false;
    {
        Locked locked(m_shared->lock);
        for (const auto& folder : m_shared->folders) {
            if ((!folder->notify || folder->notify != broadcast->dbch_hdevnotify) &&
                (!folder->handle || folder->handle.get() != broadcast->dbch_handle))
                continue;
            ours = true;
            folder->close();
            folder->released = true;
        }
    }
    if (ours)
        SetEvent(m_shared->control.get());
    return ours;
}

std::vector<CFolderWatch::Look> CFolderWatch::TakeLooks()
{
    std::vector<Look> taken;
    Locked locked(m_shared->lock);
    taken.swap(m_shared->looks);
    m_shared->postOwed = false;
    return taken;
}
