#include "framework/win32/background.h"

#include <windows.h>
#include <process.h>

#include <atomic>
#include <deque>
#include <map>

#include "framework/win32/handle.h"

namespace {

// Names as the file system compares them, near enough: a hold is a matter of speed.
std::string key(const std::string& file)
{
    std::string lower = file;
    if (!lower.empty())
        CharLowerBuffA(&lower[0], static_cast<DWORD>(lower.size()));
    return lower;
}

}  // namespace

struct CBackgroundThread::Shared {
    SRWLOCK lock = SRWLOCK_INIT;
    CONDITION_VARIABLE changed = CONDITION_VARIABLE_INIT;  // a task came or ended, or a hold moved
    struct Posted {
        std::string file;  // key()
        Task task;
    };
    std::deque<Posted> queue;
    std::map<std::string, int> held;  // by key(): how many holds
    std::string running;              // key() of the running task's file
    bool busy = false;
    // Read by the running task between its steps, without the lock.
    std::atomic<bool> runningHeld{false};
    std::atomic<bool> ending{false};

    class Locked {
    public:
        explicit Locked(Shared& shared) : m_shared(shared) { AcquireSRWLockExclusive(&m_shared.lock); }
        ~Locked() { ReleaseSRWLockExclusive(&m_shared.lock); }
        Locked(const Locked&) = delete;
        Locked& operator=(const Locked&) = delete;
        void wait() { SleepConditionVariableSRW(&m_shared.changed, &m_shared.lock, INFINITE, 0); }
        void wake() { WakeAllConditionVariable(&m_shared.changed); }

    private:
        Shared& m_shared;
    };

    bool isHeld(const std::string& file) const { return !file.empty() && held.count(file) != 0; }
    bool stopping() const { return runningHeld.load() || ending.load(); }

    // The first task whose file is not held; end() when none.
    std::deque<Posted>::iterator next()
    {
        for (auto it = queue.begin(); it != queue.end(); ++it)
            if (!isHeld(it->file))
                return it;
        return queue.end();
    }

    // The thread: it owns a reference of its own, so the owner never waits for it.
    static unsigned __stdcall main(void* start)
    {
        const std::shared_ptr<Shared> shared = std::move(*static_cast<std::shared_ptr<Shared>*>(start));
        delete static_cast<std::shared_ptr<Shared>*>(start);
        // Background mode lowers the thread's disk and memory priority too; where the
        // system refuses it (Wine does), the lowest priority at least keeps the window's
        // thread first.
        if (!SetThreadPriority(GetCurrentThread(), THREAD_MODE_BACKGROUND_BEGIN))
            SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_LOWEST);
        const Stopping stopping = [raw = shared.get()] { return raw->stopping(); };
        for (;;) {
            Posted posted;
            {
                Locked locked(*shared);
                auto it = shared->queue.end();
                while (!shared->ending && (it = shared->next()) == shared->queue.end())
                    locked.wait();
                if (shared->ending)
                    return 0;
                posted = std::move(*it);
                shared->queue.erase(it);
                shared->running = posted.file;
                shared->runningHeld = false;
                shared->busy = true;
            }
            End end = End::done;
            try {
                end = posted.task(stopping);
            } catch (...) {
                end = End::done;  // the task answers its own failures; nothing to run again
            }
            Locked locked(*shared);
            shared->busy = false;
            shared->running.clear();
            if (end == End::again && !shared->ending)
                shared->queue.push_front(std::move(posted));
            locked.wake();
        }
    }
};

CBackgroundThread::CBackgroundThread() : m_shared(std::make_shared<Shared>()) {}

CBackgroundThread::~CBackgroundThread()
{
    Shared::Locked locked(*m_shared);
    m_shared->ending = true;
    m_shared->queue.clear();
    locked.wake();
}

bool CBackgroundThread::Start()
{
    auto* reference = new std::shared_ptr<Shared>(m_shared);
    // _beginthreadex rather than CreateThread: the task uses the C runtime.
    UniqueKernelHandle thread(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &Shared::main, reference, 0, nullptr)));
    if (!thread) {
        delete reference;
        return false;
    }
    return true;  // the handle goes: nothing ever waits for the thread
}

void CBackgroundThread::Post(std::string file, Task task)
{
    Shared::Locked locked(*m_shared);
    m_shared->queue.push_back({key(file), std::move(task)});
    locked.wake();
}

void CBackgroundThread::Hold(const std::vector<std::string>& files, const std::function<void()>& cut)
{
    Shared::Locked locked(*m_shared);
    for (const std::string& file : files)
        if (!file.empty())
            ++m_shared->held[key(file)];
    if (!m_shared->busy || !m_shared->isHeld(m_shared->running))
        return;
    m_shared->runningHeld = true;
    if (cut)
        cut();
    while (m_shared->busy && m_shared->isHeld(m_shared->running))
        locked.wait();
}

void CBackgroundThread::Resume(const std::vector<std::string>& files)
{
    Shared::Locked locked(*m_shared);
    for (const std::string& file : files) {
        const auto it = file.empty() ? m_shared->held.end() : m_shared->held.find(key(file));
        if (it != m_shared->held.end() && --it->second == 0)
            m_shared->held.erase(it);
    }
    locked.wake();
}
