#include "framework/win32/background.h"

#include <windows.h>
#include <process.h>

#include <atomic>
#include <deque>

#include "framework/win32/handle.h"

struct CBackgroundThread::Shared {
    SRWLOCK lock = SRWLOCK_INIT;
    CONDITION_VARIABLE changed = CONDITION_VARIABLE_INIT;  // a task came or ended, or a hold moved
    std::deque<Task> queue;
    bool running = false;
    // Read by the running task between its steps, without the lock.
    std::atomic<int> holds{0};
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

    bool stopping() const { return holds.load() > 0 || ending.load(); }

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
            Task task;
            {
                Locked locked(*shared);
                while (!shared->ending && (shared->queue.empty() || shared->holds > 0))
                    locked.wait();
                if (shared->ending)
                    return 0;
                task = std::move(shared->queue.front());
                shared->queue.pop_front();
                shared->running = true;
            }
            bool done = true;
            try {
                done = task(stopping);
            } catch (...) {
                done = true;  // out of memory, most likely: the window asks again later
            }
            Locked locked(*shared);
            shared->running = false;
            if (!done && !shared->ending)
                shared->queue.push_front(std::move(task));
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

void CBackgroundThread::Post(Task task)
{
    Shared::Locked locked(*m_shared);
    m_shared->queue.push_back(std::move(task));
    locked.wake();
}

void CBackgroundThread::Hold()
{
    Shared::Locked locked(*m_shared);
    ++m_shared->holds;
    while (m_shared->running)
        locked.wait();
}

void CBackgroundThread::Resume()
{
    Shared::Locked locked(*m_shared);
    --m_shared->holds;
    locked.wake();
}
